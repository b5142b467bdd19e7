// Render threads, the progress window, the rubber band and the zoom commands of the views.
#include "commands.h"
#include "henon_view.h"
#include "julia_view.h"
#include "mandel_rule.h"
#include "scripted_prompts.h"
#include "shared_palette.h"
#include "temp_env.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace fractals;

namespace {

// Computes columns quickly up to holdColumn, then spins there (polling the gate, so Pause
// and Stop work) until released. Values are (i + j) % 80 so stored columns can be checked.
struct HeldRule : EscapeRule {
    HeldRule(int w, int h, int hold, std::atomic<int>* reached, std::atomic<bool>* release)
        : EscapeRule(w, h), hold(hold), reached(reached), release(release)
    {
    }
    bool computeRows(int i, std::uint8_t* out, RunGate* gate, int& rowsDone) const override
    {
        if (i == hold) {
            reached->store(1);
            while (!release->load()) {
                if (!gate->poll())
                    return false;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        for (int j = 0; j < height(); ++j) {
            out[j] = static_cast<std::uint8_t>((i + j) % 80);
            rowsDone = j + 1;
            if (!gate->poll())
                return false;
        }
        return true;
    }
    int hold;
    std::atomic<int>* reached;
    std::atomic<bool>* release;
};

class HeldView : public CJuliaView {
public:
    explicit HeldView(CJuliaDoc* doc, int hold) : CJuliaView(doc), hold(hold) {}
    std::unique_ptr<EscapeRule> makeRule(const RenderContext& c) const override
    {
        starts.fetch_add(1);
        return std::make_unique<HeldRule>(c.width, c.height, hold, &reached, &release);
    }
    int hold;
    mutable std::atomic<int> starts{0};
    mutable std::atomic<int> reached{0};
    mutable std::atomic<bool> release{false};
};

// A kind's own rule that, at the start of column hold, waits until the window has paused or
// stopped the run before computing; so the pause or stop lands in that column's first rows.
struct WaitAtColumnRule : EscapeRule {
    WaitAtColumnRule(std::unique_ptr<EscapeRule> own, int hold, std::atomic<int>* reached)
        : EscapeRule(own->width(), own->height()), own(std::move(own)), hold(hold), reached(reached)
    {
    }
    bool computeRows(int i, std::uint8_t* out, RunGate* gate, int& rowsDone) const override
    {
        if (i == hold) {
            reached->store(1);
            while (gate->running() && !gate->paused())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return own->computeColumn(i, out, gate, rowsDone);
    }
    std::unique_ptr<EscapeRule> own;
    int hold;
    std::atomic<int>* reached;
};

template <class View, class Doc> class WaitAtColumnView : public View {
public:
    explicit WaitAtColumnView(Doc* doc) : View(doc) {}
    std::unique_ptr<EscapeRule> makeRule(const RenderContext& c) const override
    {
        std::unique_ptr<EscapeRule> own = View::makeRule(c);
        if (hold < 0)
            return own;
        return std::make_unique<WaitAtColumnRule>(std::move(own), hold, &reached);
    }
    int hold = -1;
    mutable std::atomic<int> reached{0};
};

bool waitFor(const std::function<bool()>& condition)
{
    return QTest::qWaitFor(condition, 20000);
}

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SharedPalette::instance().stopCycling();
        SharedPalette::instance().resetPalette();
    }
    CMandelDoc doc;
};

} // namespace

TEST_F(ViewTest, MandelbrotPictureMatchesTheIterationPixelForPixel)
{
    CMandelView view(&doc);
    view.resize(97, 61);
    view.show();
    view.ControlRender(CFractalView::Start);
    ASSERT_TRUE(waitFor([&] { return !view.isRunning(); }));
    const QImage picture = view.pictureSnapshot();
    ASSERT_EQ(picture.size(), QSize(97, 61));
    const JuliaRect r = doc.rect();
    const double sx = (r.right - r.left) / 97, sy = (r.top - r.bottom) / 61;
    int mismatches = 0;
    for (int i = 0; i < 97; ++i)
        for (int j = 0; j < 61; ++j)
            mismatches += picture.pixelIndex(i, j) !=
                          mandelIndex(r.left + i * sx, r.top - j * sy, doc.equation());
    EXPECT_EQ(mismatches, 0);
}

TEST_F(ViewTest, StartWhileRunningDoesNothingAndStartWhilePausedResumes)
{
    HeldView view(&doc, 10);
    view.resize(40, 20);
    view.show();
    view.ControlRender(CFractalView::Start);
    ASSERT_TRUE(waitFor([&] { return view.reached.load() == 1; }));
    EXPECT_EQ(view.cursor().shape(), Qt::WaitCursor);
    view.ControlRender(CFractalView::Start);
    EXPECT_EQ(view.starts.load(), 1);

    view.onCommand(cmd::Pause);
    EXPECT_TRUE(view.isPaused());
    CommandState pause, start;
    view.updateCommand(cmd::Pause, pause);
    view.updateCommand(cmd::Start, start);
    EXPECT_TRUE(pause.checked);
    EXPECT_FALSE(start.checked);

    view.onCommand(cmd::Start); // resumes rather than restarting
    EXPECT_FALSE(view.isPaused());
    EXPECT_EQ(view.starts.load(), 1);
    view.release.store(true);
    QSignalSpy ended(&view, &CFractalView::renderEnded);
    ASSERT_TRUE(waitFor([&] { return ended.count() == 1; }));
    EXPECT_FALSE(view.isRunning());
    EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor);
    CommandState stop;
    view.updateCommand(cmd::Stop, stop);
    EXPECT_TRUE(stop.checked);
}

