#pragma once
// Base of the palette views (escape-time and Henon): draws indices through the shared
// palette, runs the escape-time column loop, and zooms by rubber band.
#include "escape_render.h"
#include "fractal_view.h"

namespace fractals {

class CHenonBaseView : public CFractalView {
    Q_OBJECT
public:
    explicit CHenonBaseView(CFractalDoc* document, QWidget* parent = nullptr);
    ~CHenonBaseView() override;

    bool onCommand(int id) override;
    bool updateCommand(int id, CommandState& state) override;

    // The rectangle the rubber band shows now (normalised client pixels), or null.
    QRect dragRect() const { return m_dragging ? m_dragRect : QRect(); }

    // Opens the palette editor (command 5003); tests reach the dialog through this.
    void editPalette();

protected:
    bool indexedPicture() const override { return true; }
    virtual void ZoomToRect(int left, int top, int right, int bottom);
    // The type's per-pixel rule for this run, or null when the type does not render.
    virtual std::unique_ptr<EscapeRule> makeRule(const RenderContext& context) const;
    void StartRenderThread(std::unique_ptr<RenderContext> context) override;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void trackTo(const QPoint& pointer, bool shift);

    bool m_dragging = false;
    QPoint m_anchor;
    QRect m_dragRect;
    QMetaObject::Connection m_paletteConnection;
};

// Rubber band geometry: the rectangle from anchor to pointer, with Shift giving it the
// client's aspect ratio (the height decides, the width follows with the pointer's side).
// Returns left, top, right, bottom normalised as a QRect built from two corners.
struct DragBox {
    int left, top, right, bottom;
};
DragBox rubberBandRect(QPoint anchor, QPoint pointer, bool shift, int clientWidth,
                       int clientHeight);

} // namespace fractals
