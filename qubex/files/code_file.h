#pragma once
// qubex code files (.qbx): the magic word "qubexcode", the number of maps, then one line per
// map with its 16 elements in row-major order and its threshold, all "%lf".
#include "model/ifs_model.h"

#include <cstddef>
#include <istream>
#include <string>

namespace qubex {

enum class CodeReadStatus {
    Ok,
    CannotOpen,  // "File could not be opened"
    NotACode,    // first word is not "qubexcode"
    BadMapCount, // map count missing or outside 1..32
};

// Reads a code into `code`. Only an Ok result changes `code`; a number that cannot be read
// leaves that element (or threshold) as it was, and thresholds are taken as they stand.
CodeReadStatus readCode(std::istream& in, IfsCode& code);
// Reads a regular file only (a pipe or a device is CannotOpen), and at most its first
// kLongestCodeFile bytes.
CodeReadStatus readCodeFile(const std::string& path, IfsCode& code);
inline constexpr std::size_t kLongestCodeFile = 1024 * 1024;

std::string formatCode(const IfsCode& code);
bool writeCodeFile(const std::string& path, const IfsCode& code);

} // namespace qubex
