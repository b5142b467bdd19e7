#include "bitmap_file.h"
#include "temp_env.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace fractals;

namespace {

std::uint32_t u32(const std::string& s, std::size_t at)
{
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k)
        v = (v << 8) | static_cast<unsigned char>(s[at + k]);
    return v;
}

} // namespace

TEST(BitmapFile, EightBitPictureCarriesThePaletteAndStartsAt1078)
{
    // 3 × 2 picture: rows padded to 4 bytes, stored bottom-up.
    const std::vector<std::uint8_t> pixels = {0, 1, 2, 87, 88, 89};
    PaletteColors pal = PaletteTable::makeDefault().colors;
    pal[1] = RGB(10, 20, 30);
    const std::string bmp = makeBitmapBytes({3, 2, 8, pixels}, pal);
    ASSERT_EQ(bmp.size(), 14u + 40 + 1024 + 8);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(u32(bmp, 2), bmp.size());
    EXPECT_EQ(u32(bmp, 6), 0u);
    EXPECT_EQ(u32(bmp, 10), 1078u);
    EXPECT_EQ(u32(bmp, 14), 40u);
    EXPECT_EQ(u32(bmp, 18), 3u);
    EXPECT_EQ(u32(bmp, 22), 2u);
    EXPECT_EQ(u32(bmp, 26), 1u | (8u << 16));
    EXPECT_EQ(u32(bmp, 34), 8u);
    // Colour table entries are blue, green, red, 0.
    EXPECT_EQ(bmp.substr(54 + 4, 4), std::string("\x1E\x14\x0A\x00", 4));
    EXPECT_EQ(bmp.substr(54 + 4 * 89, 4), std::string(4, '\0'));
    EXPECT_EQ(bmp.substr(54 + 4 * 200, 4), std::string(4, '\0'));
    EXPECT_EQ(bmp.substr(1078), std::string("\x57\x58\x59\x00\x00\x01\x02\x00", 8));
}

TEST(BitmapFile, TrueColourForms)
{
    const std::vector<std::uint32_t> rgb = {0x00112233, 0x00445566};
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(rgb.data()), 8);
    const std::string b24 = makeBitmapBytes({2, 1, 24, bytes}, {});
    EXPECT_EQ(u32(b24, 10), 54u);
    EXPECT_EQ(b24.substr(54), std::string("\x33\x22\x11\x66\x55\x44\x00\x00", 8));
    const std::string b32 = makeBitmapBytes({2, 1, 32, bytes}, {});
    EXPECT_EQ(u32(b32, 10), 66u);
    EXPECT_EQ(u32(b32, 30), 3u);
    EXPECT_EQ(b32.size(), 66u + 8);
}

TEST(BitmapFile, AnIndependentReaderSeesThePixels)
{
    suite::test::TempDir dir;
    const int w = 5, h = 3;
    std::vector<std::uint8_t> pixels(w * h);
    for (int k = 0; k < w * h; ++k)
        pixels[k] = static_cast<std::uint8_t>(k * 6);
    const PaletteColors pal = PaletteTable::makeDefault().colors;
    const auto path = dir / "p.bmp";
    ASSERT_TRUE(WriteBitmapFile({w, h, 8, pixels}, pal, path));
    QImage img(QString::fromStdString(path.string()));
    ASSERT_FALSE(img.isNull());
    ASSERT_EQ(img.size(), QSize(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const ColorRef c = pal[pixels[y * w + x]];
            EXPECT_EQ(img.pixel(x, y), qRgb(GetRValue(c), GetGValue(c), GetBValue(c)))
                << x << "," << y;
        }
}

TEST(BitmapFile, UnwritablePathFailsAndLeavesNothing)
{
    suite::test::TempDir dir;
    const std::vector<std::uint8_t> pixels(4, 0);
    EXPECT_FALSE(WriteBitmapFile({2, 2, 8, pixels}, {}, dir / "missing" / "p.bmp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
    EXPECT_FALSE(WriteBitmapFile({2, 2, 8, std::span(pixels).first(3)}, {}, dir / "short.bmp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "short.bmp"));
}
