// Feeds arbitrary bytes to the document reader of every escape-time type: it must either
// load or throw its archive exception, and a loaded document must save and reload the same.
#include "julia_doc.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fractals::CMandelDoc mandel;
    fractals::CJuliaDoc julia;
    for (fractals::CFractalDoc* doc : {static_cast<fractals::CFractalDoc*>(&mandel), static_cast<fractals::CFractalDoc*>(&julia)}) {
        try {
            doc->loadFromBytes(bytes);
        } catch (const fractals::ArchiveException&) {
            continue;
        }
        const std::string saved = doc->saveToBytes();
        doc->loadFromBytes(saved);
        if (doc->saveToBytes() != saved)
            std::abort();
    }
    return 0;
}
