#include "julia_view.h"

#include "commands.h"
#include "cosine_rule.h"
#include "mandel_rule.h"

#include <QKeyEvent>

namespace fractals {

JuliaRect zoomIn(const JuliaRect& r)
{
    // Both spans are taken before any side moves: each side moves in by a quarter.
    const double w = r.right - r.left, h = r.top - r.bottom;
    return {r.left + w / 4, r.top - h / 4, r.right - w / 4, r.bottom + h / 4};
}

JuliaRect zoomOut(const JuliaRect& r)
{
    const double w = r.right - r.left, h = r.top - r.bottom;
    return {r.left - w / 2, r.top + h / 2, r.right + w / 2, r.bottom - h / 2};
}

JuliaRect zoomToPixels(const JuliaRect& r, int clientWidth, int clientHeight, int left, int top,
                       int right, int bottom)
{
    const double sx = (r.right - r.left) / clientWidth;
    const double sy = (r.top - r.bottom) / clientHeight;
    return {r.left + left * sx, r.top - top * sy, r.left + right * sx, r.top - bottom * sy};
}

CJuliaView::CJuliaView(CJuliaDoc* document, QWidget* parent) : CHenonBaseView(document, parent)
{
    m_nContextMenu = 7099;
}

void CJuliaView::ZoomToRect(int left, int top, int right, int bottom)
{
    if (m_cx <= 3 && m_cy <= 3)
        return;
    // A client of zero width or height (with the other side large) has no pixel scale.
    if (m_cx <= 0 || m_cy <= 0)
        return;
    // A click without movement (or a drag along one line) would collapse the rectangle to
    // zero width or height: every pixel the same point, a document the properties page
    // refuses, and a view that Zoom Out can never widen again. Such a drag keeps the old
    // rectangle, and the picture restarts unchanged.
    const JuliaRect zoomed = zoomToPixels(juliaDoc()->rect(), m_cx, m_cy, left, top, right, bottom);
    if (!isValidJuliaRect(zoomed))
        return;
    juliaDoc()->setRect(zoomed);
}

void CJuliaView::changeAndRestart(const std::function<void()>& change)
{
    ControlRender(Stop);
    change();
    document()->SetModifiedFlag();
    ControlRender(Start);
}

bool CJuliaView::onCommand(int id)
{
    CJuliaDoc* doc = juliaDoc();
    switch (id) {
    case cmd::ZoomIn:
        changeAndRestart([doc] { doc->setRect(zoomIn(doc->rect())); });
        return true;
    case cmd::ZoomOut:
        changeAndRestart([doc] { doc->setRect(zoomOut(doc->rect())); });
        return true;
    case cmd::ResetZoom:
        changeAndRestart([doc] { doc->ResetZoom(); });
        return true;
    case cmd::Reset:
        changeAndRestart([doc] {
            doc->ResetZoom();
            doc->ResetEquation();
        });
        return true;
    }
    return CHenonBaseView::onCommand(id);
}

bool CJuliaView::updateCommand(int id, CommandState& state)
{
    switch (id) {
    case cmd::ZoomIn:
    case cmd::ZoomOut:
    case cmd::ResetZoom:
    case cmd::Reset:
        state.enabled = true;
        return true;
    }
    return CHenonBaseView::updateCommand(id, state);
}

void CJuliaView::keyPressEvent(QKeyEvent* event)
{
    // "+" and "-" are typed characters, whatever keys produce them.
    if (event->text() == "+" && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        onCommand(cmd::ZoomIn);
        return;
    }
    if (event->text() == "-" && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        onCommand(cmd::ZoomOut);
        return;
    }
    CHenonBaseView::keyPressEvent(event);
}

std::unique_ptr<EscapeRule> CJuliaView::makeRule(const RenderContext& context) const
{
    const auto* doc = static_cast<const CJuliaDoc*>(context.document);
    return makeJuliaRule(doc->rect(), doc->equation(), context.width, context.height);
}

std::unique_ptr<EscapeRule> CJuliacosView::makeRule(const RenderContext& context) const
{
    const auto* doc = static_cast<const CJuliaDoc*>(context.document);
    return std::make_unique<CosineRule>(doc->rect(), doc->equation().a, context.width,
                                        context.height);
}

std::unique_ptr<EscapeRule> CMandelView::makeRule(const RenderContext& context) const
{
    const auto* doc = static_cast<const CJuliaDoc*>(context.document);
    return std::make_unique<MandelRule>(doc->rect(), doc->equation(), context.width,
                                        context.height);
}

} // namespace fractals
