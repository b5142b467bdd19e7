// The L-System window: the run parameters, the drawing in the window and to a file, Stop and
// Cancel on deep runs, the properties sheet with its messages, the right-click menu and the
// web-page command.
#include "commands.h"
#include "file_header.h"
#include "lsystem_turtle.h"
#include "lsystem_view.h"
#include "main_wnd.h"
#include "scripted_prompts.h"
#include "temp_env.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <optional>

using namespace fractals;

namespace {

bool waitFor(const std::function<bool()>& condition, int ms = 20000)
{
    return QTest::qWaitFor(condition, ms);
}

std::unique_ptr<CLsystemDoc> loadExample(const std::string& file)
{
    std::string bytes;
    EXPECT_TRUE(readWholeFile(std::string(LSYSTEM_EXAMPLES) + "/" + file, bytes)) << file;
    auto doc = std::make_unique<CLsystemDoc>();
    doc->loadFromBytes(bytes);
    return doc;
}

// Answers the run-parameters question for the tests: the given depth and stretch, or Cancel.
class RunAnswer {
public:
    RunAnswer(int iterations, bool stretch, bool ok = true)
    {
        setRunParametersPrompt([=, this](CLsystemDoc& doc, QWidget*) {
            ++asked;
            if (ok)
                doc.setRunParameters(iterations, stretch);
            return ok;
        });
    }
    ~RunAnswer() { setRunParametersPrompt({}); }
    int asked = 0;
};

long countF(const LsystemProgram& p)
{
    long n = 0;
    expandProgram(
        p, [] { return true; }, [&](char c) { n += c == 'F'; });
    return n;
}

QImage referencePicture(const LsystemProgram& p, bool stretch, std::uint32_t seed, int w, int h)
{
    LsystemPicture pic{w, h, {}};
    EXPECT_TRUE(renderLsystemPicture(p, stretch, seed, pic, [] { return true; }));
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, 0xFF000000u | pic.pixels[static_cast<std::size_t>(y * w + x)]);
    return image;
}

int blackPixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFFu) == 0;
    return n;
}

} // namespace

TEST(LsystemView, ADragonCurveIsDrawnInTheWindow)
{
    const auto owned = loadExample("dragon-curve.lsf");
    CLsystemDoc& doc = *owned;
    RunAnswer answer(10, false);
    CLsystemView view(&doc);
    EXPECT_EQ(view.contextMenuId(), 4099);
    view.resize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.setSeed(1);
    // Opened without rendering: a white window.
    EXPECT_EQ(blackPixels(view.pictureSnapshot()), 0);
    EXPECT_EQ(view.pictureSnapshot().pixel(0, 0), qRgb(255, 255, 255));
    view.onCommand(cmd::Start);
    EXPECT_EQ(answer.asked, 1);
    ASSERT_TRUE(waitFor([&] { return !view.isRunning(); }));
    EXPECT_EQ(doc.iterations(), 10);
    EXPECT_FALSE(doc.IsModified()); // run parameters are not part of the document

    const auto program = LsystemProgram::fromDocument(doc);
    EXPECT_EQ(view.drawnSegments(), countF(program));
    EXPECT_EQ(view.drawnSegments(), 1024);
    // The window shows exactly what the file render of the same size draws.
    const QImage shown = view.pictureSnapshot();
    EXPECT_EQ(shown, referencePicture(program, false, 1, 400, 300));
    EXPECT_GT(blackPixels(shown), 1000);
    // Stretch off in a 400 x 300 window: nothing left of the square's margin.
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 50; ++x)
            ASSERT_EQ(shown.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;

    // Each start asks again and draws afresh.
    view.onCommand(cmd::Start);
    EXPECT_EQ(answer.asked, 2);
    ASSERT_TRUE(waitFor([&] { return !view.isRunning(); }));
    EXPECT_EQ(view.pictureSnapshot(), shown);
}

