#pragma once
// "Make Bitmap...": the size of a picture rendered in memory and saved straight to disk.
#include <QDialog>

class QFormLayout;
class QSpinBox;

namespace fractals {

// Largest side accepted: a 20000 × 20000 palette picture already needs 400 MB.
inline constexpr int kMaxBitmapSide = 20000;

class CMakeBitmapDialog : public QDialog {
    Q_OBJECT
public:
    CMakeBitmapDialog(int width, int height, QWidget* parent);
    int bitmapWidth() const;
    int bitmapHeight() const;
    QSpinBox* widthBox() const { return m_width; }
    QSpinBox* heightBox() const { return m_height; }
    // Where a kind adds fields of its own (the IFS type's number of points).
    QFormLayout* form() const { return m_form; }

private:
    QSpinBox* m_width;
    QSpinBox* m_height;
    QFormLayout* m_form;
};

} // namespace fractals
