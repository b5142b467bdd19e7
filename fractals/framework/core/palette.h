#pragma once
// The 90-entry palette shared by the escape-time and Henon pictures: default ramps, the
// cycling step, and the .pal file (common header plus 90 red-green-blue triples).
#include "archive.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace fractals {

inline constexpr int kPaletteSize = 90;
// Points that never escape, and the background of every palette view, use this entry;
// cycling never moves it.
inline constexpr int kInsideIndex = 89;

// A colour as the platform stores it: red in the low byte, then green, then blue.
using ColorRef = std::uint32_t;
constexpr ColorRef RGB(int r, int g, int b)
{
    return static_cast<ColorRef>(r & 0xFF) | (static_cast<ColorRef>(g & 0xFF) << 8) |
           (static_cast<ColorRef>(b & 0xFF) << 16);
}
constexpr int GetRValue(ColorRef c)
{
    return static_cast<int>(c & 0xFF);
}
constexpr int GetGValue(ColorRef c)
{
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int GetBValue(ColorRef c)
{
    return static_cast<int>((c >> 16) & 0xFF);
}

using PaletteColors = std::array<ColorRef, kPaletteSize>;

struct PaletteTable {
    PaletteColors colors{};
    // Five ramps of 18 entries: red-yellow, yellow-green, green-cyan, cyan-blue, blue-black.
    static PaletteTable makeDefault();
    bool operator==(const PaletteTable&) const = default;
};

// One timer step of palette cycling: colours 0..88 move up one index, 88 wraps to 0, and 89
// stays where it is.
void cyclePaletteStep(PaletteColors& live);

// Palette file bytes; reading throws the archive exception of the header check or endOfFile
// and never returns a partly read palette.
std::string writePaletteBytes(const PaletteColors& colors);
PaletteColors readPaletteBytes(const std::string& bytes);

} // namespace fractals
