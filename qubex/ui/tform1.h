#pragma once
// The qubex main window: tool bar, menu, drawing area and every command handler. Each
// handler is a short, fixed sequence of model, file and view operations.
#include "files/document.h"
#include "prompts.h"
#include "view/cloud_view.h"

#include <QCursor>
#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

class QAction;
class QActionGroup;
class QFrame;
class QMenu;
class QToolButton;

namespace qubex {

class TBDrag;
class TForm5;

// Cursors registered at start-up under their resource numbers.
enum CursorId { crURL = 1, crZOOM = 2, crTRANSLATE = 3 };

class TForm1 final : public QMainWindow, private DocumentObserver, private MessageSink {
    Q_OBJECT
public:
    using ViewFactory =
        std::function<CloudView*(QWidget* parent, Document& document, const QCursor& zoomCursor)>;
    struct Options {
        QStringList arguments; // the command line after the program name
        bool splash = true;    // the one-second about window at start
        ViewFactory makeView;  // null: the OpenGL view where OpenGL works (makeCloudView)
    };

    TForm1(Prompts& prompts, Options options, QWidget* parent = nullptr);
    ~TForm1() override;

    Document& document() { return document_; }
    CloudView& view() { return *view_; }
    TForm5& codeEditor() { return *editor_; }
    TBDrag& dropTarget() { return *bdrag_; }
    Prompts& prompts() { return prompts_; }
    bool editorOpen() const { return editorOpen_; }
    QAction* action(const QString& name) const; // by handler control name, e.g. "newall1"
    QToolButton* speedButton(int number) const; // 1..6
    const QCursor& cursor(CursorId id) const { return cursors_.at(id); }

    void updateMenuChecks();
    void drawScene() { view_->drawScene(); }
    void refreshCodeEditor();
    void editorClosed(); // the editor's close event

    // Command handlers, named after their controls.
    void newcode1Click();
    void open1Click();
    void savecode1Click();
    void savecodeas1Click();
    void quit1Click();
    void newmatrix1Click();
    void newprobability1Click();
    void newall1Click();
    void N11Click(int matrixLength);
    void other1Click();
    void N1001Click(int iteration);
    void other2Click();
    void backgroundcolor2Click();
    void foregroundcolor1Click();
    void poi1Click();
    void backgroundfog1Click();
    void pointcolor1Click();
    void autocenter1Click();
    void resetview1Click();
    void axisdisplay1Click();
    void gridpoints1Click();
    void gridlines1Click();
    void codeeditor1Click();
    void about1Click();
    void contents1Click();
    void index1Click();
    void aboutIFS1Click();
    void BDrag1Drop();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // DocumentObserver
    void redraw() override { drawScene(); }
    void refreshEditorIfOpen() override;
    void captionChanged(const std::string& caption) override;
    // MessageSink
    void showMessage(const std::string& text, const std::string& title) override;

    void registerCursors();
    void buildClientArea(const ViewFactory& makeView);
    void buildMenu();
    QAction* addItem(QMenu* menu, const QString& name, const QString& text,
                     void (TForm1::*handler)(), const QKeySequence& shortcut = {});
    void refreshIfOpen();
    std::optional<QColor> chooseColor(ColorRef current);

    Prompts& prompts_;
    CRandSource random_;
    Document document_;
    CloudView* view_ = nullptr;
    QTimer spinTimer_;
    TForm5* editor_ = nullptr;
    TBDrag* bdrag_ = nullptr;
    bool editorOpen_ = false;
    bool closed_ = false;
    FileDialogOptions saveDialog_;
    FileDialogOptions openDialog_;
    std::map<int, QCursor> cursors_;
    std::map<QString, QAction*> actions_;
    std::map<int, QAction*> matrixLengthItems_;
    std::map<int, QAction*> iterationItems_;
    QToolButton* speedButtons_[6] = {};
};

} // namespace qubex
