// The window program on the offscreen platform: start-up, menus, builds on the worker, Stop,
// the memory question, sizes, the zoom rectangle, the point under the mouse, closing while
// building, saving pictures and documents, printing and the persisted window state.
#include "about_box.h"
#include "child_frame.h"
#include "commands.h"
#include "dialogs.h"
#include "fractal_view.h"
#include "main_frame.h"
#include "samples.h"
#include "scripted_prompts.h"
#include "temp_env.h"

#include <QApplication>
#include <QDockWidget>
#include <QEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QRegularExpression>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QSettings>
#include <QSvgRenderer>
#include <QTest>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <set>
#include <thread>

using namespace ormolith;

namespace {

bool waitForIdle(CChildFrame* frame, int ms = 120000)
{
    return QTest::qWaitFor([&] { return !frame->isBuilding(); }, ms);
}

// Distinct colours of a picture: a blank one has one.
std::size_t colourCount(const QImage& image)
{
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            colours.insert(image.pixel(x, y));
    return colours.size();
}

// A mouse move over the view's viewport, with no button held.
void moveMouse(CFractal_View* view, QPoint pos)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), view->viewport()->mapToGlobal(QPointF(pos)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &move);
}

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings(kSettingsCompany, kSettingsProgram).clear();
        setMemoryStatusSource({});
    }
    void TearDown() override { setMemoryStatusSource({}); }

    // A document of sample `index` at a small fixed size, built.
    CChildFrame* builtSample(CMainFrame& main, int index, unsigned w = 96, unsigned h = 72)
    {
        CChildFrame* frame = main.newDocument(kAffineType);
        frame->view()->setFixedBitmapSize(w, h);
        EXPECT_TRUE(frame->loadSample(index));
        EXPECT_TRUE(waitForIdle(frame));
        return frame;
    }

    test::ScriptedPrompts prompts;
    suite::test::TempDir dir;
};

} // namespace

TEST_F(MainFrameTest, StartWithoutFilesBuildsSierpinskisTetrahedron)
{
    CMainFrame main;
    main.show();
    EXPECT_EQ(main.windowTitle(), "Ormolith");
    ASSERT_TRUE(main.startUp({}));
    CChildFrame* frame = main.activeFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->windowTitle(), "Sierpinski's Tetrahedron");
    EXPECT_TRUE(frame->isBuilding());
    ASSERT_TRUE(waitForIdle(frame));
    EXPECT_EQ(main.message(), "Ready");
    EXPECT_EQ(main.windowTitle(), "Ormolith - Sierpinski's Tetrahedron");
    const QImage shown = frame->view()->displayBitmap();
    // The new window's client area was 320 x 240, and that is the picture's size.
    EXPECT_EQ(shown.size(), QSize(320, 240));
    EXPECT_GT(colourCount(shown), 20u);
    EXPECT_TRUE(frame->doc().image.selectionEnabled);
    EXPECT_EQ(frame->doc().scene()->progressPercent.load(), 100.0);
    EXPECT_TRUE(prompts.boxes.shown().empty());
}

TEST_F(MainFrameTest, ShortMenuWithoutDocumentFullMenuWithOne)
{
    CMainFrame main;
    EXPECT_EQ(main.menuTitles(), (QStringList{"&File", "&View", "&Help"}));
    EXPECT_EQ(main.menuItemTexts("&File"), (QStringList{"&New...\tCtrl+N", "&Open...\tCtrl+O",
                                                        "P&rint Setup...", "E&xit"}));
    main.newDocument(kMebiusType);
    EXPECT_EQ(main.menuTitles(),
              (QStringList{"&File", "&View", "&Build", "&Samples", "&Window", "&Help"}));
    EXPECT_EQ(
        main.menuItemTexts("&Build"),
        (QStringList{"&Build fractal\tCtrl+F7", "&AutoCam\tF10", "&Zoom out",
                     "&Stop building\tShift+F7", "Build a&nimation...\tF11", "Bitmap &size"}));
    QStringList names;
    for (int k = 0; k < kSampleCount; ++k)
        names << kSampleNames[k];
    EXPECT_EQ(main.menuItemTexts("&Samples"), names);
    EXPECT_EQ(main.activeFrame()->windowTitle(), "Mebius System");
    // Toolbar: tool tips from the text after the line feed.
    ASSERT_NE(main.toolButton(cmd::RebuildFractal), nullptr);
    EXPECT_EQ(main.toolButton(cmd::RebuildFractal)->toolTip(), "Rebuild");
    EXPECT_EQ(main.toolButton(cmd::StopBuilding)->toolTip(), "Stop");
    EXPECT_FALSE(main.toolButton(cmd::RebuildFractal)->icon().isNull());
    // The window shows the suite's picture of the program, as the SVG in the source tree draws it.
    {
        QSvgRenderer renderer(QStringLiteral(SUITE_SOURCE_DIR "/desktop/icons/ormolith.svg"));
        QImage expected(32, 32, QImage::Format_ARGB32_Premultiplied);
        expected.fill(Qt::transparent);
        QPainter painter(&expected);
        renderer.render(&painter);
        painter.end();
        EXPECT_EQ(main.windowIcon().pixmap(32, 32).toImage().convertToFormat(
                      QImage::Format_ARGB32_Premultiplied),
                  expected);
    }
    // Idle: builds enabled, Stop not.
    EXPECT_TRUE(main.commandEnabled(cmd::BuildFractal));
    EXPECT_FALSE(main.commandEnabled(cmd::StopBuilding));
    main.activeFrame()->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return main.frames().isEmpty(); }, 5000));
    EXPECT_EQ(main.menuTitles(), (QStringList{"&File", "&View", "&Help"}));
}

