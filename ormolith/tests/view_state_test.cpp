// The window's arithmetic without a window: zoom rectangle, point text, printed size,
// saved placement and the memory question.
#include "memory_status.h"
#include "samples.h"
#include "view_state.h"

#include <gtest/gtest.h>

using namespace ormolith;

namespace {

Selection around(int x, int y)
{
    Selection s;
    s.centreX = x;
    s.centreY = y;
    return s;
}

} // namespace

TEST(ZoomSelection, SmallDragsBecomeFivePixelsWidenedToThePictureAspect)
{
    // 320 x 240: half-sizes (0, 0) become (5, 5), then hx = 5 * 320 / 240 = 6.
    Selection s = around(100, 100);
    setSelectionHalfSizes(s, 0, 0, 320, 240);
    EXPECT_EQ(s.halfWidth, 6);
    EXPECT_EQ(s.left, 94);
    EXPECT_EQ(s.right, 106);
    EXPECT_EQ(s.top, 95);
    EXPECT_EQ(s.bottom, 105);
}

TEST(ZoomSelection, TheNarrowerSideFollowsTheWiderDrag)
{
    // A wide drag: hy = 40 * 240 / 320 = 30.
    Selection wide = around(160, 120);
    setSelectionHalfSizes(wide, 40, 3, 320, 240);
    EXPECT_EQ(wide.halfWidth, 40);
    EXPECT_EQ(wide.top, 90);
    EXPECT_EQ(wide.bottom, 150);
    // A tall drag: hx = 60 * 320 / 240 = 80.
    Selection tall = around(160, 120);
    setSelectionHalfSizes(tall, 10, 60, 320, 240);
    EXPECT_EQ(tall.halfWidth, 80);
    EXPECT_EQ(tall.left, 80);
    EXPECT_EQ(tall.right, 240);
    EXPECT_EQ(tall.top, 60);
    EXPECT_EQ(tall.bottom, 180);
}

TEST(ZoomSelection, ClippedToThePictureAndSafeForTheLargestPictures)
{
    Selection s = around(2, 237);
    setSelectionHalfSizes(s, 50, 0, 320, 240);
    EXPECT_EQ(s.left, 0);
    EXPECT_EQ(s.right, 52);
    EXPECT_EQ(s.top, 237 - 37);
    EXPECT_EQ(s.bottom, 239);
    // 4096 x 4096 with a drag across the whole picture: the products exceed 32 bits' worth
    // only in intermediate steps, the result is the full picture.
    Selection big = around(2048, 2048);
    setSelectionHalfSizes(big, 600000, 10, 4096, 4096);
    EXPECT_EQ(big.halfWidth, 600000);
    EXPECT_EQ(big.left, 0);
    EXPECT_EQ(big.right, 4095);
    EXPECT_EQ(big.bottom, 4095);
}

TEST(ZoomSelection, WindowRowsBecomeRowsFromTheBottom)
{
    Selection s;
    s.left = 10;
    s.right = 30;
    s.top = 5;
    s.bottom = 25;
    const ZoomRect r = zoomRectFromSelection(s, 100);
    EXPECT_EQ(r.x0, 10);
    EXPECT_EQ(r.x1, 30);
    EXPECT_EQ(r.y0, 74);
    EXPECT_EQ(r.y1, 94);
}

TEST(PointUnderMouse, HitPointAndSubsetOrInfinity)
{
    std::unique_ptr<FractalScene> scene = makeSample(2);
    scene->accumulatorWidth = 3;
    scene->accumulatorHeight = 2;
    scene->accumulator.assign(6, PixelRecord{});
    for (PixelRecord& r : scene->accumulator)
        r.distance = 100;
    // Bottom row first: window row 0 is record row 1.
    PixelRecord& hit = scene->accumulator[1 * 3 + 2];
    hit.distance = 12.5;
    hit.origin[0] = 1.5f;
    hit.origin[1] = -0.25f;
    hit.origin[2] = 3.0f;
    hit.material = 2;
    EXPECT_EQ(pointText(*scene, 2, 0), std::string("( 1.500000,-0.250000, 3.000000) Subset 3"));
    EXPECT_EQ(pointText(*scene, 2, 1), std::string("oo"));
    scene->accumulator[0].distance = 200; // never traced: no point either
    EXPECT_EQ(pointText(*scene, 0, 1), std::string("oo"));
    EXPECT_FALSE(pointText(*scene, 3, 0));
    EXPECT_FALSE(pointText(*scene, 0, 2));
    EXPECT_FALSE(pointText(*scene, -1, 0));
}

