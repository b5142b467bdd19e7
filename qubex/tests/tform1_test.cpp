#include "files/code_file.h"
#include "files/settings_file.h"
#include "files/text_io.h"
#include "gui_fakes.h"
#include "temp_env.h"
#include "ui/bdrag.h"
#include "ui/number_dialog.h"
#include "ui/tform5.h"
#include "ui/tform6.h"
#include "ui/up_down.h"
#include "view/gl_cloud_view.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QSvgRenderer>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>

namespace qubex {
namespace {

using test::FakeView;
using test::ScriptedPrompts;

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::remove(settingsFilePath()); }
    TForm1& open(QStringList arguments = {})
    {
        window = std::make_unique<TForm1>(prompts, test::fakeViewOptions(std::move(arguments)));
        return *window;
    }
    FakeView& view() { return static_cast<FakeView&>(window->view()); }
    QAction* item(const char* name) { return window->action(name); }
    std::string file(const std::string& name) const { return (dir / name).string(); }
    QString qfile(const std::string& name) const { return QString::fromStdString(file(name)); }

    suite::test::TempDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<TForm1> window;
};

// The texts of a menu's entries, separators as "-".
QStringList entries(QMenu* menu)
{
    QStringList result;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            result << "-";
        else
            result << a->text() +
                          (a->shortcut().isEmpty() ? "" : " [" + a->shortcut().toString() + "]");
    }
    return result;
}

QMenu* topMenu(TForm1& w, const QString& title)
{
    for (QAction* a : w.menuBar()->actions())
        if (a->text() == title)
            return a->menu();
    return nullptr;
}

TEST_F(MainWindow, MenusHaveTheirItemsShortcutsAndSeparators)
{
    TForm1& w = open();
    QStringList titles;
    for (QAction* a : w.menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{"file", "code", "view", "tools", "help"}));
    EXPECT_EQ(entries(topMenu(w, "file")),
              (QStringList{"new code [Ctrl+N]", "open code... [Ctrl+O]", "save code... [Ctrl+S]",
                           "save code as...", "export points...", "-", "quit [Ctrl+Q]"}));
    EXPECT_EQ(entries(topMenu(w, "code")),
              (QStringList{"new matrix [F2]", "new probability [F3]", "new all [F4]", "-",
                           "matrix length", "iteration"}));
    EXPECT_EQ(entries(qobject_cast<QMenu*>(item("N1")->parent())),
              (QStringList{"1", "2", "4", "8", "16", "32", "-", "other..."}));
    EXPECT_EQ(entries(qobject_cast<QMenu*>(item("N100")->parent())),
              (QStringList{"100", "1000", "5000", "10000", "32000", "-", "other..."}));
    EXPECT_EQ(
        entries(topMenu(w, "view")),
        (QStringList{"colors", "-", "autosize [F6]", "autocenter [F7]", "-", "reset view [Del]"}));
    EXPECT_EQ(entries(qobject_cast<QMenu*>(item("backgroundfog1")->parent())),
              (QStringList{"background...", "point...", "fog...", "-", "fog = background"}));
    EXPECT_EQ(entries(topMenu(w, "tools")), (QStringList{"axis display", "gridpoints", "gridlines",
                                                         "-", "code editor...", "-", "about..."}));
    EXPECT_EQ(entries(topMenu(w, "help")),
              (QStringList{"contents... [F1]", "index...", "-", "about IFS..."}));
}

