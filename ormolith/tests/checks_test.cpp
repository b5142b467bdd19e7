// Edit-time checks (onParamChanged) and build-time checks (prepareSets), with their exact texts.
#include <gtest/gtest.h>

#include "affine_scene.h"
#include "mebius_scene.h"
#include "samples.h"

using namespace ormolith;

namespace {

// Stores `value` into the field as an edit would, then lets the scene check it.
template <class Field, class Value> bool edit(FractalScene& scene, Field& field, Value value)
{
    field = static_cast<Field>(value);
    ParamNode node;
    node.value = &field;
    scene.errorText.clear();
    return scene.onParamChanged(node);
}

// A small valid affine scene: two sets, two maps.
void fill(FractalScene& scene)
{
    scene.mapCount = 2;
    scene.setCount = 2;
    scene.currentSet = 1;
    scene.sets[0].subsetCount = 2;
    scene.sets[0].subsets[0] = {1, 1, 0};
    scene.sets[0].subsets[1] = {2, 2, 0};
    scene.sets[1].subsetCount = 1;
    scene.sets[1].subsets[0] = {2, 1, 0};
    // The set bounds need maps that shrink: a Scale in map 1 and a Matrix in map 2 (a Matrix
    // has no axis, so turning it into a Rotate still fails).
    if (auto* affine = dynamic_cast<AffineScene*>(&scene)) {
        affine->maps[0].submapCount = 1;
        affine->maps[0].submaps[0].kind = kSubmapScale;
        affine->maps[0].submaps[0].direction = {0.5, 0.5, 0.5};
        affine->maps[1].submapCount = 1;
        affine->maps[1].submaps[0].kind = kSubmapMatrix;
        affine->maps[1].submaps[0].p = {0.5, 0, 0, 0, 0.5, 0, 0, 0, 0.5};
    }
}

} // namespace

TEST(EditChecks, GeneralSetAndLightParameters)
{
    AffineScene scene;
    fill(scene);

    scene.needsRebuild = false;
    EXPECT_FALSE(edit(scene, scene.precision, 3.0));
    EXPECT_TRUE(scene.needsRebuild);
    scene.needsRebuild = false;
    EXPECT_FALSE(edit(scene, scene.mode, true));
    EXPECT_TRUE(scene.needsRebuild);

    EXPECT_TRUE(edit(scene, scene.currentSet, 33));
    EXPECT_EQ(scene.errorText, "Error: Current set must be 1..32");
    EXPECT_EQ(scene.currentSet, 33); // the value stays; the caller restores it
    EXPECT_TRUE(edit(scene, scene.currentSet, 0));
    EXPECT_EQ(scene.errorText, "Error: Current set must be 1..32");
    scene.needsRebuild = false;
    EXPECT_TRUE(edit(scene, scene.currentSet, 32));
    EXPECT_EQ(scene.errorText, "");
    EXPECT_TRUE(scene.needsRebuild);

    EXPECT_TRUE(edit(scene, scene.setCount, 0));
    EXPECT_EQ(scene.errorText, "Error: Number of sets must be 1..32");
    EXPECT_TRUE(edit(scene, scene.setCount, 33));
    EXPECT_EQ(scene.errorText, "Error: Number of sets must be 1..32");
    scene.currentSet = 2;
    EXPECT_TRUE(edit(scene, scene.setCount, 1));
    EXPECT_EQ(scene.errorText, "");
    EXPECT_EQ(scene.currentSet, 1);

    EXPECT_TRUE(edit(scene, scene.lightCount, 33));
    EXPECT_EQ(scene.errorText, "Error: Number of lights must be 1..32");
    EXPECT_TRUE(edit(scene, scene.lightCount, -1));
    EXPECT_EQ(scene.errorText, "Error: Number of lights must be 1..32");
    EXPECT_TRUE(edit(scene, scene.lightCount, 0)); // no lights is fine
    EXPECT_EQ(scene.errorText, "");

    EXPECT_TRUE(edit(scene, scene.advancedColors, 1));
    EXPECT_TRUE(edit(scene, scene.materialAttachment, 0));
    EXPECT_TRUE(edit(scene, scene.lights[4].kind, kSpot));

    scene.needsRebuild = false;
    EXPECT_FALSE(edit(scene, scene.materials[3].reflection, 0.9));
    EXPECT_FALSE(edit(scene, scene.lights[0].diffuse.red, 0.5));
    EXPECT_FALSE(edit(scene, scene.ambient.blue, 0.5));
    EXPECT_FALSE(scene.needsRebuild); // shading only
    EXPECT_EQ(scene.errorText, "");
}

