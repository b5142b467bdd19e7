#include "gl_cloud_view.h"

#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QSurfaceFormat>

#include <GL/gl.h>
#include <GL/glu.h>

namespace qubex {

namespace {

// A colour component 0..255 as a GL intensity (1/255 written out, as the settings store it).
constexpr float kIntensityPerStep = 0.00392156862745098f;

void glColorOf(ColorRef c)
{
    glColor4f(redOf(c) * kIntensityPerStep, greenOf(c) * kIntensityPerStep,
              blueOf(c) * kIntensityPerStep, 1.0f);
}

QSurfaceFormat viewFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    format.setDepthBufferSize(16);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    return format;
}

void drawAxes()
{
    glBegin(GL_LINES);
    glColor4f(1, 0, 0, 1);
    glVertex3f(0, 0, 0);
    glVertex3f(1, 0, 0);
    glColor4f(0, 1, 0, 1);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 1, 0);
    glColor4f(0, 0, 1, 1);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 0, 1);
    glEnd();
}

constexpr float kGridColour[4] = {0.6f, 0.6f, 1.0f, 1.0f};

void drawGridPoints() // 11 x 11 x 11 = 1331 points a quarter apart
{
    glColor4fv(kGridColour);
    glBegin(GL_POINTS);
    for (int i = -5; i <= 5; ++i)
        for (int j = -5; j <= 5; ++j)
            for (int k = -5; k <= 5; ++k)
                glVertex3f(k / 4.0f, j / 4.0f, i / 4.0f);
    glEnd();
}

void segment(float x0, float y0, float z0, float x1, float y1, float z1)
{
    glBegin(GL_LINE_STRIP);
    glVertex3f(x0, y0, z0);
    glVertex3f(x1, y1, z1);
    glEnd();
}

void drawGridLines() // 3 x 81 = 243 segments
{
    glColor4fv(kGridColour);
    for (int i = -4; i <= 4; ++i)
        for (int j = -4; j <= 4; ++j) {
            segment(-1, j / 4.0f, i / 4.0f, 1, j / 4.0f, i / 4.0f);
            segment(j / 4.0f, -1, i / 4.0f, j / 4.0f, 1, i / 4.0f);
        }
    for (int i = -4; i <= 4; ++i)
        for (int j = -4; j <= 4; ++j)
            segment(j / 4.0f, i / 4.0f, -1, j / 4.0f, i / 4.0f, 1);
}

// Takes the OpenGL view's place where there is no OpenGL: draws nothing, turns nothing.
class NoOpenGlView final : public QWidget, public CloudView {
public:
    explicit NoOpenGlView(QWidget* parent) : QWidget(parent) {}
    QWidget* widget() override { return this; }
    void drawScene() override {}
    void setBackgroundColor() override {}
    void setFogColor() override {}
    void resetZoom() override {}
    void timerTick() override {}
    bool spinning() const override { return false; }
    void releaseView() override {}
    bool viewUsable() const override { return false; }
};

} // namespace

bool openGlAvailable()
{
    QOpenGLContext context;
    context.setFormat(viewFormat());
    if (!context.create())
        return false;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface))
        return false;
    context.doneCurrent();
    return true;
}

CloudView* makeCloudView(Document& document, const QCursor& zoomCursor, QWidget* parent)
{
    if (!openGlAvailable())
        return new NoOpenGlView(parent);
    return new GlCloudView(document, zoomCursor, parent);
}

GlCloudView::GlCloudView(Document& document, QCursor zoomCursor, QWidget* parent)
    : QOpenGLWidget(parent), document_(document), zoomCursor_(std::move(zoomCursor))
{
    setFormat(viewFormat());
    clock_.start();
}

bool GlCloudView::viewUsable() const
{
    // Before the first show there is no context yet, and that is not a failure.
    return !initialized_ || (context() && context()->isValid());
}

std::uint32_t GlCloudView::tickCount() const
{
    return static_cast<std::uint32_t>(clock_.elapsed());
}

void GlCloudView::applyClearColor()
{
    const ColorRef c = document_.display().background_color;
    glClearColor(redOf(c) * kIntensityPerStep, greenOf(c) * kIntensityPerStep,
                 blueOf(c) * kIntensityPerStep, 1.0f);
}

void GlCloudView::applyFogColor()
{
    const ColorRef c = document_.display().fog_color;
    const GLfloat fog[4] = {redOf(c) * kIntensityPerStep, greenOf(c) * kIntensityPerStep,
                            blueOf(c) * kIntensityPerStep, 1.0f};
    glFogfv(GL_FOG_COLOR, fog);
}

