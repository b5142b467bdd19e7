#include "tform5.h"

#include "files/editor_cells.h"
#include "tform1.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

namespace qubex {

TForm5::TForm5(TForm1& owner) : QWidget(nullptr, Qt::Window), owner_(owner)
{
    setObjectName("Form5");
    setWindowTitle("qubex - code editor");
    resize(424, 182);
    grid_ = new QTableWidget(this);
    grid_->setColumnCount(kEditorColumns);
    QStringList headers;
    for (int c = 0; c < kEditorColumns; ++c)
        headers << QString::fromStdString(editorHeader(c));
    grid_->setHorizontalHeaderLabels(headers);
    // 50 pixels held a "%lf" value in the small dialog font this layout was made for; with
    // today's fonts a column is made as wide as "-0.000000" needs, and never narrower.
    const int numberWidth = grid_->fontMetrics().horizontalAdvance("-0.0000000") + 8;
    grid_->horizontalHeader()->setDefaultSectionSize(std::max(50, numberWidth));
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid_->verticalHeader()->setVisible(false);
    grid_->verticalHeader()->setDefaultSectionSize(15 + 6);
    grid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    grid_->setTabKeyNavigation(true);
    // A click selects a cell and typing replaces what it holds, as in any spreadsheet; a
    // double click or F2 edits the text in place. Opening the editor on every click put the
    // caret wherever the click landed, so a typed number was spliced into the old one.
    grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    grid_->setShowGrid(true);

    close_ = new QPushButton("close", this);
    apply_ = new QPushButton("apply", this);
    help_ = new QPushButton("help", this);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    connect(apply_, &QPushButton::clicked, this, [this] { apply(); });
    connect(help_, &QPushButton::clicked, this, [this] {
        owner_.prompts().help({HelpKind::Topic, 17});
    });
    refreshCodeEditor();
}

void TForm5::refreshCodeEditor()
{
    const auto cells = editorCells(owner_.document().code());
    grid_->clearContents();
    grid_->setRowCount(static_cast<int>(cells.size()));
    for (int row = 0; row < static_cast<int>(cells.size()); ++row)
        for (int col = 0; col < kEditorColumns; ++col)
            grid_->setItem(
                row, col,
                new QTableWidgetItem(QString::fromStdString(
                    cells[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)])));
}

void TForm5::apply()
{
    // A cell still being typed in counts with what it shows.
    if (QWidget* editor = grid_->focusWidget(); editor && editor != grid_)
        grid_->setFocus();
    std::vector<std::vector<std::string>> cells;
    for (int row = 0; row < grid_->rowCount(); ++row) {
        std::vector<std::string> texts;
        for (int col = 0; col < kEditorColumns; ++col) {
            const QTableWidgetItem* item = grid_->item(row, col);
            texts.push_back(item ? item->text().toStdString() : std::string());
        }
        cells.push_back(std::move(texts));
    }
    Document& d = owner_.document();
    const bool error = applyEditorCells(d.code(), cells);
    d.generatePoints();
    owner_.drawScene();
    if (error)
        owner_.prompts().message(this, kCodeInterpretationError, kTitle);
}

void TForm5::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int w = width(), h = height();
    grid_->setGeometry(0, 0, std::max(0, w - 15), std::max(0, h - 45));
    close_->setGeometry(w - 65, h - 30, 60, 25);
    apply_->setGeometry(w - 135, h - 30, 60, 25);
    help_->setGeometry(w - 210, h - 30, 60, 25);
}

void TForm5::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    owner_.editorClosed();
}

} // namespace qubex