TEST_F(MainWindow, StartsUntitledWithSettingsAndButtons)
{
    Settings s;
    s.matrix_length = 8;
    s.generation.iteration = 1000;
    s.generation.autocenter = false;
    s.display.axisDisplay = true;
    ASSERT_TRUE(writeSettings(settingsFilePath(), s));
    TForm1& w = open();
    EXPECT_EQ(w.windowTitle(), "qubex - untitled");
    EXPECT_EQ(w.document().code().matrix_length, 8);
    EXPECT_EQ(w.document().cloud().count, 1000);
    EXPECT_TRUE(item("N8")->isChecked());
    EXPECT_TRUE(item("N1000")->isChecked());
    EXPECT_FALSE(item("other1")->isChecked());
    EXPECT_TRUE(item("axisdisplay1")->isChecked());
    EXPECT_TRUE(item("pointcolor1")->isChecked());
    EXPECT_FALSE(item("autocenter1")->isChecked());
    EXPECT_TRUE(w.speedButton(5)->isChecked());
    EXPECT_FALSE(w.speedButton(6)->isChecked());
    const QStringList hints{"generate new set", "generate new code",    "generate new probability",
                            "reset viewpoint",  "automatic set sizing", "automatic placing"};
    const int lefts[] = {2, 30, 58, 96, 123, 150};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(w.speedButton(i + 1)->toolTip(), hints[i]);
        EXPECT_EQ(w.speedButton(i + 1)->geometry(), QRect(lefts[i], 1, 27, 27));
    }
    // Hints on the buttons' highlight colour, not the selection colour.
    EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), w.palette().color(QPalette::Light));
    EXPECT_EQ(w.centralWidget()->sizeHint(), QSize(467, 416));
    w.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(w.centralWidget()->size(), QSize(467, 416));
    EXPECT_EQ(view().geometry(), QRect(0, 29, 467, 416 - 29));
    w.close();
}

// The window shows the suite's qubex icon and each speed button the picture drawn for it, as
// the SVG files in the source tree draw them.
TEST_F(MainWindow, WindowAndSpeedButtonsShowTheirDrawnPictures)
{
    const auto drawn = [](const QString& relativePath, int size) {
        QSvgRenderer renderer(QStringLiteral(SUITE_SOURCE_DIR "/") + relativePath);
        EXPECT_TRUE(renderer.isValid()) << relativePath.toStdString();
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        return image;
    };
    const auto shown = [](const QIcon& icon, int size) {
        return icon.pixmap(size, size).toImage().convertToFormat(
            QImage::Format_ARGB32_Premultiplied);
    };
    TForm1& w = open();
    EXPECT_EQ(shown(w.windowIcon(), 32), drawn("desktop/icons/qubex.svg", 32));
    const char* const files[] = {"new_set",    "new_code",  "new_probability",
                                 "reset_view", "auto_size", "auto_center"};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(files[i]);
        QToolButton* b = w.speedButton(i + 1);
        EXPECT_EQ(b->iconSize(), QSize(20, 20));
        EXPECT_EQ(shown(b->icon(), 20),
                  drawn(QStringLiteral("qubex/ui/icons/%1.svg").arg(files[i]), 20));
    }
}

TEST_F(MainWindow, OtherItemCarriesTheCheckForValuesWithoutAPreset)
{
    TForm1& w = open();
    w.document().setMatrixLength(3);
    w.document().setIteration(2500);
    w.updateMenuChecks();
    EXPECT_TRUE(item("other1")->isChecked());
    EXPECT_TRUE(item("other2")->isChecked());
    for (const char* preset :
         {"N1", "N2", "N4", "N8", "N16", "N32", "N100", "N1000", "N5000", "N10000", "N32000"})
        EXPECT_FALSE(item(preset)->isChecked()) << preset;
    item("N16")->trigger();
    EXPECT_TRUE(item("N16")->isChecked());
    EXPECT_FALSE(item("other1")->isChecked());
    EXPECT_EQ(w.document().code().matrix_length, 16);
}

TEST_F(MainWindow, IterationPresetRegeneratesWithoutNewCode)
{
    TForm1& w = open();
    const auto maps = w.document().code().maps;
    const int draws = view().draws;
    item("N10000")->trigger();
    EXPECT_EQ(w.document().cloud().count, 10000);
    EXPECT_EQ(w.document().code().maps, maps);
    EXPECT_EQ(view().draws, draws + 1);
    EXPECT_TRUE(item("N10000")->isChecked());
}

