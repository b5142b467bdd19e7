#include <gtest/gtest.h>

#include "anim_production.h"
#include "animation.h"
#include "animation_dialog_model.h"

using namespace ormolith;
using Kind = AnimationRow::Kind;

namespace {

// Index of the row whose name cell is `name` (the first one), -1 when there is none.
int rowNamed(const AnimationDialogModel& m, const std::string& name)
{
    for (std::size_t i = 0; i < m.rows().size(); ++i)
        if (m.rows()[i].cells[0] == name)
            return int(i);
    return -1;
}

// The row of a variable under the group `group` (the camera's, say).
int variableRow(const AnimationDialogModel& m, const std::string& group, const std::string& name)
{
    const int parent = rowNamed(m, group);
    for (std::size_t i = 0; i < m.rows().size(); ++i)
        if (m.rows()[i].parent == parent && m.rows()[i].cells[0] == name)
            return int(i);
    return -1;
}

std::vector<std::string> columnTitles(const AnimationDialogModel& m)
{
    std::vector<std::string> titles;
    for (const auto& c : m.columns())
        titles.push_back(c.title);
    return titles;
}

class AnimationDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        AnimationDialogModel::expandedGroups().clear();
        doc.loadSample(2);
    }
    CFractal_Doc doc;
};

} // namespace

TEST_F(AnimationDialog, ANewAnimationStartsByChoosingVariables)
{
    AnimationDialogModel m(doc);
    EXPECT_EQ(m.mode(), AnimationDialogModel::Mode::chooseVariables);
    EXPECT_STREQ(m.modeButtonText(), "&Edit frames");
    EXPECT_FALSE(m.frameButtonsEnabled());
    EXPECT_EQ(doc.animFramesCount, (std::vector<unsigned>{20, 20}));
    EXPECT_EQ(m.totalText(), "Frames: 40");
    EXPECT_EQ(columnTitles(m), (std::vector<std::string>{"Variable", "Animated"}));
    EXPECT_EQ(m.columns()[0].width, 155);
    EXPECT_EQ(m.columns()[1].width, 80);
    EXPECT_EQ(m.startFromText, "0");
    EXPECT_EQ(m.fpsText, "15");
    EXPECT_FALSE(m.dontSave);

    // Every real parameter has a row marked "No", under its groups; no row for the others
    // (the number of maps is an integer, the quality a choice).
    const int z = variableRow(m, "Camera", "Z Position");
    ASSERT_GE(z, 0);
    EXPECT_EQ(m.rows()[std::size_t(z)].cells[1], "No");
    EXPECT_EQ(rowNamed(m, "Number of maps"), -1);
    EXPECT_EQ(rowNamed(m, "Quality"), -1);
    for (const AnimationRow& row : m.rows()) {
        if (row.kind == Kind::group) {
            EXPECT_FALSE(row.expanded);
            // A group is listed only with a row below it, directly after it.
            const auto self = std::size_t(&row - m.rows().data());
            ASSERT_LT(self + 1, m.rows().size());
            EXPECT_EQ(m.rows()[self + 1].parent, int(self)) << row.cells[0];
        }
        EXPECT_NE(row.kind, Kind::framesCount);
    }
}

