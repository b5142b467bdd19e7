#pragma once
// Every message box and file dialog of the program goes through this interface, so tests can
// script the answers and read the texts shown.
#include <QMessageBox>
#include <QString>

class QWidget;

namespace ormolith {

struct CodecChoice;

// The caption of the program's message boxes.
inline constexpr const char* kAppTitle = "Ormolith";

class Prompts {
public:
    virtual ~Prompts() = default;
    virtual QMessageBox::StandardButton message(QWidget* parent, const QString& text,
                                                const QString& title,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::Icon icon) = 0;
    // Empty when cancelled. Filters are Qt's ("Name (*.x);;Other (*.y)").
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& filter) = 0;
    // `selectedFilter` (when given) receives the filter the user chose.
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& defaultSuffix, const QString& suggested,
                                 QString* selectedFilter) = 0;
    // The Custom size dialog: false when cancelled.
    virtual bool customSize(QWidget* parent, unsigned& width, unsigned& height) = 0;
    // The New Fractal dialog: the kind chosen, -1 when cancelled.
    virtual int newFractalKind(QWidget* parent) = 0;
    // The codec of an animation's video file, `choice` showing the last one: false when
    // cancelled.
    virtual bool chooseCodec(QWidget* parent, CodecChoice& choice) = 0;
};

Prompts& prompts();
// Replaces the prompts (tests); nullptr restores the real dialogs.
void setPrompts(Prompts* p);

// A box captioned with the program's name.
QMessageBox::StandardButton ask(QWidget* parent, const QString& text,
                                QMessageBox::StandardButtons buttons, QMessageBox::Icon icon);

} // namespace ormolith
