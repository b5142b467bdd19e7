#include "fractal_view.h"

#include "build_worker.h"
#include "fractal_doc.h"
#include "prompts.h"
#include "view_state.h"

#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionFocusRect>

namespace ormolith {

CFractal_View::CFractal_View(CFractal_Doc& doc, const BuildWorker& worker, QWidget* parent)
    : QAbstractScrollArea(parent), doc_(doc), worker_(worker)
{
    setObjectName("CFractal_View");
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent); // paintEvent covers every pixel
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void CFractal_View::setScrollRange(int width, int height)
{
    const QSize client = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, width - client.width()));
    verticalScrollBar()->setRange(0, std::max(0, height - client.height()));
    horizontalScrollBar()->setPageStep(client.width());
    verticalScrollBar()->setPageStep(client.height());
}

void CFractal_View::takeClientSize()
{
    if (doc_.image.fixedSize)
        return;
    const QSize client = viewport()->size();
    doc_.image.setRequestedSize(unsigned(std::max(client.width(), 1)),
                                unsigned(std::max(client.height(), 1)));
}

void CFractal_View::prepareBuild()
{
    setScrollRange(1, 1);
    takeClientSize();
    setScrollRange(int(doc_.image.bitmapWidth), int(doc_.image.bitmapHeight));
}

void CFractal_View::updateFromDocument()
{
    ImageBuffer& image = doc_.image;
    if (image.newPixels) {
        const QImage picture = imageFromBuffer(image);
        if (!picture.isNull()) {
            displayBitmap_ = picture;
            image.bitmapWidth = unsigned(picture.width());
            image.bitmapHeight = unsigned(picture.height());
        }
        image.newPixels = false;
    }
    setScrollRange(int(image.bitmapWidth), int(image.bitmapHeight));
    viewport()->update();
}

void CFractal_View::showPicture(const QImage& picture)
{
    if (picture.isNull())
        return;
    displayBitmap_ = picture;
    doc_.image.bitmapWidth = unsigned(picture.width());
    doc_.image.bitmapHeight = unsigned(picture.height());
    setScrollRange(picture.width(), picture.height());
    viewport()->update();
}

void CFractal_View::fitClientArea(int width, int height)
{
    QWidget* frame = parentWidget();
    while (frame && !qobject_cast<QMdiSubWindow*>(frame))
        frame = frame->parentWidget();
    setScrollRange(1, 1);
    if (frame) {
        const QSize grow = QSize(width, height) - viewport()->size();
        frame->resize(frame->size() + grow);
    } else {
        resize(size() + (QSize(width, height) - viewport()->size()));
    }
    setScrollRange(width, height);
}

void CFractal_View::setFixedBitmapSize(unsigned width, unsigned height)
{
    doc_.image.setRequestedSize(width, height);
    fitClientArea(int(width), int(height));
    doc_.image.fixedSize = true;
}

void CFractal_View::customSize()
{
    takeClientSize();
    unsigned w = unsigned(doc_.image.requestedWidth());
    unsigned h = unsigned(doc_.image.requestedHeight());
    if (!prompts().customSize(this, w, h))
        return;
    setFixedBitmapSize(w, h);
}

void CFractal_View::variableSize()
{
    doc_.image.fixedSize = false;
}

