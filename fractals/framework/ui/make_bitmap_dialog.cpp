#include "make_bitmap_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace fractals {

CMakeBitmapDialog::CMakeBitmapDialog(int width, int height, QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Make Bitmap...");
    auto* intro = new QLabel(
        "Kaleidra can generate the fractal in memory and directly save it to disk. This allows "
        "you to generate fractals bigger than your screen size.");
    intro->setWordWrap(true);
    m_width = new QSpinBox;
    m_width->setRange(1, kMaxBitmapSide);
    m_width->setValue(std::clamp(width, 1, kMaxBitmapSide));
    m_height = new QSpinBox;
    m_height->setRange(1, kMaxBitmapSide);
    m_height->setValue(std::clamp(height, 1, kMaxBitmapSide));
    auto* warning =
        new QLabel("WARNING: This operation will require a large amount of memory and disk space, "
                   "depending on the size you choose.");
    warning->setWordWrap(true);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton("&Save As...", QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton("&Cancel", QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_form = new QFormLayout;
    m_form->addRow("&Width:", m_width);
    m_form->addRow("&Height:", m_height);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(m_form);
    layout->addWidget(warning);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

int CMakeBitmapDialog::bitmapWidth() const
{
    return m_width->value();
}

int CMakeBitmapDialog::bitmapHeight() const
{
    return m_height->value();
}

} // namespace fractals
