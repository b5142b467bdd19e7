#include "animation_dialog.h"

#include "anim_production.h"
#include "child_frame.h"
#include "param_tree_ctrl.h"
#include "prompts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ormolith {

namespace {

QPushButton* makeButton(const char* text, const char* name)
{
    auto* button = new QPushButton(QString::fromLatin1(text));
    button->setObjectName(QString::fromLatin1(name));
    // Enter belongs to the table's edit box; no button may take it as the dialog's default.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// The save dialog's filter in Qt's form; "*.*" of the original filter would hide files
// without a dot here.
QString aviFilter()
{
    return QStringLiteral("Avi Files (*.avi);;All Files (*)");
}

} // namespace

AnimationDialog::AnimationDialog(CChildFrame& frame, QWidget* parent)
    : QDialog(parent), frame_(frame), model_(frame.doc())
{
    setObjectName(QStringLiteral("AnimationDialog"));
    setWindowTitle(QString::fromLatin1(kAnimationDialogTitle));
    setSizeGripEnabled(true);

    tree_ = new ParamTreeCtrl;
    tree_->setObjectName(QStringLiteral("keyFrames"));
    tree_->treeWidget()->setFrameShape(QFrame::StyledPanel);
    tree_->setStatusText(QString::fromLatin1(kStatusText));
    tree_->setToolTip(QString::fromLatin1(kToolTip));
    tree_->treeWidget()->viewport()->setToolTip(QString::fromLatin1(kToolTip));

    startFrom_ = new QLineEdit;
    startFrom_->setObjectName(QStringLiteral("startFrom"));
    fps_ = new QLineEdit;
    fps_->setObjectName(QStringLiteral("fps"));
    for (QLineEdit* edit : {startFrom_, fps_})
        edit->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000000")));
    total_ = new QLabel;
    total_->setObjectName(QStringLiteral("total"));
    dontSave_ = new QCheckBox(QStringLiteral("D&on't save"));
    dontSave_->setObjectName(QStringLiteral("dontSave"));
    go_ = makeButton("&Go", "go");
    mode_ = makeButton(kAddVariablesText, "mode");
    insert_ = makeButton("&Insert frame", "insert");
    delete_ = makeButton("&Delete frame", "delete");
    compress_ = makeButton("&Compress", "compress");
    close_ = makeButton("C&lose", "close");

    auto* startLabel = new QLabel(QStringLiteral("&Start from"));
    startLabel->setBuddy(startFrom_);
    auto* fpsLabel = new QLabel(QStringLiteral("fps"));
    fpsLabel->setBuddy(fps_);
    auto* edits = new QHBoxLayout;
    edits->addWidget(startLabel);
    edits->addWidget(startFrom_);
    edits->addWidget(go_);
    edits->addSpacing(12);
    edits->addWidget(fps_);
    edits->addWidget(fpsLabel);
    edits->addSpacing(12);
    edits->addWidget(total_);
    edits->addStretch(1);
    edits->addWidget(dontSave_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(mode_);
    buttons->addWidget(insert_);
    buttons->addWidget(delete_);
    buttons->addStretch(1);
    buttons->addWidget(compress_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tree_, 1); // the table takes whatever the dialog is resized to
    layout->addLayout(edits);
    layout->addLayout(buttons);
    // 400 x 214 dialog units at the usual 1.5 pixels a unit across, 1.625 down.
    resize(600, 348);

    connect(tree_, &ParamTreeCtrl::cellEdited, this, &AnimationDialog::cellEdited);
    connect(tree_, &ParamTreeCtrl::cellClicked, this,
            [this](QTreeWidgetItem* row, int column) { model_.clickCell(indexOf(row), column); });
    connect(tree_->treeWidget(), &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* row) {
        if (!filling_)
            model_.setExpanded(indexOf(row), true);
    });
    connect(tree_->treeWidget(), &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* row) {
        if (!filling_)
            model_.setExpanded(indexOf(row), false);
    });
    connect(mode_, &QPushButton::clicked, this, &AnimationDialog::switchMode);
    connect(insert_, &QPushButton::clicked, this, &AnimationDialog::insertFrame);
    connect(delete_, &QPushButton::clicked, this, &AnimationDialog::deleteFrame);
    connect(go_, &QPushButton::clicked, this, &AnimationDialog::go);
    connect(compress_, &QPushButton::clicked, this, &AnimationDialog::compress);
    connect(close_, &QPushButton::clicked, this, &AnimationDialog::reject);

    refill();
    showEdits();
}

AnimationDialog::~AnimationDialog()
{
    // An edit still open would reach the model while it is being destroyed.
    disconnect(tree_, nullptr, this, nullptr);
    disconnect(tree_->treeWidget(), nullptr, this, nullptr);
    tree_->cancelEdit();
}

int AnimationDialog::indexOf(QTreeWidgetItem* row) const
{
    return row ? int(rows_.indexOf(row)) : -1;
}

