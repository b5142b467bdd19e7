#include "main_frame.h"

#include "about_box.h"
#include "child_frame.h"
#include "commands.h"
#include "fractal_view.h"
#include "icons.h"
#include "prompts.h"
#include "properties_bar.h"
#include "samples.h"
#include "view_state.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>

namespace ormolith {

namespace {

// Fly-by status text (first line) and tool tip (after the line feed) of each command.
const QMap<int, QString>& commandStrings()
{
    static const QMap<int, QString> strings = {
        {cmd::FileNew, "Create a new document\nNew"},
        {cmd::FileOpen, "Open an existing document\nOpen"},
        {cmd::FileCloseFractal, "Close fractal document\nClose"},
        {cmd::FileSave, "Save the active document\nSave"},
        {cmd::FileSaveAs, "Save the active document with a new name\nSave As"},
        {cmd::SaveBitmapAs, "Save the built picture as a bitmap file\nSave Bitmap"},
        {cmd::FilePrint, "Print the active document\nPrint"},
        {cmd::FilePrintPreview, "Display full pages\nPrint Preview"},
        {cmd::FilePrintSetup, "Change the printer and printing options\nPrint Setup"},
        {cmd::AppExit, "Quit the application; prompts to save documents\nExit"},
        {cmd::ViewToolbar, "Show or hide the toolbar\nToggle ToolBar"},
        {cmd::ViewStatusBar, "Show or hide the status bar\nToggle StatusBar"},
        {cmd::ViewProperties, "Show or hide the Properties bar\nToggle Properties"},
        {cmd::RebuildFractal, "Build the fractal\nRebuild"},
        {cmd::BuildFractal, "Build the fractal\nBuild"},
        {cmd::AutoCam, "Point the camera at the fractal and build it\nAutoCam"},
        {cmd::ZoomOut, "Build the part inside the selected rectangle\nZoom"},
        {cmd::StopBuilding, "Stop building the fractal\nStop"},
        {cmd::BuildAnimation,
         "Edit the key frames of an animation and write it as a video\nAnimation"},
        {cmd::SizeCustom, "Choose the width and height of the picture\nCustom size"},
        {cmd::SizeVariable, "Build pictures as large as the window\nVariable size"},
        {cmd::WindowCascade, "Arrange windows so they overlap\nCascade Windows"},
        {cmd::WindowTile, "Arrange windows as non-overlapping tiles\nTile Windows"},
        {cmd::WindowArrange, "Arrange icons at the bottom of the window\nArrange Icons"},
        {cmd::Help, "Display help for current task or command\nHelp"},
        {cmd::AppAbout, "Display program information, version number and copyright\nAbout"},
    };
    return strings;
}

QString statusLine(int id)
{
    if (id >= cmd::SampleFirst && id <= cmd::SampleLast)
        return QString("Load the sample %1 and build it").arg(kSampleNames[id - cmd::SampleFirst]);
    if (id >= cmd::Size100x100 && id <= cmd::Size1024x768)
        return "Build pictures of this size";
    return commandStrings().value(id).section('\n', 0, 0);
}

QString tooltipLine(int id)
{
    return commandStrings().value(id).section('\n', 1, 1);
}

struct FixedSize {
    unsigned width, height;
};
constexpr FixedSize kFixedSizes[] = {{100, 100}, {320, 240}, {640, 480}, {800, 600}, {1024, 768}};

QString canonical(const QString& path)
{
    const QFileInfo info(path);
    const QString c = info.canonicalFilePath();
    return c.isEmpty() ? info.absoluteFilePath() : c;
}

} // namespace

CMainFrame::CMainFrame() : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setObjectName("CMainFrame");
    setWindowTitle(kAppTitle);
    setWindowIcon(appIcon());
    mdi_ = new QMdiArea;
    mdi_->setObjectName("MdiArea");
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);
    setAcceptDrops(true);

    buildToolbar();
    message_ = new QLabel("Ready");
    message_->setObjectName("Message");
    statusBar()->addWidget(message_, 1);
    // The lock-key panes of the status bar; the toolkit cannot read the lock states, so they
    // are shown as the panes they are, greyed.
    for (const char* pane : {"CAP", "NUM", "SCRL"}) {
        auto* label = new QLabel(pane);
        label->setEnabled(false);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        statusBar()->addPermanentWidget(label);
    }

    auto* bar = new PropertiesBar(this);
    properties_ = bar;
    properties_->setObjectName("PropertiesBar");
    properties_->setAllowedAreas(Qt::AllDockWidgetAreas);
    addDockWidget(Qt::LeftDockWidgetArea, properties_);
    connect(properties_, &QDockWidget::visibilityChanged, this, [this] { updateCommandStates(); });
    connect(this, &CMainFrame::activeDocumentChanged, bar,
            [bar](CChildFrame* frame) { bar->attach(frame ? &frame->doc() : nullptr); });
    connect(this, &CMainFrame::paramsRefreshRequested, bar, [bar](CFractal_Doc* doc) {
        if (doc != nullptr && doc == bar->document())
            bar->refill();
    });
    connect(this, &CMainFrame::documentAboutToClose, bar, [bar](CFractal_Doc* doc) {
        if (doc == bar->document())
            bar->attach(nullptr);
    });
    connect(this, &CMainFrame::commitEditRequested, bar, &PropertiesBar::endEdit);
    bar->setErrorSink([](QWidget* parent, const QString& text) {
        ask(parent, text, QMessageBox::Ok, QMessageBox::Warning);
    });
    bar->setBusyCheck([this](const CFractal_Doc& doc) {
        for (CChildFrame* frame : frames())
            if (&frame->doc() == &doc)
                return frame->isBuilding();
        return false;
    });
    connect(bar, &PropertiesBar::parameterChanged, this, [this] {
        updateCaption();
        updateCommandStates();
    });

    addAccelerator(cmd::FileNew, QKeySequence("Ctrl+N"));
    addAccelerator(cmd::FileOpen, QKeySequence("Ctrl+O"));
    addAccelerator(cmd::FileSave, QKeySequence("Ctrl+S"));
    addAccelerator(cmd::FilePrint, QKeySequence("Ctrl+P"));
    addAccelerator(cmd::BuildFractal, QKeySequence(Qt::Key_F7));
    addAccelerator(cmd::RebuildFractal, QKeySequence(Qt::CTRL | Qt::Key_F7));
    addAccelerator(cmd::AutoCam, QKeySequence(Qt::Key_F10));
    addAccelerator(cmd::BuildAnimation, QKeySequence(Qt::Key_F11));
    addAccelerator(cmd::StopBuilding, QKeySequence(Qt::SHIFT | Qt::Key_F7));
    // Ctrl+Break: X11 reports Break as Ctrl with the Pause key.
    addAccelerator(cmd::StopBuilding, QKeySequence(Qt::CTRL | Qt::Key_Pause));
    addAccelerator(cmd::Help, QKeySequence(Qt::Key_F1));

    connect(mdi_, &QMdiArea::subWindowActivated, this, &CMainFrame::frameActivated);
    buildMenus();
    restoreWindowState();
}