TEST_F(ViewTest, StopWhilePausedEndsTheThreadAndKeepsThePartialPicture)
{
    HeldView view(&doc, 5);
    view.resize(30, 12);
    view.show();
    view.ControlRender(CFractalView::Start);
    ASSERT_TRUE(waitFor([&] { return view.reached.load() == 1; }));
    view.ControlRender(CFractalView::Pause);
    view.ControlRender(CFractalView::Stop); // must not hang on the paused worker
    EXPECT_FALSE(view.isRunning());
    EXPECT_FALSE(view.isPaused());
    const QImage picture = view.pictureSnapshot();
    for (int i = 0; i < 30; ++i)
        for (int j = 0; j < 12; ++j)
            ASSERT_EQ(picture.pixelIndex(i, j), i < 5 ? (i + j) % 80 : kInsideIndex)
                << i << "," << j;
}

namespace {

// Pause, then Stop, in the middle of a column of a kind's own rule: the rows of that column
// finished so far are shown while paused and stay after the stop; so do they after a Stop
// without a pause.
template <class View, class Doc> void checkColumnInHandIsKept(Doc& doc)
{
    constexpr int w = 16, h = 48;
    WaitAtColumnView<View, Doc> view(&doc);
    view.resize(w, h);
    view.show();
    view.ControlRender(CFractalView::Start);
    ASSERT_TRUE(waitFor([&] { return !view.isRunning(); }));
    const QImage full = view.pictureSnapshot();
    ASSERT_EQ(full.size(), QSize(w, h));
    // A column whose top pixel differs from the background, so that keeping it can be seen.
    int hold = -1;
    for (int i = 1; i < w && hold < 0; ++i)
        if (full.pixelIndex(i, 0) != kInsideIndex)
            hold = i;
    ASSERT_GE(hold, 1);
    view.hold = hold;
    // How many top rows of column hold are shown, when the columns before it are complete and
    // everything else is background; -1 for any other picture.
    const auto rowsShown = [&] {
        const QImage p = view.pictureSnapshot();
        for (int i = 0; i < w; ++i)
            for (int j = 0; j < h; ++j)
                if (i != hold &&
                    p.pixelIndex(i, j) != (i < hold ? full.pixelIndex(i, j) : kInsideIndex))
                    return -1;
        int rows = 0;
        while (rows < h && p.pixelIndex(hold, rows) == full.pixelIndex(hold, rows))
            ++rows;
        for (int j = rows; j < h; ++j)
            if (p.pixelIndex(hold, j) != kInsideIndex)
                return -1;
        return rows;
    };

    view.ControlRender(CFractalView::Start);
    ASSERT_TRUE(waitFor([&] { return view.reached.load() == 1; }));
    view.ControlRender(CFractalView::Pause);
    EXPECT_TRUE(waitFor([&] { return rowsShown() >= 1; })) << rowsShown();
    const int paused = rowsShown();
    EXPECT_LT(paused, h); // the pause did land inside the column
    view.ControlRender(CFractalView::Stop);
    EXPECT_FALSE(view.isRunning());
    EXPECT_EQ(rowsShown(), paused);

    view.reached.store(0);
    view.ControlRender(CFractalView::Start);
    ASSERT_TRUE(waitFor([&] { return view.reached.load() == 1; }));
    view.ControlRender(CFractalView::Stop);
    EXPECT_FALSE(view.isRunning());
    EXPECT_GE(rowsShown(), 1);
}

} // namespace

