#include "file_header.h"
#include "palette.h"

#include <gtest/gtest.h>

using namespace fractals;

TEST(Palette, DefaultRampsHaveTheirEndColours)
{
    const PaletteTable t = PaletteTable::makeDefault();
    EXPECT_EQ(t.colors[0], RGB(255, 0, 0));
    EXPECT_EQ(t.colors[17], RGB(255, 255, 0));
    EXPECT_EQ(t.colors[18], RGB(255, 255, 0));
    EXPECT_EQ(t.colors[35], RGB(0, 255, 0));
    EXPECT_EQ(t.colors[40], RGB(0, 255, 60));
    EXPECT_EQ(t.colors[53], RGB(0, 255, 255));
    EXPECT_EQ(t.colors[71], RGB(0, 0, 255));
    EXPECT_EQ(t.colors[72], RGB(0, 0, 255));
    EXPECT_EQ(t.colors[89], RGB(0, 0, 0));
    EXPECT_EQ(t.colors[1], 0x00000FFFu); // red in the low byte, green 15 in the second
}

TEST(Palette, CyclingMovesEveryColourUpAndKeepsEntry89)
{
    PaletteColors live = PaletteTable::makeDefault().colors;
    live[89] = RGB(1, 2, 3);
    const PaletteColors start = live;
    cyclePaletteStep(live);
    EXPECT_EQ(live[0], start[88]);
    for (int k = 1; k <= 88; ++k)
        EXPECT_EQ(live[k], start[k - 1]) << k;
    EXPECT_EQ(live[89], start[89]);
    for (int step = 1; step < 89; ++step) {
        cyclePaletteStep(live);
        EXPECT_EQ(live[89], start[89]);
        if (step < 88) {
            EXPECT_NE(live, start) << "back too early at step " << step + 1;
        }
    }
    EXPECT_EQ(live, start);
}

TEST(Palette, FileIsHeaderPlus270BytesAndRoundTrips)
{
    PaletteColors colors{};
    for (int k = 0; k < kPaletteSize; ++k)
        colors[k] = RGB(k, 2 * k, 255 - k);
    const std::string bytes = writePaletteBytes(colors);
    Archive header = Archive::forWriting();
    ReadWriteFileHeader(header);
    ASSERT_EQ(bytes.size(), header.bytes().size() + 270);
    EXPECT_EQ(bytes.substr(0, header.bytes().size()), header.bytes());
    EXPECT_EQ(bytes.substr(header.bytes().size(), 6), std::string("\x00\x00\xFF\x01\x02\xFE", 6));
    EXPECT_EQ(readPaletteBytes(bytes), colors);
}

TEST(Palette, ForeignOrShortFilesAreRefused)
{
    const std::string good = writePaletteBytes(PaletteTable::makeDefault().colors);
    std::string foreign = good;
    foreign[1] = 'X'; // another product
    try {
        readPaletteBytes(foreign);
        FAIL() << "a foreign header was accepted";
    } catch (const ArchiveException& e) {
        EXPECT_EQ(e.cause(), ArchiveException::badIndex);
    }
    try {
        readPaletteBytes(good.substr(0, good.size() - 1));
        FAIL() << "a short palette was accepted";
    } catch (const ArchiveException& e) {
        EXPECT_EQ(e.cause(), ArchiveException::endOfFile);
    }
}
