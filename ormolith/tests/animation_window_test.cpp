// The "Animation" dialog and the production in the window, on the offscreen platform: the
// dialog driven with the mouse and keys as a user would, the codec choice, each frame reaching
// the view, Stop, and the writer's failures in message boxes. ffprobe reads what was written.
#include "animation.h"
#include "animation_dialog.h"
#include "avi_test_util.h"
#include "child_frame.h"
#include "codec_dialog.h"
#include "commands.h"
#include "fractal_view.h"
#include "main_frame.h"
#include "param_tree_ctrl.h"
#include "scripted_prompts.h"
#include "temp_env.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/resource.h>

using namespace ormolith;

namespace {

bool waitForIdle(CChildFrame* frame, int ms = 120000)
{
    return QTest::qWaitFor([&] { return !frame->isBuilding(); }, ms);
}

// The model row showing `name` inside the group `group` (empty: any group).
int rowOf(const AnimationDialog& dialog, const std::string& group, const std::string& name)
{
    const auto& rows = dialog.model().rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].cells.at(0) != name)
            continue;
        const int parent = rows[i].parent;
        if (group.empty() || (parent >= 0 && rows[std::size_t(parent)].cells.at(0) == group))
            return int(i);
    }
    return -1;
}

QString cell(const AnimationDialog& dialog, int row, int column)
{
    return dialog.tree()->cellText(dialog.row(row), column);
}

QStringList columnTitles(const ParamTreeCtrl* tree)
{
    QStringList titles;
    for (int c = 0; c < tree->columnCount(); ++c)
        titles << tree->columnTitle(c);
    return titles;
}

// A mouse click on a cell of the key-frame table, its groups opened first as a user would.
void clickCell(AnimationDialog& dialog, int row, int column)
{
    QTreeWidget* view = dialog.tree()->treeWidget();
    QTreeWidgetItem* item = dialog.row(row);
    ASSERT_NE(item, nullptr);
    for (QTreeWidgetItem* p = item->parent(); p; p = p->parent())
        if (!p->isExpanded())
            view->expandItem(p);
    view->scrollToItem(item);
    const QRect rect = view->visualItemRect(item);
    ASSERT_TRUE(rect.isValid());
    const int x = view->header()->sectionViewportPosition(column) + 4;
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(x, rect.center().y()));
}

// Types into the cell's edit box and presses Enter.
void typeIntoCell(AnimationDialog& dialog, int row, int column, const QString& text)
{
    clickCell(dialog, row, column);
    QLineEdit* editor = dialog.tree()->editor();
    ASSERT_NE(editor, nullptr) << "no edit box opened";
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_FALSE(dialog.tree()->isEditing());
}

void setEdit(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

// Runs `act` on the modal Animation dialog once it shows (the command that opens it blocks).
// The watch ends with the returned timer.
std::unique_ptr<QTimer> whenDialogShows(std::function<void(AnimationDialog&)> act, bool* ran)
{
    *ran = false;
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(10);
    QTimer* t = timer.get();
    QObject::connect(t, &QTimer::timeout, [t, act = std::move(act), ran] {
        auto* dialog = qobject_cast<AnimationDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        t->stop();
        *ran = true;
        act(*dialog);
    });
    timer->start();
    return timer;
}

class AnimationWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings(kSettingsCompany, kSettingsProgram).clear();
        AnimationDialogModel::expandedGroups().clear();
    }

    // Sierpinski's Tetrahedron built at a small fixed size, the camera's X Position moving
    // from its value to +1 and back over `counts`.
    CChildFrame* animatedSample(std::vector<unsigned> counts, unsigned w = 64, unsigned h = 48)
    {
        CChildFrame* frame = main.newDocument(kAffineType);
        frame->view()->setFixedBitmapSize(w, h);
        EXPECT_TRUE(frame->loadSample(2));
        EXPECT_TRUE(waitForIdle(frame));
        CFractal_Doc& doc = frame->doc();
        x0 = doc.scene()->camera.position.x;
        doc.animVarNames = {"Camera.X Position"};
        doc.animKeyValues = {x0, x0 + 1};
        doc.animFramesCount = std::move(counts);
        return frame;
    }

    test::ScriptedPrompts prompts;
    suite::test::TempDir dir;
    CMainFrame main;
    double x0 = 0;
};

} // namespace

