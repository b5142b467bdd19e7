#pragma once
// Windows bitmap (BMP) output of a finished picture.
#include "palette.h"

#include <cstdint>
#include <filesystem>
#include <span>

namespace fractals {

// A picture as the render loops leave it: top-down rows without padding. An 8-bit picture
// holds palette indices; a 32-bit one holds 0x00RRGGBB values.
struct PictureView {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 8; // 8, 24 or 32
    std::span<const std::uint8_t> pixels;
};

// Builds the complete file: 14-byte file header, 40-byte info header, then for 8 bits a
// 256-entry colour table (the 90 palette colours, the rest black) so the pixels start at
// offset 1078, for 32 bits the three colour masks; then bottom-up rows padded to 4 bytes.
std::string makeBitmapBytes(const PictureView& picture, const PaletteColors& palette);

// The same picture as a PNG file: an 8-bit picture stays indexed, its palette the 256 colours of
// the bitmap's colour table; a 24- or 32-bit one is stored as 8-bit red, green, blue.
std::string makePngBytes(const PictureView& picture, const PaletteColors& palette);

// Writes the file, as PNG when the name ends in ".png" and as the bitmap otherwise; the old file
// is replaced only once the new one is complete.
bool WriteBitmapFile(const PictureView& picture, const PaletteColors& palette,
                     const std::filesystem::path& path);

} // namespace fractals