TEST(EditChecks, SubsetFields)
{
    AffineScene scene;
    SubsetEntry& entry = scene.sets[1].subsets[2];

    EXPECT_FALSE(edit(scene, entry.subset, 33));
    EXPECT_EQ(scene.errorText, "Error: Set 2/Subset 3 must be 1..32");
    EXPECT_FALSE(edit(scene, entry.subset, 0));
    EXPECT_EQ(scene.errorText, "Error: Set 2/Subset 3 must be 1..32");
    scene.needsRebuild = false;
    EXPECT_FALSE(edit(scene, entry.subset, 32));
    EXPECT_EQ(scene.errorText, "");
    EXPECT_TRUE(scene.needsRebuild);

    EXPECT_FALSE(edit(scene, entry.map, 33));
    EXPECT_EQ(scene.errorText, "Error: Set 2/Map 3 must be 1..32");
    EXPECT_FALSE(edit(scene, entry.map, -1));
    EXPECT_EQ(scene.errorText, "Error: Set 2/Map 3 must be 1..32");
    scene.needsRebuild = false;
    EXPECT_FALSE(edit(scene, entry.map, 0)); // 0 = the subset takes no part
    EXPECT_EQ(scene.errorText, "");
    EXPECT_TRUE(scene.needsRebuild);

    EXPECT_TRUE(edit(scene, scene.sets[31].subsetCount, 0));
    EXPECT_EQ(scene.errorText, "Error:Set 32/Number of Subsets  must be 1..32");
    EXPECT_TRUE(edit(scene, scene.sets[31].subsetCount, 32));
    EXPECT_EQ(scene.errorText, "");
}

TEST(EditChecks, AffineMapParameters)
{
    AffineScene scene;
    EXPECT_TRUE(edit(scene, scene.mapCount, 32)); // refused while editing...
    EXPECT_EQ(scene.errorText, "Error: Number of maps");
    EXPECT_TRUE(edit(scene, scene.mapCount, 0));
    EXPECT_EQ(scene.errorText, "Error: Number of maps");
    scene.needsRebuild = false;
    EXPECT_TRUE(edit(scene, scene.mapCount, 31));
    EXPECT_EQ(scene.errorText, "");
    EXPECT_TRUE(scene.needsRebuild);

    EXPECT_FALSE(edit(scene, scene.maps[2].submapCount, 25));
    EXPECT_EQ(scene.errorText, "Error: Map3/Number of submaps");
    EXPECT_FALSE(edit(scene, scene.maps[2].submapCount, -1));
    EXPECT_EQ(scene.errorText, "Error: Map3/Number of submaps");
    EXPECT_TRUE(edit(scene, scene.maps[2].submapCount, 24));
    EXPECT_EQ(scene.errorText, "");

    AffineSubmap& s = scene.maps[2].submaps[1];
    EXPECT_FALSE(edit(scene, s.map, 0));
    EXPECT_EQ(scene.errorText, "Error: Map3/Submap2");
    EXPECT_FALSE(edit(scene, s.map, 33));
    EXPECT_EQ(scene.errorText, "Error: Map3/Submap2");
    EXPECT_FALSE(edit(scene, s.map, -33));
    EXPECT_EQ(scene.errorText, "Error: Map3/Submap2");
    EXPECT_TRUE(edit(scene, s.map, -32));
    EXPECT_EQ(scene.errorText, "");
    EXPECT_TRUE(edit(scene, s.map, 32));

    s.direction = {1, 2, 3};
    scene.needsRebuild = false;
    EXPECT_TRUE(edit(scene, s.kind, kSubmapMatrix));
    EXPECT_TRUE(scene.needsRebuild);
    EXPECT_EQ(s.direction, (Vec3{1, 2, 3})); // the numbers stay for the next kind

    scene.needsRebuild = false;
    EXPECT_FALSE(edit(scene, s.p[8], 2.0));
    EXPECT_TRUE(scene.needsRebuild);
    scene.needsRebuild = false;
    EXPECT_FALSE(edit(scene, s.angle, 2.0));
    EXPECT_TRUE(scene.needsRebuild);
}

