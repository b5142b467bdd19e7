#include "model/ifs_model.h"
#include "scripted_random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace qubex {
namespace {

using test::ScriptedRandom;

// A map p -> s*p + t written with the last row (0,0,0,w).
Matrix4d affine(double s, double tx, double ty, double tz, double w = 1)
{
    Matrix4d m{};
    m[0][0] = m[1][1] = m[2][2] = s;
    m[0][3] = tx, m[1][3] = ty, m[2][3] = tz;
    m[3][3] = w;
    return m;
}

std::unique_ptr<PointCloud> cloudOf(std::initializer_list<Point3f> points)
{
    auto cloud = std::make_unique<PointCloud>();
    for (const auto& p : points)
        cloud->points[cloud->count++] = p;
    return cloud;
}

TEST(RandomSigned, ScalesDrawsAndTakesSignFromSecondDraw)
{
    ScriptedRandom r;
    r.queue({32767, 16384, 32767, 16383, 0, 0, 16384, 32767});
    EXPECT_EQ(randomSigned(r), 1.0f);  // sign draw 16384/32767 >= 0.5
    EXPECT_EQ(randomSigned(r), -1.0f); // sign draw 16383/32767 < 0.5
    EXPECT_EQ(randomSigned(r), -0.0f);
    EXPECT_EQ(randomSigned(r), static_cast<float>(16384 * (1.0 / 32767)));
    EXPECT_EQ(r.left(), 0u);
}

TEST(NewProbabilities, SingleMapGetsThresholdOne)
{
    IfsCode code;
    code.matrix_length = 1;
    ScriptedRandom r;
    r.queueSigned(100, true);
    newProbabilities(code, r);
    EXPECT_EQ(code.thresholds[0], 1.0);
}

TEST(NewProbabilities, SortedAbsoluteValuesEndingInOne)
{
    IfsCode code;
    code.matrix_length = 4;
    code.thresholds[4] = 0.25; // beyond the length: never touched
    ScriptedRandom r;
    r.queueSigned(30000, true);
    r.queueSigned(1000, false);
    r.queueSigned(20000, true);
    r.queueSigned(5, false); // overwritten by 1.0
    newProbabilities(code, r);
    EXPECT_EQ(code.thresholds[0], static_cast<float>(1000 * (1.0 / 32767)));
    EXPECT_EQ(code.thresholds[1], static_cast<float>(20000 * (1.0 / 32767)));
    EXPECT_EQ(code.thresholds[2], static_cast<float>(30000 * (1.0 / 32767)));
    EXPECT_EQ(code.thresholds[3], 1.0);
    EXPECT_EQ(code.thresholds[4], 0.25);
}

TEST(NewProbabilities, OutOfRangeLengthStaysInsideTheTable)
{
    // A length that never went through the clamps must neither write past 32 slots nor
    // leave the code without a map.
    IfsCode code;
    code.matrix_length = 1000;
    ScriptedRandom r(12345);
    newProbabilities(code, r);
    EXPECT_EQ(code.thresholds[kMaxMaps - 1], 1.0);
    EXPECT_EQ(r.used(), 2 * kMaxMaps);
    code.matrix_length = -5;
    newProbabilities(code, r);
    EXPECT_EQ(code.thresholds[0], 1.0);
}

TEST(NewMatrices, ZeroAnglesGiveTranslateThenScale)
{
    IfsCode code;
    code.matrix_length = 1;
    ScriptedRandom r;
    // a, b, q = 0: no rotation; d, e, f scale; g, h, k translate.
    for (int i = 0; i < 3; ++i)
        r.queueSigned(0, false);
    r.queueSigned(32767, false); // d = 1
    r.queueSigned(32767, true);  // e = -1
    r.queueSigned(16383, false); // f
    r.queueSigned(32767, true);  // g = -1
    r.queueSigned(0, false);     // h = 0
    r.queueSigned(32767, false); // k = 1
    newMatrices(code, r);
    const float f = static_cast<float>(16383 * (1.0 / 32767));
    const Matrix4d& m = code.maps[0];
    EXPECT_EQ(m[0][0], 1.0);
    EXPECT_EQ(m[1][1], -1.0);
    EXPECT_EQ(m[2][2], static_cast<double>(f));
    EXPECT_EQ(m[0][3], -1.0);
    EXPECT_EQ(m[1][3], 0.0);
    EXPECT_EQ(m[2][3], 1.0);
    EXPECT_EQ(m[0][1], 0.0);
    EXPECT_EQ(m[3][0], 0.0);
    EXPECT_EQ(m[3][3], 1.0);
}

TEST(NewMatrices, QuarterTurnAboutZ)
{
    IfsCode code;
    code.matrix_length = 1;
    ScriptedRandom r;
    r.queueSigned(0, false);
    r.queueSigned(0, false);
    r.queueSigned(32767 / 4, false); // q ~ 0.25 turn
    for (int i = 0; i < 3; ++i)
        r.queueSigned(32767, false); // unit scale
    for (int i = 0; i < 3; ++i)
        r.queueSigned(0, false); // no translation
    newMatrices(code, r);
    const Matrix4d& m = code.maps[0];
    EXPECT_NEAR(m[0][0], 0.0, 1e-3);
    EXPECT_NEAR(m[0][1], -1.0, 1e-6);
    EXPECT_NEAR(m[1][0], 1.0, 1e-6);
    // Stored values were formed in single precision.
    EXPECT_EQ(m[1][0], static_cast<double>(static_cast<float>(m[1][0])));
}

TEST(NewMatrices, RotatesAboutXThenYAndTurnsTheTranslationToo)
{
    // Quarter turns about x and y, a unit translation along y: Rx*Ry*T*S. The order shows in
    // both the 3x3 block (Ry*Rx would give another permutation) and the last column (the
    // translation is rotated, T*R would leave it on y).
    IfsCode code;
    code.matrix_length = 1;
    ScriptedRandom r;
    r.queueSigned(8192, false); // a: a quarter turn (90.003 degrees)
    r.queueSigned(8192, false); // b
    r.queueSigned(0, false);    // q
    for (int i = 0; i < 3; ++i)
        r.queueSigned(32767, false); // unit scale
    r.queueSigned(0, false);         // g
    r.queueSigned(32767, false);     // h = 1
    r.queueSigned(0, false);         // k
    newMatrices(code, r);
    const Matrix4d& m = code.maps[0];
    const double expected[3][4] = {{0, 0, 1, 0}, {1, 0, 0, 0}, {0, 1, 0, 1}};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col)
            EXPECT_NEAR(m[row][col], expected[row][col], 1e-3) << row << "," << col;
}