TEST_F(AnimationDialog, MarkingAVariableAndSwitchingShowsItsKeyFrames)
{
    AnimationDialogModel m(doc);
    const int z = variableRow(m, "Camera", "Z Position");
    ASSERT_GE(z, 0);
    m.editCell(z, 1, "anything");
    EXPECT_EQ(m.rows()[std::size_t(z)].cells[1], "Yes");
    EXPECT_TRUE(doc.isModified());
    EXPECT_TRUE(doc.animVarNames.empty()); // nothing is stored before the commit
    m.editCell(z, 1, "");
    EXPECT_EQ(m.rows()[std::size_t(z)].cells[1], "No");
    m.editCell(z, 1, "");

    m.switchMode();
    EXPECT_EQ(m.mode(), AnimationDialogModel::Mode::editFrames);
    EXPECT_STREQ(m.modeButtonText(), "&Add variables");
    EXPECT_TRUE(m.frameButtonsEnabled());
    EXPECT_EQ(doc.animVarNames, (std::vector<std::string>{"Camera.Z Position"}));
    EXPECT_EQ(columnTitles(m),
              (std::vector<std::string>{"Variable", "Key frame 1", "Key frame 2"}));
    // The camera group, its one animated variable with "%-g" values, the frame counts.
    ASSERT_EQ(m.rows().size(), 3u);
    EXPECT_EQ(m.rows()[0].kind, Kind::group);
    EXPECT_EQ(m.rows()[0].cells[0], "Camera");
    const double z0 = doc.scene()->camera.position.z;
    char text[32];
    std::snprintf(text, sizeof text, "%-g", z0);
    EXPECT_EQ(m.rows()[1].cells, (std::vector<std::string>{"Z Position", text, text}));
    EXPECT_EQ(m.rows()[1].parent, 0);
    EXPECT_EQ(m.rows()[2].cells, (std::vector<std::string>{"Frames count", "20", "20"}));

    // Values are read with "%lf" and shown with "%-g"; what is no number keeps the old value.
    m.editCell(1, 2, " 1.23456789e2xyz");
    EXPECT_EQ(m.rows()[1].cells[2], "123.457");
    EXPECT_EQ(doc.animKeyValues[1], 123.456789);
    m.editCell(1, 2, "abc");
    EXPECT_EQ(doc.animKeyValues[1], 123.456789);
    m.editCell(1, 2, "nan");
    EXPECT_EQ(doc.animKeyValues[1], 123.456789);
    // Frame counts with "%d"; the total follows.
    m.editCell(2, 1, "7");
    EXPECT_EQ(doc.animFramesCount, (std::vector<unsigned>{7, 20}));
    EXPECT_EQ(m.rows()[2].cells[1], "7");
    EXPECT_EQ(m.totalText(), "Frames: 27");
    m.editCell(2, 2, "-5");
    EXPECT_EQ(m.rows()[2].cells[2], "20");
    // A group row takes no edit.
    m.editCell(0, 1, "5");
    EXPECT_EQ(m.rows()[0].cells[1], "");
}

TEST_F(AnimationDialog, InsertAndDeleteWorkOnTheClickedKeyFrame)
{
    doc.animVarNames = {"Camera.X Position"};
    doc.animKeyValues = {1, 2};
    AnimationDialogModel m(doc);
    ASSERT_EQ(m.mode(), AnimationDialogModel::Mode::editFrames);
    // Two key frames: Delete does nothing.
    m.clickCell(1, 2);
    m.deleteFrame();
    EXPECT_EQ(doc.animKeyValues, (std::vector<double>{1, 2}));
    EXPECT_FALSE(doc.isModified());

    m.insertFrame(); // duplicates key frame 2
    EXPECT_EQ(doc.animKeyValues, (std::vector<double>{1, 2, 2}));
    EXPECT_EQ(doc.animFramesCount, (std::vector<unsigned>{20, 20, 20}));
    EXPECT_EQ(m.columns().size(), 4u);
    EXPECT_EQ(m.totalText(), "Frames: 60");
    EXPECT_EQ(m.rows().back().cells.size(), 4u);

    m.clickCell(1, 1);
    m.deleteFrame();
    EXPECT_EQ(doc.animKeyValues, (std::vector<double>{2, 2}));
    // The name column clamps to key frame 1, a column past the end to the last one.
    m.clickCell(1, 0);
    m.insertFrame();
    EXPECT_EQ(doc.keyFrameCount(), 3u);
    m.clickCell(1, 99);
    m.deleteFrame();
    EXPECT_EQ(doc.keyFrameCount(), 2u);
}

