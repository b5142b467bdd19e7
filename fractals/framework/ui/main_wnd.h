#pragma once
// The MDI main window: document windows, the menus of the active document type, toolbar,
// status bar, recent files, and the routing of every command to view, document or window.
#include "fractal_view.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QMap>
#include <QMdiSubWindow>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QMdiArea;
class QLabel;

namespace fractals {

struct DocType;

// One item of a menu a kind adds; id 0 is a separator.
struct MenuItem {
    int id;
    QString text;
};

// A top-level menu of a kind's windows, placed after the menu titled `after`.
struct TypeMenu {
    QString title;
    QString after;
    std::vector<MenuItem> items;
};

// What the window needs of a document kind besides its Qt-free parts. Kinds are registered
// by the program (fractals/window_kinds.cpp), never named by the framework.
struct ViewTemplate {
    const DocType* type = nullptr;
    std::function<std::unique_ptr<CFractalDoc>()> makeDocument;
    std::function<CFractalView*(CFractalDoc*)> makeView;
    std::function<bool(CFractalDoc&, QWidget*)> editProperties; // null: the base does nothing
    bool available = true; // false: opens an empty window, cannot save
    // The document type's MIME icon name (desktop/icons/mimetypes), shown by its windows and
    // properties sheets; empty: the program's icon.
    QString iconName;
    // Menus, accelerators and right-click menus of the kind's windows, in force while one of
    // them is active. Right-click menus by id; each holds its popups in order.
    std::vector<TypeMenu> menus;
    std::vector<std::pair<int, QKeySequence>> accelerators;
    std::map<int, std::vector<std::vector<MenuItem>>> contextMenus;
};

// Adds the window side of a registered kind (the record of that id replaces an earlier one);
// registration order is the order of File New.
void registerViewTemplate(ViewTemplate tmpl);
// The window side of a kind this build has no document class for: an empty document window
// that cannot be saved.
ViewTemplate pendingViewTemplate(const DocType& type);
// In registration order.
const std::deque<ViewTemplate>& viewTemplates();
const ViewTemplate* viewTemplate(int id);

class CMainWnd;

// The frame of one document window: owns the document and its view.
class CFractalWnd : public QMdiSubWindow {
    Q_OBJECT
public:
    CFractalWnd(CMainWnd* main, const ViewTemplate& tmpl, std::unique_ptr<CFractalDoc> doc,
                const QString& title);
    ~CFractalWnd() override;
    const ViewTemplate& viewTemplateOf() const { return m_template; }
    int templateId() const;
    CFractalDoc* doc() const { return m_doc.get(); }
    CFractalView* view() const { return m_view; }
    QString title() const { return m_title; }
    void setTitle(const QString& title);
    // Stops telling the main window about state changes (either of them is going away).
    void detachFromMain();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CMainWnd* m_main;
    const ViewTemplate& m_template;
    std::unique_ptr<CFractalDoc> m_doc;
    CFractalView* m_view;
    QString m_title;
    QMetaObject::Connection m_stateConnection;
};

class CMainWnd : public QMainWindow {
    Q_OBJECT
public:
    CMainWnd();
    ~CMainWnd() override;

    QMdiArea* mdiArea() const { return m_mdi; }
    CFractalWnd* activeFrame() const;
    QList<CFractalWnd*> frames() const;

    CFractalWnd* newDocument(int templateId);
    CFractalWnd* openDocument(const QString& path); // null when refused (the message was shown)
    // The command line's part of start-up: no file offers a new document, files are opened.
    // False when files were named and none of them opened: then start-up fails.
    bool processShellCommand(const QStringList& files);
    bool saveDocument(CFractalWnd* frame, bool askForName);
    bool canCloseFrame(CFractalWnd* frame); // the save question

    // Runs a command as if chosen from a menu; ignored when its state says disabled.
    void dispatch(int id);
    CommandState commandState(int id) const;
    void updateCommandStates();
    // 500 without a document, otherwise the active document's template id.
    int currentMenuId() const { return m_menuId; }
    QStringList menuTitles() const;
    QStringList menuItemTexts(const QString& menuTitle) const;
    QStringList recentFiles() const;
    QString statusText() const;

    // The first popup of a right-click menu resource, as its items' texts and ids.
    QMenu* buildContextMenu(int menuId, QWidget* parent, int popup = 0);

    static QString helpDirectory();
    // The caption names the active document after the application title.
    void updateFrameTitle();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct Item {
        int id;
        QString text;
    };
    QAction* makeItem(QMenu* menu, int id, const QString& text);
    void buildMenus();
    void buildToolbar();
    QAction* addAccelerator(int id, const QKeySequence& key);
    void addTypeMenus(const ViewTemplate& tmpl);
    void installTypeAccelerators(const ViewTemplate* tmpl);
    void addRecentFile(const QString& path);
    void fileNew();
    void fileOpen();
    void exportWebPage(CFractalWnd* frame);
    void showHelp();
    void showAbout();
    void tileWindows(bool horizontally);
    bool frameCommand(CFractalWnd* frame, int id);
    bool frameCommandState(CFractalWnd* frame, int id, CommandState& state) const;
    bool appCommand(int id);
    bool appCommandState(int id, CommandState& state) const;

    QMdiArea* m_mdi;
    QLabel* m_ready;
    QToolBar* m_toolbar = nullptr;
    int m_menuId = 0;
    QMultiMap<int, QAction*> m_actions; // every menu item, toolbar button and accelerator by id
    QMap<int, int> m_untitledCount;     // per template, for "Fractal1", "Fractal2", ...
    QTimer* m_idleTimer;
    std::vector<QAction*> m_typeAccelerators; // of the active window's kind
    std::vector<std::pair<QAction*, QKeySequence>> m_globalAccelerators; // of every window
};

} // namespace fractals
