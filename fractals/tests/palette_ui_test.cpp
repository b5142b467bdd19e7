// The shared palette in the window: cycling, reset, and the palette editor's OK, Cancel,
// Default, Load and Save As.
#include "palette_editor.h"
#include "scripted_prompts.h"
#include "shared_palette.h"
#include "temp_env.h"

#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace fractals;

namespace {

class PaletteUiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        palette().stopCycling();
        palette().resetPalette();
    }
    void TearDown() override { palette().stopCycling(); }
    static SharedPalette& palette() { return SharedPalette::instance(); }
    const PaletteColors defaults = PaletteTable::makeDefault().colors;
    test::ScriptedPrompts prompts;
};

} // namespace

TEST_F(PaletteUiTest, CycleTimerRotatesAndEightyNineStepsComeBack)
{
    QSignalSpy changed(&palette(), &SharedPalette::changed);
    palette().toggleCycle();
    EXPECT_TRUE(palette().isCycling());
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.count() >= 2; }, 5000));
    palette().toggleCycle();
    EXPECT_FALSE(palette().isCycling());
    // However far the timer got, the table is untouched and 89 stays black.
    EXPECT_EQ(palette().table().colors, defaults);
    EXPECT_EQ(palette().live()[89], RGB(0, 0, 0));

    palette().showTable();
    for (int k = 0; k < 89; ++k)
        palette().cycleStep();
    EXPECT_EQ(palette().live(), defaults);
}

TEST_F(PaletteUiTest, ResetWhileCyclingShowsTheDefaultsAndKeepsCycling)
{
    PaletteColors edited = defaults;
    edited[5] = RGB(1, 2, 3);
    palette().setTable({edited});
    palette().showTable();
    palette().toggleCycle();
    palette().cycleStep();
    palette().resetPalette();
    EXPECT_TRUE(palette().isCycling());
    EXPECT_EQ(palette().table().colors, defaults);
    EXPECT_EQ(palette().live(), defaults);
    palette().cycleStep();
    EXPECT_EQ(palette().live()[1], defaults[0]);
}

TEST_F(PaletteUiTest, EditorCancelUndoesAndOkCommits)
{
    {
        CPaletteEditor editor(nullptr);
        EXPECT_EQ(editor.list()->count(), 90);
        prompts.colors.push_back(QColor(9, 8, 7));
        editor.editEntry(10);
        EXPECT_EQ(palette().live()[10], RGB(9, 8, 7));
        editor.reject();
    }
    EXPECT_EQ(palette().live()[10], defaults[10]);
    EXPECT_EQ(palette().table().colors, defaults);
    {
        CPaletteEditor editor(nullptr);
        prompts.colors.push_back(QColor(9, 8, 7));
        editor.editEntry(10);
        prompts.colors.push_back(std::nullopt); // colour dialog cancelled: unchanged
        editor.editEntry(11);
        editor.accept();
    }
    EXPECT_EQ(palette().table().colors[10], RGB(9, 8, 7));
    EXPECT_EQ(palette().live()[11], defaults[11]);
    palette().resetPalette();
    EXPECT_EQ(palette().live()[10], defaults[10]);
}

TEST_F(PaletteUiTest, DefaultShowsTheRampsButOnlyOkKeepsThem)
{
    PaletteColors edited = defaults;
    edited[3] = RGB(7, 7, 7);
    palette().setTable({edited});
    palette().showTable();
    {
        CPaletteEditor editor(nullptr);
        editor.setDefault();
        EXPECT_EQ(palette().live(), defaults);
        EXPECT_EQ(palette().table().colors, edited);
        editor.reject();
    }
    EXPECT_EQ(palette().live(), edited);
    {
        CPaletteEditor editor(nullptr);
        editor.setDefault();
        editor.accept();
    }
    EXPECT_EQ(palette().table().colors, defaults);
}

TEST_F(PaletteUiTest, OkWhileCyclingStoresTheRotatedColours)
{
    palette().toggleCycle();
    CPaletteEditor editor(nullptr);
    palette().cycleStep();
    editor.accept();
    palette().stopCycling();
    EXPECT_EQ(palette().table().colors, palette().live());
    EXPECT_NE(palette().table().colors, defaults);
}

TEST_F(PaletteUiTest, SaveAsThenLoadAndCancelRestores)
{
    suite::test::TempDir dir;
    const QString file = QString::fromStdString((dir / "mine.pal").string());
    PaletteColors mine = defaults;
    mine[0] = RGB(1, 1, 1);
    palette().setLive(mine);
    {
        CPaletteEditor editor(nullptr);
        prompts.fileNames.push_back(file);
        editor.saveAs();
        editor.reject();
    }
    EXPECT_EQ(readPaletteBytes(suite::test::readFileBytes(file.toStdString())), mine);
    EXPECT_EQ(palette().live(), defaults);
    {
        CPaletteEditor editor(nullptr);
        prompts.fileNames.push_back(file);
        editor.load();
        EXPECT_EQ(palette().live(), mine);
        EXPECT_EQ(palette().table().colors, defaults);
        editor.reject();
    }
    EXPECT_EQ(palette().live(), defaults);
    EXPECT_TRUE(prompts.boxes.shown().empty());
}

TEST_F(PaletteUiTest, LoadAndSaveFailuresShowTheirMessages)
{
    suite::test::TempDir dir;
    CPaletteEditor editor(nullptr);
    prompts.fileNames.push_back(QString::fromStdString((dir / "absent.pal").string()));
    editor.load();
    prompts.fileNames.push_back(QString::fromStdString((dir / "no" / "where.pal").string()));
    editor.saveAs();
    ASSERT_EQ(prompts.boxes.shown().size(), 2u);
    EXPECT_EQ(prompts.boxes.shown()[0].text, kMsgPaletteLoadFailed);
    EXPECT_EQ(prompts.boxes.shown()[0].title, "Kaleidra 98");
    EXPECT_EQ(prompts.boxes.shown()[1].text, kMsgPaletteSaveFailed);

    // A file with another product's header is refused before any colour changes.
    std::string foreign = writePaletteBytes(PaletteColors{});
    foreign[1] = 'Q';
    suite::test::writeFileBytes(dir / "foreign.pal", foreign);
    prompts.fileNames.push_back(QString::fromStdString((dir / "foreign.pal").string()));
    editor.load();
    EXPECT_EQ(palette().live(), defaults);
    ASSERT_EQ(prompts.boxes.shown().size(), 3u);
    EXPECT_NE(prompts.boxes.shown()[2].text.find("bad index"), std::string::npos);
    editor.reject();
}
