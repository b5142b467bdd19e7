#include "progress_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace fractals {

ProgressDialog::ProgressDialog(RunGate* running, std::atomic<int>* percent, QWidget* parent)
    : QDialog(parent), m_running(running), m_percent(percent)
{
    setWindowTitle("Generating Fractal...");
    setModal(false);
    auto* icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_FileDialogContentsView).pixmap(32, 32));
    auto* label = new QLabel("Progress:");
    m_text = new QLabel;
    m_bar = new QProgressBar;
    m_bar->setRange(0, 100);
    m_bar->setTextVisible(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Cancel)->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &ProgressDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(label);
    row->addWidget(m_text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_bar);
    layout->addWidget(buttons);
    setProgress(0);
    // The thread only publishes a number; the window picks it up on its own clock.
    m_poll.setInterval(100);
    connect(&m_poll, &QTimer::timeout, this, [this] {
        if (m_percent)
            setProgress(m_percent->load(std::memory_order_relaxed));
    });
    m_poll.start();
}

void ProgressDialog::setProgress(int percent)
{
    m_bar->setValue(percent);
    m_text->setText(QString::asprintf("%d%%", percent));
}

int ProgressDialog::progress() const
{
    return m_bar->value();
}

QString ProgressDialog::progressText() const
{
    return m_text->text();
}

void ProgressDialog::reject()
{
    // The window stays until the thread has ended; the view destroys it then.
    if (m_running)
        m_running->clear();
}

void ProgressDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return; // Enter does nothing
    QDialog::keyPressEvent(event);
}

} // namespace fractals
