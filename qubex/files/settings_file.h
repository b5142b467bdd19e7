#pragma once
// The settings file "qubex.ini": thirteen lines in a fixed order, read key by key.
#include "model/ifs_model.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qubex {

// Colours are kept as red | green << 8 | blue << 16 so a colour dialog's result can be stored
// as it comes.
using ColorRef = std::uint32_t;

constexpr ColorRef makeColorRef(int red, int green, int blue)
{
    return static_cast<ColorRef>(red & 0xFF) | static_cast<ColorRef>(green & 0xFF) << 8 |
           static_cast<ColorRef>(blue & 0xFF) << 16;
}
constexpr int redOf(ColorRef c)
{
    return static_cast<int>(c & 0xFF);
}
constexpr int greenOf(ColorRef c)
{
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int blueOf(ColorRef c)
{
    return static_cast<int>((c >> 16) & 0xFF);
}

struct DisplaySettings {
    bool axisDisplay = false;
    bool gridPointsDisplay = false;
    bool gridLinesDisplay = false;
    ColorRef fog_color = makeColorRef(0, 0, 0);
    ColorRef background_color = makeColorRef(0, 0, 0);
    ColorRef point_color = makeColorRef(255, 255, 255);
};

struct Settings {
    std::int32_t matrix_length = 4;
    GenerationSettings generation;
    // Not used by the program; kept so they survive from file to file.
    double xrot_step = 1.0;
    double yrot_step = 1.3;
    DisplaySettings display;
};

// $WINDIR if set, else $XDG_CONFIG_HOME, else ~/.config; followed by "/qubex.ini".
std::string settingsFilePath();

// Missing keys, lines that cannot be read and keys out of order keep their defaults.
Settings parseSettings(std::string_view text);
Settings readSettings(const std::string& path); // defaults when the file is missing
std::string formatSettings(const Settings& settings);
bool writeSettings(const std::string& path, const Settings& settings); // false: not saved

} // namespace qubex
