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

} // namespace qubex
