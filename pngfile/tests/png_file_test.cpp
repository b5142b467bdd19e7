// PNG files taken apart again chunk by chunk: layout, CRCs, and the pixels after inflating.
#include "png_file.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <map>

namespace {

std::uint32_t get32(const std::string& s, std::size_t at)
{
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k)
        v = (v << 8) | static_cast<std::uint8_t>(s[at + k]);
    return v;
}

struct Chunk {
    std::string type;
    std::string data;
};

// Splits the file into chunks, checking the signature and every CRC on the way.
std::vector<Chunk> chunksOf(const std::string& file)
{
    std::vector<Chunk> chunks;
    EXPECT_EQ(file.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
    std::size_t at = 8;
    while (at + 12 <= file.size()) {
        const std::uint32_t length = get32(file, at);
        Chunk c{file.substr(at + 4, 4), file.substr(at + 8, length)};
        const std::string covered = file.substr(at + 4, 4 + length);
        const auto crc = crc32(0, reinterpret_cast<const Bytef*>(covered.data()),
                               static_cast<uInt>(covered.size()));
        EXPECT_EQ(get32(file, at + 8 + length), crc) << c.type;
        chunks.push_back(c);
        at += 12 + length;
    }
    EXPECT_EQ(at, file.size());
    return chunks;
}

std::string inflated(const std::string& data, std::size_t size)
{
    std::string out(size, '\0');
    uLongf outSize = static_cast<uLongf>(size);
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &outSize,
                         reinterpret_cast<const Bytef*>(data.data()),
                         static_cast<uLong>(data.size())),
              Z_OK);
    EXPECT_EQ(outSize, size);
    return out;
}

} // namespace

TEST(PngFile, IndexedPictureKeepsItsIndicesAndPalette)
{
    const std::uint8_t pixels[2][3] = {{0, 1, 2}, {3, 2, 1}};
    suite::PngPicture p;
    p.width = 3;
    p.height = 2;
    p.indexed = true;
    p.palette = {{0, 0, 0}, {255, 0, 0}, {0, 128, 0}, {1, 2, 3}};
    p.readRow = [&](int y, std::uint8_t* row) { std::copy_n(pixels[y], 3, row); };
    const std::vector<Chunk> chunks = chunksOf(suite::pngFileBytes(p));
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(chunks[0].data, std::string("\0\0\0\x03\0\0\0\x02\x08\x03\0\0\0", 13));
    EXPECT_EQ(chunks[1].type, "PLTE");
    EXPECT_EQ(chunks[1].data, std::string("\0\0\0\xFF\0\0\0\x80\0\x01\x02\x03", 12));
    EXPECT_EQ(chunks[2].type, "IDAT");
    // Unfiltered rows: filter byte 0, then the indices.
    EXPECT_EQ(inflated(chunks[2].data, 8), std::string("\0\0\x01\x02\0\x03\x02\x01", 8));
    EXPECT_EQ(chunks[3].type, "IEND");
    EXPECT_TRUE(chunks[3].data.empty());
}

TEST(PngFile, ColourPictureRoundTripsThroughTheUpFilter)
{
    // Values chosen so that differences to the row above wrap around below zero.
    const std::uint8_t pixels[3][6] = {
        {10, 20, 30, 250, 0, 7}, {5, 20, 255, 0, 0, 0}, {255, 255, 255, 1, 2, 3}};
    suite::PngPicture p;
    p.width = 2;
    p.height = 3;
    p.readRow = [&](int y, std::uint8_t* row) { std::copy_n(pixels[y], 6, row); };
    const std::vector<Chunk> chunks = chunksOf(suite::pngFileBytes(p));
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].data, std::string("\0\0\0\x02\0\0\0\x03\x08\x02\0\0\0", 13));
    const std::string raw = inflated(chunks[1].data, 3 * 7);
    std::uint8_t above[6] = {};
    for (int y = 0; y < 3; ++y) {
        ASSERT_EQ(raw[y * 7], 2) << "row " << y;
        for (int k = 0; k < 6; ++k) {
            above[k] =
                static_cast<std::uint8_t>(above[k] + static_cast<std::uint8_t>(raw[y * 7 + 1 + k]));
            EXPECT_EQ(above[k], pixels[y][k]) << "row " << y << " byte " << k;
        }
    }
}

TEST(PngFile, UnwritablePicturesGiveNoBytes)
{
    suite::PngPicture p;
    p.width = 1;
    p.height = 1;
    p.readRow = [](int, std::uint8_t* row) { row[0] = 0; };
    p.indexed = true;
    EXPECT_TRUE(suite::pngFileBytes(p).empty()) << "indexed without a palette";
    p.palette.assign(257, {0, 0, 0});
    EXPECT_TRUE(suite::pngFileBytes(p).empty()) << "more than 256 colours";
    p.palette.assign(256, {0, 0, 0});
    EXPECT_FALSE(suite::pngFileBytes(p).empty());
    p.width = 0;
    EXPECT_TRUE(suite::pngFileBytes(p).empty());
    p.width = 1;
    p.readRow = nullptr;
    EXPECT_TRUE(suite::pngFileBytes(p).empty());
}

TEST(PngFile, OnlyNamesEndingInPngArePng)
{
    const std::map<std::string, bool> names = {
        {"out.png", true}, {"OUT.PNG", true},      {"dir.bmp/x.Png", true}, {"out.bmp", false},
        {"png", false},    {"out.png.bmp", false}, {"outpng", false},       {"", false}};
    for (const auto& [name, png] : names)
        EXPECT_EQ(suite::isPngPath(name), png) << name;
}