TEST(LsystemView, CancelledRunParametersStartNothing)
{
    auto doc = CLsystemDoc::makeNew();
    RunAnswer answer(3, false, false);
    CLsystemView view(doc.get());
    view.resize(120, 90);
    view.show();
    view.onCommand(cmd::Start);
    EXPECT_EQ(answer.asked, 1);
    EXPECT_FALSE(view.isRunning());
    EXPECT_EQ(view.drawnSegments(), 0);
    EXPECT_EQ(blackPixels(view.pictureSnapshot()), 0);
}

TEST(LsystemView, TheRunParametersDialog)
{
    auto doc = CLsystemDoc::makeNew();
    doc->setRunParameters(7, true);
    // The real dialog: answered by the test once it is open.
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<CRunParametersDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->windowTitle(), "Run Parameters");
        EXPECT_EQ(dlg->iterationsBox()->value(), 7);
        EXPECT_TRUE(dlg->stretchBox()->isChecked());
        EXPECT_EQ(dlg->stretchBox()->text(), "&Stretch fractal to window");
        EXPECT_EQ(dlg->iterationsBox()->minimum(), 0);
        EXPECT_EQ(dlg->iterationsBox()->maximum(), 36);
        dlg->iterationsBox()->setValue(99); // the control keeps it within 0..36
        dlg->stretchBox()->setChecked(false);
        dlg->accept();
    });
    EXPECT_TRUE(askRunParameters(*doc, nullptr));
    EXPECT_EQ(doc->iterations(), 36);
    EXPECT_FALSE(doc->stretch());
    EXPECT_FALSE(doc->IsModified());

    QTimer::singleShot(0, [] {
        auto* dlg = qobject_cast<CRunParametersDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        dlg->iterationsBox()->setValue(2);
        dlg->reject();
    });
    EXPECT_FALSE(askRunParameters(*doc, nullptr));
    EXPECT_EQ(doc->iterations(), 36); // Cancel keeps the values
}

TEST(LsystemView, StopEndsADepth36RunAtOnceAndKeepsWhatWasDrawn)
{
    const auto doc = loadExample("bracketed-plant.lsf");
    RunAnswer answer(36, true);
    CLsystemView view(doc.get());
    view.resize(200, 150);
    view.show();
    view.onCommand(cmd::Start);
    ASSERT_TRUE(view.isRunning());
    QTest::qWait(300);
    view.onCommand(cmd::Pause);
    EXPECT_TRUE(view.isPaused());
    view.onCommand(cmd::Stop); // resumes the paused thread, which then ends
    EXPECT_FALSE(view.isRunning());
    EXPECT_FALSE(view.isPaused());
    // The measuring pass of a depth-36 plant never ends by itself: nothing was drawn yet.
    EXPECT_EQ(view.drawnSegments(), 0);
}

TEST(LsystemView, MakeBitmapWritesA24BitPictureAndCancelWritesNothing)
{
    suite::test::TempDir dir;
    test::ScriptedPrompts prompts;
    auto doc = CLsystemDoc::makeNew();
    std::optional<RunAnswer> answer(std::in_place, 4, false);
    CLsystemView view(doc.get());
    view.resize(100, 80);
    view.show();
    view.setSeed(5);
    const auto path = dir / "koch.bmp";
    prompts.sizes.push_back({161, 90});
    prompts.fileNames.push_back(QString::fromStdString(path.string()));
    view.onCommand(cmd::ExportBitmap);
    EXPECT_EQ(answer->asked, 1);
    ASSERT_TRUE(waitFor([&] { return !view.isRunning(); }));
    const std::string bytes = suite::test::readFileBytes(path);
    const std::size_t stride = (161 * 3 + 3) / 4 * 4;
    ASSERT_EQ(bytes.size(), 54 + stride * 90);
    EXPECT_EQ(static_cast<unsigned char>(bytes[28]), 24); // bits per pixel
    QImage written(QString::fromStdString(path.string()));
    ASSERT_FALSE(written.isNull());
    EXPECT_EQ(written.convertToFormat(QImage::Format_RGB32),
              referencePicture(LsystemProgram::fromDocument(*doc), false, 5, 161, 90));
    // The window's own picture was left alone.
    EXPECT_EQ(blackPixels(view.pictureSnapshot()), 0);

    // A depth-36 export runs until Cancel, which leaves no file.
    answer.reset();
    answer.emplace(36, false);
    const auto endless = dir / "endless.bmp";
    prompts.sizes.push_back({64, 64});
    prompts.fileNames.push_back(QString::fromStdString(endless.string()));
    view.onCommand(cmd::ExportBitmap);
    ASSERT_TRUE(view.isRunning());
    ASSERT_TRUE(view.progressDialog());
    EXPECT_EQ(view.progressDialog()->windowTitle(), "Generating Fractal...");
    QTest::qWait(200);
    view.progressDialog()->reject();
    ASSERT_TRUE(waitFor([&] { return !view.isRunning() && !view.progressDialog(); }));
    EXPECT_FALSE(std::filesystem::exists(endless));
}