TEST_F(MainFrameTest, EverySampleFromTheSamplesMenuBuildsUnderItsName)
{
    CMainFrame main;
    main.show();
    CChildFrame* frame = main.newDocument(kAffineType);
    frame->view()->setFixedBitmapSize(64, 48);
    for (int k = 0; k < kSampleCount; ++k) {
        main.dispatch(cmd::SampleFirst + k);
        ASSERT_TRUE(frame->isBuilding()) << k;
        EXPECT_FALSE(main.commandEnabled(cmd::BuildFractal));
        EXPECT_TRUE(main.commandEnabled(cmd::StopBuilding));
        ASSERT_TRUE(waitForIdle(frame)) << k;
        EXPECT_EQ(frame->windowTitle(), kSampleNames[k]);
        EXPECT_EQ(frame->doc().kind, k == 8 ? kMebiusType : kAffineType);
        EXPECT_EQ(main.message(), "Ready") << k;
        EXPECT_EQ(frame->view()->displayBitmap().size(), QSize(64, 48));
        EXPECT_GT(colourCount(frame->view()->displayBitmap()), 1u) << k;
    }
    EXPECT_TRUE(prompts.boxes.shown().empty());
}

TEST_F(MainFrameTest, SamplesAreRefusedWhileBuildingAndAskBeforeReplacingAnEdit)
{
    CMainFrame main;
    CChildFrame* frame = builtSample(main, 2);
    frame->doc().setModified();
    prompts.boxes.queue(QMessageBox::Cancel);
    EXPECT_FALSE(frame->loadSample(0));
    EXPECT_EQ(prompts.boxes.texts(),
              std::vector<std::string>{"Save changes to Sierpinski's Tetrahedron?"});
    EXPECT_EQ(frame->windowTitle(), "Sierpinski's Tetrahedron");
    prompts.boxes.queue(QMessageBox::No);
    EXPECT_TRUE(frame->loadSample(0));
    EXPECT_EQ(frame->windowTitle(), "Koch Snowflake");
    // Building: refused without a word.
    ASSERT_TRUE(frame->isBuilding());
    EXPECT_FALSE(frame->loadSample(3));
    EXPECT_FALSE(frame->startBuild(cmd::BuildFractal));
    ASSERT_TRUE(waitForIdle(frame));
    EXPECT_EQ(frame->windowTitle(), "Koch Snowflake");
    EXPECT_EQ(prompts.boxes.shown().size(), 2u);
}

