#include "child_frame.h"

#include "bmp_writer.h"
#include "commands.h"
#include "fractal_view.h"
#include "icons.h"
#include "main_frame.h"
#include "prompts.h"
#include "view_state.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>
#include <new>

namespace ormolith {

namespace {

MemoryStatusSource& memorySource()
{
    static MemoryStatusSource source;
    return source;
}

constexpr int kProgressInterval = 250; // ms: four refreshes a second

} // namespace

void setMemoryStatusSource(MemoryStatusSource source)
{
    memorySource() = std::move(source);
}

CChildFrame::CChildFrame(CMainFrame* main, std::unique_ptr<CFractal_Doc> doc)
    : main_(main), doc_(std::move(doc))
{
    setAttribute(Qt::WA_DeleteOnClose);
    view_ = new CFractal_View(*doc_, worker_);
    setWidget(view_);
    setWindowIcon(kindIcon(doc_->kind));
    refreshTitle();
    progressTimer_.setInterval(kProgressInterval);
    connect(&progressTimer_, &QTimer::timeout, this, &CChildFrame::updateProgress);
    connect(view_, &CFractal_View::statusMessage, main_, &CMainFrame::setMessage);
    connect(&worker_, &BuildWorker::runningChanged, this, &CChildFrame::buildStateChanged);
    connect(&worker_, &BuildWorker::statusChanged, this, &CChildFrame::setStatus);
    connect(&worker_, &BuildWorker::statusPrefixChanged, this, [this](const QString& text) {
        doc_->image.statusPrefix = text.toStdString();
        updateProgress();
    });
    connect(&worker_, &BuildWorker::pictureReady, view_, &CFractal_View::showPicture);
    connect(&worker_, &BuildWorker::messageRequested, this, [this](const QString& text, int icon) {
        ask(this, text, QMessageBox::Ok, QMessageBox::Icon(icon));
    });
}

CChildFrame::~CChildFrame()
{
    // The job's end no longer reaches the windows: they are going away.
    destroying_ = true;
    if (worker_.isRunning()) {
        doc_->scene()->stopRequested.store(true);
        worker_.wait();
    }
}

void CChildFrame::setPath(const QString& path)
{
    path_ = path;
    doc_->setTitle(QFileInfo(path).fileName().toStdString());
    refreshTitle();
}

void CChildFrame::refreshTitle()
{
    setWindowTitle(QString::fromStdString(doc_->title()));
    if (main_)
        main_->updateCaption();
}

void CChildFrame::setStatus(const QString& text)
{
    doc_->image.statusText = text.toStdString();
    updateProgress();
}

void CChildFrame::updateProgress()
{
    main_->showProgress(this);
    if (!isBuilding())
        progressTimer_.stop();
}

bool CChildFrame::startBuild(int command)
{
    main_->commitEdit();
    FractalScene* scene = doc_->scene();
    if (isBuilding() || !scene)
        return false;
    doc_->lastBuildCommand = command;
    view_->prepareBuild();
    ImageBuffer& image = doc_->image;

    // Asked here, before the worker starts, so the worker never waits for the window.
    const std::uint64_t required =
        FractalScene::memoryRequired(unsigned(image.requestedWidth()), unsigned(image.requestedHeight()));
    const MemoryStatus memory = memorySource() ? memorySource()() : readMemoryStatus();
    if (needsMemoryQuestion(required, memory) &&
        ask(this, QString::fromStdString(memoryQuestionText(required, memory)),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Question) != QMessageBox::Yes)
        return false;

    if (command == cmd::AutoCam)
        scene->camera.direction = Vec3{0, 0, 0};
    image.zoomOut = command == cmd::ZoomOut;
    // The engine zooms to the rectangle of the picture on screen; its rows count from the bottom.
    image.zoomPending = image.zoomOut && image.selectionShown;
    if (image.zoomPending)
        image.zoomRect = zoomRectFromSelection(image.selection, int(image.bitmapHeight));
    scene->errorText.clear();
    scene->progressPercent.store(-1);
    // Cleared here rather than by the engine on the worker: a Stop pressed before the worker
    // reached the build would otherwise be lost. A request left over from before goes too.
    scene->stopRequested.store(false);

    const bool skip = closeAfterBuild_;
    auto failure = std::make_shared<std::string>();
    auto completed = std::make_shared<bool>(false);
    if (!skip) {
        progressTimer_.start();
        // Set before the worker starts so the first refresh already shows it.
        image.statusText = "Building...";
    }
    worker_.start(
        [scene, &image, skip, failure, completed](BuildWorker::Context&) {
            if (skip)
                return;
            try {
                BuildOptions options;
                options.clearStopRequest = false;
                *completed = buildImage(*scene, image, options);
            } catch (const std::bad_alloc&) {
                *failure = "Not enough memory to build a picture of this size.";
            }
        },
        [this, failure, completed] { buildEnded(*completed, *failure); });
    updateProgress();
    return true;
}

void CChildFrame::buildEnded(bool completed, const std::string& failure)
{
    if (destroying_)
        return;
    FractalScene& scene = *doc_->scene();
    ImageBuffer& image = doc_->image;
    const bool stopped = scene.stopRequested.load();
    std::string error = failure.empty() ? scene.errorText : failure;
    const bool closing = closeAfterBuild_;
    if (!closing && completed && !stopped && error.empty()) {
        if (scene.progressPercent.load() >= 0)
            scene.progressPercent.store(100);
        image.selectionShown = false;
        image.zoomOut = false;
        image.newPixels = true;
        image.selectionEnabled = true;
        setStatus("Ready");
        main_->refreshParams(this);
    } else {
        // A stopped or failed build leaves the picture on screen as it was.
        image.newPixels = false;
    }
    image.zoomPending = false;
    view_->updateFromDocument();
    setWindowIcon(kindIcon(doc_->kind));
    if (stopped)
        setStatus("Terminated by user!");
    if (!error.empty() && !closing)
        ask(this, QString::fromStdString(error), QMessageBox::Ok, QMessageBox::Warning);
    progressTimer_.stop();
    updateProgress();
    if (closing)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CChildFrame::stopBuild()
{
    if (isBuilding())
        doc_->scene()->stopRequested.store(true);
}

bool CChildFrame::loadSample(int index)
{
    if (isBuilding())
        return false;
    if (doc_->isModified() && !saveModified())
        return false;
    if (!doc_->loadSample(index))
        return false;
    // The document now holds the sample: saving must not overwrite the file it came from.
    path_.clear();
    setWindowIcon(kindIcon(doc_->kind));
    refreshTitle();
    main_->refreshParams(this);
    return startBuild(cmd::RebuildFractal);
}

bool CChildFrame::save(bool askName)
{
    if (isBuilding())
        return false;
    QString target = path_;
    if (askName || target.isEmpty()) {
        const QString suggested =
            path_.isEmpty() ? QString::fromStdString(doc_->title()) : path_;
        target = prompts().saveFileName(this, "Save As", "Fractal Document (*.ifs);;All Files (*)",
                                        "ifs", suggested, nullptr);
        if (target.isEmpty())
            return false;
    }
    if (!doc_->saveDocument(target.toStdString())) {
        QString text = QString::fromUtf8(kSaveFailedText);
        if (!doc_->lastError().empty())
            text += "\n" + QString::fromStdString(doc_->lastError());
        ask(this, text, QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    setPath(target);
    main_->addRecentFile(target);
    return true;
}

bool CChildFrame::saveModified()
{
    if (!doc_->isModified())
        return true;
    const QString name = path_.isEmpty() ? QString::fromStdString(doc_->title()) : path_;
    switch (ask(this, QString("Save changes to %1?").arg(name),
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Warning)) {
    case QMessageBox::Yes:
        return save(false);
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void CChildFrame::saveBitmapAs()
{
    // The worker owns the pixels while it runs; not even their presence is read then.
    if (isBuilding())
        return;
    const ImageBuffer& image = doc_->image;
    if (!image.hasPixels()) {
        ask(this, QString::fromUtf8(kBuildFirstText), QMessageBox::Ok, QMessageBox::NoIcon);
        return;
    }
    const QString path = prompts().saveFileName(
        this, "Save Bitmap As", "Bitmap Files 24bits (*.bmp);;PNG Images (*.png)", "bmp",
        QString::fromStdString(doc_->title()), nullptr);
    if (path.isEmpty())
        return;
    QString error;
    if (path.endsWith(".png", Qt::CaseInsensitive)) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !imageFromBuffer(image).save(&file, "PNG") ||
            !file.commit())
            error = file.errorString();
    } else {
        std::string reason;
        if (!saveBitmap(image, path.toStdString(), &reason))
            error = QString::fromStdString(reason);
    }
    if (!error.isEmpty())
        ask(this, QString("Cannot write %1:\n%2").arg(path, error), QMessageBox::Ok,
            QMessageBox::Warning);
}

bool CChildFrame::printTo(QPrinter& printer)
{
    QPainter painter;
    bool printed = painter.begin(&printer);
    if (printed)
        printed = view_->printTo(painter, printer.width());
    if (painter.isActive())
        painter.end();
    if (!printed)
        ask(this, "Not printed!", QMessageBox::Ok, QMessageBox::NoIcon);
    return printed;
}

void CChildFrame::print(QPrinter& printer)
{
    printer.setFromTo(1, 1);
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, 1);
    if (dialog.exec() == QDialog::Accepted)
        printTo(printer);
}

void CChildFrame::printPreview(QPrinter& printer)
{
    QPrintPreviewDialog dialog(&printer, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* target) {
        QPainter painter(target);
        view_->printTo(painter, target->width());
    });
    dialog.exec();
}

void CChildFrame::closeEvent(QCloseEvent* event)
{
    if (isBuilding()) {
        if (ask(this, "Fractal is building!\nTerminate it?", QMessageBox::Yes | QMessageBox::No,
                QMessageBox::Question) == QMessageBox::Yes) {
            closeAfterBuild_ = true;
            doc_->scene()->stopRequested.store(true);
        }
        event->ignore();
        return;
    }
    if (!saveModified()) {
        closeAfterBuild_ = false;
        event->ignore();
        return;
    }
    main_->documentClosing(this);
    QMdiSubWindow::closeEvent(event);
}

} // namespace ormolith
