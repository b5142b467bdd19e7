#include "palette.h"

#include "file_header.h"

namespace fractals {

PaletteTable PaletteTable::makeDefault()
{
    PaletteTable t;
    for (int k = 0; k < 18; ++k) {
        const int s = 15 * k;
        t.colors[0 + k] = RGB(255, s, 0);
        t.colors[18 + k] = RGB(255 - s, 255, 0);
        t.colors[36 + k] = RGB(0, 255, s);
        t.colors[54 + k] = RGB(0, 255 - s, 255);
        t.colors[72 + k] = RGB(0, 0, 255 - s);
    }
    return t;
}

void cyclePaletteStep(PaletteColors& live)
{
    const ColorRef last = live[kInsideIndex - 1];
    for (int k = kInsideIndex - 1; k > 0; --k)
        live[k] = live[k - 1];
    live[0] = last;
}

std::string writePaletteBytes(const PaletteColors& colors)
{
    Archive ar = Archive::forWriting();
    ReadWriteFileHeader(ar);
    std::string rgb;
    rgb.reserve(3 * kPaletteSize);
    for (ColorRef c : colors) {
        rgb += static_cast<char>(GetRValue(c));
        rgb += static_cast<char>(GetGValue(c));
        rgb += static_cast<char>(GetBValue(c));
    }
    ar.writeBytes(rgb);
    return ar.bytes();
}

PaletteColors readPaletteBytes(const std::string& bytes)
{
    Archive ar = Archive::forReading(bytes);
    ReadWriteFileHeader(ar);
    const std::string rgb = ar.readBytes(3 * kPaletteSize);
    PaletteColors colors{};
    for (int k = 0; k < kPaletteSize; ++k)
        colors[k] =
            RGB(static_cast<unsigned char>(rgb[3 * k]), static_cast<unsigned char>(rgb[3 * k + 1]),
                static_cast<unsigned char>(rgb[3 * k + 2]));
    return colors;
}

} // namespace fractals