TEST_F(ViewTest, PauseAndStopKeepTheFinishedRowsOfTheColumnInHand)
{
    {
        SCOPED_TRACE("Mandelbrot");
        checkColumnInHandIsKept<CMandelView>(doc);
    }
    {
        SCOPED_TRACE("Julia");
        CJuliaDoc julia;
        checkColumnInHandIsKept<CJuliaView>(julia);
    }
    {
        SCOPED_TRACE("Julia with cosines");
        CJuliacosDoc cosine;
        checkColumnInHandIsKept<CJuliacosView>(cosine);
    }
    {
        SCOPED_TRACE("Henon");
        CHenonDoc henon;
        checkColumnInHandIsKept<CHenonView>(henon);
    }
}

TEST_F(ViewTest, ResizeStopsTheRenderAndClearsThePicture)
{
    HeldView view(&doc, 8);
    view.resize(30, 12);
    view.show();
    view.ControlRender(CFractalView::Start);
    ASSERT_TRUE(waitFor([&] { return view.reached.load() == 1; }));
    view.resize(50, 20);
    QCoreApplication::processEvents();
    EXPECT_FALSE(view.isRunning());
    const QImage picture = view.pictureSnapshot();
    ASSERT_EQ(picture.size(), QSize(50, 20));
    for (int i = 0; i < 50; ++i)
        for (int j = 0; j < 20; ++j)
            ASSERT_EQ(picture.pixelIndex(i, j), kInsideIndex);
    EXPECT_EQ(view.backgroundColor(), QColor(0, 0, 0));
}

TEST_F(ViewTest, CancelInTheProgressWindowWritesNoFile)
{
    suite::test::TempDir dir;
    HeldView view(&doc, 3);
    view.resize(30, 12);
    view.show();
    const auto path = dir / "cancelled.bmp";
    view.startFileRender(64, 32, path.string());
    ASSERT_TRUE(view.progressDialog());
    EXPECT_EQ(view.progressDialog()->windowTitle(), "Generating Fractal...");
    EXPECT_EQ(view.progressDialog()->progressText(), "0%");
    ASSERT_TRUE(waitFor([&] { return view.reached.load() == 1; }));
    view.progressDialog()->reject();
    ASSERT_TRUE(waitFor([&] { return !view.isRunning() && !view.progressDialog(); }));
    EXPECT_FALSE(std::filesystem::exists(path));
    // The window's own picture was not touched by the export.
    EXPECT_EQ(view.pictureSnapshot().size(), QSize(30, 12));
}

TEST_F(ViewTest, BitmapExportWritesTheLivePaletteAndThePixels)
{
    suite::test::TempDir dir;
    test::ScriptedPrompts prompts;
    CMandelView view(&doc);
    view.resize(30, 12);
    view.show();
    SharedPalette::instance().cycleStep(); // the export carries the palette as shown
    const auto path = dir / "export.bmp";
    prompts.sizes.push_back({41, 23});
    prompts.fileNames.push_back(QString::fromStdString(path.string()));
    view.onCommand(cmd::ExportBitmap);
    ASSERT_TRUE(waitFor([&] { return !view.isRunning(); }));
    const std::string bytes = suite::test::readFileBytes(path);
    const std::size_t stride = 44; // 41 rounded up to a multiple of 4
    ASSERT_EQ(bytes.size(), 1078 + stride * 23);
    EXPECT_EQ(static_cast<unsigned char>(bytes[10]) | static_cast<unsigned char>(bytes[11]) << 8,
              1078);
    const PaletteColors live = SharedPalette::instance().live();
    EXPECT_EQ(live[0], PaletteTable::makeDefault().colors[88]);
    // Entry 0 of the colour table (blue, green, red) is the rotated colour.
    EXPECT_EQ(static_cast<unsigned char>(bytes[54]), GetBValue(live[0]));
    EXPECT_EQ(static_cast<unsigned char>(bytes[56]), GetRValue(live[0]));
    // Bottom row first: pixel (i, 22) is at 1078 + i.
    const JuliaRect r = doc.rect();
    for (int i = 0; i < 41; ++i)
        EXPECT_EQ(static_cast<unsigned char>(bytes[1078 + i]),
                  mandelIndex(r.left + i * ((r.right - r.left) / 41),
                              r.top - 22 * ((r.top - r.bottom) / 23), doc.equation()));

    // Cancel in the Make Bitmap dialog: nothing starts.
    view.onCommand(cmd::ExportBitmap);
    EXPECT_FALSE(view.isRunning());
}

