// The tree grid on the offscreen platform: columns, rows, in-place editing and sorting, driven
// by real mouse and key events on its view.
#include "param_tree_ctrl.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <memory>

using ormolith::ParamTreeCtrl;
using Row = ParamTreeCtrl::Row;

namespace {

struct Edit {
    Row row;
    int column;
    QString text;
};

// A control with "Variable" and "Value" columns, shown so that rows have geometry, and a
// record of every notification it sends.
struct Fixture {
    std::unique_ptr<ParamTreeCtrl> tree = std::make_unique<ParamTreeCtrl>();
    std::vector<Edit> edits;
    QObject receiver;

    Fixture(int width = 300, int height = 200)
    {
        tree->addColumn(0, "Variable", 100);
        tree->addColumn(1, "Value", 100);
        QObject::connect(tree.get(), &ParamTreeCtrl::cellEdited, &receiver,
                         [this](Row row, int column, const QString& text) {
                             edits.push_back({row, column, text});
                         });
        tree->resize(width, height);
        tree->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(tree.get()));
    }

    QWidget* viewport() const { return tree->treeWidget()->viewport(); }
    QPoint cellCentre(Row row, int column) const
    {
        QTreeWidget* view = tree->treeWidget();
        return view->visualRect(view->indexFromItem(row, column)).center();
    }
    void click(Row row, int column)
    {
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, cellCentre(row, column));
    }
    Row valueRow(const QString& name, const QString& value, bool editable, Row parent = nullptr)
    {
        Row row = tree->insertRow(name, ParamTreeCtrl::kImageValue,
                                  ParamTreeCtrl::kImageValueSelected, parent);
        tree->setCellText(row, 1, value);
        tree->setRowEditable(row, editable);
        return row;
    }
};

QStringList names(const ParamTreeCtrl& tree, Row parent)
{
    QStringList out;
    for (Row row : tree.childRows(parent))
        out << tree.cellText(row, 0);
    return out;
}

} // namespace

TEST(ParamTreeCtrl, ColumnsKeepTheirCellsWhenColumnsComeAndGo)
{
    Fixture f;
    Row group =
        f.tree->insertRow("Camera", ParamTreeCtrl::kFolderImage, ParamTreeCtrl::kFolderImage);
    Row row = f.valueRow("X Position", "0.5", true, group);
    EXPECT_EQ(f.tree->parentRow(row), group);
    EXPECT_EQ(f.tree->childRows(group), QVector<Row>{row});

    // A column inserted before "Value" moves the value one column to the right.
    EXPECT_EQ(f.tree->addColumn(1, "Key 1", 60), 1);
    EXPECT_EQ(f.tree->columnCount(), 3);
    EXPECT_EQ(f.tree->columnTitle(2), "Value");
    EXPECT_EQ(f.tree->cellText(row, 2), "0.5");
    EXPECT_EQ(f.tree->cellText(row, 1), "");
    EXPECT_EQ(f.tree->columnWidth(1), 60);
    f.tree->setCellText(row, 1, "7");

    EXPECT_TRUE(f.tree->setColumnTitle(1, "Frame 1"));
    EXPECT_EQ(f.tree->treeWidget()->headerItem()->text(1), "Frame 1");
    EXPECT_FALSE(f.tree->setColumnTitle(5, "none"));

    EXPECT_TRUE(f.tree->removeColumn(2));
    EXPECT_FALSE(f.tree->removeColumn(2));
    EXPECT_EQ(f.tree->columnCount(), 2);
    EXPECT_EQ(f.tree->cellText(row, 1), "7");
    EXPECT_EQ(f.tree->cellText(row, 0), "X Position");
    EXPECT_EQ(f.tree->cellText(row, 4), ""); // no such column

    // Rows inserted after a given row land right behind it, on its level.
    Row first = f.valueRow("Y Position", "1", true, group);
    Row middle = f.tree->insertRow("Between", 2, 1, group, row);
    EXPECT_EQ(names(*f.tree, group), (QStringList{"X Position", "Between", "Y Position"}));
    EXPECT_EQ(f.tree->rows(), (QVector<Row>{group, row, middle, first}));

    f.tree->clear();
    EXPECT_TRUE(f.tree->rows().isEmpty());
}

TEST(ParamTreeCtrl, RowLookAppliesToTheValueCells)
{
    Fixture f;
    Row row = f.valueRow("Deep", "3", false);
    EXPECT_FALSE(f.tree->isRowBold(row));
    f.tree->setRowBold(row, true);
    f.tree->setRowColor(row, QColor(200, 0, 0));
    EXPECT_TRUE(f.tree->isRowBold(row));
    EXPECT_EQ(f.tree->rowColor(row), QColor(200, 0, 0));
    EXPECT_TRUE(row->font(1).bold());
    EXPECT_FALSE(row->font(0).bold());
    EXPECT_EQ(row->foreground(1).color(), QColor(200, 0, 0));
    // A column added later takes the row's look too.
    f.tree->addColumn(2, "More", 50);
    EXPECT_TRUE(row->font(2).bold());
    f.tree->setRowBold(row, false);
    EXPECT_FALSE(row->font(1).bold());
}