TEST(Printing, ThousandTwentyFourPixelsSpanThePage)
{
    const PrintedSize full = printedSize(4800, 1024, 768);
    EXPECT_EQ(full.width, 4800);
    EXPECT_EQ(full.height, 3600);
    const PrintedSize half = printedSize(4800, 512, 100);
    EXPECT_EQ(half.width, 2400);
    EXPECT_EQ(half.height, 468); // 4800 * 100 / 1024 = 468.75, rounded down
}

TEST(Placement, SixNumbersRoundTripAndFiveAreIgnored)
{
    WindowPlacement p;
    p.flags = 2;
    p.showCmd = 2;
    p.left = -4;
    p.top = 10;
    p.right = 810;
    p.bottom = 610;
    EXPECT_EQ(formatPlacement(p), "2,2,-4,10,810,610");
    const auto back = parsePlacement("2,2,-4,10,810,610");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->left, -4);
    EXPECT_EQ(back->bottom, 610);
    EXPECT_FALSE(parsePlacement("0,1,10,20,400"));
    EXPECT_FALSE(parsePlacement(""));
    EXPECT_FALSE(parsePlacement("0,1,10,20,400,x"));
}

TEST(MemoryQuestion, FourLinesInWholeMegabytes)
{
    MemoryStatus m;
    m.totalPhysical = (512ull << 20) + 12345;
    m.availablePhysical = (100ull << 20) + (1 << 19); // 100.5 MB shows as 100
    m.totalVirtual = 2048ull << 20;
    m.availableVirtual = 1500ull << 20;
    const std::uint64_t required = FractalScene::memoryRequired(4096, 4096); // 1152 MB
    EXPECT_EQ(memoryQuestionText(required, m), "Algorithm requared 1152Mb of memory to work\n"
                                               "Aviable phisical memory 100Mb of 512Mb\n"
                                               "Aviable virtual  memory 1500Mb of 2048Mb\n"
                                               "Are you sure to start algorithm?");
    EXPECT_TRUE(needsMemoryQuestion(required, m));
    EXPECT_FALSE(needsMemoryQuestion(m.totalPhysical, m)); // equal is enough
    EXPECT_FALSE(needsMemoryQuestion(required, MemoryStatus{}));
}

TEST(MemoryQuestion, MemInfoGivesPhysicalAndSwap)
{
    MemoryStatus m;
    ASSERT_TRUE(parseMemInfo("MemTotal:        2048000 kB\nMemFree:          100000 kB\n"
                             "MemAvailable:     512000 kB\nSwapTotal:       1024000 kB\n"
                             "SwapFree:         1000000 kB\n",
                             m));
    EXPECT_EQ(m.totalPhysical, 2048000ull * 1024);
    EXPECT_EQ(m.availablePhysical, 512000ull * 1024);
    EXPECT_EQ(m.totalVirtual, 3072000ull * 1024);
    EXPECT_EQ(m.availableVirtual, 1512000ull * 1024);
    // Without MemAvailable the free memory counts.
    ASSERT_TRUE(parseMemInfo("MemTotal: 1000 kB\nMemFree: 300 kB\n", m));
    EXPECT_EQ(m.availablePhysical, 300ull * 1024);
    EXPECT_FALSE(parseMemInfo("SwapTotal: 5 kB\n", m));
    // This machine's own figures are there.
    EXPECT_GT(readMemoryStatus().totalPhysical, 0u);
}
