// Pixels of the OpenGL view, read back from its framebuffer under xvfb with Mesa's software
// renderer: background, fog, point colour, axes, grid, zoom and the trackball.
#include "files/document.h"
#include "gui_fakes.h"
#include "ui/tform1.h"
#include "view/gl_cloud_view.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

// The X11 platform plugin keeps a D-Bus connection buffer alive until exit on purpose; it is
// not ours to free, so the leak checker is told to look past it (and the two blocks hanging
// off it, whose stacks end inside the sanitizer's own allocator).
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\nleak:libasan.so\n";
}

namespace qubex {
namespace {

class SilentMessages final : public MessageSink {
public:
    void showMessage(const std::string&, const std::string&) override {}
};

class GlView : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings s;
        s.generation = {.iteration = 100, .autosize = false, .autocenter = false};
        document.applySettings(s);
        view.resize(200, 200);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        ASSERT_TRUE(view.viewUsable());
    }

    // Every point of the cloud at (x, y, z): one map with a zero block and that translation
    // (W stays -1, so each step gives exactly the translation).
    void cloudAt(double x, double y, double z)
    {
        IfsCode& code = document.code();
        code.matrix_length = 1;
        code.maps[0] = {};
        code.maps[0][0][3] = x, code.maps[0][1][3] = y, code.maps[0][2][3] = z;
        code.maps[0][3][3] = 1;
        code.thresholds[0] = 1;
        document.generatePoints();
    }

    QImage frame() { return view.grabFramebuffer().convertToFormat(QImage::Format_RGB32); }

    // The brightest pixel in a small square around (x, y).
    QColor brightestNear(const QImage& image, int x, int y, int radius = 2)
    {
        QColor best(0, 0, 0);
        for (int dy = -radius; dy <= radius; ++dy)
            for (int dx = -radius; dx <= radius; ++dx) {
                const QColor c = image.pixelColor(x + dx, y + dy);
                if (c.red() + c.green() + c.blue() > best.red() + best.green() + best.blue())
                    best = c;
            }
        return best;
    }

    int countDifferent(const QImage& image, QRgb background)
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += (image.pixel(x, y) & 0xFFFFFF) != (background & 0xFFFFFF);
        return n;
    }

    void mouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPoint at)
    {
        QMouseEvent e(type, QPointF(at), view.mapToGlobal(QPointF(at)), button, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(&view, &e);
    }

    CRandSource random;
    SilentMessages messages;
    Document document{random, messages};
    GlCloudView view{document, QCursor(Qt::CrossCursor)};
};

TEST_F(GlView, BackgroundAndHalfFoggedPointAtTheCentre)
{
    document.display().background_color = makeColorRef(0, 0, 255);
    view.setBackgroundColor();
    cloudAt(0, 0, 0);
    const QImage image = frame();
    EXPECT_EQ(image.pixelColor(3, 3), QColor(0, 0, 255));
    // Distance 6 of fog 5..7: half point colour (white), half fog colour (black).
    const QColor centre = brightestNear(image, 100, 100);
    EXPECT_NEAR(centre.red(), 128, 3);
    EXPECT_NEAR(centre.green(), 128, 3);
    EXPECT_NEAR(centre.blue(), 128, 3);
}

TEST_F(GlView, FogColourGrowsWithDistance)
{
    document.display().fog_color = makeColorRef(255, 0, 0);
    view.setFogColor();
    document.display().point_color = makeColorRef(0, 255, 0);
    cloudAt(0, 0, 0.9); // distance 5.1: almost the point colour
    QColor c = brightestNear(frame(), 100, 100, 4);
    EXPECT_LT(c.red(), 25);
    EXPECT_GT(c.green(), 230);
    cloudAt(0, 0, -0.9); // distance 6.9: almost the fog colour
    c = brightestNear(frame(), 100, 100, 4);
    EXPECT_GT(c.red(), 230);
    EXPECT_LT(c.green(), 25);
    cloudAt(0, 0, -1.5); // beyond the far plane at 7: clipped
    EXPECT_EQ(countDifferent(frame(), qRgb(0, 0, 0)), 0);
}

TEST_F(GlView, AxesAppearWhenTurnedOn)
{
    cloudAt(0, -0.9, 0);
    const QImage without = frame();
    document.display().axisDisplay = true;
    const QImage with = frame();
    // The x axis runs to the right of the centre (1 unit at distance 6 is about 40 pixels).
    bool red = false;
    for (int y = 95; y <= 105; ++y) {
        const QColor c = with.pixelColor(120, y);
        red = red || (c.red() > 80 && c.green() < 40 && c.blue() < 40);
    }
    EXPECT_TRUE(red);
    bool green = false; // and the y axis upwards
    for (int x = 95; x <= 105; ++x) {
        const QColor c = with.pixelColor(x, 80);
        green = green || (c.green() > 80 && c.red() < 40 && c.blue() < 40);
    }
    EXPECT_TRUE(green);
    EXPECT_GT(countDifferent(with, qRgb(0, 0, 0)), countDifferent(without, qRgb(0, 0, 0)) + 40);
}

