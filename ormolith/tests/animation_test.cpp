#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "animation.h"

using namespace ormolith;

namespace {

ParamNode node(const char* name, std::uint16_t depth, std::uint16_t kind, void* value = nullptr)
{
    ParamNode n;
    n.name = name;
    n.depth = depth;
    n.kind = kind;
    n.value = value;
    return n;
}

// Marks the parameters named in `names` (and only those) as animated, as the dialog's
// choose-variables mode does on commit.
bool markOnly(CFractal_Doc& doc, const std::vector<std::string>& names)
{
    doc.params.clear();
    doc.scene()->describeParameters(doc.params);
    const auto full = paramFullNames(doc.params.nodes);
    std::vector<bool> marked(full.size());
    for (std::size_t i = 0; i < full.size(); ++i)
        marked[i] = std::find(names.begin(), names.end(), full[i]) != names.end();
    return applyVariableMarks(doc, doc.params.nodes, full, marked);
}

// A document with one animated variable, the camera's Z Position, moving by `delta` from its
// present value to key frame 1.
void animateCameraZ(CFractal_Doc& doc, double delta)
{
    doc.loadSample(2);
    ensureFramesCount(doc);
    ASSERT_TRUE(markOnly(doc, {"Camera.Z Position"}));
    ASSERT_EQ(doc.animKeyValues.size(), 2u);
    doc.animKeyValues[1] += delta;
}

} // namespace

TEST(AnimationNames, GroupsPrefixAndRepeatsAreNumbered)
{
    double a = 0, b = 0, c = 0;
    const std::vector<ParamNode> nodes = {
        node("Maps", 0, kKindGroup),           node("Map 1", 1, kKindGroup),
        node("Submap", 2, kKindGroup + 6, &a), node("Angle", 3, kKindReal, &a),
        node("Submap", 2, kKindGroup + 6, &b), node("Angle", 3, kKindReal, &b),
        node("Submap", 2, kKindGroup + 6, &c), node("Map 2", 1, kKindGroup),
        node("Submap", 2, kKindGroup + 6, &c), node("Angle", 3, kKindReal, &c),
        node("Angle", 0, kKindReal, &c),
    };
    const std::vector<std::string> expected = {
        "Maps",
        "Maps.Map 1",
        "Maps.Map 1.Submap",
        "Maps.Map 1.Submap.Angle",
        "Maps.Map 1.Submap[1]",
        "Maps.Map 1.Submap[1].Angle",
        "Maps.Map 1.Submap[2]",
        "Maps.Map 2",
        "Maps.Map 2.Submap",
        "Maps.Map 2.Submap.Angle",
        "Angle",
    };
    EXPECT_EQ(paramFullNames(nodes), expected);
}

TEST(AnimationNames, TheScenesRepeatedLightsGetTheirNumbers)
{
    CFractal_Doc doc;
    doc.loadSample(3);
    doc.scene()->describeParameters(doc.params);
    const auto names = paramFullNames(doc.params.nodes);
    ASSERT_EQ(names.size(), doc.params.nodes.size());
    for (const char* name : {"Camera.X Position", "Lights.Light.X Position",
                             "Lights.Light[1].X Position", "Lights.Light[2].Z Position"})
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    // Names are unique, so each animated variable drives one parameter.
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
}

TEST(AnimationFrames, TotalsAndPositionsInTheLoop)
{
    EXPECT_EQ(totalFrames({}), 40u);
    EXPECT_EQ(totalFrames({0, 0}), 40u);
    EXPECT_EQ(totalFrames({20, 20}), 40u);
    EXPECT_EQ(totalFrames({3, 4}), 7u);
    EXPECT_EQ(totalFrames({UINT32_MAX, 5}), UINT32_MAX);

    auto at = [](std::vector<unsigned> counts, unsigned n) {
        const FramePosition p = framePosition(counts, n);
        return std::pair{p.keyFrame, p.offset};
    };
    using P = std::pair<unsigned, unsigned>;
    EXPECT_EQ(at({20, 20}, 0), P(0, 0));
    EXPECT_EQ(at({20, 20}, 19), P(0, 19));
    // A boundary frame ends the segment before it; the total ends the last one.
    EXPECT_EQ(at({20, 20}, 20), P(0, 20));
    EXPECT_EQ(at({20, 20}, 21), P(1, 1));
    EXPECT_EQ(at({20, 20}, 39), P(1, 19));
    EXPECT_EQ(at({20, 20}, 40), P(1, 20));
    EXPECT_EQ(at({20, 20}, 41), P(0, 0));
    EXPECT_EQ(at({20, 20}, 4000000000u), P(0, 0));
    // Empty segments: one at the start holds frame 0; one inside is passed by the next frame.
    EXPECT_EQ(at({0, 5}, 0), P(0, 0));
    EXPECT_EQ(at({0, 5}, 1), P(1, 1));
    EXPECT_EQ(at({5, 0, 5}, 5), P(0, 5));
    EXPECT_EQ(at({5, 0, 5}, 6), P(2, 1));
    EXPECT_EQ(at({}, 3), P(0, 0));
}