CMainFrame::~CMainFrame()
{
    // Frames go first, while this window still exists: each stops and waits for its worker.
    mdi_->disconnect(this);
    properties_->disconnect(this);
    // The bar holds the active document; it lets go before the documents die.
    static_cast<PropertiesBar*>(properties_)->attach(nullptr);
    disconnect(this, nullptr, properties_, nullptr);
    // Closed frames wait for their deferred deletion outside the window list; they go too.
    for (CChildFrame* frame : mdi_->findChildren<CChildFrame*>()) {
        frame->disconnect(this);
        delete frame;
    }
}

CChildFrame* CMainFrame::activeFrame() const
{
    if (auto* active = qobject_cast<CChildFrame*>(mdi_->activeSubWindow()))
        return active;
    // While the main window is inactive or minimised the MDI area reports no active window;
    // the one last active is still the one the commands and the caption are about.
    // Kept as a plain object: a frame being destroyed is no frame any more, and has left the
    // list already.
    const QObject* last = current_.data();
    for (QMdiSubWindow* w : mdi_->subWindowList())
        if (last && w == last)
            return qobject_cast<CChildFrame*>(w);
    return nullptr;
}

QList<CChildFrame*> CMainFrame::frames() const
{
    QList<CChildFrame*> list;
    for (QMdiSubWindow* w : mdi_->subWindowList())
        if (auto* f = qobject_cast<CChildFrame*>(w))
            list.append(f);
    return list;
}