TEST_F(ViewTest, BitmapExportOffersPngAndKeepsThePaletteThere)
{
    suite::test::TempDir dir;
    test::ScriptedPrompts prompts;
    CMandelView view(&doc);
    view.resize(30, 12);
    view.show();
    const auto bmp = dir / "export.bmp", png = dir / "export.PNG";
    for (const auto& path : {bmp, png}) {
        prompts.sizes.push_back({41, 23});
        prompts.fileNames.push_back(QString::fromStdString(path.string()));
        view.onCommand(cmd::ExportBitmap);
        ASSERT_TRUE(waitFor([&] { return !view.isRunning(); }));
    }
    ASSERT_EQ(prompts.saveFilters.size(), 2);
    EXPECT_EQ(prompts.saveFilters[0], "Windows Bitmap (*.bmp);;PNG Image (*.png);;All Files (*)");
    EXPECT_EQ(suite::test::readFileBytes(png).substr(1, 3), "PNG");
    const QImage fromBmp(QString::fromStdString(bmp.string()), "BMP");
    const QImage fromPng(QString::fromStdString(png.string()), "PNG");
    ASSERT_EQ(fromPng.format(), QImage::Format_Indexed8);
    EXPECT_EQ(fromPng.size(), QSize(41, 23));
    EXPECT_EQ(fromPng.colorTable(), fromBmp.colorTable());
    EXPECT_EQ(fromPng.colorCount(), 256);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 41; ++x)
            ASSERT_EQ(fromPng.pixelIndex(x, y), fromBmp.pixelIndex(x, y)) << x << "," << y;
}

TEST_F(ViewTest, ZoomInThenOutGivesBackTheRectangle)
{
    CMandelView view(&doc);
    view.resize(40, 30);
    const JuliaRect start = doc.rect();
    view.onCommand(cmd::ZoomIn);
    const JuliaRect in = doc.rect();
    EXPECT_DOUBLE_EQ(in.left, -2.1 + 2.8 / 4);
    EXPECT_DOUBLE_EQ(in.right, 0.7 - 2.8 / 4);
    EXPECT_DOUBLE_EQ(in.top, 0.6);
    EXPECT_DOUBLE_EQ(in.bottom, -0.6);
    view.onCommand(cmd::ZoomOut);
    EXPECT_NEAR(doc.rect().left, start.left, 1e-12);
    EXPECT_NEAR(doc.rect().top, start.top, 1e-12);
    EXPECT_NEAR(doc.rect().right, start.right, 1e-12);
    EXPECT_NEAR(doc.rect().bottom, start.bottom, 1e-12);
    EXPECT_TRUE(doc.IsModified());
    view.ControlRender(CFractalView::Stop);

    doc.setEquation({1, 2, 3, 4, 5});
    view.onCommand(cmd::ResetZoom);
    EXPECT_EQ(doc.equation(), (JuliaEquation{1, 2, 3, 4, 5}));
    view.onCommand(cmd::ZoomIn);
    view.onCommand(cmd::Reset);
    EXPECT_EQ(doc.rect(), doc.defaultRect());
    EXPECT_EQ(doc.equation(), doc.defaultEquation());
    view.ControlRender(CFractalView::Stop);
}

TEST_F(ViewTest, TypedPlusAndMinusZoom)
{
    CMandelView view(&doc);
    view.resize(40, 30);
    view.show();
    QTest::keyClick(&view, Qt::Key_Plus, Qt::ShiftModifier, 0);
    EXPECT_DOUBLE_EQ(doc.rect().top, 0.6);
    QTest::keyClick(&view, Qt::Key_Minus);
    EXPECT_NEAR(doc.rect().top, 1.2, 1e-12);
    view.ControlRender(CFractalView::Stop);
}