TEST(ParamTreeCtrl, GroupImagesFollowExpansion)
{
    Fixture f;
    Row group = f.tree->insertRow("Maps", ParamTreeCtrl::kFolderImage, ParamTreeCtrl::kFolderImage);
    f.valueRow("Number of maps", "2", true, group);
    const QVector<QIcon> images = ParamTreeCtrl::standardImages();
    auto shows = [&](int image) {
        return group->icon(0).pixmap(16, 16).toImage() == images[image].pixmap(16, 16).toImage();
    };
    ASSERT_NE(images[ParamTreeCtrl::kImageFolderOpen].pixmap(16, 16).toImage(),
              images[ParamTreeCtrl::kImageFolderClosed].pixmap(16, 16).toImage());
    EXPECT_TRUE(shows(ParamTreeCtrl::kImageFolderClosed));
    f.tree->setRowExpanded(group, true);
    EXPECT_TRUE(f.tree->isRowExpanded(group));
    EXPECT_TRUE(shows(ParamTreeCtrl::kImageFolderOpen));
    // A double click on the name closes it again.
    QTest::mousePress(f.viewport(), Qt::LeftButton, {}, f.cellCentre(group, 0));
    QTest::mouseRelease(f.viewport(), Qt::LeftButton, {}, f.cellCentre(group, 0));
    QTest::mouseDClick(f.viewport(), Qt::LeftButton, {}, f.cellCentre(group, 0));
    EXPECT_FALSE(f.tree->isRowExpanded(group));
    EXPECT_TRUE(shows(ParamTreeCtrl::kImageFolderClosed));
}

TEST(ParamTreeCtrl, ClickOnAnEditableValueOpensAnEditorAndEnterSendsTheNewText)
{
    Fixture f;
    Row a = f.valueRow("Deep", "3", true);
    f.click(a, 1);
    ASSERT_TRUE(f.tree->isEditing());
    QLineEdit* editor = f.tree->editor();
    EXPECT_EQ(editor->text(), "3");
    EXPECT_EQ(editor->selectedText(), "3");
    EXPECT_TRUE(editor->hasFocus());
    EXPECT_EQ(f.tree->treeWidget()->currentItem(), a);
    EXPECT_EQ(f.tree->editingRow(), a);
    EXPECT_EQ(f.tree->editingColumn(), 1);
    EXPECT_TRUE(f.edits.empty());

    QTest::keyClicks(editor, "12");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_FALSE(f.tree->isEditing());
    ASSERT_EQ(f.edits.size(), 1u);
    EXPECT_EQ(f.edits[0].row, a);
    EXPECT_EQ(f.edits[0].column, 1);
    EXPECT_EQ(f.edits[0].text, "12");
    EXPECT_EQ(f.tree->lastEditedRow(), a);
    EXPECT_EQ(f.tree->lastEditedColumn(), 1);
    EXPECT_EQ(f.tree->lastEditedText(), "12");
    // The owner decides what the cell shows.
    EXPECT_EQ(f.tree->cellText(a, 1), "3");
}

TEST(ParamTreeCtrl, AnUnchangedOrAbandonedEditSendsNothing)
{
    Fixture f;
    Row a = f.valueRow("Deep", "3", true);
    f.click(a, 1);
    ASSERT_TRUE(f.tree->isEditing());
    QTest::keyClick(f.tree->editor(), Qt::Key_Return);
    EXPECT_FALSE(f.tree->isEditing());

    // Typed over and back to the same text: still unchanged.
    f.click(a, 1);
    QTest::keyClicks(f.tree->editor(), "4");
    QTest::keyClick(f.tree->editor(), Qt::Key_Backspace);
    QTest::keyClick(f.tree->editor(), Qt::Key_3);
    f.tree->endEdit();

    f.click(a, 1);
    QTest::keyClicks(f.tree->editor(), "99");
    QTest::keyClick(f.tree->editor(), Qt::Key_Escape);
    EXPECT_FALSE(f.tree->isEditing());
    EXPECT_TRUE(f.edits.empty());
}