TEST(AnimationFrames, ANewVariableMovesThereAndBackOverFortyFrames)
{
    CFractal_Doc doc;
    animateCameraZ(doc, 10);
    EXPECT_TRUE(doc.isModified());
    EXPECT_EQ(doc.animFramesCount, (std::vector<unsigned>{20, 20}));
    EXPECT_EQ(totalFrames(doc.animFramesCount), 40u);
    const double z0 = doc.animKeyValues[0];
    const double& z = doc.scene()->camera.position.z;
    const std::pair<unsigned, double> expected[] = {
        {0, z0},      {10, z0 + 5},   {19, z0 + 9.5}, {20, z0 + 10},
        {30, z0 + 5}, {39, z0 + 0.5}, {40, z0},       {12345, z0},
    };
    for (const auto& [frame, value] : expected) {
        setAnimationFrame(doc, frame);
        EXPECT_DOUBLE_EQ(z, value) << "frame " << frame;
    }
}

TEST(AnimationFrames, ValuesAreComputedInSixtyFourBitsAndStoredRoundedForFloats)
{
    CFractal_Doc doc;
    doc.animVarNames = {"a", "b"};
    doc.animKeyValues = {0, 1, 0.1, 0.7};
    doc.animFramesCount = {3, 3};
    double wide = 0;
    float narrow = 0;
    std::vector<AnimatedNode> nodes = {{node("a", 0, kKindReal, &wide), 0},
                                       {node("b", 0, kKindFloat, &narrow), 1}};
    setAnimationFrame(doc, nodes, {0, 1});
    EXPECT_EQ(wide, 0.0 + 1.0 * (1.0 - 0.0) / 3.0);
    EXPECT_EQ(narrow, static_cast<float>(0.1 + 1.0 * (0.7 - 0.1) / 3.0));
    // The second segment leads back to key frame 0.
    setAnimationFrame(doc, nodes, {1, 2});
    EXPECT_EQ(wide, 1.0 + 2.0 * (0.0 - 1.0) / 3.0);
    // The end of a segment is computed, not looked up: 0.1 + 3 x 0.6 / 3 in 64 bits.
    setAnimationFrame(doc, nodes, {0, 3});
    EXPECT_EQ(narrow, static_cast<float>(0.1 + 3.0 * (0.7 - 0.1) / 3.0));
    EXPECT_EQ(wide, 1.0);
    // A segment of no frames divides nothing: offset 0 is the key frame's value.
    doc.animFramesCount = {0, 3};
    setAnimationFrame(doc, nodes, {0, 0});
    EXPECT_EQ(wide, 0.0);
    EXPECT_EQ(narrow, 0.1f);
}

TEST(AnimationFrames, TheSceneIsToldOfEveryStore)
{
    CFractal_Doc doc;
    doc.loadSample(2);
    doc.scene()->describeParameters(doc.params);
    const auto names = paramFullNames(doc.params.nodes);
    std::string submapValue;
    for (std::size_t i = 0; i < names.size() && submapValue.empty(); ++i)
        if (names[i].rfind("Maps.", 0) == 0 && isAnimatable(doc.params.nodes[i]))
            submapValue = names[i];
    ASSERT_FALSE(submapValue.empty());
    ensureFramesCount(doc);
    ASSERT_TRUE(markOnly(doc, {submapValue}));
    doc.animKeyValues[1] += 1;
    // A moved map invalidates the last build; only the scene's own check knows that.
    doc.scene()->needsRebuild = false;
    setAnimationFrame(doc, 5);
    EXPECT_TRUE(doc.scene()->needsRebuild) << submapValue;
}

TEST(AnimationFrames, AVariableThatNoLongerExistsMovesNothing)
{
    CFractal_Doc doc;
    animateCameraZ(doc, 10);
    doc.animVarNames.insert(doc.animVarNames.begin(), "Maps.Map 32.Submap[7].Angle");
    doc.animKeyValues.insert(doc.animKeyValues.begin(), {100, 200});
    const double z0 = doc.animKeyValues[2];
    const auto nodes = collectAnimatedNodes(doc);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0].variable, 1u);
    setAnimationFrame(doc, 20);
    EXPECT_DOUBLE_EQ(doc.scene()->camera.position.z, z0 + 10);
    EXPECT_EQ(doc.animVarNames.size(), 2u); // it stays in the document
}