TEST_F(MainFrameTest, StopKeepsTheOldPictureAndALeftOverStopDoesNotHoldTheNextBuild)
{
    CMainFrame main;
    main.show();
    CChildFrame* frame = builtSample(main, 2, 80, 60);
    const QImage before = frame->view()->displayBitmap().copy();
    ASSERT_FALSE(before.isNull());
    // A long build: a big picture with 3x3 antialiasing.
    frame->doc().scene()->antialiasing = 2;
    frame->view()->setFixedBitmapSize(900, 700);
    ASSERT_TRUE(frame->startBuild(cmd::RebuildFractal));
    EXPECT_EQ(main.message(), "Building...");
    QTest::qWait(300); // well inside the build
    ASSERT_TRUE(frame->isBuilding());
    QElapsedTimer clock;
    clock.start();
    main.dispatch(cmd::StopBuilding);
    ASSERT_TRUE(waitForIdle(frame));
    // For the record only: a slow machine must not fail this test.
    std::cout << "[ stopped in ] " << clock.elapsed() << " ms\n";
    EXPECT_EQ(main.message(), "Terminated by user!");
    EXPECT_EQ(frame->view()->displayBitmap(), before);
    EXPECT_TRUE(prompts.boxes.shown().empty());

    // A stop request left over from before is cleared when the next build starts.
    frame->doc().scene()->antialiasing = 0;
    frame->view()->setFixedBitmapSize(80, 60);
    frame->doc().scene()->stopRequested.store(true);
    ASSERT_TRUE(frame->startBuild(cmd::RebuildFractal));
    ASSERT_TRUE(waitForIdle(frame));
    EXPECT_EQ(main.message(), "Ready");
}

TEST_F(MainFrameTest, ProgressShowsOneDecimalInTheStatusBarOrTheMinimisedCaption)
{
    CMainFrame main;
    main.show();
    CChildFrame* frame = builtSample(main, 2);
    // A job that holds the document busy until released, with a known percentage.
    std::atomic<bool> release{false};
    ASSERT_TRUE(frame->worker().start([&](BuildWorker::Context&) {
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }));
    EXPECT_FALSE(frame->worker().start([](BuildWorker::Context&) {}));
    frame->doc().scene()->progressPercent.store(42.5);
    frame->setStatus("Building...");
    EXPECT_EQ(main.message(), "[42.5%] Building...");
    main.setWindowState(Qt::WindowMinimized);
    frame->doc().scene()->progressPercent.store(7.25);
    frame->updateProgress();
    EXPECT_EQ(main.windowTitle(), "[7.3%] Sierpinski's Tetrahedron");
    main.setWindowState(Qt::WindowNoState);
    frame->updateProgress();
    EXPECT_EQ(main.windowTitle(), "Ormolith - Sierpinski's Tetrahedron");
    release.store(true);
    ASSERT_TRUE(waitForIdle(frame));
}

TEST_F(MainFrameTest, MemoryQuestionOnlyWhenTheEstimateExceedsPhysicalMemory)
{
    CMainFrame main;
    CChildFrame* frame = main.newDocument(kAffineType);
    frame->view()->setFixedBitmapSize(100, 100); // 720000 bytes of records
    MemoryStatus small;
    small.totalPhysical = 700000;
    small.availablePhysical = 300000;
    small.totalVirtual = 3u << 20;
    small.availableVirtual = 2u << 20;
    setMemoryStatusSource([&] { return small; });
    prompts.boxes.queue(QMessageBox::No);
    EXPECT_FALSE(frame->startBuild(cmd::RebuildFractal));
    EXPECT_FALSE(frame->isBuilding());
    EXPECT_EQ(prompts.boxes.texts(),
              std::vector<std::string>{"Algorithm requared 0Mb of memory to work\n"
                                       "Aviable phisical memory 0Mb of 0Mb\n"
                                       "Aviable virtual  memory 2Mb of 3Mb\n"
                                       "Are you sure to start algorithm?"});
    // Enough memory: no question.
    small.totalPhysical = 720000;
    prompts.boxes.clear();
    ASSERT_TRUE(frame->startBuild(cmd::RebuildFractal));
    EXPECT_TRUE(prompts.boxes.shown().empty());
    ASSERT_TRUE(waitForIdle(frame));
}

TEST_F(MainFrameTest, CustomSizeTakesUpTo4096AndRefuses4097)
{
    CSizeDialog dialog(320, 240);
    dialog.widthEdit()->setText("4096");
    dialog.heightEdit()->setText("4096");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.sizeWidth(), 4096u);
    EXPECT_TRUE(prompts.boxes.shown().empty());

    CSizeDialog refused(320, 240);
    refused.heightEdit()->setText("4097");
    refused.show();
    refused.accept();
    EXPECT_TRUE(refused.isVisible());
    EXPECT_EQ(refused.sizeHeight(), 240u);
    EXPECT_EQ(prompts.boxes.texts(),
              std::vector<std::string>{"Please enter an integer between 0 and 4096."});
    refused.heightEdit()->setText("12x");
    refused.accept();
    EXPECT_EQ(prompts.boxes.texts().back(), "Please enter a positive integer.");
    refused.reject();

    // Through the menu: the answer becomes the fixed size of the next build.
    CMainFrame main;
    main.show();
    main.newDocument(kAffineType);
    prompts.sizes.push_back({123, 45});
    main.dispatch(cmd::SizeCustom);
    const ImageBuffer& image = main.activeFrame()->doc().image;
    EXPECT_TRUE(image.fixedSize);
    EXPECT_EQ(image.requestedWidth(), 123);
    EXPECT_EQ(main.activeFrame()->view()->viewport()->size(), QSize(123, 45));
    main.dispatch(cmd::Size1024x768 - 1); // 800x600
    EXPECT_EQ(image.requestedWidth(), 800);
    main.dispatch(cmd::SizeVariable);
    EXPECT_FALSE(image.fixedSize);
    EXPECT_EQ(image.requestedWidth(), 800);
}

