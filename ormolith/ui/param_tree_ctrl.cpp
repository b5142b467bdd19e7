#include "param_tree_ctrl.h"

#include <QEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

// The images live in a static library, whose resources are dropped unless something refers to
// them; Q_INIT_RESOURCE must be used outside any namespace.
static void initParamTreeResources()
{
    Q_INIT_RESOURCE(param_tree);
}

namespace ormolith {

namespace {

// A row record: what the owner set on the row beyond the cell texts.
class RowItem : public QTreeWidgetItem {
public:
    bool editable = false;
    bool bold = false;
    QColor color;
    int image = 0;
    int selectedImage = 0;

    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        return ParamTreeCtrl::compareTexts(text(column), other.text(column)) < 0;
    }
};

RowItem* record(QTreeWidgetItem* row)
{
    return static_cast<RowItem*>(row);
}

void collectRows(QTreeWidgetItem* parent, QVector<QTreeWidgetItem*>& out)
{
    for (int i = 0; i < parent->childCount(); ++i) {
        out.push_back(parent->child(i));
        collectRows(parent->child(i), out);
    }
}

// The digits that start at the first digit of `text`, and whether there are any.
struct NumberPart {
    QStringView before;
    QStringView digits;
};

NumberPart splitAtNumber(const QString& text)
{
    qsizetype first = 0;
    while (first < text.size() && !text[first].isDigit())
        ++first;
    qsizetype end = first;
    while (end < text.size() && text[end].isDigit())
        ++end;
    return {QStringView(text).left(first), QStringView(text).mid(first, end - first)};
}

// Compares two digit runs as numbers of any length (leading zeros ignored); an empty run is 0.
int compareNumbers(QStringView a, QStringView b)
{
    auto trim = [](QStringView s) {
        qsizetype i = 0;
        while (i < s.size() && s[i] == u'0')
            ++i;
        return s.mid(i);
    };
    a = trim(a);
    b = trim(b);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

} // namespace

// The tree itself: Qt draws rows, lines, expand buttons and the selection; clicks on value
// cells go to the control, which decides between an edit box and a notification.
class ParamTreeView : public QTreeWidget {
public:
    ParamTreeView(ParamTreeCtrl* owner) : QTreeWidget(owner), owner_(owner) {}

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        QTreeWidget::mousePressEvent(event);
        if (event->button() == Qt::LeftButton)
            owner_->clickAt(event->position().toPoint());
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        // A second click on a value counts as a click (a boolean toggles back); in column 0 a
        // double click opens or closes the group.
        const QPoint pos = event->position().toPoint();
        if (event->button() == Qt::LeftButton && itemAt(pos) && columnAt(pos.x()) != 0) {
            owner_->clickAt(pos);
            return;
        }
        QTreeWidget::mouseDoubleClickEvent(event);
    }

private:
    ParamTreeCtrl* owner_;
};

ParamTreeCtrl::ParamTreeCtrl(QWidget* parent) : QWidget(parent)
{
    initParamTreeResources();
    auto* tree = new ParamTreeView(this);
    tree_ = tree;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree_);

    tree_->setColumnCount(0);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree_->setAllColumnsShowFocus(true);
    tree_->setRootIsDecorated(true);
    tree_->setUniformRowHeights(true);
    tree_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    tree_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    tree_->setExpandsOnDoubleClick(true);
    QHeaderView* header = tree_->header();
    header->setStretchLastSection(true); // the last column takes everything to its right
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setSectionResizeMode(QHeaderView::Interactive);
    connect(header, &QHeaderView::sectionClicked, this, &ParamTreeCtrl::headerClicked);
    connect(header, &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        endEdit();
        if (!applyingColumns_ && column >= 0 && column < widths_.size())
            widths_[column] = width;
    });
    connect(tree_->verticalScrollBar(), &QScrollBar::valueChanged, this, &ParamTreeCtrl::endEdit);
    connect(tree_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* row) {
        endEdit();
        updateFolderImage(row);
    });
    connect(tree_, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* row) {
        endEdit();
        updateFolderImage(row);
    });
    images_ = standardImages();
}

ParamTreeCtrl::~ParamTreeCtrl()
{
    endEdit();
    // The view reports resized sections and scrolling while it dies; it must do so while this
    // control is still whole.
    delete tree_;
    tree_ = nullptr;
}

