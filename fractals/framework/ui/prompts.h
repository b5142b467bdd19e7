#pragma once
// Every message box, file dialog, colour dialog and list choice of the program goes through
// this interface, so tests can script the answers and read the texts shown.
#include <QColor>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace fractals {

class Prompts {
public:
    virtual ~Prompts() = default;
    virtual QMessageBox::StandardButton message(QWidget* parent, const QString& text,
                                                const QString& title,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::Icon icon) = 0;
    // Empty when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& filter) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& defaultSuffix, const QString& suggested) = 0;
    virtual std::optional<QColor> color(QWidget* parent, const QColor& initial) = 0;
    // The Make Bitmap dialog: false when cancelled.
    virtual bool bitmapSize(QWidget* parent, int& width, int& height) = 0;
    // Index of the chosen item, or -1 when cancelled.
    virtual int chooseItem(QWidget* parent, const QString& title, const QString& label,
                           const QStringList& items) = 0;
};

Prompts& prompts();
// Replaces the prompts (tests); nullptr restores the real dialogs.
void setPrompts(Prompts* p);

// Converts a filter written the Windows way ("Name (*.x)|*.x|All Files (*.*)|*.*") for Qt.
QString qtFilter(const QString& windowsFilter);

// A plain OK box with the application title as caption, as the string-table messages use.
void showMessage(QWidget* parent, const QString& text);

} // namespace fractals