TEST(EditChecks, MebiusMapParameters)
{
    MebiusScene scene;
    EXPECT_TRUE(edit(scene, scene.mapCount, 32));
    EXPECT_EQ(scene.errorText, "Error: Number of maps");
    EXPECT_TRUE(edit(scene, scene.maps[0].submapCount, 25));
    EXPECT_EQ(scene.errorText, "Error: Map 1/Number of submaps");
    EXPECT_TRUE(edit(scene, scene.maps[0].submapCount, 3));
    EXPECT_EQ(scene.errorText, "");

    MebiusSubmap& s = scene.maps[0].submaps[2];
    s.direction = {1, 2, 3};
    s.value = 0.5;
    scene.needsRebuild = false;
    EXPECT_TRUE(edit(scene, s.kind, kSubmapReflect));
    EXPECT_EQ(s.direction, Vec3{});
    EXPECT_EQ(s.value, 0.0);
    EXPECT_TRUE(scene.needsRebuild);

    scene.needsRebuild = false;
    EXPECT_FALSE(edit(scene, s.value, 0.25));
    EXPECT_TRUE(scene.needsRebuild);
    scene.needsRebuild = false;
    EXPECT_FALSE(edit(scene, s.map, 99)); // not checked while editing; the build refuses it
    EXPECT_TRUE(scene.needsRebuild);
    EXPECT_EQ(scene.errorText, "");
}

TEST(BuildChecks, EveryMessageInOrder)
{
    AffineScene scene;
    fill(scene);
    ASSERT_TRUE(scene.prepareSets()) << scene.errorText;

    auto failsWith = [](FractalScene& s, const char* text) {
        s.errorText.clear();
        EXPECT_FALSE(s.prepareSets());
        EXPECT_EQ(s.errorText, text);
    };
    scene.mapCount = 0;
    failsWith(scene, "Error: Number of Maps must be 1..32");
    scene.mapCount = 33;
    failsWith(scene, "Error: Number of Maps must be 1..32");
    scene.mapCount = 2;
    scene.setCount = 33;
    failsWith(scene, "Error: Number of Sets must be 1..32");
    scene.setCount = 0;
    failsWith(scene, "Error: Number of Sets must be 1..32");
    scene.setCount = 2;
    scene.sets[1].subsetCount = 0;
    failsWith(scene, "Error: Set 2/Number of Subsets must be 1..32");
    scene.sets[1].subsetCount = 33;
    failsWith(scene, "Error: Set 2/Number of Subsets must be 1..32");
    scene.sets[1].subsetCount = 1;
    scene.sets[0].subsets[1].subset = 3;
    failsWith(scene, "Error: Set 1/Subset 2 must be 1..2");
    scene.sets[0].subsets[1].subset = 2;
    scene.sets[0].subsets[1].map = 3;
    failsWith(scene, "Error: Set 1/Map 2 must be 1..2");
    scene.sets[0].subsets[1].map = -1;
    failsWith(scene, "Error: Set 1/Map 2 must be 1..2");
    scene.sets[0].subsets[0].map = 0;
    scene.sets[0].subsets[1].map = 0;
    failsWith(scene, "Error: Set 1 - all maps are zero");
    scene.sets[0].subsets[1].map = 2;
    scene.currentSet = 3; // passes the edit check (1..32) but names no set
    failsWith(scene, "Error: Current set must be 1..2");
    scene.currentSet = 2;
    scene.maps[1].submaps[0].kind = kSubmapRotate;
    scene.maps[1].submapCount = 1;
    failsWith(scene, "Error: Map 2");
    scene.maps[1].submapCount = 0;
    EXPECT_TRUE(scene.prepareSets()) << scene.errorText;

    MebiusScene mebius;
    fill(mebius);
    mebius.maps[1].submapCount = 2;
    mebius.maps[1].submaps[0] = {{1, 0, 0}, 0, kSubmapTranslate, 0};
    mebius.maps[1].submaps[1] = {{1, 0, 0}, 1.0, kSubmapReflect, 0};
    failsWith(mebius, "Error: Map 2/Submap 2");
}