TEST_F(MainWindow, NewAllRefreshesAnOpenEditorOnlyButPresetsAlways)
{
    TForm1& w = open();
    QTableWidget* grid = w.codeEditor().grid();
    const QString before = grid->item(0, 0)->text();

    item("newall1")->trigger(); // editor closed: its grid stays as it was
    EXPECT_EQ(grid->item(0, 0)->text(), before);

    item("N2")->trigger(); // a matrix-length preset refreshes it in any case
    EXPECT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->item(0, 0)->text().toStdString(),
              formatFixed6(w.document().code().maps[0][0][0]));

    item("codeeditor1")->trigger();
    EXPECT_TRUE(w.editorOpen());
    EXPECT_TRUE(item("codeeditor1")->isChecked());
    item("newall1")->trigger();
    EXPECT_EQ(grid->item(0, 16)->text().toStdString(),
              formatFixed6(w.document().code().thresholds[0]));
    EXPECT_EQ(grid->item(1, 7)->text().toStdString(),
              formatFixed6(w.document().code().maps[1][3][1]));

    item("codeeditor1")->trigger(); // closes it again
    EXPECT_FALSE(w.editorOpen());
    EXPECT_FALSE(item("codeeditor1")->isChecked());
    EXPECT_FALSE(w.codeEditor().isVisible());
}

TEST_F(MainWindow, EditorApplyWithATwoReportsOnceAndKeepsThatCoefficient)
{
    TForm1& w = open();
    item("codeeditor1")->trigger();
    TForm5& editor = w.codeEditor();
    const double kept = w.document().code().maps[0][1][0];
    editor.grid()->item(0, 1)->setText("2");    // element (1, 0)
    editor.grid()->item(0, 2)->setText("0.25"); // element (2, 0)
    const int draws = view().draws;
    QTest::mouseClick(editor.applyButton(), Qt::LeftButton);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Error at code interpretation"});
    EXPECT_EQ(prompts.boxes.shown()[0].title, "qubex");
    EXPECT_EQ(w.document().code().maps[0][1][0], kept);
    EXPECT_EQ(w.document().code().maps[0][2][0], 0.25);
    EXPECT_EQ(view().draws, draws + 1);
}

TEST_F(MainWindow, TypingIntoAChosenEditorCellReplacesItsText)
{
    TForm1& w = open();
    item("codeeditor1")->trigger();
    QTableWidget* grid = w.codeEditor().grid();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                      grid->visualItemRect(grid->item(1, 2)).center());
    ASSERT_EQ(grid->currentRow(), 1);
    ASSERT_EQ(grid->currentColumn(), 2);
    QTest::keyClick(grid, Qt::Key_0); // the first key opens the cell's editor
    auto* cellEditor = grid->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(cellEditor, nullptr);
    EXPECT_EQ(cellEditor->text(), "0"); // what the cell held is gone
    QTest::keyClicks(cellEditor, ".5");
    QTest::keyClick(cellEditor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the delegate commits the edit from the event loop
    EXPECT_EQ(grid->item(1, 2)->text(), "0.5");
    QTest::mouseClick(w.codeEditor().applyButton(), Qt::LeftButton);
    EXPECT_EQ(w.document().code().maps[1][2][0], 0.5);
    EXPECT_TRUE(prompts.texts().empty());
    w.codeEditor().close();
}