TEST(ParamTreeCtrl, ARowThatIsNotEditableNotifiesAtOnce)
{
    Fixture f;
    Row choice = f.valueRow("Antialiasing", "2x2", false);
    Row name = f.valueRow("Deep", "3", true);
    f.click(choice, 1);
    EXPECT_FALSE(f.tree->isEditing());
    ASSERT_EQ(f.edits.size(), 1u);
    EXPECT_EQ(f.edits[0].row, choice);
    EXPECT_EQ(f.edits[0].text, "2x2");
    // A second click counts again, even as a double click.
    QTest::mouseDClick(f.viewport(), Qt::LeftButton, {}, f.cellCentre(choice, 1));
    EXPECT_GE(f.edits.size(), 2u);
    for (const Edit& e : f.edits)
        EXPECT_EQ(e.row, choice);
    // A click on a name neither edits nor notifies.
    const std::size_t before = f.edits.size();
    f.click(name, 0);
    EXPECT_FALSE(f.tree->isEditing());
    EXPECT_EQ(f.edits.size(), before);
    EXPECT_EQ(f.tree->treeWidget()->currentItem(), name);
}

TEST(ParamTreeCtrl, AnotherRowScrollingResizingAndClearingEndTheEdit)
{
    Fixture f(300, 120);
    std::vector<Row> rows;
    for (int i = 0; i < 30; ++i)
        rows.push_back(f.valueRow(QString("Row %1").arg(i), QString::number(i), true));

    auto typeInto = [&](Row row, const QString& text) {
        f.click(row, 1);
        ASSERT_TRUE(f.tree->isEditing());
        f.tree->editor()->setText(text);
    };

    // A click on another row ends the edit first; the new row's editor opens after.
    typeInto(rows[0], "a");
    f.click(rows[1], 1);
    ASSERT_EQ(f.edits.size(), 1u);
    EXPECT_EQ(f.edits[0].row, rows[0]);
    EXPECT_EQ(f.edits[0].text, "a");
    EXPECT_TRUE(f.tree->isEditing());
    EXPECT_EQ(f.tree->editingRow(), rows[1]);

    // Vertical scrolling.
    f.tree->editor()->setText("b");
    f.tree->treeWidget()->verticalScrollBar()->setValue(5);
    EXPECT_FALSE(f.tree->isEditing());
    ASSERT_EQ(f.edits.size(), 2u);
    EXPECT_EQ(f.edits[1].text, "b");
    f.tree->treeWidget()->verticalScrollBar()->setValue(0);

    // Resizing the control.
    typeInto(rows[2], "c");
    f.tree->resize(320, 130);
    EXPECT_FALSE(f.tree->isEditing());
    ASSERT_EQ(f.edits.size(), 3u);
    EXPECT_EQ(f.edits[2].text, "c");

    // A click on a row's name (column 0).
    typeInto(rows[3], "d");
    f.click(rows[4], 0);
    EXPECT_FALSE(f.tree->isEditing());
    ASSERT_EQ(f.edits.size(), 4u);
    EXPECT_EQ(f.edits[3].row, rows[3]);

    // Clearing commits before the rows go.
    typeInto(rows[5], "e");
    f.tree->clear();
    EXPECT_FALSE(f.tree->isEditing());
    ASSERT_EQ(f.edits.size(), 5u);
    EXPECT_EQ(f.edits[4].text, "e");

    // Destroying the control commits too.
    Row last = f.valueRow("Last", "1", true);
    typeInto(last, "f");
    f.tree.reset();
    ASSERT_EQ(f.edits.size(), 6u);
    EXPECT_EQ(f.edits[5].text, "f");
}

TEST(ParamTreeCtrl, OwnerMayRefillTheTreeWhileAClickEndsAnEdit)
{
    Fixture f;
    Row a = f.valueRow("Number of maps", "2", true);
    f.valueRow("Deep", "3", true);
    // The owner rebuilds every row on a notification, as the Properties bar does when the
    // shape of the parameter list changed.
    QObject::connect(f.tree.get(), &ParamTreeCtrl::cellEdited, &f.receiver, [&] {
        f.tree->clear();
        f.valueRow("Number of maps", "3", true);
        f.valueRow("Deep", "3", true);
    });
    f.click(a, 1);
    f.tree->editor()->setText("3");
    const QPoint second = f.cellCentre(f.tree->rows()[1], 1);
    QTest::mouseClick(f.viewport(), Qt::LeftButton, {}, second);
    ASSERT_EQ(f.edits.size(), 1u);
    // The click still opens the editor on the new row under the mouse.
    ASSERT_TRUE(f.tree->isEditing());
    EXPECT_EQ(f.tree->editingRow(), f.tree->rows()[1]);
    EXPECT_EQ(f.tree->editor()->text(), "3");
}

