#include "ifs_view.h"

#include "commands.h"
#include "ifs_dialogs.h"
#include "prompts.h"
#include "shared_palette.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

namespace fractals {

namespace {

IfsDialogs* g_dialogs = nullptr;

QColor toQColor(ColorRef c)
{
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

// Handles and the rubber band are drawn in the inverse of the background, visible on it.
QColor inverseOf(ColorRef c)
{
    return QColor(255 - GetRValue(c), 255 - GetGValue(c), 255 - GetBValue(c));
}

std::uint32_t timeSeed()
{
    return static_cast<std::uint32_t>(std::chrono::system_clock::now().time_since_epoch().count());
}

} // namespace

IfsDialogs& ifsDialogs()
{
    static RealIfsDialogs real;
    return g_dialogs ? *g_dialogs : real;
}

void setIfsDialogs(IfsDialogs* dialogs)
{
    g_dialogs = dialogs;
}

std::vector<CIfsFrame>& frameClipboard()
{
    // Copies, never the documents' own frames: later edits of a window leave it alone.
    static std::vector<CIfsFrame> clipboard;
    return clipboard;
}

CIfsView::CIfsView(CIfsDoc* document, QWidget* parent) : CFractalView(document, parent)
{
    m_nContextMenu = 3099;
    // A loaded document told its views its background before this view existed.
    m_crBackground = toQRgb(document->bkgrd);
    m_observer = document->addObserver([this](int hint) { onDocumentChanged(hint); });
    setMouseTracking(true);
}

CIfsView::~CIfsView()
{
    ControlRender(Stop);
    ifsDoc()->removeObserver(m_observer);
}

CVector CIfsView::toFrameUnits(QPoint pixel) const
{
    const FrameMapping m = clientMapping();
    return {m.frameX(pixel.x()), m.frameY(pixel.y())};
}

QPoint CIfsView::toPixels(CVector units) const
{
    const FrameMapping m = clientMapping();
    return {m.pixelX(units.x), m.pixelY(units.y)};
}

FramePtr CIfsView::frameAt(CVector p, FrameHit* hit) const
{
    const std::int32_t t = clientMapping().unitsX(3);
    for (const FramePtr& f : ifsDoc()->frames()) {
        const FrameHit h = hitTestFrame(*f, p, t);
        if (h != FrameHit::none) {
            if (hit)
                *hit = h;
            return f;
        }
    }
    if (hit)
        *hit = FrameHit::none;
    return nullptr;
}

bool CIfsView::isSelected(const FramePtr& frame) const
{
    return std::find(m_selection.begin(), m_selection.end(), frame) != m_selection.end();
}

std::vector<FramePtr> CIfsView::selectedInDocument() const
{
    // Only frames the document still holds count (undo may have taken one away).
    std::vector<FramePtr> list;
    const auto& frames = ifsDoc()->frames();
    for (const FramePtr& f : m_selection)
        if (std::find(frames.begin(), frames.end(), f) != frames.end())
            list.push_back(f);
    return list;
}

void CIfsView::onDocumentChanged(int hint)
{
    switch (hint) {
    case hintAddFrame:
    case hintAddFrames:
        m_selection = ifsDoc()->lastAdded();
        break;
    case hintRemoveFrame:
    case hintClearFrames:
    case hintRemoveFrames:
        m_selection.clear();
        break;
    case hintBackground:
        m_crBackground = toQRgb(ifsDoc()->bkgrd);
        break;
    default:
        break;
    }
    update();
}

// ---------------------------------------------------------------------------------------
// Rendering

int CIfsView::FillRenderContext(RenderContext& context)
{
    if (ifsDoc()->frames().empty()) {
        showMessage(this, kMsgNoFrame);
        return 1;
    }
    return CFractalView::FillRenderContext(context);
}

void CIfsView::CreateOffscreen(int cx, int cy)
{
    m_crBackground = toQRgb(ifsDoc()->bkgrd);
    CFractalView::CreateOffscreen(cx, cy);
}

int CIfsView::ClearOffscreen()
{
    CreateOffscreen(m_cx, m_cy);
    const IfsRunSettings settings = IfsRunSettings::of(*ifsDoc());
    if (!settings.showframes || m_cx <= 0 || m_cy <= 0)
        return 0;
    IfsPicture picture;
    picture.width = m_cx;
    picture.height = m_cy;
    clearIfsPicture(settings, picture);
    paintOffscreen(
        [&](QImage& image) {
            for (int y = 0; y < std::min(image.height(), picture.height); ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < std::min(image.width(), picture.width); ++x)
                    line[x] = 0xff000000u |
                              picture.pixels[static_cast<std::size_t>(y) * picture.width + x];
            }
        },
        0, m_cx - 1);
    return 0;
}

void CIfsView::StartRenderThread(std::unique_ptr<RenderContext> context)
{
    if (context->width <= 0 || context->height <= 0)
        return;
    const int serial = runSerial();
    IfsFileRequest request;
    request.settings = IfsRunSettings::of(*ifsDoc());
    request.width = context->width;
    request.height = context->height;
    request.seed = timeSeed();
    if (!context->outputPath.empty()) {
        // A file: a fixed number of points on every core, then the bitmap.
        request.points = m_filePoints;
        launch(
            [this, serial, request, context = std::shared_ptr<RenderContext>(std::move(context))] {
                renderIfsFile(request, context->outputPath, *context->running,
                              context->progressPercent);
                finishRun(serial);
            });
        return;
    }
    launch([this, serial, request, context = std::shared_ptr<RenderContext>(std::move(context))] {
        RunGate& gate = *context->running;
        const FrameMapping m{request.width, request.height};
        IfsIterator it(request.settings, request.seed);
        struct Dot {
            int x;
            int y;
            QRgb color;
        };
        std::vector<Dot> dots;
        std::uint64_t i = 0;
        // Until Stop: the game never ends by itself. Points reach the picture in batches, so
        // the lock that painting shares is taken once per batch, not once per point.
        while (gate.poll()) {
            dots.clear();
            int first = INT_MAX, last = -1;
            for (int k = 0; k < 1200; ++k) {
                if (it.step()) {
                    const int px = m.pixelX(it.x), py = m.pixelY(it.y);
                    if (px >= 0 && py >= 0 && px < request.width && py < request.height) {
                        dots.push_back({px, py, 0xff000000u | toRgb(it.color)});
                        first = std::min(first, px);
                        last = std::max(last, px);
                    }
                }
                // The original gave the processor away every 12 points.
                if (++i % 12 == 0)
                    std::this_thread::yield();
            }
            if (!dots.empty())
                paintOffscreen(
                    [&](QImage& image) {
                        for (const Dot& d : dots)
                            if (d.x < image.width() && d.y < image.height())
                                reinterpret_cast<QRgb*>(image.scanLine(d.y))[d.x] = d.color;
                    },
                    first, last);
        }
        finishRun(serial);
    });
}

void CIfsView::saveBitmap()
{
    if (isRunning())
        return;
    if (ifsDoc()->frames().empty()) {
        showMessage(this, kMsgNoFrame);
        return;
    }
    int w = m_cx > 0 ? m_cx : 640;
    int h = m_cy > 0 ? m_cy : 480;
    std::uint64_t perPixel = kDefaultPointsPerPixel;
    if (!ifsDialogs().saveBitmap(this, w, h, perPixel))
        return;
    const QString path = prompts().saveFileName(
        this, "Save Bitmap As",
        qtFilter("Windows Bitmap (*.bmp)|*.bmp|PNG Image (*.png)|*.png|All Files (*.*)|*.*"), "bmp",
        {});
    if (path.isEmpty())
        return;
    m_filePoints = perPixel * static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h);
    startFileRender(w, h, path.toStdString());
}

