#pragma once
// Finds the file version in the version resource of a Windows executable (PE file), the
// version the installation service compares before it replaces a file.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace setup {

// The fixed file version, most significant word first (1.2.3.4 is 0x0001000200030004), or
// nothing when the bytes are not a PE file with a version resource.
std::optional<std::uint64_t> peFileVersion(std::string_view bytes);

// The same for a file on disk; unreadable files have no version.
std::optional<std::uint64_t> peFileVersionOf(const std::filesystem::path& file);

} // namespace setup
