#pragma once
// Locale-independent stand-ins for the "%d" / "%lf" reading and writing the qubex text files
// use. The window runs under the user's locale (Qt sets it), and a German locale must not turn
// "0.500000" into "0,500000" on disk or stop reading it back.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qubex {

// Each scanner skips leading white space, reads the longest number it can from the front of
// `text` and removes what it read. On failure `text` is left at the first non-blank character.
std::optional<long long> scanInteger(std::string_view& text); // "%d"; saturates on overflow
std::optional<double> scanDouble(std::string_view& text);     // "%lf", incl. inf and nan

// "%lf": fixed point with six decimals.
std::string formatFixed6(double value);

// Saves `contents` with the suite's saving rules (suite::saveFile). A missing parent folder is
// made only when asked: the settings folder may not exist yet on a fresh account, but a file
// the user names in a folder that does not exist is a mistake to report, not a folder tree to
// invent.
enum class MissingFolder { Fail, Create };
bool writeFileReplacing(const std::string& path, std::string_view contents,
                        MissingFolder missingFolder = MissingFolder::Fail);

// The first `limit` bytes of `path` when it names a regular file. A pipe, a device or a folder
// is refused without opening it for a wait (a pipe with no writer would block, a device such as
// /dev/zero never ends), and so is anything that cannot be read.
std::optional<std::string> readRegularFile(const std::string& path, std::size_t limit);

std::string asciiLower(std::string text);

} // namespace qubex
