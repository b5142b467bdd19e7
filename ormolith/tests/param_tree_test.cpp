// The parameter tree: names (blanks included), kinds, choices, depths and which nodes appear.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "affine_scene.h"
#include "mebius_scene.h"
#include "samples.h"

using namespace ormolith;

namespace {

// A collector that claims to be complete, as the file archives are.
class CompleteCollector : public ParamCollector {
public:
    CompleteCollector() { complete_ = true; }
};

std::vector<ParamNode> collect(FractalScene& scene, bool complete = false)
{
    if (complete) {
        CompleteCollector c;
        scene.describeParameters(c);
        EXPECT_EQ(c.depth, 0);
        return c.nodes;
    }
    ParamCollector c;
    scene.describeParameters(c);
    EXPECT_EQ(c.depth, 0);
    return c.nodes;
}

std::size_t find(const std::vector<ParamNode>& nodes, const std::string& name, std::size_t from = 0)
{
    for (std::size_t i = from; i < nodes.size(); ++i)
        if (nodes[i].name == name)
            return i;
    ADD_FAILURE() << "no node " << name;
    return nodes.size();
}

// "name" for values, "[name]" for groups, one per direct child of the group at `group`.
std::vector<std::string> children(const std::vector<ParamNode>& nodes, std::size_t group)
{
    std::vector<std::string> names;
    if (group >= nodes.size())
        return names;
    const int depth = nodes[group].depth;
    for (std::size_t i = group + 1; i < nodes.size() && nodes[i].depth > depth; ++i)
        if (nodes[i].depth == depth + 1)
            names.push_back(isGroup(nodes[i].kind) ? "[" + nodes[i].name + "]" : nodes[i].name);
    return names;
}

using Names = std::vector<std::string>;

} // namespace

TEST(ParamTree, TopLevelGroupsAndGeneral)
{
    AffineScene scene;
    const auto nodes = collect(scene);
    Names top;
    for (const ParamNode& n : nodes)
        if (n.depth == 0)
            top.push_back(n.name);
    EXPECT_EQ(top, (Names{"General", "Camera", "Maps", "Sets", "Lights", "Material"}));

    // The property tree leaves Precision, Level and Quality out; the file has them.
    EXPECT_EQ(children(nodes, find(nodes, "General")),
              (Names{"Deep", "Mode", "Antialiasing", "Advanced colors"}));
    const auto full = collect(scene, true);
    const std::size_t general = find(full, "General");
    EXPECT_EQ(children(full, general), (Names{"Precision", "Level", "Deep", "Quality", "Mode",
                                              "Antialiasing", "Advanced colors"}));
    EXPECT_EQ(full[general].kind, kKindGroup);
    EXPECT_EQ(full[general].value, nullptr);

    const ParamNode& precision = full[find(full, "Precision")];
    EXPECT_EQ(precision.kind, kKindReal);
    EXPECT_STREQ(precision.help, "точность");
    EXPECT_STREQ(full[find(full, "Level")].help, "уровень");
    const ParamNode& quality = full[find(full, "Quality")];
    EXPECT_EQ(quality.kind, kKindBool);
    EXPECT_EQ(formatValue(quality), "High");
    EXPECT_EQ(std::string(quality.help).rfind("(Low/High) значение low", 0), 0u);
    const ParamNode& mode = full[find(full, "Mode")];
    EXPECT_EQ(formatValue(mode), "Mono");
    EXPECT_EQ(std::string(mode.help).rfind("(mono/stereo) для построения стереокартинки", 0), 0u);
    const ParamNode& aa = full[find(full, "Antialiasing")];
    EXPECT_EQ(aa.kind, 3);
    EXPECT_EQ((Names{aa.choices.begin(), aa.choices.end()}), (Names{"Off", "2x2", "3x3"}));
    EXPECT_EQ(full[find(full, "Deep")].kind, kKindInt);

    EXPECT_EQ(children(nodes, find(nodes, "Camera")),
              (Names{"X Position", "Y Position", "Z Position", "X Direction", "Y Direction",
                     "Z Direction", "X Vertical direction", "Y Vertical direction",
                     "Z Vertical direction", "Field of view", "Eyes distance"}));
    EXPECT_EQ(formatValue(nodes[find(nodes, "Z Position")]), "-80");
}

