// Set bounds and the void check: known boxes, the two "void" messages, and scenes built to keep
// the growth loop from settling, which must still end.
#include <gtest/gtest.h>

#include <cmath>

#include "bounds.h"
#include "builder.h"
#include "compose.h"
#include "image_buffer.h"
#include "mebius_scene.h"
#include "render_test_util.h"
#include "samples.h"

using namespace ormolith;
using namespace ormolith::test;

TEST(SetBounds, EightCornerCubeGetsTheWidenedCube)
{
    auto scene = cubeScene();
    ASSERT_TRUE(scene->prepareSets()) << scene->errorText;
    const SetRecord& set = scene->sets[0];
    EXPECT_TRUE(set.boundsKnown);
    for (int a = 0; a < 3; ++a) {
        EXPECT_NEAR(set.boxMin[a], -1.1, 1e-12);
        EXPECT_NEAR(set.boxMax[a], 1.1, 1e-12);
        EXPECT_NEAR(set.centre[a], 0, 1e-12);
    }
    EXPECT_NEAR(set.radius2, 3.63, 1e-12);
}

TEST(SetBounds, BoxesHoldTheirSets)
{
    // Points of every taking-part set, made by iterating the subset maps from any start (the
    // maps shrink, so the start is forgotten), all lie in the final boxes, and the spheres
    // the pieces carry hold the boxes.
    for (int index = 0; index < 8; ++index) {
        auto scene = makeSample(index);
        auto& affine = static_cast<AffineScene&>(*scene);
        ASSERT_TRUE(affine.prepareSets()) << index << ": " << affine.errorText;
        std::array<Vec3, kMaxSets> x{};
        unsigned seed = 12345;
        for (int round = 0; round < 3000; ++round) {
            std::array<Vec3, kMaxSets> next = x;
            for (int i = 0; i < affine.setCount; ++i) {
                if (!affine.takesPart(i))
                    continue;
                const SetRecord& set = affine.sets[i];
                seed = seed * 1103515245u + 12345u;
                int k = int((seed >> 16) % unsigned(set.subsetCount));
                while (set.subsets[k].map == 0)
                    k = (k + 1) % set.subsetCount;
                next[i] = affine.mapTransforms[set.subsets[k].map - 1].apply(
                    x[set.subsets[k].subset - 1]);
                if (round < 60)
                    continue;
                for (int a = 0; a < 3; ++a) {
                    EXPECT_GE(next[i][a], set.boxMin[a] - 1e-9) << index << " set " << i;
                    EXPECT_LE(next[i][a], set.boxMax[a] + 1e-9) << index << " set " << i;
                }
            }
            x = next;
        }
        for (int i = 0; i < affine.setCount; ++i) {
            if (!affine.takesPart(i))
                continue;
            const SetRecord& set = affine.sets[i];
            EXPECT_TRUE(set.boundsKnown);
            const Vec3 half = 0.5 * (set.boxMax - set.boxMin);
            EXPECT_NEAR(set.radius2, dot(half, half), 1e-12);
            EXPECT_EQ(set.centre, 0.5 * (set.boxMin + set.boxMax));
        }
    }
}

TEST(SetBounds, SetsThatDoNotShrinkAreVoid)
{
    // A set whose only subset maps it onto itself by a rotation (determinant 1).
    AffineScene rotation;
    rotation.mapCount = 1;
    rotation.setCount = 1;
    rotation.currentSet = 1;
    rotation.maps[0].submapCount = 1;
    rotation.maps[0].submaps[0].kind = kSubmapRotate;
    rotation.maps[0].submaps[0].angle = 30;
    rotation.maps[0].submaps[0].direction = {0, 0, 1};
    rotation.sets[0].subsetCount = 1;
    rotation.sets[0].subsets[0] = {1, 1, 0};
    EXPECT_FALSE(rotation.prepareSets());
    EXPECT_EQ(rotation.errorText, "Error:Set is void");

    // The same message reaches the user through a build, and the old picture stays.
    ImageBuffer image;
    EXPECT_FALSE(build(rotation, image, 8, 8));
    EXPECT_EQ(rotation.errorText, "Error:Set is void");
    EXPECT_FALSE(image.hasPixels());
}