// --- columns ---

void ParamTreeCtrl::applyColumns()
{
    // Changing the count makes the header report the old sections' sizes; the stored widths
    // are the ones that count.
    const bool wasApplying = std::exchange(applyingColumns_, true);
    tree_->setColumnCount(int(titles_.size()));
    tree_->setHeaderLabels(titles_);
    for (int i = 0; i < widths_.size(); ++i)
        tree_->setColumnWidth(i, widths_[i]);
    applyingColumns_ = wasApplying;
}

int ParamTreeCtrl::addColumn(int index, const QString& title, int width)
{
    endEdit();
    index = std::clamp(index, 0, int(titles_.size()));
    const QVector<Row> all = rows();
    QVector<QStringList> texts;
    for (Row row : all) {
        QStringList cells;
        for (int c = 0; c < titles_.size(); ++c)
            cells << row->text(c);
        cells.insert(index, QString());
        texts.push_back(cells);
    }
    titles_.insert(index, title);
    widths_.insert(index, std::max(width, 0));
    sortStates_.insert(index, SortNone);
    applyColumns();
    for (int i = 0; i < all.size(); ++i) {
        for (int c = 0; c < titles_.size(); ++c)
            all[i]->setText(c, texts[i][c]);
        refreshRowLook(all[i]);
    }
    return index;
}

bool ParamTreeCtrl::removeColumn(int index)
{
    if (index < 0 || index >= titles_.size())
        return false;
    endEdit();
    const QVector<Row> all = rows();
    QVector<QStringList> texts;
    for (Row row : all) {
        QStringList cells;
        for (int c = 0; c < titles_.size(); ++c)
            cells << row->text(c);
        cells.removeAt(index);
        texts.push_back(cells);
    }
    titles_.removeAt(index);
    widths_.removeAt(index);
    sortStates_.removeAt(index);
    applyColumns();
    for (int i = 0; i < all.size(); ++i) {
        for (int c = 0; c < titles_.size(); ++c)
            all[i]->setText(c, texts[i][c]);
        refreshRowLook(all[i]);
    }
    return true;
}

bool ParamTreeCtrl::setColumnTitle(int index, const QString& title)
{
    if (index < 0 || index >= titles_.size())
        return false;
    titles_[index] = title;
    tree_->headerItem()->setText(index, title);
    return true;
}

QString ParamTreeCtrl::columnTitle(int index) const
{
    return index >= 0 && index < titles_.size() ? titles_[index] : QString();
}

int ParamTreeCtrl::columnCount() const
{
    return int(titles_.size());
}

int ParamTreeCtrl::columnWidth(int index) const
{
    return index >= 0 && index < titles_.size() ? tree_->columnWidth(index) : 0;
}

// --- rows ---

QIcon ParamTreeCtrl::iconFor(int image, int selectedImage) const
{
    auto pick = [this](int i) {
        return i >= 0 && i < images_.size() ? images_[i].pixmap(16, 16) : QPixmap();
    };
    QIcon icon;
    const QPixmap normal = pick(image);
    const QPixmap selected = pick(selectedImage);
    if (!normal.isNull())
        icon.addPixmap(normal, QIcon::Normal);
    if (!selected.isNull())
        icon.addPixmap(selected, QIcon::Selected);
    return icon;
}

void ParamTreeCtrl::updateFolderImage(Row row)
{
    RowItem* r = record(row);
    if (r->image != kFolderImage)
        return;
    const int image = row->isExpanded() ? kImageFolderOpen : kImageFolderClosed;
    row->setIcon(0, iconFor(image, image));
}

ParamTreeCtrl::Row ParamTreeCtrl::insertRow(const QString& name, int image, int selectedImage,
                                            Row parent, Row after)
{
    auto* row = new RowItem;
    row->image = image;
    row->selectedImage = selectedImage;
    row->setText(0, name);
    QTreeWidgetItem* container = parent ? parent : tree_->invisibleRootItem();
    const int afterIndex = after ? container->indexOfChild(after) : -1;
    if (afterIndex >= 0)
        container->insertChild(afterIndex + 1, row);
    else
        container->addChild(row);
    if (image == kFolderImage)
        updateFolderImage(row);
    else
        row->setIcon(0, iconFor(image, selectedImage));
    return row;
}

