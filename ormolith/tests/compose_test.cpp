// Map composition: affine steps folded into M p + t, Moebius steps into 5x5 matrices.
#include <gtest/gtest.h>

#include <cmath>

#include "affine_scene.h"
#include "mebius_scene.h"

using namespace ormolith;

namespace {

constexpr double kEps = 1e-12;

void expectNear(Vec3 a, Vec3 b, double eps = kEps)
{
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

AffineSubmap step(std::int32_t kind, Vec3 direction = {}, double angle = 0)
{
    AffineSubmap s;
    s.kind = kind;
    s.direction = direction;
    s.angle = angle;
    return s;
}

AffineSubmap mapStep(int k)
{
    AffineSubmap s;
    s.kind = kSubmapMap;
    s.map = k;
    return s;
}

// An affine scene whose map 1 is the given steps.
struct AffineFixture {
    AffineScene scene;
    explicit AffineFixture(std::initializer_list<AffineSubmap> steps, int maps = 1)
    {
        scene.mapCount = maps;
        for (const AffineSubmap& s : steps)
            scene.maps[0].submaps[scene.maps[0].submapCount++] = s;
    }
    bool compose() { return scene.composeMap(0); }
    Vec3 apply(Vec3 p) const { return scene.mapTransforms[0].apply(p); }
};

MebiusSubmap mstep(std::int32_t kind, Vec3 direction, double value, int map = 0)
{
    return {direction, value, kind, map};
}

struct MebiusFixture {
    MebiusScene scene;
    explicit MebiusFixture(std::initializer_list<MebiusSubmap> steps, int maps = 1)
    {
        scene.mapCount = maps;
        for (const MebiusSubmap& s : steps)
            scene.maps[0].submaps[scene.maps[0].submapCount++] = s;
    }
    bool compose() { return scene.composeMap(0); }
    Vec3 apply(Vec3 p) const { return applyToPoint(scene.mapMatrices[0], p); }
};

} // namespace

TEST(AffineCompose, RotateTurnsClockwiseAboutItsAxis)
{
    AffineFixture f{step(kSubmapRotate, {0, 0, 1}, 90)};
    ASSERT_TRUE(f.compose());
    expectNear(f.apply({1, 0, 0}), {0, -1, 0});
    expectNear(f.apply({0, 1, 0}), {1, 0, 0});
    expectNear(f.apply({0, 0, 1}), {0, 0, 1});
    // The clean-up leaves exact zeros where cos 90 leaves rounding noise.
    EXPECT_EQ(f.scene.mapTransforms[0].m[0][0], 0.0);
    EXPECT_EQ(f.scene.mapTransforms[0].m[1][1], 0.0);

    // The axis need not be a unit vector.
    AffineFixture g{step(kSubmapRotate, {0, 0, 5}, 90)};
    ASSERT_TRUE(g.compose());
    expectNear(g.apply({1, 0, 0}), {0, -1, 0});
}

TEST(AffineCompose, StepsActInListOrder)
{
    // Translate first, then rotate: (1,0,0) -> (2,0,0) -> (0,-2,0).
    AffineFixture f{step(kSubmapTranslate, {1, 0, 0}), step(kSubmapRotate, {0, 0, 1}, 90)};
    ASSERT_TRUE(f.compose());
    expectNear(f.apply({1, 0, 0}), {0, -2, 0});

    AffineFixture g{step(kSubmapScale, {2, 3, 4}), step(kSubmapTranslate, {1, 1, 1})};
    ASSERT_TRUE(g.compose());
    expectNear(g.apply({1, 1, 1}), {3, 4, 5});

    // Scale after a translation scales the translation too.
    AffineFixture h{step(kSubmapTranslate, {1, 1, 1}), step(kSubmapScale, {2, 3, 4})};
    ASSERT_TRUE(h.compose());
    expectNear(h.apply({0, 0, 0}), {2, 3, 4});
}

TEST(AffineCompose, MatrixStep)
{
    AffineSubmap identity = step(kSubmapMatrix);
    identity.p = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    AffineFixture before{step(kSubmapRotate, {1, 2, 3}, 33), step(kSubmapTranslate, {4, 5, 6})};
    AffineFixture with{step(kSubmapRotate, {1, 2, 3}, 33), step(kSubmapTranslate, {4, 5, 6}),
                       identity};
    ASSERT_TRUE(before.compose());
    ASSERT_TRUE(with.compose());
    EXPECT_EQ(with.scene.mapTransforms[0], before.scene.mapTransforms[0]);

    // A23 takes the z input into the y output, also for the translation.
    AffineSubmap a23 = step(kSubmapMatrix);
    a23.p = {1, 0, 0, 0, 1, 2, 0, 0, 1};
    AffineFixture f{step(kSubmapTranslate, {0, 0, 1}), a23};
    ASSERT_TRUE(f.compose());
    expectNear(f.apply({0, 0, 1}), {0, 4, 2});
}

TEST(AffineCompose, ScaleRotateScalesAlongAndAcrossItsAxis)
{
    for (Vec3 axis : {Vec3{1, 0, 0}, Vec3{0, 0, 1}, Vec3{0, 0, -2}, Vec3{1, 2, 2}}) {
        AffineSubmap s = step(kSubmapScaleRotate, axis, 0);
        s.p[0] = 3;   // along
        s.p[1] = 0.5; // across
        AffineFixture f{s};
        ASSERT_TRUE(f.compose());
        const Vec3 u = (1 / length(axis)) * axis;
        expectNear(f.apply(u), 3 * u);
        // Some vector perpendicular to u.
        const Vec3 w = std::fabs(u.z) < 0.9 ? cross(u, {0, 0, 1}) : cross(u, {1, 0, 0});
        expectNear(f.apply(w), 0.5 * w);
    }
    // With an angle it also turns about the axis, as Rotate does.
    AffineSubmap s = step(kSubmapScaleRotate, {0, 0, 1}, 90);
    s.p[0] = 1;
    s.p[1] = 1;
    AffineFixture f{s};
    ASSERT_TRUE(f.compose());
    expectNear(f.apply({1, 0, 0}), {0, -1, 0});
}

TEST(AffineCompose, MapStepFoldsAnotherMapIn)
{
    AffineFixture f{mapStep(2), step(kSubmapTranslate, {0, 0, 1})}; // map 1
    f.scene.mapCount = 2;
    f.scene.maps[1].submaps[0] = step(kSubmapScale, {2, 2, 2});
    f.scene.maps[1].submapCount = 1;
    ASSERT_TRUE(f.compose());
    expectNear(f.apply({1, 1, 1}), {2, 2, 3});

    // A map without submaps is the identity.
    f.scene.maps[1].submapCount = 0;
    ASSERT_TRUE(f.compose());
    expectNear(f.apply({1, 1, 1}), {1, 1, 2});
}

TEST(AffineCompose, FailuresNameTheMap)
{
    AffineFixture zeroAxis{step(kSubmapRotate, {0, 0, 0}, 90)};
    EXPECT_FALSE(zeroAxis.compose());
    EXPECT_EQ(zeroAxis.scene.errorText, "Error: Map 1");

    AffineFixture zeroScaleRotate{step(kSubmapScaleRotate, {0, 0, 1e-16}, 10)};
    EXPECT_FALSE(zeroScaleRotate.compose());
    EXPECT_EQ(zeroScaleRotate.scene.errorText, "Error: Map 1");

    // A map that folds itself in fails once the nesting passes Number of maps.
    AffineScene scene;
    scene.mapCount = 3;
    scene.maps[2].submaps[0] = mapStep(3);
    scene.maps[2].submapCount = 1;
    EXPECT_FALSE(scene.composeMap(2));
    EXPECT_EQ(scene.errorText, "Error: Map 3");
    EXPECT_EQ(scene.mapNesting, 0);

    // So does a cycle through two maps.
    scene.maps[0].submaps[0] = mapStep(2);
    scene.maps[0].submapCount = 1;
    scene.maps[1].submaps[0] = mapStep(1);
    scene.maps[1].submapCount = 1;
    EXPECT_FALSE(scene.composeMap(1));
    EXPECT_EQ(scene.errorText, "Error: Map 2");
}

TEST(AffineCompose, BadMapReferencesAreRefusedAtBuildTime)
{
    // References outside the table (negative, zero or past 32) name the map being composed.
    for (int bad : {-1, -32, 0, 33, 1000}) {
        AffineFixture f{step(kSubmapTranslate, {1, 0, 0}), mapStep(bad)};
        EXPECT_FALSE(f.compose()) << bad;
        EXPECT_EQ(f.scene.errorText, "Error: Map 1") << bad;
    }
    // A submap count beyond the table never reads past it.
    AffineFixture f{step(kSubmapTranslate, {1, 0, 0})};
    f.scene.maps[0].submapCount = 25;
    EXPECT_FALSE(f.compose());
    EXPECT_EQ(f.scene.errorText, "Error: Map1/Number of submaps");
}

TEST(AffineCompose, MapsPastNumberOfMapsAreFoldedLikeAnyOther)
{
    // An empty map past Number of maps does nothing; a filled one is folded in.
    for (int ref : {2, 32}) {
        AffineFixture f{step(kSubmapTranslate, {1, 0, 0}), mapStep(ref)};
        ASSERT_TRUE(f.compose()) << ref << " " << f.scene.errorText;
        expectNear(f.apply({0, 0, 0}), {1, 0, 0});
        f.scene.maps[ref - 1].submaps[0] = step(kSubmapScale, {3, 3, 3});
        f.scene.maps[ref - 1].submapCount = 1;
        ASSERT_TRUE(f.compose()) << ref;
        expectNear(f.apply({0, 0, 0}), {3, 0, 0});
    }
    // And the whole build accepts a scene that uses one.
    AffineScene scene;
    scene.mapCount = 1;
    scene.setCount = 1;
    scene.currentSet = 1;
    scene.sets[0].subsetCount = 2;
    scene.sets[0].subsets[0] = {1, 1, 0};
    scene.sets[0].subsets[1] = {1, 1, 0};
    scene.maps[0].submapCount = 2;
    scene.maps[0].submaps[0] = step(kSubmapScale, {0.5, 0.5, 0.5});
    scene.maps[0].submaps[1] = mapStep(7);
    EXPECT_TRUE(scene.prepareSets()) << scene.errorText;
}

TEST(AffineCompose, ExplosiveNestingFailsInsteadOfRunningForever)
{
    // Map k folds map k+1 in 24 times: 24^31 steps if nothing stopped it.
    AffineScene scene;
    scene.mapCount = 32;
    for (int k = 0; k < 31; ++k) {
        scene.maps[k].submapCount = kMaxSubmaps;
        for (AffineSubmap& s : scene.maps[k].submaps)
            s = mapStep(k + 2);
    }
    scene.maps[31].submapCount = 1;
    scene.maps[31].submaps[0] = step(kSubmapTranslate, {1, 0, 0});
    EXPECT_FALSE(scene.composeMap(0));
    EXPECT_EQ(scene.errorText, "Error: Map 1");
}

TEST(MebiusCompose, ElementarySteps)
{
    MebiusFixture t{mstep(kSubmapTranslate, {1, 2, 3}, 0)};
    ASSERT_TRUE(t.compose());
    expectNear(t.apply({1, 1, 1}), {2, 3, 4});
    // The s row keeps |p|^2 consistent, so the image is a point of the form (q, 1, |q|^2).
    const Vec5 image = t.scene.mapMatrices[0] * pentasphericalPoint({1, 1, 1});
    EXPECT_NEAR(image[4] / image[3], 4 + 9 + 16, kEps);

    MebiusFixture s{mstep(kSubmapScale, {}, 2.5)};
    ASSERT_TRUE(s.compose());
    expectNear(s.apply({1, -2, 0.5}), {2.5, -5, 1.25});

    MebiusFixture r{mstep(kSubmapRotate, {0, 0, 1}, 90)};
    ASSERT_TRUE(r.compose());
    expectNear(r.apply({1, 0, 0}), {0, -1, 0});

    // First listed acts first: scale then translate.
    MebiusFixture st{mstep(kSubmapScale, {}, 2), mstep(kSubmapTranslate, {1, 0, 0}, 0)};
    ASSERT_TRUE(st.compose());
    expectNear(st.apply({1, 0, 0}), {3, 0, 0});
}

TEST(MebiusCompose, ReflectKeepsTheUnitSphere)
{
    MebiusFixture f{mstep(kSubmapReflect, {1, 0, 0}, 0.5)};
    ASSERT_TRUE(f.compose());
    expectNear(f.apply({0, 0, 0}), {0.5, 0, 0});
    expectNear(f.apply({1, 0, 0}), {1, 0, 0});
    expectNear(f.apply({-1, 0, 0}), {-1, 0, 0});
    // Any point of the unit sphere stays on it.
    const Vec3 p = (1 / std::sqrt(3.0)) * Vec3{1, 1, -1};
    EXPECT_NEAR(length(f.apply(p)), 1.0, kEps);

    // Along a direction that is not a unit vector.
    MebiusFixture g{mstep(kSubmapReflect, {0, -3, 0}, 0.25)};
    ASSERT_TRUE(g.compose());
    expectNear(g.apply({0, 0, 0}), {0, -0.25, 0});

    // Reflection 0 leaves the map unchanged.
    MebiusFixture none{mstep(kSubmapReflect, {1, 0, 0}, 0)};
    ASSERT_TRUE(none.compose());
    EXPECT_EQ(none.scene.mapMatrices[0], identity5());
}

TEST(MebiusCompose, FailuresNameMapAndSubmap)
{
    for (double r : {1.0, -1.0, 1.5}) {
        MebiusFixture f{mstep(kSubmapTranslate, {}, 0), mstep(kSubmapReflect, {1, 0, 0}, r)};
        EXPECT_FALSE(f.compose()) << r;
        EXPECT_EQ(f.scene.errorText, "Error: Map 1/Submap 2");
    }
    MebiusFixture zeroAxis{mstep(kSubmapReflect, {0, 0, 0}, 0.5)};
    EXPECT_FALSE(zeroAxis.compose());
    MebiusFixture zeroRotate{mstep(kSubmapRotate, {0, 0, 0}, 30)};
    EXPECT_FALSE(zeroRotate.compose());
    // A zero scale would fill the matrix with infinities: refused instead.
    MebiusFixture zeroScale{mstep(kSubmapScale, {}, 0)};
    EXPECT_FALSE(zeroScale.compose());
    EXPECT_EQ(zeroScale.scene.errorText, "Error: Map 1/Submap 1");
    MebiusFixture tinyScale{mstep(kSubmapScale, {}, 1e-320)};
    EXPECT_FALSE(tinyScale.compose());

    MebiusFixture self{mstep(kSubmapMap, {}, 0, 1)};
    EXPECT_FALSE(self.compose());
    EXPECT_EQ(self.scene.errorText, "Error: Map 1/Submap 1");
    for (int bad : {-1, 0, 33}) {
        MebiusFixture missing{mstep(kSubmapTranslate, {}, 0), mstep(kSubmapMap, {}, 0, bad)};
        EXPECT_FALSE(missing.compose()) << bad;
        EXPECT_EQ(missing.scene.errorText, "Error: Map 1/Submap 2") << bad;
    }
    // An empty map past Number of maps does nothing; a filled one is folded in.
    MebiusFixture empty{mstep(kSubmapTranslate, {1, 0, 0}, 0), mstep(kSubmapMap, {}, 0, 5)};
    ASSERT_TRUE(empty.compose()) << empty.scene.errorText;
    expectNear(empty.apply({0, 0, 0}), {1, 0, 0});
    empty.scene.maps[4].submaps[0] = mstep(kSubmapScale, {}, 0.5);
    empty.scene.maps[4].submapCount = 1;
    ASSERT_TRUE(empty.compose()) << empty.scene.errorText;
    expectNear(empty.apply({0, 0, 0}), {0.5, 0, 0});
}

TEST(MebiusCompose, DeepButFiniteNestingStillComposes)
{
    // Two levels of 24 Map steps over a 24-step map: 24^3 elementary turns by 15 degrees about
    // z, so the whole map turns by 24^3 * 15 degrees, a whole number of turns.
    MebiusScene scene;
    scene.mapCount = 3;
    for (int k = 0; k < 2; ++k) {
        scene.maps[k].submapCount = kMaxSubmaps;
        for (MebiusSubmap& s : scene.maps[k].submaps)
            s = {{}, 0, kSubmapMap, k + 2};
    }
    scene.maps[2].submapCount = kMaxSubmaps;
    for (MebiusSubmap& s : scene.maps[2].submaps)
        s = {{0, 0, 1}, 15, kSubmapRotate, 0};
    ASSERT_TRUE(scene.composeMap(0)) << scene.errorText;
    const Vec3 p = applyToPoint(scene.mapMatrices[0], {1, 0, 0});
    EXPECT_NEAR(p.x, 1, 1e-9);
    EXPECT_NEAR(p.y, 0, 1e-9);
}