TEST_F(MainWindow, EditorLayoutFollowsItsSize)
{
    TForm1& w = open();
    TForm5& editor = w.codeEditor();
    EXPECT_EQ(editor.windowTitle(), "qubex - code editor");
    EXPECT_EQ(editor.grid()->columnCount(), 17);
    EXPECT_EQ(editor.grid()->horizontalHeaderItem(0)->text(), "code 1.");
    EXPECT_EQ(editor.grid()->horizontalHeaderItem(16)->text(), "prob");
    editor.resize(500, 300);
    editor.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(editor.grid()->geometry().size(), QSize(485, 255));
    EXPECT_EQ(editor.closeButton()->geometry().topLeft(), QPoint(435, 270));
    EXPECT_EQ(editor.applyButton()->geometry().left(), 365);
    EXPECT_EQ(editor.helpButton()->geometry().left(), 290);
    QTest::mouseClick(editor.helpButton(), Qt::LeftButton);
    ASSERT_EQ(prompts.helpRequests.size(), 1u);
    EXPECT_EQ(prompts.helpRequests[0].topic, 17);
    editor.close();
}

TEST_F(MainWindow, DroppedQbxLoadsAndOtherFilesAreRefused)
{
    IfsCode code;
    code.matrix_length = 3;
    code.maps[2][1][1] = 0.5;
    code.thresholds = {0.2, 0.6, 1.0};
    ASSERT_TRUE(writeCodeFile(file("A.QBX"), code));
    suite::test::writeFileBytes(dir / "notes.txt", "qubexcode\n1\n");
    TForm1& w = open();

    w.dropTarget().dropFiles({qfile("notes.txt")});
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"This is not seems to be an ifs code"});
    EXPECT_NE(w.document().code().matrix_length, 3);

    // Through the event filter, as a real drop arrives; further files are ignored.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(qfile("A.QBX")), QUrl::fromLocalFile(qfile("notes.txt"))});
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    EXPECT_TRUE(w.acceptDrops());
    EXPECT_TRUE(w.dropTarget().eventFilter(&w, &drop));
    EXPECT_EQ(w.dropTarget().FileCount, 2);
    EXPECT_EQ(w.dropTarget().NameOnly.first(), "A.QBX");
    EXPECT_EQ(w.dropTarget().Extension, (QStringList{"QBX", "txt"}));
    EXPECT_EQ(w.document().code().matrix_length, 3);
    EXPECT_EQ(w.document().code().maps[2][1][1], 0.5);
    EXPECT_EQ(w.windowTitle().toStdString(), asciiLower("qubex - " + file("A.QBX")));
    EXPECT_EQ(prompts.texts().size(), 1u);
    EXPECT_TRUE(item("other1")->isChecked());
}

TEST_F(MainWindow, QbxArgumentIsLoadedBeforeTheFirstFrameInAnyCase)
{
    IfsCode code;
    code.matrix_length = 5;
    code.thresholds[4] = 1;
    ASSERT_TRUE(writeCodeFile(file("Start.QbX"), code));
    TForm1& w = open({qfile("Start.QbX")});
    EXPECT_EQ(w.document().code().matrix_length, 5);
    EXPECT_FALSE(w.document().untitled());
    EXPECT_FALSE(w.isVisible()); // loaded while the window is built, before any frame

    ASSERT_TRUE(writeCodeFile(file("other.txt"), code));
    TForm1 ignored(prompts, test::fakeViewOptions({qfile("other.txt")}));
    EXPECT_TRUE(ignored.document().untitled());
    TForm1 two(prompts, test::fakeViewOptions({qfile("Start.QbX"), qfile("Start.QbX")}));
    EXPECT_TRUE(two.document().untitled());
    EXPECT_TRUE(prompts.texts().empty());
}

