// The main window: menus per document type, opening, refusing and saving documents, the
// properties sheet, and the command states of a running view.
#include "commands.h"
#include "julia_properties.h"
#include "julia_view.h"
#include "main_wnd.h"
#include "scripted_prompts.h"
#include "temp_env.h"

#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

using namespace fractals;

namespace {

class MainWndTest : public ::testing::Test {
protected:
    test::ScriptedPrompts prompts;
    suite::test::TempDir dir;
    QString file(const std::string& name) const
    {
        return QString::fromStdString((dir / name).string());
    }
};

} // namespace

TEST_F(MainWndTest, ShortMenuWithoutDocumentAndTypeMenuWithMandelbrot)
{
    CMainWnd main;
    EXPECT_EQ(main.currentMenuId(), 500);
    EXPECT_EQ(main.menuTitles(), (QStringList{"&Fractals", "&View", "&Help"}));
    EXPECT_EQ(main.menuItemTexts("&Fractals"),
              (QStringList{"&New...\tCtrl+N", "&Open...\tCtrl+O", "E&xit"}));
    EXPECT_EQ(main.statusText(), "Ready");

    CMandelDoc doc;
    suite::test::writeFileBytes(dir / "m.mnd", doc.saveToBytes());
    ASSERT_TRUE(main.openDocument(file("m.mnd")));
    EXPECT_EQ(main.currentMenuId(), 8);
    EXPECT_EQ(main.menuTitles(), (QStringList{"&Fractals", "&View", "&Run", "&Window", "&Help"}));
    const QStringList view = main.menuItemTexts("&View");
    for (const char* item : {"&Zoom In\t+", "Zoom &Out\t-", "Reset Zoo&m", "Zoom...",
                             "&Reset\tCtrl+R", "Edit E&quation...", "&Cycle\tCtrl+C",
                             "Reset &Palette", "&Edit Palette...", "Re&fresh\tF5"})
        EXPECT_TRUE(view.contains(item)) << item;
    EXPECT_EQ(main.menuItemTexts("&Run"),
              (QStringList{"&Start\tF8", "&Pause\tPause", "S&top\tEsc", "&Make Bitmap..."}));
    const QString recent =
        "&1 " + QDir::toNativeSeparators(QFileInfo(file("m.mnd")).absoluteFilePath());
    EXPECT_EQ(main.menuItemTexts("&Fractals"),
              (QStringList{"&New...\tCtrl+N", "&Open...\tCtrl+O", "&Save\tCtrl+S", "Save &As...",
                           "&Close", "P&roperties...\tAlt+Enter", "Ex&port", recent, "E&xit"}));
    EXPECT_EQ(main.menuItemTexts("&View"),
              (QStringList{"&Status Bar", "&Toolbar", "&Zoom In\t+", "Zoom &Out\t-", "Reset Zoo&m",
                           "Zoom...", "&Reset\tCtrl+R", "Edit E&quation...", "&Cycle\tCtrl+C",
                           "Reset &Palette", "&Edit Palette...", "Re&fresh\tF5"}));
    EXPECT_EQ(main.menuItemTexts("&Window"),
              (QStringList{"&Arrange All", "&Cascade ", "&Tile Horizontally", "Tile &Vertically"}));
    EXPECT_EQ(main.menuItemTexts("&Help"), (QStringList{"&Help Topics\tF1", "&About..."}));
    EXPECT_TRUE(main.recentFiles().contains(QFileInfo(file("m.mnd")).absoluteFilePath()));
    // A document opens without rendering.
    EXPECT_FALSE(main.activeFrame()->view()->isRunning());
}

