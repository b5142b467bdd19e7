#pragma once
// The one process-wide palette of the escape-time and Henon pictures. The table is the
// committed palette; the live entries are what every picture shows, changed in place by
// cycling, the editor and Reset. Views repaint on changed().
#include "palette.h"

#include <QList>
#include <QObject>
#include <QRgb>
#include <QTimer>
#include <mutex>

namespace fractals {

class SharedPalette : public QObject {
    Q_OBJECT
public:
    static SharedPalette& instance();

    const PaletteTable& table() const { return m_table; }
    void setTable(const PaletteTable& t) { m_table = t; }

    // Live entries. The render threads read them (to write a bitmap) while the window
    // changes them, hence the lock.
    PaletteColors live() const;
    void setLive(const PaletteColors& colors); // the "animate all 90 entries" call
    void setLiveEntry(int index, ColorRef color);
    QList<QRgb> colorTable() const;

    void showTable();     // live := table
    void commitPalette(); // table := live
    void resetPalette();  // table := default, then show
    void toggleCycle();
    bool isCycling() const { return m_timer.isActive(); }
    void stopCycling() { m_timer.stop(); }
    void cycleStep();

signals:
    void changed();

private:
    SharedPalette();
    PaletteTable m_table;
    mutable std::mutex m_mutex;
    PaletteColors m_live;
    QTimer m_timer;
};

QRgb toQRgb(ColorRef c);
ColorRef fromQColor(const QColor& c);

} // namespace fractals
