#include "henon_base_view.h"

#include "commands.h"
#include "palette_editor.h"
#include "shared_palette.h"

#include <QMouseEvent>
#include <QPainter>

namespace fractals {

DragBox rubberBandRect(QPoint anchor, QPoint pointer, bool shift, int clientWidth, int clientHeight)
{
    int dx = pointer.x() - anchor.x();
    const int dy = pointer.y() - anchor.y();
    if (shift && clientHeight > 0) {
        const int extent =
            static_cast<int>(static_cast<long long>(std::abs(dy)) * clientWidth / clientHeight);
        dx = dx < 0 ? -extent : extent;
    }
    const int x2 = anchor.x() + dx;
    const int y2 = anchor.y() + dy;
    return {std::min(anchor.x(), x2), std::min(anchor.y(), y2), std::max(anchor.x(), x2),
            std::max(anchor.y(), y2)};
}

CHenonBaseView::CHenonBaseView(CFractalDoc* document, QWidget* parent)
    : CFractalView(document, parent)
{
    m_nContextMenu = 5099;
    m_backgroundIndex = kInsideIndex;
    // Palette changes recolour the picture without touching its indices.
    m_paletteConnection = connect(&SharedPalette::instance(), &SharedPalette::changed, this,
                                  qOverload<>(&QWidget::update));
}

CHenonBaseView::~CHenonBaseView()
{
    disconnect(m_paletteConnection);
    ControlRender(Stop);
}

void CHenonBaseView::ZoomToRect(int, int, int, int) {}

std::unique_ptr<EscapeRule> CHenonBaseView::makeRule(const RenderContext&) const
{
    return nullptr;
}

void CHenonBaseView::StartRenderThread(std::unique_ptr<RenderContext> context)
{
    std::shared_ptr<const EscapeRule> rule = makeRule(*context);
    if (!rule || context->width <= 0 || context->height <= 0)
        return;
    const int serial = runSerial();
    launch([this, serial, rule, context = std::shared_ptr<RenderContext>(std::move(context))] {
        RunGate& gate = *context->running;
        if (context->outputPath.empty()) {
            // Screen: one column at a time, left to right, each shown as soon as it is done.
            // A pause or stop part-way down a column keeps the rows finished so far, so the
            // window shows everything computed up to that moment.
            std::vector<std::uint8_t> column(static_cast<std::size_t>(context->height));
            int current = -1;
            int rowsDone = 0;
            gate.setOnHold([&] {
                if (current >= 0 && rowsDone > 0) {
                    writeColumn(current, column.data(), rowsDone);
                    postColumnDone(current);
                }
            });
            for (int i = 0; i < context->width; ++i) {
                current = i;
                const bool finished = rule->computeColumn(i, column.data(), &gate, rowsDone);
                if (rowsDone > 0) {
                    writeColumn(i, column.data(), rowsDone);
                    postColumnDone(i);
                }
                if (!finished)
                    break;
                std::this_thread::yield();
            }
            gate.setOnHold(nullptr);
        } else {
            // File: all cores, then the bitmap with the palette as it is at the end.
            renderEscapeFile(*rule, gate, context->progressPercent, defaultRenderThreads(),
                             context->outputPath, [] { return SharedPalette::instance().live(); });
        }
        finishRun(serial);
    });
}

bool CHenonBaseView::onCommand(int id)
{
    switch (id) {
    case cmd::Cycle:
        SharedPalette::instance().toggleCycle();
        return true;
    case cmd::ResetPalette:
        SharedPalette::instance().resetPalette();
        return true;
    case cmd::EditPalette:
        editPalette();
        return true;
    }
    return CFractalView::onCommand(id);
}

bool CHenonBaseView::updateCommand(int id, CommandState& state)
{
    switch (id) {
    case cmd::Cycle:
        state.enabled = true;
        state.checked = SharedPalette::instance().isCycling();
        return true;
    case cmd::ResetPalette:
    case cmd::EditPalette:
        state.enabled = true;
        return true;
    }
    return CFractalView::updateCommand(id, state);
}

void CHenonBaseView::editPalette()
{
    CPaletteEditor editor(this);
    editor.exec();
}

void CHenonBaseView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        CFractalView::mousePressEvent(event);
        return;
    }
    ControlRender(Stop);
    m_anchor = event->position().toPoint();
    m_dragRect = QRect();
    m_dragging = true;
    trackTo(m_anchor, event->modifiers() & Qt::ShiftModifier);
    grabMouse();
}

void CHenonBaseView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging)
        trackTo(event->position().toPoint(), event->modifiers() & Qt::ShiftModifier);
}

void CHenonBaseView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragging || event->button() != Qt::LeftButton)
        return;
    trackTo(event->position().toPoint(), event->modifiers() & Qt::ShiftModifier);
    const DragBox box = rubberBandRect(m_anchor, event->position().toPoint(),
                                       event->modifiers() & Qt::ShiftModifier, m_cx, m_cy);
    releaseMouse();
    m_dragging = false;
    update();
    ZoomToRect(box.left, box.top, box.right, box.bottom);
    ControlRender(Start);
}

void CHenonBaseView::trackTo(const QPoint& pointer, bool shift)
{
    const DragBox box = rubberBandRect(m_anchor, pointer, shift, m_cx, m_cy);
    const QRect old = m_dragRect;
    m_dragRect = QRect(QPoint(box.left, box.top), QPoint(box.right, box.bottom));
    update(old.adjusted(-1, -1, 1, 1));
    update(m_dragRect.adjusted(-1, -1, 1, 1));
}

void CHenonBaseView::paintEvent(QPaintEvent* event)
{
    CFractalView::paintEvent(event);
    if (!m_dragging)
        return;
    QPainter painter(this);
    // Visible on any colour of the palette: a dotted line over its own inverse.
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
    painter.drawRect(m_dragRect);
}

} // namespace fractals