TEST(AnimationKeyFrames, InsertDuplicatesTheClickedKeyFrame)
{
    CFractal_Doc doc;
    doc.animVarNames = {"x", "y"};
    doc.animKeyValues = {1, 2, 3, 4, 5, 6};
    doc.animFramesCount = {10, 20, 30};
    EXPECT_EQ(keyFrameOfColumn(doc, 0), 0u);
    EXPECT_EQ(keyFrameOfColumn(doc, 2), 1u);
    EXPECT_EQ(keyFrameOfColumn(doc, 99), 2u);
    ASSERT_TRUE(insertKeyFrame(doc, keyFrameOfColumn(doc, 2)));
    EXPECT_EQ(doc.animKeyValues, (std::vector<double>{1, 2, 2, 3, 4, 5, 5, 6}));
    EXPECT_EQ(doc.animFramesCount, (std::vector<unsigned>{10, 20, 20, 30}));
    EXPECT_EQ(doc.keyFrameCount(), 4u);
    EXPECT_TRUE(doc.isModified());
    ASSERT_TRUE(insertKeyFrame(doc, 3));
    EXPECT_EQ(doc.animKeyValues, (std::vector<double>{1, 2, 2, 3, 3, 4, 5, 5, 6, 6}));
    EXPECT_EQ(doc.animFramesCount, (std::vector<unsigned>{10, 20, 20, 30, 30}));
}

TEST(AnimationKeyFrames, DeleteKeepsAtLeastTwoKeyFrames)
{
    CFractal_Doc doc;
    doc.animVarNames = {"x", "y"};
    doc.animKeyValues = {1, 2, 3, 4, 5, 6};
    doc.animFramesCount = {10, 20, 30};
    ASSERT_TRUE(deleteKeyFrame(doc, 0));
    EXPECT_EQ(doc.animKeyValues, (std::vector<double>{2, 3, 5, 6}));
    EXPECT_EQ(doc.animFramesCount, (std::vector<unsigned>{20, 30}));
    doc.setModified(false);
    EXPECT_FALSE(deleteKeyFrame(doc, 1));
    EXPECT_EQ(doc.animKeyValues, (std::vector<double>{2, 3, 5, 6}));
    EXPECT_EQ(doc.animFramesCount, (std::vector<unsigned>{20, 30}));
    EXPECT_FALSE(doc.isModified());

    CFractal_Doc still; // nothing animated: neither command does anything
    still.animFramesCount = {20, 20};
    EXPECT_FALSE(insertKeyFrame(still, 0));
    EXPECT_FALSE(deleteKeyFrame(still, 0));
    EXPECT_EQ(still.animFramesCount, (std::vector<unsigned>{20, 20}));
}

TEST(AnimationVariables, MarksKeepTheTreeOrderAndCarryTheirValues)
{
    CFractal_Doc doc;
    doc.loadSample(2);
    ensureFramesCount(doc);
    insertKeyFrame(doc, 0); // no variables yet: nothing happens
    ASSERT_TRUE(markOnly(doc, {"Camera.Y Position"}));
    doc.animKeyValues = {7, 8};
    // Marked later but earlier in the tree: comes first; the present one keeps its values.
    ASSERT_TRUE(markOnly(doc, {"Camera.Y Position", "Camera.X Position", "Camera.Field of view"}));
    EXPECT_EQ(doc.animVarNames, (std::vector<std::string>{"Camera.X Position", "Camera.Y Position",
                                                          "Camera.Field of view"}));
    const double x = doc.scene()->camera.position.x, fov = doc.scene()->camera.fieldOfView;
    EXPECT_EQ(doc.animKeyValues, (std::vector<double>{x, x, 7, 8, fov, fov}));
    // Unmarking removes the variable and its row; marking again nothing changes nothing.
    ASSERT_TRUE(markOnly(doc, {"Camera.X Position", "Camera.Field of view"}));
    EXPECT_EQ(doc.animKeyValues, (std::vector<double>{x, x, fov, fov}));
    doc.setModified(false);
    EXPECT_FALSE(markOnly(doc, {"Camera.X Position", "Camera.Field of view"}));
    EXPECT_FALSE(doc.isModified());
}

TEST(AnimationVariables, TheFirstVariableTakesTheKeyFramesTheCountsHave)
{
    CFractal_Doc doc;
    doc.loadSample(2);
    doc.animFramesCount = {5, 6, 7};
    ASSERT_TRUE(markOnly(doc, {"Camera.X Position"}));
    EXPECT_EQ(doc.keyFrameCount(), 3u);
    EXPECT_EQ(doc.animKeyValues.size(), 3u);
    EXPECT_EQ(doc.animFramesCount, (std::vector<unsigned>{5, 6, 7}));
}