// ---------------------------------------------------------------------------------------
// Painting

void CIfsView::paintEvent(QPaintEvent* event)
{
    if (isRunning()) {
        CFractalView::paintEvent(event);
        return;
    }
    QPainter painter(this);
    paintEditor(painter);
}

void CIfsView::paintEditor(QPainter& painter)
{
    const CIfsDoc& doc = *ifsDoc();
    painter.fillRect(rect(), toQColor(doc.bkgrd));
    const auto line = [&](CVector a, CVector b) { painter.drawLine(toPixels(a), toPixels(b)); };
    const auto drawFrame = [&](const CIfsFrame& f) {
        const CVector a = f.vertex + f.side1, b = f.vertex + f.side2, c = a + f.side2;
        painter.setPen(QPen(toQColor(f.color), 1, Qt::SolidLine));
        line(f.vertex, a);
        line(f.vertex, b);
        painter.setPen(QPen(toQColor(f.color), 1, Qt::DotLine));
        line(a, c);
        line(b, c);
    };
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(toQColor(doc.border), 1, Qt::SolidLine));
    painter.drawRect(QRect(toPixels({0, 10000}), toPixels({10000, 0})));
    for (const FramePtr& f : doc.frames())
        drawFrame(*f);

    const std::vector<FramePtr> selected = selectedInDocument();
    const QColor inverse = inverseOf(doc.bkgrd);
    painter.setPen(QPen(inverse, 1));
    painter.setBrush(inverse);
    for (const FramePtr& f : selected)
        for (const CVector corner : {f->vertex, f->vertex + f->side1, f->vertex + f->side2,
                                     f->vertex + f->side1 + f->side2}) {
            const QPoint p = toPixels(corner);
            painter.drawEllipse(QRect(p.x() - 1, p.y() - 1, 3, 3));
        }
    painter.setBrush(Qt::NoBrush);

    // What a drag would do, inverted over the editor: the scratch frames, or the band.
    if (m_dragMode == DragMode::none)
        return;
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const CVector offset = m_dragCurrent - m_dragStart;
    if (m_dragMode == DragMode::rubberBand) {
        painter.setPen(QPen(inverse, 1, Qt::DotLine));
        painter.drawRect(QRect(toPixels(m_dragStart), toPixels(m_dragCurrent)).normalized());
        return;
    }
    for (const FramePtr& f : selected) {
        const CIfsFrame scratch = draggedFrame(*f, m_dragMode, offset);
        if (m_dragMode == DragMode::move) {
            drawFrame(scratch);
        } else {
            painter.setPen(QPen(toQColor(f->color), 1, Qt::SolidLine));
            line(scratch.vertex,
                 scratch.vertex + (m_dragMode == DragMode::side1 ? scratch.side1 : scratch.side2));
        }
    }
}

