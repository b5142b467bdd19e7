#include "prompts.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace qubex {

QString qtNameFilter(const QString& filter)
{
    const qsizetype bar = filter.indexOf('|');
    if (bar < 0)
        return filter;
    return filter.left(bar) + " (" + filter.mid(bar + 1) + ")";
}

QString helpPageName(const HelpRequest& request)
{
    switch (request.kind) {
    case HelpKind::Contents:
        return "contents.html";
    case HelpKind::Index:
        return "index.html";
    case HelpKind::Topic:
        break;
    }
    switch (request.topic) {
    case 2:
        return "about_ifs.html";
    case 14:
        return "matrix_length.html";
    case 15:
        return "iteration.html";
    case 17:
        return "code_editor.html";
    default:
        return "contents.html";
    }
}

QString helpFolder()
{
    // Beside the executable in a build tree, or under share/ when installed.
    const QString appDir = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {appDir + "/help", appDir + "/../share/qubex/help"})
        if (QFileInfo::exists(candidate + "/contents.html"))
            return QDir::cleanPath(candidate);
    return QDir::cleanPath(appDir + "/help");
}

void QtPrompts::message(QWidget* parent, const QString& text, const QString& title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

QString QtPrompts::openFileName(QWidget* parent, const FileDialogOptions& options)
{
    QFileDialog dialog(parent, options.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(qtNameFilter(options.filter));
    dialog.setDefaultSuffix(options.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString QtPrompts::saveFileName(QWidget* parent, const FileDialogOptions& options)
{
    QFileDialog dialog(parent, options.title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(qtNameFilter(options.filter));
    dialog.setDefaultSuffix(options.defaultSuffix);
    if (!options.confirmOverwrite)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

std::optional<QColor> QtPrompts::color(QWidget* parent, const QColor& initial)
{
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

void QtPrompts::help(const HelpRequest& request)
{
    const QString page = helpFolder() + "/" + helpPageName(request);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(page)))
        message(nullptr, "The help page " + page + " could not be opened", "qubex");
}

} // namespace qubex
