#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "affine_scene.h"
#include "mebius_scene.h"
#include "samples.h"

using namespace ormolith;

namespace {

using Subsets = std::vector<std::pair<int, int>>;

Subsets subsetsOf(const FractalScene& scene, int set)
{
    Subsets out;
    const SetRecord& r = scene.sets[set - 1];
    for (int k = 0; k < r.subsetCount; ++k)
        out.emplace_back(r.subsets[k].subset, r.subsets[k].map);
    return out;
}

void expectNear(Vec3 a, Vec3 b, double eps = 1e-12)
{
    EXPECT_NEAR(a.x, b.x, eps);
    EXPECT_NEAR(a.y, b.y, eps);
    EXPECT_NEAR(a.z, b.z, eps);
}

AffineScene& affine(std::unique_ptr<FractalScene>& s)
{
    return dynamic_cast<AffineScene&>(*s);
}

} // namespace

TEST(Samples, TableOfTypesMapsAndSets)
{
    struct Row {
        int type, maps, sets, current;
    };
    const Row rows[kSampleCount] = {{0, 5, 2, 2},  {0, 10, 2, 2}, {0, 10, 2, 2},
                                    {0, 27, 4, 3}, {0, 6, 1, 1},  {0, 27, 4, 1},
                                    {0, 27, 4, 2}, {0, 3, 1, 1},  {1, 3, 1, 1}};
    const char* names[kSampleCount] = {
        "Koch Snowflake",  "Segments Tree", "Sierpinski's Tetrahedron",
        "Menger's Sponge", "Koch Surface",  "Antitank Hedgehog",
        "Cross",           "Tree",          "Appolony Set"};
    for (int i = 0; i < kSampleCount; ++i) {
        auto scene = makeSample(i);
        ASSERT_TRUE(scene) << i;
        EXPECT_STREQ(kSampleNames[i], names[i]);
        EXPECT_EQ(scene->fractalType(), rows[i].type) << i;
        EXPECT_EQ(scene->mapCount, rows[i].maps) << i;
        EXPECT_EQ(scene->setCount, rows[i].sets) << i;
        EXPECT_EQ(scene->currentSet, rows[i].current) << i;
        // Defaults the recipes leave alone: AutoCam on the first build, material "None".
        EXPECT_EQ(scene->camera.direction, Vec3{});
        EXPECT_EQ(scene->camera.position, (Vec3{0, 0, -80}));
        EXPECT_EQ(scene->materialAttachment, 1);
        EXPECT_EQ(scene->lightCount, i == 8 ? 2 : 3);
        EXPECT_TRUE(scene->prepareSets()) << i << ": " << scene->errorText;
    }
    EXPECT_FALSE(makeSample(-1));
    EXPECT_FALSE(makeSample(9));
}

