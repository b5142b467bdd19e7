#include "henon_view.h"

#include "icons.h"
#include "prompts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace fractals {

CHenonView::CHenonView(CHenonDoc* document, QWidget* parent) : CHenonBaseView(document, parent)
{
    m_nContextMenu = 6099;
}

std::unique_ptr<EscapeRule> CHenonView::makeRule(const RenderContext& context) const
{
    return std::make_unique<HenonRule>(*static_cast<const CHenonDoc*>(context.document),
                                       context.width, context.height);
}

void CHenonView::ZoomToRect(int left, int top, int right, int bottom)
{
    if (m_cx <= 3 && m_cy <= 3)
        return;
    if (m_cx <= 0 || m_cy <= 0)
        return;
    const HenonSlice slice = henonZoom(*henonDoc(), m_cx, m_cy, left, top, right, bottom);
    if (!henonDoc()->setCoordinates(slice.position, slice.horizontal, slice.vertical))
        prompts().message(this, kMsgVectorTooShort, QString(), QMessageBox::Ok,
                          QMessageBox::Warning);
}

CHenonPropertiesSheet::CHenonPropertiesSheet(CHenonDoc& doc, QWidget* parent)
    : QDialog(parent), m_doc(doc)
{
    setWindowTitle("Henon Map Properties");
    auto* tabs = new QTabWidget;
    auto* page = new QWidget;
    tabs->addTab(page, "Fractal");
    auto* icon = new QLabel;
    icon->setObjectName("icon6");
    icon->setPixmap(docTypeIcon(6).pixmap(32, 32));
    auto* path = new QLineEdit(QString::fromStdString(doc.pathName().string()));
    path->setReadOnly(true);
    m_name = new QLineEdit(QString::fromStdString(doc.name()));
    m_author = new QLineEdit(QString::fromStdString(doc.author()));
    const QString texts[5] = {QString::fromStdString(doc.position().text()),
                              QString::fromStdString(doc.horizontal().text()),
                              QString::fromStdString(doc.vertical().text()),
                              QString::fromStdString(doc.c().text()),
                              QString::fromStdString(doc.d().text())};
    for (int k = 0; k < 5; ++k) {
        m_shown[k] = texts[k];
        m_fields[k] = new QLineEdit(texts[k]);
        m_fields[k]->setObjectName(QString("edit%1").arg(7101 + k));
        // Wide enough to show a whole four-vector of the default slice.
        m_fields[k]->setMinimumWidth(m_fields[k]->fontMetrics().horizontalAdvance(
                                         "(-1.500000,-2.400000,0.000000,0.000000)") +
                                     16);
    }
    auto* form = new QFormLayout;
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(path, 1);
    form->addRow(top);
    form->addRow("&Name:", m_name);
    form->addRow("A&uthor:", m_author);
    form->addRow(new QLabel("Enter the vectors below in the form (w, z) = (x, y, s, t)."));
    form->addRow("&Position:", m_fields[0]);
    form->addRow("&Horizontal:", m_fields[1]);
    form->addRow("&Vertical:", m_fields[2]);
    form->addRow(new QLabel("Enter the complex numbers in the form (Re, Im)."));
    form->addRow("&C:", m_fields[3]);
    form->addRow("&D:", m_fields[4]);
    auto* defaults = new QPushButton("De&faults");
    connect(defaults, &QPushButton::clicked, this, &CHenonPropertiesSheet::fillDefaults);
    form->addRow(defaults);
    page->setLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CHenonPropertiesSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CHenonPropertiesSheet::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
}

QLineEdit* CHenonPropertiesSheet::field(int controlId) const
{
    if (controlId == 2304)
        return m_name;
    if (controlId == 2305)
        return m_author;
    if (controlId >= 7101 && controlId <= 7105)
        return m_fields[controlId - 7101];
    return nullptr;
}

void CHenonPropertiesSheet::fillDefaults()
{
    m_fields[0]->setText(QString::fromStdString(m_doc.defaultPosition().text()));
    m_fields[1]->setText(QString::fromStdString(m_doc.defaultHorizontal().text()));
    m_fields[2]->setText(QString::fromStdString(m_doc.defaultVertical().text()));
    m_fields[3]->setText(QString::fromStdString(m_doc.defaultC().text()));
    m_fields[4]->setText(QString::fromStdString(m_doc.defaultD().text()));
}

void CHenonPropertiesSheet::accept()
{
    std::optional<FourVector> vectors[3];
    std::optional<Complex> numbers[2];
    const FourVector exactVectors[3] = {m_doc.position(), m_doc.horizontal(), m_doc.vertical()};
    const Complex exactNumbers[2] = {m_doc.c(), m_doc.d()};
    for (int k = 0; k < 5; ++k) {
        const QString shown = m_fields[k]->text();
        const std::string text = shown.toStdString();
        // Untouched: the value behind the text, so a deep zoom survives a change of name.
        const bool untouched = shown == m_shown[k];
        bool ok;
        if (k < 3) {
            vectors[k] = untouched ? std::optional(exactVectors[k]) : FourVector::parse(text);
            ok = vectors[k].has_value();
        } else {
            numbers[k - 3] = untouched ? std::optional(exactNumbers[k - 3]) : Complex::parse(text);
            ok = numbers[k - 3].has_value();
        }
        if (!ok) {
            m_fields[k]->setFocus();
            prompts().message(this, kMsgBadVectorFormat, QString(), QMessageBox::Ok,
                              QMessageBox::Warning);
            return;
        }
    }
    if (!isLongEnough(*vectors[1]) || !isLongEnough(*vectors[2])) {
        prompts().message(this, kMsgVectorTooShort, QString(), QMessageBox::Ok,
                          QMessageBox::Warning);
        return;
    }
    m_doc.SetName(m_name->text().toStdString());
    m_doc.SetAuthor(m_author->text().toStdString());
    m_doc.setEquation(*numbers[0], *numbers[1]);
    m_doc.setCoordinates(*vectors[0], *vectors[1], *vectors[2]);
    QDialog::accept();
}

bool editHenonProperties(CHenonDoc& doc, QWidget* parent)
{
    CHenonPropertiesSheet sheet(doc, parent);
    return sheet.exec() == QDialog::Accepted;
}

} // namespace fractals
