#pragma once
// The fractal view: paints the last built picture without flicker, sets the size of the next
// build, lets the user drag the zoom rectangle and reports the 3-D point under the mouse.
#include <QAbstractScrollArea>
#include <QImage>

namespace ormolith {

class CFractal_Doc;
class BuildWorker;

class CFractal_View : public QAbstractScrollArea {
    Q_OBJECT
public:
    CFractal_View(CFractal_Doc& doc, const BuildWorker& worker, QWidget* parent = nullptr);

    CFractal_Doc& document() const { return doc_; }
    // What is on screen: the picture of the last build shown (none before the first).
    const QImage& displayBitmap() const { return displayBitmap_; }

    // Unless the size is fixed, the next build takes the client area's size.
    void takeClientSize();
    // The scroll range 1 x 1 first so no scroll bar shrinks the client area, then the size
    // taken, then the range of the picture.
    void prepareBuild();
    // Copies new pixels of a finished build into the display bitmap and repaints.
    void updateFromDocument();
    // A picture copied by a running job (an animation frame).
    void showPicture(const QImage& picture);
    // Bitmap size commands: a fixed size (the frame is resized to show it), or variable.
    void setFixedBitmapSize(unsigned width, unsigned height);
    void customSize();
    void variableSize();
    // Resizes the frame around the view so that the client area is width x height.
    void fitClientArea(int width, int height);
    void setScrollRange(int width, int height);

    // The mouse handling, in picture coordinates (tests drive these directly too).
    void selectionPress(int x, int y);
    void selectionDrag(int x, int y);
    void selectionRelease();
    void hideSelection();
    // The text for the point under the mouse, empty outside the last build's picture or while
    // building.
    QString pointUnderMouse(int x, int y) const;

    // Picture coordinates of a position in the viewport.
    QPoint toPicture(QPoint viewportPos) const;
    // Draws the display bitmap stretched for a printer whose page is `deviceWidth` pixels wide.
    // False when there is nothing to print or the drawing failed.
    bool printTo(class QPainter& painter, int deviceWidth) const;

signals:
    void statusMessage(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    CFractal_Doc& doc_;
    const BuildWorker& worker_;
    QImage displayBitmap_;
};

} // namespace ormolith
