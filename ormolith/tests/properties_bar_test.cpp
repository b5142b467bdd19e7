// The Properties bar on the offscreen platform, over real documents and samples: edits go in
// through mouse clicks and typing on the tree, and are checked in the scene.
#include "properties_bar.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "fractal_doc.h"
#include "param_tree_ctrl.h"
#include "scene.h"

using namespace ormolith;

namespace {

constexpr int kSierpinski = 2;

struct BarFixture {
    std::unique_ptr<PropertiesBar> bar = std::make_unique<PropertiesBar>();
    QStringList boxes;

    BarFixture()
    {
        bar->setErrorSink([this](QWidget*, const QString& text) { boxes << text; });
        bar->resize(320, 400);
        bar->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(bar.get()));
    }
    ~BarFixture() { PropertiesBar::expandedGroups().clear(); }

    ParamTreeCtrl& tree() const { return *bar->tree(); }
    int indexOf(const std::string& fullName) const
    {
        const auto& names = bar->fullNames();
        const auto it = std::find(names.begin(), names.end(), fullName);
        return it == names.end() ? -1 : int(it - names.begin());
    }
    ParamTreeCtrl::Row row(const std::string& fullName) const
    {
        const int i = indexOf(fullName);
        return i < 0 ? nullptr : static_cast<ParamTreeCtrl::Row>(bar->nodes()[i].uiHandle);
    }
    QString value(const std::string& fullName) const
    {
        return tree().cellText(row(fullName), 1);
    }
    // Opens every group above the row so that it can be clicked.
    void reveal(ParamTreeCtrl::Row r)
    {
        for (auto* p = r ? r->parent() : nullptr; p; p = p->parent())
            p->setExpanded(true);
        tree().treeWidget()->scrollToItem(r);
    }
    void clickValue(const std::string& fullName)
    {
        ParamTreeCtrl::Row r = row(fullName);
        ASSERT_NE(r, nullptr) << fullName;
        reveal(r);
        QTreeWidget* view = tree().treeWidget();
        const QPoint at = view->visualRect(view->indexFromItem(r, 1)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    }
    void type(const std::string& fullName, const QString& text)
    {
        clickValue(fullName);
        ASSERT_TRUE(tree().isEditing()) << fullName;
        tree().editor()->setText(text);
        QTest::keyClick(tree().editor(), Qt::Key_Return);
    }
};

} // namespace

TEST(PropertiesBar, ShowsTheSceneAndOnlyNumbersAndTextsAreEditable)
{
    BarFixture f;
    EXPECT_EQ(f.bar->windowTitle(), "Properties");
    EXPECT_EQ(f.bar->barId(), 123);
    EXPECT_EQ(f.tree().columnTitle(0), "Variable");
    EXPECT_EQ(f.tree().columnTitle(1), "Value");
    EXPECT_EQ(f.tree().statusText(), "Parameters window. Click any value to edit");
    EXPECT_EQ(f.tree().treeWidget()->viewport()->toolTip(), "Click to edit");
    EXPECT_EQ(f.tree().treeWidget()->statusTip(), "Parameters window. Click any value to edit");

    // No document: nothing to show.
    f.bar->attach(nullptr);
    EXPECT_TRUE(f.tree().rows().isEmpty());

    CFractal_Doc doc;
    ASSERT_TRUE(doc.loadSample(kSierpinski));
    f.bar->attach(&doc);
    EXPECT_EQ(doc.listener != nullptr, true);
    ASSERT_EQ(f.tree().rows().size(), qsizetype(f.bar->nodes().size()));
    EXPECT_EQ(f.value("General.Deep"), QString::number(doc.scene()->deep));
    EXPECT_EQ(f.value("General.Antialiasing"), "Off");
    EXPECT_EQ(f.value("Camera.Field of view"), "50");
    EXPECT_EQ(f.tree().cellText(f.row("Camera.X Position"), 0), "X Position");
    EXPECT_EQ(f.tree().parentRow(f.row("Camera.X Position")), f.row("Camera"));
    EXPECT_TRUE(f.tree().isRowEditable(f.row("Camera.X Position")));  // real
    EXPECT_TRUE(f.tree().isRowEditable(f.row("Maps.Number of maps"))); // integer
    EXPECT_FALSE(f.tree().isRowEditable(f.row("General.Mode")));       // boolean
    EXPECT_FALSE(f.tree().isRowEditable(f.row("General.Antialiasing"))); // choice
    EXPECT_FALSE(f.tree().isRowEditable(f.row("Maps")));                 // group
    // A complete archive's parameters stay out of the bar.
    EXPECT_EQ(f.indexOf("General.Precision"), -1);

    // A click on a plain group's value changes nothing.
    f.clickValue("Camera");
    EXPECT_FALSE(doc.isModified());
    EXPECT_TRUE(f.boxes.isEmpty());
}