TEST_F(MainWindow, SaveAsksForANameOnlyWhileUntitled)
{
    TForm1& w = open();
    item("savecode1")->trigger(); // cancelled
    ASSERT_EQ(prompts.fileDialogs.size(), 1u);
    EXPECT_EQ(prompts.fileDialogs[0].filter, "3d ifs set (*.qbx)|*qbx");
    EXPECT_EQ(prompts.fileDialogs[0].defaultSuffix, "qbx");
    EXPECT_EQ(prompts.fileDialogs[0].title, "save ifs set");
    EXPECT_TRUE(w.document().untitled());

    prompts.fileNames.push_back(qfile("First.qbx"));
    item("savecode1")->trigger();
    EXPECT_TRUE(std::filesystem::exists(file("First.qbx")));
    EXPECT_EQ(w.windowTitle().toStdString(), asciiLower("qubex - " + file("First.qbx")));

    item("newmatrix1")->trigger();
    item("savecode1")->trigger(); // titled now: saves without asking
    EXPECT_EQ(prompts.fileDialogs.size(), 2u);
    IfsCode back;
    ASSERT_EQ(readCodeFile(file("First.qbx"), back), CodeReadStatus::Ok);
    EXPECT_NEAR(back.maps[0][0][0], w.document().code().maps[0][0][0], 5e-7);

    prompts.fileNames.push_back(qfile("second.qbx"));
    item("savecodeas1")->trigger();
    EXPECT_EQ(prompts.fileDialogs.back().filter, "3d ifs set (*.qbx)|*qbx");
    EXPECT_TRUE(std::filesystem::exists(file("second.qbx")));

    item("newcode1")->trigger();
    EXPECT_TRUE(w.document().untitled());
    EXPECT_EQ(w.windowTitle(), "qubex - untitled");
}

TEST_F(MainWindow, OpenDialogLoadsTheChosenFile)
{
    IfsCode code;
    code.matrix_length = 2;
    code.thresholds[1] = 1;
    ASSERT_TRUE(writeCodeFile(file("two.qbx"), code));
    TForm1& w = open();
    prompts.fileNames.push_back(qfile("two.qbx"));
    item("open1")->trigger();
    EXPECT_EQ(prompts.fileDialogs.back().filter, "3d ifs set|*.qbx");
    EXPECT_EQ(w.document().code().matrix_length, 2);
    EXPECT_TRUE(item("N2")->isChecked());
}

TEST_F(MainWindow, ColourCommandsStoreTheColourAndApplyIt)
{
    TForm1& w = open();
    prompts.colors.push_back(QColor(10, 20, 30));
    item("backgroundcolor2")->trigger();
    EXPECT_EQ(w.document().display().background_color, makeColorRef(10, 20, 30));
    EXPECT_EQ(view().backgrounds, 1);
    item("foregroundcolor1")->trigger(); // cancelled: nothing changes
    EXPECT_EQ(w.document().display().point_color, makeColorRef(255, 255, 255));
    prompts.colors.push_back(QColor(1, 2, 3));
    item("foregroundcolor1")->trigger();
    EXPECT_EQ(w.document().display().point_color, makeColorRef(1, 2, 3));
    prompts.colors.push_back(QColor(200, 100, 0));
    item("poi1")->trigger();
    EXPECT_EQ(w.document().display().fog_color, makeColorRef(200, 100, 0));
    item("backgroundfog1")->trigger();
    EXPECT_EQ(w.document().display().fog_color, makeColorRef(10, 20, 30));
    EXPECT_EQ(view().fogs, 2);
}

TEST_F(MainWindow, TogglesFlipTheirFlagsAndChecks)
{
    TForm1& w = open();
    QTest::mouseClick(w.speedButton(5), Qt::LeftButton);
    EXPECT_FALSE(w.document().generation().autosize);
    EXPECT_FALSE(item("pointcolor1")->isChecked());
    EXPECT_FALSE(w.speedButton(5)->isChecked());
    item("autocenter1")->trigger();
    EXPECT_FALSE(w.document().generation().autocenter);
    EXPECT_FALSE(w.speedButton(6)->isChecked());
    item("gridpoints1")->trigger();
    item("gridlines1")->trigger();
    item("axisdisplay1")->trigger();
    EXPECT_TRUE(w.document().display().gridPointsDisplay);
    EXPECT_TRUE(w.document().display().gridLinesDisplay);
    EXPECT_TRUE(w.document().display().axisDisplay);
    EXPECT_TRUE(item("gridlines1")->isChecked());
    item("resetview1")->trigger();
    EXPECT_EQ(view().zoomResets, 1);
}