// ---------------------------------------------------------------------------------------
// Menus, toolbar, keys

void CMainFrame::addAccelerator(int id, const QKeySequence& key)
{
    auto* a = new QAction(this);
    a->setShortcut(key);
    a->setShortcutContext(Qt::WindowShortcut);
    connect(a, &QAction::triggered, this, [this, id] { dispatch(id); });
    addAction(a);
}

QAction* CMainFrame::makeItem(QMenu* menu, int id, const QString& text)
{
    QAction* a = menu->addAction(text);
    a->setData(id);
    a->setStatusTip(statusLine(id));
    connect(a, &QAction::triggered, this, [this, id] { dispatch(id); });
    actions_.insert(id, a);
    return a;
}

void CMainFrame::buildToolbar()
{
    toolbar_ = addToolBar("Standard");
    toolbar_->setObjectName("Toolbar");
    toolbar_->setIconSize(QSize(16, 16));
    struct Button {
        int id;
        const char* icon;
    };
    const std::vector<std::vector<Button>> groups = {
        {{cmd::FileNew, "new"},
         {cmd::FileOpen, "open"},
         {cmd::FileSave, "save"},
         {cmd::SaveBitmapAs, "save_bitmap"}},
        {{cmd::FilePrint, "print"}},
        {{cmd::RebuildFractal, "rebuild"}, {cmd::StopBuilding, "stop"}},
        {{cmd::AppAbout, "about"}},
    };
    bool first = true;
    for (const auto& group : groups) {
        if (!first)
            toolbar_->addSeparator();
        first = false;
        for (const Button& b : group) {
            QAction* a = toolbar_->addAction(toolIcon(b.icon), tooltipLine(b.id));
            a->setData(b.id);
            a->setObjectName(QString("tool%1").arg(b.id));
            a->setToolTip(tooltipLine(b.id));
            a->setStatusTip(statusLine(b.id));
            const int id = b.id;
            connect(a, &QAction::triggered, this, [this, id] { dispatch(id); });
            actions_.insert(id, a);
        }
    }
}

QAction* CMainFrame::toolButton(int id) const
{
    for (QAction* a : toolbar_->actions())
        if (a->data().toInt() == id)
            return a;
    return nullptr;
}

