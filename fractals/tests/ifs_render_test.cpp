// The chaos game of the IFS type: settling, colours, the attractor, and the file mode.
#include "ifs_doc.h"
#include "ifs_render.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <set>

using namespace fractals;

namespace {

CIfsFrame frame(CVector vertex, CVector side1, CVector side2, ColorRef color, int ignore = 0)
{
    CIfsFrame f;
    f.vertex = vertex;
    f.side1 = side1;
    f.side2 = side2;
    f.color = color;
    f.ignoreColor = ignore;
    return f;
}

// The three half-size corners of the square: a Sierpinski triangle.
std::vector<CIfsFrame> sierpinski()
{
    return {frame({0, 0}, {5000, 0}, {0, 5000}, RGB(255, 0, 0)),
            frame({5000, 0}, {5000, 0}, {0, 5000}, RGB(0, 255, 0)),
            frame({0, 5000}, {5000, 0}, {0, 5000}, RGB(0, 0, 255))};
}

IfsPicture render(const IfsRunSettings& s, int w, int h, std::uint64_t points,
                  std::uint32_t seed = 7, int threads = 2)
{
    IfsFileRequest r;
    r.settings = s;
    r.width = w;
    r.height = h;
    r.points = points;
    r.seed = seed;
    r.threads = threads;
    RunGate gate;
    gate.start();
    IfsPicture p;
    EXPECT_TRUE(renderIfsPicture(r, p, gate, nullptr));
    return p;
}

std::set<std::pair<int, int>> drawn(const IfsPicture& p, std::uint32_t background)
{
    std::set<std::pair<int, int>> s;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (p.pixels[static_cast<std::size_t>(y) * p.width + x] != background)
                s.insert({x, y});
    return s;
}

} // namespace

TEST(IfsRender, TheFirst1001PointsAreNotDrawn)
{
    IfsRunSettings s;
    s.frames = sierpinski();
    IfsIterator it(s, 1);
    int hidden = 0;
    while (!it.step())
        ++hidden;
    EXPECT_EQ(hidden, 1001);
    EXPECT_TRUE(it.step());
}

TEST(IfsRender, MoreFramesThanAnIntProductHoldsAreAllReachable)
{
    // 70000 frames: rand·n passes 2^31 for the upper half of the random range.
    constexpr int kFrames = 70000;
    IfsRunSettings s;
    for (int i = 0; i < kFrames; ++i)
        s.frames.push_back(frame({0, 0}, {10000, 0}, {0, 10000},
                                 RGB(i & 0xFF, (i >> 8) & 0xFF, (i >> 16) & 0xFF)));
    IfsIterator it(s, 3);
    int highest = -1;
    for (int n = 0; n < 4000; ++n) {
        it.step();
        const ColorRef c = it.color;
        const int index = static_cast<int>((c & 0xFF) | ((c >> 8) & 0xFF) << 8 | ((c >> 16) & 0xFF) << 16);
        ASSERT_LT(index, kFrames);
        highest = std::max(highest, index);
    }
    EXPECT_GT(highest, 65536); // frames past the 16-bit range are picked too
}

TEST(IfsRender, ASingleFrameSettlesOnItsIntegerFixedPoint)
{
    // x -> 1000 + x/2, y -> 2000 + y/2 in integers: 5000, 3500, 2750, ... 2001, 2000.
    IfsRunSettings s;
    s.frames = {frame({1000, 2000}, {5000, 0}, {0, 5000}, RGB(200, 10, 20))};
    const IfsPicture p = render(s, 120, 120, 5000);
    const auto points = drawn(p, 0xffffff);
    // (2000, 4000): x pixel 60 + floor((-3000·120 + 6000)/12000) = 30, y 60 - floor(-9.5) = 70.
    EXPECT_EQ(points, (std::set<std::pair<int, int>>{{30, 70}}));
    EXPECT_EQ(p.pixels[70 * 120 + 30], 0xc80a14u);
}

TEST(IfsRender, ASingleTurningFrameDrawsItsShortCycle)
{
    // A half turn about (5000, 5000) with a shrink to zero size is impossible (invalid), so
    // use a half turn at full size: the point alternates between two places for ever.
    IfsRunSettings s;
    s.frames = {frame({10000, 10000}, {-10000, 0}, {0, -10000}, RGB(0, 0, 0))};
    // From (5000, 5000) the map gives (10000 - 5000, 10000 - 5000): the centre is fixed.
    EXPECT_EQ(drawn(render(s, 60, 60, 1000), 0xffffff).size(), 1u);
    s.frames[0].vertex = {9000, 10000};
    // (5000, 5000) -> (4000, 5000) -> (5000, 5000): a cycle of two points.
    EXPECT_EQ(drawn(render(s, 60, 60, 1000), 0xffffff).size(), 2u);
}

TEST(IfsRender, SameColorPaintsEveryPointInTheDefaultColour)
{
    IfsRunSettings s;
    s.frames = sierpinski();
    s.samecolor = true;
    s.defframe = RGB(1, 2, 3);
    const IfsPicture p = render(s, 80, 80, 20000);
    std::set<std::uint32_t> colours(p.pixels.begin(), p.pixels.end());
    EXPECT_EQ(colours, (std::set<std::uint32_t>{0xffffff, 0x010203}));
}

