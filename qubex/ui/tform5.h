#pragma once
// The code editor: one grid row per map, 16 coefficient columns and "prob".
#include <QWidget>

class QPushButton;
class QTableWidget;

namespace qubex {

class TForm1;

class TForm5 final : public QWidget {
    Q_OBJECT
public:
    explicit TForm5(TForm1& owner);

    void refreshCodeEditor();
    void apply();
    QTableWidget* grid() const { return grid_; }
    QPushButton* closeButton() const { return close_; }
    QPushButton* applyButton() const { return apply_; }
    QPushButton* helpButton() const { return help_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    TForm1& owner_;
    QTableWidget* grid_;
    QPushButton* close_;
    QPushButton* apply_;
    QPushButton* help_;
};

} // namespace qubex
