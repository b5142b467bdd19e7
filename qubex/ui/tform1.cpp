#include "tform1.h"

#include "bdrag.h"
#include "suite_icons.h"
#include "files/ply_file.h"
#include "tform2.h"
#include "tform3.h"
#include "tform5.h"
#include "tform6.h"
#include "view/gl_cloud_view.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QToolButton>
#include <QToolTip>

#include <cstdlib>
#include <ctime>

// Resources of a static library are registered by name before the first lookup (outside any
// namespace: the macro declares the resource's own function).
static void initQubexResources()
{
    Q_INIT_RESOURCE(qubex_ui);
}

namespace qubex {

namespace {

constexpr int kClientWidth = 467;
constexpr int kClientHeight = 416;
constexpr int kDrawingTop = 29;
constexpr int kButtonSize = 27;

constexpr int kMatrixLengthPresets[] = {1, 2, 4, 8, 16, 32};
constexpr int kIterationPresets[] = {100, 1000, 5000, 10000, 32000};

QColor toQColor(ColorRef c)
{
    return QColor(redOf(c), greenOf(c), blueOf(c));
}

ColorRef toColorRef(const QColor& c)
{
    return makeColorRef(c.red(), c.green(), c.blue());
}

// The client area lays itself out as the window did: a bevel line across the top, the speed
// buttons at fixed places, the drawing area from y = 29 down.
class ClientArea final : public QWidget {
public:
    explicit ClientArea(QWidget* parent) : QWidget(parent)
    {
        bevel = new QFrame(this);
        bevel->setFrameShape(QFrame::HLine);
        bevel->setFrameShadow(QFrame::Sunken);
    }
    QFrame* bevel;
    QWidget* drawingArea = nullptr;
    QSize sizeHint() const override { return {kClientWidth, kClientHeight}; }

protected:
    void resizeEvent(QResizeEvent*) override
    {
        bevel->setGeometry(0, 0, width(), 2);
        if (drawingArea)
            drawingArea->setGeometry(0, kDrawingTop, width(), std::max(0, height() - kDrawingTop));
    }
};

// The pictures of the six speed buttons, in button order.
QIcon speedButtonIcon(int button)
{
    static const bool registered = (initQubexResources(), true);
    (void)registered;
    static const char* const names[] = {"new_set",    "new_code",  "new_probability",
                                        "reset_view", "auto_size", "auto_center"};
    return suite::svgIcon(QStringLiteral(":/qubex/icons/%1.svg").arg(names[button - 1]),
                          {20, 40});
}

// The magnifier shown while the right button zooms.
QCursor zoomCursorImage()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    for (const auto& [colour, width] :
         {std::pair{QColor(Qt::white), 4.0}, {QColor(Qt::black), 2.0}}) {
        p.setPen(QPen(colour, width));
        p.drawEllipse(QPointF(12, 12), 8, 8);
        p.drawLine(QPointF(18, 18), QPointF(29, 29));
        p.drawLine(QPointF(8, 12), QPointF(16, 12));
        p.drawLine(QPointF(12, 8), QPointF(12, 16));
    }
    return QCursor(pixmap, 12, 12);
}

} // namespace

