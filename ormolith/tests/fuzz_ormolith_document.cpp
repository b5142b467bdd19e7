// Fuzzes the document reader: any bytes must read without crashing, leave a complete scene of
// the file's kind, survive a build-time check, and write back a file that reads to the same
// document.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "fractal_doc.h"

using namespace ormolith;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

std::string written(CFractal_Doc& doc)
{
    std::ostringstream out;
    doc.writeDocument(out);
    return out.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFractal_Doc doc;
    doc.loadSample(2);
    std::stringstream in(std::string(reinterpret_cast<const char*>(data), size));
    check(doc.readDocument(in));
    check(doc.scene() != nullptr);
    check(doc.scene()->fractalType() == static_cast<int>(doc.kind));

    // The property tree and the animation arrays must be usable whatever the counts say.
    ParamCollector collector;
    doc.scene()->describeParameters(collector);
    check(collector.depth == 0);
    check(doc.animKeyValues.size() == doc.animVarNames.size() * doc.animFramesCount.size());
    const std::string first = written(doc);

    // What was read is what is written, and it reads back to itself.
    CFractal_Doc again;
    std::stringstream second(first);
    check(again.readDocument(second));
    check(written(again) == first);

    doc.scene()->prepareSets(); // may refuse; must not crash or hang
    return 0;
}