TEST_F(MainFrameTest, ZoomRectangleFollowsTheMouseAndFeedsTheZoomBuild)
{
    CMainFrame main;
    main.show();
    CChildFrame* frame = builtSample(main, 2, 160, 120);
    CFractal_View* view = frame->view();
    ImageBuffer& image = frame->doc().image;
    ASSERT_TRUE(image.selectionEnabled);
    view->selectionPress(80, 60);
    EXPECT_TRUE(image.selectionShown);
    EXPECT_EQ(image.selection.halfWidth, 6); // 5 widened to 160:120
    // Within the drag threshold nothing changes.
    view->selectionDrag(84, 63);
    EXPECT_FALSE(image.dragged);
    EXPECT_EQ(image.selection.halfWidth, 6);
    view->selectionDrag(100, 62);
    EXPECT_TRUE(image.dragged);
    EXPECT_EQ(image.selection.halfWidth, 20);
    EXPECT_EQ(image.selection.top, 60 - 15);
    view->selectionRelease();
    EXPECT_FALSE(image.dragged);
    // A new click keeps the last size around the new centre.
    view->selectionPress(40, 30);
    EXPECT_EQ(image.selection.halfWidth, 20);
    EXPECT_EQ(image.selection.left, 20);
    EXPECT_EQ(image.selection.top, 15);
    // The zoom build turns the camera towards the rectangle; the rectangle is gone afterwards.
    const Vec3 before = frame->doc().scene()->camera.direction;
    ASSERT_TRUE(frame->startBuild(cmd::ZoomOut));
    ASSERT_TRUE(waitForIdle(frame));
    EXPECT_FALSE(image.selectionShown);
    EXPECT_FALSE(image.zoomPending);
    const Vec3 after = frame->doc().scene()->camera.direction;
    EXPECT_TRUE(before.x != after.x || before.y != after.y || before.z != after.z);
    // A right click hides a rectangle.
    view->selectionPress(10, 10);
    EXPECT_TRUE(image.selectionShown);
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_FALSE(image.selectionShown);
}

TEST_F(MainFrameTest, PointUnderTheMouseOrInfinity)
{
    CMainFrame main;
    main.show();
    CChildFrame* frame = builtSample(main, 2, 96, 72);
    const FractalScene& scene = *frame->doc().scene();
    int hitX = -1, hitY = -1, missX = -1, missY = -1;
    for (int y = 0; y < 72; ++y)
        for (int x = 0; x < 96; ++x) {
            const double d = scene.accumulator[std::size_t(71 - y) * 96 + x].distance;
            if (d < 100 && hitX < 0)
                hitX = x, hitY = y;
            if (d >= 100 && missX < 0)
                missX = x, missY = y;
        }
    ASSERT_GE(hitX, 0);
    ASSERT_GE(missX, 0);
    moveMouse(frame->view(), QPoint(missX, missY));
    EXPECT_EQ(main.message(), "oo");
    moveMouse(frame->view(), QPoint(hitX, hitY));
    EXPECT_TRUE(QRegularExpression(R"(^\( ?-?\d+\.\d{6}, ?-?\d+\.\d{6}, ?-?\d+\.\d{6}\) Subset \d+$)")
                    .match(main.message())
                    .hasMatch())
        << main.message().toStdString();
    // Nothing while building.
    ASSERT_TRUE(frame->startBuild(cmd::RebuildFractal));
    EXPECT_TRUE(frame->view()->pointUnderMouse(hitX, hitY).isEmpty());
    ASSERT_TRUE(waitForIdle(frame));
}

