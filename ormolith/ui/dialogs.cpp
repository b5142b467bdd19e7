#include "dialogs.h"

#include "icons.h"
#include "prompts.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace ormolith {

CSizeDialog::CSizeDialog(unsigned width, unsigned height, QWidget* parent)
    : QDialog(parent), width_(width), height_(height)
{
    setWindowTitle("Custom size");
    widthEdit_ = new QLineEdit(QString::number(width));
    heightEdit_ = new QLineEdit(QString::number(height));
    widthEdit_->setObjectName("width");
    heightEdit_->setObjectName("height");
    auto* row = new QHBoxLayout;
    row->addWidget(widthEdit_);
    row->addWidget(new QLabel("X"));
    row->addWidget(heightEdit_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSizeDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSizeDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

bool CSizeDialog::readEdit(QLineEdit* edit, unsigned& value)
{
    bool ok = false;
    const qulonglong number = edit->text().trimmed().toULongLong(&ok);
    QString problem;
    if (!ok)
        problem = "Please enter a positive integer.";
    else if (number > kMaxSide)
        problem = QString("Please enter an integer between 0 and %1.").arg(kMaxSide);
    if (!problem.isEmpty()) {
        ask(this, problem, QMessageBox::Ok, QMessageBox::Warning);
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    value = static_cast<unsigned>(number);
    return true;
}

void CSizeDialog::accept()
{
    unsigned w = 0, h = 0;
    if (!readEdit(widthEdit_, w) || !readEdit(heightEdit_, h))
        return;
    width_ = w;
    height_ = h;
    QDialog::accept();
}

CNewFractalDialog::CNewFractalDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("New Fractal");
    list_ = new QListWidget;
    list_->setViewMode(QListView::IconMode);
    list_->setIconSize(QSize(32, 32));
    list_->setMovement(QListView::Static);
    list_->setSpacing(12);
    list_->addItem(new QListWidgetItem(kindIcon(0), "Affine System"));
    list_->addItem(new QListWidgetItem(kindIcon(1), "Mebius System"));
    list_->setCurrentRow(1);
    list_->setFocus();
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    resize(280, 180);
}

int CNewFractalDialog::chosenKind() const
{
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty())
        return 0;
    const int row = list_->row(selected.front());
    return row >= 0 && row < 3 ? row : 0;
}

} // namespace ormolith
