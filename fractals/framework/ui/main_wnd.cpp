#include "main_wnd.h"

#include "commands.h"
#include "doc_types.h"
#include "file_header.h"
#include "icons.h"
#include "prompts.h"
#include "shared_palette.h"
#include "suite_version.h"
#include "web_page.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

namespace fractals {

namespace {

// Status text (first line) and tooltip (second line) of each command.
const QMap<int, QString>& commandStrings()
{
    static const QMap<int, QString> strings = {
        {cmd::Properties, "Edits the current fractal's properties\nFractal Properties"},
        {cmd::ExportBitmap, "Exports the current fractal as a bitmap\nExport as Bitmap"},
        {cmd::ExportHtml, "Exports the current fractals as an HTML file\nExport as HTML"},
        {cmd::Start, "Starts generating the current fractal\nStart"},
        {cmd::Pause, "Pauses the generation of the fractal\nPause"},
        {cmd::Stop, "Stops the generation of the fractal\nStop"},
        {cmd::Refresh, "Refreshs the current window\nRefresh"},
        {cmd::Cycle, "Animates the palette\nCycle Palette"},
        {cmd::ResetPalette, "Resets the current palette\nReset Palette"},
        {cmd::EditPalette, "Edits the palette for Henon fractals\nEdit Palette"},
        {cmd::ZoomIn, "Zoom In\nZoom In"},
        {cmd::ZoomOut, "Zoom Out\nZoom Out"},
        {cmd::ResetZoom, "Resets the current fractal's equation\nReset Zoom"},
        {cmd::Reset, "Resets the current view\nReset"},
        {cmd::FileNew, "Create a new document\nNew"},
        {cmd::FileOpen, "Open an existing document\nOpen"},
        {cmd::FileClose, "Close the active document\nClose"},
        {cmd::FileSave, "Save the active document\nSave"},
        {cmd::FileSaveAs, "Save the active document with a new name\nSave As"},
        {cmd::AppExit, "Quit the application; prompts to save documents\nExit"},
        {cmd::AppAbout, "Display program information, version number and copyright\nAbout"},
        {cmd::HelpFinder, "List Help topics\nHelp Topics"},
        {cmd::WindowArrange, "Arrange icons at the bottom of the window\nArrange Icons"},
        {cmd::WindowCascade, "Arrange windows so they overlap\nCascade Windows"},
        {cmd::WindowTileHorz, "Arrange windows as non-overlapping tiles\nTile Windows"},
        {cmd::WindowTileVert, "Arrange windows as non-overlapping tiles\nTile Windows"},
        {cmd::ViewToolbar, "Show or hide the toolbar\nToggle ToolBar"},
        {cmd::ViewStatusBar, "Show or hide the status bar\nToggle StatusBar"},
        {cmd::EditCut, "Cut the selection and put it on the Clipboard\nCut"},
        {cmd::EditCopy, "Copy the selection and put it on the Clipboard\nCopy"},
        {cmd::EditPaste, "Insert Clipboard contents\nPaste"},
        {cmd::EditClear, "Erase the selection\nErase"},
        {cmd::EditUndo, "Undo the last action\nUndo"},
        {cmd::NewFrame, "Adds a new frame\nNew Frame"},
        {cmd::FrameProperties, "Edits the frame's properties\nFrame Properties"},
        {cmd::BringToFront, "Brings the frame to the front\nBring to Front"},
        {cmd::SendToBack, "Sends the frame to the back\nSend to Back"},
    };
    return strings;
}

QString statusLine(int id)
{
    return commandStrings().value(id).section('\n', 0, 0);
}

QString tooltipLine(int id)
{
    return commandStrings().value(id).section('\n', 1, 1);
}

const char* const kSettingsOrg = "Calvetra";
const char* const kSettingsApp = "Kaleidra 98";
constexpr int kRecentFiles = 4;

} // namespace

// ---------------------------------------------------------------------------------------

CFractalWnd::CFractalWnd(CMainWnd* main, const ViewTemplate& tmpl, std::unique_ptr<CFractalDoc> doc,
                         const QString& title)
    : m_main(main), m_template(tmpl), m_doc(std::move(doc))
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_view = tmpl.makeView(m_doc.get());
    setWidget(m_view);
    setWindowIcon(docTypeIcon(tmpl));
    setTitle(title);
    m_stateConnection = connect(this, &QMdiSubWindow::windowStateChanged, this,
                                [this] { m_main->updateFrameTitle(); });
    connect(m_view, &CFractalView::contextMenuRequested, this,
            [this](int menuId, QPoint pos, int popup) {
                if (QMenu* menu = m_main->buildContextMenu(menuId, this, popup)) {
                    menu->exec(pos);
                    delete menu;
                }
            });
}