TEST_F(MainWndTest, MenusOfTheOtherTypesDifferAsTheirTypesNeed)
{
    CMainWnd main;
    main.newDocument(6); // Henon map: palette items, no zoom items
    EXPECT_EQ(main.menuItemTexts("&View"),
              (QStringList{"&Status Bar", "&Toolbar", "Edit E&quation...", "&Cycle\tCtrl+C",
                           "Reset &Palette", "&Edit Palette...", "Re&fresh\tF5"}));
    main.newDocument(4); // L-System: no web page, Properties in the View menu
    EXPECT_EQ(main.menuItemTexts("&View"),
              (QStringList{"&Status Bar", "&Toolbar", "P&roperties...", "Re&fresh\tF5"}));
    const QStringList lsystemFile = main.menuItemTexts("&Fractals");
    EXPECT_TRUE(lsystemFile.contains("P&roperties...\tAlt+Enter"));
    main.newDocument(3); // IFS: Properties without the key hint, Save Bitmap in the Run menu
    EXPECT_TRUE(main.menuItemTexts("&Fractals").contains("P&roperties..."));
    EXPECT_EQ(main.menuItemTexts("&Run"),
              (QStringList{"&Start\tF8", "&Pause\tPause", "S&top\tEsc", "&Save Bitmap..."}));
    // The Export submenu: both exports, except for the L-System type.
    const auto exportItems = [&] {
        QStringList texts;
        for (QAction* a : main.menuBar()->actions())
            if (a->text() == "&Fractals")
                for (QAction* item : a->menu()->actions())
                    if (item->menu() && item->text() == "Ex&port")
                        for (QAction* e : item->menu()->actions())
                            texts << e->text();
        return texts;
    };
    EXPECT_EQ(exportItems(), (QStringList{"Windows &Bitmap...", "&Web Page (HTML)"}));
    main.newDocument(4);
    EXPECT_EQ(exportItems(), (QStringList{"Windows &Bitmap..."}));
}

TEST_F(MainWndTest, RefusedFilesOpenNothingAndSayWhy)
{
    CMainWnd main;
    CMandelDoc doc;
    suite::test::writeFileBytes(dir / "renamed.jls", doc.saveToBytes());
    std::string v8 = doc.saveToBytes();
    v8[13] = 8;
    suite::test::writeFileBytes(dir / "v8.mnd", v8);
    EXPECT_EQ(main.openDocument(file("renamed.jls")), nullptr);
    EXPECT_EQ(main.openDocument(file("v8.mnd")), nullptr);
    EXPECT_EQ(main.openDocument(file("missing.mnd")), nullptr);
    EXPECT_TRUE(main.frames().isEmpty());
    ASSERT_EQ(prompts.boxes.shown().size(), 3u);
    EXPECT_NE(prompts.boxes.shown()[0].text.find("bad index"), std::string::npos);
    EXPECT_NE(prompts.boxes.shown()[1].text.find("bad schema"), std::string::npos);
    EXPECT_NE(prompts.boxes.shown()[2].text.find("missing.mnd"), std::string::npos);
    EXPECT_EQ(main.currentMenuId(), 500);

    // A document of Ormolith shares the extension; the box names the program that opens it.
    EXPECT_EQ(main.openDocument(ORMOLITH_IFS_EXAMPLE), nullptr);
    ASSERT_EQ(prompts.boxes.shown().size(), 4u);
    EXPECT_EQ(prompts.boxes.shown()[3].text,
              "Failed to open document \"" + std::string(ORMOLITH_IFS_EXAMPLE) +
                  "\".\nThis is a document of Ormolith, not of fractals: open it with Ormolith.");
    EXPECT_TRUE(main.frames().isEmpty());
}

