#include "code_file.h"

#include "text_io.h"

#include <fstream>
#include <sstream>
#include <string_view>

namespace qubex {

namespace {

// Pulls white-space separated words out of a stream. A word longer than any number can be is
// cut short (and then fails to parse), so a binary file without blanks cannot exhaust memory.
class WordReader {
public:
    explicit WordReader(std::istream& in) : in_(in) {}

    bool next(std::string& word)
    {
        word.clear();
        int c = in_.get();
        while (c != EOF && isBlank(c))
            c = in_.get();
        if (c == EOF)
            return false;
        while (c != EOF && !isBlank(c)) {
            if (word.size() < kLongestWord)
                word.push_back(static_cast<char>(c));
            else
                truncated_ = true;
            c = in_.get();
        }
        return true;
    }
    bool lastWasTruncated()
    {
        const bool t = truncated_;
        truncated_ = false;
        return t;
    }

private:
    static constexpr std::size_t kLongestWord = 512;
    static bool isBlank(int c)
    {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    }
    std::istream& in_;
    bool truncated_ = false;
};

// A word that is a number from its first to its last character; "1.5x" is not a number here.
template <typename T, typename Scan>
bool parseWhole(const std::string& word, bool truncated, T& out, Scan scan)
{
    if (truncated)
        return false;
    std::string_view rest(word);
    const auto value = scan(rest);
    if (!value || !rest.empty())
        return false;
    out = static_cast<T>(*value);
    return true;
}

} // namespace

CodeReadStatus readCode(std::istream& in, IfsCode& code)
{
    WordReader reader(in);
    std::string word;
    if (!reader.next(word) || reader.lastWasTruncated() || word != "qubexcode")
        return CodeReadStatus::NotACode;

    long long count = 0;
    if (!reader.next(word) || !parseWhole(word, reader.lastWasTruncated(), count, scanInteger))
        return CodeReadStatus::BadMapCount;
    // The tables hold 32 maps; a larger (or empty) code is refused rather than cut, so what
    // is shown is always the whole of what the file says.
    if (count < 1 || count > kMaxMaps)
        return CodeReadStatus::BadMapCount;

    IfsCode loaded = code;
    loaded.matrix_length = static_cast<std::int32_t>(count);
    const auto readInto = [&](double& target) {
        // A missing or unreadable number keeps the value the slot had; a bad word is skipped
        // so the numbers after it still land in their own slots.
        if (reader.next(word))
            parseWhole(word, reader.lastWasTruncated(), target, scanDouble);
    };
    for (int i = 0; i < count; ++i) {
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 4; ++col)
                readInto(loaded.maps[i][row][col]);
        readInto(loaded.thresholds[i]);
    }
    code = loaded;
    return CodeReadStatus::Ok;
}

CodeReadStatus readCodeFile(const std::string& path, IfsCode& code)
{
    // Only a regular file is a code file, and only its start is read: 32 maps of 17 numbers
    // fit many times over, and however the rest of the file looks, reading it ends.
    const auto bytes = readRegularFile(path, kLongestCodeFile);
    if (!bytes)
        return CodeReadStatus::CannotOpen;
    std::istringstream in(*bytes);
    return readCode(in, code);
}

std::string formatCode(const IfsCode& code)
{
    const int n = code.mapCount();
    std::string text = "qubexcode\n" + std::to_string(n) + "\n";
    for (int i = 0; i < n; ++i) {
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 4; ++col)
                text += formatFixed6(code.maps[i][row][col]) + ' ';
        text += formatFixed6(code.thresholds[i]) + '\n';
    }
    return text;
}

bool writeCodeFile(const std::string& path, const IfsCode& code)
{
    return writeFileReplacing(path, formatCode(code));
}

} // namespace qubex
