#pragma once
// The dialogs of the IFS window: the document's properties sheet, the frame properties
// sheet, the shift and rotate dialogs and the Save Bitmap dialog with its number of points.
#include "ifs_doc.h"
#include "ifs_view.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace fractals {

class CFramePropertiesSheet : public QDialog {
    Q_OBJECT
public:
    CFramePropertiesSheet(const CIfsFrame& frame, QWidget* parent);
    // 0 vertex x, 1 vertex y, 2 side1 x, 3 side1 y, 4 side2 x, 5 side2 y.
    QSpinBox* field(int index) const { return m_fields[static_cast<std::size_t>(index)]; }
    QCheckBox* ignoreColorBox() const { return m_ignore; }
    CIfsFrame frame() const;

public slots:
    // An invalid frame shows 33001 and keeps the page open.
    void accept() override;

private:
    CIfsFrame m_frame;
    std::array<QSpinBox*, 6> m_fields{};
    QCheckBox* m_ignore;
};

class CShiftFrameDialog : public QDialog {
    Q_OBJECT
public:
    explicit CShiftFrameDialog(QWidget* parent);
    QSpinBox* xBox() const { return m_x; }
    QSpinBox* yBox() const { return m_y; }

private:
    QSpinBox* m_x;
    QSpinBox* m_y;
};

class CRotateFrameDialog : public QDialog {
    Q_OBJECT
public:
    explicit CRotateFrameDialog(QWidget* parent);
    QSpinBox* angleBox() const { return m_angle; }

private:
    QSpinBox* m_angle;
};

// "IFS Fractal Properties": name, author, the three colours and the two switches. The
// document changes only on OK.
class CIfsPropertiesSheet : public QDialog {
    Q_OBJECT
public:
    CIfsPropertiesSheet(CIfsDoc& doc, QWidget* parent);
    QLineEdit* nameEdit() const { return m_name; }
    QLineEdit* authorEdit() const { return m_author; }
    QString pathText() const;
    QCheckBox* showFramesBox() const { return m_showframes; }
    QCheckBox* sameColorBox() const { return m_samecolor; }
    // The "&Background", "S&quare" and "&Def. Frame" buttons: 0, 1, 2.
    void pickColor(int which);
    ColorRef color(int which) const { return m_colors[static_cast<std::size_t>(which)]; }

public slots:
    void accept() override;

private:
    CIfsDoc& m_doc;
    QLineEdit* m_path;
    QLineEdit* m_name;
    QLineEdit* m_author;
    QCheckBox* m_showframes;
    QCheckBox* m_samecolor;
    std::array<ColorRef, 3> m_colors{}; // bkgrd, border, defframe
};

bool editIfsProperties(CIfsDoc& doc, QWidget* parent);

class RealIfsDialogs : public IfsDialogs {
public:
    bool frameProperties(QWidget* parent, CIfsFrame& frame) override;
    bool shiftFrame(QWidget* parent, int& dx, int& dy) override;
    bool rotateFrame(QWidget* parent, int& angle) override;
    bool saveBitmap(QWidget* parent, int& width, int& height,
                    std::uint64_t& pointsPerPixel) override;
};

} // namespace fractals