TEST_F(AnimationWindowTest, F11OpensTheDialogToChooseVariablesThenEditTheirKeyFrames)
{
    CChildFrame* frame = main.newDocument(kAffineType);
    ASSERT_TRUE(frame->loadSample(2));
    ASSERT_TRUE(waitForIdle(frame));
    CFractal_Doc& doc = frame->doc();
    const double x = doc.scene()->camera.position.x;
    EXPECT_TRUE(main.commandEnabled(cmd::BuildAnimation));

    bool ran = false;
    const auto watch = whenDialogShows(
        [&](AnimationDialog& d) {
            EXPECT_EQ(d.windowTitle(), "Animation");
            // Nothing animated: choose-variables mode, one "Animated" column of marks.
            EXPECT_EQ(d.modeButton()->text(), "&Edit frames");
            EXPECT_FALSE(d.insertButton()->isEnabled());
            EXPECT_FALSE(d.deleteButton()->isEnabled());
            EXPECT_EQ(columnTitles(d.tree()), (QStringList{"Variable", "Animated"}));
            EXPECT_EQ(d.tree()->columnWidth(0), 155); // the last column takes the rest
            EXPECT_EQ(d.totalLabel()->text(), "Frames: 40");
            EXPECT_EQ(d.startFromEdit()->text(), "0");
            EXPECT_EQ(d.fpsEdit()->text(), "15");
            EXPECT_FALSE(d.dontSaveBox()->isChecked());
            const int xRow = rowOf(d, "Camera", "X Position");
            const int zRow = rowOf(d, "Camera", "Z Position");
            ASSERT_GE(xRow, 0);
            EXPECT_EQ(cell(d, xRow, 1), "No");
            // Group rows carry no marks; real parameters only (no "Number of maps" row).
            EXPECT_EQ(rowOf(d, "", "Number of maps"), -1);
            clickCell(d, xRow, 1);
            EXPECT_EQ(cell(d, xRow, 1), "Yes");
            clickCell(d, zRow, 1);
            clickCell(d, zRow, 1); // toggles back
            EXPECT_EQ(cell(d, zRow, 1), "No");
            EXPECT_FALSE(d.tree()->isEditing());
            // Marks reach the document only on a commit.
            EXPECT_TRUE(doc.animVarNames.empty());

            QTest::mouseClick(d.modeButton(), Qt::LeftButton);
            EXPECT_EQ(d.modeButton()->text(), "&Add variables");
            EXPECT_TRUE(d.insertButton()->isEnabled());
            EXPECT_TRUE(d.deleteButton()->isEnabled());
            EXPECT_EQ(columnTitles(d.tree()),
                      (QStringList{"Variable", "Key frame 1", "Key frame 2"}));
            // Only the animated variable under its group, then the frame counts.
            const auto& rows = d.model().rows();
            ASSERT_EQ(rows.size(), 3u);
            const int camera = rowOf(d, "", "Camera");
            const int xAnimated = rowOf(d, "Camera", "X Position");
            ASSERT_GE(camera, 0);
            ASSERT_GE(xAnimated, 0);
            EXPECT_EQ(d.row(xAnimated)->parent(), d.row(camera));
            const QString value = QString::asprintf("%-g", x);
            EXPECT_EQ(cell(d, xAnimated, 1), value);
            EXPECT_EQ(cell(d, xAnimated, 2), value);
            EXPECT_EQ(cell(d, 2, 0), "Frames count");
            EXPECT_EQ(cell(d, 2, 1), "20");
            EXPECT_EQ(cell(d, 2, 2), "20");
            typeIntoCell(d, xAnimated, 2, "2.125e1");
            EXPECT_EQ(cell(d, xAnimated, 2), "21.25");
            typeIntoCell(d, 2, 1, "30");
            EXPECT_EQ(d.totalLabel()->text(), "Frames: 50");
            setEdit(d.fpsEdit(), "25");
            QTest::mouseClick(d.closeButton(), Qt::LeftButton);
        },
        &ran);
    main.dispatch(cmd::BuildAnimation);
    ASSERT_TRUE(ran);
    EXPECT_EQ(doc.animVarNames, (std::vector<std::string>{"Camera.X Position"}));
    EXPECT_EQ(doc.animKeyValues, (std::vector<double>{x, 21.25}));
    EXPECT_EQ(doc.animFramesCount, (std::vector<unsigned>{30, 20}));
    EXPECT_EQ(doc.animFps, 25u);
    EXPECT_TRUE(doc.isModified());
    // Closing starts nothing.
    EXPECT_FALSE(frame->isBuilding());
    EXPECT_EQ(prompts.fileDialogs, 0);
    EXPECT_TRUE(prompts.boxes.shown().empty());
}

