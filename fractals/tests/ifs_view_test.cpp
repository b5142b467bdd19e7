// The IFS window: the frame editor driven with the mouse and the commands, the frame
// clipboard between windows, and the command states while running and idle.
#include "commands.h"
#include "ifs_dialogs.h"
#include "ifs_view.h"
#include "main_wnd.h"
#include "scripted_prompts.h"
#include "temp_env.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QTest>
#include <deque>
#include <gtest/gtest.h>

using namespace fractals;

namespace {

class ScriptedIfsDialogs : public IfsDialogs {
public:
    ScriptedIfsDialogs() { setIfsDialogs(this); }
    ~ScriptedIfsDialogs() override { setIfsDialogs(nullptr); }

    std::deque<CIfsFrame> frames; // frame properties answers; none queued = Cancel
    std::deque<std::pair<int, int>> shifts;
    std::deque<int> angles;
    std::deque<std::tuple<int, int, std::uint64_t>> bitmaps;

    bool frameProperties(QWidget*, CIfsFrame& frame) override { return next(frames, frame); }
    bool shiftFrame(QWidget*, int& dx, int& dy) override
    {
        std::pair<int, int> s;
        if (!next(shifts, s))
            return false;
        std::tie(dx, dy) = s;
        return true;
    }
    bool rotateFrame(QWidget*, int& angle) override { return next(angles, angle); }
    bool saveBitmap(QWidget*, int& w, int& h, std::uint64_t& perPixel) override
    {
        std::tuple<int, int, std::uint64_t> b;
        if (!next(bitmaps, b))
            return false;
        std::tie(w, h, perPixel) = b;
        return true;
    }

private:
    template <typename T> static bool next(std::deque<T>& queue, T& value)
    {
        if (queue.empty())
            return false;
        value = queue.front();
        queue.pop_front();
        return true;
    }
};

class IfsViewTest : public ::testing::Test {
protected:
    test::ScriptedPrompts prompts;
    ScriptedIfsDialogs dialogs;
    suite::test::TempDir dir;
    CMainWnd main;

    void SetUp() override
    {
        frameClipboard().clear();
        main.resize(900, 700);
        main.show();
    }

    CIfsView* newWindow()
    {
        CFractalWnd* frame = main.newDocument(3);
        frame->resize(480, 400);
        auto* view = dynamic_cast<CIfsView*>(frame->view());
        EXPECT_TRUE(view);
        EXPECT_TRUE(QTest::qWaitFor([&] { return view->width() > 100; }));
        return view;
    }
    static CIfsDoc& doc(CIfsView* view) { return *view->ifsDoc(); }

    static void drag(CIfsView* view, QPoint from, QPoint to,
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mousePress(view, Qt::LeftButton, modifiers, from);
        QTest::mouseMove(view, to);
        QTest::mouseRelease(view, Qt::LeftButton, modifiers, to);
    }
    static void click(CIfsView* view, QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mousePress(view, Qt::LeftButton, modifiers, at);
        QTest::mouseRelease(view, Qt::LeftButton, modifiers, at);
    }
    static CIfsFrame frameAt(CVector vertex, CVector side1, CVector side2)
    {
        CIfsFrame f;
        f.vertex = vertex;
        f.side1 = side1;
        f.side2 = side2;
        return f;
    }
};

} // namespace