TEST(PropertiesBar, NumberOfMapsRefillsAndKeepsExpandedGroupsAndScroll)
{
    BarFixture f;
    CFractal_Doc doc;
    ASSERT_TRUE(doc.loadSample(kSierpinski));
    f.bar->attach(&doc);
    const int maps = doc.scene()->mapCount;
    ASSERT_GE(maps, 2);
    f.tree().setRowExpanded(f.row("Maps"), true);
    f.tree().setRowExpanded(f.row("Maps.Map 2"), true);
    f.tree().setRowExpanded(f.row("Lights"), true);
    EXPECT_EQ(f.indexOf("Maps.Map " + std::to_string(maps + 1)), -1);

    f.type("Maps.Number of maps", QString::number(maps + 1));
    EXPECT_TRUE(f.boxes.isEmpty());
    EXPECT_EQ(doc.scene()->mapCount, maps + 1);
    EXPECT_TRUE(doc.isModified());
    // The list was collected again: the new map is there, with its own row.
    ASSERT_NE(f.row("Maps.Map " + std::to_string(maps + 1)), nullptr);
    EXPECT_EQ(f.value("Maps.Number of maps"), QString::number(maps + 1));
    EXPECT_TRUE(f.tree().isRowExpanded(f.row("Maps")));
    EXPECT_TRUE(f.tree().isRowExpanded(f.row("Maps.Map 2")));
    EXPECT_TRUE(f.tree().isRowExpanded(f.row("Lights")));
    EXPECT_FALSE(f.tree().isRowExpanded(f.row("Camera")));

    // The scroll position survives a refill.
    f.tree().setRowExpanded(f.row("Camera"), true);
    f.tree().setRowExpanded(f.row("General"), true);
    f.bar->resize(320, 150);
    QCoreApplication::processEvents();
    QScrollBar* scroll = f.tree().treeWidget()->verticalScrollBar();
    ASSERT_GT(scroll->maximum(), 3);
    scroll->setValue(3);
    f.bar->refill();
    EXPECT_EQ(scroll->value(), 3);
    EXPECT_TRUE(f.tree().isRowExpanded(f.row("Camera")));
}

TEST(PropertiesBar, BooleansToggleAndChoicesCycleWithoutAnEditor)
{
    BarFixture f;
    CFractal_Doc doc;
    ASSERT_TRUE(doc.loadSample(kSierpinski));
    f.bar->attach(&doc);
    FractalScene& scene = *doc.scene();

    const bool mode = scene.mode;
    f.clickValue("General.Mode");
    EXPECT_FALSE(f.tree().isEditing());
    EXPECT_EQ(scene.mode, !mode);
    EXPECT_EQ(f.value("General.Mode"), scene.mode ? "Stereo" : "Mono");
    EXPECT_TRUE(doc.isModified());
    f.clickValue("General.Mode");
    EXPECT_EQ(scene.mode, mode);

    ASSERT_EQ(scene.antialiasing, 0);
    const QStringList expected = {"2x2", "3x3", "Off"};
    for (int i = 0; i < 3; ++i) {
        f.clickValue("General.Antialiasing");
        EXPECT_FALSE(f.tree().isEditing());
        EXPECT_EQ(scene.antialiasing, (i + 1) % 3);
        EXPECT_EQ(f.value("General.Antialiasing"), expected[i]);
    }

    // A choice that changes the list's shape: advanced colours add Diffuse groups to lights.
    EXPECT_EQ(f.indexOf("Lights.Light.Diffuse"), -1);
    f.clickValue("General.Advanced colors");
    EXPECT_EQ(scene.advancedColors, 1);
    EXPECT_NE(f.indexOf("Lights.Light.Diffuse.Red"), -1);
    EXPECT_TRUE(f.boxes.isEmpty());
}

