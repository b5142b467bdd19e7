#pragma once
// "Julia Set Properties": name, author, the coordinate rectangle and the equation of the
// three escape-time types. The document changes only on OK.
#include "julia_doc.h"

#include <QDialog>
#include <array>

class QLineEdit;

namespace fractals {

class CJuliaPropertiesSheet : public QDialog {
    Q_OBJECT
public:
    CJuliaPropertiesSheet(CJuliaDoc& doc, int iconId, QWidget* parent);

    // Edits by control id: 2304 name, 2305 author, 7101-7104 rectangle, 7106-7110 equation.
    QLineEdit* field(int controlId) const;
    QString pathText() const;
    void fillDefaults(); // the "De&faults" button

public slots:
    void accept() override;

private:
    bool readNumber(int controlId, double& value);

    CJuliaDoc& m_doc;
    QLineEdit* m_path;
    QLineEdit* m_name;
    QLineEdit* m_author;
    std::array<QLineEdit*, 10> m_numbers{}; // index controlId - 7101; 7105 is the label
    // What each number field opened with (15 significant digits): an untouched field stands
    // for the document's exact value rather than for its shortened text.
    std::array<QString, 10> m_shown{};
    std::array<double, 10> m_exact{};
};

// Shows the sheet; true when the user pressed OK.
bool editJuliaProperties(CJuliaDoc& doc, int iconId, QWidget* parent);

// Texts of the number checks on the page.
inline constexpr const char* kMsgNotANumber = "Please enter a number.";
inline constexpr const char* kMsgOutOfRange = "Please enter a number between -20 and 20.";

} // namespace fractals