TEST_F(ViewTest, RubberBandMapsPixelsToCoordinates)
{
    doc.setRect({-2, 1, 2, -1}); // 4 × 2 units over 200 × 100 pixels: 0.02 a pixel
    CMandelView view(&doc);
    view.resize(200, 100);
    view.show();
    QSignalSpy ended(&view, &CFractalView::renderEnded);
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(150, 80));
    QTest::mouseMove(&view, QPoint(120, 70));
    QTest::mouseMove(&view, QPoint(50, 20));
    EXPECT_EQ(view.dragRect(), QRect(QPoint(50, 20), QPoint(150, 80)));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(50, 20));
    EXPECT_EQ(view.dragRect(), QRect());
    // Releasing the button starts the render of the new rectangle.
    ASSERT_TRUE(waitFor([&] { return ended.count() == 1; }));
    EXPECT_NEAR(doc.rect().left, -2 + 50 * 0.02, 1e-12);
    EXPECT_NEAR(doc.rect().right, -2 + 150 * 0.02, 1e-12);
    EXPECT_NEAR(doc.rect().top, 1 - 20 * 0.02, 1e-12);
    EXPECT_NEAR(doc.rect().bottom, 1 - 80 * 0.02, 1e-12);

    // A click without movement, or a drag along one line, would collapse the rectangle: the
    // view keeps its rectangle and draws it again.
    const JuliaRect zoomed = doc.rect();
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(100, 50));
    ASSERT_TRUE(waitFor([&] { return ended.count() == 2; }));
    EXPECT_EQ(doc.rect(), zoomed);
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(20, 40));
    QTest::mouseMove(&view, QPoint(180, 40));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(180, 40));
    view.ControlRender(CFractalView::Stop);
    EXPECT_EQ(doc.rect(), zoomed);
    EXPECT_TRUE(isValidJuliaRect(doc.rect()));
}

TEST_F(ViewTest, ShiftDragKeepsTheWindowsAspectRatio)
{
    // dy = 30 on a 200 × 100 client gives a width of 60, on the side the pointer moved to.
    const DragBox right = rubberBandRect({100, 50}, {105, 80}, true, 200, 100);
    EXPECT_EQ(right.left, 100);
    EXPECT_EQ(right.right, 160);
    EXPECT_EQ(right.top, 50);
    EXPECT_EQ(right.bottom, 80);
    const DragBox left = rubberBandRect({100, 50}, {90, 20}, true, 200, 100);
    EXPECT_EQ(left.left, 40);
    EXPECT_EQ(left.right, 100);
    EXPECT_EQ(left.top, 20);
    const DragBox free = rubberBandRect({100, 50}, {90, 20}, false, 200, 100);
    EXPECT_EQ(free.left, 90);
}

TEST_F(ViewTest, TinyClientDoesNotZoom)
{
    CMandelView view(&doc);
    view.resize(3, 3);
    view.ZoomToRect(0, 0, 1, 1);
    EXPECT_EQ(doc.rect(), doc.defaultRect());
}

TEST_F(ViewTest, HenonClickWithoutDragIsRefusedAndTheSliceStays)
{
    test::ScriptedPrompts prompts;
    CHenonDoc henon;
    CHenonView view(&henon);
    view.resize(120, 80);
    view.show();
    QSignalSpy ended(&view, &CFractalView::renderEnded);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(60, 40));
    ASSERT_EQ(prompts.boxes.shown().size(), 1u);
    EXPECT_EQ(prompts.boxes.shown()[0].text, kMsgVectorTooShort);
    EXPECT_EQ(henon.position(), henon.defaultPosition());
    EXPECT_EQ(henon.horizontal(), henon.defaultHorizontal());
    // The picture restarts with the unchanged slice.
    ASSERT_TRUE(waitFor([&] { return ended.count() == 1; }));
    const HenonRule rule(henon, 120, 80);
    std::vector<std::uint8_t> col(80);
    rule.computeColumn(30, col.data(), nullptr);
    const QImage picture = view.pictureSnapshot();
    for (int j = 0; j < 80; ++j)
        ASSERT_EQ(picture.pixelIndex(30, j), col[j]);

    // A drag narrows the slice, and "+" does nothing in this window.
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(30, 20));
    QTest::mouseMove(&view, QPoint(90, 60));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(90, 60));
    view.ControlRender(CFractalView::Stop);
    EXPECT_NEAR(henon.horizontal().x, 1.5, 1e-12);
    EXPECT_NEAR(henon.vertical().y, -1.2, 1e-12);
    EXPECT_FALSE(henon.IsModified());
    const FourVector before = henon.position();
    QTest::keyClick(&view, Qt::Key_Plus, Qt::ShiftModifier, 0);
    EXPECT_EQ(henon.position(), before);
    EXPECT_FALSE(view.isRunning());
}

