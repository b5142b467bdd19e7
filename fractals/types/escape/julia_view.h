#pragma once
// Views of the escape-time types: CJuliaView adds the zoom commands and the pixel-to-plane
// zoom of the rubber band; CMandelView renders the Mandelbrot iteration.
#include "henon_base_view.h"
#include "julia_doc.h"

namespace fractals {

class CJuliaView : public CHenonBaseView {
    Q_OBJECT
public:
    explicit CJuliaView(CJuliaDoc* document, QWidget* parent = nullptr);
    CJuliaDoc* juliaDoc() const { return static_cast<CJuliaDoc*>(document()); }

    bool onCommand(int id) override;
    bool updateCommand(int id, CommandState& state) override;
    void ZoomToRect(int left, int top, int right, int bottom) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    std::unique_ptr<EscapeRule> makeRule(const RenderContext& context) const override;

private:
    void changeAndRestart(const std::function<void()>& change);
};

class CMandelView : public CJuliaView {
    Q_OBJECT
public:
    explicit CMandelView(CMandelDoc* document, QWidget* parent = nullptr)
        : CJuliaView(document, parent)
    {
    }

protected:
    std::unique_ptr<EscapeRule> makeRule(const RenderContext& context) const override;
};

class CJuliacosView : public CJuliaView {
    Q_OBJECT
public:
    explicit CJuliacosView(CJuliacosDoc* document, QWidget* parent = nullptr)
        : CJuliaView(document, parent)
    {
    }

protected:
    std::unique_ptr<EscapeRule> makeRule(const RenderContext& context) const override;
};

// The zoom arithmetic, kept apart from the widget so it can be checked directly.
JuliaRect zoomIn(const JuliaRect& r);
JuliaRect zoomOut(const JuliaRect& r);
JuliaRect zoomToPixels(const JuliaRect& r, int clientWidth, int clientHeight, int left, int top,
                       int right, int bottom);

} // namespace fractals
