#include "qt_message_boxes.h"

#include <QMessageBox>
#include <QTimer>

namespace setup {
namespace {

QMessageBox::StandardButton toButton(Answer answer)
{
    switch (answer) {
    case Answer::Abort:
        return QMessageBox::Abort;
    case Answer::Retry:
        return QMessageBox::Retry;
    case Answer::Ignore:
        return QMessageBox::Ignore;
    case Answer::Cancel:
        return QMessageBox::Cancel;
    case Answer::Ok:
        break;
    }
    return QMessageBox::Ok;
}

} // namespace

Answer QtMessageBoxes::show(const std::string& text, const std::string& title, Buttons buttons,
                            Answer defaultAnswer)
{
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(title),
                    QString::fromStdString(text));
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::AbortRetryIgnore:
        box.setStandardButtons(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
        break;
    case Buttons::RetryCancel:
        box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
        break;
    }
    // Paths and command lines are shown exactly, even when they look like markup.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(toButton(defaultAnswer));
    // Escape must not abort an installation by accident: in the copy box it means the
    // harmless default, Ignore. The other boxes have a natural escape (Cancel, OK).
    if (buttons == Buttons::AbortRetryIgnore)
        box.setEscapeButton(toButton(defaultAnswer));
    // The box runs its own event loop until it is answered; the run's background work goes on
    // from there.
    QTimer whileOpen;
    if (whileOpen_) {
        QObject::connect(&whileOpen, &QTimer::timeout, &whileOpen, [this] { whileOpen_(); });
        whileOpen.start(kWhileOpenIntervalMs);
    }
    switch (box.exec()) {
    case QMessageBox::Abort:
        return Answer::Abort;
    case QMessageBox::Retry:
        return Answer::Retry;
    case QMessageBox::Ignore:
        return Answer::Ignore;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    case QMessageBox::Ok:
        return Answer::Ok;
    default:
        break;
    }
    // Closed some other way: the safe choice for the box, which is its default.
    return defaultAnswer;
}

} // namespace setup