TEST_F(MainWindow, SettingsAreWrittenAtCloseAfterTheViewIsReleased)
{
    TForm1& w = open();
    item("N32")->trigger();
    item("N100")->trigger();
    item("axisdisplay1")->trigger();
    EXPECT_FALSE(std::filesystem::exists(settingsFilePath()));
    w.close();
    EXPECT_EQ(view().releases, 1);
    EXPECT_FALSE(view().settingsExistedAtRelease); // written only once the view is released
    const Settings s = readSettings(settingsFilePath());
    EXPECT_EQ(s.matrix_length, 32);
    EXPECT_EQ(s.generation.iteration, 100);
    EXPECT_TRUE(s.display.axisDisplay);
}

TEST_F(MainWindow, HelpItemsAskForTheirPages)
{
    open();
    item("contents1")->trigger();
    item("index1")->trigger();
    item("aboutIFS1")->trigger();
    ASSERT_EQ(prompts.helpRequests.size(), 3u);
    EXPECT_EQ(helpPageName(prompts.helpRequests[0]), "contents.html");
    EXPECT_EQ(helpPageName(prompts.helpRequests[1]), "index.html");
    EXPECT_EQ(prompts.helpRequests[2].topic, 2);
    EXPECT_EQ(helpPageName(prompts.helpRequests[2]), "about_ifs.html");
}

TEST_F(MainWindow, ExportPointsWritesThePly)
{
    TForm1& w = open();
    item("N1000")->trigger();
    prompts.fileNames.push_back(qfile("cloud.ply"));
    item("exportpoints1")->trigger();
    const std::string ply = suite::test::readFileBytes(file("cloud.ply"));
    EXPECT_NE(ply.find("element vertex 1000\n"), std::string::npos);
    EXPECT_EQ(std::count(ply.begin(), ply.end(), '\n'), 8 + 1000);
    (void)w;
}

TEST_F(MainWindow, DrawingAreaWithoutOpenGlReportsAndCloses)
{
    TForm1& w = open();
    view().usable = false;
    w.show();
    QTRY_VERIFY(!w.isVisible());
    ASSERT_EQ(prompts.boxes.shown().size(), 1u);
    EXPECT_EQ(prompts.boxes.shown()[0].text, "ChoosePixelFormat failed");
    EXPECT_EQ(prompts.boxes.shown()[0].title, "Error");
}

TEST_F(MainWindow, WithoutOpenGlTheRealViewReportsAndTheWindowCloses)
{
    // The offscreen platform makes no OpenGL context: the window with its real drawing area
    // must say so and close instead of crashing when it is first painted.
    ASSERT_EQ(QGuiApplication::platformName(), "offscreen");
    EXPECT_FALSE(openGlAvailable());
    TForm1::Options options;
    options.splash = false;
    window = std::make_unique<TForm1>(prompts, options);
    EXPECT_FALSE(window->view().viewUsable());
    window->show();
    QTRY_VERIFY(!window->isVisible());
    // Events the closed window still gets (paints, the timer) must not bring it down either.
    QTest::qWait(50);
    ASSERT_EQ(prompts.boxes.shown().size(), 1u);
    EXPECT_EQ(prompts.boxes.shown()[0].text, "ChoosePixelFormat failed");
    EXPECT_EQ(prompts.boxes.shown()[0].title, "Error");
}

TEST_F(MainWindow, SpinTimerRunsOnlyWhileTheViewSpins)
{
    open();
    QTest::qWait(20);
    EXPECT_EQ(view().ticks, 0); // nothing turning: no timer
    view().spin = true;
    view().spinStarted();
    QTRY_VERIFY(view().ticks > 3);
    view().spin = false;
    const int before = view().ticks;
    QTRY_VERIFY(view().ticks > before);
    const int ticks = view().ticks;
    QTest::qWait(30);
    EXPECT_EQ(view().ticks, ticks); // the tick that found the spin over stopped the timer
}