TEST(ParamTree, AffineSubmapsByKind)
{
    AffineScene scene;
    scene.mapCount = 1;
    scene.maps[0].submapCount = 6;
    for (int k = 0; k < 6; ++k)
        scene.maps[0].submaps[k].kind = k;
    const auto nodes = collect(scene);
    const std::size_t maps = find(nodes, "Maps");
    EXPECT_EQ(children(nodes, maps), (Names{"Number of maps", "[Map 1]"}));
    const std::size_t map1 = find(nodes, "Map 1", maps);
    EXPECT_EQ(children(nodes, map1), (Names{"Number of submaps", "[Submap]", "[Submap]", "[Submap]",
                                            "[Submap]", "[Submap]", "[Submap]"}));
    const Names expected[6] = {
        {"Map"},
        {"Angle", "X direction", "Y direction", "Z direction"},
        {"X", "Y", "Z"},
        {"X", "Y", "Z"},
        {"A11", "A12", "A13", "A21", "A22", "A23", "A31", "A32", "A33"},
        {"Angle", "X direction", "Y direction", "Z direction", "Scale along", "Scale across"}};
    const char* kinds[6] = {"Map", "Rotate", "Translate", "Scale", "Matrix", "Scale+Rotate"};
    std::size_t at = map1;
    for (int k = 0; k < 6; ++k) {
        at = find(nodes, "Submap", at + 1);
        EXPECT_EQ(nodes[at].kind, 262);
        EXPECT_EQ(nodes[at].depth, 2);
        EXPECT_EQ(formatValue(nodes[at]), kinds[k]);
        EXPECT_EQ(children(nodes, at), expected[k]) << kinds[k];
    }
    // Scale+Rotate keeps its scales in P1 and P2.
    const std::size_t along = find(nodes, "Scale along");
    EXPECT_EQ(nodes[along].value, &scene.maps[0].submaps[5].p[0]);
    EXPECT_EQ(nodes[along + 1].value, &scene.maps[0].submaps[5].p[1]);
    EXPECT_EQ(nodes[find(nodes, "A23")].value, &scene.maps[0].submaps[4].p[5]);
}

TEST(ParamTree, MebiusSubmapsByKind)
{
    MebiusScene scene;
    scene.mapCount = 1;
    scene.maps[0].submapCount = 5;
    for (int k = 0; k < 5; ++k)
        scene.maps[0].submaps[k].kind = k;
    const auto nodes = collect(scene);
    const Names expected[5] = {{"Map"},
                               {"Angle", "X direction", "Y direction", "Z direction"},
                               {"X", "Y", "Z"},
                               {"Scale"},
                               {"Reflection", "X direction", "Y direction", "Z direction"}};
    const char* kinds[5] = {"Map", "Rotate", "Translate", "Scale", "Reflect"};
    std::size_t at = find(nodes, "Map 1");
    for (int k = 0; k < 5; ++k) {
        at = find(nodes, "Submap", at + 1);
        EXPECT_EQ(nodes[at].kind, 261);
        EXPECT_EQ(formatValue(nodes[at]), kinds[k]);
        EXPECT_EQ(children(nodes, at), expected[k]) << kinds[k];
    }
}

TEST(ParamTree, SetsWithOneAndWithSeveralSets)
{
    auto tree = makeSample(7); // one set
    auto nodes = collect(*tree);
    EXPECT_EQ(children(nodes, find(nodes, "Sets")),
              (Names{"Number of sets", "Number of subsets", "Map 1", "Map 2", "Map 3"}));

    auto koch = makeSample(0); // two sets
    nodes = collect(*koch);
    const std::size_t sets = find(nodes, "Sets");
    EXPECT_EQ(children(nodes, sets),
              (Names{"Number of sets", "Current set", "[Set 1]", "[Set 2]"}));
    EXPECT_EQ(children(nodes, find(nodes, "Set 2", sets)),
              (Names{"Number of subsets", "Subset 1", "Map 1", "Subset 2", "Map 2", "Subset 3",
                     "Map 3"}));
}