QPoint CFractal_View::toPicture(QPoint viewportPos) const
{
    return viewportPos + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void CFractal_View::hideSelection()
{
    if (!doc_.image.selectionShown)
        return;
    doc_.image.selectionShown = false;
    viewport()->update();
}

void CFractal_View::selectionPress(int x, int y)
{
    ImageBuffer& image = doc_.image;
    if (!image.selectionEnabled || worker_.isRunning())
        return;
    const int w = image.requestedWidth(), h = image.requestedHeight();
    if (x < 0 || y < 0 || x >= w || y >= h)
        return;
    const bool reuse = image.selectionShown && image.selection.halfWidth > 0;
    hideSelection();
    image.selection.centreX = x;
    image.selection.centreY = y;
    image.dragged = false;
    if (reuse) {
        // The last rectangle's size around the new centre.
        const int hx = image.selection.halfWidth;
        setSelectionHalfSizes(image.selection, hx, 0, w, h);
    } else {
        setSelectionHalfSizes(image.selection, 0, 0, w, h);
    }
    image.selectionShown = true;
    viewport()->update();
}

void CFractal_View::selectionDrag(int x, int y)
{
    ImageBuffer& image = doc_.image;
    if (!image.selectionShown)
        return;
    const int dx = std::abs(x - image.selection.centreX);
    const int dy = std::abs(y - image.selection.centreY);
    if (!image.dragged && dx <= kMinSelectionHalf && dy <= kMinSelectionHalf)
        return;
    image.dragged = true;
    setSelectionHalfSizes(image.selection, dx, dy, image.requestedWidth(), image.requestedHeight());
    viewport()->update();
}

void CFractal_View::selectionRelease()
{
    doc_.image.dragged = false;
}

QString CFractal_View::pointUnderMouse(int x, int y) const
{
    if (worker_.isRunning() || !doc_.scene())
        return {};
    const std::optional<std::string> text = pointText(*doc_.scene(), x, y);
    return text ? QString::fromStdString(*text) : QString();
}

bool CFractal_View::printTo(QPainter& painter, int deviceWidth) const
{
    if (displayBitmap_.isNull() || !painter.isActive() || deviceWidth <= 0)
        return false;
    const PrintedSize size =
        printedSize(deviceWidth, unsigned(displayBitmap_.width()), unsigned(displayBitmap_.height()));
    if (size.width <= 0 || size.height <= 0)
        return false;
    painter.drawImage(QRect(0, 0, int(size.width), int(size.height)), displayBitmap_);
    return true;
}

void CFractal_View::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const QPoint offset(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    const QRect bitmapRect(offset, displayBitmap_.size());
    // Only the parts right of and below the picture are cleared, so it never flickers.
    const QRect client = viewport()->rect();
    if (!displayBitmap_.isNull())
        painter.drawImage(offset, displayBitmap_);
    const int right = displayBitmap_.isNull() ? 0 : bitmapRect.right() + 1;
    const int bottom = displayBitmap_.isNull() ? 0 : bitmapRect.bottom() + 1;
    if (right < client.width())
        painter.fillRect(QRect(right, 0, client.width() - right, client.height()), Qt::white);
    if (bottom < client.height())
        painter.fillRect(QRect(0, bottom, std::min(right, client.width()), client.height() - bottom),
                         Qt::white);
    const ImageBuffer& image = doc_.image;
    if (image.selectionShown) {
        const Selection& s = image.selection;
        QStyleOptionFocusRect option;
        option.initFrom(viewport());
        option.rect = QRect(QPoint(s.left, s.top), QPoint(s.right, s.bottom)).translated(offset);
        option.backgroundColor = Qt::black;
        // A dotted rectangle in both colours reads on light and dark pictures alike.
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(option.rect);
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.drawRect(option.rect);
    }
}

void CFractal_View::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    hideSelection();
    setScrollRange(int(doc_.image.bitmapWidth), int(doc_.image.bitmapHeight));
}

void CFractal_View::scrollContentsBy(int, int)
{
    viewport()->update();
}

void CFractal_View::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = toPicture(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        selectionPress(p.x(), p.y());
    else if (event->button() == Qt::RightButton)
        hideSelection();
}

void CFractal_View::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = toPicture(event->position().toPoint());
    if (event->buttons() & Qt::LeftButton)
        selectionDrag(p.x(), p.y());
    const QString text = pointUnderMouse(p.x(), p.y());
    if (!text.isEmpty())
        emit statusMessage(text);
}

void CFractal_View::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        selectionRelease();
}

} // namespace ormolith
