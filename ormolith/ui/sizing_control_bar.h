#pragma once
// CSizingControlBar: a dock that remembers how big it was docked at the top or bottom, docked
// at the left or right, and floating, and keeps those three sizes in the settings between runs.
// Docking, the gripper with its close button and the draggable inner edge are QDockWidget's
// and QMainWindow's; the View menu's check mark follows toggleViewAction().
#include <QDockWidget>
#include <QList>
#include <QSize>

class QSettings;

namespace ormolith {

class CSizingControlBar : public QDockWidget {
    Q_OBJECT
public:
    // No size, stored or requested, goes below this.
    static constexpr QSize kMinimumSize{33, 32};
    // All three sizes start at `size` (raised to the minimum).
    CSizingControlBar(const QString& title, int id, QSize size, QWidget* parent = nullptr);
    ~CSizingControlBar() override;

    int barId() const { return id_; }
    QSize horzSize() const { return horz_; }
    QSize vertSize() const { return vert_; }
    QSize floatSize() const { return float_; }
    void setHorzSize(QSize size) { horz_ = atLeastMinimum(size); }
    void setVertSize(QSize size) { vert_ = atLeastMinimum(size); }
    void setFloatSize(QSize size) { float_ = atLeastMinimum(size); }

    // The settings group of this bar: "<prefix>-SCBar-<id>".
    QString sectionName(const QString& prefix) const;
    // Keys sizeHorzCX, sizeHorzCY, sizeVertCX, sizeVertCY, sizeFloatCX, sizeFloatCY. Loading
    // keeps the present size for a key that is missing or not a number.
    void saveSizes(QSettings& settings, const QString& prefix) const;
    void loadSizes(QSettings& settings, const QString& prefix);
    // Gives the dock the size remembered for where it is now (after loadSizes and the
    // main window's restoreState).
    void applySize();

    // Every bar alive, in creation order, so that bars can be saved and laid out together.
    static const QList<CSizingControlBar*>& allBars();

    static QSize atLeastMinimum(QSize size);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int id_;
    QSize horz_, vert_, float_;
    bool applying_ = false;
};

} // namespace ormolith
