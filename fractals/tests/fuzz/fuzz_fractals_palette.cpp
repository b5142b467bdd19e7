// Feeds arbitrary bytes to the palette file reader: load or a clean archive exception.
#include "palette.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        const fractals::PaletteColors colors = fractals::readPaletteBytes(bytes);
        if (fractals::readPaletteBytes(fractals::writePaletteBytes(colors)) != colors)
            std::abort();
    } catch (const fractals::ArchiveException&) {
    }
    return 0;
}
