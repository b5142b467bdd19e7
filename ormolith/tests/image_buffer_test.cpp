// The image buffer, the 24-bit BMP file byte for byte, and --render in batch mode.
#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <set>
#include <sstream>

#include "batch.h"
#include "bmp_writer.h"
#include "image_buffer.h"
#include "image_magick.h"
#include "temp_env.h"

using namespace ormolith;
using suite::test::readFileBytes;
using suite::test::TempDir;

namespace {

std::uint32_t le32(const std::string& s, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | std::uint8_t(s[at + i]);
    return v;
}

std::uint16_t le16(const std::string& s, std::size_t at)
{
    return std::uint16_t(std::uint8_t(s[at]) | (std::uint8_t(s[at + 1]) << 8));
}

} // namespace

TEST(ImageBuffer, AllocationStrideAndRowTable)
{
    ImageBuffer image;
    EXPECT_EQ(image.requestedWidth(), 1);
    EXPECT_EQ(image.stride, 4u);
    EXPECT_FALSE(image.hasPixels());

    image.allocate(101, 3, 24);
    EXPECT_EQ(image.stride, 304u); // 303 bytes rounded up to a multiple of 4
    EXPECT_EQ(image.pixels.size(), 304u * 3);
    EXPECT_TRUE(image.rowTable.empty());
    const std::uint8_t* before = image.pixels.data();
    image.allocate(101, 3, 24); // same size and depth: nothing happens
    EXPECT_EQ(image.pixels.data(), before);

    image.allocate(5, 2, 16); // any depth but 24 is 32
    EXPECT_EQ(image.bitsPerPixel, 32u);
    EXPECT_EQ(image.stride, 20u);
    ASSERT_EQ(image.rowTable.size(), 2u);
    EXPECT_EQ(image.rowTable[1], image.pixels.data() + 20);
    EXPECT_EQ(rowStride(1, 24), 4u);
    EXPECT_EQ(rowStride(4, 24), 12u);
}

TEST(Bitmap, HeaderAndRowsAreExact)
{
    ImageBuffer image;
    image.allocate(640, 480, 24);
    image.pixels[0] = 0x11;                    // bottom-left blue
    image.pixels[image.pixels.size() - 1] = 7; // last byte of the top row
    const std::string bytes = bitmapFileBytes(image);
    ASSERT_EQ(bytes.size(), 921654u); // 54 + 640 x 3 x 480
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(le32(bytes, 2), 921654u);
    EXPECT_EQ(le32(bytes, 6), 0u);
    EXPECT_EQ(le32(bytes, 10), 54u);
    EXPECT_EQ(le32(bytes, 14), 40u);
    EXPECT_EQ(le32(bytes, 18), 640u);
    EXPECT_EQ(le32(bytes, 22), 480u);
    EXPECT_EQ(le16(bytes, 26), 1);
    EXPECT_EQ(le16(bytes, 28), 24);
    EXPECT_EQ(le32(bytes, 30), 0u);
    EXPECT_EQ(le32(bytes, 34), 921600u);
    EXPECT_EQ(le32(bytes, 38), 3780u);
    EXPECT_EQ(le32(bytes, 42), 3780u);
    EXPECT_EQ(le32(bytes, 46), 0u);
    EXPECT_EQ(le32(bytes, 50), 0u);
    EXPECT_EQ(std::uint8_t(bytes[54]), 0x11);
    EXPECT_EQ(std::uint8_t(bytes.back()), 7);

    image.allocate(101, 2, 24);
    const std::string odd = bitmapFileBytes(image);
    EXPECT_EQ(odd.size(), 54u + 304 * 2);
    EXPECT_EQ(le32(odd, 34), 608u);
}

TEST(Bitmap, NothingBuiltNothingWritten)
{
    TempDir dir;
    const std::string path = dir.path().string() + "/none.bmp";
    ImageBuffer image;
    std::string error;
    EXPECT_FALSE(saveBitmap(image, path, &error));
    EXPECT_EQ(error, "Build Fractal First!");
    EXPECT_FALSE(std::filesystem::exists(path));

    image.allocate(3, 3, 24);
    EXPECT_FALSE(saveBitmap(image, dir.path().string() + "/no/such/dir/x.bmp", &error));
    EXPECT_FALSE(error.empty());
}

// A name ending in ".png" gets a PNG that ImageMagick reads at the size asked, as 8-bit RGB, with
// the very pixels of the bitmap the same build writes; every other name still gets the bitmap.
TEST(RenderBatch, WritesPngWhenTheNameEndsInPng)
{
    if (!suite::test::haveIdentify())
        GTEST_SKIP() << "ImageMagick's identify is not installed (scripts/install-deps adds it)";
    TempDir dir;
    const std::string bmp = dir.path().string() + "/koch.bmp";
    const std::string png = dir.path().string() + "/koch.Png";
    for (const std::string& out : {bmp, png}) {
        std::string error;
        auto cmd = parseCommandLine({"--render", out, "--size", "33x21", "--sample", "0"}, error);
        ASSERT_TRUE(cmd) << error;
        std::ostringstream sout, serr;
        ASSERT_EQ(runBatch(*cmd, sout, serr), 0) << serr.str();
    }
    EXPECT_EQ(readFileBytes(bmp).substr(0, 2), "BM");
    EXPECT_EQ(suite::test::identify("%m %w %h %[png:IHDR.color-type-orig] %[png:IHDR.bit-depth-orig]",
                                    png),
              "PNG 33 21 2 8");
    const QImage fromBmp(QString::fromStdString(bmp)), fromPng(QString::fromStdString(png));
    ASSERT_FALSE(fromPng.isNull());
    EXPECT_EQ(fromPng.convertToFormat(QImage::Format_RGB32),
              fromBmp.convertToFormat(QImage::Format_RGB32));
    // A picture worth comparing: the shaded snowflake, not an empty background.
    std::set<QRgb> colours;
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 33; ++x)
            colours.insert(fromBmp.pixel(x, y));
    EXPECT_GT(colours.size(), 10u);
}

