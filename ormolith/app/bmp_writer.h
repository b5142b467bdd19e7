#pragma once
// The picture as a 24-bit BMP file: a 14-byte file header, a 40-byte information header and the
// buffer's rows as they are (bottom-up, blue-green-red, padded to 4 bytes).
#include <string>

#include "image_buffer.h"

namespace ormolith {

inline constexpr const char* kBuildFirstText = "Build Fractal First!";

// The file's bytes for the picture. Empty when there are no pixels.
std::string bitmapFileBytes(const ImageBuffer& image);

// The same picture as a PNG file (8-bit red, green, blue, top row first). Empty when there are
// no pixels.
std::string pngFileBytes(const ImageBuffer& image);

// Writes the picture to `path`, as PNG when the name ends in ".png" and as the bitmap otherwise,
// replacing it only once the whole file is written. False with `error` set when there are no
// pixels (kBuildFirstText) or the file cannot be written.
bool saveBitmap(const ImageBuffer& image, const std::string& path, std::string* error = nullptr);

} // namespace ormolith