TEST(NewMatrices, GeneratedMapsKeepLastRowAndOnlyTouchTheirSlots)
{
    IfsCode code;
    code.matrix_length = 3;
    code.maps[3] = affine(7, 7, 7, 7);
    ScriptedRandom r(23456);
    newMatrices(code, r);
    EXPECT_EQ(r.used(), 3 * 9 * 2);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(code.maps[i][3][0], 0.0);
        EXPECT_EQ(code.maps[i][3][1], 0.0);
        EXPECT_EQ(code.maps[i][3][2], 0.0);
        EXPECT_EQ(code.maps[i][3][3], 1.0);
    }
    EXPECT_EQ(code.maps[3][0][0], 7.0);
}

class GeneratePoints : public ::testing::Test {
protected:
    IfsCode code;
    GenerationSettings settings{.iteration = 100, .autosize = false, .autocenter = false};
    std::unique_ptr<PointCloud> cloud = std::make_unique<PointCloud>();
};

TEST_F(GeneratePoints, SingleMapIsAlwaysUsedAndFirstPointIsImageOfStart)
{
    code.matrix_length = 1;
    code.thresholds[0] = 1.0;
    code.maps[0] = affine(0.5, 1, 2, 3);
    settings.iteration = 3;
    ScriptedRandom r(20000);
    generatePoints(code, settings, *cloud, r);
    ASSERT_EQ(cloud->count, 3);
    // Start (0,0,0,-1): x' = -1, w' = -1, so X = 1; after that X = (0.5 X - 1) / -1.
    EXPECT_FLOAT_EQ(cloud->points[0].x, 1.0f);
    EXPECT_FLOAT_EQ(cloud->points[0].y, 2.0f);
    EXPECT_FLOAT_EQ(cloud->points[0].z, 3.0f);
    // X = (0.5*1 + 1*(-1)) / -1 = 0.5
    EXPECT_FLOAT_EQ(cloud->points[1].x, 0.5f);
    EXPECT_FLOAT_EQ(cloud->points[2].x, 0.75f);
}

