#include "child_frame.h"

#include "animation_dialog.h"
#include "bmp_writer.h"
#include "codec_dialog.h"
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
#include <new>

namespace ormolith {

namespace {

MemoryStatusSource& memorySource()
{
    static MemoryStatusSource source;
    return source;
}

constexpr int kProgressInterval = 250; // ms: four refreshes a second

// The codec chosen last, offered first the next time.
CodecChoice& lastCodecChoice()
{
    static CodecChoice choice;
    return choice;
}

// Hands the pixels (and their layout) from one image to another without copying them.
void movePixels(ImageBuffer& to, ImageBuffer& from)
{
    to.pixels = std::move(from.pixels);
    to.rowTable = std::move(from.rowTable); // its addresses point into the moved pixels
    to.bitsPerPixel = from.bitsPerPixel;
    to.bufferWidth = from.bufferWidth;
    to.bufferHeight = from.bufferHeight;
    to.stride = from.stride;
    to.built = from.built;
    from.pixels.clear();
    from.rowTable.clear();
    from.bufferWidth = from.bufferHeight = 0;
}

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

void CChildFrame::buildAnimation()
{
    if (!doc_->scene())
        return;
    main_->commitEdit();
    // A running job reads the scene, and a production the key frames too: nothing of them may
    // change until it ends.
    if (isBuilding()) {
        ask(this, QString::fromLatin1(kStopBuildingFirstText), QMessageBox::Ok,
            QMessageBox::Critical);
        return;
    }
    AnimationDialog dialog(*this, this);
    const bool produce = dialog.exec() == QDialog::Accepted;
    refreshTitle();
    if (produce)
        startProduction();
}

bool CChildFrame::startProduction()
{
    FractalScene* scene = doc_->scene();
    if (isBuilding() || !scene)
        return false;
    main_->commitEdit();
    // Every frame has the size the next build would have.
    view_->prepareBuild();
    ImageBuffer& image = doc_->image;
    ProductionSettings settings = productionSettings(*doc_, unsigned(image.requestedWidth()),
                                                     unsigned(image.requestedHeight()));

    // The codec is chosen here, before the worker starts, so the worker never waits for a
    // window. Cancel ends the production before anything is built or written.
    std::shared_ptr<FrameEncoder> encoder;
    if (!settings.dontSave) {
        CodecChoice& choice = lastCodecChoice();
        if (!prompts().chooseCodec(this, choice)) {
            setStatus("Ready");
            return false;
        }
        encoder = makeEncoder(choice);
        if (!encoder) {
            setStatus(QString::fromLatin1(kAviErrorStatus));
            ask(this, QString::fromLatin1(kAviCodecFailedText), QMessageBox::Ok,
                QMessageBox::NoIcon);
            return false;
        }
    }

    scene->errorText.clear();
    scene->progressPercent.store(-1);
    // Cleared here and never by the builds of the frames: a Stop given between two frames, or
    // before the worker started, must end the production.
    scene->stopRequested.store(false);
    settings.build.clearStopRequest = false;
    settings.stop = &scene->stopRequested;

    // The worker builds into a picture of its own: the production writes its status texts into
    // it, and the user-interface thread goes on reading the document's. The pixels move over
    // and come back when the production ends.
    auto frames = std::make_shared<ImageBuffer>();
    movePixels(*frames, image);
    frames->setRequestedSize(settings.width, settings.height);
    auto result = std::make_shared<ProductionResult>();
    image.statusPrefix.clear();
    image.statusText = "Building...";
    progressTimer_.start();
    CFractal_Doc* doc = doc_.get();
    worker_.start(
        [doc, frames, settings, encoder, result](BuildWorker::Context& context) {
            ProductionHooks hooks;
            hooks.frameStarting = [&](unsigned) {
                context.setStatusPrefix(QString::fromStdString(frames->statusPrefix));
            };
            hooks.frameBuilt = [&](unsigned) { context.showPicture(*frames); };
            try {
                *result = produceAnimation(*doc, *frames, settings, encoder.get(), hooks);
            } catch (const std::bad_alloc&) {
                result->end = ProductionEnd::failed;
                result->buildFailed = true;
                result->message = "Not enough memory to build a picture of this size.";
            }
        },
        [this, frames, result] { productionEnded(*result, *frames); });
    updateProgress();
    return true;
}

void CChildFrame::productionEnded(const ProductionResult& result, ImageBuffer& frames)
{
    if (destroying_)
        return;
    ImageBuffer& image = doc_->image;
    // The last frame built stays the document's picture; the view shows it already.
    movePixels(image, frames);
    image.newPixels = false;
    image.statusPrefix.clear();
    progressTimer_.stop();
    const bool closing = closeAfterBuild_;
    QString message;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if (result.end == ProductionEnd::failed) {
        message = QString::fromStdString(result.message);
        if (result.buildFailed) {
            // A frame the scene refused ends like a failed build.
            icon = QMessageBox::Warning;
        } else {
            if (message.isEmpty())
                message = QString::fromLatin1(kAviStrangeErrorText);
            setStatus(QString::fromLatin1(kAviErrorStatus));
        }
    } else {
        // Finished or stopped: a stopped production keeps the frames written so far.
        setStatus("Ready");
    }
    // The scene keeps the values of the last frame built.
    main_->refreshParams(this);
    updateProgress();
    if (!message.isEmpty() && !closing)
        ask(this, message, QMessageBox::Ok, icon);
    if (closing)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
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
    // The name's extension picks the format: PNG for ".png", the bitmap otherwise.
    QString error;
    std::string reason;
    if (!saveBitmap(image, path.toStdString(), &reason))
        error = QString::fromStdString(reason);
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