void CMainFrame::buildMenus()
{
    const bool full = activeFrame() != nullptr;
    if (menusBuilt_ && full == fullMenu_)
        return;
    menusBuilt_ = true;
    fullMenu_ = full;
    // Menu items go; toolbar buttons and keys stay.
    for (auto it = actions_.begin(); it != actions_.end();) {
        if (qobject_cast<QMenu*>(it.value()->parent()) || it.value()->parent() == menuBar())
            it = actions_.erase(it);
        else
            ++it;
    }
    menuBar()->clear();
    for (QMenu* old : menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        old->deleteLater();

    QMenu* file = menuBar()->addMenu("&File");
    makeItem(file, cmd::FileNew, "&New...\tCtrl+N");
    makeItem(file, cmd::FileOpen, "&Open...\tCtrl+O");
    if (full) {
        makeItem(file, cmd::FileCloseFractal, "&Close");
        makeItem(file, cmd::FileSave, "&Save\tCtrl+S");
        makeItem(file, cmd::FileSaveAs, "Save &As...");
        makeItem(file, cmd::SaveBitmapAs, "Save &Bitmap As...");
        file->addSeparator();
        makeItem(file, cmd::FilePrint, "&Print...\tCtrl+P");
        makeItem(file, cmd::FilePrintPreview, "Print Pre&view");
    } else {
        file->addSeparator();
    }
    makeItem(file, cmd::FilePrintSetup, "P&rint Setup...");
    const QStringList recent = recentFiles();
    if (!recent.isEmpty())
        file->addSeparator();
    for (int k = 0; k < recent.size(); ++k)
        makeItem(file, cmd::FileMru1 + k,
                 QString("&%1 %2").arg(k + 1).arg(QDir::toNativeSeparators(recent[k])));
    file->addSeparator();
    makeItem(file, cmd::AppExit, "E&xit");

    QMenu* view = menuBar()->addMenu("&View");
    makeItem(view, cmd::ViewToolbar, "&Toolbar")->setCheckable(true);
    makeItem(view, cmd::ViewStatusBar, "&Status Bar")->setCheckable(true);
    makeItem(view, cmd::ViewProperties, "&Properties")->setCheckable(true);

    if (full) {
        QMenu* build = menuBar()->addMenu("&Build");
        makeItem(build, cmd::RebuildFractal, "&Build fractal\tCtrl+F7");
        makeItem(build, cmd::AutoCam, "&AutoCam\tF10");
        makeItem(build, cmd::ZoomOut, "&Zoom out");
        makeItem(build, cmd::StopBuilding, "&Stop building\tShift+F7");
        makeItem(build, cmd::BuildAnimation, "Build a&nimation...\tF11");
        build->addSeparator();
        QMenu* sizes = build->addMenu("Bitmap &size");
        for (int k = 0; k < 5; ++k)
            makeItem(sizes, cmd::Size100x100 + k,
                     QString("%1x%2").arg(kFixedSizes[k].width).arg(kFixedSizes[k].height));
        sizes->addSeparator();
        makeItem(sizes, cmd::SizeCustom, "&Custom size...");
        makeItem(sizes, cmd::SizeVariable, "&Variable size");

        QMenu* samples = menuBar()->addMenu("&Samples");
        for (int k = 0; k < kSampleCount; ++k)
            makeItem(samples, cmd::SampleFirst + k, kSampleNames[k]);

        QMenu* window = menuBar()->addMenu("&Window");
        connect(window, &QMenu::aboutToShow, this, [this, window] { fillWindowMenu(window); });
        fillWindowMenu(window);
    }

    QMenu* help = menuBar()->addMenu("&Help");
    makeItem(help, cmd::Help, "&Help\tF1");
    help->addSeparator();
    makeItem(help, cmd::AppAbout, "&About Ormolith...");
    for (QMenu* m : menuBar()->findChildren<QMenu*>())
        connect(m, &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);
    updateCommandStates();
}

void CMainFrame::fillWindowMenu(QMenu* menu)
{
    for (QAction* a : menu->actions()) {
        actions_.remove(a->data().toInt(), a);
        menu->removeAction(a);
        a->deleteLater();
    }
    makeItem(menu, cmd::WindowCascade, "&Cascade");
    makeItem(menu, cmd::WindowTile, "&Tile");
    makeItem(menu, cmd::WindowArrange, "&Arrange Icons");
    const QList<CChildFrame*> list = frames();
    if (!list.isEmpty())
        menu->addSeparator();
    for (int k = 0; k < list.size(); ++k) {
        CChildFrame* frame = list[k];
        QAction* a = menu->addAction(QString("&%1 %2").arg(k + 1).arg(frame->windowTitle()));
        a->setCheckable(true);
        a->setChecked(frame == activeFrame());
        connect(a, &QAction::triggered, this, [this, frame] { mdi_->setActiveSubWindow(frame); });
    }
    updateCommandStates();
}

QStringList CMainFrame::menuTitles() const
{
    QStringList titles;
    for (QAction* a : menuBar()->actions())
        titles << a->text();
    return titles;
}

QStringList CMainFrame::menuItemTexts(const QString& title) const
{
    QStringList texts;
    for (QAction* a : menuBar()->actions()) {
        if (a->text() != title || !a->menu())
            continue;
        for (QAction* item : a->menu()->actions())
            if (!item->isSeparator())
                texts << item->text();
    }
    return texts;
}

// ---------------------------------------------------------------------------------------
// Command states and routing

bool CMainFrame::commandEnabled(int id) const
{
    const CChildFrame* frame = activeFrame();
    const bool building = frame && frame->isBuilding();
    switch (id) {
    case cmd::FileCloseFractal:
    case cmd::FilePrint:
    case cmd::FilePrintPreview:
        return frame != nullptr;
    case cmd::FileSave:
    case cmd::FileSaveAs:
    case cmd::SaveBitmapAs:
        return frame && !building;
    case cmd::BuildFractal:
    case cmd::ZoomOut:
    case cmd::AutoCam:
    case cmd::RebuildFractal:
    case cmd::FractalPreview:
        return frame && !building && frame->doc().scene();
    case cmd::StopBuilding:
        return building;
    case cmd::BuildAnimation:
        // Also while building: the command then says why it cannot open the dialog.
        return frame && frame->doc().scene();
    case cmd::WindowCascade:
    case cmd::WindowTile:
    case cmd::WindowArrange:
        return frame != nullptr;
    default:
        break;
    }
    // The worker reads the requested size, so it stays while a build runs.
    if (id >= cmd::Size100x100 && id <= cmd::SizeVariable)
        return frame && !building;
    if (id >= cmd::SampleFirst && id <= cmd::SampleLast)
        return frame != nullptr;
    return true;
}

bool CMainFrame::commandChecked(int id) const
{
    switch (id) {
    case cmd::ViewToolbar:
        return toolbar_->isVisibleTo(const_cast<CMainFrame*>(this));
    case cmd::ViewStatusBar:
        return statusBar()->isVisibleTo(const_cast<CMainFrame*>(this));
    case cmd::ViewProperties:
        return properties_->isVisibleTo(const_cast<CMainFrame*>(this));
    default:
        return false;
    }
}

void CMainFrame::updateCommandStates()
{
    for (auto it = actions_.begin(); it != actions_.end(); ++it) {
        it.value()->setEnabled(commandEnabled(it.key()));
        if (it.value()->isCheckable())
            it.value()->setChecked(commandChecked(it.key()));
    }
}

void CMainFrame::dispatch(int id)
{
    if (!commandEnabled(id))
        return;
    CChildFrame* frame = activeFrame();
    if (id >= cmd::SampleFirst && id <= cmd::SampleLast) {
        if (frame)
            frame->loadSample(id - cmd::SampleFirst);
        return;
    }
    if (id >= cmd::Size100x100 && id <= cmd::Size1024x768) {
        if (frame) {
            const FixedSize s = kFixedSizes[id - cmd::Size100x100];
            frame->view()->setFixedBitmapSize(s.width, s.height);
        }
        return;
    }
    if (id >= cmd::FileMru1 && id < cmd::FileMru1 + cmd::kRecentFiles) {
        const QStringList recent = recentFiles();
        const int k = id - cmd::FileMru1;
        if (k < recent.size())
            openDocument(recent[k]);
        return;
    }
    switch (id) {
    case cmd::FileNew:
        fileNew();
        break;
    case cmd::FileOpen:
        fileOpen();
        break;
    case cmd::FileCloseFractal:
        if (frame)
            frame->close();
        break;
    case cmd::FileSave:
        if (frame)
            frame->save(false);
        break;
    case cmd::FileSaveAs:
        if (frame)
            frame->save(true);
        break;
    case cmd::SaveBitmapAs:
        if (frame)
            frame->saveBitmapAs();
        break;
    case cmd::FilePrint:
        if (frame)
            frame->print(*printer_);
        break;
    case cmd::FilePrintPreview:
        if (frame)
            frame->printPreview(*printer_);
        break;
    case cmd::FilePrintSetup: {
        QPageSetupDialog dialog(printer_.get(), this);
        dialog.exec();
        break;
    }
    case cmd::AppExit:
        close();
        break;
    case cmd::ViewToolbar:
        toolbar_->setVisible(!toolbar_->isVisible());
        break;
    case cmd::ViewStatusBar:
        statusBar()->setVisible(!statusBar()->isVisible());
        break;
    case cmd::ViewProperties:
        properties_->setVisible(!properties_->isVisible());
        break;
    case cmd::BuildFractal:
    case cmd::ZoomOut:
    case cmd::AutoCam:
    case cmd::RebuildFractal:
    case cmd::FractalPreview:
        if (frame)
            frame->startBuild(id);
        break;
    case cmd::StopBuilding:
        if (frame)
            frame->stopBuild();
        break;
    case cmd::BuildAnimation:
        if (frame)
            frame->buildAnimation();
        break;
    case cmd::SizeCustom:
        if (frame)
            frame->view()->customSize();
        break;
    case cmd::SizeVariable:
        if (frame)
            frame->view()->variableSize();
        break;
    case cmd::WindowCascade:
        mdi_->cascadeSubWindows();
        break;
    case cmd::WindowTile:
        mdi_->tileSubWindows();
        break;
    case cmd::WindowArrange:
        // Minimised windows line up along the bottom edge.
        for (QMdiSubWindow* w : mdi_->subWindowList())
            if (w->isMinimized())
                w->showMinimized();
        break;
    case cmd::Help:
        showHelp();
        break;
    case cmd::AppAbout: {
        CAboutDlg about(this);
        about.exec();
        break;
    }
    default:
        break;
    }
    updateCommandStates();
}

// ---------------------------------------------------------------------------------------
// Documents

void CMainFrame::frameActivated()
{
    if (auto* active = qobject_cast<CChildFrame*>(mdi_->activeSubWindow()))
        current_ = active;
    buildMenus();
    CChildFrame* frame = activeFrame();
    if (frame && !frame->isBuilding())
        frame->view()->takeClientSize();
    updateCaption();
    updateCommandStates();
    emit activeDocumentChanged(frame);
}

CChildFrame* CMainFrame::newDocument(unsigned kind)
{
    return addFrame(std::make_unique<CFractal_Doc>(kind));
}

CChildFrame* CMainFrame::addFrame(std::unique_ptr<CFractal_Doc> doc)
{
    auto* frame = new CChildFrame(this, std::move(doc));
    connect(frame, &CChildFrame::buildStateChanged, this, &CMainFrame::updateCommandStates);
    connect(frame, &QObject::destroyed, this, [this] {
        buildMenus();
        updateCaption();
        updateCommandStates();
    });
    mdi_->addSubWindow(frame);
    frame->show();
    // A new view shows a 320 x 240 client area until its first picture.
    if (frame->view()->displayBitmap().isNull())
        frame->view()->fitClientArea(320, 240);
    frame->view()->takeClientSize();
    mdi_->setActiveSubWindow(frame);
    frameActivated();
    return frame;
}

CChildFrame* CMainFrame::openDocument(const QString& path)
{
    const QString wanted = canonical(path);
    for (CChildFrame* frame : frames()) {
        if (!frame->path().isEmpty() && canonical(frame->path()) == wanted) {
            mdi_->setActiveSubWindow(frame);
            return frame;
        }
    }
    auto doc = std::make_unique<CFractal_Doc>();
    if (!doc->openDocument(path.toStdString())) {
        QString text = QString::fromUtf8(kOpenFailedText);
        if (!doc->lastError().empty())
            text += "\n" + QString::fromStdString(doc->lastError());
        ask(this, text, QMessageBox::Ok, QMessageBox::Warning);
        return nullptr;
    }
    CChildFrame* frame = addFrame(std::move(doc));
    frame->setPath(QFileInfo(path).absoluteFilePath());
    addRecentFile(QFileInfo(path).absoluteFilePath());
    refreshParams(frame);
    return frame;
}

bool CMainFrame::startUp(const QStringList& files)
{
    if (files.isEmpty()) {
        CChildFrame* frame = newDocument(kAffineType);
        frame->loadSample(2); // "Sierpinski's Tetrahedron"
        return true;
    }
    bool any = false;
    for (const QString& file : files)
        any = openDocument(file) != nullptr || any;
    return any;
}

void CMainFrame::fileNew()
{
    const int kind = prompts().newFractalKind(this);
    if (kind < 0)
        return;
    newDocument(unsigned(kind));
}

void CMainFrame::fileOpen()
{
    const QString path =
        prompts().openFileName(this, "Open", "Fractal Document (*.ifs);;All Files (*)");
    if (!path.isEmpty())
        openDocument(path);
}

void CMainFrame::refreshParams(CChildFrame* frame)
{
    emit paramsRefreshRequested(frame ? &frame->doc() : nullptr);
}

void CMainFrame::commitEdit()
{
    emit commitEditRequested();
}

void CMainFrame::documentClosing(CChildFrame* frame)
{
    emit documentAboutToClose(&frame->doc());
}

QStringList CMainFrame::recentFiles() const
{
    QSettings settings(kSettingsCompany, kSettingsProgram);
    QStringList list;
    for (int k = 1; k <= cmd::kRecentFiles; ++k) {
        const QString f = settings.value(QString("Recent File List/File%1").arg(k)).toString();
        if (!f.isEmpty())
            list << f;
    }
    return list;
}

void CMainFrame::addRecentFile(const QString& path)
{
    QStringList list = recentFiles();
    list.removeAll(path);
    list.prepend(path);
    while (list.size() > cmd::kRecentFiles)
        list.removeLast();
    QSettings settings(kSettingsCompany, kSettingsProgram);
    settings.remove("Recent File List");
    for (int k = 0; k < list.size(); ++k)
        settings.setValue(QString("Recent File List/File%1").arg(k + 1), list[k]);
    menusBuilt_ = false;
    buildMenus();
}

// ---------------------------------------------------------------------------------------
// Status and caption

QString CMainFrame::message() const
{
    return message_->text();
}

void CMainFrame::setMessage(const QString& text)
{
    message_->setText(text);
}

void CMainFrame::updateCaption()
{
    CChildFrame* frame = activeFrame();
    setWindowTitle(frame ? QString("%1 - %2").arg(kAppTitle, frame->windowTitle())
                         : QString(kAppTitle));
}

void CMainFrame::showProgress(CChildFrame* frame)
{
    const CFractal_Doc& doc = frame->doc();
    const QString title = QString::fromStdString(doc.title());
    if (!frame->isBuilding()) {
        if (frame == activeFrame())
            updateCaption();
        const ImageBuffer& image = doc.image;
        if (!image.statusText.empty())
            setMessage(QString::fromStdString(image.statusPrefix + image.statusText));
        return;
    }
    const double progress = doc.scene()->progressPercent.load();
    if (isMinimized()) {
        if (progress >= 0)
            setWindowTitle(QString::asprintf("[%3.1f%%] ", progress) + title);
        return;
    }
    const QString status = QString::fromStdString(doc.image.statusText);
    QString text = QString::fromStdString(doc.image.statusPrefix);
    if (progress >= 0)
        text += QString::asprintf("[%3.1f%%] ", progress) + status;
    else
        text += status;
    setMessage(text);
    updateCaption();
}

// ---------------------------------------------------------------------------------------
// Settings, closing, help, drops

void CMainFrame::saveWindowState()
{
    QSettings settings(kSettingsCompany, kSettingsProgram);
    static_cast<PropertiesBar*>(properties_)->saveSizes(settings, "BarState");
    settings.setValue("BarState/State", saveState());
    WindowPlacement placement;
    const Qt::WindowStates state = windowState();
    placement.flags = state & Qt::WindowMaximized ? kRestoreToMaximised : 0;
    placement.showCmd = state & Qt::WindowMinimized ? 2 : state & Qt::WindowMaximized ? 3 : 1;
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    placement.left = normal.left();
    placement.top = normal.top();
    placement.right = normal.left() + normal.width();
    placement.bottom = normal.top() + normal.height();
    settings.setValue("WindowPlacement/Main Window",
                      QString::fromStdString(formatPlacement(placement)));
}

void CMainFrame::restoreWindowState()
{
    QSettings settings(kSettingsCompany, kSettingsProgram);
    auto* bar = static_cast<PropertiesBar*>(properties_);
    bar->loadSizes(settings, "BarState");
    restoreState(settings.value("BarState/State").toByteArray());
    bar->applySize();
    const std::optional<WindowPlacement> placement =
        parsePlacement(settings.value("WindowPlacement/Main Window").toString().toStdString());
    if (!placement) {
        resize(900, 680);
        return;
    }
    // Always the normal rectangle: a window saved minimised or maximised opens normal.
    setWindowState(Qt::WindowNoState);
    setGeometry(placement->left, placement->top,
                std::max(1, placement->right - placement->left),
                std::max(1, placement->bottom - placement->top));
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    for (CChildFrame* frame : frames()) {
        // A frame that is building or whose save question was cancelled stays open.
        if (!frame->close()) {
            event->ignore();
            return;
        }
    }
    saveWindowState();
    event->accept();
}

QString CMainFrame::helpPagePath()
{
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {dir + "/help/index.html", dir + "/../share/ormolith/help/index.html"}) {
        if (QFileInfo::exists(candidate))
            return QDir::cleanPath(QFileInfo(candidate).absoluteFilePath());
    }
    return dir + "/help/index.html";
}

void CMainFrame::showHelp()
{
    const QString page = helpPagePath();
    if (!QFileInfo::exists(page) || !QDesktopServices::openUrl(QUrl::fromLocalFile(page)))
        ask(this,
            QString("Ormolith could not open its help page\n%1\nin a web browser.").arg(page),
            QMessageBox::Ok, QMessageBox::Warning);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            openDocument(url.toLocalFile());
    event->acceptProposedAction();
}

} // namespace ormolith