TEST_F(GeneratePoints, SelectsFirstMapWhoseThresholdReachesTheDraw)
{
    code.matrix_length = 3;
    code.maps[0] = affine(0, 1, 0, 0);
    code.maps[1] = affine(0, 2, 0, 0);
    code.maps[2] = affine(0, 3, 0, 0);
    code.thresholds = {};
    code.thresholds[0] = 0.25, code.thresholds[1] = 0.5, code.thresholds[2] = 0.75;
    settings.iteration = 5;
    ScriptedRandom r;
    r.queueSigned(0, true);          // 0 -> map 0
    r.queueSigned(32767 / 4, false); // just below 0.25 -> map 0
    r.queueSigned(16384, true);      // just above 0.5 -> map 2
    r.queueSigned(16383, false);     // just below 0.5 -> map 1
    r.queueSigned(32767, false);     // 1.0 is above every threshold -> last map
    generatePoints(code, settings, *cloud, r);
    EXPECT_EQ(cloud->points[0].x, 1.0f);
    EXPECT_EQ(cloud->points[1].x, 1.0f);
    EXPECT_EQ(cloud->points[2].x, 3.0f);
    EXPECT_EQ(cloud->points[3].x, 2.0f);
    EXPECT_EQ(cloud->points[4].x, 3.0f);
}

TEST_F(GeneratePoints, EqualThresholdsMakeTheLaterMapUnreachable)
{
    code.matrix_length = 3;
    code.maps[0] = affine(0, 1, 0, 0);
    code.maps[1] = affine(0, 2, 0, 0);
    code.maps[2] = affine(0, 3, 0, 0);
    code.thresholds[0] = 0.5, code.thresholds[1] = 0.5, code.thresholds[2] = 1.0;
    settings.iteration = 2000;
    CRandSource r;
    std::srand(7);
    generatePoints(code, settings, *cloud, r);
    int seen[4] = {};
    for (int n = 0; n < cloud->count; ++n)
        ++seen[static_cast<int>(cloud->points[n].x)];
    EXPECT_GT(seen[1], 0);
    EXPECT_EQ(seen[2], 0);
    EXPECT_GT(seen[3], 0);
}

TEST_F(GeneratePoints, GeneratedCodeKeepsWAtMinusOne)
{
    // With W held at -1 every step is p -> -(A p - t): check that law on a long walk.
    code.matrix_length = 1;
    ScriptedRandom rMaps(30000);
    newProbabilities(code, rMaps);
    newMatrices(code, rMaps);
    settings.iteration = 1000;
    ScriptedRandom r(1000);
    generatePoints(code, settings, *cloud, r);
    const Matrix4d& M = code.maps[0];
    for (int n = 1; n < 50; ++n) {
        const Point3f& p = cloud->points[n - 1];
        const double x = M[0][0] * p.x + M[0][1] * p.y + M[0][2] * p.z - M[0][3];
        EXPECT_NEAR(cloud->points[n].x, -x, 1e-4) << n;
    }
}

