#pragma once
// The OpenGL drawing area: fixed-function GL on a compatibility context, the cloud as one
// vertex array, fog for depth, a trackball with decaying spin and a right-button zoom.
#include "cloud_view.h"
#include "files/document.h"
#include "trackball.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QOpenGLWidget>

namespace qubex {

class GlCloudView final : public QOpenGLWidget, public CloudView {
    Q_OBJECT
public:
    GlCloudView(Document& document, QCursor zoomCursor, QWidget* parent = nullptr);

    QWidget* widget() override { return this; }
    void drawScene() override;
    void setBackgroundColor() override;
    void setFogColor() override;
    void resetZoom() override;
    void timerTick() override;
    bool spinning() const override { return trackball_.spinning; }
    void releaseView() override;
    bool viewUsable() const override;

    const Trackball& trackball() const { return trackball_; }
    const ZoomDrag& zoom() const { return zoom_; }
    int framesDrawn() const { return framesDrawn_; }

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::uint32_t tickCount() const;
    void applyClearColor();
    void applyFogColor();

    Document& document_;
    QCursor zoomCursor_;
    Trackball trackball_;
    ZoomDrag zoom_;
    QElapsedTimer clock_;
    bool initialized_ = false;
    bool framePending_ = false;
    int framesDrawn_ = 0;
};

// True when an OpenGL context of the view's format can be made and used here. Without one the
// OpenGL view must never be shown: Qt would not call initializeGL and would crash flushing the
// window instead.
bool openGlAvailable();

// The drawing area the main window gets: the OpenGL view, or, where no context can be made, a
// blank stand-in whose viewUsable() is false so the window reports it and closes.
CloudView* makeCloudView(Document& document, const QCursor& zoomCursor, QWidget* parent);

} // namespace qubex