// ---------------------------------------------------------------------------------------
// Mouse

void CIfsView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || isRunning() || m_dragMode != DragMode::none) {
        CFractalView::mousePressEvent(event);
        return;
    }
    const CVector p = toFrameUnits(event->position().toPoint());
    const bool toggle = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    FrameHit hit = FrameHit::none;
    const FramePtr frame = frameAt(p, &hit);
    m_dragStart = m_dragCurrent = p;
    if (frame) {
        if (toggle) {
            if (isSelected(frame))
                std::erase(m_selection, frame);
            else
                m_selection.push_back(frame);
        } else if (!isSelected(frame)) {
            m_selection = {frame};
        }
        ifsDoc()->BringToFront(frame);
        m_dragMode = hit == FrameHit::endSide1   ? DragMode::side1
                     : hit == FrameHit::endSide2 ? DragMode::side2
                                                 : DragMode::move;
        if (m_dragMode == DragMode::move)
            setCursor(Qt::BlankCursor);
    } else {
        if (!toggle)
            m_selection.clear();
        m_dragMode = DragMode::rubberBand;
    }
    grabMouse();
    update();
}

void CIfsView::mouseMoveEvent(QMouseEvent* event)
{
    const CVector p = toFrameUnits(event->position().toPoint());
    if (m_dragMode != DragMode::none) {
        if (p != m_dragCurrent) {
            m_dragCurrent = p;
            update();
        }
        return;
    }
    if (isRunning())
        return;
    FrameHit hit = FrameHit::none;
    frameAt(p, &hit);
    if (hit == FrameHit::endSide1 || hit == FrameHit::endSide2)
        setCursor(Qt::CrossCursor);
    else
        unsetCursor();
}

void CIfsView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_dragMode == DragMode::none)
        return;
    endDrag(toFrameUnits(event->position().toPoint()));
}

void CIfsView::endDrag(CVector end)
{
    const DragMode mode = m_dragMode;
    m_dragCurrent = end;
    m_dragMode = DragMode::none;
    releaseMouse();
    unsetCursor();
    if (mode == DragMode::rubberBand) {
        for (const FramePtr& f : ifsDoc()->frames())
            if (!isSelected(f) && rubberBandTakes(*f, m_dragStart, end))
                m_selection.push_back(f);
        update();
        return;
    }
    const CVector offset = end - m_dragStart;
    const FrameMapping m = clientMapping();
    // Under one pixel the hand only shook: nothing changes and nothing is recorded.
    const bool moved = std::abs(std::int64_t{offset.x}) >= m.unitsX(1) ||
                       std::abs(std::int64_t{offset.y}) >= m.unitsY(1);
    if (offset != CVector{} && moved)
        changeSelected([&](const CIfsFrame& f) { return draggedFrame(f, mode, offset); });
    update();
}

void CIfsView::changeSelected(const std::function<CIfsFrame(const CIfsFrame&)>& change)
{
    std::vector<std::pair<FramePtr, CIfsFrame>> changes;
    for (const FramePtr& f : selectedInDocument()) {
        const CIfsFrame changed = change(*f);
        if (!changed.isValid()) {
            showMessage(this, kMsgInvalidFrame);
            continue;
        }
        changes.emplace_back(f, changed);
    }
    // A change that every frame refused would be an undo step that does nothing.
    if (!changes.empty())
        ifsDoc()->ChangeFrames(changes);
}