TEST(IfsRender, AnIgnoringFrameKeepsThePreviousColour)
{
    IfsRunSettings s;
    s.frames = sierpinski();
    s.frames[0].ignoreColor = 1;
    s.frames[1].ignoreColor = 1;
    s.frames[2].color = RGB(255, 0, 0);
    s.defframe = RGB(0, 255, 0);
    const IfsPicture p = render(s, 80, 80, 20000);
    std::set<std::uint32_t> colours(p.pixels.begin(), p.pixels.end());
    EXPECT_EQ(colours, (std::set<std::uint32_t>{0xffffff, 0xff0000}));
}

TEST(IfsRender, TwoFramesMatchAnIndependentChaosGame)
{
    // Two maps: a half-size copy at the origin and one turned a quarter, half size, to the right.
    const std::vector<CIfsFrame> frames = {
        frame({0, 0}, {5000, 0}, {0, 5000}, RGB(0, 0, 0)),
        frame({10000, 2000}, {0, 5000}, {-5000, 0}, RGB(0, 0, 0))};
    IfsRunSettings s;
    s.frames = frames;
    const IfsPicture p = render(s, 48, 48, 300000);
    const auto ours = drawn(p, 0xffffff);

    // The same integer maps, driven by another generator and mapped to pixels by hand.
    std::mt19937 gen(12345);
    std::set<std::pair<int, int>> reference;
    long long x = 5000, y = 5000;
    for (int k = 0; k < 301001; ++k) {
        const CIfsFrame& f = frames[gen() % 2];
        const long long nx = f.vertex.x + (f.side1.x * x + f.side2.x * y) / 10000;
        const long long ny = f.vertex.y + (f.side1.y * x + f.side2.y * y) / 10000;
        x = nx;
        y = ny;
        if (k > 1000) {
            // Nearest pixel, halves rounded up in frame units (so down the screen for y).
            const double px = std::floor((x - 5000) * 48.0 / 12000 + 0.5);
            const double py = std::floor((y - 5000) * 48.0 / 12000 + 0.5);
            reference.insert({24 + static_cast<int>(px), 24 - static_cast<int>(py)});
        }
    }
    // Visible: many pixels, not a point or a short cycle.
    EXPECT_GT(ours.size(), 80u);
    // Integer truncation leaves a few points that the game reaches only rarely, so two runs
    // with different generators may differ in a pixel or two; everything else agrees, and no
    // pixel of one run lies away from the other's picture.
    std::size_t common = 0;
    for (const auto& px : ours)
        common += reference.count(px);
    EXPECT_GE(common * 100, reference.size() * 95);
    EXPECT_GE(common * 100, ours.size() * 95);
    const auto near = [](const std::set<std::pair<int, int>>& set, std::pair<int, int> px) {
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (set.count({px.first + dx, px.second + dy}))
                    return true;
        return false;
    };
    for (const auto& px : ours)
        EXPECT_TRUE(near(reference, px)) << px.first << "," << px.second;
    for (const auto& px : reference)
        EXPECT_TRUE(near(ours, px)) << px.first << "," << px.second;
}

TEST(IfsRender, OneSeedOnePictureOnAnyNumberOfCores)
{
    IfsRunSettings s;
    s.frames = sierpinski();
    const IfsPicture one = render(s, 64, 48, 3000, 99, 1);
    const IfsPicture three = render(s, 64, 48, 3000, 99, 3);
    EXPECT_EQ(one.pixels, three.pixels);
    EXPECT_NE(render(s, 64, 48, 3000, 100, 2).pixels, one.pixels);
}

TEST(IfsRender, ShowFramesDrawsTheSquareAndTheFramesFirst)
{
    IfsRunSettings s;
    s.frames = {frame({0, 0}, {5000, 0}, {0, 5000}, RGB(255, 0, 0))};
    s.showframes = true;
    IfsPicture p;
    p.width = 120;
    p.height = 120;
    clearIfsPicture(s, p);
    // The square runs from pixel 10 to 110; its corners are in the border colour, except the
    // one under the frame's vertex, which the frame (drawn after the square) covers.
    EXPECT_EQ(p.pixels[110 * 120 + 110], 0x808080u);
    EXPECT_EQ(p.pixels[10 * 120 + 110], 0x808080u);
    EXPECT_EQ(p.pixels[10 * 120 + 10], 0x808080u);
    EXPECT_EQ(p.pixels[110 * 120 + 10], 0xff0000u);
    // The frame's solid side along the bottom from (10, 110) to (60, 110) is red over the
    // square, its far sides dotted: (60, 60)-(10, 60) alternates.
    EXPECT_EQ(p.pixels[110 * 120 + 35], 0xff0000u);
    EXPECT_EQ(p.pixels[60 * 120 + 20], 0xff0000u);
    EXPECT_EQ(p.pixels[60 * 120 + 21], 0xffffffu);
    s.showframes = false;
    clearIfsPicture(s, p);
    EXPECT_EQ(std::set<std::uint32_t>(p.pixels.begin(), p.pixels.end()),
              std::set<std::uint32_t>{0xffffff});
}

TEST(IfsRender, CancellingStopsWithoutAPictureAndProgressReachesTheEnd)
{
    IfsFileRequest r;
    r.settings.frames = sierpinski();
    r.width = 32;
    r.height = 32;
    r.points = 500000;
    RunGate gate;
    IfsPicture p;
    std::atomic<int> progress{0};
    EXPECT_FALSE(renderIfsPicture(r, p, gate, &progress)); // never started: lowered at once
    gate.start();
    EXPECT_TRUE(renderIfsPicture(r, p, gate, &progress));
    EXPECT_EQ(progress.load(), 100);
}
