// Fuzzes the version-resource reader: every offset in a PE file comes from the file itself.
#include "pe_version.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)setup::peFileVersion(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
