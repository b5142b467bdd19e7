#include "lsystem_view.h"

#include "icons.h"
#include "lsystem_file.h"
#include "lsystem_turtle.h"
#include "prompts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <climits>
#include <ctime>

namespace fractals {

namespace {

// Segments are drawn on the shared picture in batches, so the lock is taken once per batch
// rather than once per line; a batch also goes out after this many turtle steps, so a
// drawing that turns a lot between lines still shows its progress.
constexpr std::size_t kSegmentBatch = 1024;
constexpr std::uint32_t kStepsPerFlush = 1u << 20;

constexpr std::uint32_t kLineColor = 0xFF000000u; // opaque black in QImage's RGB32

// A line edit that upper-cases what is typed, as the upper-case entries of the sheet do.
class UpperCaseEdit : public QLineEdit {
public:
    explicit UpperCaseEdit(const QString& text = {}) : QLineEdit(text)
    {
        connect(this, &QLineEdit::textEdited, this, [this](const QString& t) {
            const QString upper = t.toUpper();
            if (upper != t) {
                const int pos = cursorPosition();
                setText(upper);
                setCursorPosition(pos);
            }
        });
    }
};

QLineEdit* digitsEdit(int value)
{
    auto* e = new QLineEdit(QString::number(value));
    // Digits only, as a number-only entry allows; the range is checked on leaving.
    e->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), e));
    return e;
}

bool checkRange(QWidget* parent, QLineEdit* edit, int low, int high, int& value)
{
    bool ok = false;
    value = edit->text().toInt(&ok);
    if (ok && value >= low && value <= high)
        return true;
    showMessage(parent, QString("Please enter an integer between %1 and %2.").arg(low).arg(high));
    edit->setFocus();
    edit->selectAll();
    return false;
}

} // namespace

CLsystemView::CLsystemView(CLsystemDoc* document, QWidget* parent) : CFractalView(document, parent)
{
    m_nContextMenu = 4099;
    m_crBackground = qRgb(255, 255, 255);
}

int CLsystemView::FillRenderContext(RenderContext& context)
{
    CFractalView::FillRenderContext(context);
    return askRunParameters(*lsystemDoc(), this) ? 0 : 1;
}

void CLsystemView::StartRenderThread(std::unique_ptr<RenderContext> context)
{
    // The worker draws from its own copies: the document may be edited while it runs.
    const LsystemProgram program = LsystemProgram::fromDocument(*lsystemDoc());
    const bool stretch = lsystemDoc()->stretch();
    // One seed for both passes, so the random commands draw what was measured.
    const auto seed = m_seed ? *m_seed : static_cast<std::uint32_t>(std::time(nullptr));
    const int serial = runSerial();
    m_segments.store(0);
    std::shared_ptr<RenderContext> ctx(std::move(context));
    launch([this, ctx, program, stretch, seed, serial] {
        RunGate& gate = *ctx->running;
        if (!ctx->outputPath.empty()) {
            // File mode: off screen, with the progress window; Cancel writes nothing, and a
            // failed write is silent, as the other types' exports are.
            renderLsystemFile(program, stretch, seed, ctx->width, ctx->height, ctx->outputPath,
                              gate, ctx->progressPercent);
            finishRun(serial);
            return;
        }

        TurtleBox box;
        std::uint32_t steps = 0;
        const bool measured = measureLsystem(
            program, seed, [&gate] { return gate.poll(); }, box);
        if (measured && gate.running()) {
            const Placement placement =
                placeDrawing(truncateBox(box), ctx->width, ctx->height, stretch);
            std::vector<std::pair<Pixel, Pixel>> batch;
            batch.reserve(kSegmentBatch);
            long drawn = 0;
            const auto flush = [&] {
                if (batch.empty())
                    return;
                int first = INT_MAX, last = INT_MIN;
                for (const auto& [a, b] : batch) {
                    first = std::min({first, a.x, b.x});
                    last = std::max({last, a.x, b.x});
                }
                paintOffscreen(
                    [&](QImage& image) {
                        auto* pixels = reinterpret_cast<std::uint32_t*>(image.bits());
                        const std::ptrdiff_t stride = image.bytesPerLine() / 4;
                        for (const auto& [a, b] : batch)
                            drawLinePixels(pixels, image.width(), image.height(), stride, a, b,
                                           kLineColor);
                    },
                    first, last);
                drawn += static_cast<long>(batch.size());
                m_segments.store(drawn);
                batch.clear();
            };
            drawLsystem(
                program, seed, placement,
                [&] {
                    if (++steps == kStepsPerFlush) {
                        steps = 0;
                        flush();
                    }
                    return gate.poll();
                },
                [&](Pixel a, Pixel b) {
                    batch.emplace_back(a, b);
                    if (batch.size() == kSegmentBatch)
                        flush();
                });
            flush();
        }
        finishRun(serial);
    });
}