TEST(LsystemView, ProgressRisesDuringALongFileRender)
{
    suite::test::TempDir dir;
    auto doc = CLsystemDoc::makeNew();
    RunAnswer answer(10, false); // 3 * 4^10 segments: long enough to be watched
    CLsystemView view(doc.get());
    view.resize(50, 50);
    view.show();
    const auto path = dir / "long.bmp";
    view.startFileRender(300, 300, path.string());
    ASSERT_TRUE(view.progressDialog());
    int highest = 0;
    while (view.isRunning() && view.progressDialog()) {
        highest = std::max(highest, view.progressDialog()->progress());
        QTest::qWait(5);
    }
    ASSERT_TRUE(waitFor([&] { return !view.isRunning(); }));
    EXPECT_GT(highest, 0);
    EXPECT_TRUE(std::filesystem::exists(path));
}

namespace {

class SheetTest : public ::testing::Test {
protected:
    test::ScriptedPrompts prompts;
    std::unique_ptr<CLsystemDoc> doc = CLsystemDoc::makeNew();
    CLsystemPropertiesSheet sheet{*doc, nullptr};

    QStringList listed() const
    {
        QStringList items;
        for (int k = 0; k < sheet.rules()->count(); ++k)
            items << sheet.rules()->item(k)->text();
        return items;
    }
    std::vector<std::string> shown() const { return prompts.boxes.texts(); }
};

} // namespace

TEST_F(SheetTest, TheFractalPageFiltersTheAxiomWhenLeft)
{
    EXPECT_EQ(sheet.windowTitle(), "L-System Fractal Properties");
    ASSERT_EQ(sheet.tabs()->count(), 2);
    EXPECT_EQ(sheet.tabs()->tabText(0), "Fractal");
    EXPECT_EQ(sheet.tabs()->tabText(1), "Rules");
    EXPECT_EQ(sheet.field(4101)->text(), "F++F++F");

    sheet.field(4101)->setText("f+f");
    sheet.tabs()->setCurrentIndex(1);
    EXPECT_EQ(sheet.tabs()->currentIndex(), 1);
    EXPECT_EQ(sheet.field(4101)->text(), "F+F");
    EXPECT_TRUE(shown().empty());

    sheet.tabs()->setCurrentIndex(0);
    sheet.field(4101)->setText("F 1 F");
    sheet.tabs()->setCurrentIndex(1);
    EXPECT_EQ(sheet.field(4101)->text(), "FF");

    sheet.tabs()->setCurrentIndex(0);
    sheet.field(4101)->setText(" 12 ,");
    sheet.tabs()->setCurrentIndex(1);
    EXPECT_EQ(sheet.tabs()->currentIndex(), 0); // the page stays
    sheet.field(4101)->setText("F[F");
    sheet.tabs()->setCurrentIndex(1);
    EXPECT_EQ(sheet.tabs()->currentIndex(), 0);
    ASSERT_EQ(shown().size(), 2u);
    EXPECT_EQ(shown()[0], kMsgAxiomInvalid);
    EXPECT_EQ(shown()[1], kMsgUnmatchedBrackets);
    EXPECT_EQ(prompts.boxes.shown()[0].title, kWindowTitle);

    // Angles outside their ranges keep the page too.
    sheet.field(4101)->setText("F");
    sheet.field(4102)->setText("181");
    sheet.tabs()->setCurrentIndex(1);
    EXPECT_EQ(sheet.tabs()->currentIndex(), 0);
    sheet.field(4102)->setText("0");
    sheet.tabs()->setCurrentIndex(1);
    EXPECT_EQ(sheet.tabs()->currentIndex(), 0);
    sheet.field(4102)->setText("180");
    sheet.field(4103)->setText("360");
    sheet.tabs()->setCurrentIndex(1);
    EXPECT_EQ(sheet.tabs()->currentIndex(), 0);
    EXPECT_EQ(shown().size(), 5u);

    sheet.fractalDefaults();
    EXPECT_EQ(sheet.field(4101)->text(), "F++F++F");
    EXPECT_EQ(sheet.field(4102)->text(), "60");
    EXPECT_EQ(sheet.field(4103)->text(), "0");
    sheet.tabs()->setCurrentIndex(1);
    EXPECT_EQ(sheet.tabs()->currentIndex(), 1);
}