TEST_F(GeneratePoints, LastRowTwoDoublesWEachStep)
{
    code.matrix_length = 1;
    code.thresholds[0] = 1;
    code.maps[0] = affine(1, 1, 0, 0, 2.0); // last row (0,0,0,2)
    settings.iteration = 6;
    ScriptedRandom r(0);
    generatePoints(code, settings, *cloud, r);
    // W: -1 -> -2 -> -4 ...; x' = X + W, X = x'/w'.
    double X = 0, W = -1;
    for (int n = 0; n < 6; ++n) {
        const double w = 2 * W;
        X = (X + W) / w;
        W = w;
        EXPECT_FLOAT_EQ(cloud->points[n].x, static_cast<float>(X)) << n;
    }
}

TEST_F(GeneratePoints, PointAtInfinityNeverPoisonsTheCloud)
{
    // Map 0 sends everything to w' = 0; map 1 is an ordinary contraction.
    code.matrix_length = 2;
    code.maps[0] = affine(0.5, 1, 1, 1, 0.0);
    code.maps[1] = affine(0.5, 0.5, 0, 0);
    code.thresholds[0] = 0.5, code.thresholds[1] = 1.0;
    settings = {.iteration = 5000, .autosize = true, .autocenter = true};
    CRandSource r;
    std::srand(11);
    generatePoints(code, settings, *cloud, r);
    for (int n = 0; n < cloud->count; ++n) {
        ASSERT_TRUE(std::isfinite(cloud->points[n].x)) << n;
        ASSERT_TRUE(std::isfinite(cloud->points[n].y)) << n;
        ASSERT_TRUE(std::isfinite(cloud->points[n].z)) << n;
    }
}

TEST_F(GeneratePoints, GrowingWEventuallyRestartsInsteadOfOverflowing)
{
    code.matrix_length = 1;
    code.thresholds[0] = 1;
    code.maps[0] = affine(1, 1, 1, 1, 2.0); // W doubles until it leaves the double range
    settings = {.iteration = 5000, .autosize = true, .autocenter = true};
    ScriptedRandom r(0);
    generatePoints(code, settings, *cloud, r);
    for (int n = 0; n < cloud->count; ++n)
        ASSERT_TRUE(std::isfinite(cloud->points[n].x)) << n;
    // The walk restarts from (0,0,0,-1), so the first point's value comes round again.
    int repeats = 0;
    for (int n = 1; n < cloud->count; ++n)
        repeats += cloud->points[n].x == cloud->points[0].x;
    EXPECT_GT(repeats, 0);
}

TEST_F(GeneratePoints, IterationBeyondCapacityIsLimited)
{
    code.matrix_length = 1;
    code.thresholds[0] = 1;
    code.maps[0] = affine(0.5, 0, 0, 0);
    settings.iteration = 999999;
    ScriptedRandom r(5);
    generatePoints(code, settings, *cloud, r);
    EXPECT_EQ(cloud->count, kMaxPoints);
    settings.iteration = -3;
    generatePoints(code, settings, *cloud, r);
    EXPECT_EQ(cloud->count, 0);
}

TEST(Autosize, StretchesOnlyAxesLongerThanOneAboutTheOrigin)
{
    auto cloud = cloudOf({{0.1f, -1.0f, 5}, {0.9f, 2.0f, 5}, {0.5f, 0.5f, 5}});
    autosizePoints(*cloud);
    // x extent 0.8: untouched; y extent 3.0: times 2/3; z extent 0: untouched.
    EXPECT_EQ(cloud->points[0].x, 0.1f);
    EXPECT_EQ(cloud->points[1].x, 0.9f);
    EXPECT_FLOAT_EQ(cloud->points[0].y, -2.0f / 3.0f);
    EXPECT_FLOAT_EQ(cloud->points[1].y, 4.0f / 3.0f);
    EXPECT_FLOAT_EQ(cloud->points[2].y, 1.0f / 3.0f);
    EXPECT_EQ(cloud->points[2].z, 5.0f);
}

TEST(Autosize, ExtentOfExactlyOneIsLeftAlone)
{
    auto cloud = cloudOf({{0, 0, 0}, {1, 3, 0}});
    autosizePoints(*cloud);
    EXPECT_EQ(cloud->points[1].x, 1.0f);
    EXPECT_FLOAT_EQ(cloud->points[1].y, 2.0f);
}