TEST(Samples, SubsetLists)
{
    auto koch = makeSample(0);
    EXPECT_EQ(subsetsOf(*koch, 1), (Subsets{{1, 1}, {1, 2}}));
    EXPECT_EQ(subsetsOf(*koch, 2), (Subsets{{1, 3}, {1, 4}, {1, 5}}));
    auto segments = makeSample(1);
    EXPECT_EQ(subsetsOf(*segments, 1), (Subsets{{1, 9}, {1, 10}}));
    EXPECT_EQ(subsetsOf(*segments, 2),
              (Subsets{{2, 1}, {2, 2}, {2, 3}, {2, 4}, {1, 5}, {1, 6}, {1, 7}, {1, 8}}));
    auto sierpinski = makeSample(2);
    EXPECT_EQ(subsetsOf(*sierpinski, 1), (Subsets{{1, 2}, {1, 3}, {1, 4}, {1, 5}}));
    EXPECT_EQ(subsetsOf(*sierpinski, 2), (Subsets{{2, 7}, {2, 8}, {2, 9}, {2, 10}}));
    auto sponge = makeSample(3);
    EXPECT_EQ(sponge->sets[0].subsetCount, 9);
    EXPECT_EQ(sponge->sets[1].subsetCount, 7);
    EXPECT_EQ(sponge->sets[2].subsetCount, 20);
    EXPECT_EQ(sponge->sets[3].subsetCount, 27);
    EXPECT_EQ(subsetsOf(*sponge, 2),
              (Subsets{{2, 5}, {2, 11}, {2, 13}, {2, 14}, {2, 15}, {2, 17}, {2, 23}}));
    auto surface = makeSample(4);
    EXPECT_EQ(subsetsOf(*surface, 1), (Subsets{{1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {1, 6}}));
    auto apollony = makeSample(8);
    EXPECT_EQ(subsetsOf(*apollony, 1), (Subsets{{1, 1}, {1, 2}, {1, 3}}));
}

TEST(Samples, ComposedMapsOfTheAffineSamples)
{
    const double r3 = std::sqrt(3.0);
    // Koch Snowflake map 2: turn 150 about -z, shrink by 1/sqrt3, move to (1, 0, 0).
    auto koch = makeSample(0);
    ASSERT_TRUE(koch->prepareSets());
    const AffineTransform& k2 = affine(koch).mapTransforms[1];
    expectNear(k2.apply({0, 0, 0}), {1, 0, 0});
    const double a = 150 * std::numbers::pi / 180;
    expectNear(k2.apply({1, 0, 0}), Vec3{1, 0, 0} + (1 / r3) * Vec3{std::cos(a), std::sin(a), 0});
    EXPECT_NEAR(k2.apply({0, 0, 1}).z, 1 / r3, 1e-12);

    // Segments Tree: map 5 has no submaps and is the identity; map 1 fixes (1, 1, 0).
    auto segments = makeSample(1);
    ASSERT_TRUE(segments->prepareSets());
    EXPECT_EQ(affine(segments).maps[4].submapCount, 0);
    EXPECT_EQ(affine(segments).mapTransforms[4], AffineTransform{});
    expectNear(affine(segments).mapTransforms[0].apply({1, 1, 0}), {1, 1, 0});
    expectNear(affine(segments).mapTransforms[0].apply({3, 1, 0}), {2, 1, 0});
    expectNear(affine(segments).mapTransforms[9].apply({0, 0, 1}), {0, 0, 0});

    // Sierpinski: map 3 is map 1 turned by arccos(-1/3) about an axis in the xy plane; it takes
    // the apex (0, 0, 1), which map 1 fixes, to another vertex of the regular tetrahedron.
    auto sierpinski = makeSample(2);
    ASSERT_TRUE(sierpinski->prepareSets());
    EXPECT_NEAR(affine(sierpinski).maps[2].submaps[1].angle, 109.47122063449069, 1e-12);
    const Vec3 vertex = affine(sierpinski).mapTransforms[2].apply({0, 0, 1});
    EXPECT_NEAR(length(vertex), 1.0, 1e-12);
    EXPECT_NEAR(dot(vertex, {0, 0, 1}), -1.0 / 3, 1e-12);

    // Cube family: the map of cell (1, -1, 0) fixes that corner and scales by 1/3.
    auto sponge = makeSample(3);
    ASSERT_TRUE(sponge->prepareSets());
    const AffineTransform& cell = affine(sponge).mapTransforms[9 * 2 + 3 * 0 + 1];
    expectNear(cell.apply({1, -1, 0}), {1, -1, 0});
    expectNear(cell.apply({-2, -1, 0}), {0, -1, 0});

    // Koch Surface uses arctan(2 sqrt2) degrees.
    auto surface = makeSample(4);
    EXPECT_NEAR(affine(surface).maps[3].submaps[0].angle, 70.52877936550931, 1e-12);

    // Tree map 2 fixes (0, 1, 0).
    auto tree = makeSample(7);
    ASSERT_TRUE(tree->prepareSets());
    expectNear(affine(tree).mapTransforms[1].apply({0, 1, 0}), {0, 1, 0});
}

TEST(Samples, AppolonyMapsKeepTheUnitBall)
{
    auto scene = makeSample(8);
    ASSERT_TRUE(scene->prepareSets()) << scene->errorText;
    auto& mebius = dynamic_cast<MebiusScene&>(*scene);
    for (int m = 0; m < 3; ++m)
        for (int i = 0; i < 200; ++i) {
            // Points spread over the unit sphere (a spiral).
            const double z = -1 + (2.0 * i + 1) / 200;
            const double phi = i * 2.399963229728653;
            const double r = std::sqrt(1 - z * z);
            const Vec3 p{r * std::cos(phi), r * std::sin(phi), z};
            EXPECT_LE(length(applyToPoint(mebius.mapMatrices[m], p)), 1 + 1e-9) << m;
        }
    // The three images are turned copies of each other.
    const Vec3 c1 = applyToPoint(mebius.mapMatrices[0], {0, 0, 0});
    const Vec3 c2 = applyToPoint(mebius.mapMatrices[1], {0, 0, 0});
    EXPECT_NEAR(length(c1), length(c2), 1e-12);
    EXPECT_NEAR(dot(c1, c2) / (length(c1) * length(c2)), -0.5, 1e-12);
}
