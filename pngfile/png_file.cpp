#include "png_file.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <limits>

namespace suite {

namespace {

void put32(std::string& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((v >> shift) & 0xFF); // PNG numbers are big-endian
}

// Length, type, data, then the CRC of type and data.
void putChunk(std::string& out, const char (&type)[5], const std::string& data)
{
    put32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.append(type, 4);
    out += data;
    const auto* crcStart = reinterpret_cast<const Bytef*>(out.data() + typeAt);
    put32(out, static_cast<std::uint32_t>(
                   crc32(crc32(0, nullptr, 0), crcStart, static_cast<uInt>(4 + data.size()))));
}

// A chunk's length field is a signed 31-bit number.
constexpr std::size_t kMaxChunk = std::numeric_limits<std::int32_t>::max();

} // namespace

std::string pngFileBytes(const PngPicture& picture)
{
    if (picture.width <= 0 || picture.height <= 0 || !picture.readRow)
        return {};
    if (picture.indexed && (picture.palette.empty() || picture.palette.size() > 256))
        return {};
    const std::size_t rowBytes =
        static_cast<std::size_t>(picture.width) * (picture.indexed ? 1 : 3);
    const std::size_t height = static_cast<std::size_t>(picture.height);
    if ((rowBytes + 1) > kMaxChunk / height)
        return {};

    // Each row is prefixed by its filter type. Indexed rows go unfiltered (differences of
    // palette indices mean nothing); colour rows are stored as differences to the row above
    // ("Up"), which smooth renders compress far better.
    std::string raw((rowBytes + 1) * height, '\0');
    std::vector<std::uint8_t> row(rowBytes), above(rowBytes, 0);
    for (std::size_t y = 0; y < height; ++y) {
        picture.readRow(static_cast<int>(y), row.data());
        char* out = raw.data() + y * (rowBytes + 1);
        out[0] = picture.indexed ? 0 : 2;
        for (std::size_t k = 0; k < rowBytes; ++k)
            out[1 + k] =
                static_cast<char>(picture.indexed ? row[k] : std::uint8_t(row[k] - above[k]));
        std::swap(row, above);
    }

    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK ||
        packedSize > kMaxChunk)
        return {};
    packed.resize(packedSize);

    std::string out("\x89PNG\r\n\x1A\n", 8);
    std::string header;
    put32(header, static_cast<std::uint32_t>(picture.width));
    put32(header, static_cast<std::uint32_t>(picture.height));
    header += '\x08';                            // eight bits a sample
    header += picture.indexed ? '\x03' : '\x02'; // colour type: palette or RGB
    header.append(3, '\0');                      // deflate, adaptive filters, no interlace
    putChunk(out, "IHDR", header);
    if (picture.indexed) {
        std::string colours;
        for (const auto& c : picture.palette)
            colours.append(reinterpret_cast<const char*>(c.data()), 3);
        putChunk(out, "PLTE", colours);
    }
    putChunk(out, "IDAT", packed);
    putChunk(out, "IEND", {});
    return out;
}

bool isPngPath(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string ext = path.substr(path.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".png";
}

} // namespace suite
