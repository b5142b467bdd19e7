#include "fractal_view.h"

#include "commands.h"
#include "progress_dialog.h"
#include "prompts.h"
#include "shared_palette.h"

#include <QContextMenuEvent>
#include <QPaintEvent>
#include <QPainter>
#include <array>
#include <limits>

namespace fractals {

static QImage copyPixels(const QImage& source, const QRect& part);

CFractalView::CFractalView(CFractalDoc* document, QWidget* parent)
    : QWidget(parent), m_document(document)
{
    setFocusPolicy(Qt::StrongFocus);
    // About sixty pulls a second while a thread runs: columns appear as they are finished.
    m_pullTimer.setInterval(16);
    connect(&m_pullTimer, &QTimer::timeout, this, &CFractalView::pullFromWorker);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(1, 1);
}

CFractalView::~CFractalView()
{
    ControlRender(Stop);
    joinFinishedThread();
    delete m_progressDialog;
}

void CFractalView::joinFinishedThread()
{
    if (m_pRenderThread && m_pRenderThread->joinable())
        m_pRenderThread->join();
    m_pRenderThread.reset();
}

void CFractalView::endFinishedRun()
{
    // A run that ended by itself may not have been collected by the pull timer yet: its
    // thread still wants joining and its progress window closing (its Cancel must not reach
    // the next run).
    joinFinishedThread();
    m_pullTimer.stop();
    m_endedSerial.store(0);
    delete m_progressDialog;
}

void CFractalView::ControlRender(RenderCommand command, std::unique_ptr<RenderContext> context)
{
    switch (command) {
    case Start: {
        if (m_bRunning.running())
            return;
        endFinishedRun();
        if (!context)
            context = std::make_unique<RenderContext>();
        if (FillRenderContext(*context) != 0)
            return;
        if (ClearOffscreen() != 0)
            return;
        m_bPaused = false;
        m_bRunning.start();
        ++m_runSerial;
        m_endedSerial.store(0);
        setCursor(Qt::WaitCursor);
        StartRenderThread(std::move(context));
        if (m_pRenderThread)
            m_pullTimer.start();
        if (!m_pRenderThread) {
            // A type that does not render: nothing owns the flag.
            m_bRunning.clear();
            unsetCursor();
        }
        update();
        return;
    }
    case Pause:
        if (m_bRunning.running() && !m_bPaused && m_pRenderThread) {
            m_bRunning.setPaused(true);
            m_bPaused = true;
        }
        return;
    case Resume:
        if (m_bRunning.running() && m_bPaused && m_pRenderThread) {
            m_bRunning.setPaused(false);
            m_bPaused = false;
        }
        return;
    case Stop:
        if (m_pRenderThread) {
            // Clearing opens the pause gate too, so a paused thread wakes, sees the flag
            // down and ends; the thread object lives until the join has returned.
            m_bRunning.clear();
            m_bPaused = false;
            joinFinishedThread();
            m_pullTimer.stop();
            m_endedSerial.store(0);
            unsetCursor();
            delete m_progressDialog;
            update();
        }
        return;
    }
}

int CFractalView::FillRenderContext(RenderContext& context)
{
    context.document = m_document;
    context.view = this;
    context.usesSharedPalette = indexedPicture();
    context.running = &m_bRunning;
    context.width = m_cx;
    context.height = m_cy;
    return 0;
}

void CFractalView::StartRenderThread(std::unique_ptr<RenderContext>)
{
    // Types that do not render leave this as it is.
}

void CFractalView::launch(std::function<void()> body)
{
    m_pRenderThread = std::make_unique<std::thread>(std::move(body));
}

void CFractalView::CreateOffscreen(int cx, int cy)
{
    ControlRender(Stop);
    std::lock_guard lock(m_offscreenMutex);
    if (cx <= 0 || cy <= 0) {
        m_offscreen = QImage();
        return;
    }
    if (indexedPicture()) {
        m_offscreen = QImage(cx, cy, QImage::Format_Indexed8);
        m_offscreen.fill(static_cast<uint>(m_backgroundIndex));
    } else {
        m_offscreen = QImage(cx, cy, QImage::Format_RGB32);
        m_offscreen.fill(m_crBackground);
    }
}

int CFractalView::ClearOffscreen()
{
    std::lock_guard lock(m_offscreenMutex);
    if (m_offscreen.isNull())
        return 0;
    if (indexedPicture())
        m_offscreen.fill(static_cast<uint>(m_backgroundIndex));
    else
        m_offscreen.fill(m_crBackground);
    return 0;
}

void CFractalView::writeColumn(int i, const std::uint8_t* indices, int height)
{
    std::lock_guard lock(m_offscreenMutex);
    // A resize replaces the picture only after stopping the thread, so the sizes match; the
    // checks keep a stray call harmless all the same.
    if (m_offscreen.format() != QImage::Format_Indexed8 || i < 0 || i >= m_offscreen.width())
        return;
    const int h = std::min(height, m_offscreen.height());
    for (int j = 0; j < h; ++j)
        m_offscreen.scanLine(j)[i] = indices[j];
}

void CFractalView::postColumnDone(int i)
{
    // The window pulls the finished columns on its own timer: the worker never calls into Qt.
    std::lock_guard lock(m_offscreenMutex);
    m_dirtyFirst = std::min(m_dirtyFirst, i);
    m_dirtyLast = std::max(m_dirtyLast, i);
}

void CFractalView::paintOffscreen(const std::function<void(QImage&)>& paint, int first, int last)
{
    std::lock_guard lock(m_offscreenMutex);
    if (m_offscreen.format() != QImage::Format_RGB32)
        return;
    paint(m_offscreen);
    m_dirtyFirst = std::min(m_dirtyFirst, std::max(first, 0));
    m_dirtyLast = std::max(m_dirtyLast, std::min(last, m_offscreen.width() - 1));
}

void CFractalView::finishRun(int serial)
{
    m_bRunning.clear();
    m_endedSerial.store(serial, std::memory_order_release);
}

void CFractalView::pullFromWorker()
{
    int first, last;
    {
        std::lock_guard lock(m_offscreenMutex);
        first = m_dirtyFirst;
        last = m_dirtyLast;
        m_dirtyFirst = std::numeric_limits<int>::max();
        m_dirtyLast = -1;
    }
    if (last >= first)
        update(QRect(first, 0, last - first + 1, m_cy));
    const int ended = m_endedSerial.load(std::memory_order_acquire);
    if (ended != 0 && ended == m_runSerial)
        onRunEnded(ended);
}

void CFractalView::onRunEnded(int serial)
{
    // A newer run may have started meanwhile; its thread is not ours to join.
    if (serial != m_runSerial || m_bRunning.running())
        return;
    m_endedSerial.store(0);
    m_pullTimer.stop();
    joinFinishedThread();
    m_bPaused = false;
    unsetCursor();
    delete m_progressDialog;
    update();
    emit renderEnded();
}

QImage CFractalView::pictureSnapshot() const
{
    QImage copy;
    {
        std::lock_guard lock(m_offscreenMutex);
        if (!m_offscreen.isNull())
            copy = copyPixels(m_offscreen, m_offscreen.rect());
    }
    if (copy.format() == QImage::Format_Indexed8) {
        QList<QRgb> colors = SharedPalette::instance().colorTable();
        colors.resize(256, qRgb(0, 0, 0));
        copy.setColorTable(colors);
    }
    return copy;
}

QColor CFractalView::backgroundColor() const
{
    if (indexedPicture() && m_backgroundIndex >= 0)
        return QColor(
            toQRgb(SharedPalette::instance().live()[static_cast<std::size_t>(m_backgroundIndex)]));
    return QColor(m_crBackground);
}

// Copies part of the shared picture. The loop is ours on purpose: the thread checker sees
// these reads (it cannot see the ones inside Qt), so an unlocked access would be reported.
static QImage copyPixels(const QImage& source, const QRect& part)
{
    QImage out(part.size(), source.format());
    if (source.format() == QImage::Format_Indexed8)
        out.setColorCount(256);
    const int bytesPerPixel = source.depth() / 8;
    for (int y = 0; y < part.height(); ++y) {
        const uchar* src = source.constScanLine(part.top() + y) + part.left() * bytesPerPixel;
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < part.width() * bytesPerPixel; ++x)
            dst[x] = src[x];
    }
    return out;
}