TEST_F(AnimationWindowTest, InsertDuplicatesTheClickedKeyFrameAndDeleteKeepsTwo)
{
    CChildFrame* frame = animatedSample({20, 20});
    CFractal_Doc& doc = frame->doc();
    doc.animKeyValues = {1, 3};
    AnimationDialog d(*frame);
    d.show();
    EXPECT_EQ(d.modeButton()->text(), "&Add variables");
    const int xRow = rowOf(d, "Camera", "X Position");
    ASSERT_GE(xRow, 0);
    // The second key frame's cell was clicked last: Insert copies it.
    clickCell(d, xRow, 2);
    ASSERT_TRUE(d.tree()->isEditing());
    // Escape in the edit box abandons the edit, not the dialog.
    QTest::keyClick(d.tree()->editor(), Qt::Key_Escape);
    EXPECT_FALSE(d.tree()->isEditing());
    EXPECT_TRUE(d.isVisible());
    QTest::mouseClick(d.insertButton(), Qt::LeftButton);
    EXPECT_EQ(columnTitles(d.tree()),
              (QStringList{"Variable", "Key frame 1", "Key frame 2", "Key frame 3"}));
    EXPECT_EQ(doc.animKeyValues, (std::vector<double>{1, 3, 3}));
    EXPECT_EQ(doc.animFramesCount, (std::vector<unsigned>{20, 20, 20}));
    EXPECT_EQ(d.totalLabel()->text(), "Frames: 60");
    // An edit still open when a button is pressed is taken first.
    clickCell(d, rowOf(d, "Camera", "X Position"), 3);
    d.tree()->editor()->selectAll();
    QTest::keyClicks(d.tree()->editor(), "5");
    clickCell(d, rowOf(d, "Camera", "X Position"), 1);
    QTest::keyClick(d.tree()->editor(), Qt::Key_Escape);
    QTest::mouseClick(d.deleteButton(), Qt::LeftButton);
    EXPECT_EQ(doc.animKeyValues, (std::vector<double>{3, 5}));
    EXPECT_EQ(columnTitles(d.tree()), (QStringList{"Variable", "Key frame 1", "Key frame 2"}));
    // Never below two key frames.
    QTest::mouseClick(d.deleteButton(), Qt::LeftButton);
    EXPECT_EQ(doc.animKeyValues, (std::vector<double>{3, 5}));
    EXPECT_EQ(d.model().columns().size(), 3u);
    // Text that is no number leaves the value as it was.
    typeIntoCell(d, rowOf(d, "Camera", "X Position"), 1, "abc");
    EXPECT_EQ(cell(d, rowOf(d, "Camera", "X Position"), 1), "3");
    // Enter took the edit and pressed no button.
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(doc.animKeyValues.size(), 2u);
    QTest::mouseClick(d.closeButton(), Qt::LeftButton);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Rejected);
}

