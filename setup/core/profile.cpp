#include "profile.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>

namespace setup {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerAscii(x) == lowerAscii(y);
           });
}

// The Windows reader hands values to C code, so a value ends at its first NUL byte.
std::string_view cutAtNul(std::string_view s)
{
    const auto nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

// A value written in matching quotes ("..." or '...') is returned without them.
std::string_view stripQuotes(std::string_view s)
{
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        return s.substr(1, s.size() - 2);
    return s;
}

void appendUtf8(std::string& out, std::uint32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Notepad's "Unicode" files are UTF-16 with a byte order mark, and the platform's profile
// reader takes them; read as bytes they would hold no section at all and the run would quietly
// do nothing. Unpaired surrogates become U+FFFD; an odd last byte is dropped.
std::string utf16ToUtf8(std::string_view bytes, bool bigEndian)
{
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<std::uint32_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

} // namespace

Profile Profile::parse(std::string_view text)
{
    if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") {
        const std::string converted = utf16ToUtf8(text.substr(2), text[0] == '\xFE');
        return parse(converted);
    }
    Profile profile;
    // Files saved by Windows editors often start with a UTF-8 byte order mark.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    std::string currentSection;
    bool inSection = false;
    // The profile reader looks a key up in the first section of a name only: a later section of
    // the same name (in any letter case) is never read, so its lines are dropped here.
    std::vector<std::string> sections;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);

        line = trim(line);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const auto close = line.rfind(']');
            if (close == std::string_view::npos)
                continue; // not a header; the Windows reader skips it as well
            currentSection = std::string(trim(line.substr(1, close - 1)));
            inSection = std::none_of(sections.begin(), sections.end(), [&](const std::string& s) {
                return equalsIgnoringCase(s, currentSection);
            });
            if (inSection)
                sections.push_back(currentSection);
            continue;
        }
        const auto equals = line.find('=');
        // A line without "=" names a key without a value, which the reader treats as missing.
        if (!inSection || equals == std::string_view::npos)
            continue;
        profile.entries_.push_back({currentSection, std::string(trim(line.substr(0, equals))),
                                    std::string(cutAtNul(trim(line.substr(equals + 1))))});
    }
    return profile;
}

std::optional<Profile> Profile::load(const std::filesystem::path& file)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return std::nullopt;
    return parse(text);
}

std::string Profile::getString(std::string_view section, std::string_view key,
                               std::string_view defaultValue, std::size_t bufferSize) const
{
    std::string_view value = defaultValue;
    const auto found = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
        return equalsIgnoringCase(e.section, section) && equalsIgnoringCase(e.key, key);
    });
    if (found != entries_.end())
        value = stripQuotes(found->value);
    if (bufferSize == 0)
        return {};
    return std::string(value.substr(0, bufferSize - 1));
}

} // namespace setup
