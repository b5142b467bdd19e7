// Feeds arbitrary bytes to the IFS document reader: it must either load or throw its archive
// exception (a lying frame count ends at the end of the data instead of allocating), and a
// loaded document must save and reload the same.
#include "ifs_doc.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fractals::CIfsDoc doc;
    try {
        doc.loadFromBytes(bytes);
    } catch (const fractals::ArchiveException&) {
        return 0;
    }
    const std::string saved = doc.saveToBytes();
    fractals::CIfsDoc again;
    again.loadFromBytes(saved);
    if (again.saveToBytes() != saved)
        std::abort();
    return 0;
}