TEST(PropertiesBar, AnUnchangedEditChangesNothing)
{
    BarFixture f;
    CFractal_Doc doc;
    ASSERT_TRUE(doc.loadSample(kSierpinski));
    f.bar->attach(&doc);
    QObject watcher;
    int changes = 0;
    QObject::connect(f.bar.get(), &PropertiesBar::parameterChanged, &watcher,
                     [&] { ++changes; });
    f.clickValue("Camera.Field of view");
    ASSERT_TRUE(f.tree().isEditing());
    QTest::keyClick(f.tree().editor(), Qt::Key_Return);
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(changes, 0);

    f.type("Camera.Field of view", "35.5");
    EXPECT_EQ(doc.scene()->camera.fieldOfView, 35.5);
    EXPECT_EQ(f.value("Camera.Field of view"), "35.5");
    EXPECT_EQ(changes, 1);
    // Letters in a number become 0, which the scene then judges.
    f.type("Camera.Eyes distance", "abc");
    EXPECT_EQ(doc.scene()->camera.eyesDistance, 0.0);
    EXPECT_EQ(f.value("Camera.Eyes distance"), "0");
}

TEST(PropertiesBar, ARejectedEditShowsTheScenesMessageAndRestoresTheValue)
{
    BarFixture f;
    CFractal_Doc doc;
    ASSERT_TRUE(doc.loadSample(kSierpinski));
    f.bar->attach(&doc);
    FractalScene& scene = *doc.scene();
    const int sets = scene.setCount;
    const QString cell = f.value("Sets.Number of sets");

    f.type("Sets.Number of sets", "40");
    EXPECT_EQ(f.boxes, QStringList{"Error: Number of sets must be 1..32"});
    EXPECT_EQ(scene.setCount, sets);
    EXPECT_EQ(f.value("Sets.Number of sets"), cell);
    EXPECT_FALSE(doc.isModified());

    f.boxes.clear();
    const int maps = scene.mapCount;
    f.type("Maps.Number of maps", "32");
    EXPECT_EQ(f.boxes, QStringList{"Error: Number of maps"});
    EXPECT_EQ(scene.mapCount, maps);
    EXPECT_EQ(f.indexOf("Maps.Map 32"), -1);

    // The box may outlive the document's scene; the old value is then not written anywhere.
    f.boxes.clear();
    f.bar->setErrorSink([&](QWidget*, const QString& text) {
        f.boxes << text;
        doc.loadSample(kSierpinski);
    });
    f.type("Sets.Number of sets", "0");
    EXPECT_EQ(f.boxes.size(), 1);
    EXPECT_EQ(f.bar->document(), &doc);
    EXPECT_EQ(doc.scene()->setCount, sets);
}

TEST(PropertiesBar, SortingOrdersMapsByNumberAndReverses)
{
    BarFixture f;
    CFractal_Doc doc;
    ASSERT_TRUE(doc.loadSample(kSierpinski));
    f.bar->attach(&doc);
    f.type("Maps.Number of maps", "11");
    ASSERT_EQ(doc.scene()->mapCount, 11);
    ParamTreeCtrl::Row maps = f.row("Maps");
    auto position = [&](const char* name) {
        const auto rows = f.tree().childRows(maps);
        for (int i = 0; i < rows.size(); ++i)
            if (f.tree().cellText(rows[i], 0) == name)
                return i;
        return -1;
    };
    f.tree().sortByColumn(0);
    EXPECT_LT(position("Map 2"), position("Map 10"));
    EXPECT_LT(position("Map 10"), position("Map 11"));
    f.tree().sortByColumn(0);
    EXPECT_GT(position("Map 2"), position("Map 10"));
    // Rows keep their nodes when sorted: an edit still reaches the right parameter.
    f.type("Camera.Y Position", "4");
    EXPECT_EQ(doc.scene()->camera.position.y, 4.0);
}

TEST(PropertiesBar, FollowsItsDocumentsScene)
{
    BarFixture f;
    auto doc = std::make_unique<CFractal_Doc>();
    ASSERT_TRUE(doc->loadSample(kSierpinski));
    f.bar->attach(doc.get());
    f.tree().setRowExpanded(f.row("Camera"), true);

    // A new scene in the same document: the bar lets go first and shows the new one after.
    ASSERT_TRUE(doc->loadSample(8));
    EXPECT_EQ(f.bar->document(), doc.get());
    EXPECT_EQ(f.value("Maps.Number of maps"), QString::number(doc->scene()->mapCount));
    EXPECT_TRUE(f.tree().isRowExpanded(f.row("Camera")));
    f.type("Camera.Z Position", "-9");
    EXPECT_EQ(doc->scene()->camera.position.z, -9.0);

    // An edit left open when the scene goes is dropped, not written into the dead scene.
    f.clickValue("Camera.Z Position");
    ASSERT_TRUE(f.tree().isEditing());
    f.tree().editor()->setText("7");
    ASSERT_TRUE(doc->loadSample(kSierpinski));
    EXPECT_FALSE(f.tree().isEditing());
    EXPECT_NE(doc->scene()->camera.position.z, 7.0);

    // Another document: the first one no longer reports to the bar.
    CFractal_Doc other;
    f.bar->attach(&other);
    EXPECT_EQ(doc->listener, nullptr);
    EXPECT_EQ(other.listener != nullptr, true);
    // A document closed while shown leaves an empty bar.
    f.bar->attach(doc.get());
    doc.reset();
    EXPECT_EQ(f.bar->document(), nullptr);
    EXPECT_TRUE(f.tree().rows().isEmpty());
    f.bar->refill();
    EXPECT_TRUE(f.tree().rows().isEmpty());
}