TForm1::TForm1(Prompts& prompts, Options options, QWidget* parent)
    : QMainWindow(parent), prompts_(prompts), document_(random_, *this)
{
    setObjectName("Form1");
    // Forms and dialogs opened over this window show the same icon.
    setWindowIcon(suite::programIcon("qubex"));
    if (options.splash) {
        TForm6 splash(true);
        splash.exec();
    }
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    // Hints sit on the buttons' highlight colour (the light edge of a raised button), not on
    // the selection colour.
    QPalette hints = QToolTip::palette();
    hints.setColor(QPalette::ToolTipBase, palette().color(QPalette::Light));
    QToolTip::setPalette(hints);
    registerCursors();
    saveDialog_ = {"save ifs set", "3d ifs set|*.qbx", "qbx", true};
    openDialog_ = {"", "3d ifs set|*.qbx", "qbx", false};

    document_.applySettings(readSettings(settingsFilePath()));
    buildClientArea(options.makeView);
    buildMenu();
    editor_ = new TForm5(*this);
    bdrag_ = new TBDrag(this);
    bdrag_->OnDrop = [this] { BDrag1Drop(); };

    document_.setObserver(this);
    editorOpen_ = false;
    document_.startUntitled();
    document_.newProbabilities();
    document_.newMatrices();
    if (options.arguments.size() == 1 &&
        QFileInfo(options.arguments.first()).suffix().compare("qbx", Qt::CaseInsensitive) == 0)
        document_.loadCode(options.arguments.first().toStdString());
    document_.generatePoints();
    updateMenuChecks();

    // The timer runs only while the view spins: a 1 ms timer left running wakes the program
    // a thousand times a second for nothing.
    spinTimer_.setInterval(1);
    connect(&spinTimer_, &QTimer::timeout, this, [this] {
        view_->timerTick();
        if (!view_->spinning())
            spinTimer_.stop();
    });
    view_->spinStarted = [this] {
        if (!closed_)
            spinTimer_.start();
    };

    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TForm1::~TForm1()
{
    document_.setObserver(nullptr);
    delete bdrag_; // while this window is still whole: it unhooks itself from it
    delete editor_;
}

void TForm1::registerCursors()
{
    cursors_[crURL] = QCursor(Qt::PointingHandCursor);
    cursors_[crZOOM] = zoomCursorImage();
    cursors_[crTRANSLATE] = QCursor(Qt::SizeAllCursor);
}

void TForm1::buildClientArea(const ViewFactory& makeView)
{
    auto* client = new ClientArea(this);
    setCentralWidget(client);
    const struct {
        int left;
        const char* hint;
        void (TForm1::*handler)();
        bool toggle;
    } buttons[] = {
        {2, "generate new set", &TForm1::newall1Click, false},
        {30, "generate new code", &TForm1::newmatrix1Click, false},
        {58, "generate new probability", &TForm1::newprobability1Click, false},
        {96, "reset viewpoint", &TForm1::resetview1Click, false},
        {123, "automatic set sizing", &TForm1::pointcolor1Click, true},
        {150, "automatic placing", &TForm1::autocenter1Click, true},
    };
    for (int i = 0; i < 6; ++i) {
        auto* b = new QToolButton(client);
        b->setObjectName(QString("SpeedButton%1").arg(i + 1));
        b->setGeometry(buttons[i].left, 1, kButtonSize, kButtonSize);
        b->setToolTip(buttons[i].hint);
        b->setIcon(speedButtonIcon(i + 1));
        b->setIconSize(QSize(20, 20));
        b->setAutoRaise(true);
        b->setCheckable(buttons[i].toggle);
        const auto handler = buttons[i].handler;
        connect(b, &QToolButton::clicked, this, [this, handler] { (this->*handler)(); });
        speedButtons_[i] = b;
    }
    const ViewFactory factory =
        makeView ? makeView : [](QWidget* parent, Document& document, const QCursor& zoom) {
            return makeCloudView(document, zoom, parent);
        };
    view_ = factory(client, document_, cursors_[crZOOM]);
    client->drawingArea = view_->widget();
    client->drawingArea->setObjectName("drawingArea");
}

QAction* TForm1::addItem(QMenu* menu, const QString& name, const QString& text,
                         void (TForm1::*handler)(), const QKeySequence& shortcut)
{
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    a->setShortcut(shortcut);
    if (handler)
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    actions_[name] = a;
    return a;
}

void TForm1::buildMenu()
{
    QMenu* file = menuBar()->addMenu("file");
    addItem(file, "newcode1", "new code", &TForm1::newcode1Click, QKeySequence("Ctrl+N"));
    addItem(file, "open1", "open code...", &TForm1::open1Click, QKeySequence("Ctrl+O"));
    addItem(file, "savecode1", "save code...", &TForm1::savecode1Click, QKeySequence("Ctrl+S"));
    addItem(file, "savecodeas1", "save code as...", &TForm1::savecodeas1Click);
    // Beyond the code: the cloud itself, for programs that open point clouds.
    addItem(file, "exportpoints1", "export points...", nullptr);
    connect(actions_["exportpoints1"], &QAction::triggered, this, [this] {
        const QString name =
            prompts_.saveFileName(this, {"export points", "point cloud|*.ply", "ply", true});
        if (!name.isEmpty() && !writePlyFile(name.toStdString(), document_.cloud()))
            prompts_.message(this, kCannotCreateMessage, kTitle);
    });
    file->addSeparator();
    addItem(file, "quit1", "quit", &TForm1::quit1Click, QKeySequence("Ctrl+Q"));

    QMenu* code = menuBar()->addMenu("code");
    addItem(code, "newmatrix1", "new matrix", &TForm1::newmatrix1Click, QKeySequence(Qt::Key_F2));
    addItem(code, "newprobability1", "new probability", &TForm1::newprobability1Click,
            QKeySequence(Qt::Key_F3));
    addItem(code, "newall1", "new all", &TForm1::newall1Click, QKeySequence(Qt::Key_F4));
    code->addSeparator();
    QMenu* length = code->addMenu("matrix length");
    length->menuAction()->setObjectName("matrixlength1");
    for (int value : kMatrixLengthPresets) {
        QAction* a = addItem(length, QString("N%1").arg(value), QString::number(value), nullptr);
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, value] { N11Click(value); });
        matrixLengthItems_[value] = a;
    }
    length->addSeparator();
    addItem(length, "other1", "other...", &TForm1::other1Click)->setCheckable(true);
    QMenu* iteration = code->addMenu("iteration");
    iteration->menuAction()->setObjectName("iteration1");
    for (int value : kIterationPresets) {
        QAction* a = addItem(iteration, QString("N%1").arg(value), QString::number(value), nullptr);
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, value] { N1001Click(value); });
        iterationItems_[value] = a;
    }
    iteration->addSeparator();
    addItem(iteration, "other2", "other...", &TForm1::other2Click)->setCheckable(true);

    QMenu* view = menuBar()->addMenu("view");
    QMenu* colors = view->addMenu("colors");
    addItem(colors, "backgroundcolor2", "background...", &TForm1::backgroundcolor2Click);
    addItem(colors, "foregroundcolor1", "point...", &TForm1::foregroundcolor1Click);
    addItem(colors, "poi1", "fog...", &TForm1::poi1Click);
    colors->addSeparator();
    addItem(colors, "backgroundfog1", "fog = background", &TForm1::backgroundfog1Click);
    view->addSeparator();
    addItem(view, "pointcolor1", "autosize", &TForm1::pointcolor1Click, QKeySequence(Qt::Key_F6))
        ->setCheckable(true);
    addItem(view, "autocenter1", "autocenter", &TForm1::autocenter1Click, QKeySequence(Qt::Key_F7))
        ->setCheckable(true);
    view->addSeparator();
    addItem(view, "resetview1", "reset view", &TForm1::resetview1Click,
            QKeySequence(Qt::Key_Delete));

    QMenu* tools = menuBar()->addMenu("tools");
    addItem(tools, "axisdisplay1", "axis display", &TForm1::axisdisplay1Click)->setCheckable(true);
    addItem(tools, "gridpoints1", "gridpoints", &TForm1::gridpoints1Click)->setCheckable(true);
    addItem(tools, "gridlines1", "gridlines", &TForm1::gridlines1Click)->setCheckable(true);
    tools->addSeparator();
    addItem(tools, "codeeditor1", "code editor...", &TForm1::codeeditor1Click)->setCheckable(true);
    tools->addSeparator();
    addItem(tools, "about1", "about...", &TForm1::about1Click);

    QMenu* help = menuBar()->addMenu("help");
    addItem(help, "contents1", "contents...", &TForm1::contents1Click, QKeySequence(Qt::Key_F1));
    addItem(help, "index1", "index...", &TForm1::index1Click);
    help->addSeparator();
    addItem(help, "aboutIFS1", "about IFS...", &TForm1::aboutIFS1Click);
}

