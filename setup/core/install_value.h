#pragma once
// The pieces of one description-file value: the four parts of an "Install" line, the three
// directory macros and the path conventions that turn the parts into real paths.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace setup {

// Paths were held in buffers of 260 characters, so an expanded text keeps 259 of them.
inline constexpr std::size_t kPathBufferSize = 260;
// Description-file values were read into a buffer of 1024 characters.
inline constexpr std::size_t kValueBufferSize = 1024;

struct Directories {
    std::string source;  // directory of the running program, no trailing separator
    std::string windows; // $WINDIR or the per-user configuration directory, no trailing separator
    std::string system;  // $SYSTEMDIR or ~/.local/lib, no trailing separator
};

// "source directory,source file;destination directory,destination file"
struct InstallLine {
    std::string sourceDir;
    std::string sourceFile;
    std::string destDir;
    std::string destFile;
};

// Splits at the first ";", then each part at its first ",". A value without the ";" or either
// "," has no meaning, so the result is empty and the caller reports the line.
std::optional<InstallLine> splitInstallValue(std::string_view value);

// Replaces "%SourceDir%", "%WindowsDir%" and "%SystemDir%", in that order and each at its first
// occurrence only, and cuts the result to the path buffer.
std::string expandMacros(std::string_view text, const Directories& dirs);

// Files written on Windows use "\" between path components; here it is a separator too.
std::string toNativeSeparators(std::string_view path);

// A directory with a separator at its end, ready to have a file name appended.
std::string withTrailingSeparator(std::string_view dir);

} // namespace setup