TEST(SetBounds, GrowthThatNeverSettlesStillEnds)
{
    // Each scene here once kept a naive growth loop running: a map that shrinks volume but
    // stretches one axis, a set that collapses to a point, a map that blows up to infinity, and
    // two sets feeding each other through a stretch.
    struct Case {
        const char* what;
        Vec3 scale;
        bool ends; // prepareSets may succeed or fail, but must return
    };
    const Case cases[] = {
        {"stretch along x", {2, 0.1, 0.1}, true},
        {"huge stretch", {1e200, 1e-210, 1}, true},
        {"flat", {0.5, 0, 0.5}, true},
        {"point", {0, 0, 0}, true},
    };
    for (const Case& c : cases) {
        AffineScene scene;
        scene.mapCount = 2;
        scene.setCount = 2;
        scene.currentSet = 1;
        scene.maps[0].submapCount = 2;
        scene.maps[0].submaps[0].kind = kSubmapScale;
        scene.maps[0].submaps[0].direction = c.scale;
        scene.maps[0].submaps[1].kind = kSubmapTranslate;
        scene.maps[0].submaps[1].direction = {1, 2, 3};
        scene.maps[1].submapCount = 1;
        scene.maps[1].submaps[0].kind = kSubmapScale;
        scene.maps[1].submaps[0].direction = {3, 0.05, 0.05};
        scene.sets[0].subsetCount = 2;
        scene.sets[0].subsets[0] = {1, 1, 0};
        scene.sets[0].subsets[1] = {2, 2, 0};
        scene.sets[1].subsetCount = 1;
        scene.sets[1].subsets[0] = {1, 2, 0};
        const bool ok = scene.prepareSets();
        if (!ok) {
            EXPECT_EQ(scene.errorText, "Error:Set is void") << c.what;
        } else {
            for (int a = 0; a < 3; ++a)
                EXPECT_TRUE(std::isfinite(scene.sets[0].boxMin[a]) &&
                            std::isfinite(scene.sets[0].boxMax[a]))
                    << c.what;
        }
    }
}

TEST(SetBounds, MoebiusSetsLieInTheUnitBall)
{
    auto scene = makeSample(8);
    ASSERT_TRUE(scene->prepareSets()) << scene->errorText;
    for (int i = 0; i < scene->setCount; ++i) {
        EXPECT_EQ(scene->sets[i].centre, Vec3{});
        EXPECT_EQ(scene->sets[i].radius2, 1.0);
    }
    // The Appolony maps keep the ball inside itself.
    EXPECT_TRUE(voidCheck(*scene)) << scene->errorText;
}

TEST(VoidCheck, MoebiusSetLeavingTheBallIsRefused)
{
    // A translation carries the ball out of itself: the build stops with the void check's text
    // (with a blank after the colon).
    auto scene = std::make_unique<MebiusScene>();
    scene->mapCount = 2;
    scene->setCount = 1;
    scene->currentSet = 1;
    scene->maps[0].submapCount = 2;
    scene->maps[0].submaps[0] = {{}, 0.5, kSubmapScale, 0};
    scene->maps[0].submaps[1] = {{0.8, 0, 0}, 0, kSubmapTranslate, 0};
    scene->maps[1].submapCount = 1;
    scene->maps[1].submaps[0] = {{}, 0.5, kSubmapScale, 0};
    scene->sets[0].subsetCount = 2;
    scene->sets[0].subsets[0] = {1, 1, 0};
    scene->sets[0].subsets[1] = {1, 2, 0};
    ImageBuffer image;
    EXPECT_FALSE(build(*scene, image, 8, 8));
    EXPECT_EQ(scene->errorText, "Error: Set is void");

    // Moved by 0.4 instead, the half-size ball stays inside, and the set builds.
    scene->maps[0].submaps[1].direction = {0.4, 0, 0};
    scene->needsRebuild = true;
    EXPECT_TRUE(build(*scene, image, 8, 8)) << scene->errorText;
}

TEST(BoundsMath, FixedPointAndStretch)
{
    // p -> M p + t with M = diag(0.5, 0.25, -0.5), t = (1, 3, 3): fixed point (2, 4, 2).
    AffineTransform t;
    t.m = {{{0.5, 0, 0}, {0, 0.25, 0}, {0, 0, -0.5}}};
    t.t = {1, 3, 3};
    Vec3 p;
    ASSERT_TRUE(affineFixedPoint(t, p));
    EXPECT_NEAR(p.x, 2, 1e-12);
    EXPECT_NEAR(p.y, 4, 1e-12);
    EXPECT_NEAR(p.z, 2, 1e-12);
    t.m = identity3();
    EXPECT_FALSE(affineFixedPoint(t, p)); // a translation has none

    // The largest stretch of a shear [[1, 1, 0], [0, 1, 0], [0, 0, 0.5]] is the golden ratio.
    const Mat3 shear = {{{1, 1, 0}, {0, 1, 0}, {0, 0, 0.5}}};
    const double golden = (1 + std::sqrt(5.0)) / 2;
    EXPECT_NEAR(largestStretch2(shear), golden * golden, 1e-12);
    // Diagonal matrices take the closed form's shortcut.
    EXPECT_DOUBLE_EQ(largestStretch2({{{0.3, 0, 0}, {0, -0.7, 0}, {0, 0, 0.2}}}), 0.49);
    // A rotation scaled by 1/3 stretches by 1/3 in every direction.
    const Mat3 r = rotationMatrix(37, {1, 2, 3});
    Mat3 s = r;
    for (auto& row : s)
        for (double& v : row)
            v /= 3;
    EXPECT_NEAR(largestStretch2(s), 1.0 / 9, 1e-12);
}