void CIfsView::contextMenuEvent(QContextMenuEvent* event)
{
    if (!rect().contains(event->pos()))
        return;
    if (m_dragMode != DragMode::none)
        return;
    if (isRunning()) {
        emit contextMenuRequested(m_nContextMenu, event->globalPos(), 0);
        return;
    }
    const FramePtr frame = frameAt(toFrameUnits(event->pos()));
    if (frame) {
        if (!isSelected(frame))
            m_selection = {frame};
        ifsDoc()->BringToFront(frame);
        update();
        emit contextMenuRequested(m_nContextMenu, event->globalPos(), 1);
    } else {
        m_selection.clear();
        update();
        emit contextMenuRequested(m_nContextMenu, event->globalPos(), 0);
    }
}

// ---------------------------------------------------------------------------------------
// Commands

void CIfsView::copySelection()
{
    std::vector<CIfsFrame>& clipboard = frameClipboard();
    clipboard.clear();
    for (const FramePtr& f : selectedInDocument())
        clipboard.push_back(*f);
}

bool CIfsView::onCommand(int id)
{
    CIfsDoc& doc = *ifsDoc();
    const std::vector<FramePtr> selected = selectedInDocument();
    switch (id) {
    case cmd::NewFrame:
        doc.AddFrame(CIfsFrame{});
        return true;
    case cmd::BringToFront:
        if (selected.size() == 1)
            doc.BringToFront(selected.front());
        return true;
    case cmd::SendToBack:
        if (selected.size() == 1)
            doc.SendToBack(selected.front());
        return true;
    case cmd::ChangeColor: {
        const std::optional<QColor> c = prompts().color(this, toQColor(doc.defframe));
        if (c) {
            const ColorRef color = RGB(c->red(), c->green(), c->blue());
            changeSelected([color](const CIfsFrame& f) {
                CIfsFrame g = f;
                g.color = color;
                return g;
            });
        }
        return true;
    }
    case cmd::FrameProperties:
        if (selected.size() == 1) {
            CIfsFrame f = *selected.front();
            if (ifsDialogs().frameProperties(this, f) && f.isValid())
                doc.ChangeFrame(selected.front(), f);
        }
        return true;
    case cmd::ShiftFrame: {
        int dx = 0, dy = 0;
        if (!selected.empty() && ifsDialogs().shiftFrame(this, dx, dy))
            changeSelected([dx, dy](const CIfsFrame& f) { return shiftedFrame(f, dx, dy); });
        return true;
    }
    case cmd::RotateFrame: {
        int angle = 0;
        if (!selected.empty() && ifsDialogs().rotateFrame(this, angle))
            changeSelected([angle](const CIfsFrame& f) { return rotatedFrame(f, angle); });
        return true;
    }
    case cmd::EditUndo:
        doc.Undo();
        return true;
    case cmd::EditCut:
        copySelection();
        doc.RemoveFrames(selected);
        return true;
    case cmd::EditCopy:
        copySelection();
        return true;
    case cmd::EditPaste:
        if (!frameClipboard().empty())
            doc.AddFrames(frameClipboard());
        return true;
    case cmd::EditClear:
        doc.RemoveFrames(selected);
        return true;
    case cmd::EditClearAll:
        doc.ClearFrames();
        return true;
    case cmd::ExportBitmap:
        saveBitmap();
        return true;
    }
    return CFractalView::onCommand(id);
}

bool CIfsView::updateCommand(int id, CommandState& state)
{
    const bool idle = !isRunning();
    const std::size_t n = selectedInDocument().size();
    switch (id) {
    case cmd::NewFrame:
    case cmd::EditClearAll:
        state.enabled = idle;
        return true;
    case cmd::BringToFront:
    case cmd::SendToBack:
    case cmd::FrameProperties:
        state.enabled = idle && n == 1;
        return true;
    case cmd::ChangeColor:
    case cmd::ShiftFrame:
    case cmd::RotateFrame:
    case cmd::EditCut:
    case cmd::EditCopy:
    case cmd::EditClear:
        state.enabled = idle && n >= 1;
        return true;
    case cmd::EditUndo:
        state.enabled = idle && ifsDoc()->CanUndo();
        return true;
    case cmd::EditPaste:
        state.enabled = idle && !frameClipboard().empty();
        return true;
    }
    return CFractalView::updateCommand(id, state);
}

} // namespace fractals
