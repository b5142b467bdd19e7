#include "memory_status.h"

#include <sys/sysinfo.h>

#include <fstream>
#include <sstream>

namespace ormolith {

bool parseMemInfo(const std::string& text, MemoryStatus& status)
{
    // Lines look like "MemTotal:       16318436 kB".
    std::istringstream in(text);
    std::string line;
    std::uint64_t memTotal = 0, memAvailable = 0, memFree = 0, swapTotal = 0, swapFree = 0;
    bool haveTotal = false, haveAvailable = false;
    while (std::getline(in, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string key = line.substr(0, colon);
        std::istringstream value(line.substr(colon + 1));
        std::uint64_t kib = 0;
        if (!(value >> kib))
            continue;
        const std::uint64_t bytes = kib * 1024;
        if (key == "MemTotal") {
            memTotal = bytes;
            haveTotal = true;
        } else if (key == "MemAvailable") {
            memAvailable = bytes;
            haveAvailable = true;
        } else if (key == "MemFree") {
            memFree = bytes;
        } else if (key == "SwapTotal") {
            swapTotal = bytes;
        } else if (key == "SwapFree") {
            swapFree = bytes;
        }
    }
    if (!haveTotal)
        return false;
    // Old kernels have no MemAvailable; free memory is the nearest figure they give.
    const std::uint64_t available = haveAvailable ? memAvailable : memFree;
    status.totalPhysical = memTotal;
    status.availablePhysical = available;
    status.totalVirtual = memTotal + swapTotal;
    status.availableVirtual = available + swapFree;
    return true;
}

MemoryStatus readMemoryStatus()
{
    MemoryStatus status;
    std::ifstream file("/proc/meminfo");
    if (file) {
        std::ostringstream text;
        text << file.rdbuf();
        if (parseMemInfo(text.str(), status))
            return status;
    }
    struct sysinfo info{};
    if (sysinfo(&info) == 0) {
        const std::uint64_t unit = info.mem_unit ? info.mem_unit : 1;
        status.totalPhysical = info.totalram * unit;
        status.availablePhysical = (info.freeram + info.bufferram) * unit;
        status.totalVirtual = status.totalPhysical + info.totalswap * unit;
        status.availableVirtual = status.availablePhysical + info.freeswap * unit;
    }
    return status;
}

std::string memoryQuestionText(std::uint64_t required, const MemoryStatus& status)
{
    auto mb = [](std::uint64_t bytes) { return std::to_string(bytes >> 20); };
    return "Algorithm requared " + mb(required) + "Mb of memory to work\n" +
           "Aviable phisical memory " + mb(status.availablePhysical) + "Mb of " +
           mb(status.totalPhysical) + "Mb\n" + "Aviable virtual  memory " +
           mb(status.availableVirtual) + "Mb of " + mb(status.totalVirtual) + "Mb\n" +
           "Are you sure to start algorithm?";
}

} // namespace ormolith