TEST(PropertiesBar, EndEditCommitsAnOpenEditBeforeABuild)
{
    BarFixture f;
    CFractal_Doc doc;
    ASSERT_TRUE(doc.loadSample(kSierpinski));
    f.bar->attach(&doc);
    f.clickValue("General.Deep");
    ASSERT_TRUE(f.tree().isEditing());
    f.tree().editor()->setText("2");
    f.bar->endEdit();
    EXPECT_FALSE(f.tree().isEditing());
    EXPECT_EQ(doc.scene()->deep, 2);
    EXPECT_TRUE(doc.isModified());
}

TEST(SizingControlBar, SizesAreSavedUnderTheBarsSectionAndNeverBelowTheMinimum)
{
    const QString path = QDir::temp().filePath(
        QStringLiteral("ormprops-sizes-%1.ini").arg(QCoreApplication::applicationPid()));
    QFile::remove(path);
    {
        PropertiesBar bar;
        EXPECT_EQ(bar.horzSize(), QSize(160, 80));
        EXPECT_EQ(bar.vertSize(), QSize(160, 80));
        EXPECT_EQ(bar.floatSize(), QSize(160, 80));
        EXPECT_TRUE(CSizingControlBar::allBars().contains(&bar));
        EXPECT_EQ(bar.sectionName("BarState"), "BarState-SCBar-123");
        bar.setVertSize({210, 500});
        bar.setHorzSize({10, 5}); // raised at once
        EXPECT_EQ(bar.horzSize(), QSize(33, 32));
        QSettings settings(path, QSettings::IniFormat);
        bar.saveSizes(settings, "BarState");
    }
    EXPECT_TRUE(CSizingControlBar::allBars().isEmpty());
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.beginGroup("BarState-SCBar-123");
        EXPECT_EQ(settings.value("sizeVertCX").toInt(), 210);
        EXPECT_EQ(settings.value("sizeVertCY").toInt(), 500);
        EXPECT_EQ(settings.value("sizeFloatCX").toInt(), 160);
        EXPECT_EQ(settings.value("sizeFloatCY").toInt(), 80);
        // Values below the minimum, as an old or edited file may hold them.
        settings.setValue("sizeFloatCX", 4);
        settings.setValue("sizeFloatCY", -7);
        settings.setValue("sizeHorzCX", "wide");
        settings.endGroup();
    }
    QSettings settings(path, QSettings::IniFormat);
    PropertiesBar bar;
    bar.setHorzSize({90, 60});
    bar.loadSizes(settings, "BarState");
    EXPECT_EQ(bar.vertSize(), QSize(210, 500));
    EXPECT_EQ(bar.floatSize(), QSize(33, 32));
    EXPECT_EQ(bar.horzSize(), QSize(90, 32)); // a width that is no number keeps the old one
    QFile::remove(path);
}

TEST(SizingControlBar, ADockedBarRemembersTheSizeTheUserGaveIt)
{
    QMainWindow frame;
    frame.setCentralWidget(new QWidget);
    auto* bar = new PropertiesBar(&frame);
    frame.addDockWidget(Qt::LeftDockWidgetArea, bar);
    frame.resize(800, 600);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    bar->setVertSize({250, 100});
    bar->applySize();
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->width(), 250);
    frame.resizeDocks({bar}, {300}, Qt::Horizontal);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->vertSize().width(), 300);
    // Hiding (the close button or View > Properties) keeps the size and the menu in step.
    QAction* view = bar->toggleViewAction();
    EXPECT_TRUE(view->isChecked());
    bar->close();
    EXPECT_FALSE(view->isChecked());
    EXPECT_EQ(bar->vertSize().width(), 300);
    view->trigger();
    EXPECT_TRUE(bar->isVisible());
}