TEST_F(AnimationWindowTest, ExpandedGroupsStayExpandedAcrossRefillsAndReopening)
{
    CChildFrame* frame = animatedSample({20, 20});
    {
        AnimationDialog d(*frame);
        d.show();
        // Add a light's position in choose-variables mode, keeping the camera's.
        QTest::mouseClick(d.modeButton(), Qt::LeftButton);
        const int camera = rowOf(d, "", "Camera");
        ASSERT_GE(camera, 0);
        EXPECT_FALSE(d.row(camera)->isExpanded());
        d.tree()->treeWidget()->expandItem(d.row(camera));
        EXPECT_TRUE(d.model().rows()[std::size_t(camera)].expanded);
        clickCell(d, rowOf(d, "Camera", "Z Position"), 1);
        QTest::mouseClick(d.modeButton(), Qt::LeftButton);
        EXPECT_EQ(frame->doc().animVarNames,
                  (std::vector<std::string>{"Camera.X Position", "Camera.Z Position"}));
        // Edit-frames mode shows the group expanded as it was left.
        EXPECT_TRUE(d.row(rowOf(d, "", "Camera"))->isExpanded());
        QTest::keyClick(&d, Qt::Key_Escape); // Close
        EXPECT_FALSE(d.isVisible());
    }
    AnimationDialog again(*frame);
    again.show();
    EXPECT_TRUE(again.row(rowOf(again, "", "Camera"))->isExpanded());
    again.tree()->treeWidget()->collapseItem(again.row(rowOf(again, "", "Camera")));
    again.reject();
    AnimationDialog third(*frame);
    EXPECT_FALSE(third.row(rowOf(third, "", "Camera"))->isExpanded());
}

