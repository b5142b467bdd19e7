#pragma once
// The small dialogs: the bitmap's custom size and the kind of a new fractal.
#include <QDialog>

class QLineEdit;
class QListWidget;

namespace ormolith {

// Width and height of the next build, each a whole number from 0 to 4096.
class CSizeDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr unsigned kMaxSide = 4096;
    CSizeDialog(unsigned width, unsigned height, QWidget* parent = nullptr);
    unsigned sizeWidth() const { return width_; }
    unsigned sizeHeight() const { return height_; }
    QLineEdit* widthEdit() const { return widthEdit_; }
    QLineEdit* heightEdit() const { return heightEdit_; }
    // Closes with OK only when both numbers are in range; otherwise says why and stays.
    void accept() override;

private:
    bool readEdit(QLineEdit* edit, unsigned& value);
    QLineEdit* widthEdit_;
    QLineEdit* heightEdit_;
    unsigned width_, height_;
};

// "New Fractal": the two kinds as large icons, the Moebius one preselected.
class CNewFractalDialog : public QDialog {
    Q_OBJECT
public:
    explicit CNewFractalDialog(QWidget* parent = nullptr);
    QListWidget* list() const { return list_; }
    // The selected kind; no selection (or an unknown row) counts as affine.
    int chosenKind() const;

private:
    QListWidget* list_;
};

} // namespace ormolith
