#pragma once
// "Edit Palette": the 90 live colours in a list, double-click to change one, Load and Save As
// of .pal files, Default; OK commits the live colours to the table, Cancel shows the table.
#include <QDialog>

class QListWidget;

namespace fractals {

inline constexpr const char* kMsgPaletteSaveFailed =
    "Kaleidra was unable to save the palette to the specified file.";
inline constexpr const char* kMsgPaletteLoadFailed =
    "Kaleidra was unable to load the palette from the specified file.";

class CPaletteEditor : public QDialog {
    Q_OBJECT
public:
    explicit CPaletteEditor(QWidget* parent);
    QListWidget* list() const { return m_list; }

    void editEntry(int index); // what a double-click does
    void load();
    void saveAs();
    void setDefault();

public slots:
    void accept() override;
    void reject() override;

private:
    QListWidget* m_list;
};

} // namespace fractals