TEST_F(SheetTest, AddingRulesChecksAndAsksBeforeReplacing)
{
    sheet.tabs()->setCurrentIndex(1);
    EXPECT_EQ(listed(), QStringList{"F=F-F++F-F"});
    QLineEdit* variable = sheet.field(4201);
    QLineEdit* body = sheet.field(4202);

    body->setText("FF");
    sheet.addRule(); // no variable
    variable->setText("1");
    sheet.addRule();
    variable->setText("G");
    body->setText(" 7 ");
    sheet.addRule();
    body->setText("F][F");
    sheet.addRule();
    ASSERT_EQ(shown().size(), 4u);
    EXPECT_EQ(shown()[0], kMsgVariableInvalid);
    EXPECT_EQ(shown()[1], kMsgVariableInvalid);
    EXPECT_EQ(shown()[2], kMsgReplacementInvalid);
    EXPECT_EQ(shown()[3], kMsgUnmatchedBrackets);
    EXPECT_EQ(listed(), QStringList{"F=F-F++F-F"});

    body->setText("g[+g]");
    sheet.addRule();
    EXPECT_EQ(listed(), (QStringList{"F=F-F++F-F", "G=G[+G]"}));
    EXPECT_EQ(shown().size(), 4u);

    // A second rule for F: the question, No keeps the list, Yes replaces the rule.
    variable->setText("F");
    body->setText("FF");
    prompts.boxes.queue(QMessageBox::No);
    sheet.addRule();
    ASSERT_EQ(shown().size(), 5u);
    EXPECT_EQ(shown()[4], "Replace the current production rule for F?");
    EXPECT_EQ(prompts.boxes.shown()[4].title, "Replace Rule");
    EXPECT_EQ(listed(), (QStringList{"F=F-F++F-F", "G=G[+G]"}));
    prompts.boxes.queue(QMessageBox::Yes);
    sheet.addRule();
    EXPECT_EQ(listed(), (QStringList{"F=FF", "G=G[+G]"}));

    // Choosing an entry fills both fields.
    sheet.rules()->setCurrentRow(1);
    EXPECT_EQ(variable->text(), "G");
    EXPECT_EQ(body->text(), "G[+G]");
}

TEST_F(SheetTest, RemovingRulesAndLeavingWithoutAny)
{
    sheet.tabs()->setCurrentIndex(1);
    sheet.rules()->clearSelection();
    sheet.rules()->setCurrentRow(-1);
    sheet.removeRule();
    EXPECT_EQ(shown(), std::vector<std::string>{kMsgNoRuleSelected});
    sheet.rules()->setCurrentRow(0);
    sheet.removeRule();
    EXPECT_EQ(sheet.rules()->count(), 0);
    sheet.tabs()->setCurrentIndex(0);
    EXPECT_EQ(sheet.tabs()->currentIndex(), 1);
    sheet.accept(); // OK checks the page in front as well
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
    EXPECT_EQ(doc->rules(), std::vector<std::string>{"F=F-F++F-F"});
    ASSERT_EQ(shown().size(), 3u);
    EXPECT_EQ(shown()[1], kMsgNoRules);
    EXPECT_EQ(shown()[2], kMsgNoRules);
    sheet.rulesDefaults();
    EXPECT_EQ(listed(), QStringList{"F=F-F++F-F"});
    sheet.tabs()->setCurrentIndex(0);
    EXPECT_EQ(sheet.tabs()->currentIndex(), 0);
}

