#include "settings_file.h"

#include "text_io.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace qubex {

namespace {

// Reads the file line by line in the order it was written. Every key looks at the next
// non-empty line only: a line that does not start with "key=" or holds no readable value
// leaves that setting at its default and costs no other key its line.
class LineCursor {
public:
    explicit LineCursor(std::string_view text) : rest_(text) {}

    std::string_view nextLine()
    {
        while (!rest_.empty() && isBlank(rest_.front()))
            rest_.remove_prefix(1);
        const auto end = rest_.find('\n');
        std::string_view line = rest_.substr(0, end);
        rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
        return line;
    }

    // The value part of the next line when it starts with "key=", else nothing.
    std::optional<std::string_view> valueOf(std::string_view key)
    {
        std::string_view line = nextLine();
        if (line.size() <= key.size() || line.substr(0, key.size()) != key ||
            line[key.size()] != '=')
            return std::nullopt;
        return line.substr(key.size() + 1);
    }

private:
    static bool isBlank(char c)
    {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    }
    std::string_view rest_;
};

std::optional<long long> integerOf(std::optional<std::string_view> value)
{
    if (!value)
        return std::nullopt;
    return scanInteger(*value);
}

void readFlag(LineCursor& lines, std::string_view key, bool& flag)
{
    if (const auto v = integerOf(lines.valueOf(key)))
        flag = *v == 1;
}

void readStep(LineCursor& lines, std::string_view key, double& step)
{
    auto value = lines.valueOf(key);
    if (!value)
        return;
    const auto v = scanDouble(*value);
    if (!v)
        return;
    if (!(*v >= 0.0))
        step = 0.0;
    else if (*v > 180.0)
        step = 180.0;
    else
        step = *v;
}

void readColor(LineCursor& lines, std::string_view key, ColorRef& color)
{
    auto value = lines.valueOf(key);
    if (!value)
        return;
    std::string_view text = *value;
    const auto red = scanInteger(text);
    if (!red || !text.starts_with(','))
        return;
    text.remove_prefix(1);
    const auto green = scanInteger(text);
    if (!green || !text.starts_with(','))
        return;
    text.remove_prefix(1);
    const auto blue = scanInteger(text);
    if (!blue)
        return;
    // Only the low 8 bits of each number count.
    color = makeColorRef(static_cast<int>(*red & 0xFF), static_cast<int>(*green & 0xFF),
                         static_cast<int>(*blue & 0xFF));
}

std::string colorText(ColorRef c)
{
    return std::to_string(redOf(c)) + "," + std::to_string(greenOf(c)) + "," +
           std::to_string(blueOf(c));
}

} // namespace

std::string settingsFilePath()
{
    const auto nonEmpty = [](const char* name) -> const char* {
        const char* v = std::getenv(name);
        return v && *v ? v : nullptr;
    };
    // Each branch builds its whole path in one expression: assigning a getenv text to a string
    // and appending afterwards trips g++ 12's -Wrestrict false positive in optimised builds.
    constexpr std::string_view kName = "/qubex.ini";
    if (const char* windir = nonEmpty("WINDIR"))
        return std::string(windir).append(kName);
    if (const char* config = nonEmpty("XDG_CONFIG_HOME"))
        return std::string(config).append(kName);
    if (const char* home = nonEmpty("HOME"))
        return std::string(home).append("/.config").append(kName);
    return std::string(".").append(kName);
}

Settings parseSettings(std::string_view text)
{
    Settings s;
    LineCursor lines(text);
    lines.nextLine(); // the section line, whatever it says
    if (const auto v = integerOf(lines.valueOf("matrix_length")))
        s.matrix_length = clampMatrixLength(*v);
    if (const auto v = integerOf(lines.valueOf("iteration")))
        s.generation.iteration = clampIteration(*v);
    readStep(lines, "xrot_step", s.xrot_step);
    readStep(lines, "yrot_step", s.yrot_step);
    readFlag(lines, "autosize", s.generation.autosize);
    readFlag(lines, "autocenter", s.generation.autocenter);
    readFlag(lines, "axisDisplay", s.display.axisDisplay);
    readFlag(lines, "gridPointsDisplay", s.display.gridPointsDisplay);
    readFlag(lines, "gridLinesDisplay", s.display.gridLinesDisplay);
    readColor(lines, "fog_color", s.display.fog_color);
    readColor(lines, "background_color", s.display.background_color);
    readColor(lines, "point_color", s.display.point_color);
    return s;
}

Settings readSettings(const std::string& path)
{
    // Thirteen short lines; anything past 64 kB is not a settings file we wrote. A pipe or a
    // device in its place is not read at all: the defaults apply.
    constexpr std::size_t kLongest = 64 * 1024;
    const auto text = readRegularFile(path, kLongest);
    return text ? parseSettings(*text) : Settings{};
}

std::string formatSettings(const Settings& s)
{
    std::string text = "[qubex_ini_file]\n";
    text += "matrix_length=" + std::to_string(s.matrix_length) + "\n";
    text += "iteration=" + std::to_string(s.generation.iteration) + "\n";
    text += "xrot_step=" + formatFixed6(s.xrot_step) + "\n";
    text += "yrot_step=" + formatFixed6(s.yrot_step) + "\n";
    text += "autosize=" + std::to_string(s.generation.autosize ? 1 : 0) + "\n";
    text += "autocenter=" + std::to_string(s.generation.autocenter ? 1 : 0) + "\n";
    text += "axisDisplay=" + std::to_string(s.display.axisDisplay ? 1 : 0) + "\n";
    text += "gridPointsDisplay=" + std::to_string(s.display.gridPointsDisplay ? 1 : 0) + "\n";
    text += "gridLinesDisplay=" + std::to_string(s.display.gridLinesDisplay ? 1 : 0) + "\n";
    text += "fog_color=" + colorText(s.display.fog_color) + "\n";
    text += "background_color=" + colorText(s.display.background_color) + "\n";
    text += "point_color=" + colorText(s.display.point_color) + "\n";
    return text;
}

bool writeSettings(const std::string& path, const Settings& settings)
{
    return writeFileReplacing(path, formatSettings(settings), MissingFolder::Create);
}

} // namespace qubex
