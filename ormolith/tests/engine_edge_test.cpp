// Edge cases of the build: lights whose terms have no value, huge reflection depths, and the
// void check of Moebius sets when it is stopped or runs out of refinements.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "bounds.h"
#include "mebius_scene.h"
#include "render_test_util.h"
#include "shading.h"

using namespace ormolith;
using namespace ormolith::test;

namespace {

MebiusSubmap moebiusStep(std::int32_t kind, Vec3 direction, double value)
{
    return {direction, value, kind, 0};
}

// Set 1 is set 2 halved and moved 0.8 along x; set 2 is the tiny attractor of x -> x / 10 and
// x -> x / 10 + (0.05, 0, 0). Everything lies well inside the unit ball, but the unit ball's
// image under the map of set 1 does not, so the void check must refine before it can tell.
std::unique_ptr<MebiusScene> shiftedMoebiusScene()
{
    auto scene = std::make_unique<MebiusScene>();
    scene->mapCount = 3;
    scene->maps[0].submapCount = 2;
    scene->maps[0].submaps[0] = moebiusStep(kSubmapScale, {}, 0.5);
    scene->maps[0].submaps[1] = moebiusStep(kSubmapTranslate, {0.8, 0, 0}, 0);
    scene->maps[1].submapCount = 1;
    scene->maps[1].submaps[0] = moebiusStep(kSubmapScale, {}, 0.1);
    scene->maps[2].submapCount = 2;
    scene->maps[2].submaps[0] = moebiusStep(kSubmapScale, {}, 0.1);
    scene->maps[2].submaps[1] = moebiusStep(kSubmapTranslate, {0.05, 0, 0}, 0);
    scene->setCount = 2;
    scene->currentSet = 1;
    scene->sets[0].subsetCount = 1;
    scene->sets[0].subsets[0] = {2, 1, 0};
    scene->sets[1].subsetCount = 2;
    scene->sets[1].subsets[0] = {2, 2, 0};
    scene->sets[1].subsets[1] = {2, 3, 0};
    return scene;
}

} // namespace

TEST(SpotLight, AnUndefinedBeamPowerAddsNothingAndKeepsTheOtherTerms)
{
    PreparedLight spot;
    spot.kind = kSpot;
    spot.diffuse = spot.specular = {1, 1, 1};
    spot.position = {0, 0, -5};
    spot.direction = {0, std::sqrt(3.0) / 2, -0.5}; // s = d . a = -0.5 below
    spot.cosSpot = std::cos(100 * 0.017453292222222222);
    spot.cosEndSpot = std::cos(170 * 0.017453292222222222);
    spot.beam = 0.5; // (-0.5)^0.5 has no value
    PreparedMaterial m;
    m.diffuse = m.specular = {1, 1, 1};
    m.shininess = 5;
    const Rgb c = lightContribution(spot, m, {0, 0, -1}, {0, 0, 1}, {0, 0, 5}, 1);
    EXPECT_EQ(c, (Rgb{0, 0, 0}));
    // A whole Beam distribution has a value for a negative base, and it counts.
    spot.beam = 3;
    const Rgb whole = lightContribution(spot, m, {0, 0, -1}, {0, 0, 1}, {0, 0, 5}, 1);
    EXPECT_TRUE(std::isfinite(whole.r) && whole.r != 0) << whole.r;

    // In a picture: the Spot pointing back at the viewer leaves ambient light and background
    // exactly as without it, instead of black pixels.
    auto lit = cubeScene();
    auto dark = cubeScene();
    lit->lightCount = 1;
    dark->lightCount = 0;
    LightRecord& light = lit->lights[0];
    light.kind = kSpot;
    light.direction = {0, std::sqrt(3.0), -1};
    light.spotAngle = 100;
    light.endSpotAngle = 170;
    light.beamDistribution = 0.5;
    light.shadows = 0;
    ImageBuffer a, b;
    ASSERT_TRUE(build(*lit, a, 40, 30)) << lit->errorText;
    ASSERT_TRUE(build(*dark, b, 40, 30)) << dark->errorText;
    EXPECT_EQ(a.pixels, b.pixels);
    EXPECT_NE(pixel(a, 20, 15), (Bgr{0, 0, 0})); // the middle shows the cube's ambient light
}

TEST(Reflections, TheLargestDeepEndsOnceNoRayIsLeft)
{
    // Reflection 0.5 takes every weight below 0.01 after seven bounces; whatever Deep says,
    // later generations have nothing to trace.
    auto huge = cubeScene();
    auto some = cubeScene();
    huge->deep = INT_MAX;
    some->deep = 12;
    ImageBuffer a, b;
    ASSERT_TRUE(build(*huge, a, 24, 18)) << huge->errorText;
    EXPECT_NEAR(huge->progressPercent.load(), 100, 1e-6);
    ASSERT_TRUE(build(*some, b, 24, 18)) << some->errorText;
    EXPECT_EQ(a.pixels, b.pixels);
    EXPECT_EQ(huge->lastBuildDeep, INT_MAX);
}

TEST(VoidCheck, AStopEndsItWithoutCallingTheSetVoid)
{
    auto scene = shiftedMoebiusScene();
    ASSERT_TRUE(scene->prepareSets()) << scene->errorText;
    EXPECT_TRUE(voidCheck(*scene)) << scene->errorText;

    scene->stopRequested = true;
    scene->errorText.clear();
    EXPECT_FALSE(voidCheck(*scene));
    EXPECT_EQ(scene->errorText, "");

    // The whole build of this scene works and shows the small set.
    auto fresh = shiftedMoebiusScene();
    ImageBuffer image;
    EXPECT_TRUE(build(*fresh, image, 32, 24)) << fresh->errorText;
}

TEST(VoidCheck, RunningOutOfRefinementsDoesNotCallAValidSetVoid)
{
    // Set 2 is the point 0, the attractor of two copies of x -> 0.999 x; set 1 is set 2 halved
    // and moved to (0.6, 0, 0). The unit ball's image under the map of set 1 reaches 1.1, and
    // its pieces shrink so slowly (and double at every level) that the check fills its list
    // long before they fit the ball. Nothing of the set is known to lie outside: it is valid.
    MebiusScene scene;
    scene.mapCount = 3;
    scene.maps[0].submapCount = 2;
    scene.maps[0].submaps[0] = moebiusStep(kSubmapScale, {}, 0.5);
    scene.maps[0].submaps[1] = moebiusStep(kSubmapTranslate, {0.6, 0, 0}, 0);
    for (int m : {1, 2}) {
        scene.maps[m].submapCount = 1;
        scene.maps[m].submaps[0] = moebiusStep(kSubmapScale, {}, 0.999);
    }
    scene.setCount = 2;
    scene.currentSet = 1;
    scene.sets[0].subsetCount = 1;
    scene.sets[0].subsets[0] = {2, 1, 0};
    scene.sets[1].subsetCount = 2;
    scene.sets[1].subsets[0] = {2, 2, 0};
    scene.sets[1].subsets[1] = {2, 3, 0};
    ASSERT_TRUE(scene.prepareSets()) << scene.errorText;
    EXPECT_TRUE(voidCheck(scene)) << scene.errorText;

    // Moved to (1.2, 0, 0) (one copy, so the refinement can finish) the set leaves the ball.
    scene.maps[0].submaps[1].direction = {1.2, 0, 0};
    scene.sets[1].subsetCount = 1;
    ASSERT_TRUE(scene.prepareSets()) << scene.errorText;
    EXPECT_FALSE(voidCheck(scene));
    EXPECT_EQ(scene.errorText, "Error: Set is void");
}