CFractalWnd::~CFractalWnd()
{
    // The base class still changes state as it goes, when this window no longer exists.
    detachFromMain();
    // The view's thread reads the document: end it before the document goes.
    if (m_view)
        m_view->ControlRender(CFractalView::Stop);
    delete widget();
}

void CFractalWnd::detachFromMain()
{
    disconnect(m_stateConnection);
}

int CFractalWnd::templateId() const
{
    return m_template.type->id;
}

void CFractalWnd::setTitle(const QString& title)
{
    m_title = title;
    setWindowTitle(title);
    m_main->updateFrameTitle();
}

void CFractalWnd::closeEvent(QCloseEvent* event)
{
    if (!m_main->canCloseFrame(this)) {
        event->ignore();
        return;
    }
    m_view->ControlRender(CFractalView::Stop);
    QMdiSubWindow::closeEvent(event);
}

// ---------------------------------------------------------------------------------------

CMainWnd::CMainWnd()
{
    setWindowTitle(kWindowTitle);
    setWindowIcon(programIcon());
    setObjectName("CMainWnd");
    m_mdi = new QMdiArea;
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    setAcceptDrops(true);

    m_ready = new QLabel("Ready");
    statusBar()->addWidget(m_ready, 1);
    buildToolbar();

    addAccelerator(cmd::FileNew, QKeySequence("Ctrl+N"));
    addAccelerator(cmd::FileOpen, QKeySequence("Ctrl+O"));
    addAccelerator(cmd::FileSave, QKeySequence("Ctrl+S"));
    addAccelerator(cmd::Stop, QKeySequence(Qt::Key_Escape));
    addAccelerator(cmd::HelpFinder, QKeySequence(Qt::Key_F1));
    addAccelerator(cmd::Refresh, QKeySequence(Qt::Key_F5));
    addAccelerator(cmd::Start, QKeySequence(Qt::Key_F8));
    addAccelerator(cmd::Pause, QKeySequence(Qt::Key_Pause));
    addAccelerator(cmd::Properties, QKeySequence(Qt::ALT | Qt::Key_Return));
    // Either Enter key, the keypad's included.
    addAccelerator(cmd::Properties, QKeySequence(Qt::ALT | Qt::Key_Enter));
    // A kind may give one of these keys a command of its own (the IFS window's Alt+Enter
    // opens the frame's properties); the kind's keys are installed over them.
    for (QAction* a : actions())
        m_globalAccelerators.emplace_back(a, a->shortcut());

    connect(m_mdi, &QMdiArea::subWindowActivated, this, [this] {
        buildMenus();
        updateCommandStates();
        updateFrameTitle();
    });
    buildMenus();

    QSettings settings(kSettingsOrg, kSettingsApp);
    restoreState(settings.value("Toolbars/State").toByteArray());

    // The framework's idle update: menus and buttons follow the run state of the views.
    m_idleTimer = new QTimer(this);
    m_idleTimer->setInterval(200);
    connect(m_idleTimer, &QTimer::timeout, this, &CMainWnd::updateCommandStates);
    m_idleTimer->start();
    resize(900, 680);
}

CMainWnd::~CMainWnd()
{
    // Child windows go after this object: their last activation signals must not reach it.
    m_mdi->disconnect(this);
    m_idleTimer->stop();
    for (CFractalWnd* frame : frames()) {
        frame->view()->ControlRender(CFractalView::Stop);
        frame->detachFromMain();
    }
}

void CMainWnd::closeEvent(QCloseEvent* event)
{
    for (CFractalWnd* frame : frames()) {
        if (!canCloseFrame(frame)) {
            event->ignore();
            return;
        }
    }
    for (CFractalWnd* frame : frames())
        frame->view()->ControlRender(CFractalView::Stop);
    QSettings settings(kSettingsOrg, kSettingsApp);
    settings.setValue("Toolbars/State", saveState());
    // Modified documents were answered above; close them without asking again.
    for (CFractalWnd* frame : frames())
        frame->doc()->SetModifiedFlag(false);
    m_mdi->closeAllSubWindows();
    event->accept();
}