TEST_F(ViewTest, HenonPropertiesCheckTheirTexts)
{
    test::ScriptedPrompts prompts;
    CHenonDoc henon;
    CHenonPropertiesSheet sheet(henon, nullptr);
    EXPECT_EQ(sheet.windowTitle(), "Henon Map Properties");
    EXPECT_EQ(sheet.field(7101)->text(), "(-1.500000,1.200000,0.000000,0.000000)");
    EXPECT_EQ(sheet.field(7104)->text(), "(-0.200000,0.750000)");
    sheet.field(7102)->setText("(1,2,3)");
    sheet.accept();
    sheet.field(7102)->setText("(0,0,0,0)");
    sheet.accept();
    ASSERT_EQ(prompts.boxes.shown().size(), 2u);
    EXPECT_EQ(prompts.boxes.shown()[0].text, kMsgBadVectorFormat);
    EXPECT_EQ(prompts.boxes.shown()[1].text, kMsgVectorTooShort);
    EXPECT_EQ(henon.horizontal(), henon.defaultHorizontal());

    sheet.field(7102)->setText("(2,0,0,0)");
    sheet.field(7105)->setText("(0.5,0)");
    sheet.accept();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(henon.horizontal(), (FourVector{2, 0, 0, 0}));
    EXPECT_EQ(henon.d(), (Complex{0.5, 0}));
    EXPECT_FALSE(henon.IsModified()); // only name and author mark it
    sheet.fillDefaults();
    EXPECT_EQ(sheet.field(7105)->text(), "(0.000000,0.000000)");
}

TEST_F(ViewTest, StartRightAfterAFileRenderClosesItsProgressWindow)
{
    suite::test::TempDir dir;
    CMandelView view(&doc);
    view.resize(20, 10);
    view.show();
    view.startFileRender(16, 8, (dir / "quick.bmp").string());
    ASSERT_TRUE(view.progressDialog());
    // Wait for the thread to end without letting the window collect it.
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(dir / "quick.bmp"); }));
    while (view.isRunning())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    view.ControlRender(CFractalView::Start);
    EXPECT_EQ(view.progressDialog(), nullptr);
    ASSERT_TRUE(waitFor([&] { return !view.isRunning(); }));
}

TEST_F(ViewTest, PropertiesKeepTheExactValuesOfUntouchedFields)
{
    // A slice a few drags deep: its text forms ("%f") show hardly a digit of it.
    test::ScriptedPrompts prompts;
    CHenonDoc henon;
    const FourVector position{-0.7436438870371587, 0.1318259042053119, 1e-7, 0};
    const FourVector horizontal{3e-7, 0, 0, 0}, vertical{0, -2.4e-7, 0, 0};
    ASSERT_TRUE(henon.setCoordinates(position, horizontal, vertical));
    henon.setEquation({-0.2, 0.75}, {1.0 / 3, 0});
    {
        CHenonPropertiesSheet sheet(henon, nullptr);
        EXPECT_EQ(sheet.field(7102)->text(), "(0.000000,0.000000,0.000000,0.000000)");
        sheet.field(2304)->setText("Deep");
        sheet.accept();
        EXPECT_EQ(sheet.result(), QDialog::Accepted);
    }
    EXPECT_TRUE(prompts.boxes.shown().empty());
    EXPECT_EQ(henon.name(), "Deep");
    EXPECT_EQ(henon.position(), position);
    EXPECT_EQ(henon.horizontal(), horizontal);
    EXPECT_EQ(henon.vertical(), vertical);
    EXPECT_EQ(henon.d(), (Complex{1.0 / 3, 0}));
    {
        // A field the user edits is read from its text, as before.
        CHenonPropertiesSheet sheet(henon, nullptr);
        sheet.field(7105)->setText("(0.25,0)");
        sheet.accept();
    }
    EXPECT_EQ(henon.d(), (Complex{0.25, 0}));
    EXPECT_EQ(henon.horizontal(), horizontal);
}