TEST_F(MainWndTest, StartUpFailsWhenNoFileOfTheCommandLineOpens)
{
    CMainWnd main;
    suite::test::writeFileBytes(dir / "good.mnd", CMandelDoc().saveToBytes());
    suite::test::writeFileBytes(dir / "bad.mnd", "not a fractal");
    EXPECT_FALSE(main.processShellCommand({file("bad.mnd")}));
    ASSERT_EQ(prompts.boxes.shown().size(), 1u);
    EXPECT_NE(prompts.boxes.shown()[0].text.find("bad.mnd"), std::string::npos);
    EXPECT_TRUE(main.frames().isEmpty());
    // One good file among them is enough to go on.
    EXPECT_TRUE(main.processShellCommand({file("bad.mnd"), file("good.mnd")}));
    EXPECT_EQ(main.frames().size(), 1);
    // Without a file the program offers a new document once it runs.
    prompts.choices.push_back(3); // Julia Set
    EXPECT_TRUE(main.processShellCommand({}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return main.frames().size() == 2; }, 5000));
    EXPECT_EQ(main.activeFrame()->templateId(), 7);
}

TEST_F(MainWndTest, NewSaveReopenKeepsTheDocument)
{
    CMainWnd main;
    prompts.choices.push_back(4); // the fifth File New name: Mandelbrot Set
    main.dispatch(cmd::FileNew);
    CFractalWnd* frame = main.activeFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->templateId(), 8);
    EXPECT_EQ(frame->title(), "Fractal1");
    EXPECT_EQ(main.windowTitle(), "Kaleidra 98 - Fractal1");
    auto* doc = static_cast<CMandelDoc*>(frame->doc());
    doc->setRect({-1, 1, 0.5, -0.25});
    doc->SetName("Test");
    prompts.fileNames.push_back(file("saved.mnd"));
    main.dispatch(cmd::FileSave);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(frame->title(), "saved.mnd");
    EXPECT_EQ(main.windowTitle(), "Kaleidra 98 - saved.mnd");
    EXPECT_EQ(suite::test::readFileBytes(dir / "saved.mnd"), doc->saveToBytes());

    frame->close();
    QCoreApplication::processEvents();
    EXPECT_TRUE(main.frames().isEmpty());
    EXPECT_EQ(main.windowTitle(), "Kaleidra 98");
    CFractalWnd* again = main.openDocument(file("saved.mnd"));
    ASSERT_TRUE(again);
    EXPECT_EQ(static_cast<CMandelDoc*>(again->doc())->rect(), (JuliaRect{-1, 1, 0.5, -0.25}));
    EXPECT_EQ(again->doc()->name(), "Test");
    EXPECT_TRUE(prompts.boxes.shown().empty());
}

TEST_F(MainWndTest, CaptionFollowsTheActiveDocumentAlsoWhenMaximized)
{
    CMainWnd main;
    main.show();
    CFractalWnd* first = main.newDocument(8);
    EXPECT_EQ(main.windowTitle(), "Kaleidra 98 - Fractal1");
    // Maximized, the document title moves into brackets, once.
    first->showMaximized();
    QCoreApplication::processEvents();
    EXPECT_EQ(main.windowTitle(), "Kaleidra 98 - [Fractal1]");
    CFractalWnd* second = main.newDocument(8);
    QCoreApplication::processEvents();
    EXPECT_EQ(main.windowTitle(), "Kaleidra 98 - [Fractal2]");
    second->setTitle("named.mnd");
    QCoreApplication::processEvents();
    EXPECT_EQ(main.windowTitle(), "Kaleidra 98 - [named.mnd]");
    second->showNormal();
    QCoreApplication::processEvents();
    EXPECT_EQ(main.windowTitle(), "Kaleidra 98 - named.mnd");
    second->close();
    first->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(main.windowTitle(), "Kaleidra 98");
}