TEST_F(AnimationDialog, CommitStoresTheEditsAndTheExpandedGroups)
{
    doc.animVarNames = {"Camera.X Position"};
    doc.animKeyValues = {1, 2};
    {
        AnimationDialogModel m(doc);
        m.setExpanded(0, true);
        m.startFromText = "12";
        m.fpsText = "x"; // not a number: the old value stays
        m.dontSave = true;
        m.close();
        EXPECT_EQ(m.fpsText, "15");
    }
    EXPECT_EQ(doc.animStartFrom, 12u);
    EXPECT_EQ(doc.animFps, 15u);
    EXPECT_TRUE(doc.animDontSave);
    EXPECT_TRUE(AnimationDialogModel::expandedGroups()["Camera"]);

    // A new dialog, even in the other mode, shows the group as it was left.
    doc.animVarNames.clear();
    doc.animKeyValues.clear();
    AnimationDialogModel m(doc);
    EXPECT_EQ(m.startFromText, "12");
    EXPECT_TRUE(m.dontSave);
    const int camera = rowNamed(m, "Camera"), maps = rowNamed(m, "Maps");
    ASSERT_GE(camera, 0);
    ASSERT_GE(maps, 0);
    EXPECT_TRUE(m.rows()[std::size_t(camera)].expanded);
    EXPECT_FALSE(m.rows()[std::size_t(maps)].expanded);
}

TEST_F(AnimationDialog, GoShowsTheStartFrameAndKeyFrameZeroBeyondTheEnd)
{
    doc.animVarNames = {"Camera.X Position"};
    doc.animKeyValues = {1, 3};
    AnimationDialogModel m(doc);
    m.startFromText = "10";
    m.go();
    EXPECT_DOUBLE_EQ(doc.scene()->camera.position.x, 2.0);
    m.startFromText = "40";
    m.go();
    EXPECT_DOUBLE_EQ(doc.scene()->camera.position.x, 1.0);
    m.startFromText = "1000";
    m.go();
    EXPECT_EQ(doc.scene()->camera.position.x, 1.0);
    EXPECT_EQ(doc.animStartFrom, 1000u);
    // While a build runs the edits are taken but the scene stays as the worker reads it.
    m.startFromText = "10";
    EXPECT_FALSE(m.go(true));
    EXPECT_EQ(doc.animStartFrom, 10u);
    EXPECT_EQ(doc.scene()->camera.position.x, 1.0);
    EXPECT_TRUE(m.go(false));
    EXPECT_DOUBLE_EQ(doc.scene()->camera.position.x, 2.0);
}

TEST_F(AnimationDialog, CompressAsksForAFileUnlessNothingIsSaved)
{
    AnimationDialogModel m(doc);
    EXPECT_EQ(m.compress(true), AnimationDialogModel::CompressStep::refusedBuilding);
    EXPECT_EQ(m.compress(false), AnimationDialogModel::CompressStep::askForFile);
    m.startProduction("/tmp/x.avi");
    EXPECT_EQ(doc.animOutputPath, "/tmp/x.avi");
    m.dontSave = true;
    EXPECT_EQ(m.compress(false), AnimationDialogModel::CompressStep::start);
    EXPECT_TRUE(doc.animDontSave);
    EXPECT_STREQ(kStopBuildingFirstText, "Please stop fractal building first");
    EXPECT_STREQ(kAviFileFilter, "Avi Files (*.avi)|*.avi|All Files (*.*)|*.*||");
}

TEST_F(AnimationDialog, UnmarkingInChooseModeRemovesTheVariable)
{
    doc.animVarNames = {"Camera.X Position", "Camera.Y Position"};
    doc.animKeyValues = {1, 2, 3, 4};
    AnimationDialogModel m(doc);
    m.switchMode();
    ASSERT_EQ(m.mode(), AnimationDialogModel::Mode::chooseVariables);
    const int x = variableRow(m, "Camera", "X Position");
    ASSERT_GE(x, 0);
    EXPECT_EQ(m.rows()[std::size_t(x)].cells[1], "Yes");
    m.editCell(x, 1, "");
    m.switchMode();
    EXPECT_EQ(doc.animVarNames, (std::vector<std::string>{"Camera.Y Position"}));
    EXPECT_EQ(doc.animKeyValues, (std::vector<double>{3, 4}));
    ASSERT_EQ(m.rows().size(), 3u);
    EXPECT_EQ(m.rows()[1].cells[0], "Y Position");
}