TEST_F(IfsViewTest, MenusKeysAndRightClickMenus)
{
    CIfsView* view = newWindow();
    EXPECT_EQ(main.currentMenuId(), 3);
    EXPECT_EQ(main.menuTitles(),
              (QStringList{"&Fractals", "&Edit", "&View", "Fra&me", "&Run", "&Window", "&Help"}));
    EXPECT_EQ(main.menuItemTexts("&Edit"),
              (QStringList{"&Undo\tCtrl+Z", "Cu&t\tCtrl+X", "&Copy\tCtrl+C", "&Paste\tCtrl+V",
                           "&Delete\tDel", "Clear &All"}));
    EXPECT_EQ(main.menuItemTexts("Fra&me"),
              (QStringList{"&New Frame\tCtrl+F", "P&roperties...\tAlt+Enter", "C&hange Color...",
                           "&Shift Frame...\tCtrl+H", "R&otate Frame...\tCtrl+R",
                           "&Bring to Front\tCtrl+J", "&Send to Back\tCtrl+K"}));
    EXPECT_EQ(main.menuItemTexts("&Run"),
              (QStringList{"&Start\tF8", "&Pause\tPause", "S&top\tEsc", "&Save Bitmap..."}));

    // The keys reach the window's commands.
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(doc(view).frames().size(), 2u);
    EXPECT_EQ(view->selection(), (std::vector<FramePtr>{doc(view).frames()[1]}));
    QTest::keyClick(view, Qt::Key_J, Qt::ControlModifier); // bring to front
    EXPECT_EQ(doc(view).frames()[0], view->selection()[0]);
    QTest::keyClick(view, Qt::Key_K, Qt::ControlModifier); // send to back
    EXPECT_EQ(doc(view).frames()[1], view->selection()[0]);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(frameClipboard().size(), 1u);
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(doc(view).frames().size(), 1u);
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(doc(view).frames().size(), 2u);
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(doc(view).frames().size(), 3u);
    QTest::keyClick(view, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(doc(view).frames().size(), 2u);
    // Cutting left nothing selected: rotate and shift are greyed and open nothing.
    dialogs.angles.push_back(90);
    QTest::keyClick(view, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(dialogs.angles.size(), 1u);
    click(view, view->toPixels({3750, 3750}));
    QTest::keyClick(view, Qt::Key_R, Qt::ControlModifier);
    dialogs.shifts.push_back({10, 20});
    QTest::keyClick(view, Qt::Key_H, Qt::ControlModifier);
    EXPECT_TRUE(dialogs.angles.empty());
    EXPECT_TRUE(dialogs.shifts.empty());
    EXPECT_EQ(doc(view).frames()[0]->vertex, (CVector{3760, 3770}));
    // Alt+Enter is the frame's properties here, not the document's.
    CIfsFrame changed = *view->selection()[0];
    changed.ignoreColor = 1;
    dialogs.frames.push_back(changed);
    QTest::keyClick(view, Qt::Key_Return, Qt::AltModifier);
    EXPECT_TRUE(dialogs.frames.empty());
    EXPECT_EQ(doc(view).frames()[0]->ignoreColor, 1);

    const auto items = [&](int popup) {
        std::unique_ptr<QMenu> menu(main.buildContextMenu(3099, &main, popup));
        QStringList texts;
        for (QAction* a : menu->actions())
            texts << a->text();
        return texts;
    };
    EXPECT_EQ(view->contextMenuId(), 3099);
    EXPECT_EQ(items(0), (QStringList{"&Properties...", "P&aste", "&New Frame", "&Refresh"}));
    EXPECT_EQ(items(1), (QStringList{"&Properties...", "C&hange Color...", "Shift &Frame...",
                                     "R&otate Frame...", "Cu&t Frame", "&Copy Frame",
                                     "&Delete Frame", "&Bring to Front", "&Send to Back"}));
}

TEST_F(IfsViewTest, RotateByNinetyLosesOneUnit)
{
    CIfsView* view = newWindow();
    main.dispatch(cmd::NewFrame);
    dialogs.angles.push_back(90);
    main.dispatch(cmd::RotateFrame);
    const CIfsFrame& f = *doc(view).frames()[0];
    EXPECT_EQ(f.side1, (CVector{0, -2499}));
    EXPECT_EQ(f.side2, (CVector{2499, 0}));
    main.dispatch(cmd::EditUndo);
    EXPECT_EQ(*doc(view).frames()[0], CIfsFrame{});
}

TEST_F(IfsViewTest, DraggingASideOntoTheOtherSidesLineIsRefused)
{
    CIfsView* view = newWindow();
    // A frame whose vertex and free end of side 1 lie exactly on pixels, so that the mouse
    // can put the end exactly onto the line of side 2.
    const QPoint vertexPixel = view->toPixels({3750, 3750});
    const CVector vertex = view->toFrameUnits(vertexPixel);
    const QPoint end1 = vertexPixel + QPoint(100, 0);
    const CIfsFrame original =
        frameAt(vertex, {view->toFrameUnits(end1).x - vertex.x, 0}, {0, 2500});
    doc(view).AddFrame(original);
    const std::size_t history = doc(view).undoCount();
    drag(view, end1, vertexPixel + QPoint(0, -40));
    ASSERT_EQ(prompts.boxes.shown().size(), 1u);
    EXPECT_EQ(prompts.boxes.shown()[0].text, kMsgInvalidFrame);
    EXPECT_EQ(prompts.boxes.shown()[0].title, "Kaleidra 98");
    EXPECT_EQ(*doc(view).frames()[0], original);
    EXPECT_EQ(doc(view).undoCount(), history);

    // A valid side drag changes the side only, as one undoable step.
    drag(view, end1, end1 + QPoint(20, -10));
    const CIfsFrame& f = *doc(view).frames()[0];
    EXPECT_EQ(f.vertex, original.vertex);
    EXPECT_GT(f.side1.x, original.side1.x);
    EXPECT_GT(f.side1.y, 0);
    EXPECT_EQ(f.side2, original.side2);
    EXPECT_EQ(doc(view).undoCount(), history + 1);
    EXPECT_EQ(prompts.boxes.shown().size(), 1u);
}

TEST_F(IfsViewTest, ADragUnderOnePixelRecordsNothing)
{
    CIfsView* view = newWindow();
    main.dispatch(cmd::NewFrame);
    const std::size_t history = doc(view).undoCount();
    const QPoint inside = view->toPixels({5000, 5000});
    drag(view, inside, inside);
    EXPECT_EQ(doc(view).undoCount(), history);
    EXPECT_EQ(*doc(view).frames()[0], CIfsFrame{});
    EXPECT_EQ(view->dragMode(), DragMode::none);
    // One pixel is enough: the frame moves by the pixel's worth of units.
    drag(view, inside, inside + QPoint(1, 0));
    EXPECT_EQ(doc(view).undoCount(), history + 1);
    EXPECT_GT(doc(view).frames()[0]->vertex.x, 3750);
    EXPECT_EQ(doc(view).frames()[0]->vertex.y, 3750);
}

TEST_F(IfsViewTest, RubberBandTakesFramesByVertexAndFreeEnds)
{
    CIfsView* view = newWindow();
    // Vertex (1000, 1000), free ends (3000, 1000) and (3900, 4000), far corner (5900, 4000).
    doc(view).AddFrame(frameAt({1000, 1000}, {2000, 0}, {2900, 3000}));
    doc(view).AddFrame(frameAt({7000, 7000}, {1000, 0}, {0, 1000}));
    const FramePtr skew = doc(view).frames()[0];
    click(view, view->toPixels({9500, 500})); // empty: clears the selection
    EXPECT_TRUE(view->selection().empty());
    drag(view, view->toPixels({700, 4300}), view->toPixels({4200, 700}));
    EXPECT_EQ(view->selection(), (std::vector<FramePtr>{skew}));
    // Without the vertex, nothing.
    click(view, view->toPixels({9500, 500}));
    drag(view, view->toPixels({1200, 4300}), view->toPixels({4200, 700}));
    EXPECT_TRUE(view->selection().empty());
    // With Ctrl the band adds to the selection.
    drag(view, view->toPixels({700, 4300}), view->toPixels({4200, 700}));
    drag(view, view->toPixels({6500, 8500}), view->toPixels({8500, 6500}), Qt::ControlModifier);
    EXPECT_EQ(view->selection().size(), 2u);
}

TEST_F(IfsViewTest, ModifierClickOnASelectedFrameDeselectsItAndBringsItToFront)
{
    CIfsView* view = newWindow();
    doc(view).AddFrame(frameAt({1000, 1000}, {2000, 0}, {0, 2000}));
    doc(view).AddFrame(frameAt({6000, 6000}, {2000, 0}, {0, 2000}));
    const FramePtr first = doc(view).frames()[0];
    const FramePtr second = doc(view).frames()[1];
    click(view, view->toPixels({2000, 2000}));
    click(view, view->toPixels({7000, 7000}), Qt::ShiftModifier);
    EXPECT_EQ(view->selection(), (std::vector<FramePtr>{first, second}));
    EXPECT_EQ(doc(view).frames()[0], second);
    click(view, view->toPixels({2000, 2000}), Qt::ControlModifier);
    EXPECT_EQ(view->selection(), (std::vector<FramePtr>{second}));
    EXPECT_EQ(doc(view).frames()[0], first); // brought to front all the same
    click(view, view->toPixels({7000, 7000}), Qt::ShiftModifier);
    EXPECT_TRUE(view->selection().empty());
    EXPECT_EQ(doc(view).frames()[0], second);
    // Reordering is no undo step.
    EXPECT_EQ(doc(view).undoCount(), 2u);
}

TEST_F(IfsViewTest, CopyPasteBetweenWindowsSelectsTheCopiesAndKeepsTheClipboard)
{
    CIfsView* a = newWindow();
    doc(a).AddFrame(frameAt({1000, 1000}, {2000, 0}, {0, 2000}));
    doc(a).AddFrame(frameAt({6000, 6000}, {1500, 500}, {0, 2000}));
    // Select the second, then the first: the clipboard keeps the selection order.
    click(a, a->toPixels({6500, 7000}));
    click(a, a->toPixels({1500, 1500}), Qt::ShiftModifier);
    main.dispatch(cmd::EditCopy);
    ASSERT_EQ(frameClipboard().size(), 2u);
    EXPECT_EQ(frameClipboard()[0].vertex, (CVector{6000, 6000}));
    EXPECT_EQ(frameClipboard()[1].vertex, (CVector{1000, 1000}));

    CIfsView* b = newWindow();
    EXPECT_FALSE(main.commandState(cmd::EditCopy).enabled);
    EXPECT_TRUE(main.commandState(cmd::EditPaste).enabled);
    main.dispatch(cmd::EditPaste);
    ASSERT_EQ(doc(b).frames().size(), 2u);
    EXPECT_EQ(b->selection(), doc(b).frames());
    EXPECT_EQ(doc(b).frames()[0]->vertex, (CVector{6000, 6000}));
    // Edits of the pasted copies leave the clipboard as it was.
    dialogs.shifts.push_back({100, 100});
    main.dispatch(cmd::ShiftFrame);
    EXPECT_EQ(doc(b).frames()[0]->vertex, (CVector{6100, 6100}));
    EXPECT_EQ(frameClipboard()[0].vertex, (CVector{6000, 6000}));
    main.dispatch(cmd::EditClear);
    EXPECT_TRUE(doc(b).frames().empty());
    EXPECT_EQ(frameClipboard().size(), 2u);
    // Pasting again gives new frames, not the ones just deleted.
    main.dispatch(cmd::EditPaste);
    EXPECT_EQ(doc(b).frames()[0]->vertex, (CVector{6000, 6000}));
    // And the source window's frames are still its own.
    EXPECT_EQ(doc(a).frames().size(), 2u);
}

TEST_F(IfsViewTest, AfterSeventyEditsOnlySixtyOneUndo)
{
    CIfsView* view = newWindow();
    for (int k = 0; k < 70; ++k)
        main.dispatch(cmd::NewFrame);
    EXPECT_EQ(doc(view).frames().size(), 70u);
    int undone = 0;
    while (main.commandState(cmd::EditUndo).enabled && undone < 100) {
        main.dispatch(cmd::EditUndo);
        ++undone;
    }
    EXPECT_EQ(undone, 61);
    EXPECT_EQ(doc(view).frames().size(), 9u);
}

TEST_F(IfsViewTest, CommandStatesWhileIdleAndWhileRunning)
{
    CIfsView* view = newWindow();
    const auto enabled = [&](int id) { return main.commandState(id).enabled; };
    const std::vector<int> frameCommands = {cmd::BringToFront,    cmd::SendToBack, cmd::ChangeColor,
                                            cmd::FrameProperties, cmd::ShiftFrame, cmd::RotateFrame,
                                            cmd::EditCut,         cmd::EditCopy,   cmd::EditClear};
    // Idle, no frame, nothing selected, empty history and clipboard.
    EXPECT_TRUE(enabled(cmd::NewFrame));
    EXPECT_TRUE(enabled(cmd::EditClearAll));
    EXPECT_FALSE(enabled(cmd::EditUndo));
    EXPECT_FALSE(enabled(cmd::EditPaste));
    for (int id : frameCommands)
        EXPECT_FALSE(enabled(id)) << id;
    // One selected: everything.
    main.dispatch(cmd::NewFrame);
    for (int id : frameCommands)
        EXPECT_TRUE(enabled(id)) << id;
    EXPECT_TRUE(enabled(cmd::EditUndo));
    main.dispatch(cmd::EditCopy);
    EXPECT_TRUE(enabled(cmd::EditPaste));
    // Two selected: only the commands for one frame go grey.
    main.dispatch(cmd::EditPaste);
    click(view, view->toPixels({9500, 500}));
    drag(view, view->toPixels({3000, 7000}), view->toPixels({7000, 3000}));
    ASSERT_EQ(view->selection().size(), 2u);
    for (int id : frameCommands) {
        const bool single =
            id == cmd::BringToFront || id == cmd::SendToBack || id == cmd::FrameProperties;
        EXPECT_EQ(enabled(id), !single) << id;
    }
    EXPECT_TRUE(enabled(cmd::Properties));

    // Running (held by Pause so the states can be read): every editing command is grey.
    main.dispatch(cmd::Start);
    main.dispatch(cmd::Pause);
    ASSERT_TRUE(view->isRunning());
    for (int id : frameCommands)
        EXPECT_FALSE(enabled(id)) << id;
    for (int id : {int(cmd::NewFrame), int(cmd::EditClearAll), int(cmd::EditUndo),
                   int(cmd::EditPaste), int(cmd::Properties), int(cmd::ExportBitmap)})
        EXPECT_FALSE(enabled(id)) << id;
    EXPECT_TRUE(main.commandState(cmd::Pause).checked);
    // A disabled command does nothing, and the mouse does not edit.
    main.dispatch(cmd::NewFrame);
    drag(view, view->toPixels({5000, 5000}), view->toPixels({6000, 6000}));
    EXPECT_EQ(doc(view).frames().size(), 2u);
    EXPECT_EQ(doc(view).frames()[0]->vertex, CIfsFrame{}.vertex);
    main.dispatch(cmd::Start); // resumes
    EXPECT_TRUE(main.commandState(cmd::Start).checked);
    for (int id : frameCommands)
        EXPECT_FALSE(enabled(id)) << id;
    main.dispatch(cmd::Stop);
    EXPECT_FALSE(view->isRunning());
    EXPECT_TRUE(enabled(cmd::NewFrame));
    EXPECT_TRUE(enabled(cmd::EditUndo));
    EXPECT_TRUE(enabled(cmd::ShiftFrame));
}

TEST_F(IfsViewTest, StartWithoutFramesSaysSoAndARunDrawsTheAttractor)
{
    CIfsView* view = newWindow();
    main.dispatch(cmd::Start);
    EXPECT_FALSE(view->isRunning());
    ASSERT_EQ(prompts.boxes.shown().size(), 1u);
    EXPECT_EQ(prompts.boxes.shown()[0].text, kMsgNoFrame);

    // Two frames in red and green: the picture fills with their colours, then Stop ends it.
    CIfsFrame red = frameAt({0, 0}, {5000, 0}, {0, 5000});
    red.color = RGB(255, 0, 0);
    CIfsFrame green = frameAt({5000, 5000}, {5000, 0}, {0, 5000});
    green.color = RGB(0, 255, 0);
    doc(view).AddFrame(red);
    doc(view).AddFrame(green);
    main.dispatch(cmd::Start);
    ASSERT_TRUE(view->isRunning());
    const auto count = [&](QRgb c) {
        const QImage picture = view->pictureSnapshot();
        int n = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                n += (picture.pixel(x, y) & 0xffffff) == (c & 0xffffff);
        return n;
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return count(qRgb(255, 0, 0)) > 20 && count(qRgb(0, 255, 0)) > 20; }, 20000));
    main.dispatch(cmd::Stop);
    EXPECT_FALSE(view->isRunning());
    // The attractor of these two maps is the diagonal: nothing lands far from it.
    const QImage picture = view->pictureSnapshot();
    const FrameMapping m = view->clientMapping();
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if ((picture.pixel(x, y) & 0xffffff) != 0xffffff) {
                const int ux = m.frameX(x), uy = m.frameY(y);
                EXPECT_LT(std::abs(ux - uy), 300) << x << "," << y;
            }
}

