#include "palette_editor.h"

#include "archive.h"
#include "doc_types.h"
#include "prompts.h"
#include "shared_palette.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace fractals {

namespace {

const char* const kPaletteFilter = "Fractals Palette (*.pal)|*.pal|All Files (*.*)|*.*";

// Each item: the selection or window colour, then the live palette colour inset by a pixel.
class SwatchDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        painter->fillRect(option.rect,
                          option.palette.color(selected ? QPalette::Highlight : QPalette::Base));
        if (option.state & QStyle::State_HasFocus) {
            painter->setPen(QPen(option.palette.color(QPalette::Text), 1, Qt::DotLine));
            painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        }
        const int entry = index.data(Qt::UserRole).toInt();
        const ColorRef c = SharedPalette::instance().live()[static_cast<std::size_t>(entry)];
        painter->fillRect(option.rect.adjusted(1, 1, -1, -1), QColor(toQRgb(c)));
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return {64, 16};
    }
};

} // namespace

CPaletteEditor::CPaletteEditor(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Edit Palette");
    auto* text = new QLabel("Double-click the palette entry to modify it.");
    m_list = new QListWidget;
    m_list->setObjectName("paletteList");
    m_list->setItemDelegate(new SwatchDelegate(m_list));
    m_list->setUniformItemSizes(true);
    m_list->setSortingEnabled(false);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (int k = 0; k < kPaletteSize; ++k) {
        auto* item = new QListWidgetItem;
        item->setData(Qt::UserRole, k);
        m_list->addItem(item);
    }
    connect(m_list, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { editEntry(item->data(Qt::UserRole).toInt()); });
    connect(&SharedPalette::instance(), &SharedPalette::changed, m_list->viewport(),
            qOverload<>(&QWidget::update));

    auto* ok = new QPushButton("OK");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel");
    auto* loadButton = new QPushButton("&Load...");
    auto* saveButton = new QPushButton("&Save As...");
    auto* defaultButton = new QPushButton("&Default");
    connect(ok, &QPushButton::clicked, this, &CPaletteEditor::accept);
    connect(cancel, &QPushButton::clicked, this, &CPaletteEditor::reject);
    connect(loadButton, &QPushButton::clicked, this, &CPaletteEditor::load);
    connect(saveButton, &QPushButton::clicked, this, &CPaletteEditor::saveAs);
    connect(defaultButton, &QPushButton::clicked, this, &CPaletteEditor::setDefault);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {ok, cancel, loadButton, saveButton, defaultButton})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    resize(360, 420);
}

void CPaletteEditor::editEntry(int index)
{
    if (index < 0 || index >= kPaletteSize)
        return;
    const ColorRef current = SharedPalette::instance().live()[static_cast<std::size_t>(index)];
    if (const auto chosen = prompts().color(this, QColor(toQRgb(current))))
        SharedPalette::instance().setLiveEntry(index, fromQColor(*chosen));
}

void CPaletteEditor::load()
{
    const QString path = prompts().openFileName(this, "Load Palette", qtFilter(kPaletteFilter));
    if (path.isEmpty())
        return;
    std::string bytes;
    if (!readWholeFile(path.toStdString(), bytes)) {
        showMessage(this, kMsgPaletteLoadFailed);
        return;
    }
    try {
        SharedPalette::instance().setLive(readPaletteBytes(bytes));
    } catch (const ArchiveException& e) {
        // The live colours stay as they were: the reader returns all 90 or nothing.
        showMessage(this, QString::fromStdString(
                              loadFailureMessage(path.toStdString(), archiveFailureReason(e))));
    }
}

void CPaletteEditor::saveAs()
{
    const QString path =
        prompts().saveFileName(this, "Save Palette As", qtFilter(kPaletteFilter), "pal", {});
    if (path.isEmpty())
        return;
    if (!writeFileSafely(path.toStdString(), writePaletteBytes(SharedPalette::instance().live())))
        showMessage(this, kMsgPaletteSaveFailed);
}

void CPaletteEditor::setDefault()
{
    // Shows the default ramps but keeps the committed table, so Cancel still undoes it.
    SharedPalette::instance().setLive(PaletteTable::makeDefault().colors);
}

void CPaletteEditor::accept()
{
    SharedPalette::instance().commitPalette();
    QDialog::accept();
}

void CPaletteEditor::reject()
{
    SharedPalette::instance().showTable();
    QDialog::reject();
}

} // namespace fractals
