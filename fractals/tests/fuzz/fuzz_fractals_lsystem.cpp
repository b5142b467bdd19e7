// Feeds arbitrary bytes to the L-System reader, then draws what loaded at a depth taken from
// the input, for a bounded number of steps: no crash, no undefined arithmetic, and memory
// bounded by the depth and the brackets whatever the rules say.
#include "lsystem_doc.h"
#include "lsystem_turtle.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fractals::CLsystemDoc doc;
    try {
        doc.loadFromBytes(bytes);
    } catch (const fractals::ArchiveException&) {
        return 0;
    }
    const std::string saved = doc.saveToBytes();
    doc.loadFromBytes(saved);
    if (doc.saveToBytes() != saved)
        std::abort();

    const int depth = size > 0 ? data[size - 1] % 37 : 3;
    doc.setRunParameters(depth, size > 1 && (data[size - 2] & 1));
    const auto program = fractals::LsystemProgram::fromDocument(doc);
    fractals::LsystemPicture picture{64, 48, {}};
    long budget = 200000;
    fractals::renderLsystemPicture(program, doc.stretch(), static_cast<std::uint32_t>(size),
                                   picture, [&] { return --budget > 0; });
    if (!(program.commandCount() >= 0)) // saturates, never NaN
        std::abort();
    return 0;
}