TEST(IfsSheets, FramePropertiesRefusesAnInvalidFrameAndKeepsThePage)
{
    test::ScriptedPrompts prompts;
    CFramePropertiesSheet sheet(CIfsFrame{}, nullptr);
    EXPECT_EQ(sheet.windowTitle(), "Frame Properties");
    EXPECT_EQ(sheet.field(0)->minimum(), -20000);
    EXPECT_EQ(sheet.field(0)->maximum(), 30000);
    EXPECT_EQ(sheet.field(1)->maximum(), 30000);
    for (int k = 2; k < 6; ++k) {
        EXPECT_EQ(sheet.field(k)->minimum(), -20000);
        EXPECT_EQ(sheet.field(k)->maximum(), 20000);
    }
    EXPECT_EQ(sheet.ignoreColorBox()->text(), "I&gnore Color");
    sheet.field(2)->setValue(0);
    sheet.field(3)->setValue(1000); // side 1 along side 2
    sheet.show();
    sheet.accept();
    ASSERT_EQ(prompts.boxes.shown().size(), 1u);
    EXPECT_EQ(prompts.boxes.shown()[0].text, kMsgInvalidFrame);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
    sheet.field(2)->setValue(-3000);
    sheet.ignoreColorBox()->setChecked(true);
    sheet.accept();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(sheet.frame().side1, (CVector{-3000, 1000}));
    EXPECT_EQ(sheet.frame().ignoreColor, 1);
    // Out-of-range values cannot be entered.
    sheet.field(4)->setValue(25000);
    EXPECT_EQ(sheet.field(4)->value(), 20000);
}