TEST_F(MainWndTest, RightClickMenusOfTheEscapeTimeAndHenonViews)
{
    CMainWnd main;
    const auto items = [&](int menuId) {
        std::unique_ptr<QMenu> menu(main.buildContextMenu(menuId, &main));
        QStringList texts;
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                texts << a->text() + (a->isEnabled() ? "" : " (disabled)");
        return texts;
    };
    main.newDocument(9);
    EXPECT_EQ(main.activeFrame()->view()->contextMenuId(), 7099);
    EXPECT_EQ(items(7099), (QStringList{"P&roperties...", "Re&fresh", "Edit E&quation...",
                                        "Reset &Palette", "&Cycle"}));
    // The Henon window's "&Reset" has no handler there and does nothing.
    main.newDocument(6);
    EXPECT_EQ(main.activeFrame()->view()->contextMenuId(), 6099);
    EXPECT_EQ(items(6099), (QStringList{"P&roperties...", "&Reset (disabled)", "Re&fresh",
                                        "Edit E&quation...", "Reset &Palette", "&Cycle"}));
    main.dispatch(cmd::Reset);
    EXPECT_FALSE(main.activeFrame()->view()->isRunning());
}

TEST_F(MainWndTest, ClosingAModifiedDocumentAsks)
{
    CMainWnd main;
    CFractalWnd* frame = main.newDocument(8);
    frame->doc()->SetName("changed");
    prompts.boxes.queue(QMessageBox::Cancel);
    EXPECT_FALSE(frame->close());
    ASSERT_EQ(prompts.boxes.shown().size(), 1u);
    EXPECT_EQ(prompts.boxes.shown()[0].text, "Save changes to Fractal1?");
    prompts.boxes.queue(QMessageBox::No);
    EXPECT_TRUE(frame->close());
}

TEST_F(MainWndTest, PropertiesAreDisabledWhileRunning)
{
    CMainWnd main;
    main.resize(900, 700);
    main.show();
    CFractalWnd* frame = main.newDocument(8);
    frame->resize(600, 500);
    EXPECT_TRUE(main.commandState(cmd::Properties).enabled);
    EXPECT_TRUE(main.commandState(cmd::Stop).checked);
    main.dispatch(cmd::Start);
    main.dispatch(cmd::Pause); // holds the render so the states can be read
    ASSERT_TRUE(frame->view()->isRunning());
    EXPECT_FALSE(main.commandState(cmd::Properties).enabled);
    EXPECT_TRUE(main.commandState(cmd::Pause).checked);
    EXPECT_FALSE(main.commandState(cmd::Start).checked);
    main.dispatch(cmd::Properties); // disabled: ignored, no sheet opens
    main.dispatch(cmd::Start);      // resumes
    EXPECT_TRUE(main.commandState(cmd::Start).checked || !frame->view()->isRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frame->view()->isRunning(); }, 20000));
    EXPECT_TRUE(main.commandState(cmd::Properties).enabled);
    // The IFS window saves, but has neither zoom nor palette commands (its Ctrl+C copies).
    CFractalWnd* ifs = main.newDocument(3);
    EXPECT_EQ(main.currentMenuId(), 3);
    EXPECT_TRUE(main.commandState(cmd::FileSave).enabled);
    EXPECT_FALSE(main.commandState(cmd::ZoomIn).enabled);
    EXPECT_FALSE(main.commandState(cmd::Cycle).enabled);
    ifs->close();
    // The Henon window has the palette commands but no zoom commands.
    CFractalWnd* henon = main.newDocument(6);
    EXPECT_EQ(main.currentMenuId(), 6);
    EXPECT_TRUE(main.commandState(cmd::FileSave).enabled);
    EXPECT_FALSE(main.commandState(cmd::ZoomIn).enabled);
    EXPECT_FALSE(main.commandState(cmd::Reset).enabled);
    EXPECT_TRUE(main.commandState(cmd::Cycle).enabled);
    EXPECT_FALSE(main.menuItemTexts("&View").contains("&Zoom In\t+"));
    henon->close();
}