void ParamTreeCtrl::setCellText(Row row, int column, const QString& text)
{
    if (row && column >= 0 && column < titles_.size())
        row->setText(column, text);
}

QString ParamTreeCtrl::cellText(Row row, int column) const
{
    return row && column >= 0 && column < titles_.size() ? row->text(column) : QString();
}

void ParamTreeCtrl::setRowEditable(Row row, bool editable)
{
    if (row)
        record(row)->editable = editable;
}

bool ParamTreeCtrl::isRowEditable(Row row) const
{
    return row && record(row)->editable;
}

void ParamTreeCtrl::refreshRowLook(Row row)
{
    const RowItem* r = record(row);
    QFont font = tree_->font();
    font.setBold(r->bold);
    for (int c = 1; c < titles_.size(); ++c) {
        row->setFont(c, font);
        row->setForeground(c, r->color.isValid() ? QBrush(r->color) : QBrush());
    }
}

void ParamTreeCtrl::setRowBold(Row row, bool bold)
{
    if (!row)
        return;
    record(row)->bold = bold;
    refreshRowLook(row);
}

bool ParamTreeCtrl::isRowBold(Row row) const
{
    return row && record(row)->bold;
}

void ParamTreeCtrl::setRowColor(Row row, const QColor& color)
{
    if (!row)
        return;
    record(row)->color = color;
    refreshRowLook(row);
}

QColor ParamTreeCtrl::rowColor(Row row) const
{
    return row ? record(row)->color : QColor();
}

void ParamTreeCtrl::setRowExpanded(Row row, bool expanded)
{
    if (row)
        row->setExpanded(expanded);
}

bool ParamTreeCtrl::isRowExpanded(Row row) const
{
    return row && row->isExpanded();
}

void ParamTreeCtrl::clear()
{
    endEdit();
    tree_->clear();
    for (SortState& s : sortStates_)
        s = SortNone;
    tree_->header()->setSortIndicator(-1, Qt::AscendingOrder);
    lastRow_ = nullptr;
}

QVector<ParamTreeCtrl::Row> ParamTreeCtrl::rows() const
{
    QVector<Row> out;
    collectRows(tree_->invisibleRootItem(), out);
    return out;
}

ParamTreeCtrl::Row ParamTreeCtrl::parentRow(Row row) const
{
    return row ? row->parent() : nullptr;
}

QVector<ParamTreeCtrl::Row> ParamTreeCtrl::childRows(Row parent) const
{
    QTreeWidgetItem* container = parent ? parent : tree_->invisibleRootItem();
    QVector<Row> out;
    for (int i = 0; i < container->childCount(); ++i)
        out.push_back(container->child(i));
    return out;
}

// --- editing ---

void ParamTreeCtrl::clickAt(const QPoint& pos)
{
    QTreeWidgetItem* row = tree_->itemAt(pos);
    if (!row || row != editRow_) {
        // The owner may refill the tree on the notification, so rows are looked up again.
        endEdit();
        row = tree_->itemAt(pos);
    }
    if (!row)
        return;
    int column = tree_->columnAt(pos.x());
    if (column < 0 && pos.x() >= 0)
        column = columnCount() - 1; // the last column takes everything to its right
    if (column <= 0)
        return;
    tree_->setCurrentItem(row);
    tree_->setFocus(Qt::MouseFocusReason);
    endEdit();
    row = tree_->itemAt(pos);
    if (!row)
        return;
    emit cellClicked(row, column);
    // The owner may have refilled the tree.
    row = tree_->itemAt(pos);
    if (!row)
        return;
    if (isRowEditable(row))
        openEditor(row, column);
    else
        notify(row, column, row->text(column));
}

void ParamTreeCtrl::openEditor(Row row, int column)
{
    auto* edit = new QLineEdit(tree_->viewport());
    edit->setObjectName(QStringLiteral("ParamTreeCtrlEdit"));
    edit->setFrame(true);
    edit->setText(row->text(column));
    edit->setGeometry(tree_->visualRect(tree_->indexFromItem(row, column)));
    edit->installEventFilter(this);
    editor_ = edit;
    editRow_ = row;
    editColumn_ = column;
    connect(edit, &QLineEdit::returnPressed, this, &ParamTreeCtrl::endEdit);
    edit->show();
    edit->selectAll();
    edit->setFocus(Qt::MouseFocusReason);
}

