#include "ifs_dialogs.h"

#include "icons.h"
#include "make_bitmap_dialog.h"
#include "prompts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace fractals {

namespace {

QSpinBox* rangeBox(int low, int high, int value)
{
    auto* box = new QSpinBox;
    box->setRange(low, high);
    box->setValue(value);
    return box;
}

QDialogButtonBox* okCancel(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

// A sheet of one page: the tab, then OK and Cancel.
QWidget* addPage(QDialog* dialog, const QString& title, const QString& pageName)
{
    dialog->setWindowTitle(title);
    auto* tabs = new QTabWidget;
    auto* page = new QWidget;
    tabs->addTab(page, pageName);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(tabs);
    layout->addWidget(okCancel(dialog));
    return page;
}

QLabel* iconLabel(int iconId)
{
    auto* icon = new QLabel;
    icon->setObjectName(QString("icon%1").arg(iconId));
    // The frame sheet belongs to the IFS document too, so both show the IFS type's icon.
    icon->setPixmap(docTypeIcon(3).pixmap(32, 32));
    return icon;
}

} // namespace

// ---------------------------------------------------------------------------------------

CFramePropertiesSheet::CFramePropertiesSheet(const CIfsFrame& frame, QWidget* parent)
    : QDialog(parent), m_frame(frame)
{
    QWidget* page = addPage(this, "Frame Properties", "General");
    auto* form = new QFormLayout(page);
    auto* top = new QHBoxLayout;
    top->addWidget(iconLabel(3000));
    auto* type = new QLineEdit("Iterated Function System Frame");
    type->setReadOnly(true);
    top->addWidget(type, 1);
    form->addRow(top);
    const int values[6] = {frame.vertex.x, frame.vertex.y, frame.side1.x,
                           frame.side1.y,  frame.side2.x,  frame.side2.y};
    const char* labels[6] = {"&Vertex (X):",  "Ver&tex (Y):",  "&Side #1 (X):",
                             "S&ide #1 (Y):", "Si&de #2 (X):", "Sid&e #2 (Y):"};
    for (int k = 0; k < 6; ++k) {
        // The vertex may lie well outside the square; a side spans at most two squares.
        m_fields[static_cast<std::size_t>(k)] = rangeBox(-20000, k < 2 ? 30000 : 20000, values[k]);
        form->addRow(labels[k], m_fields[static_cast<std::size_t>(k)]);
    }
    m_ignore = new QCheckBox("I&gnore Color");
    m_ignore->setChecked(frame.ignoreColor != 0);
    form->addRow(m_ignore);
}

CIfsFrame CFramePropertiesSheet::frame() const
{
    CIfsFrame f = m_frame;
    f.vertex = {m_fields[0]->value(), m_fields[1]->value()};
    f.side1 = {m_fields[2]->value(), m_fields[3]->value()};
    f.side2 = {m_fields[4]->value(), m_fields[5]->value()};
    f.ignoreColor = m_ignore->isChecked() ? 1 : 0;
    return f;
}

void CFramePropertiesSheet::accept()
{
    if (!frame().isValid()) {
        showMessage(this, kMsgInvalidFrame);
        return;
    }
    QDialog::accept();
}

CShiftFrameDialog::CShiftFrameDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Shift Frame");
    auto* text = new QLabel("Enter the number of units to shift the frame by. Each side of the "
                            "bounding box is 10000 units.");
    text->setWordWrap(true);
    m_x = rangeBox(-10000, 10000, 0);
    m_y = rangeBox(-10000, 10000, 0);
    auto* form = new QFormLayout;
    form->addRow("&X-Direction:", m_x);
    form->addRow("&Y-Direction:", m_y);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
}

CRotateFrameDialog::CRotateFrameDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Rotate Frame");
    auto* text = new QLabel("Please select the number of degrees to rotate the frame. Note that "
                            "a positive angle will rotate the frame clockwise.");
    text->setWordWrap(true);
    // The spin box is the edit and its up-down control in one, with the same range.
    m_angle = rangeBox(-359, 359, 0);
    auto* form = new QFormLayout;
    form->addRow("Rotation An&gle:", m_angle);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
}