TEST(JuliaProperties, ValidationAndDefaults)
{
    test::ScriptedPrompts prompts;
    CMandelDoc doc;
    doc.setEquation({0.5, 1, 0, 0, 0});
    doc.SetModifiedFlag(false);
    CJuliaPropertiesSheet sheet(doc, 8, nullptr);
    EXPECT_EQ(sheet.windowTitle(), "Julia Set Properties");
    EXPECT_EQ(sheet.field(7101)->text(), "-2.1");
    EXPECT_EQ(sheet.field(7110)->text(), "0.5");
    EXPECT_TRUE(sheet.pathText().isEmpty());

    sheet.field(7101)->setText("1");
    sheet.field(7103)->setText("1");
    sheet.accept();
    sheet.field(7101)->setText("0");
    sheet.field(7103)->setText("1e-13");
    sheet.accept();
    sheet.field(7103)->setText("21");
    sheet.accept();
    sheet.field(7103)->setText("abc");
    sheet.accept();
    ASSERT_EQ(prompts.boxes.shown().size(), 4u);
    EXPECT_EQ(prompts.boxes.shown()[0].text, kMsgInvalidRect);
    EXPECT_EQ(prompts.boxes.shown()[0].title, "");
    EXPECT_EQ(prompts.boxes.shown()[1].text, kMsgInvalidRect);
    EXPECT_EQ(prompts.boxes.shown()[2].text, kMsgOutOfRange);
    EXPECT_EQ(prompts.boxes.shown()[3].text, kMsgNotANumber);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.rect(), doc.defaultRect());

    sheet.fillDefaults();
    EXPECT_EQ(sheet.field(7101)->text(), "-2.100000");
    EXPECT_EQ(sheet.field(7110)->text(), "0.000000");
    EXPECT_EQ(doc.equation().d, 0.5); // not changed before OK
    sheet.field(7108)->setText("1");
    sheet.field(7109)->setText("0");
    sheet.field(2304)->setText("Cubic");
    sheet.accept();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.equation(), (JuliaEquation{0, 0, 1, 0, 0}));
    EXPECT_EQ(doc.name(), "Cubic");
}

TEST(JuliaProperties, UntouchedFieldsKeepTheirExactValues)
{
    // Fifteen significant digits on the page; a deep zoom needs all seventeen.
    test::ScriptedPrompts prompts;
    CMandelDoc doc;
    const JuliaRect deep{-0.74364388703715873, 0.13182590420531198, -0.74364388703415873,
                         0.13182590420331198};
    ASSERT_TRUE(isValidJuliaRect(deep));
    doc.setRect(deep);
    doc.setEquation({0.1, 1, 0, 0, 0});
    CJuliaPropertiesSheet sheet(doc, 8, nullptr);
    EXPECT_NE(sheet.field(7101)->text().toDouble(), deep.left);
    sheet.field(2305)->setText("Me");
    sheet.field(7110)->setText("0.2");
    sheet.accept();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(prompts.boxes.shown().empty());
    EXPECT_EQ(doc.rect(), deep);
    EXPECT_EQ(doc.equation(), (JuliaEquation{0.2, 1, 0, 0, 0}));
    EXPECT_EQ(doc.author(), "Me");
}

TEST_F(MainWndTest, ToolbarPlaceAndRecentFilesOutliveTheWindow)
{
    CMandelDoc doc;
    suite::test::writeFileBytes(dir / "r.mnd", doc.saveToBytes());
    {
        CMainWnd main;
        main.show();
        auto* bar = main.findChild<QToolBar*>("Toolbar");
        ASSERT_TRUE(bar);
        main.addToolBar(Qt::LeftToolBarArea, bar);
        ASSERT_TRUE(main.openDocument(file("r.mnd")));
        main.close();
    }
    CMainWnd again;
    again.show();
    auto* bar = again.findChild<QToolBar*>("Toolbar");
    EXPECT_EQ(again.toolBarArea(bar), Qt::LeftToolBarArea);
    const QStringList items = again.menuItemTexts("&Fractals");
    EXPECT_TRUE(items.contains(
        "&1 " + QDir::toNativeSeparators(QFileInfo(file("r.mnd")).absoluteFilePath())));
    again.dispatch(cmd::Mru1);
    ASSERT_TRUE(again.activeFrame());
    EXPECT_EQ(again.activeFrame()->title(), "r.mnd");
}
