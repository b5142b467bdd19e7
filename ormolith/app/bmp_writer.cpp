#include "bmp_writer.h"

#include <cstdint>

#include <png_file.h>
#include <save_file.h>

namespace ormolith {

namespace {

void put16(std::string& out, std::uint16_t v)
{
    out += char(v & 0xff);
    out += char(v >> 8);
}

void put32(std::string& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += char((v >> (8 * i)) & 0xff);
}

constexpr std::uint32_t kHeaderBytes = 14 + 40;
// 96 dots per inch, in pixels per metre.
constexpr std::uint32_t kPixelsPerMetre = 3780;

} // namespace

std::string bitmapFileBytes(const ImageBuffer& image)
{
    if (!image.hasPixels())
        return {};
    // The buffer's own size: the picture written is always the one the pixels hold, even when
    // the screen bitmap still shows an older size.
    const std::uint32_t width = image.bufferWidth, height = image.bufferHeight;
    const std::uint32_t imageBytes = image.stride * height;
    std::string out;
    out.reserve(kHeaderBytes + imageBytes);
    // File header.
    put16(out, 0x4D42); // "BM"
    put32(out, kHeaderBytes + imageBytes);
    put16(out, 0);
    put16(out, 0);
    put32(out, kHeaderBytes);
    // Information header; a positive height means bottom-up rows.
    put32(out, 40);
    put32(out, width);
    put32(out, height);
    put16(out, 1);
    put16(out, std::uint16_t(image.bitsPerPixel));
    put32(out, 0); // no compression
    put32(out, imageBytes);
    put32(out, kPixelsPerMetre);
    put32(out, kPixelsPerMetre);
    put32(out, 0); // colours used
    put32(out, 0); // important colours
    out.append(reinterpret_cast<const char*>(image.pixels.data()), imageBytes);
    return out;
}

std::string pngFileBytes(const ImageBuffer& image)
{
    if (!image.hasPixels())
        return {};
    suite::PngPicture png;
    png.width = int(image.bufferWidth);
    png.height = int(image.bufferHeight);
    const unsigned bytesPerPixel = image.bitsPerPixel / 8;
    png.readRow = [&](int y, std::uint8_t* row) {
        // The buffer's rows run bottom-up in blue-green-red order.
        const std::uint8_t* src =
            image.pixels.data() + std::size_t(image.bufferHeight - 1 - unsigned(y)) * image.stride;
        for (unsigned x = 0; x < image.bufferWidth; ++x, src += bytesPerPixel) {
            row[3 * x] = src[2];
            row[3 * x + 1] = src[1];
            row[3 * x + 2] = src[0];
        }
    };
    return suite::pngFileBytes(png);
}

bool saveBitmap(const ImageBuffer& image, const std::string& path, std::string* error)
{
    if (!image.hasPixels()) {
        if (error)
            *error = kBuildFirstText;
        return false;
    }
    if (suite::isPngPath(path)) {
        const std::string png = pngFileBytes(image);
        if (png.empty()) {
            if (error)
                *error = "the picture is too large for a PNG file";
            return false;
        }
        return suite::saveFile(path, png, error);
    }
    return suite::saveFile(path, bitmapFileBytes(image), error);
}

} // namespace ormolith
