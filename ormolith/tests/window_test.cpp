// The window on a real X server (xvfb): the program's start builds Sierpinski's Tetrahedron and
// the picture reaches the screen.
#include "child_frame.h"
#include "fractal_view.h"
#include "main_frame.h"
#include "scripted_prompts.h"

#include <QGuiApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>
#include <set>

using namespace ormolith;

// The X11 platform plugin keeps a D-Bus connection buffer alive until exit on purpose; it is
// not ours to free, so the leak checker looks past it.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\nleak:libasan.so\n";
}

namespace {

// Distinct colours over a grid of pixels: a blank area has one.
std::size_t colourCount(const QImage& image)
{
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    return colours.size();
}

} // namespace

TEST(WindowOnScreen, StartShowsABuiltSierpinskisTetrahedron)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    test::ScriptedPrompts prompts;
    CMainFrame main;
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(main.startUp({}));
    CChildFrame* frame = main.activeFrame();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frame->isBuilding(); }, 120000));
    std::cout << "[ built in ] " << clock.elapsed() << " ms\n";
    EXPECT_EQ(frame->windowTitle(), "Sierpinski's Tetrahedron");
    EXPECT_EQ(main.windowTitle(), "Ormolith - Sierpinski's Tetrahedron");
    EXPECT_EQ(main.message(), "Ready");
    EXPECT_TRUE(prompts.boxes.shown().empty());

    // What the view paints, and what the X server shows where the view is.
    CFractal_View* view = frame->view();
    const QImage painted = view->viewport()->grab().toImage();
    EXPECT_EQ(painted.size(), QSize(320, 240));
    EXPECT_GT(colourCount(painted), 20u);
    QTest::qWait(200); // let the server take the last paint
    const QPoint topLeft = view->viewport()->mapToGlobal(QPoint(0, 0));
    const QImage onScreen = main.screen()
                                ->grabWindow(0, topLeft.x(), topLeft.y(), 320, 240)
                                .toImage()
                                .convertToFormat(QImage::Format_RGB32);
    EXPECT_GT(colourCount(onScreen), 20u);
    // The picture on the screen is the one built: its corner is the scene's background.
    EXPECT_EQ(onScreen.pixel(2, 2), view->displayBitmap().pixel(2, 2));
}
