#pragma once
// The L-System window: asks the run parameters at every start, then measures and draws the
// turtle's path on a white picture in its worker thread; and the two-page properties sheet.
#include "fractal_view.h"
#include "lsystem_doc.h"

#include <QDialog>
#include <functional>
#include <optional>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QSpinBox;
class QTabWidget;

namespace fractals {

class CLsystemView : public CFractalView {
    Q_OBJECT
public:
    explicit CLsystemView(CLsystemDoc* document, QWidget* parent = nullptr);
    CLsystemDoc* lsystemDoc() const { return static_cast<CLsystemDoc*>(document()); }

    // The random commands draw from a generator seeded with the time of the start; a fixed
    // seed makes a picture repeatable (tests, and batch mode's --seed).
    void setSeed(std::optional<std::uint32_t> seed) { m_seed = seed; }
    // Segments drawn by the last run, counted by the worker.
    long drawnSegments() const { return m_segments.load(); }

protected:
    int FillRenderContext(RenderContext& context) override;
    void StartRenderThread(std::unique_ptr<RenderContext> context) override;

private:
    std::optional<std::uint32_t> m_seed;
    std::atomic<long> m_segments{0};
};

// Dialog 4300: the depth and the stretch of the next run.
class CRunParametersDlg : public QDialog {
    Q_OBJECT
public:
    CRunParametersDlg(int iterations, bool stretch, QWidget* parent);
    int iterations() const;
    bool stretch() const;
    QSpinBox* iterationsBox() const { return m_iterations; }
    QCheckBox* stretchBox() const { return m_stretch; }

private:
    QSpinBox* m_iterations;
    QCheckBox* m_stretch;
};

class CLsystemPropertiesSheet : public QDialog {
    Q_OBJECT
public:
    CLsystemPropertiesSheet(CLsystemDoc& doc, QWidget* parent);

    QTabWidget* tabs() const { return m_tabs; }
    // Fractal page: 2304 name, 2305 author, 4101 axiom, 4102 angle increment, 4103 initial
    // angle; Rules page: 4201 variable, 4202 replacement.
    QLineEdit* field(int controlId) const;
    QPlainTextEdit* notes() const { return m_notes; }
    QListWidget* rules() const { return m_rules; }

    // The buttons' commands.
    void fractalDefaults();
    void rulesDefaults();
    void addRule();
    void removeRule();

public slots:
    void accept() override;

private:
    // Checks of the page being left; false keeps the page (the message was shown).
    bool leaveFractalPage();
    bool leaveRulesPage();
    bool leavePage(int index);
    void onTabChanged(int index);
    void onRuleSelected();

    CLsystemDoc& m_doc;
    QTabWidget* m_tabs;
    int m_currentPage = 0;
    bool m_switching = false;
    QLineEdit* m_name;
    QLineEdit* m_author;
    QPlainTextEdit* m_notes;
    QLineEdit* m_axiom;
    QLineEdit* m_increment;
    QLineEdit* m_initial;
    QLineEdit* m_variable;
    QLineEdit* m_replacement;
    QListWidget* m_rules;
};

bool editLsystemProperties(CLsystemDoc& doc, QWidget* parent);
// The run parameters at a start: false when cancelled.
bool askRunParameters(CLsystemDoc& doc, QWidget* parent);
// Replaces the run-parameters dialog (tests script the answer); an empty function restores it.
void setRunParametersPrompt(std::function<bool(CLsystemDoc&, QWidget*)> prompt);

} // namespace fractals