// ---------------------------------------------------------------------------------------

CIfsPropertiesSheet::CIfsPropertiesSheet(CIfsDoc& doc, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_colors{doc.bkgrd, doc.border, doc.defframe}
{
    QWidget* page = addPage(this, "IFS Fractal Properties", "General");
    auto* form = new QFormLayout(page);
    auto* top = new QHBoxLayout;
    top->addWidget(iconLabel(3));
    m_path = new QLineEdit(QString::fromStdString(doc.pathName().string()));
    m_path->setReadOnly(true);
    top->addWidget(m_path, 1);
    form->addRow(top);
    m_name = new QLineEdit(QString::fromStdString(doc.name()));
    m_author = new QLineEdit(QString::fromStdString(doc.author()));
    form->addRow("&Name:", m_name);
    form->addRow("A&uthor:", m_author);
    auto* colours = new QHBoxLayout;
    const char* texts[3] = {"&Background", "S&quare", "&Def. Frame"};
    for (int k = 0; k < 3; ++k) {
        auto* button = new QPushButton(texts[k]);
        connect(button, &QPushButton::clicked, this, [this, k] { pickColor(k); });
        colours->addWidget(button);
    }
    form->addRow(colours);
    m_showframes = new QCheckBox("&Show frames while generating");
    m_showframes->setChecked(doc.showframes != 0);
    m_samecolor = new QCheckBox("Use default &color when generating");
    m_samecolor->setChecked(doc.samecolor != 0);
    form->addRow(m_showframes);
    form->addRow(m_samecolor);
}

QString CIfsPropertiesSheet::pathText() const
{
    return m_path->text();
}

void CIfsPropertiesSheet::pickColor(int which)
{
    ColorRef& c = m_colors[static_cast<std::size_t>(which)];
    const std::optional<QColor> picked =
        prompts().color(this, QColor(GetRValue(c), GetGValue(c), GetBValue(c)));
    if (picked)
        c = RGB(picked->red(), picked->green(), picked->blue());
}

void CIfsPropertiesSheet::accept()
{
    m_doc.SetName(m_name->text().toStdString());
    m_doc.SetAuthor(m_author->text().toStdString());
    m_doc.setSettings(m_colors[0], m_colors[1], m_colors[2], m_samecolor->isChecked() ? 1 : 0,
                      m_showframes->isChecked() ? 1 : 0);
    QDialog::accept();
}

bool editIfsProperties(CIfsDoc& doc, QWidget* parent)
{
    CIfsPropertiesSheet sheet(doc, parent);
    return sheet.exec() == QDialog::Accepted;
}

// ---------------------------------------------------------------------------------------

bool RealIfsDialogs::frameProperties(QWidget* parent, CIfsFrame& frame)
{
    CFramePropertiesSheet sheet(frame, parent);
    if (sheet.exec() != QDialog::Accepted)
        return false;
    frame = sheet.frame();
    return true;
}

bool RealIfsDialogs::shiftFrame(QWidget* parent, int& dx, int& dy)
{
    CShiftFrameDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    dx = dialog.xBox()->value();
    dy = dialog.yBox()->value();
    return true;
}

bool RealIfsDialogs::rotateFrame(QWidget* parent, int& angle)
{
    CRotateFrameDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    angle = dialog.angleBox()->value();
    return true;
}

bool RealIfsDialogs::saveBitmap(QWidget* parent, int& width, int& height,
                                std::uint64_t& pointsPerPixel)
{
    CMakeBitmapDialog dialog(width, height, parent);
    dialog.setWindowTitle("Save Bitmap...");
    // The game never ends by itself: a file gets this many points for each of its pixels.
    auto* points = rangeBox(1, 100000, static_cast<int>(pointsPerPixel));
    dialog.form()->addRow("&Points per pixel:", points);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    width = dialog.bitmapWidth();
    height = dialog.bitmapHeight();
    pointsPerPixel = static_cast<std::uint64_t>(points->value());
    return true;
}

} // namespace fractals