TEST(RenderBatch, WritesTheBitmapAndReportsFailures)
{
    TempDir dir;
    const std::string out = dir.path().string() + "/koch.bmp";
    std::string error;
    auto cmd = parseCommandLine(
        {"--render", out, "--size", "33x21", "--threads", "2", "--sample", "0"}, error);
    ASSERT_TRUE(cmd) << error;
    EXPECT_EQ(cmd->width, 33);
    EXPECT_EQ(cmd->height, 21);
    EXPECT_EQ(cmd->threads, 2);
    std::ostringstream sout, serr;
    EXPECT_EQ(runBatch(*cmd, sout, serr), 0) << serr.str();
    const std::string bytes = readFileBytes(out);
    ASSERT_EQ(bytes.size(), 54u + 100 * 21); // 99 bytes a row, padded to 100
    EXPECT_EQ(le32(bytes, 18), 33u);

    cmd = parseCommandLine({"--render", out, "--sample", "3"}, error);
    ASSERT_TRUE(cmd);
    EXPECT_EQ(cmd->width, 640);
    EXPECT_EQ(cmd->height, 480);
    EXPECT_EQ(cmd->threads, 0);

    // A document whose set cannot be bounded: the engine's text and a failure exit.
    const std::string bad = dir.path().string() + "/bad.ifs";
    {
        std::ostringstream saveOut, saveErr;
        auto save = parseCommandLine({"--save", bad, "--sample", "0"}, error);
        ASSERT_TRUE(save);
        ASSERT_EQ(runBatch(*save, saveOut, saveErr), 0);
        // Koch Snowflake's map 1 scales by 1/sqrt(3) (written 0.57735); without the scaling it
        // only turns and moves, and set 1 maps onto itself without shrinking.
        std::string text = readFileBytes(bad);
        for (int i = 0; i < 3; ++i) {
            const auto at = text.find("value=\"0.57735\"");
            ASSERT_NE(at, std::string::npos);
            text.replace(at, 15, "value=\"1\"");
        }
        suite::test::writeFileBytes(bad, text);
    }
    cmd = parseCommandLine({"--render", out, "--size", "8x8", bad}, error);
    ASSERT_TRUE(cmd) << error;
    std::ostringstream badOut, badErr;
    EXPECT_EQ(runBatch(*cmd, badOut, badErr), 1);
    EXPECT_NE(badErr.str().find("Ormolith: Error:Set is void\n"), std::string::npos)
        << badErr.str();

    const std::pair<std::vector<std::string>, std::string> badArgs[] = {
        {{"--render", out, "--size", "0x5", "--sample", "1"},
         "--size needs WIDTHxHEIGHT from 1x1 to 16384x16384, not '0x5'"},
        {{"--render", out, "--size", "64", "--sample", "1"},
         "--size needs WIDTHxHEIGHT from 1x1 to 16384x16384, not '64'"},
        {{"--render", out, "--threads", "0", "--sample", "1"},
         "--threads needs a number from 1 to 256, not '0'"},
        {{"--render", out}, "--render needs --sample N or FILE.ifs"},
        {{"--save", out, "--size", "5x5", "--sample", "1"}, "--size needs --render or --animate"},
    };
    for (const auto& [args, message] : badArgs) {
        EXPECT_FALSE(parseCommandLine(args, error)) << message;
        EXPECT_EQ(error, message);
    }
}

TEST(Bitmap, QtReadsTheFileAsWritten)
{
    // An independent reader sees the same size and the same pixels (blue-green-red, bottom-up
    // rows, padded), for a width whose rows need padding.
    ImageBuffer image;
    image.allocate(5, 3, 24);
    for (unsigned row = 0; row < 3; ++row)
        for (unsigned col = 0; col < 5; ++col) {
            std::uint8_t* p = image.pixelRow(int(row)) + 3 * col;
            p[0] = std::uint8_t(10 * col);        // blue
            p[1] = std::uint8_t(100 + row);       // green
            p[2] = std::uint8_t(200 + col + row); // red
        }
    const std::string bytes = bitmapFileBytes(image);
    QImage read;
    ASSERT_TRUE(
        read.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), int(bytes.size()), "BMP"));
    ASSERT_EQ(read.width(), 5);
    ASSERT_EQ(read.height(), 3);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 5; ++col) {
            // QImage counts rows from the top.
            const QRgb c = read.pixel(col, 2 - row);
            EXPECT_EQ(qBlue(c), 10 * col);
            EXPECT_EQ(qGreen(c), 100 + row);
            EXPECT_EQ(qRed(c), 200 + col + row);
        }
}
