#pragma once
// ImageMagick's `identify`: an independent reader of the pictures the programs write.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace suite::test {

// Whether `identify` can be run; tests that need it skip with a reason when it cannot.
inline bool haveIdentify()
{
    return std::system("identify -version >/dev/null 2>&1") == 0;
}

// The output of `identify -format FORMAT PATH` (with -verbose when `verbose`); nullopt when
// identify fails to read the file.
inline std::optional<std::string> identify(const std::string& format, const std::string& path,
                                           bool verbose = false)
{
    const auto quoted = [](const std::string& s) {
        std::string q = "'";
        for (char c : s)
            q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    };
    const std::string command = std::string("identify ") + (verbose ? "-verbose " : "") +
                                (format.empty() ? "" : "-format " + quoted(format) + " ") +
                                quoted(path) + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    if (pclose(pipe) != 0)
        return std::nullopt;
    return out;
}

} // namespace suite::test
