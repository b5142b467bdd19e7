#include "view/trackball.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qubex {
namespace {

float length(const Vec3f& v)
{
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// Applies a column-major matrix to a point.
Vec3f apply(const Matrix4f& m, const Vec3f& p)
{
    Vec3f r{};
    for (int row = 0; row < 3; ++row)
        r[row] =
            m[0 * 4 + row] * p[0] + m[1 * 4 + row] * p[1] + m[2 * 4 + row] * p[2] + m[3 * 4 + row];
    return r;
}

TEST(SphereMapping, CentreCornersAndEdges)
{
    Trackball t;
    t.setSize(200, 100);
    const Vec3f centre = t.mapToSphere(100, 50);
    EXPECT_NEAR(centre[0], 0, 1e-6);
    EXPECT_NEAR(centre[1], 0, 1e-6);
    EXPECT_NEAR(centre[2], 1, 1e-6);
    // Top-left corner: (-1, 1) limited to distance 1, so it lies on the equator.
    const Vec3f corner = t.mapToSphere(0, 0);
    EXPECT_NEAR(corner[2], 0, 1e-6);
    EXPECT_NEAR(corner[0], -std::sqrt(0.5f), 1e-6);
    EXPECT_NEAR(corner[1], std::sqrt(0.5f), 1e-6);
    // Half way to the right edge: d = 0.5, z = cos(pi/4) before normalising.
    const Vec3f half = t.mapToSphere(150, 50);
    EXPECT_NEAR(half[2] / half[0], std::cos(0.5 * 1.5707963267948966) / 0.5, 1e-5);
    EXPECT_NEAR(length(half), 1, 1e-6);
    // Screen y grows downwards, sphere y upwards.
    EXPECT_GT(t.mapToSphere(100, 0)[1], 0.99f);
}

TEST(SphereMapping, ZeroSizedAreaStaysFinite)
{
    Trackball t;
    t.setSize(0, 0);
    const Vec3f v = t.mapToSphere(3, 4);
    for (float c : v)
        EXPECT_TRUE(std::isfinite(c));
}

TEST(TrackballDrag, MotionSetsAngleAndAxisFromTheSphereVectors)
{
    Trackball t;
    t.setSize(100, 100);
    t.press(50, 50, 10);
    EXPECT_TRUE(t.tracking);
    EXPECT_FALSE(t.spinning);
    ASSERT_TRUE(t.move(100, 50, 20)); // centre to the right edge: a quarter turn about y
    EXPECT_NEAR(t.angle, 90 * std::sqrt(2.0f), 1e-3);
    EXPECT_NEAR(t.axis[0], 0, 1e-6);
    EXPECT_NEAR(t.axis[1], 1, 1e-6);
    EXPECT_NEAR(t.axis[2], 0, 1e-6);
    EXPECT_EQ(t.lastTime, 20u);
    EXPECT_FALSE(Trackball{}.move(1, 1, 1)); // no motion without a press
}

TEST(TrackballDrag, ReleaseAfterMotionSpinsAndDecaysPerTick)
{
    Trackball t;
    t.setSize(100, 100);
    t.press(50, 50, 10);
    t.move(60, 50, 20);
    const float angle = t.angle;
    t.release(500); // the mouse rested before release: keeps the last motion's increment
    EXPECT_FALSE(t.tracking);
    EXPECT_TRUE(t.spinning);
    EXPECT_EQ(t.angle, angle);
    ASSERT_TRUE(t.tick());
    EXPECT_FLOAT_EQ(t.angle, angle * 0.98f);
    ASSERT_TRUE(t.tick());
    EXPECT_FLOAT_EQ(t.angle, angle * 0.98f * 0.98f);
}

TEST(TrackballDrag, SpinComesToRestOnceItCannotBeSeen)
{
    Trackball t;
    t.spinning = true;
    t.angle = 5;
    int ticks = 0;
    while (t.tick() && ticks < 100000)
        ++ticks;
    EXPECT_FALSE(t.spinning);
    EXPECT_EQ(t.angle, 0);
    // 5 * 0.98^n falls below 1e-4 degrees after about 536 ticks, not thousands later.
    EXPECT_GT(ticks, 500);
    EXPECT_LT(ticks, 600);
}

TEST(TrackballDrag, ClickWithoutMotionStopsTheSpin)
{
    Trackball t;
    t.setSize(100, 100);
    t.press(50, 50, 0);
    t.move(70, 40, 5);
    t.release(300);
    ASSERT_TRUE(t.spinning);
    t.press(20, 20, 1000);
    t.release(1120); // an ordinary click takes longer than a millisecond
    EXPECT_FALSE(t.spinning);
    EXPECT_EQ(t.angle, 0);
    EXPECT_FALSE(t.tick());
    // Released on the very tick of the last motion: also a stop.
    t.press(50, 50, 2000);
    t.move(55, 50, 2001);
    t.release(2001);
    EXPECT_FALSE(t.spinning);
}

TEST(TrackballAccumulation, EveryRedrawAddsTheIncrementOnceMore)
{
    Trackball t;
    t.angle = 30;
    t.axis = {0, 0, 2}; // not normalised: glRotate normalises it
    t.accumulate();
    t.accumulate();
    t.accumulate();
    const Vec3f p = apply(t.accumulated, {1, 0, 0});
    EXPECT_NEAR(p[0], 0, 1e-5); // three times 30 degrees about z
    EXPECT_NEAR(p[1], 1, 1e-5);
    t.angle = 0;
    t.accumulate();
    EXPECT_NEAR(apply(t.accumulated, {1, 0, 0})[1], 1, 1e-5);
    t.reset();
    EXPECT_EQ(t.accumulated, identityMatrix());
}

TEST(TrackballAccumulation, NewIncrementIsAppliedAfterTheOldRotation)
{
    // accumulated = R(new) * accumulated: x first turned about z to y, then about x to z.
    Trackball t;
    t.angle = 90;
    t.axis = {0, 0, 1};
    t.accumulate();
    t.axis = {1, 0, 0};
    t.accumulate();
    const Vec3f p = apply(t.accumulated, {1, 0, 0});
    EXPECT_NEAR(p[0], 0, 1e-5);
    EXPECT_NEAR(p[1], 0, 1e-5);
    EXPECT_NEAR(p[2], 1, 1e-5);
}

TEST(RotationMatrix, NullAxisLeavesTheMatrixAlone)
{
    EXPECT_EQ(rotationMatrix(45, {0, 0, 0}), identityMatrix());
    EXPECT_EQ(rotationMatrix(45, {NAN, 0, 0}), identityMatrix());
}

TEST(Zoom, HundredPixelsUpAddsOneHalf)
{
    ZoomDrag z;
    z.press(300);
    z.move(200);
    EXPECT_DOUBLE_EQ(z.zoom, 1.5);
    z.move(300.7); // truncated toward zero: -0.7 pixels is no step
    EXPECT_DOUBLE_EQ(z.zoom, 1.0);
    z.release();
    z.move(0);
    EXPECT_DOUBLE_EQ(z.zoom, 1.0); // not zooming any more
}

TEST(Zoom, NeverReachesZero)
{
    ZoomDrag z;
    z.press(0);
    z.move(150); // 1 - 0.75
    EXPECT_DOUBLE_EQ(z.zoom, 0.25);
    z.move(200); // would be 0: keeps the last positive value
    EXPECT_DOUBLE_EQ(z.zoom, 0.25);
    z.move(1000);
    EXPECT_DOUBLE_EQ(z.zoom, 0.25);
    z.move(199); // 1 - 0.995
    EXPECT_NEAR(z.zoom, 0.005, 1e-12);
}

} // namespace
} // namespace qubex
