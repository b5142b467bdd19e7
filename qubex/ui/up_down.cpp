#include "up_down.h"

#include "files/text_io.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace qubex {

UpDown::UpDown(QLineEdit* buddy, int minimum, int maximum, int step, QWidget* parent)
    : QWidget(parent), buddy_(buddy), minimum_(minimum), maximum_(maximum), step_(step)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    up_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    up_->setAutoRepeat(true);
    down_ = new QToolButton(this);
    down_->setArrowType(Qt::DownArrow);
    down_->setAutoRepeat(true);
    for (QToolButton* b : {up_, down_}) {
        b->setFixedSize(17, 11);
        layout->addWidget(b);
    }
    connect(up_, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { stepBy(-1); });
}

void UpDown::stepBy(int steps)
{
    const std::string text = buddy_->text().toStdString();
    std::string_view rest(text);
    const auto current = scanInteger(rest);
    long long value = current ? *current + static_cast<long long>(steps) * step_
                              : (steps > 0 ? minimum_ : maximum_);
    value = std::clamp<long long>(value, minimum_, maximum_);
    buddy_->setText(QString::number(value)); // no thousands separator
}

} // namespace qubex