CFractalWnd* CMainWnd::activeFrame() const
{
    return qobject_cast<CFractalWnd*>(m_mdi->activeSubWindow());
}

QList<CFractalWnd*> CMainWnd::frames() const
{
    QList<CFractalWnd*> list;
    for (QMdiSubWindow* w : m_mdi->subWindowList())
        if (auto* f = qobject_cast<CFractalWnd*>(w))
            list.append(f);
    return list;
}

QAction* CMainWnd::addAccelerator(int id, const QKeySequence& key)
{
    auto* a = new QAction(this);
    a->setShortcut(key);
    a->setShortcutContext(Qt::WindowShortcut);
    connect(a, &QAction::triggered, this, [this, id] { dispatch(id); });
    addAction(a);
    return a;
}

QAction* CMainWnd::makeItem(QMenu* menu, int id, const QString& text)
{
    QAction* a = menu->addAction(text);
    a->setData(id);
    a->setStatusTip(statusLine(id));
    connect(a, &QAction::triggered, this, [this, id] { dispatch(id); });
    m_actions.insert(id, a);
    return a;
}

void CMainWnd::buildToolbar()
{
    m_toolbar = addToolBar("Fractals");
    m_toolbar->setObjectName("Toolbar");
    m_toolbar->setIconSize(QSize(16, 16));
    struct Button {
        int id;
        const char* icon;
    };
    const std::vector<std::vector<Button>> groups = {
        {{cmd::FileNew, "new"},
         {cmd::FileOpen, "open"},
         {cmd::FileSave, "save"},
         {cmd::Properties, "properties"}},
        {{cmd::EditCut, "cut"},
         {cmd::EditCopy, "copy"},
         {cmd::EditPaste, "paste"},
         {cmd::EditClear, "delete"}},
        {{cmd::EditUndo, "undo"}},
        {{cmd::Refresh, "refresh"}},
        {{cmd::Start, "start"}, {cmd::Pause, "pause"}, {cmd::Stop, "stop"}},
        {{cmd::NewFrame, "new_frame"},
         {cmd::FrameProperties, "frame_properties"},
         {cmd::BringToFront, "bring_to_front"},
         {cmd::SendToBack, "send_to_back"}},
        {{cmd::ZoomIn, "zoom_in"},
         {cmd::ResetZoom, "reset_zoom"},
         {cmd::ZoomOut, "zoom_out"},
         {cmd::Cycle, "cycle_palette"}},
    };
    bool first = true;
    for (const auto& group : groups) {
        if (!first)
            m_toolbar->addSeparator();
        first = false;
        for (const auto& b : group) {
            QAction* a = m_toolbar->addAction(toolIcon(b.icon), tooltipLine(b.id));
            a->setData(b.id);
            a->setStatusTip(statusLine(b.id));
            a->setToolTip(tooltipLine(b.id));
            const int id = b.id;
            connect(a, &QAction::triggered, this, [this, id] { dispatch(id); });
            m_actions.insert(id, a);
        }
    }
}

void CMainWnd::addTypeMenus(const ViewTemplate& tmpl)
{
    for (const TypeMenu& m : tmpl.menus) {
        QAction* before = nullptr;
        const QList<QAction*> top = menuBar()->actions();
        for (qsizetype k = 0; k + 1 < top.size(); ++k)
            if (top[k]->text() == m.after)
                before = top[k + 1];
        auto* menu = new QMenu(m.title, menuBar());
        if (before)
            menuBar()->insertMenu(before, menu);
        else
            menuBar()->addMenu(menu);
        for (const MenuItem& item : m.items) {
            if (item.id == 0)
                menu->addSeparator();
            else
                makeItem(menu, item.id, item.text);
        }
    }
}

void CMainWnd::installTypeAccelerators(const ViewTemplate* tmpl)
{
    // Kinds may give one key different commands (Ctrl+C cycles a palette but copies frames),
    // so only the active kind's keys exist at any time.
    for (QAction* a : m_typeAccelerators)
        delete a;
    m_typeAccelerators.clear();
    for (const auto& [action, key] : m_globalAccelerators) {
        bool taken = false;
        if (tmpl)
            for (const auto& own : tmpl->accelerators)
                taken = taken || own.second == key;
        // Two actions on one key would make the key do nothing at all.
        action->setShortcut(taken ? QKeySequence() : key);
    }
    if (!tmpl)
        return;
    for (const auto& [id, key] : tmpl->accelerators)
        m_typeAccelerators.push_back(addAccelerator(id, key));
}