void ParamTreeCtrl::endEdit()
{
    finishEdit(true);
}

void ParamTreeCtrl::cancelEdit()
{
    finishEdit(false);
}

void ParamTreeCtrl::finishEdit(bool commit)
{
    if (!editor_ || ending_)
        return;
    ending_ = true;
    QLineEdit* edit = editor_;
    Row row = editRow_;
    const int column = editColumn_;
    const QString text = edit->text();
    editor_ = nullptr;
    editRow_ = nullptr;
    editColumn_ = -1;
    edit->removeEventFilter(this);
    if (edit->hasFocus())
        tree_->setFocus(Qt::OtherFocusReason);
    edit->hide();
    edit->deleteLater();
    ending_ = false;
    if (commit && text != row->text(column))
        notify(row, column, text);
}

void ParamTreeCtrl::notify(Row row, int column, const QString& text)
{
    lastRow_ = row;
    lastColumn_ = column;
    lastText_ = text;
    emit cellEdited(row, column, text);
}

bool ParamTreeCtrl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == editor_) {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            cancelEdit();
            return true;
        }
        if (event->type() == QEvent::FocusOut) {
            // A click or Tab elsewhere ends the edit; a window switch or a popup does not.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
                reason == Qt::BacktabFocusReason)
                endEdit();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ParamTreeCtrl::resizeEvent(QResizeEvent* event)
{
    endEdit();
    QWidget::resizeEvent(event);
}

int ParamTreeCtrl::scrollOffset() const
{
    return tree_->horizontalScrollBar()->isVisible() ? tree_->horizontalScrollBar()->value() : 0;
}

// --- sorting ---

void ParamTreeCtrl::headerClicked(int column)
{
    sortByColumn(column);
}

void ParamTreeCtrl::sortByColumn(int column)
{
    if (column < 0 || column >= sortStates_.size())
        return;
    endEdit();
    const SortState next = sortStates_[column] == SortAscending ? SortDescending : SortAscending;
    for (SortState& s : sortStates_)
        s = SortNone;
    sortStates_[column] = next;
    const Qt::SortOrder order = next == SortAscending ? Qt::AscendingOrder : Qt::DescendingOrder;
    tree_->header()->setSortIndicator(column, order);
    tree_->sortItems(column, order);
}

ParamTreeCtrl::SortState ParamTreeCtrl::sortState(int column) const
{
    return column >= 0 && column < sortStates_.size() ? sortStates_[column] : SortNone;
}

int ParamTreeCtrl::compareTexts(const QString& a, const QString& b)
{
    const NumberPart pa = splitAtNumber(a);
    const NumberPart pb = splitAtNumber(b);
    if ((!pa.digits.isEmpty() || !pb.digits.isEmpty()) && pa.before == pb.before) {
        const int byNumber = compareNumbers(pa.digits, pb.digits);
        if (byNumber != 0)
            return byNumber;
    }
    return QString::compare(a, b, Qt::CaseInsensitive);
}

// --- look ---

void ParamTreeCtrl::setImages(const QVector<QIcon>& images)
{
    images_ = images;
    for (Row row : rows()) {
        const RowItem* r = record(row);
        if (r->image == kFolderImage)
            updateFolderImage(row);
        else
            row->setIcon(0, iconFor(r->image, r->selectedImage));
    }
}

QVector<QIcon> ParamTreeCtrl::standardImages()
{
    initParamTreeResources();
    auto load = [](const char* name) {
        QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QSvgRenderer svg(QStringLiteral(":/ormolith/tree/") + QLatin1String(name));
        QPainter painter(&image);
        svg.render(&painter);
        painter.end();
        return QIcon(QPixmap::fromImage(image));
    };
    const QIcon value = load("tree_value.svg");
    return {value, load("tree_value_selected.svg"), value, load("tree_folder_closed.svg"),
            load("tree_folder_open.svg")};
}

void ParamTreeCtrl::setStatusText(const QString& text)
{
    statusText_ = text;
    tree_->setStatusTip(text);
    tree_->viewport()->setStatusTip(text);
}

} // namespace ormolith