TEST(IfsSheets, ShiftAndRotateDialogs)
{
    CShiftFrameDialog shift(nullptr);
    EXPECT_EQ(shift.windowTitle(), "Shift Frame");
    EXPECT_EQ(shift.xBox()->value(), 0);
    EXPECT_EQ(shift.xBox()->minimum(), -10000);
    EXPECT_EQ(shift.yBox()->maximum(), 10000);
    CRotateFrameDialog rotate(nullptr);
    EXPECT_EQ(rotate.windowTitle(), "Rotate Frame");
    EXPECT_EQ(rotate.angleBox()->value(), 0);
    EXPECT_EQ(rotate.angleBox()->minimum(), -359);
    EXPECT_EQ(rotate.angleBox()->maximum(), 359);
}

TEST(IfsSheets, PropertiesChangeTheDocumentOnlyOnOkAndSendTheBackground)
{
    test::ScriptedPrompts prompts;
    CIfsDoc doc;
    std::vector<int> hints;
    doc.addObserver([&](int h) { hints.push_back(h); });
    {
        CIfsPropertiesSheet sheet(doc, nullptr);
        EXPECT_EQ(sheet.windowTitle(), "IFS Fractal Properties");
        EXPECT_EQ(sheet.pathText(), "");
        prompts.colors.push_back(QColor(1, 2, 3));
        sheet.pickColor(0);
        sheet.showFramesBox()->setChecked(true);
        sheet.reject();
    }
    EXPECT_EQ(doc.bkgrd, RGB(255, 255, 255));
    EXPECT_FALSE(doc.IsModified());
    CIfsPropertiesSheet sheet(doc, nullptr);
    prompts.colors.push_back(QColor(1, 2, 3));
    sheet.pickColor(0);
    prompts.colors.push_back(std::nullopt); // cancelled: the square keeps its colour
    sheet.pickColor(1);
    prompts.colors.push_back(QColor(200, 0, 0));
    sheet.pickColor(2);
    sheet.showFramesBox()->setChecked(true);
    sheet.nameEdit()->setText("Fern");
    sheet.accept();
    EXPECT_EQ(doc.bkgrd, RGB(1, 2, 3));
    EXPECT_EQ(doc.border, RGB(128, 128, 128));
    EXPECT_EQ(doc.defframe, RGB(200, 0, 0));
    EXPECT_EQ(doc.showframes, 1);
    EXPECT_EQ(doc.samecolor, 0);
    EXPECT_EQ(doc.name(), "Fern");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(hints, (std::vector<int>{hintBackground}));
}
