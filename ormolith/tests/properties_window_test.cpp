// The Properties bar inside the main window: it follows the active document, the View menu and
// its close button, a build takes an open edit first, an edited lamp colour changes the next
// picture, and random edits of every editable row of every sample build without faults.
#include "child_frame.h"
#include "commands.h"
#include "fractal_view.h"
#include "main_frame.h"
#include "param_tree_ctrl.h"
#include "properties_bar.h"
#include "samples.h"
#include "scene.h"
#include "scripted_prompts.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace ormolith;

namespace {

bool waitForIdle(CChildFrame* frame, int ms = 120000)
{
    return QTest::qWaitFor([&] { return !frame->isBuilding(); }, ms);
}

class PropertiesWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings(kSettingsCompany, kSettingsProgram).clear();
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
        // Wide enough for both columns, so that every value cell can be clicked.
        main.resizeDocks({main.propertiesBar()}, {320}, Qt::Horizontal);
    }
    void TearDown() override { PropertiesBar::expandedGroups().clear(); }

    PropertiesBar& bar() { return *static_cast<PropertiesBar*>(main.propertiesBar()); }
    ParamTreeCtrl& tree() { return *bar().tree(); }

    CChildFrame* builtSample(int index, unsigned w = 96, unsigned h = 72)
    {
        CChildFrame* frame = main.newDocument(kAffineType);
        frame->view()->setFixedBitmapSize(w, h);
        EXPECT_TRUE(frame->loadSample(index));
        EXPECT_TRUE(waitForIdle(frame));
        return frame;
    }

    ParamTreeCtrl::Row row(const std::string& fullName)
    {
        const auto& names = bar().fullNames();
        const auto it = std::find(names.begin(), names.end(), fullName);
        if (it == names.end())
            return nullptr;
        return static_cast<ParamTreeCtrl::Row>(bar().nodes()[it - names.begin()].uiHandle);
    }
    // Clicks the row's value cell, as the user does; groups above it are opened first.
    bool clickValue(ParamTreeCtrl::Row r)
    {
        if (r == nullptr)
            return false;
        for (auto* p = r->parent(); p; p = p->parent())
            p->setExpanded(true);
        QTreeWidget* view = tree().treeWidget();
        view->scrollToItem(r);
        const QRect cell = view->visualRect(view->indexFromItem(r, 1));
        if (!view->viewport()->rect().contains(cell.center()))
            return false;
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        return true;
    }
    bool type(const std::string& fullName, const QString& text)
    {
        if (!clickValue(row(fullName)) || !tree().isEditing())
            return false;
        tree().editor()->setText(text);
        QTest::keyClick(tree().editor(), Qt::Key_Return);
        return true;
    }

    test::ScriptedPrompts prompts;
    CMainFrame main;
};

} // namespace

TEST_F(PropertiesWindowTest, FollowsTheActiveDocumentAndTheViewMenu)
{
    // No document: an empty tree.
    EXPECT_EQ(bar().document(), nullptr);
    EXPECT_EQ(tree().treeWidget()->topLevelItemCount(), 0);

    CChildFrame* first = builtSample(2);
    EXPECT_EQ(bar().document(), &first->doc());
    EXPECT_GT(tree().treeWidget()->topLevelItemCount(), 0);
    CChildFrame* second = builtSample(0);
    EXPECT_EQ(bar().document(), &second->doc());
    main.mdiArea()->setActiveSubWindow(first);
    EXPECT_EQ(bar().document(), &first->doc());

    // Closing the document shown lets go of it before it dies.
    const CFractal_Doc* closed = &first->doc();
    first->close();
    QTest::qWait(10);
    EXPECT_NE(bar().document(), closed);
    EXPECT_EQ(bar().document(), &second->doc());

    // View > Properties and the bar's close button agree with the check mark.
    ASSERT_TRUE(main.commandChecked(cmd::ViewProperties));
    main.dispatch(cmd::ViewProperties);
    EXPECT_FALSE(bar().isVisible());
    EXPECT_FALSE(main.commandChecked(cmd::ViewProperties));
    main.dispatch(cmd::ViewProperties);
    EXPECT_TRUE(bar().isVisible());
    EXPECT_TRUE(main.commandChecked(cmd::ViewProperties));
    bar().close();
    EXPECT_FALSE(bar().isVisible());
    EXPECT_FALSE(main.commandChecked(cmd::ViewProperties));
}

TEST_F(PropertiesWindowTest, ABuildTakesTheOpenEditFirstAndEditsWaitForTheBuild)
{
    CChildFrame* frame = builtSample(2);
    ASSERT_TRUE(clickValue(row("General.Deep")));
    ASSERT_TRUE(tree().isEditing());
    tree().editor()->setText("2");
    main.dispatch(cmd::RebuildFractal);
    EXPECT_FALSE(tree().isEditing());
    EXPECT_EQ(frame->doc().scene()->deep, 2);
    EXPECT_TRUE(frame->doc().isModified());
    ASSERT_TRUE(waitForIdle(frame));

    // While a build runs its worker reads the scene: an edit is refused and the value stays.
    frame->view()->setFixedBitmapSize(1200, 900);
    main.dispatch(cmd::RebuildFractal);
    ASSERT_TRUE(frame->isBuilding());
    ASSERT_TRUE(type("General.Deep", "3"));
    EXPECT_EQ(frame->doc().scene()->deep, 2);
    EXPECT_EQ(tree().cellText(row("General.Deep"), 1), "2");
    main.dispatch(cmd::StopBuilding);
    ASSERT_TRUE(waitForIdle(frame));
}