QAction* TForm1::action(const QString& name) const
{
    const auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

QToolButton* TForm1::speedButton(int number) const
{
    return number >= 1 && number <= 6 ? speedButtons_[number - 1] : nullptr;
}

void TForm1::updateMenuChecks()
{
    const int length = document_.code().matrix_length;
    const int iteration = document_.generation().iteration;
    for (auto& [value, item] : matrixLengthItems_)
        item->setChecked(value == length);
    action("other1")->setChecked(!matrixLengthItems_.contains(length));
    for (auto& [value, item] : iterationItems_)
        item->setChecked(value == iteration);
    action("other2")->setChecked(!iterationItems_.contains(iteration));
    const DisplaySettings& d = document_.display();
    action("gridpoints1")->setChecked(d.gridPointsDisplay);
    action("gridlines1")->setChecked(d.gridLinesDisplay);
    action("pointcolor1")->setChecked(document_.generation().autosize);
    action("autocenter1")->setChecked(document_.generation().autocenter);
    action("axisdisplay1")->setChecked(d.axisDisplay);
    speedButtons_[4]->setChecked(document_.generation().autosize);
    speedButtons_[5]->setChecked(document_.generation().autocenter);
    action("codeeditor1")->setChecked(editorOpen_);
}

void TForm1::refreshCodeEditor()
{
    editor_->refreshCodeEditor();
}

void TForm1::refreshIfOpen()
{
    if (editorOpen_)
        refreshCodeEditor();
}

void TForm1::refreshEditorIfOpen()
{
    refreshIfOpen();
}

void TForm1::captionChanged(const std::string& caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

void TForm1::showMessage(const std::string& text, const std::string& title)
{
    prompts_.message(this, QString::fromStdString(text), QString::fromStdString(title));
}

void TForm1::editorClosed()
{
    editorOpen_ = false;
    updateMenuChecks();
}

std::optional<QColor> TForm1::chooseColor(ColorRef current)
{
    return prompts_.color(this, toQColor(current));
}

// --- file menu -------------------------------------------------------------------------

void TForm1::newcode1Click()
{
    document_.startUntitled();
    document_.newProbabilities();
    document_.newMatrices();
    document_.generatePoints();
    drawScene();
    refreshIfOpen();
}

void TForm1::open1Click()
{
    const QString name = prompts_.openFileName(this, openDialog_);
    if (!name.isEmpty()) {
        document_.loadCode(name.toStdString());
        updateMenuChecks(); // a loaded code brings its own matrix length
    }
}

void TForm1::savecode1Click()
{
    std::string path = document_.path();
    if (document_.untitled()) {
        // From now on the save dialog keeps this filter, for "save code as..." too.
        saveDialog_.defaultSuffix = "qbx";
        saveDialog_.filter = "3d ifs set (*.qbx)|*qbx";
        const QString name = prompts_.saveFileName(this, saveDialog_);
        if (name.isEmpty())
            return;
        path = name.toStdString();
    }
    document_.saveCode(path);
}

void TForm1::savecodeas1Click()
{
    const QString name = prompts_.saveFileName(this, saveDialog_);
    if (!name.isEmpty())
        document_.saveCode(name.toStdString());
}

void TForm1::quit1Click()
{
    close();
}

// --- code menu -------------------------------------------------------------------------

void TForm1::newmatrix1Click()
{
    document_.newMatrices();
    document_.generatePoints();
    drawScene();
    refreshIfOpen();
}

void TForm1::newprobability1Click()
{
    document_.newProbabilities();
    document_.generatePoints();
    drawScene();
    refreshIfOpen();
}

void TForm1::newall1Click()
{
    document_.newProbabilities();
    document_.newMatrices();
    document_.generatePoints();
    drawScene();
    refreshIfOpen();
}

void TForm1::N11Click(int matrixLength)
{
    document_.setMatrixLength(matrixLength);
    updateMenuChecks();
    document_.newProbabilities();
    document_.newMatrices();
    document_.generatePoints();
    drawScene();
    refreshCodeEditor(); // the editor object always exists, open or not
}

void TForm1::other1Click()
{
    updateMenuChecks(); // undo the check the click itself put on "other..."
    TForm2 dialog(*this);
    dialog.exec();
}

void TForm1::N1001Click(int iteration)
{
    document_.setIteration(iteration);
    updateMenuChecks();
    document_.generatePoints();
    drawScene();
}

void TForm1::other2Click()
{
    updateMenuChecks();
    TForm3 dialog(*this);
    dialog.exec();
}

// --- view menu -------------------------------------------------------------------------

void TForm1::backgroundcolor2Click()
{
    if (const auto c = chooseColor(document_.display().background_color)) {
        document_.display().background_color = toColorRef(*c);
        view_->setBackgroundColor();
        drawScene();
    }
}

void TForm1::foregroundcolor1Click()
{
    if (const auto c = chooseColor(document_.display().point_color)) {
        document_.display().point_color = toColorRef(*c);
        drawScene();
    }
}

void TForm1::poi1Click()
{
    if (const auto c = chooseColor(document_.display().fog_color)) {
        document_.display().fog_color = toColorRef(*c);
        view_->setFogColor();
        drawScene();
    }
}

void TForm1::backgroundfog1Click()
{
    document_.display().fog_color = document_.display().background_color;
    view_->setFogColor();
    drawScene();
}

void TForm1::pointcolor1Click()
{
    GenerationSettings& g = document_.generation();
    g.autosize = !g.autosize;
    action("pointcolor1")->setChecked(g.autosize);
    action("autocenter1")->setChecked(g.autocenter);
    speedButtons_[4]->setChecked(g.autosize);
    document_.generatePoints();
    drawScene();
}

void TForm1::autocenter1Click()
{
    GenerationSettings& g = document_.generation();
    g.autocenter = !g.autocenter;
    action("autocenter1")->setChecked(g.autocenter);
    speedButtons_[5]->setChecked(g.autocenter);
    document_.generatePoints();
    drawScene();
}

void TForm1::resetview1Click()
{
    view_->resetZoom();
    drawScene();
}

// --- tools menu ------------------------------------------------------------------------

void TForm1::axisdisplay1Click()
{
    document_.display().axisDisplay = !document_.display().axisDisplay;
    updateMenuChecks();
    drawScene();
}

void TForm1::gridpoints1Click()
{
    document_.display().gridPointsDisplay = !document_.display().gridPointsDisplay;
    updateMenuChecks();
    drawScene();
}

void TForm1::gridlines1Click()
{
    document_.display().gridLinesDisplay = !document_.display().gridLinesDisplay;
    updateMenuChecks();
    drawScene();
}

void TForm1::codeeditor1Click()
{
    if (editorOpen_) {
        editor_->close(); // its close event clears the flag
    } else {
        editor_->refreshCodeEditor();
        editor_->show();
        editor_->raise();
        editorOpen_ = true;
    }
    updateMenuChecks();
}

void TForm1::about1Click()
{
    TForm6 about(false, this);
    about.exec();
}

// --- help ------------------------------------------------------------------------------

void TForm1::contents1Click()
{
    prompts_.help({HelpKind::Contents, 0});
}

void TForm1::index1Click()
{
    prompts_.help({HelpKind::Index, 0});
}

void TForm1::aboutIFS1Click()
{
    prompts_.help({HelpKind::Topic, 2});
}

// --- dropped files ---------------------------------------------------------------------

void TForm1::BDrag1Drop()
{
    if (bdrag_->FileCount < 1)
        return;
    if (bdrag_->Extension.first().compare("qbx", Qt::CaseInsensitive) == 0) {
        document_.loadCode(bdrag_->NameWithPath.first().toStdString());
        updateMenuChecks();
    } else
        prompts_.message(this, kNotACodeMessage, kTitle);
}

// --- window events ---------------------------------------------------------------------

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // A drawing area without an OpenGL context cannot show anything: say so and end.
    QTimer::singleShot(0, this, [this] {
        if (!closed_ && !view_->viewUsable()) {
            prompts_.message(this, "ChoosePixelFormat failed", "Error");
            close();
        }
    });
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (!closed_) {
        closed_ = true;
        spinTimer_.stop();
        view_->releaseView();
        writeSettings(settingsFilePath(), document_.settingsToSave());
    }
    if (editor_)
        editor_->hide();
    event->accept();
}

} // namespace qubex
