#pragma once
// "Generating Fractal..." window of a file render: shows the percentage the render thread
// publishes, and Cancel lowers the run's flag so the thread stops at its next pixel.
#include "run_gate.h"

#include <QDialog>
#include <QTimer>
#include <atomic>

class QLabel;
class QProgressBar;

namespace fractals {

class ProgressDialog : public QDialog {
    Q_OBJECT
public:
    ProgressDialog(RunGate* running, std::atomic<int>* percent, QWidget* parent);
    void setProgress(int percent);
    int progress() const;
    QString progressText() const;

public slots:
    void reject() override; // Cancel and Esc

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    RunGate* m_running;
    std::atomic<int>* m_percent;
    QLabel* m_text;
    QProgressBar* m_bar;
    QTimer m_poll;
};

} // namespace fractals
