#pragma once
// ParamTreeCtrl: a tree with value columns, edited in place. The Properties bar lists a scene's
// parameters in it and the animation dialog its key frames.
//
// Usage:
//   auto* tree = new ParamTreeCtrl(parent);
//   tree->addColumn(0, "Variable", 100);          // column 0 holds the tree itself
//   tree->addColumn(1, "Value", 100);             // columns 1.. hold value cells
//   auto* group = tree->insertRow("Camera", ParamTreeCtrl::kFolderImage,
//                                 ParamTreeCtrl::kFolderImage);
//   auto* row = tree->insertRow("X Position", 2, 1, group);
//   tree->setCellText(row, 1, "0.5");
//   tree->setRowEditable(row, true);
//   connect(tree, &ParamTreeCtrl::cellEdited, owner, [](Row row, int column, QString text) {
//       ...apply, then setCellText(row, column, ...) to show what was taken...
//   });
//
// Editing: a click on a value cell (right of column 0) selects the row, ends any open edit and
// then either opens an edit box over the cell (editable rows; the text is all selected) or, for
// a row that is not editable, sends cellEdited at once with the cell's present text (the owner
// decides what a click means: the bar cycles choices and toggles booleans). Enter, a click on
// another row or elsewhere, vertical scrolling, resizing, a header click, clear() and destroying
// the control end the edit; Escape abandons it. Ending sends cellEdited only when the text
// differs from the cell's. The control never changes a cell by itself: the owner sets the text
// it accepted. An owner that is destroyed before the control must call endEdit() first.
//
// Sorting: a click on a column header sorts every level of the tree by that column, first
// ascending, then alternating; a click on another column starts again ascending. Texts compare
// with compareTexts ("Map 2" before "Map 10"). clear() forgets the sort, as the new rows come in
// the owner's order.
#include <QColor>
#include <QIcon>
#include <QString>
#include <QVector>
#include <QWidget>

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace ormolith {

class ParamTreeCtrl : public QWidget {
    Q_OBJECT
public:
    // A row of the tree; stays valid until it is removed by clear() or the control dies.
    using Row = QTreeWidgetItem*;
    enum SortState { SortNone, SortAscending, SortDescending };
    // Image index of group rows: a closed folder, an open folder while the row is expanded.
    static constexpr int kFolderImage = -1;
    // Indexes into the standard images (standardImages()).
    static constexpr int kImageValueSelected = 1;
    static constexpr int kImageValue = 2;
    static constexpr int kImageFolderClosed = 3;
    static constexpr int kImageFolderOpen = 4;

    explicit ParamTreeCtrl(QWidget* parent = nullptr);
    ~ParamTreeCtrl() override;

    // --- columns ---
    // Inserts a column before `index` (clamped to 0..columnCount()); existing cells move with
    // their columns. Returns the index used.
    int addColumn(int index, const QString& title, int width);
    // Removes a column and its cells; false when there is no such column.
    bool removeColumn(int index);
    bool setColumnTitle(int index, const QString& title);
    QString columnTitle(int index) const;
    int columnCount() const;
    int columnWidth(int index) const;

    // --- rows ---
    // Inserts a row under `parent` (nullptr: top level) after `after` (nullptr: as the last
    // child; an `after` that is not a child of `parent` also appends). `image` and
    // `selectedImage` index the image list; kFolderImage gives the folder that follows the
    // row's expansion.
    Row insertRow(const QString& name, int image, int selectedImage, Row parent = nullptr,
                  Row after = nullptr);
    void setCellText(Row row, int column, const QString& text);
    QString cellText(Row row, int column) const;
    void setRowEditable(Row row, bool editable);
    bool isRowEditable(Row row) const;
    // Value cells of a bold row are drawn bold, in the row's colour (invalid: the palette's).
    void setRowBold(Row row, bool bold);
    bool isRowBold(Row row) const;
    void setRowColor(Row row, const QColor& color);
    QColor rowColor(Row row) const;
    void setRowExpanded(Row row, bool expanded);
    bool isRowExpanded(Row row) const;
    // Removes every row (ending any edit first, which may still send cellEdited).
    void clear();
    // All rows in display order, depth first.
    QVector<Row> rows() const;
    Row parentRow(Row row) const;
    QVector<Row> childRows(Row parent) const; // nullptr: the top rows

    // --- editing ---
    // Commits the open edit box, if any: the box closes, and cellEdited follows when its text
    // differs from the cell's.
    void endEdit();
    // Closes the open edit box without sending anything.
    void cancelEdit();
    bool isEditing() const { return editor_ != nullptr; }
    QLineEdit* editor() const { return editor_; }
    Row editingRow() const { return editRow_; }
    int editingColumn() const { return editColumn_; }
    // What the last cellEdited carried (the owner may read these instead of the arguments).
    Row lastEditedRow() const { return lastRow_; }
    int lastEditedColumn() const { return lastColumn_; }
    QString lastEditedText() const { return lastText_; }
    // What a click at `pos` (in treeWidget()->viewport() coordinates) does; tests and the
    // owner's keyboard handling use it too.
    void clickAt(const QPoint& pos);

    // --- sorting ---
    void sortByColumn(int column); // as a click on the column's header
    SortState sortState(int column) const;
    // < 0, 0, > 0: the order of two texts. When both have digits, the same text before the
    // first digit and different numbers there, the numbers decide; otherwise the texts compare
    // case-insensitively.
    static int compareTexts(const QString& a, const QString& b);

    // --- look ---
    // Images by index (the standard set unless replaced).
    void setImages(const QVector<QIcon>& images);
    static QVector<QIcon> standardImages();
    void setStatusText(const QString& text);
    QString statusText() const { return statusText_; }
    // The embedded view, for geometry (visualItemRect) and tests.
    QTreeWidget* treeWidget() const { return tree_; }
    // The horizontal scroll offset of the value columns and the tree.
    int scrollOffset() const;

signals:
    // An edit ended with a changed text, or a click on the value of a row that is not editable.
    void cellEdited(QTreeWidgetItem* row, int column, const QString& text);
    // A click on a value cell, before its edit box opens or its cellEdited is sent (the
    // key-frame table remembers the column for Insert and Delete).
    void cellClicked(QTreeWidgetItem* row, int column);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class ParamTreeView;
    void headerClicked(int column);
    void openEditor(Row row, int column);
    void finishEdit(bool commit);
    void notify(Row row, int column, const QString& text);
    void applyColumns();
    void refreshRowLook(Row row);
    void updateFolderImage(Row row);
    QIcon iconFor(int image, int selectedImage) const;

    QTreeWidget* tree_ = nullptr;
    QStringList titles_;
    QVector<int> widths_;
    QVector<SortState> sortStates_;
    QVector<QIcon> images_;
    QString statusText_;
    QLineEdit* editor_ = nullptr;
    Row editRow_ = nullptr;
    int editColumn_ = -1;
    Row lastRow_ = nullptr;
    int lastColumn_ = -1;
    QString lastText_;
    bool ending_ = false;
    bool applyingColumns_ = false;
};

} // namespace ormolith