void CMainWnd::buildMenus()
{
    CFractalWnd* frame = activeFrame();
    const int menuId = frame ? frame->templateId() : 500;
    if (menuId == m_menuId)
        return;
    m_menuId = menuId;
    installTypeAccelerators(frame ? &frame->viewTemplateOf() : nullptr);
    // Drop the old menu items (toolbar buttons and accelerators stay).
    for (auto it = m_actions.begin(); it != m_actions.end();) {
        if (qobject_cast<QMenu*>(it.value()->parent()))
            it = m_actions.erase(it);
        else
            ++it;
    }
    menuBar()->clear();
    for (QMenu* old : menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        old->deleteLater();

    QMenu* file = menuBar()->addMenu("&Fractals");
    makeItem(file, cmd::FileNew, "&New...\tCtrl+N");
    makeItem(file, cmd::FileOpen, "&Open...\tCtrl+O");
    if (menuId != 500) {
        makeItem(file, cmd::FileSave, "&Save\tCtrl+S");
        makeItem(file, cmd::FileSaveAs, "Save &As...");
        makeItem(file, cmd::FileClose, "&Close");
        file->addSeparator();
        makeItem(file, cmd::Properties,
                 menuId == 3 ? "P&roperties..." : "P&roperties...\tAlt+Enter");
        QMenu* exportMenu = file->addMenu("Ex&port");
        makeItem(exportMenu, cmd::ExportBitmap, "Windows &Bitmap...");
        if (menuId != 4)
            makeItem(exportMenu, cmd::ExportHtml, "&Web Page (HTML)");
    }
    file->addSeparator();
    const QStringList recent = recentFiles();
    for (int k = 0; k < recent.size(); ++k)
        makeItem(file, cmd::Mru1 + k,
                 QString("&%1 %2").arg(k + 1).arg(QDir::toNativeSeparators(recent[k])));
    if (!recent.isEmpty())
        file->addSeparator();
    makeItem(file, cmd::AppExit, "E&xit");

    QMenu* view = menuBar()->addMenu("&View");
    QAction* toolbarItem = makeItem(view, cmd::ViewToolbar, "&Toolbar");
    QAction* statusItem = makeItem(view, cmd::ViewStatusBar, "&Status Bar");
    toolbarItem->setCheckable(true);
    statusItem->setCheckable(true);
    // The framework lists the status bar first.
    view->removeAction(statusItem);
    view->insertAction(toolbarItem, statusItem);
    if (menuId != 500) {
        const bool zoomType = menuId == 7 || menuId == 8 || menuId == 9;
        const bool paletteType = zoomType || menuId == 6;
        if (zoomType || paletteType || menuId == 4)
            view->addSeparator();
        if (zoomType) {
            makeItem(view, cmd::ZoomIn, "&Zoom In\t+");
            makeItem(view, cmd::ZoomOut, "Zoom &Out\t-");
            makeItem(view, cmd::ResetZoom, "Reset Zoo&m");
            makeItem(view, cmd::Properties, "Zoom...");
            makeItem(view, cmd::Reset, "&Reset\tCtrl+R");
            view->addSeparator();
        }
        if (paletteType) {
            makeItem(view, cmd::Properties, "Edit E&quation...");
            makeItem(view, cmd::Cycle, "&Cycle\tCtrl+C");
            makeItem(view, cmd::ResetPalette, "Reset &Palette");
            makeItem(view, cmd::EditPalette, "&Edit Palette...");
        }
        if (menuId == 4)
            makeItem(view, cmd::Properties, "P&roperties...");
        view->addSeparator();
        makeItem(view, cmd::Refresh, "Re&fresh\tF5");

        QMenu* run = menuBar()->addMenu("&Run");
        makeItem(run, cmd::Start, "&Start\tF8");
        makeItem(run, cmd::Pause, "&Pause\tPause");
        makeItem(run, cmd::Stop, "S&top\tEsc");
        run->addSeparator();
        makeItem(run, cmd::ExportBitmap, menuId == 3 ? "&Save Bitmap..." : "&Make Bitmap...");

        QMenu* window = menuBar()->addMenu("&Window");
        makeItem(window, cmd::WindowArrange, "&Arrange All");
        makeItem(window, cmd::WindowCascade, "&Cascade ");
        makeItem(window, cmd::WindowTileHorz, "&Tile Horizontally");
        makeItem(window, cmd::WindowTileVert, "Tile &Vertically");
    }
    if (frame)
        addTypeMenus(frame->viewTemplateOf());
    QMenu* help = menuBar()->addMenu("&Help");
    makeItem(help, cmd::HelpFinder, "&Help Topics\tF1");
    help->addSeparator();
    makeItem(help, cmd::AppAbout, "&About...");
    for (QMenu* m : menuBar()->findChildren<QMenu*>())
        connect(m, &QMenu::aboutToShow, this, &CMainWnd::updateCommandStates);
    for (QAction* a : m_actions) {
        const int id = a->data().toInt();
        if (id == cmd::Start || id == cmd::Pause || id == cmd::Stop || id == cmd::Cycle)
            a->setCheckable(true);
    }
    updateCommandStates();
}

QStringList CMainWnd::menuTitles() const
{
    QStringList titles;
    for (QAction* a : menuBar()->actions())
        titles << a->text();
    return titles;
}

QStringList CMainWnd::menuItemTexts(const QString& menuTitle) const
{
    QStringList texts;
    for (QAction* a : menuBar()->actions()) {
        if (a->text() != menuTitle || !a->menu())
            continue;
        for (QAction* item : a->menu()->actions())
            if (!item->isSeparator())
                texts << item->text();
    }
    return texts;
}

QString CMainWnd::statusText() const
{
    const QString temporary = statusBar()->currentMessage();
    return temporary.isEmpty() ? m_ready->text() : temporary;
}

QMenu* CMainWnd::buildContextMenu(int menuId, QWidget* parent, int popup)
{
    std::vector<std::pair<int, QString>> items;
    const CFractalWnd* frame = activeFrame();
    const auto own = frame ? frame->viewTemplateOf().contextMenus.find(menuId)
                           : std::map<int, std::vector<std::vector<MenuItem>>>::const_iterator{};
    if (frame && own != frame->viewTemplateOf().contextMenus.end()) {
        if (popup < 0 || popup >= static_cast<int>(own->second.size()))
            return nullptr;
        for (const MenuItem& item : own->second[static_cast<std::size_t>(popup)])
            items.emplace_back(item.id, item.text);
    } else
        switch (menuId) {
        case 7099:
            items = {{cmd::Properties, "P&roperties..."},
                     {0, {}},
                     {cmd::Refresh, "Re&fresh"},
                     {0, {}},
                     {cmd::Properties, "Edit E&quation..."},
                     {cmd::ResetPalette, "Reset &Palette"},
                     {cmd::Cycle, "&Cycle"}};
            break;
        case 6099:
        case 5099:
            items = {{cmd::Properties, "P&roperties..."},
                     {cmd::Reset, "&Reset"},
                     {cmd::Refresh, "Re&fresh"},
                     {0, {}},
                     {cmd::Properties, "Edit E&quation..."},
                     {cmd::ResetPalette, "Reset &Palette"},
                     {cmd::Cycle, "&Cycle"}};
            break;
        default:
            items = {{cmd::Properties, "&Properties..."}, {cmd::Refresh, "&Refresh"}};
            break;
        }
    auto* menu = new QMenu(parent);
    for (const auto& [id, text] : items) {
        if (id == 0) {
            menu->addSeparator();
            continue;
        }
        QAction* a = menu->addAction(text);
        const CommandState state = commandState(id);
        a->setEnabled(state.enabled);
        if (state.checked) {
            a->setCheckable(true);
            a->setChecked(true);
        }
        const int commandId = id;
        connect(a, &QAction::triggered, this, [this, commandId] { dispatch(commandId); });
    }
    return menu;
}

// ---------------------------------------------------------------------------------------
// Command routing: active view, then its document and frame, then the application.

CommandState CMainWnd::commandState(int id) const
{
    CommandState state;
    if (CFractalWnd* frame = activeFrame()) {
        if (frame->view()->updateCommand(id, state) && id != cmd::Properties)
            return state;
        CommandState docState;
        if (frameCommandState(frame, id, docState)) {
            // Properties: the view may forbid it while running; the document handles it.
            if (id == cmd::Properties)
                docState.enabled = docState.enabled && state.enabled;
            return docState;
        }
        if (id == cmd::Properties)
            return CommandState{};
    }
    appCommandState(id, state);
    return state;
}

void CMainWnd::updateCommandStates()
{
    for (auto it = m_actions.begin(); it != m_actions.end(); ++it) {
        const CommandState s = commandState(it.key());
        it.value()->setEnabled(s.enabled);
        if (it.value()->isCheckable())
            it.value()->setChecked(s.checked);
    }
}

void CMainWnd::dispatch(int id)
{
    if (!commandState(id).enabled)
        return;
    if (CFractalWnd* frame = activeFrame()) {
        if (frame->view()->onCommand(id)) {
            updateCommandStates();
            return;
        }
        if (frameCommand(frame, id)) {
            updateCommandStates();
            return;
        }
    }
    appCommand(id);
    updateCommandStates();
}

bool CMainWnd::frameCommandState(CFractalWnd* frame, int id, CommandState& state) const
{
    const bool available = frame->viewTemplateOf().available;
    switch (id) {
    case cmd::Properties:
        state.enabled = static_cast<bool>(frame->viewTemplateOf().editProperties);
        return true;
    case cmd::FileSave:
    case cmd::FileSaveAs:
    case cmd::ExportHtml:
        state.enabled = available;
        return true;
    case cmd::FileClose:
    case cmd::WindowArrange:
    case cmd::WindowCascade:
    case cmd::WindowTileHorz:
    case cmd::WindowTileVert:
        state.enabled = true;
        return true;
    }
    return false;
}

bool CMainWnd::frameCommand(CFractalWnd* frame, int id)
{
    switch (id) {
    case cmd::Properties:
        if (frame->viewTemplateOf().editProperties)
            frame->viewTemplateOf().editProperties(*frame->doc(), this);
        return true;
    case cmd::FileSave:
        saveDocument(frame, false);
        return true;
    case cmd::FileSaveAs:
        saveDocument(frame, true);
        return true;
    case cmd::ExportHtml:
        exportWebPage(frame);
        return true;
    case cmd::FileClose:
        frame->close();
        return true;
    case cmd::WindowArrange:
    case cmd::WindowTileVert:
        tileWindows(false);
        return true;
    case cmd::WindowCascade:
        m_mdi->cascadeSubWindows();
        return true;
    case cmd::WindowTileHorz:
        tileWindows(true);
        return true;
    }
    return false;
}

bool CMainWnd::appCommandState(int id, CommandState& state) const
{
    switch (id) {
    case cmd::FileNew:
    case cmd::FileOpen:
    case cmd::AppExit:
    case cmd::AppAbout:
    case cmd::HelpFinder:
        state.enabled = true;
        return true;
    case cmd::ViewToolbar:
        state.enabled = true;
        state.checked = m_toolbar->isVisible();
        return true;
    case cmd::ViewStatusBar:
        state.enabled = true;
        state.checked = statusBar()->isVisible();
        return true;
    }
    if (id >= cmd::Mru1 && id < cmd::Mru1 + kRecentFiles) {
        state.enabled = true;
        return true;
    }
    return false;
}

bool CMainWnd::appCommand(int id)
{
    switch (id) {
    case cmd::FileNew:
        fileNew();
        return true;
    case cmd::FileOpen:
        fileOpen();
        return true;
    case cmd::AppExit:
        close();
        return true;
    case cmd::AppAbout:
        showAbout();
        return true;
    case cmd::HelpFinder:
        showHelp();
        return true;
    case cmd::ViewToolbar:
        m_toolbar->setVisible(!m_toolbar->isVisible());
        return true;
    case cmd::ViewStatusBar:
        statusBar()->setVisible(!statusBar()->isVisible());
        return true;
    }
    if (id >= cmd::Mru1 && id < cmd::Mru1 + kRecentFiles) {
        const QStringList recent = recentFiles();
        const int k = id - cmd::Mru1;
        if (k < recent.size())
            openDocument(recent[k]);
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------
// Documents

CFractalWnd* CMainWnd::newDocument(int templateId)
{
    const ViewTemplate* tmpl = viewTemplate(templateId);
    if (!tmpl)
        return nullptr;
    const int number = ++m_untitledCount[templateId];
    const QString title = QString::fromStdString(tmpl->type->field(1)) + QString::number(number);
    auto* frame = new CFractalWnd(this, *tmpl, tmpl->makeDocument(), title);
    m_mdi->addSubWindow(frame);
    frame->resize(420, 320);
    frame->show();
    m_mdi->setActiveSubWindow(frame);
    return frame;
}

CFractalWnd* CMainWnd::openDocument(const QString& path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    for (CFractalWnd* frame : frames()) {
        if (QString::fromStdString(frame->doc()->pathName().string()) == full) {
            m_mdi->setActiveSubWindow(frame);
            return frame;
        }
    }
    const std::string fullStd = full.toStdString();
    const DocType* type = docTypeByExtension(QString("." + QFileInfo(path).suffix()).toStdString());
    const ViewTemplate* tmpl = type ? viewTemplate(type->id) : nullptr;
    if (!tmpl) {
        showMessage(this, QString::fromStdString(
                              loadFailureMessage(fullStd, "The file is not a fractal document.")));
        return nullptr;
    }
    if (!tmpl->available) {
        showMessage(this,
                    QString::fromStdString(loadFailureMessage(
                        fullStd, type->field(2) + " documents cannot be opened in this version.")));
        return nullptr;
    }
    std::string bytes, reason;
    if (!readWholeFile(fullStd, bytes, &reason)) {
        showMessage(this, QString::fromStdString(loadFailureMessage(fullStd, reason)));
        return nullptr;
    }
    std::unique_ptr<CFractalDoc> doc = tmpl->makeDocument();
    try {
        doc->loadFromBytes(bytes);
    } catch (const ArchiveException& e) {
        showMessage(this, QString::fromStdString(
                              loadFailureMessage(fullStd, documentFailureReason(bytes, e))));
        return nullptr;
    }
    doc->setPathName(fullStd);
    auto* frame = new CFractalWnd(this, *tmpl, std::move(doc), QFileInfo(full).fileName());
    m_mdi->addSubWindow(frame);
    frame->resize(420, 320);
    frame->show();
    m_mdi->setActiveSubWindow(frame);
    addRecentFile(full);
    return frame;
}

bool CMainWnd::processShellCommand(const QStringList& files)
{
    if (files.isEmpty()) {
        // Once the event loop runs, so that the main window is up behind the choice.
        QTimer::singleShot(0, this, [this] { dispatch(cmd::FileNew); });
        return true;
    }
    bool opened = false;
    for (const QString& f : files)
        opened = openDocument(f) != nullptr || opened;
    return opened;
}

bool CMainWnd::saveDocument(CFractalWnd* frame, bool askForName)
{
    if (!frame->viewTemplateOf().available)
        return false;
    const DocType* type = frame->viewTemplateOf().type;
    QString path = QString::fromStdString(frame->doc()->pathName().string());
    if (askForName || path.isEmpty()) {
        const QString filter =
            QString::fromStdString(type->field(3) + "|*" + type->field(4) + "|All Files (*.*)|*.*");
        path =
            prompts().saveFileName(this, "Save As", qtFilter(filter),
                                   QString::fromStdString(type->field(4)).mid(1), frame->title());
        if (path.isEmpty())
            return false;
    }
    const QString full = QFileInfo(path).absoluteFilePath();
    std::string reason;
    if (!writeFileSafely(full.toStdString(), frame->doc()->saveToBytes(), &reason)) {
        showMessage(this,
                    QString("Failed to save document.\n%1").arg(QString::fromStdString(reason)));
        return false;
    }
    frame->doc()->setPathName(full.toStdString());
    frame->doc()->SetModifiedFlag(false);
    frame->setTitle(QFileInfo(full).fileName());
    addRecentFile(full);
    return true;
}

bool CMainWnd::canCloseFrame(CFractalWnd* frame)
{
    if (!frame->doc()->IsModified() || !frame->viewTemplateOf().available)
        return true;
    const auto answer = prompts().message(
        this, QString("Save changes to %1?").arg(frame->title()), kWindowTitle,
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Question);
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::Yes)
        return saveDocument(frame, false);
    return true;
}

void CMainWnd::fileNew()
{
    QStringList names;
    for (const ViewTemplate& t : viewTemplates())
        names << QString::fromStdString(t.type->field(2));
    const int choice = prompts().chooseItem(this, "New", "New", names);
    if (choice >= 0)
        newDocument(viewTemplates()[static_cast<std::size_t>(choice)].type->id);
}

void CMainWnd::fileOpen()
{
    QString filter;
    for (const ViewTemplate& t : viewTemplates())
        filter += QString::fromStdString(t.type->field(3) + "|*" + t.type->field(4) + "|");
    filter += "All Files (*.*)|*.*";
    const QString path = prompts().openFileName(this, "Open", qtFilter(filter));
    if (!path.isEmpty())
        openDocument(path);
}

QStringList CMainWnd::recentFiles() const
{
    QSettings settings(kSettingsOrg, kSettingsApp);
    QStringList list;
    for (int k = 1; k <= kRecentFiles; ++k) {
        const QString f = settings.value(QString("Recent File List/File%1").arg(k)).toString();
        if (!f.isEmpty())
            list << f;
    }
    return list;
}

void CMainWnd::addRecentFile(const QString& path)
{
    QStringList list = recentFiles();
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > kRecentFiles)
        list.removeLast();
    QSettings settings(kSettingsOrg, kSettingsApp);
    for (int k = 1; k <= kRecentFiles; ++k)
        settings.setValue(QString("Recent File List/File%1").arg(k),
                          k <= list.size() ? list[k - 1] : QString());
    m_menuId = 0; // rebuild so the list shows
    buildMenus();
}

void CMainWnd::exportWebPage(CFractalWnd* frame)
{
    if (const char* refusal = frame->doc()->webPageRefusal()) {
        showMessage(this, refusal);
        return;
    }
    const QString path = prompts().saveFileName(
        this, "Export as HTML", qtFilter("Web Page (*.html)|*.html;*.htm|All Files (*.*)|*.*"),
        "html", QFileInfo(frame->title()).completeBaseName() + ".html");
    if (path.isEmpty())
        return;
    std::string title = frame->doc()->name();
    if (title.empty())
        title = frame->title().toStdString();
    if (!writeFileSafely(path.toStdString(), utf8ToCp1252(makeWebPage(*frame->doc(), title)))) {
        showMessage(this, kMsgHtmlCreateFailed);
        return;
    }
    prompts().message(this, kMsgHtmlNote, kWindowTitle, QMessageBox::Ok, QMessageBox::Information);
}

void CMainWnd::tileWindows(bool horizontally)
{
    const QList<CFractalWnd*> list = frames();
    if (list.isEmpty())
        return;
    const QRect area = m_mdi->viewport()->rect();
    const int n = static_cast<int>(list.size());
    for (int k = 0; k < n; ++k) {
        QRect r;
        if (horizontally) // one above the other
            r = QRect(0, area.height() * k / n, area.width(),
                      area.height() * (k + 1) / n - area.height() * k / n);
        else
            r = QRect(area.width() * k / n, 0, area.width() * (k + 1) / n - area.width() * k / n,
                      area.height());
        list[k]->showNormal();
        list[k]->setGeometry(r);
    }
}

void CMainWnd::updateFrameTitle()
{
    // A maximized document window adds " - [title]" to the caption by itself.
    const CFractalWnd* frame = activeFrame();
    setWindowTitle(frame && !frame->isMaximized()
                       ? QString("%1 - %2").arg(kWindowTitle, frame->title())
                       : QString(kWindowTitle));
}

QString CMainWnd::helpDirectory()
{
    // Beside the executable in a build tree, or under share/ when installed.
    const QString dir = QCoreApplication::applicationDirPath();
    if (dir.isEmpty())
        return {};
    for (const QString& candidate : {dir + "/help", dir + "/../share/fractals/help"})
        if (QFileInfo::exists(candidate + "/index.html"))
            return QDir::cleanPath(candidate);
    return dir + "/help";
}

void CMainWnd::showHelp()
{
    const QString page = helpDirectory() + "/index.html";
    if (!QFileInfo::exists(page) || !QDesktopServices::openUrl(QUrl::fromLocalFile(page)))
        showMessage(this, "Kaleidra was unable to open the help file. Please note that you must "
                          "have a web browser "
                          "to view the help, since it is in HTML format.");
}

void CMainWnd::showAbout()
{
    const QString text =
        QString("<b>%1</b><br>Version %2.%3.%4.%5 (suite %6)<br>%7<br><br>%8")
            .arg(kWindowTitle)
            .arg(kProgramVersion[0])
            .arg(kProgramVersion[1])
            .arg(kProgramVersion[2])
            .arg(kProgramVersion[3])
            .arg(SUITE_VERSION)
            .arg(QString::fromUtf8(kNoticeText))
            .arg("A multi-document explorer of two-dimensional fractals: Mandelbrot and Julia "
                 "sets, Henon maps, iterated function systems and L-Systems.");
    prompts().message(this, text, QString("About %1...").arg(kWindowTitle), QMessageBox::Ok,
                      QMessageBox::Information);
}

void CMainWnd::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainWnd::dropEvent(QDropEvent* event)
{
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            openDocument(url.toLocalFile());
    event->acceptProposedAction();
}

} // namespace fractals
