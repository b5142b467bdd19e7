#pragma once
// An up-down control bound to an edit field: its arrows step the number typed in the field
// within [minimum, maximum], without wrapping. What the user types is not restricted; the
// dialog decides what to do with it.
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace qubex {

class UpDown final : public QWidget {
    Q_OBJECT
public:
    UpDown(QLineEdit* buddy, int minimum, int maximum, int step, QWidget* parent = nullptr);
    void stepBy(int steps);
    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

private:
    QLineEdit* buddy_;
    int minimum_, maximum_, step_;
    QToolButton* up_;
    QToolButton* down_;
};

} // namespace qubex
