#pragma once
// The matrix-length (TForm2) and iteration (TForm3) dialogs: an edit field with an up-down
// control, an explanation and the buttons help, apply and close.
#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qubex {

class TForm1;
class UpDown;

class NumberDialog : public QDialog {
    Q_OBJECT
public:
    QLineEdit* edit() const { return edit_; }
    UpDown* upDown() const { return upDown_; }
    QPushButton* helpButton() const { return help_; }
    QPushButton* applyButton() const { return apply_; }
    QPushButton* closeButton() const { return close_; }
    virtual void apply() = 0;

protected:
    struct Look {
        const char* caption;
        QSize client;
        const char* text;
        int minimum, maximum, step, helpTopic;
    };
    NumberDialog(TForm1& owner, const Look& look, int value);
    // The number in the edit field ("%d": leading digits count), limited to [low, high] and
    // written back when it had to be moved; nothing (and a message) when there is none.
    std::optional<int> readValue(int low, int high, const char* what);

    TForm1& owner_;

private:
    QLineEdit* edit_;
    UpDown* upDown_;
    QPushButton* help_;
    QPushButton* apply_;
    QPushButton* close_;
};

class TForm2 final : public NumberDialog {
    Q_OBJECT
public:
    explicit TForm2(TForm1& owner);
    void apply() override;
};

class TForm3 final : public NumberDialog {
    Q_OBJECT
public:
    explicit TForm3(TForm1& owner);
    void apply() override;
};

} // namespace qubex
