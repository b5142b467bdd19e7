#include "bitmap_file.h"

#include "archive.h"
#include "png_file.h"

#include <algorithm>
#include <cassert>

namespace fractals {

namespace {

void put16(std::string& s, std::uint32_t v)
{
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& s, std::uint32_t v)
{
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

} // namespace

std::string makeBitmapBytes(const PictureView& picture, const PaletteColors& palette)
{
    const int bits = picture.bitsPerPixel;
    assert(bits == 8 || bits == 24 || bits == 32);
    const auto w = static_cast<std::uint32_t>(picture.width);
    const auto h = static_cast<std::uint32_t>(picture.height);
    const std::size_t bytesPerPixel = static_cast<std::size_t>(bits / 8);
    const std::size_t stride = ((w * bits + 31) / 32) * 4;
    const std::size_t imageSize = stride * h;
    // Info header plus colour table: the masks for 16/32 bits, none for 24, 2^bits
    // four-byte entries otherwise.
    const std::uint32_t headerSize = bits == 32 ? 52 : bits == 24 ? 40 : 40 + 4 * (1u << bits);
    const std::uint32_t offset = 14 + headerSize;

    std::string out;
    out.reserve(offset + imageSize);
    out += "BM";
    put32(out, static_cast<std::uint32_t>(offset + imageSize));
    put16(out, 0);
    put16(out, 0);
    put32(out, offset);

    put32(out, 40);
    put32(out, w);
    put32(out, h); // positive: rows run bottom-up
    put16(out, 1);
    put16(out, static_cast<std::uint32_t>(bits));
    put32(out, bits == 32 ? 3 : 0); // BI_BITFIELDS for 32 bits, else BI_RGB
    put32(out, static_cast<std::uint32_t>(imageSize));
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    if (bits == 32) {
        put32(out, 0x00FF0000);
        put32(out, 0x0000FF00);
        put32(out, 0x000000FF);
    } else if (bits == 8) {
        for (int k = 0; k < 256; ++k) {
            const ColorRef c = k < kPaletteSize ? palette[k] : 0;
            out += static_cast<char>(GetBValue(c));
            out += static_cast<char>(GetGValue(c));
            out += static_cast<char>(GetRValue(c));
            out += '\0';
        }
    }

    const std::size_t srcStride = w * (bits == 8 ? 1 : 4);
    std::string row(stride, '\0');
    for (std::uint32_t y = h; y-- > 0;) {
        const std::uint8_t* src = picture.pixels.data() + y * srcStride;
        if (bits == 8) {
            row.replace(0, w, reinterpret_cast<const char*>(src), w);
        } else {
            for (std::uint32_t x = 0; x < w; ++x) {
                // 0x00RRGGBB in memory order is B, G, R, 0 on little-endian.
                for (std::size_t c = 0; c < bytesPerPixel; ++c)
                    row[x * bytesPerPixel + c] = static_cast<char>(src[4 * x + c]);
            }
        }
        out += row;
    }
    return out;
}

std::string makePngBytes(const PictureView& picture, const PaletteColors& palette)
{
    assert(picture.bitsPerPixel == 8 || picture.bitsPerPixel == 24 || picture.bitsPerPixel == 32);
    suite::PngPicture png;
    png.width = picture.width;
    png.height = picture.height;
    png.indexed = picture.bitsPerPixel == 8;
    const auto w = static_cast<std::size_t>(picture.width);
    if (png.indexed) {
        // The bitmap's colour table entry for entry, so both files show the same colours.
        for (int k = 0; k < 256; ++k) {
            const ColorRef c = k < kPaletteSize ? palette[k] : 0;
            png.palette.push_back({static_cast<std::uint8_t>(GetRValue(c)),
                                   static_cast<std::uint8_t>(GetGValue(c)),
                                   static_cast<std::uint8_t>(GetBValue(c))});
        }
        png.readRow = [&](int y, std::uint8_t* row) {
            std::copy_n(picture.pixels.data() + static_cast<std::size_t>(y) * w, w, row);
        };
    } else {
        png.readRow = [&](int y, std::uint8_t* row) {
            const std::uint8_t* src = picture.pixels.data() + static_cast<std::size_t>(y) * w * 4;
            // 0x00RRGGBB in memory order is B, G, R, 0 on little-endian.
            for (std::size_t x = 0; x < w; ++x) {
                row[3 * x] = src[4 * x + 2];
                row[3 * x + 1] = src[4 * x + 1];
                row[3 * x + 2] = src[4 * x];
            }
        };
    }
    return suite::pngFileBytes(png);
}

bool WriteBitmapFile(const PictureView& picture, const PaletteColors& palette,
                     const std::filesystem::path& path)
{
    if (picture.width <= 0 || picture.height <= 0)
        return false;
    const std::size_t srcStride =
        static_cast<std::size_t>(picture.width) * (picture.bitsPerPixel == 8 ? 1 : 4);
    if (picture.pixels.size() < srcStride * static_cast<std::size_t>(picture.height))
        return false;
    if (suite::isPngPath(path.string())) {
        const std::string png = makePngBytes(picture, palette);
        return !png.empty() && writeFileSafely(path, png);
    }
    return writeFileSafely(path, makeBitmapBytes(picture, palette));
}

} // namespace fractals