TEST_F(MainFrameTest, ClosingWhileBuildingAsksAndClosesWhenTheWorkerEnds)
{
    CMainFrame main;
    main.show();
    CChildFrame* frame = main.newDocument(kAffineType);
    frame->doc().loadSample(2);
    frame->doc().scene()->antialiasing = 2;
    frame->view()->setFixedBitmapSize(900, 700);
    ASSERT_TRUE(frame->startBuild(cmd::RebuildFractal));
    // No: the build goes on.
    prompts.boxes.queue(QMessageBox::No);
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(frame->isBuilding());
    EXPECT_FALSE(frame->closeAfterBuild());
    // Yes: the build stops and the frame closes when the worker has ended.
    QPointer<CChildFrame> watched(frame);
    prompts.boxes.queue(QMessageBox::Yes);
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(frame->closeAfterBuild());
    EXPECT_EQ(prompts.boxes.texts(),
              (std::vector<std::string>{"Fractal is building!\nTerminate it?",
                                        "Fractal is building!\nTerminate it?"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return watched.isNull(); }, 60000));
    EXPECT_TRUE(main.frames().isEmpty());
}

TEST_F(MainFrameTest, SaveBitmapBeforeABuildAsksForOneAndAfterWritesBmpOrPng)
{
    CMainFrame main;
    CChildFrame* fresh = main.newDocument(kAffineType);
    fresh->saveBitmapAs();
    EXPECT_EQ(prompts.boxes.texts(), std::vector<std::string>{"Build Fractal First!"});
    EXPECT_EQ(prompts.fileDialogs, 0);

    CChildFrame* frame = builtSample(main, 2, 101, 40);
    const QString bmp = QString::fromStdString((dir / "pic.bmp").string());
    const QString png = QString::fromStdString((dir / "pic.png").string());
    prompts.fileNames = {bmp, png};
    main.dispatch(cmd::SaveBitmapAs);
    frame->saveBitmapAs();
    // 101 pixels make rows of 304 bytes.
    EXPECT_EQ(QFileInfo(bmp).size(), 54 + 304 * 40);
    const QImage fromBmp(bmp), fromPng(png);
    EXPECT_EQ(fromBmp.size(), QSize(101, 40));
    EXPECT_EQ(fromPng.size(), QSize(101, 40));
    EXPECT_EQ(fromBmp.convertToFormat(QImage::Format_RGB32),
              frame->view()->displayBitmap().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(fromPng.convertToFormat(QImage::Format_RGB32),
              frame->view()->displayBitmap().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(prompts.boxes.shown().size(), 1u);
}

TEST_F(MainFrameTest, PrintingToAPdfGivesOnePageAndNothingBuiltIsNotPrinted)
{
    CMainFrame main;
    CChildFrame* frame = builtSample(main, 2, 64, 48);
    const QString pdf = QString::fromStdString((dir / "out.pdf").string());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    ASSERT_TRUE(frame->printTo(printer));
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") +
                  bytes.count("/Type /Page>") + bytes.count("/Type /Page "),
              1);
    EXPECT_TRUE(prompts.boxes.shown().empty());

    CChildFrame* empty = main.newDocument(kAffineType);
    QPrinter other(QPrinter::HighResolution);
    other.setOutputFormat(QPrinter::PdfFormat);
    other.setOutputFileName(QString::fromStdString((dir / "empty.pdf").string()));
    EXPECT_FALSE(empty->printTo(other));
    EXPECT_EQ(prompts.boxes.texts(), std::vector<std::string>{"Not printed!"});
}

TEST_F(MainFrameTest, DocumentsSaveOpenAndRememberRecentFiles)
{
    const QString path = QString::fromStdString((dir / "tetra.ifs").string());
    {
        CMainFrame main;
        CChildFrame* frame = main.newDocument(kAffineType);
        ASSERT_TRUE(frame->doc().loadSample(2));
        frame->doc().setModified();
        prompts.fileNames.push_back(path);
        main.dispatch(cmd::FileSave);
        EXPECT_FALSE(frame->doc().isModified());
        EXPECT_EQ(frame->windowTitle(), "tetra.ifs");
        EXPECT_EQ(main.recentFiles(), QStringList{QFileInfo(path).absoluteFilePath()});
    }
    CMainFrame main;
    EXPECT_TRUE(main.menuItemTexts("&File").contains("&1 " + QFileInfo(path).absoluteFilePath()));
    CChildFrame* opened = main.openDocument(path);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->windowTitle(), "tetra.ifs");
    // The same file again activates its window.
    EXPECT_EQ(main.openDocument(path), opened);
    EXPECT_EQ(main.frames().size(), 1);
    EXPECT_EQ(main.openDocument(QString::fromStdString((dir / "missing.ifs").string())),
              nullptr);
    EXPECT_EQ(prompts.boxes.texts(), std::vector<std::string>{"Failed to open document."});
    // A document of fractals shares the extension; the box names the program that opens it.
    EXPECT_EQ(main.openDocument(FRACTALS_IFS_EXAMPLE), nullptr);
    EXPECT_EQ(prompts.boxes.texts().back(),
              "Failed to open document.\nThis is a document of fractals, not of Ormolith: open it "
              "with fractals.");
    EXPECT_EQ(main.frames().size(), 1);
    EXPECT_EQ(main.recentFiles().size(), 1);
    // A modified document asks on closing; Cancel keeps it.
    opened->doc().setModified();
    prompts.boxes.queue(QMessageBox::Cancel);
    EXPECT_FALSE(opened->close());
    EXPECT_EQ(prompts.boxes.texts().back(),
              "Save changes to " + QFileInfo(path).absoluteFilePath().toStdString() + "?");
}

