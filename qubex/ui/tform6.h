#pragma once
// The about window; with its splash flag set it closes itself after one second.
#include <QDialog>
#include <QTimer>

namespace qubex {

class TForm6 final : public QDialog {
    Q_OBJECT
public:
    explicit TForm6(bool splash, QWidget* parent = nullptr);
    bool splash() const { return splash_; }
    static QImage picture(); // what the window shows

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool splash_;
    QTimer timer_;
};

} // namespace qubex