TEST_F(AnimationWindowTest, GoBuildsTheStartFrameAndKeyFrameZeroBeyondTheEnd)
{
    CChildFrame* frame = animatedSample({20, 20});
    CFractal_Doc& doc = frame->doc();
    AnimationDialog d(*frame);
    d.show();
    setEdit(d.startFromEdit(), "10");
    QTest::mouseClick(d.goButton(), Qt::LeftButton);
    EXPECT_TRUE(frame->isBuilding());
    EXPECT_EQ(doc.lastBuildCommand, cmd::RebuildFractal);
    EXPECT_DOUBLE_EQ(doc.scene()->camera.position.x, x0 + 0.5);
    // Go again while that build runs: the edits are taken, the scene is left to the worker.
    setEdit(d.startFromEdit(), "20");
    QTest::mouseClick(d.goButton(), Qt::LeftButton);
    EXPECT_EQ(doc.animStartFrom, 20u);
    EXPECT_DOUBLE_EQ(doc.scene()->camera.position.x, x0 + 0.5);
    ASSERT_TRUE(waitForIdle(frame));
    EXPECT_EQ(main.message(), "Ready");
    setEdit(d.startFromEdit(), "40");
    QTest::mouseClick(d.goButton(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(doc.scene()->camera.position.x, x0);
    ASSERT_TRUE(waitForIdle(frame));
    d.reject();
}

TEST_F(AnimationWindowTest, CompressWaitsForTheBuildAndStaysWhenNoFileIsChosen)
{
    CChildFrame* frame = animatedSample({3, 3});
    AnimationDialog d(*frame);
    d.show();
    ASSERT_TRUE(frame->startBuild(cmd::RebuildFractal));
    QTest::mouseClick(d.compressButton(), Qt::LeftButton);
    ASSERT_EQ(prompts.boxes.shown().size(), 1u);
    EXPECT_EQ(prompts.boxes.shown()[0].text, "Please stop fractal building first");
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(prompts.fileDialogs, 0);
    ASSERT_TRUE(waitForIdle(frame));
    // The file dialog cancelled: the dialog stays.
    QTest::mouseClick(d.compressButton(), Qt::LeftButton);
    EXPECT_EQ(prompts.fileDialogs, 1);
    EXPECT_TRUE(d.isVisible());
    // A file chosen: the dialog closes for the production, with the path kept.
    const std::string out = (dir / "chosen.avi").string();
    prompts.fileNames.push_back(QString::fromStdString(out));
    QTest::mouseClick(d.compressButton(), Qt::LeftButton);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(frame->doc().animOutputPath, out);
    EXPECT_EQ(prompts.codecDialogs, 0); // the frame asks for it next
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(AnimationWindowTest, TheCommandIsRefusedWithAMessageWhileBuilding)
{
    CChildFrame* frame = animatedSample({3, 3});
    ASSERT_TRUE(frame->startBuild(cmd::RebuildFractal));
    EXPECT_TRUE(main.commandEnabled(cmd::BuildAnimation));
    bool ran = false;
    {
        const auto watch = whenDialogShows([](AnimationDialog& d) { d.reject(); }, &ran);
        main.dispatch(cmd::BuildAnimation);
        QTest::qWait(50);
    }
    EXPECT_FALSE(ran);
    ASSERT_EQ(prompts.boxes.shown().size(), 1u);
    EXPECT_EQ(prompts.boxes.shown()[0].text, "Please stop fractal building first");
    ASSERT_TRUE(waitForIdle(frame));
    // Idle again: the dialog opens.
    const auto watch = whenDialogShows([](AnimationDialog& d) { d.reject(); }, &ran);
    main.dispatch(cmd::BuildAnimation);
    EXPECT_TRUE(ran);
    EXPECT_EQ(prompts.boxes.shown().size(), 1u);
}

TEST_F(AnimationWindowTest, CancellingTheCodecEndsQuietlyWithReady)
{
    CChildFrame* frame = animatedSample({3, 3});
    const auto out = dir / "cancelled.avi";
    frame->doc().animOutputPath = out.string();
    main.setMessage("something else");
    EXPECT_FALSE(frame->startProduction());
    EXPECT_EQ(prompts.codecDialogs, 1);
    EXPECT_FALSE(frame->isBuilding());
    EXPECT_EQ(main.message(), "Ready");
    EXPECT_TRUE(prompts.boxes.shown().empty());
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(AnimationWindowTest, CodecDialogOffersFullFramesAndMotionJpegWithAQuality)
{
    CodecChoice initial;
    initial.codec = CodecChoice::fullFrames;
    initial.quality = 40;
    CodecDialog dialog(initial);
    ASSERT_EQ(dialog.list()->count(), 2);
    EXPECT_EQ(dialog.list()->item(0)->text(), "Full frames (uncompressed)");
    EXPECT_EQ(dialog.list()->item(1)->text(), "Motion JPEG");
    EXPECT_EQ(dialog.list()->currentRow(), 0);
    // The quality means something for Motion JPEG only.
    EXPECT_FALSE(dialog.quality()->isEnabled());
    dialog.list()->setCurrentRow(1);
    EXPECT_TRUE(dialog.quality()->isEnabled());
    dialog.quality()->setValue(120);
    EXPECT_EQ(dialog.choice().codec, CodecChoice::motionJpeg);
    EXPECT_EQ(dialog.choice().quality, 100);
    EXPECT_EQ(makeEncoder(dialog.choice())->handler(), fourcc("MJPG"));
    EXPECT_EQ(makeEncoder(initial)->handler(), 0u);
}

// The whole way a user takes: F11, Compress, a file, a codec; every frame is shown with its
// status prefix and the file holds them all.
TEST_F(AnimationWindowTest, ProductionShowsEveryFrameAndWritesThemAll)
{
    CChildFrame* frame = animatedSample({3, 3});
    const auto out = dir / "six.avi";
    prompts.fileNames.push_back(QString::fromStdString(out.string()));
    CodecChoice jpeg;
    jpeg.codec = CodecChoice::motionJpeg;
    jpeg.quality = 70;
    prompts.codecs.push_back(jpeg);
    QSignalSpy pictures(&frame->worker(), &BuildWorker::pictureReady);
    QStringList statuses;
    QObject::connect(&frame->worker(), &BuildWorker::statusPrefixChanged, &main,
                     [&] { statuses << main.message(); });
    bool ran = false;
    const auto watch = whenDialogShows(
        [&](AnimationDialog& d) {
            setEdit(d.fpsEdit(), "10");
            QTest::mouseClick(d.compressButton(), Qt::LeftButton);
        },
        &ran);
    main.dispatch(cmd::BuildAnimation);
    ASSERT_TRUE(ran);
    EXPECT_EQ(prompts.codecDialogs, 1);
    EXPECT_TRUE(frame->isBuilding());
    // Building commands are off, Stop is on, as during a build.
    EXPECT_FALSE(main.commandEnabled(cmd::RebuildFractal));
    EXPECT_TRUE(main.commandEnabled(cmd::StopBuilding));
    ASSERT_TRUE(waitForIdle(frame));
    EXPECT_EQ(pictures.count(), 6);
    ASSERT_EQ(statuses.size(), 6);
    for (int n = 0; n < 6; ++n)
        EXPECT_TRUE(statuses[n].startsWith(QString("%1 frame of 6").arg(n + 1)))
            << statuses[n].toStdString();
    EXPECT_EQ(main.message(), "Ready");
    EXPECT_TRUE(prompts.boxes.shown().empty());
    // The view shows the last frame; the scene keeps its values.
    EXPECT_EQ(frame->view()->displayBitmap().size(), QSize(64, 48));
    EXPECT_EQ(frame->view()->displayBitmap(), pictures.last().at(0).value<QImage>());
    EXPECT_NEAR(frame->doc().scene()->camera.position.x, x0 + 1.0 / 3.0, 1e-12);
    EXPECT_TRUE(frame->doc().image.hasPixels());
    REQUIRE_FFMPEG();
    const avitest::Probe p = avitest::probe(out);
    EXPECT_EQ(p.codec, "mjpeg");
    EXPECT_EQ(p.frames, 6u);
    EXPECT_EQ(p.width, 64u);
    EXPECT_EQ(p.height, 48u);
    EXPECT_EQ(p.rate, "10/1");
}

TEST_F(AnimationWindowTest, DontSaveBuildsAndShowsTheFramesWithoutAnyFile)
{
    CChildFrame* frame = animatedSample({2, 2});
    frame->doc().animDontSave = true;
    frame->doc().animOutputPath = (dir / "none.avi").string();
    QSignalSpy pictures(&frame->worker(), &BuildWorker::pictureReady);
    bool ran = false;
    const auto watch = whenDialogShows(
        [&](AnimationDialog& d) { QTest::mouseClick(d.compressButton(), Qt::LeftButton); }, &ran);
    main.dispatch(cmd::BuildAnimation);
    ASSERT_TRUE(ran);
    ASSERT_TRUE(waitForIdle(frame));
    EXPECT_EQ(pictures.count(), 4);
    EXPECT_EQ(prompts.fileDialogs, 0);
    EXPECT_EQ(prompts.codecDialogs, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "none.avi"));
    EXPECT_EQ(main.message(), "Ready");
}

TEST_F(AnimationWindowTest, StopLeavesAPlayableFileWithTheFramesWrittenSoFar)
{
    CChildFrame* frame = animatedSample({20, 20}, 160, 120);
    const auto out = dir / "stopped.avi";
    frame->doc().animOutputPath = out.string();
    CodecChoice dib;
    dib.codec = CodecChoice::fullFrames;
    prompts.codecs.push_back(dib);
    int shown = 0;
    QObject::connect(&frame->worker(), &BuildWorker::pictureReady, &main, [&] {
        if (++shown == 2)
            main.dispatch(cmd::StopBuilding);
    });
    ASSERT_TRUE(frame->startProduction());
    ASSERT_TRUE(waitForIdle(frame));
    EXPECT_GE(shown, 2);
    EXPECT_LT(shown, 40);
    // No message: a stop is no failure.
    EXPECT_TRUE(prompts.boxes.shown().empty());
    EXPECT_EQ(main.message(), "Ready");
    REQUIRE_FFMPEG();
    const avitest::Probe p = avitest::probe(out);
    EXPECT_EQ(p.codec, "rawvideo");
    // Every frame shown was written; the one being built when Stop came was dropped.
    EXPECT_EQ(p.frames, unsigned(shown));
    EXPECT_EQ(p.width, 160u);
}

TEST_F(AnimationWindowTest, AFullFileSystemShowsTheWriteMessageAndKeepsThePlayableFrames)
{
    CChildFrame* frame = animatedSample({3, 3});
    const auto out = dir / "full.avi";
    frame->doc().animOutputPath = out.string();
    CodecChoice dib;
    dib.codec = CodecChoice::fullFrames;
    prompts.codecs.push_back(dib);
    // 64x48 full frames take 9224 bytes with their chunk header; 24 KiB hold the headers and
    // two of them. The limit is the process's, so it is lifted as soon as the worker is done.
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = 24 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool started = frame->startProduction();
    const bool ended = started && waitForIdle(frame);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);
    ASSERT_TRUE(ended);
    ASSERT_EQ(prompts.boxes.shown().size(), 1u);
    EXPECT_EQ(prompts.boxes.shown()[0].text,
              "Can't write frame to avi file\nMay be the selected codec driver is broken\nor "
              "disk is full");
    EXPECT_EQ(main.message(), "Avi file error");
    REQUIRE_FFMPEG();
    EXPECT_EQ(avitest::probe(out).frames, 2u);
}

TEST_F(AnimationWindowTest, FilesThatCannotBeCreatedOrStartedAreShownBeforeAnyFrameIsBuilt)
{
    CChildFrame* frame = animatedSample({3, 3});
    frame->doc().animOutputPath = (dir / "missing" / "x.avi").string();
    prompts.codecs.push_back({});
    QSignalSpy pictures(&frame->worker(), &BuildWorker::pictureReady);
    ASSERT_TRUE(frame->startProduction());
    ASSERT_TRUE(waitForIdle(frame));
    EXPECT_EQ(pictures.count(), 0);
    ASSERT_EQ(prompts.boxes.shown().size(), 1u);
    EXPECT_EQ(prompts.boxes.shown()[0].text,
              "Can't open avi file to save animation\nMay be Video For Windows library is broken");
    EXPECT_EQ(main.message(), "Avi file error");

    // A device that takes no byte: the file opens, its headers cannot be written.
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    frame->doc().animOutputPath = "/dev/full";
    prompts.codecs.push_back({});
    ASSERT_TRUE(frame->startProduction());
    ASSERT_TRUE(waitForIdle(frame));
    EXPECT_EQ(pictures.count(), 0);
    ASSERT_EQ(prompts.boxes.shown().size(), 2u);
    EXPECT_EQ(prompts.boxes.shown()[1].text, "Can't create avi stream to save animation");
    EXPECT_EQ(main.message(), "Avi file error");
}

TEST_F(AnimationWindowTest, ClosingDuringAProductionAsksThenClosesWithAPlayableFile)
{
    CChildFrame* frame = animatedSample({20, 20}, 160, 120);
    const auto out = dir / "closed.avi";
    frame->doc().animOutputPath = out.string();
    CodecChoice dib;
    dib.codec = CodecChoice::fullFrames;
    prompts.codecs.push_back(dib);
    QPointer<CChildFrame> watched(frame);
    int shown = 0;
    QObject::connect(&frame->worker(), &BuildWorker::pictureReady, &main, [&] { ++shown; });
    ASSERT_TRUE(frame->startProduction());
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown >= 1; }, 60000));
    prompts.boxes.queue(QMessageBox::No);
    frame->close();
    EXPECT_TRUE(frame->isBuilding()); // No: the production goes on
    prompts.boxes.queue(QMessageBox::Yes);
    frame->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return watched.isNull(); }, 60000));
    // Stopped by the close: no message of the writer, no save question (nothing was edited).
    ASSERT_EQ(prompts.boxes.shown().size(), 2u);
    EXPECT_EQ(prompts.boxes.shown()[0].text, "Fractal is building!\nTerminate it?");
    EXPECT_EQ(prompts.boxes.shown()[1].text, "Fractal is building!\nTerminate it?");
    REQUIRE_FFMPEG();
    const avitest::Probe p = avitest::probe(out);
    EXPECT_GE(p.frames, 1u);
    EXPECT_LT(p.frames, 40u);
}
