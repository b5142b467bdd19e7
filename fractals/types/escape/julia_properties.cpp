#include "julia_properties.h"

#include "icons.h"
#include "prompts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>

namespace fractals {

namespace {

QString fifteenDigits(double v)
{
    return QString::number(v, 'g', 15);
}

QString fixedSix(double v)
{
    return QString::asprintf("%f", v);
}

} // namespace

CJuliaPropertiesSheet::CJuliaPropertiesSheet(CJuliaDoc& doc, int iconId, QWidget* parent)
    : QDialog(parent), m_doc(doc)
{
    setWindowTitle("Julia Set Properties");
    auto* tabs = new QTabWidget;
    auto* page = new QWidget;
    tabs->addTab(page, "Fractal");

    auto* icon = new QLabel;
    icon->setObjectName(QString("icon%1").arg(iconId));
    icon->setPixmap(docTypeIcon(iconId).pixmap(32, 32));
    m_path = new QLineEdit(QString::fromStdString(doc.pathName().string()));
    m_path->setReadOnly(true);
    m_name = new QLineEdit(QString::fromStdString(doc.name()));
    m_author = new QLineEdit(QString::fromStdString(doc.author()));

    const auto number = [this](int id, double v) {
        auto* e = new QLineEdit(fifteenDigits(v));
        e->setObjectName(QString("edit%1").arg(id));
        const auto slot = static_cast<std::size_t>(id - 7101);
        m_numbers[slot] = e;
        m_shown[slot] = e->text();
        m_exact[slot] = v;
        return e;
    };
    const JuliaRect& r = doc.rect();
    const JuliaEquation& q = doc.equation();
    auto* form = new QFormLayout;
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(m_path, 1);
    form->addRow(top);
    form->addRow("&Name:", m_name);
    form->addRow("A&uthor:", m_author);
    form->addRow("&Left:", number(7101, r.left));
    form->addRow("&Top:", number(7102, r.top));
    form->addRow("Ri&ght:", number(7103, r.right));
    form->addRow("B&ottom:", number(7104, r.bottom));
    form->addRow(new QLabel(QString::fromUtf8(doc.equationLabel())));
    form->addRow("&Re(c):", number(7106, q.cRe));
    form->addRow("&Im(c):", number(7107, q.cIm));
    form->addRow("Value of &a:", number(7108, q.a));
    form->addRow("Value of &b:", number(7109, q.b));
    form->addRow("Value of &d:", number(7110, q.d));
    auto* defaults = new QPushButton("De&faults");
    connect(defaults, &QPushButton::clicked, this, &CJuliaPropertiesSheet::fillDefaults);
    form->addRow(defaults);
    page->setLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CJuliaPropertiesSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CJuliaPropertiesSheet::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
}

QLineEdit* CJuliaPropertiesSheet::field(int controlId) const
{
    if (controlId == 2304)
        return m_name;
    if (controlId == 2305)
        return m_author;
    if (controlId >= 7101 && controlId <= 7110 && controlId != 7105)
        return m_numbers[static_cast<std::size_t>(controlId - 7101)];
    return nullptr;
}

QString CJuliaPropertiesSheet::pathText() const
{
    return m_path->text();
}

void CJuliaPropertiesSheet::fillDefaults()
{
    const JuliaRect& r = m_doc.defaultRect();
    const JuliaEquation& q = m_doc.defaultEquation();
    field(7101)->setText(fixedSix(r.left));
    field(7102)->setText(fixedSix(r.top));
    field(7103)->setText(fixedSix(r.right));
    field(7104)->setText(fixedSix(r.bottom));
    field(7110)->setText(fixedSix(q.d));
    field(7109)->setText(fixedSix(q.b));
    field(7108)->setText(fixedSix(q.a));
    field(7106)->setText(fixedSix(q.cRe));
    field(7107)->setText(fixedSix(q.cIm));
}

bool CJuliaPropertiesSheet::readNumber(int controlId, double& value)
{
    QLineEdit* e = field(controlId);
    const auto slot = static_cast<std::size_t>(controlId - 7101);
    bool ok = false;
    if (e->text() == m_shown[slot]) {
        value = m_exact[slot];
        ok = true;
    } else {
        value = QLocale::c().toDouble(e->text().trimmed(), &ok);
    }
    const char* problem = nullptr;
    if (!ok || !std::isfinite(value))
        problem = kMsgNotANumber;
    else if (value < -20 || value > 20)
        problem = kMsgOutOfRange;
    if (!problem)
        return true;
    showMessage(this, problem);
    e->setFocus();
    e->selectAll();
    return false;
}

void CJuliaPropertiesSheet::accept()
{
    JuliaRect r;
    JuliaEquation q;
    if (!readNumber(7101, r.left) || !readNumber(7102, r.top) || !readNumber(7103, r.right) ||
        !readNumber(7104, r.bottom) || !readNumber(7106, q.cRe) || !readNumber(7107, q.cIm) ||
        !readNumber(7108, q.a) || !readNumber(7109, q.b) || !readNumber(7110, q.d))
        return;
    if (!isValidJuliaRect(r)) {
        prompts().message(this, kMsgInvalidRect, QString(), QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    m_doc.SetName(m_name->text().toStdString());
    m_doc.SetAuthor(m_author->text().toStdString());
    m_doc.setRect(r);
    m_doc.setEquation(q);
    QDialog::accept();
}

bool editJuliaProperties(CJuliaDoc& doc, int iconId, QWidget* parent)
{
    CJuliaPropertiesSheet sheet(doc, iconId, parent);
    return sheet.exec() == QDialog::Accepted;
}

} // namespace fractals
