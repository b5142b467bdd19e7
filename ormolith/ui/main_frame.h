#pragma once
// The main window: document windows in an MDI area, the menus (short without a document,
// full with one), the toolbar, the status bar, the dock place of the Properties bar, recent
// files and the window placement and bar layout kept in the user's settings.
//
// Hooks for the Properties bar: put its widget into propertiesBar(); follow
// activeDocumentChanged (attach), paramsRefreshRequested (refill), documentAboutToClose
// (detach) and commitEditRequested (end an in-place edit before a build).
#include <QMainWindow>
#include <QMultiMap>
#include <QPointer>
#include <QPrinter>
#include <memory>

class QDockWidget;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace ormolith {

class CChildFrame;
class CFractal_Doc;

// Organisation and application of the settings.
inline constexpr const char* kSettingsCompany = "Ormolith";
inline constexpr const char* kSettingsProgram = "Ormolith";

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame();
    ~CMainFrame() override;

    QMdiArea* mdiArea() const { return mdi_; }
    QDockWidget* propertiesBar() const { return properties_; }
    QToolBar* toolBar() const { return toolbar_; }
    CChildFrame* activeFrame() const;
    QList<CChildFrame*> frames() const;

    // A new document of the kind, in a new window (no build).
    CChildFrame* newDocument(unsigned kind);
    // Opens the file in a new window (or activates the window that has it). Null when it
    // cannot be read (the message was shown).
    CChildFrame* openDocument(const QString& path);
    // The command line's part of start-up: files are opened; without any, a new affine
    // document loads "Sierpinski's Tetrahedron" and builds it. False when files were named
    // and none opened.
    bool startUp(const QStringList& files);

    // Runs a command as if chosen from a menu; ignored while it is disabled.
    void dispatch(int id);
    bool commandEnabled(int id) const;
    bool commandChecked(int id) const;
    void updateCommandStates();
    // The menu bar as texts, for tests and the guide.
    QStringList menuTitles() const;
    QStringList menuItemTexts(const QString& title) const;
    QAction* toolButton(int id) const;

    // The message pane of the status bar.
    QString message() const;
    void setMessage(const QString& text);
    // The progress of a document's build: status bar, or the caption when minimised.
    void showProgress(CChildFrame* frame);
    // Caption from the active document.
    void updateCaption();

    void refreshParams(CChildFrame* frame);
    void commitEdit();
    void documentClosing(CChildFrame* frame);

    void addRecentFile(const QString& path);
    QStringList recentFiles() const;

    // Placement and bar layout to and from the settings.
    void saveWindowState();
    void restoreWindowState();
    QPrinter& printer() { return *printer_; }

    static QString helpPagePath();

signals:
    void activeDocumentChanged(CChildFrame* frame);
    void paramsRefreshRequested(CFractal_Doc* doc);
    void documentAboutToClose(CFractal_Doc* doc);
    void commitEditRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* makeItem(QMenu* menu, int id, const QString& text);
    void buildMenus();
    void buildToolbar();
    void addAccelerator(int id, const QKeySequence& key);
    CChildFrame* addFrame(std::unique_ptr<CFractal_Doc> doc);
    void frameActivated();
    void fileNew();
    void fileOpen();
    void showHelp();
    void fillWindowMenu(QMenu* menu);

    QMdiArea* mdi_;
    QPointer<QObject> current_; // the frame last active
    QToolBar* toolbar_ = nullptr;
    QDockWidget* properties_ = nullptr;
    QLabel* message_ = nullptr;
    bool fullMenu_ = false;
    bool menusBuilt_ = false;
    QMultiMap<int, QAction*> actions_;
    std::unique_ptr<QPrinter> printer_;
};

} // namespace ormolith