// Turns an indexed picture into true colour through the live palette, here rather than in
// QPainter, whose conversion of large images fans out to Qt's thread pool.
static QImage toTrueColour(const QImage& indexed)
{
    const PaletteColors live = SharedPalette::instance().live();
    std::array<QRgb, 256> table{};
    for (std::size_t k = 0; k < live.size(); ++k)
        table[k] = toQRgb(live[k]);
    QImage out(indexed.size(), QImage::Format_RGB32);
    for (int y = 0; y < indexed.height(); ++y) {
        const uchar* src = indexed.constScanLine(y);
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < indexed.width(); ++x)
            dst[x] = table[src[x]];
    }
    return out;
}

void CFractalView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect area = event->rect();
    QImage part;
    {
        std::lock_guard lock(m_offscreenMutex);
        const QRect inside = area.intersected(m_offscreen.rect());
        if (!inside.isEmpty())
            part = copyPixels(m_offscreen, inside);
    }
    if (part.format() == QImage::Format_Indexed8)
        part = toTrueColour(part);
    // Erase only what the picture does not cover.
    const QRect covered(area.topLeft(), part.size());
    const QRegion rest = QRegion(area).subtracted(covered);
    for (const QRect& r : rest)
        painter.fillRect(r, backgroundColor());
    if (!part.isNull())
        painter.drawImage(area.topLeft(), part);
}