TEST(BuildChecks, WeightsAndOneSetScenes)
{
    AffineScene scene;
    fill(scene);
    scene.sets[0].subsetCount = 3;
    scene.sets[0].subsets[2] = {1, 0, 0}; // takes no part
    ASSERT_TRUE(scene.prepareSets());
    for (const SubsetEntry& e : scene.sets[0].subsets)
        EXPECT_DOUBLE_EQ(e.weight, 0.5); // every slot, used or not
    EXPECT_DOUBLE_EQ(scene.sets[1].subsets[31].weight, 1.0);

    // With one set, Current set and every used Subset point at set 1.
    scene.setCount = 1;
    scene.currentSet = 7;
    scene.sets[0].subsets[1].subset = 2;
    scene.sets[0].subsets[5].subset = 9; // unused slot: left alone
    ASSERT_TRUE(scene.prepareSets()) << scene.errorText;
    EXPECT_EQ(scene.currentSet, 1);
    EXPECT_EQ(scene.sets[0].subsets[1].subset, 1);
    EXPECT_EQ(scene.sets[0].subsets[2].subset, 1);
    EXPECT_EQ(scene.sets[0].subsets[5].subset, 9);

    // Number of maps 32: refused while editing, accepted by the build.
    scene.mapCount = 32;
    EXPECT_TRUE(scene.prepareSets()) << scene.errorText;
}

TEST(BuildChecks, ReachabilityCountsChainLengths)
{
    // 1 -> 2 -> 3 -> 3, and 4 -> 1 which nothing reaches.
    AffineScene scene;
    scene.mapCount = 1;
    scene.maps[0].submapCount = 1; // a shrinking map, so that the set bounds settle
    scene.maps[0].submaps[0].kind = kSubmapScale;
    scene.maps[0].submaps[0].direction = {0.5, 0.5, 0.5};
    scene.setCount = 4;
    scene.currentSet = 1;
    const int target[4] = {2, 3, 3, 1};
    for (int i = 0; i < 4; ++i) {
        scene.sets[i].subsetCount = 1;
        scene.sets[i].subsets[0] = {target[i], 1, 0};
    }
    ASSERT_TRUE(scene.prepareSets()) << scene.errorText;
    const int expected[4][4] = {{0, 1, 2, 0}, {0, 0, 1, 0}, {0, 0, 1, 0}, {1, 2, 2, 0}};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(scene.reachability[i][j], expected[i][j]) << i << "," << j;
    EXPECT_TRUE(scene.takesPart(0));
    EXPECT_TRUE(scene.takesPart(1));
    EXPECT_TRUE(scene.takesPart(2));
    EXPECT_FALSE(scene.takesPart(3));

    // A subset with Map 0 is no edge.
    scene.sets[1].subsets[0].map = 0;
    scene.sets[1].subsetCount = 2;
    scene.sets[1].subsets[1] = {2, 1, 0};
    ASSERT_TRUE(scene.prepareSets());
    EXPECT_EQ(scene.reachability[0][2], 0);
    EXPECT_FALSE(scene.takesPart(2));
}