class Dialogs : public MainWindow {};

TEST_F(Dialogs, MatrixLengthDialogAppliesClampsAndRefusesText)
{
    TForm1& w = open();
    TForm2 dialog(w);
    EXPECT_EQ(dialog.windowTitle(), "qubex - matrix length");
    EXPECT_EQ(dialog.size(), QSize(217, 134));
    EXPECT_EQ(dialog.edit()->text(), "4");
    const QString before = w.codeEditor().grid()->item(0, 0)->text();
    dialog.edit()->setText("3");
    QTest::mouseClick(dialog.applyButton(), Qt::LeftButton);
    EXPECT_EQ(w.document().code().matrix_length, 3);
    EXPECT_TRUE(w.action("other1")->isChecked());
    EXPECT_EQ(w.codeEditor().grid()->rowCount(), 4); // the editor is not refreshed from here
    EXPECT_EQ(w.codeEditor().grid()->item(0, 0)->text(), before);

    dialog.edit()->setText("99");
    dialog.apply();
    EXPECT_EQ(w.document().code().matrix_length, 32);
    EXPECT_EQ(dialog.edit()->text(), "32");
    dialog.edit()->setText("many");
    dialog.apply();
    EXPECT_EQ(w.document().code().matrix_length, 32);
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{"Matrix length must be a number from 1 to 32"});
    QTest::mouseClick(dialog.helpButton(), Qt::LeftButton);
    EXPECT_EQ(prompts.helpRequests.back().topic, 14);
}

TEST_F(Dialogs, IterationDialogAcceptsTypedValuesUpToTheCloudSize)
{
    TForm1& w = open();
    TForm3 dialog(w);
    EXPECT_EQ(dialog.windowTitle(), "qubex - iteration");
    EXPECT_EQ(dialog.size(), QSize(216, 144));
    dialog.edit()->setText("40000");
    dialog.apply();
    EXPECT_EQ(w.document().cloud().count, 40000);
    EXPECT_TRUE(w.action("other2")->isChecked());
    dialog.edit()->setText("5");
    dialog.apply();
    EXPECT_EQ(w.document().generation().iteration, 100);
    // The arrows step by 100 within 100..32000, no thousands separator.
    dialog.edit()->setText("31950");
    dialog.upDown()->stepBy(1);
    EXPECT_EQ(dialog.edit()->text(), "32000");
    dialog.edit()->setText("1200");
    QTest::mouseClick(dialog.upDown()->downButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.edit()->text(), "1100");
    QTest::mouseClick(dialog.helpButton(), Qt::LeftButton);
    EXPECT_EQ(prompts.helpRequests.back().topic, 15);
}

TEST_F(Dialogs, OtherItemsOpenTheirDialogsModally)
{
    TForm1& w = open();
    QString seen;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal) {
            seen = modal->windowTitle();
            modal->close();
        }
    });
    w.other1Click();
    EXPECT_EQ(seen, "qubex - matrix length");
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            seen = modal->windowTitle();
            modal->close();
        }
    });
    w.other2Click();
    EXPECT_EQ(seen, "qubex - iteration");
    EXPECT_FALSE(w.action("other1")->isChecked()); // the click alone does not check it
}

TEST_F(Dialogs, SplashClosesItselfAndTheAboutWindowWaitsForAClick)
{
    TForm6 splash(true);
    splash.show();
    EXPECT_TRUE(splash.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!splash.isVisible(), 3000);
    EXPECT_FALSE(splash.splash());

    TForm6 about(false);
    about.show();
    QTest::qWait(1300);
    EXPECT_TRUE(about.isVisible());
    QTest::mouseClick(&about, Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.size(), QSize(357, 234));
    EXPECT_EQ(about.windowTitle(), "qubex - about");
}

} // namespace
} // namespace qubex