void GlCloudView::initializeGL()
{
    initialized_ = true;
    // Set-up: depth, a first projection (near 5 until the first resize), fog from 5 to 7
    // units so the front half of a unit-sized cloud at distance 6 is bright and the back fades.
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glMatrixMode(GL_PROJECTION);
    const double aspect = height() > 0 ? static_cast<double>(width()) / height() : 1.0;
    gluPerspective(45.0, aspect, 5.0, 7.0);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_FOG);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glHint(GL_FOG_HINT, GL_NICEST);
    glFogf(GL_FOG_START, 5.0f);
    glFogf(GL_FOG_END, 7.0f);
    applyFogColor();
    applyClearColor();
    glColorOf(document_.display().point_color);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glLineWidth(2.0f);
    glPointSize(1.0f);
    glEnable(GL_LINE_SMOOTH);
    trackball_.reset();
    trackball_.setSize(width(), height());
}

void GlCloudView::resizeGL(int w, int h)
{
    // QOpenGLWidget works in device-independent pixels for the mouse but needs the real
    // framebuffer size for the viewport.
    const int fw = static_cast<int>(w * devicePixelRatioF());
    const int fh = static_cast<int>(h * devicePixelRatioF());
    if (fw > 0 && fh > 0) {
        glViewport(0, 0, fw, fh);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, static_cast<double>(fw) / fh, 3.0, 7.0);
        glMatrixMode(GL_MODELVIEW);
        glEnable(GL_DITHER);
    }
    trackball_.setSize(w, h);
}

void GlCloudView::paintGL()
{
    // A repaint nobody asked for through drawScene (the window uncovered, resized) is a redraw
    // too and turns the cloud once more; drawScene has already added its own increments.
    if (!framePending_)
        trackball_.accumulate();
    framePending_ = false;
    ++framesDrawn_;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    glTranslatef(0, 0, -6);
    const float z = static_cast<float>(zoom_.zoom);
    glScalef(z, z, z);
    glMultMatrixf(trackball_.accumulated.data());

    const DisplaySettings& display = document_.display();
    if (display.axisDisplay)
        drawAxes();
    if (display.gridPointsDisplay)
        drawGridPoints();
    if (display.gridLinesDisplay)
        drawGridLines();

    glColorOf(display.point_color);
    const PointCloud& cloud = document_.cloud();
    if (cloud.count > 0) {
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(3, GL_FLOAT, sizeof(Point3f), cloud.points.data());
        glDrawArrays(GL_POINTS, 0, cloud.count);
        glDisableClientState(GL_VERTEX_ARRAY);
    }
    glPopMatrix();
}

void GlCloudView::drawScene()
{
    // Every redraw adds the increment once more: that is what keeps a released drag turning.
    // It is added here, at each call, and not when the frame is painted: moves arriving faster
    // than frames are drawn would otherwise share one increment and the cloud would turn less
    // than the pointer moved.
    trackball_.accumulate();
    framePending_ = true;
    update();
}

void GlCloudView::setBackgroundColor()
{
    if (!initialized_)
        return; // initializeGL takes the colour from the settings
    makeCurrent();
    applyClearColor();
    doneCurrent();
}

void GlCloudView::setFogColor()
{
    if (!initialized_)
        return;
    makeCurrent();
    applyFogColor();
    doneCurrent();
}

void GlCloudView::resetZoom()
{
    zoom_.zoom = 1.0;
}

void GlCloudView::timerTick()
{
    // The timer fires far more often than frames can be drawn; decaying once per drawn frame
    // keeps the spin as long and smooth as when every tick drew synchronously.
    if (!trackball_.spinning || framePending_)
        return;
    if (trackball_.tick())
        drawScene();
}

void GlCloudView::releaseView()
{
    // Nothing of ours lives in the context (the cloud is drawn from client memory); the
    // context itself goes with the widget.
    if (initialized_) {
        makeCurrent();
        glFinish();
        doneCurrent();
    }
}

void GlCloudView::mousePressEvent(QMouseEvent* event)
{
    const QPointF p = event->position();
    if (event->button() == Qt::LeftButton) {
        trackball_.press(p.x(), p.y(), tickCount());
    } else if (event->button() == Qt::RightButton) {
        zoom_.press(p.y());
        setCursor(zoomCursor_);
    }
}

void GlCloudView::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF p = event->position();
    if (zoom_.zooming) {
        zoom_.move(p.y()); // shows at the next redraw
        return;
    }
    if (trackball_.tracking && trackball_.move(p.x(), p.y(), tickCount()))
        drawScene();
}

void GlCloudView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        trackball_.release(tickCount());
        if (trackball_.spinning && spinStarted)
            spinStarted();
    } else if (event->button() == Qt::RightButton) {
        unsetCursor();
        zoom_.release();
    }
}

} // namespace qubex
