#include "text_io.h"

#include <save_file.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace qubex {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

void skipBlanks(std::string_view& text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    text.remove_prefix(i);
}

} // namespace

std::optional<long long> scanInteger(std::string_view& text)
{
    skipBlanks(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const std::size_t digitsStart = i;
    long long value = 0;
    bool saturated = false;
    constexpr long long limit = std::numeric_limits<long long>::max() / 10 - 1;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        if (value > limit)
            saturated = true;
        else
            value = value * 10 + (text[i] - '0');
        ++i;
    }
    if (i == digitsStart)
        return std::nullopt;
    text.remove_prefix(i);
    if (saturated)
        value = std::numeric_limits<long long>::max();
    return negative ? -value : value;
}

std::optional<double> scanDouble(std::string_view& text)
{
    skipBlanks(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // from_chars refuses a sign of its own after ours ("--1"), as scanf does.
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        return std::nullopt;
    double value = 0;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (end == first)
        return std::nullopt;
    if (error == std::errc::result_out_of_range) {
        // from_chars leaves `value` untouched on overflow; scanf gives +-HUGE_VAL or a
        // (denormal) zero. Tell the two apart by the exponent's sign.
        std::string_view digits(first, static_cast<std::size_t>(end - first));
        const auto e = digits.find_first_of("eE");
        const bool tiny =
            e != std::string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return negative ? -value : value;
}

std::string formatFixed6(double value)
{
    char buffer[400]; // "%f" of the largest double needs 309 digits before the point
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (error != std::errc())
        return "nan";
    return std::string(buffer, end);
}

bool writeFileReplacing(const std::string& path, std::string_view contents,
                        MissingFolder missingFolder)
{
    namespace fs = std::filesystem;
    const fs::path target(path);
    if (missingFolder == MissingFolder::Create && target.has_parent_path()) {
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
    }
    return suite::saveFile(path, contents);
}

std::optional<std::string> readRegularFile(const std::string& path, std::size_t limit)
{
    // Non-blocking, so that opening a pipe returns at once instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string bytes;
    bytes.resize(std::min<std::size_t>(
        limit, info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0));
    std::size_t got = 0;
    // The size may change while we read; what is there up to the limit is what counts.
    for (;;) {
        if (got == bytes.size()) {
            if (got >= limit)
                break;
            bytes.resize(std::min(limit, got + 4096));
        }
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    return bytes;
}

std::string asciiLower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace qubex
