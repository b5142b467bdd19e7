#pragma once
// The machine's memory as the build's memory question reports it, and the question itself.
#include <cstdint>
#include <string>

namespace ormolith {

struct MemoryStatus {
    std::uint64_t totalPhysical = 0, availablePhysical = 0;
    // Physical memory plus swap: what the system can hand out before it refuses.
    std::uint64_t totalVirtual = 0, availableVirtual = 0;
};

// Reads /proc/meminfo (sysinfo when that cannot be read). Zeros for what is unknown.
MemoryStatus readMemoryStatus();
// The same from the text of a /proc/meminfo file; false when MemTotal is missing.
bool parseMemInfo(const std::string& text, MemoryStatus& status);

// Whether a build needing `required` bytes must ask first: only when it exceeds the whole
// physical memory (an unknown total never asks).
inline bool needsMemoryQuestion(std::uint64_t required, const MemoryStatus& status)
{
    return status.totalPhysical != 0 && status.totalPhysical < required;
}

// The four lines of the question, whole megabytes rounded down.
std::string memoryQuestionText(std::uint64_t required, const MemoryStatus& status);

} // namespace ormolith
