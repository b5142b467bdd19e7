#pragma once
// Reads ini-style description files with the lookup rules of the classic private-profile
// reader, so a "setup.inf" written on Windows means the same thing here.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace setup {

class Profile {
public:
    // Parses the text of a whole file: bytes (UTF-8 or any single-byte text), or UTF-16 when it
    // starts with its byte order mark. Never fails: lines that are neither a section header
    // nor a "key=value" pair are ignored, as the Windows reader ignores them.
    static Profile parse(std::string_view text);

    // The file's contents, or nothing when it cannot be read.
    static std::optional<Profile> load(const std::filesystem::path& file);

    // The value of `key` in `section` (both compared without regard to ASCII case), or
    // `defaultValue` when the section or key is missing. Like a C buffer of `bufferSize`
    // characters, the result holds at most bufferSize - 1 characters.
    std::string getString(std::string_view section, std::string_view key,
                          std::string_view defaultValue, std::size_t bufferSize) const;

private:
    struct Entry {
        std::string section;
        std::string key;
        std::string value;
    };
    std::vector<Entry> entries_;
};

} // namespace setup