TEST_F(PropertiesWindowTest, AnEditedLampColourChangesTheRebuiltPicture)
{
    CChildFrame* frame = builtSample(2);
    const QImage before = frame->view()->displayBitmap().copy();
    ASSERT_FALSE(before.isNull());
    ASSERT_TRUE(type("Lights.Light.Red", "0"));
    ASSERT_TRUE(type("Lights.Light.Green", "0"));
    EXPECT_EQ(tree().cellText(row("Lights.Light.Red"), 1).toDouble(), 0.0);
    EXPECT_TRUE(frame->doc().isModified());
    main.dispatch(cmd::RebuildFractal);
    ASSERT_TRUE(waitForIdle(frame));
    const QImage after = frame->view()->displayBitmap();
    ASSERT_EQ(after.size(), before.size());
    EXPECT_NE(after, before);
    // Only blue light is left: no lit pixel may have more red than blue.
    int lit = 0;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x) {
            const QRgb p = after.pixel(x, y);
            if (qBlue(p) > 40) {
                ++lit;
                EXPECT_LE(qRed(p), qBlue(p)) << x << "," << y;
            }
        }
    EXPECT_GT(lit, 0);
}

// Every editable row of every sample gets a random value near its own (numbers may be
// refused by the scene: its message is answered and the value restored), then it builds.
TEST_F(PropertiesWindowTest, RandomEditsOfEverySampleBuildWithoutFaults)
{
    std::mt19937 random(20261208);
    for (int sample = 0; sample < kSampleCount; ++sample) {
        CChildFrame* frame = builtSample(sample, 48, 36);
        ASSERT_EQ(bar().document(), &frame->doc());
        const std::vector<std::string> names = bar().fullNames();
        int edited = 0;
        for (const std::string& name : names) {
            const auto& nodes = bar().nodes();
            const auto& now = bar().fullNames();
            const auto it = std::find(now.begin(), now.end(), name);
            // Gone after an edit reshaped the tree.
            if (it == now.end())
                continue;
            const ParamNode& node = nodes[it - now.begin()];
            ParamTreeCtrl::Row r = static_cast<ParamTreeCtrl::Row>(node.uiHandle);
            if (isGroup(node.kind) || !tree().isRowEditable(r))
                continue;
            const QString old = tree().cellText(r, 1);
            QString text;
            switch (valueKind(node.kind)) {
            case kKindInt: {
                const int v = old.toInt();
                text = QString::number(std::max(0, v + int(random() % 3) - 1));
                break;
            }
            case kKindReal:
            case kKindFloat: {
                std::uniform_real_distribution<double> factor(0.5, 1.5);
                text = QString::number(old.toDouble() * factor(random) + 0.01, 'g', 6);
                break;
            }
            default:
                text = QStringLiteral("edited");
            }
            ASSERT_TRUE(type(name, text)) << sample << " " << name;
            ++edited;
        }
        EXPECT_GT(edited, 10) << sample;
        main.dispatch(cmd::RebuildFractal);
        ASSERT_TRUE(waitForIdle(frame)) << sample;
        frame->doc().setModified(false);
        frame->close();
        QTest::qWait(1);
    }
}

TEST_F(PropertiesWindowTest, TheBarsSizesSurviveARestartAndSmallOnesReadBackAsTheMinimum)
{
    builtSample(2);
    main.resizeDocks({main.propertiesBar()}, {260}, Qt::Horizontal);
    QTest::qWait(10);
    const QSize docked = bar().vertSize();
    ASSERT_TRUE(main.close());
    {
        QSettings settings(kSettingsCompany, kSettingsProgram);
        settings.beginGroup("BarState-SCBar-123");
        for (const char* key : {"sizeHorzCX", "sizeHorzCY", "sizeVertCX", "sizeVertCY",
                                "sizeFloatCX", "sizeFloatCY"})
            EXPECT_TRUE(settings.contains(key)) << key;
        EXPECT_EQ(settings.value("sizeVertCX").toInt(), docked.width());
        EXPECT_EQ(settings.value("sizeVertCY").toInt(), docked.height());
    }
    {
        CMainFrame again;
        auto* restored = static_cast<PropertiesBar*>(again.propertiesBar());
        EXPECT_EQ(restored->vertSize(), docked);
    }
    {
        QSettings settings(kSettingsCompany, kSettingsProgram);
        settings.beginGroup("BarState-SCBar-123");
        settings.setValue("sizeHorzCX", 5);
        settings.setValue("sizeHorzCY", -40);
        settings.setValue("sizeFloatCX", 0);
    }
    CMainFrame small;
    auto* restored = static_cast<PropertiesBar*>(small.propertiesBar());
    EXPECT_EQ(restored->horzSize(), QSize(33, 32));
    EXPECT_EQ(restored->floatSize().width(), 33);
}