TEST_F(GlView, GridPointsAndLinesAddTheirPixels)
{
    cloudAt(0, 0, 0);
    const int plain = countDifferent(frame(), qRgb(0, 0, 0));
    document.display().gridPointsDisplay = true;
    const int points = countDifferent(frame(), qRgb(0, 0, 0));
    EXPECT_GT(points, plain + 300);
    document.display().gridPointsDisplay = false;
    document.display().gridLinesDisplay = true;
    const QImage lines = frame();
    EXPECT_GT(countDifferent(lines, qRgb(0, 0, 0)), points);
    // Grid colour (0.6, 0.6, 1) fogged towards black: blue dominates.
    const QColor c = brightestNear(lines, 100, 100, 6);
    EXPECT_GT(c.blue(), c.red());
}

TEST_F(GlView, RightButtonDragZoomsWithTheZoomCursorAndShowsAtTheNextFrame)
{
    // Two points half a unit left and right of the centre.
    IfsCode& code = document.code();
    code.matrix_length = 2;
    code.maps[0] = {};
    code.maps[0][0][3] = -0.5;
    code.maps[0][3][3] = 1;
    code.maps[1] = code.maps[0];
    code.maps[1][0][3] = 0.5;
    code.thresholds[0] = 0.5, code.thresholds[1] = 1;
    document.generatePoints();
    const auto spread = [this] {
        const QImage image = frame();
        int left = 200, right = -1;
        for (int y = 90; y < 110; ++y)
            for (int x = 0; x < 200; ++x)
                if ((image.pixel(x, y) & 0xFFFFFF) != 0)
                    left = std::min(left, x), right = std::max(right, x);
        return right - left;
    };
    const int before = spread();
    EXPECT_GT(before, 25);

    mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, {100, 150});
    EXPECT_EQ(view.cursor().shape(), Qt::CrossCursor); // the cursor given for zooming
    mouse(QEvent::MouseMove, Qt::NoButton, Qt::RightButton, {100, 50}); // 100 px up: +0.5
    mouse(QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, {100, 50});
    EXPECT_DOUBLE_EQ(view.zoom().zoom, 1.5);
    EXPECT_NE(view.cursor().shape(), Qt::CrossCursor);
    const int after = spread();
    EXPECT_NEAR(after, before * 1.5, 3);
    view.resetZoom();
    EXPECT_NEAR(spread(), before, 2);
}

TEST_F(GlView, LeftDragTurnsTheCloudAndKeepsSpinning)
{
    cloudAt(0, 0.6, 0); // a vertical drag turns about x, which moves this point
    const QImage before = frame();
    int spinsStarted = 0; // the main window starts its timer on this call
    view.spinStarted = [&spinsStarted] { ++spinsStarted; };
    mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {100, 100});
    QTest::qWait(5);
    mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, {100, 140});
    QTest::qWait(5);
    mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {100, 140});
    EXPECT_TRUE(view.trackball().spinning);
    EXPECT_TRUE(view.spinning());
    EXPECT_EQ(spinsStarted, 1);
    EXPECT_GT(view.trackball().angle, 0);
    const QImage turned = frame();
    EXPECT_NE(before, turned);
    // The timer keeps decaying the increment while spinning.
    const float angle = view.trackball().angle;
    for (int i = 0; i < 20 && view.trackball().angle == angle; ++i) {
        view.timerTick();
        QTest::qWait(20);
    }
    EXPECT_LT(view.trackball().angle, angle);
}

TEST_F(GlView, MovesBetweenTwoFramesAllTurnTheCloud)
{
    mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, {100, 100});
    // What the moves must add up to: each one's increment, applied once each.
    Trackball expected = view.trackball();
    const int framesBefore = view.framesDrawn();
    for (int y : {110, 125, 135, 160}) {
        // Delivered back to back, as a busy event queue delivers them: no frame in between.
        mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, {100, y});
        ASSERT_TRUE(expected.move(100, y, 0));
        expected.accumulate();
    }
    EXPECT_EQ(view.framesDrawn(), framesBefore);
    QTRY_VERIFY(view.framesDrawn() > framesBefore);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(view.trackball().accumulated[i], expected.accumulated[i], 1e-5) << i;
    mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, {100, 160});
}

TEST(GlWindow, StartsWithSplashAndDrawsACloud)
{
    test::ScriptedPrompts prompts;
    TForm1::Options options; // the real OpenGL view, and the splash
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(openGlAvailable());
    TForm1 window(prompts, options);
    EXPECT_GE(clock.elapsed(), 900); // the splash held the start for about a second
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* view = dynamic_cast<GlCloudView*>(&window.view());
    ASSERT_NE(view, nullptr);
    QTRY_VERIFY(view->framesDrawn() > 0);
    EXPECT_TRUE(view->viewUsable());
    const auto litPixels = [view] {
        const QImage image = view->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(image.size(), QSize(467, 416 - 29) * view->devicePixelRatioF());
        int lit = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                lit += (image.pixel(x, y) & 0xFFFFFF) != 0;
        return lit;
    };
    EXPECT_GT(litPixels(), 0); // whatever random code the start drew
    std::srand(1);             // and a known one, which spreads over many pixels
    window.newall1Click();
    EXPECT_GT(litPixels(), 300);
    EXPECT_TRUE(prompts.texts().empty());
    window.close();
}

} // namespace
} // namespace qubex