CRunParametersDlg::CRunParametersDlg(int iterations, bool stretch, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle("Run Parameters");
    m_iterations = new QSpinBox;
    m_iterations->setRange(0, kMaxLsystemIterations);
    m_iterations->setValue(iterations);
    m_stretch = new QCheckBox("&Stretch fractal to window");
    m_stretch->setChecked(stretch);
    auto* form = new QFormLayout;
    form->addRow(new QLabel("Please specify the following parameters."));
    auto* label = new QLabel("&Number of Iterations:");
    label->setBuddy(m_iterations);
    form->addRow(label, m_iterations);
    form->addRow(m_stretch);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

int CRunParametersDlg::iterations() const
{
    return m_iterations->value();
}

bool CRunParametersDlg::stretch() const
{
    return m_stretch->isChecked();
}

namespace {
std::function<bool(CLsystemDoc&, QWidget*)> g_runParametersPrompt;
}

void setRunParametersPrompt(std::function<bool(CLsystemDoc&, QWidget*)> prompt)
{
    g_runParametersPrompt = std::move(prompt);
}

bool askRunParameters(CLsystemDoc& doc, QWidget* parent)
{
    if (g_runParametersPrompt)
        return g_runParametersPrompt(doc, parent);
    CRunParametersDlg dlg(doc.iterations(), doc.stretch(), parent);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    doc.setRunParameters(dlg.iterations(), dlg.stretch());
    return true;
}

CLsystemPropertiesSheet::CLsystemPropertiesSheet(CLsystemDoc& doc, QWidget* parent)
    : QDialog(parent), m_doc(doc)
{
    setWindowTitle("L-System Fractal Properties");
    m_tabs = new QTabWidget;

    // Page 4100 "Fractal".
    auto* fractal = new QWidget;
    auto* icon = new QLabel;
    icon->setObjectName("icon2301");
    icon->setPixmap(docTypeIcon(4).pixmap(32, 32));
    auto* path = new QLineEdit(QString::fromStdString(doc.pathName().string()));
    path->setReadOnly(true);
    m_name = new QLineEdit(QString::fromStdString(doc.name()));
    m_author = new QLineEdit(QString::fromStdString(doc.author()));
    m_notes = new QPlainTextEdit(QString::fromStdString(doc.notes()));
    m_notes->setMaximumHeight(70);
    m_axiom = new UpperCaseEdit(QString::fromStdString(doc.axiom()));
    m_increment = digitsEdit(doc.angleIncrement());
    m_initial = digitsEdit(doc.initialAngle());
    auto* form = new QFormLayout;
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(path, 1);
    form->addRow(top);
    form->addRow("&Name:", m_name);
    form->addRow("A&uthor:", m_author);
    form->addRow("N&otes:", m_notes);
    form->addRow(new QLabel("See the Rules tab for more properties of this fractal."));
    form->addRow("A&xiom:", m_axiom);
    form->addRow("&Angle Inc.:", m_increment);
    form->addRow("Ini. An&gle:", m_initial);
    auto* fractalDefaultsButton = new QPushButton("De&faults");
    connect(fractalDefaultsButton, &QPushButton::clicked, this,
            &CLsystemPropertiesSheet::fractalDefaults);
    form->addRow(fractalDefaultsButton);
    fractal->setLayout(form);
    m_tabs->addTab(fractal, "Fractal");

    // Page 4200 "Rules".
    auto* rulesPage = new QWidget;
    m_variable = new UpperCaseEdit;
    m_variable->setMaxLength(1);
    m_replacement = new UpperCaseEdit;
    m_rules = new QListWidget;
    m_rules->setSortingEnabled(true);
    for (const auto& r : doc.rules())
        m_rules->addItem(QString::fromStdString(r));
    connect(m_rules, &QListWidget::currentRowChanged, this,
            &CLsystemPropertiesSheet::onRuleSelected);
    auto* add = new QPushButton("&Add");
    auto* remove = new QPushButton("&Remove");
    auto* rulesDefaultsButton = new QPushButton("De&faults");
    connect(add, &QPushButton::clicked, this, &CLsystemPropertiesSheet::addRule);
    connect(remove, &QPushButton::clicked, this, &CLsystemPropertiesSheet::removeRule);
    connect(rulesDefaultsButton, &QPushButton::clicked, this,
            &CLsystemPropertiesSheet::rulesDefaults);
    auto* rulesLayout = new QVBoxLayout(rulesPage);
    rulesLayout->addWidget(
        new QLabel("Please set the rules to apply to the axiom on the other page."));
    auto* entry = new QHBoxLayout;
    auto* placeLabel = new QLabel("Re&place:");
    placeLabel->setBuddy(m_variable);
    auto* withLabel = new QLabel("&with");
    withLabel->setBuddy(m_replacement);
    m_variable->setMaximumWidth(m_variable->fontMetrics().horizontalAdvance("WW") + 12);
    entry->addWidget(placeLabel);
    entry->addWidget(m_variable);
    entry->addWidget(withLabel);
    entry->addWidget(m_replacement, 1);
    rulesLayout->addLayout(entry);
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(m_rules, 1);
    auto* buttonColumn = new QVBoxLayout;
    buttonColumn->addWidget(add);
    buttonColumn->addWidget(remove);
    buttonColumn->addWidget(rulesDefaultsButton);
    buttonColumn->addStretch();
    listRow->addLayout(buttonColumn);
    rulesLayout->addLayout(listRow);
    m_tabs->addTab(rulesPage, "Rules");

    connect(m_tabs, &QTabWidget::currentChanged, this, &CLsystemPropertiesSheet::onTabChanged);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CLsystemPropertiesSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CLsystemPropertiesSheet::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
}

QLineEdit* CLsystemPropertiesSheet::field(int controlId) const
{
    switch (controlId) {
    case 2304:
        return m_name;
    case 2305:
        return m_author;
    case 4101:
        return m_axiom;
    case 4102:
        return m_increment;
    case 4103:
        return m_initial;
    case 4201:
        return m_variable;
    case 4202:
        return m_replacement;
    }
    return nullptr;
}

void CLsystemPropertiesSheet::fractalDefaults()
{
    m_axiom->setText(kDefaultAxiom);
    m_increment->setText(QString::number(kDefaultAngleIncrement));
    m_initial->setText(QString::number(kDefaultInitialAngle));
}

void CLsystemPropertiesSheet::rulesDefaults()
{
    m_rules->clear();
    m_rules->addItem(kDefaultRule);
}

void CLsystemPropertiesSheet::onRuleSelected()
{
    const QListWidgetItem* item = m_rules->currentItem();
    if (!item)
        return;
    const QString rule = item->text();
    m_variable->setText(rule.left(1));
    m_replacement->setText(rule.mid(2));
}

void CLsystemPropertiesSheet::addRule()
{
    const QString variable = m_variable->text();
    if (variable.size() != 1 || variable[0] < 'A' || variable[0] > 'Z') {
        showMessage(this, kMsgVariableInvalid);
        m_variable->setFocus();
        return;
    }
    const CheckedString body = checkReplacement(m_replacement->text().toStdString());
    if (body.error) {
        showMessage(this, body.error);
        m_replacement->setFocus();
        return;
    }
    // The list's own prefix search: the first entry starting with "X=", in any case.
    const QString prefix = variable + "=";
    for (int row = 0; row < m_rules->count(); ++row) {
        if (!m_rules->item(row)->text().startsWith(prefix, Qt::CaseInsensitive))
            continue;
        const QString question = QString(kMsgReplaceRule).replace("%s", variable);
        if (prompts().message(this, question, "Replace Rule", QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::Question) != QMessageBox::Yes)
            return;
        delete m_rules->takeItem(row);
        break;
    }
    m_rules->addItem(prefix + QString::fromStdString(body.text));
    m_replacement->setText(QString::fromStdString(body.text));
}

void CLsystemPropertiesSheet::removeRule()
{
    QListWidgetItem* item = m_rules->currentItem();
    if (!item || !item->isSelected()) {
        showMessage(this, kMsgNoRuleSelected);
        return;
    }
    delete m_rules->takeItem(m_rules->row(item));
}

bool CLsystemPropertiesSheet::leaveFractalPage()
{
    const CheckedString axiom = checkAxiom(m_axiom->text().toStdString());
    if (axiom.error) {
        showMessage(this, axiom.error);
        m_axiom->setFocus();
        return false;
    }
    m_axiom->setText(QString::fromStdString(axiom.text));
    int value;
    return checkRange(this, m_increment, 1, 180, value) &&
           checkRange(this, m_initial, 0, 359, value);
}

bool CLsystemPropertiesSheet::leaveRulesPage()
{
    if (m_rules->count() == 0) {
        showMessage(this, kMsgNoRules);
        return false;
    }
    return true;
}

bool CLsystemPropertiesSheet::leavePage(int index)
{
    return index == 0 ? leaveFractalPage() : leaveRulesPage();
}

void CLsystemPropertiesSheet::onTabChanged(int index)
{
    if (m_switching)
        return;
    if (!leavePage(m_currentPage)) {
        // The page stays: go back to it without checking again.
        m_switching = true;
        m_tabs->setCurrentIndex(m_currentPage);
        m_switching = false;
        return;
    }
    m_currentPage = index;
}

void CLsystemPropertiesSheet::accept()
{
    // OK checks the page in front, as leaving it would.
    if (!leavePage(m_tabs->currentIndex()))
        return;
    m_doc.SetName(m_name->text().toStdString());
    m_doc.SetAuthor(m_author->text().toStdString());
    const std::string notes = m_notes->toPlainText().toStdString();
    const int increment = m_increment->text().toInt();
    const int initial = m_initial->text().toInt();
    if (notes != m_doc.notes() || increment != m_doc.angleIncrement() ||
        initial != m_doc.initialAngle())
        m_doc.SetModifiedFlag();
    m_doc.setNotes(notes);
    m_doc.setAngleIncrement(increment);
    m_doc.setInitialAngle(initial);
    m_doc.setAxiom(m_axiom->text().toStdString());
    std::vector<std::string> rules;
    for (int row = 0; row < m_rules->count(); ++row)
        rules.push_back(m_rules->item(row)->text().toStdString());
    m_doc.setRules(std::move(rules));
    m_doc.SetModifiedFlag();
    QDialog::accept();
}

bool editLsystemProperties(CLsystemDoc& doc, QWidget* parent)
{
    CLsystemPropertiesSheet sheet(doc, parent);
    return sheet.exec() == QDialog::Accepted;
}

} // namespace fractals
