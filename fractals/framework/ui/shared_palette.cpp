#include "shared_palette.h"

#include <QColor>

namespace fractals {

QRgb toQRgb(ColorRef c)
{
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

ColorRef fromQColor(const QColor& c)
{
    return RGB(c.red(), c.green(), c.blue());
}

SharedPalette& SharedPalette::instance()
{
    static SharedPalette palette;
    return palette;
}

SharedPalette::SharedPalette() : m_table(PaletteTable::makeDefault()), m_live(m_table.colors)
{
    // 55 ms (the PC clock tick): about 18 steps a second.
    m_timer.setInterval(55);
    connect(&m_timer, &QTimer::timeout, this, &SharedPalette::cycleStep);
}

PaletteColors SharedPalette::live() const
{
    std::lock_guard lock(m_mutex);
    return m_live;
}

void SharedPalette::setLive(const PaletteColors& colors)
{
    {
        std::lock_guard lock(m_mutex);
        m_live = colors;
    }
    emit changed();
}

void SharedPalette::setLiveEntry(int index, ColorRef color)
{
    if (index < 0 || index >= kPaletteSize)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_live[static_cast<std::size_t>(index)] = color;
    }
    emit changed();
}

QList<QRgb> SharedPalette::colorTable() const
{
    const PaletteColors colors = live();
    QList<QRgb> table;
    table.reserve(kPaletteSize);
    for (ColorRef c : colors)
        table.append(toQRgb(c));
    return table;
}

void SharedPalette::showTable()
{
    setLive(m_table.colors);
}

void SharedPalette::commitPalette()
{
    m_table.colors = live();
}

void SharedPalette::resetPalette()
{
    m_table = PaletteTable::makeDefault();
    showTable();
}

void SharedPalette::toggleCycle()
{
    if (m_timer.isActive())
        m_timer.stop();
    else
        m_timer.start();
}

void SharedPalette::cycleStep()
{
    {
        std::lock_guard lock(m_mutex);
        cyclePaletteStep(m_live);
    }
    emit changed();
}

} // namespace fractals