void AnimationDialog::takeEdits()
{
    tree_->endEdit();
    model_.startFromText = startFrom_->text().toStdString();
    model_.fpsText = fps_->text().toStdString();
    model_.dontSave = dontSave_->isChecked();
}

void AnimationDialog::showEdits()
{
    startFrom_->setText(QString::fromStdString(model_.startFromText));
    fps_->setText(QString::fromStdString(model_.fpsText));
    dontSave_->setChecked(model_.dontSave);
    total_->setText(QString::fromStdString(model_.totalText()));
}

void AnimationDialog::refill()
{
    // The table is rebuilt whole; painting waits until it is complete.
    setUpdatesEnabled(false);
    filling_ = true;
    tree_->cancelEdit();
    tree_->clear();
    rows_.clear();
    while (tree_->columnCount() > 0)
        tree_->removeColumn(tree_->columnCount() - 1);
    const auto& columns = model_.columns();
    for (std::size_t c = 0; c < columns.size(); ++c)
        tree_->addColumn(int(c), QString::fromStdString(columns[c].title), columns[c].width);

    const bool editFrames = model_.mode() == AnimationDialogModel::Mode::editFrames;
    for (const AnimationRow& r : model_.rows()) {
        const bool group = r.kind == AnimationRow::Kind::group;
        QTreeWidgetItem* parent = r.parent >= 0 ? rows_.value(r.parent) : nullptr;
        QTreeWidgetItem* item = tree_->insertRow(
            QString::fromStdString(r.cells.at(0)),
            group ? ParamTreeCtrl::kFolderImage : ParamTreeCtrl::kImageValue,
            group ? ParamTreeCtrl::kFolderImage : ParamTreeCtrl::kImageValueSelected, parent);
        for (std::size_t c = 1; c < r.cells.size(); ++c)
            tree_->setCellText(item, int(c), QString::fromStdString(r.cells[c]));
        // A click on a "Yes"/"No" mark toggles it without an edit box; values and frame counts
        // are typed.
        tree_->setRowEditable(item, r.kind == AnimationRow::Kind::framesCount ||
                                        (r.kind == AnimationRow::Kind::variable && editFrames));
        rows_.push_back(item);
    }
    // Expanded once their rows below exist.
    for (std::size_t i = 0; i < model_.rows().size(); ++i)
        if (model_.rows()[i].kind == AnimationRow::Kind::group)
            tree_->setRowExpanded(rows_[int(i)], model_.rows()[i].expanded);
    filling_ = false;

    mode_->setText(QString::fromLatin1(model_.modeButtonText()));
    insert_->setEnabled(model_.frameButtonsEnabled());
    delete_->setEnabled(model_.frameButtonsEnabled());
    total_->setText(QString::fromStdString(model_.totalText()));
    setUpdatesEnabled(true);
}

void AnimationDialog::cellEdited(QTreeWidgetItem* row, int column, const QString& text)
{
    const int i = indexOf(row);
    if (filling_ || i < 0)
        return;
    model_.editCell(i, column, text.toStdString());
    // The cell shows what the model took, which may differ from what was typed.
    const AnimationRow& r = model_.rows()[std::size_t(i)];
    if (column >= 0 && std::size_t(column) < r.cells.size())
        tree_->setCellText(row, column, QString::fromStdString(r.cells[std::size_t(column)]));
    total_->setText(QString::fromStdString(model_.totalText()));
}

void AnimationDialog::switchMode()
{
    takeEdits();
    model_.switchMode();
    refill();
    showEdits();
}

void AnimationDialog::insertFrame()
{
    takeEdits();
    model_.insertFrame();
    refill();
    showEdits();
}

void AnimationDialog::deleteFrame()
{
    takeEdits();
    model_.deleteFrame();
    refill();
    showEdits();
}

void AnimationDialog::go()
{
    takeEdits();
    if (model_.go(frame_.isBuilding()))
        frame_.startBuild(kGoBuildCommand);
    showEdits();
}

void AnimationDialog::compress()
{
    takeEdits();
    const AnimationDialogModel::CompressStep step = model_.compress(frame_.isBuilding());
    showEdits();
    switch (step) {
    case AnimationDialogModel::CompressStep::refusedBuilding:
        ask(this, QString::fromLatin1(kStopBuildingFirstText), QMessageBox::Ok,
            QMessageBox::Critical);
        return;
    case AnimationDialogModel::CompressStep::askForFile: {
        const QString path = prompts().saveFileName(this, QStringLiteral("Save As"), aviFilter(),
                                                    QString::fromLatin1(kAviDefaultExtension),
                                                    QString::fromLatin1(kAviInitialName), nullptr);
        if (path.isEmpty())
            return; // the dialog stays
        model_.startProduction(path.toStdString());
        break;
    }
    case AnimationDialogModel::CompressStep::start:
        break;
    }
    done(QDialog::Accepted);
}

void AnimationDialog::reject()
{
    takeEdits();
    model_.close();
    QDialog::reject();
}

} // namespace ormolith