TEST(ParamTreeCtrl, NumbersInTextsCompareAsNumbers)
{
    EXPECT_LT(ParamTreeCtrl::compareTexts("Map 2", "Map 10"), 0);
    EXPECT_GT(ParamTreeCtrl::compareTexts("Map 10", "Map 2"), 0);
    // The text before the number must match exactly; otherwise the whole texts decide.
    EXPECT_GT(ParamTreeCtrl::compareTexts("map 2", "Map 10"), 0);
    // Different texts before the number: plain comparison, case-insensitive.
    EXPECT_LT(ParamTreeCtrl::compareTexts("a10", "B2"), 0);
    EXPECT_EQ(ParamTreeCtrl::compareTexts("Deep", "DEEP"), 0);
    // Equal numbers fall back to the whole texts.
    EXPECT_LT(ParamTreeCtrl::compareTexts("Map 02", "Map 2"), 0);
    EXPECT_LT(ParamTreeCtrl::compareTexts("Map 2a", "Map 2b"), 0);
    // A text without digits counts as 0 when the rest matches.
    EXPECT_LT(ParamTreeCtrl::compareTexts("Map ", "Map 1"), 0);
    // Numbers longer than any integer still compare by value.
    EXPECT_GT(ParamTreeCtrl::compareTexts("x123456789012345678901234", "x99"), 0);
    EXPECT_LT(ParamTreeCtrl::compareTexts("0.5", "10"), 0);
    EXPECT_LT(ParamTreeCtrl::compareTexts("-3", "-20"), 0); // the sign is text, the digits count
}

TEST(ParamTreeCtrl, HeaderClicksSortEveryLevelAndAlternate)
{
    Fixture f;
    Row maps = f.tree->insertRow("Maps", ParamTreeCtrl::kFolderImage, ParamTreeCtrl::kFolderImage);
    for (const char* name : {"Map 10", "Map 2", "map 1"})
        f.valueRow(name, QString::number(std::strlen(name)), true, maps);
    f.valueRow("Camera", "z", false);
    f.valueRow("General", "a", false);
    f.tree->setRowExpanded(maps, true);

    QHeaderView* header = f.tree->treeWidget()->header();
    auto clickHeader = [&](int column) {
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    };

    clickHeader(0);
    EXPECT_EQ(f.tree->sortState(0), ParamTreeCtrl::SortAscending);
    EXPECT_EQ(names(*f.tree, maps), (QStringList{"map 1", "Map 2", "Map 10"}));
    EXPECT_EQ(names(*f.tree, nullptr), (QStringList{"Camera", "General", "Maps"}));
    EXPECT_EQ(header->sortIndicatorSection(), 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);

    clickHeader(0);
    EXPECT_EQ(f.tree->sortState(0), ParamTreeCtrl::SortDescending);
    EXPECT_EQ(names(*f.tree, maps), (QStringList{"Map 10", "Map 2", "map 1"}));
    EXPECT_EQ(names(*f.tree, nullptr), (QStringList{"Maps", "General", "Camera"}));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);

    // Another column starts ascending and resets the first.
    clickHeader(1);
    EXPECT_EQ(f.tree->sortState(0), ParamTreeCtrl::SortNone);
    EXPECT_EQ(f.tree->sortState(1), ParamTreeCtrl::SortAscending);
    EXPECT_EQ(header->sortIndicatorSection(), 1);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    // Values "6", "5", "5": numbers, stable for equal ones.
    EXPECT_EQ(names(*f.tree, maps), (QStringList{"Map 2", "map 1", "Map 10"}));
    clickHeader(0);
    EXPECT_EQ(f.tree->sortState(0), ParamTreeCtrl::SortAscending);
    EXPECT_EQ(f.tree->sortState(1), ParamTreeCtrl::SortNone);

    // Rows refilled by the owner come in its order, without a stale direction mark.
    f.tree->clear();
    EXPECT_EQ(f.tree->sortState(0), ParamTreeCtrl::SortNone);
    EXPECT_EQ(header->sortIndicatorSection(), -1);
}

TEST(ParamTreeCtrl, HorizontalScrollingOnlyWhenColumnsAreWider)
{
    Fixture f(150, 120);
    Row row = f.valueRow("X Position", "0.5", true);
    QTreeWidget* view = f.tree->treeWidget();
    f.tree->removeColumn(1);
    f.tree->addColumn(1, "Value", 400);
    QTest::qWait(0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(view->horizontalScrollBar()->isVisible());
    EXPECT_GT(view->horizontalScrollBar()->maximum(), 0);
    view->horizontalScrollBar()->setValue(80);
    EXPECT_EQ(f.tree->scrollOffset(), 80);
    // An editor opened while scrolled sits over its cell.
    f.click(row, 1);
    ASSERT_TRUE(f.tree->isEditing());
    EXPECT_EQ(f.tree->editor()->geometry(), view->visualRect(view->indexFromItem(row, 1)));
    f.tree->cancelEdit();

    f.tree->resize(700, 120);
    QCoreApplication::processEvents();
    EXPECT_FALSE(view->horizontalScrollBar()->isVisible());
    EXPECT_EQ(f.tree->scrollOffset(), 0);
}