TEST_F(MainFrameTest, PlacementAndAHiddenPropertiesBarSurviveARestart)
{
    {
        CMainFrame main;
        main.show();
        EXPECT_TRUE(main.commandChecked(cmd::ViewProperties));
        EXPECT_EQ(main.propertiesBar()->windowTitle(), "Properties");
        main.dispatch(cmd::ViewProperties);
        EXPECT_FALSE(main.propertiesBar()->isVisible());
        EXPECT_FALSE(main.commandChecked(cmd::ViewProperties));
        main.setGeometry(40, 50, 700, 500);
        main.close();
    }
    QSettings settings(kSettingsCompany, kSettingsProgram);
    EXPECT_EQ(settings.value("WindowPlacement/Main Window").toString(), "0,1,40,50,740,550");
    {
        CMainFrame main;
        main.show();
        EXPECT_FALSE(main.propertiesBar()->isVisible());
        EXPECT_FALSE(main.commandChecked(cmd::ViewProperties));
        EXPECT_EQ(main.geometry(), QRect(40, 50, 700, 500));
    }
    // A window saved minimised opens with its normal rectangle; five numbers are ignored.
    settings.setValue("WindowPlacement/Main Window", "2,2,10,20,410,320");
    settings.sync();
    {
        CMainFrame main;
        EXPECT_EQ(main.geometry(), QRect(10, 20, 400, 300));
        EXPECT_FALSE(main.isMinimized());
    }
    settings.setValue("WindowPlacement/Main Window", "0,1,10,20,410");
    settings.sync();
    {
        CMainFrame main;
        EXPECT_NE(main.geometry(), QRect(10, 20, 400, 300));
    }
}

TEST_F(MainFrameTest, NewFractalDialogOffersTwoKindsWithTheSecondSelected)
{
    CNewFractalDialog dialog;
    ASSERT_EQ(dialog.list()->count(), 2);
    EXPECT_EQ(dialog.list()->item(0)->text(), "Affine System");
    EXPECT_EQ(dialog.list()->item(1)->text(), "Mebius System");
    EXPECT_FALSE(dialog.list()->item(0)->icon().isNull());
    EXPECT_EQ(dialog.chosenKind(), 1);
    dialog.list()->clearSelection();
    EXPECT_EQ(dialog.chosenKind(), 0);

    CMainFrame main;
    prompts.kinds = {1, -1};
    main.dispatch(cmd::FileNew);
    ASSERT_EQ(main.frames().size(), 1);
    EXPECT_EQ(main.activeFrame()->doc().kind, kMebiusType);
    main.dispatch(cmd::FileNew); // cancelled
    EXPECT_EQ(main.frames().size(), 1);
}

TEST_F(MainFrameTest, AboutBoxShowsTheVersionAndABlueLink)
{
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), "About Ormolith");
    auto* version = about.findChild<QLabel*>("version");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), "Ormolith   Version 1.11");
    EXPECT_EQ(about.link()->textColour(), QColor(0, 0, 238));
    EXPECT_EQ(about.link()->cursor().shape(), Qt::PointingHandCursor);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(about.link(), &enter);
    EXPECT_TRUE(about.link()->hovered());
    EXPECT_EQ(about.link()->textColour(), QApplication::palette().color(QPalette::Highlight));
    EXPECT_TRUE(about.link()->url().isLocalFile());
}