TEST(ParamTree, LightsFollowKindAndAdvancedColors)
{
    AffineScene scene;
    scene.lights[1].kind = kSpot;
    scene.lights[2].kind = kParallel;
    auto nodes = collect(scene);
    const std::size_t lights = find(nodes, "Lights");
    EXPECT_EQ(children(nodes, lights),
              (Names{"Number of lights", "[Light]", "[Light]", "[Light]", "[Ambient]"}));
    std::size_t light = find(nodes, "Light", lights);
    EXPECT_EQ(nodes[light].kind, 259);
    EXPECT_EQ(children(nodes, light),
              (Names{"Red", "Green", "Blue", "Luminiscence", "Shadows", "Attachment", "X Position",
                     "Y Position", "Z Position"}));
    light = find(nodes, "Light", light + 1);
    EXPECT_EQ(formatValue(nodes[light]), "Spot");
    EXPECT_EQ(children(nodes, light),
              (Names{"Red", "Green", "Blue", "Luminiscence", "Shadows", "Attachment", "X Position",
                     "Y Position", "Z Position", "X Direction", "Y Direction", "Z Direction",
                     "Spot angle", "End spot angle", "Beam distribution"}));
    light = find(nodes, "Light", light + 1);
    EXPECT_EQ(children(nodes, light),
              (Names{"Red", "Green", "Blue", "Luminiscence", "Shadows", "Attachment", "X Direction",
                     "Y Direction", "Z Direction"}));
    EXPECT_EQ(children(nodes, find(nodes, "Ambient", lights)),
              (Names{"Red   ", "Green ", "Blue  ", "Luminiscence"}));

    scene.advancedColors = 1;
    nodes = collect(scene);
    light = find(nodes, "Light");
    EXPECT_EQ(children(nodes, light),
              (Names{"[Diffuse]", "[Specular]", "[Attenuation]", "Shadows", "Attachment",
                     "X Position", "Y Position", "Z Position"}));
    EXPECT_EQ(children(nodes, find(nodes, "Attenuation", light)),
              (Names{"Constant ", "Linear", "Quadratic"}));
    EXPECT_EQ(children(nodes, find(nodes, "Specular", light)),
              (Names{"Red", "Green", "Blue", "Luminiscence"}));
    // A parallel light has no attenuation.
    const std::size_t parallel = find(nodes, "Light", find(nodes, "Light", light + 1) + 1);
    EXPECT_EQ(children(nodes, parallel)[2], "Shadows");

    scene.lightCount = 0;
    nodes = collect(scene);
    EXPECT_EQ(children(nodes, find(nodes, "Lights")), (Names{"Number of lights", "[Ambient]"}));
}

TEST(ParamTree, MaterialsPerSubsetOfTheDrawnSet)
{
    auto sponge = makeSample(3); // Menger's Sponge draws set 3: 20 subsets
    auto nodes = collect(*sponge);
    const std::size_t material = find(nodes, "Material");
    EXPECT_EQ(children(nodes, material),
              (Names{"Attachment", "Red ", "Green", "Blue ", "Diffuse", "Specular", "Ambient",
                     "Shininess", "Reflection", "[Background]"}));
    EXPECT_EQ(children(nodes, find(nodes, "Background", material)),
              (Names{"Red ", "Green", "Blue ", "Luminiscence"}));

    sponge->materialAttachment = 0;
    nodes = collect(*sponge);
    Names groups = children(nodes, find(nodes, "Material"));
    ASSERT_EQ(groups.size(), 22u); // Attachment, 20 subsets, Background
    EXPECT_EQ(groups[1], "[Subset 1]");
    EXPECT_EQ(groups[20], "[Subset 20]");

    sponge->advancedColors = 1;
    nodes = collect(*sponge);
    const std::size_t subset = find(nodes, "Subset 1", find(nodes, "Material"));
    EXPECT_EQ(children(nodes, subset),
              (Names{"[Diffuse]", "[Specular]", "[Ambient]", "Reflection"}));
    EXPECT_EQ(children(nodes, find(nodes, "Specular", subset)),
              (Names{"Red ", "Green", "Blue ", "Luminiscence", "Shininess"}));

    // The count follows one-subset sets from the drawn set; a loop of them ends.
    AffineScene scene;
    scene.materialAttachment = 0;
    scene.setCount = 3;
    scene.currentSet = 1;
    scene.sets[0].subsetCount = 1;
    scene.sets[0].subsets[0].subset = 2;
    scene.sets[1].subsetCount = 1;
    scene.sets[1].subsets[0].subset = 1;
    scene.sets[2].subsetCount = 5;
    EXPECT_EQ(scene.materialCount(), 1);
    scene.sets[1].subsets[0].subset = 3;
    EXPECT_EQ(scene.materialCount(), 5);
    scene.sets[1].subsets[0].subset = 40; // outside: set 1 again, then the loop guard
    EXPECT_EQ(scene.materialCount(), 1);
}

TEST(ParamTree, HostileCountsStayInsideTheTables)
{
    AffineScene scene;
    scene.mapCount = 1000;
    scene.setCount = 500;
    scene.lightCount = 99;
    for (auto& map : scene.maps)
        map.submapCount = 1 << 20;
    for (auto& set : scene.sets)
        set.subsetCount = 77;
    scene.currentSet = -4;
    scene.materialAttachment = 0;
    const auto nodes = collect(scene);
    std::size_t maps = 0, submaps = 0, lights = 0;
    for (const ParamNode& n : nodes) {
        maps += n.name.rfind("Map ", 0) == 0 && isGroup(n.kind);
        submaps += n.name == "Submap";
        lights += n.name == "Light";
    }
    EXPECT_EQ(maps, 32u);
    EXPECT_EQ(submaps, 32u * 24u);
    EXPECT_EQ(lights, 32u);

    MebiusScene mebius;
    mebius.mapCount = -3;
    mebius.setCount = -1;
    mebius.lightCount = -1;
    const auto few = collect(mebius);
    EXPECT_EQ(children(few, find(few, "Maps")), (Names{"Number of maps"}));
}