TEST_F(SheetTest, OkCopiesEverythingAndMarksTheDocument)
{
    EXPECT_FALSE(doc->IsModified());
    sheet.field(2304)->setText("Snow");
    sheet.field(2305)->setText("Ann");
    sheet.notes()->setPlainText("cold");
    sheet.field(4101)->setText("f--f--f");
    sheet.field(4102)->setText("45");
    sheet.field(4103)->setText("90");
    sheet.tabs()->setCurrentIndex(1);
    sheet.field(4201)->setText("X");
    sheet.field(4202)->setText("F-X");
    sheet.addRule();
    sheet.field(4201)->setText("A");
    sheet.field(4202)->setText("B");
    sheet.addRule();
    sheet.accept();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(doc->name(), "Snow");
    EXPECT_EQ(doc->author(), "Ann");
    EXPECT_EQ(doc->notes(), "cold");
    EXPECT_EQ(doc->axiom(), "F--F--F");
    EXPECT_EQ(doc->angleIncrement(), 45);
    EXPECT_EQ(doc->initialAngle(), 90);
    // In the list's order, which is sorted.
    EXPECT_EQ(doc->rules(), (std::vector<std::string>{"A=B", "F=F-F++F-F", "X=F-X"}));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(shown().empty());
}

TEST_F(SheetTest, OkWithoutChangesStillMarksTheDocumentAndCancelChangesNothing)
{
    sheet.accept();
    EXPECT_TRUE(doc->IsModified());

    auto other = CLsystemDoc::makeNew();
    CLsystemPropertiesSheet cancelled(*other, nullptr);
    cancelled.field(4101)->setText("M");
    cancelled.reject();
    EXPECT_EQ(other->axiom(), "F++F++F");
    EXPECT_FALSE(other->IsModified());
}

TEST(LsystemWindow, RightClickMenuWebPageAndProperties)
{
    test::ScriptedPrompts prompts;
    suite::test::TempDir dir;
    CMainWnd main;
    main.resize(700, 500);
    main.show();
    CFractalWnd* frame = main.newDocument(4);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->view()->contextMenuId(), 4099);
    std::unique_ptr<QMenu> menu(main.buildContextMenu(4099, &main));
    QStringList items;
    for (QAction* a : menu->actions())
        items << a->text();
    EXPECT_EQ(items, (QStringList{"&Properties...", "&Refresh"}));

    // A new document has the default rule and can be saved.
    EXPECT_TRUE(main.commandState(cmd::FileSave).enabled);
    auto* doc = static_cast<CLsystemDoc*>(frame->doc());
    EXPECT_EQ(doc->rules(), std::vector<std::string>{"F=F-F++F-F"});

    // The web-page command answers that there is no applet and writes nothing.
    prompts.fileNames.push_back(QString::fromStdString((dir / "page.html").string()));
    main.dispatch(cmd::ExportHtml);
    EXPECT_EQ(prompts.boxes.texts(), std::vector<std::string>{kMsgNoLsystemApplet});
    EXPECT_EQ(prompts.fileNames.size(), 1u); // no file name was asked for
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    // Properties opens the sheet; Cancel leaves the document alone.
    QTimer::singleShot(0, [] {
        auto* sheet = qobject_cast<CLsystemPropertiesSheet*>(QApplication::activeModalWidget());
        ASSERT_NE(sheet, nullptr);
        sheet->reject();
    });
    main.dispatch(cmd::Properties);
    EXPECT_FALSE(doc->IsModified());
}