TEST(Autocenter, MovesTheMeanToTheOrigin)
{
    auto cloud = cloudOf({{1, 2, 3}, {3, 2, 3}, {2, 5, 0}});
    autocenterPoints(*cloud);
    double sx = 0, sy = 0, sz = 0;
    for (int n = 0; n < 3; ++n)
        sx += cloud->points[n].x, sy += cloud->points[n].y, sz += cloud->points[n].z;
    EXPECT_NEAR(sx, 0, 1e-6);
    EXPECT_NEAR(sy, 0, 1e-6);
    EXPECT_NEAR(sz, 0, 1e-6);
    EXPECT_FLOAT_EQ(cloud->points[0].x, -1.0f);
    EXPECT_FLOAT_EQ(cloud->points[2].y, 2.0f);
}

TEST(GenerateFlags, RescalesBeforeCentring)
{
    // Two maps that pin the cloud to x = 1 or x = 4 (extent 3): scale first gives 2/3 and 8/3
    // and then centring moves them about their mean; the other order would give -1 and 1.
    IfsCode code;
    code.matrix_length = 2;
    code.maps[0] = affine(0, 1, 0, 0);
    code.maps[1] = affine(0, 4, 0, 0);
    code.thresholds[0] = 0.5, code.thresholds[1] = 1.0;
    GenerationSettings settings{.iteration = 2, .autosize = true, .autocenter = true};
    auto cloud = std::make_unique<PointCloud>();
    ScriptedRandom r;
    r.queueSigned(0, false);
    r.queueSigned(32767, false);
    generatePoints(code, settings, *cloud, r);
    EXPECT_FLOAT_EQ(cloud->points[0].x, -1.0f);
    EXPECT_FLOAT_EQ(cloud->points[1].x, 1.0f);

    // Three points 1, 1, 4: scaled 2/3, 2/3, 8/3 (mean 4/3), then centred.
    r.queueSigned(0, false);
    r.queueSigned(0, false);
    r.queueSigned(32767, false);
    settings.iteration = 3;
    generatePoints(code, settings, *cloud, r);
    EXPECT_FLOAT_EQ(cloud->points[0].x, -2.0f / 3.0f);
    EXPECT_FLOAT_EQ(cloud->points[2].x, 4.0f / 3.0f);
}

TEST(GenerateFlags, CentringAloneGivesZeroMean)
{
    IfsCode code;
    code.matrix_length = 4;
    CRandSource r;
    std::srand(3);
    newProbabilities(code, r);
    newMatrices(code, r);
    GenerationSettings settings{.iteration = 5000, .autosize = false, .autocenter = true};
    auto cloud = std::make_unique<PointCloud>();
    generatePoints(code, settings, *cloud, r);
    double sx = 0, sy = 0, sz = 0;
    for (int n = 0; n < cloud->count; ++n)
        sx += cloud->points[n].x, sy += cloud->points[n].y, sz += cloud->points[n].z;
    EXPECT_NEAR(sx / cloud->count, 0, 1e-5);
    EXPECT_NEAR(sy / cloud->count, 0, 1e-5);
    EXPECT_NEAR(sz / cloud->count, 0, 1e-5);
}

TEST(Clamps, MatrixLengthAndIteration)
{
    EXPECT_EQ(clampMatrixLength(0), 1);
    EXPECT_EQ(clampMatrixLength(33), 32);
    EXPECT_EQ(clampMatrixLength(7), 7);
    EXPECT_EQ(clampIteration(10), 100);
    EXPECT_EQ(clampIteration(60000), 50000);
    EXPECT_EQ(clampIteration(2500), 2500);
}

TEST(CRand, DrawsStayInFifteenBits)
{
    CRandSource r;
    std::srand(1);
    int highest = 0;
    for (int i = 0; i < 100000; ++i) {
        const int d = r.next();
        ASSERT_GE(d, 0);
        ASSERT_LE(d, kRandMax);
        highest = std::max(highest, d);
    }
    EXPECT_GT(highest, 32000);
}

} // namespace
} // namespace qubex
