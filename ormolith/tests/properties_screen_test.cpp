// On a real X server (xvfb): a lamp colour typed into the Properties bar and a rebuild change
// what the screen shows of the picture.
#include "child_frame.h"
#include "commands.h"
#include "fractal_view.h"
#include "main_frame.h"
#include "param_tree_ctrl.h"
#include "properties_bar.h"
#include "scripted_prompts.h"

#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <algorithm>

using namespace ormolith;

// The X11 platform plugin keeps a D-Bus connection buffer alive until exit on purpose; it is
// not ours to free, so the leak checker looks past it.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\nleak:libasan.so\n";
}

namespace {

QImage screenOf(CMainFrame& main, CFractal_View* view)
{
    QTest::qWait(200); // let the server take the last paint
    const QPoint topLeft = view->viewport()->mapToGlobal(QPoint(0, 0));
    const QSize size = view->displayBitmap().size();
    return main.screen()
        ->grabWindow(0, topLeft.x(), topLeft.y(), size.width(), size.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// Sum of one channel over the picture.
long long channelSum(const QImage& image, int (*channel)(QRgb))
{
    long long sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += channel(image.pixel(x, y));
    return sum;
}

} // namespace

TEST(PropertiesOnScreen, AnEditedLampColourChangesTheRebuiltPicture)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    QSettings(kSettingsCompany, kSettingsProgram).clear();
    test::ScriptedPrompts prompts;
    CMainFrame main;
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    main.resizeDocks({main.propertiesBar()}, {320}, Qt::Horizontal);
    ASSERT_TRUE(main.startUp({}));
    CChildFrame* frame = main.activeFrame();
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frame->isBuilding(); }, 120000));
    const QImage before = screenOf(main, frame->view());

    auto& bar = *static_cast<PropertiesBar*>(main.propertiesBar());
    ParamTreeCtrl& tree = *bar.tree();
    auto type = [&](const std::string& fullName, const QString& text) {
        const auto& names = bar.fullNames();
        const auto it = std::find(names.begin(), names.end(), fullName);
        ASSERT_NE(it, names.end()) << fullName;
        auto* row = static_cast<ParamTreeCtrl::Row>(bar.nodes()[it - names.begin()].uiHandle);
        for (auto* p = row->parent(); p; p = p->parent())
            p->setExpanded(true);
        QTreeWidget* view = tree.treeWidget();
        view->scrollToItem(row);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(view->indexFromItem(row, 1)).center());
        ASSERT_TRUE(tree.isEditing()) << fullName;
        tree.editor()->selectAll();
        QTest::keyClicks(tree.editor(), text);
        QTest::keyClick(tree.editor(), Qt::Key_Return);
        EXPECT_EQ(tree.cellText(row, 1), text);
    };
    // The first lamp of Sierpinski's Tetrahedron is green; make it blue.
    type("Lights.Light.Green", "0");
    type("Lights.Light.Blue", "1");
    EXPECT_TRUE(frame->doc().isModified());
    main.dispatch(cmd::RebuildFractal);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frame->isBuilding(); }, 120000));
    const QImage after = screenOf(main, frame->view());

    ASSERT_EQ(after.size(), before.size());
    EXPECT_NE(after, before);
    EXPECT_LT(channelSum(after, qGreen), channelSum(before, qGreen));
    EXPECT_GT(channelSum(after, qBlue), channelSum(before, qBlue));
    EXPECT_TRUE(prompts.boxes.shown().empty());
}
