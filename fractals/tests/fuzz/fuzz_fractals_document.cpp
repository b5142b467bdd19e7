// Feeds arbitrary bytes to the document readers of the escape-time and Henon types: it must either
// load or throw its archive exception, and a loaded document must save and reload the same.
#include "henon_doc.h"
#include "julia_doc.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fractals::CMandelDoc mandel;
    fractals::CJuliaDoc julia;
    fractals::CJuliacosDoc juliacos;
    fractals::CHenonDoc henon;
    fractals::CFractalDoc* docs[] = {&mandel, &julia, &juliacos, &henon};
    for (fractals::CFractalDoc* doc : docs) {
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