void CFractalView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_cx = width();
    m_cy = height();
    CreateOffscreen(m_cx, m_cy);
}

void CFractalView::contextMenuEvent(QContextMenuEvent* event)
{
    if (rect().contains(event->pos()))
        emit contextMenuRequested(m_nContextMenu, event->globalPos());
}

bool CFractalView::onCommand(int id)
{
    switch (id) {
    case cmd::Start:
        ControlRender(m_bRunning.running() ? Resume : Start);
        return true;
    case cmd::Pause:
        ControlRender(Pause);
        return true;
    case cmd::Stop:
        ControlRender(Stop);
        return true;
    case cmd::Refresh:
        update();
        return true;
    case cmd::ExportBitmap:
        exportBitmap();
        return true;
    }
    return false;
}

bool CFractalView::updateCommand(int id, CommandState& state)
{
    const bool running = m_bRunning.running();
    switch (id) {
    case cmd::Properties:
        state.enabled = !running;
        return true;
    case cmd::Start:
        state.enabled = true;
        state.checked = running && !m_bPaused;
        return true;
    case cmd::Pause:
        state.enabled = true;
        state.checked = running && m_bPaused;
        return true;
    case cmd::Stop:
        state.enabled = true;
        state.checked = !running;
        return true;
    case cmd::Refresh:
        state.enabled = true;
        return true;
    case cmd::ExportBitmap:
        // One thread per view: an export waits until the window's own render has ended.
        state.enabled = !running;
        return true;
    }
    return false;
}

void CFractalView::startFileRender(int width, int height, const std::string& path)
{
    if (m_bRunning.running())
        return;
    endFinishedRun();
    auto context = std::make_unique<RenderContext>();
    if (FillRenderContext(*context) != 0)
        return;
    // The export's own size and path replace what the refill took from the window; the
    // window's picture itself is left alone.
    context->width = width;
    context->height = height;
    context->outputPath = path;
    m_fileProgress.store(0);
    context->progressPercent = &m_fileProgress;
    m_bPaused = false;
    m_bRunning.start();
    ++m_runSerial;
    m_endedSerial.store(0);
    setCursor(Qt::WaitCursor);
    m_progressDialog = new ProgressDialog(&m_bRunning, &m_fileProgress, window());
    m_progressDialog->show();
    StartRenderThread(std::move(context));
    if (m_pRenderThread) {
        m_pullTimer.start();
    } else {
        m_bRunning.clear();
        unsetCursor();
        delete m_progressDialog;
    }
}

} // namespace fractals

namespace fractals {

void CFractalView::exportBitmap()
{
    if (m_bRunning.running())
        return;
    int w = m_cx > 0 ? m_cx : 640;
    int h = m_cy > 0 ? m_cy : 480;
    if (!prompts().bitmapSize(this, w, h))
        return;
    const QString path = prompts().saveFileName(
        this, "Save Bitmap As",
        qtFilter("Windows Bitmap (*.bmp)|*.bmp|PNG Image (*.png)|*.png|All Files (*.*)|*.*"), "bmp",
        {});
    if (path.isEmpty())
        return;
    startFileRender(w, h, path.toStdString());
}

} // namespace fractals
