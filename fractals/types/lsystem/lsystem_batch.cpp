#include "lsystem_batch.h"

#include "lsystem_doc.h"
#include "lsystem_file.h"

#include <cstdint>
#include <ctime>

namespace fractals {

namespace {

// A whole decimal number within 0..high, nothing else.
bool parseBounded(const std::string& text, std::uint64_t high, std::uint64_t& value)
{
    if (text.empty() || text.size() > 20)
        return false;
    std::uint64_t v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
        if (v > high)
            return false;
    }
    value = v;
    return true;
}

} // namespace

std::vector<BatchOption> lsystemBatchOptions()
{
    return {{"--iterations", "N",
             [](const std::string& v) {
                 std::uint64_t n = 0;
                 return parseBounded(v, kMaxLsystemIterations, n);
             },
             "depth of the expansion, 0 to 36 (default 3)"},
            {"--stretch", "", nullptr, "fill the whole picture (default: keep the proportions)"},
            {"--seed", "S",
             [](const std::string& v) {
                 std::uint64_t n = 0;
                 return parseBounded(v, 0xFFFFFFFFull, n);
             },
             "seed of the random commands (default: the time)"}};
}

FileRenderResult renderLsystemBatch(const FileRenderRequest& r)
{
    const auto& doc = static_cast<const CLsystemDoc&>(r.document);
    int iterations = doc.iterations();
    // Without --seed the time seeds the generator, as a start in the window does.
    auto seed = static_cast<std::uint32_t>(std::time(nullptr));
    std::uint64_t v = 0;
    if (const auto it = r.options.find("--iterations");
        it != r.options.end() && parseBounded(it->second, kMaxLsystemIterations, v))
        iterations = static_cast<int>(v);
    if (const auto it = r.options.find("--seed");
        it != r.options.end() && parseBounded(it->second, 0xFFFFFFFFull, v))
        seed = static_cast<std::uint32_t>(v);
    const bool stretch = r.options.count("--stretch") > 0;
    const LsystemProgram program = LsystemProgram::make(
        doc.axiom(), doc.rules(), doc.angleIncrement(), doc.initialAngle(), iterations);
    return renderLsystemFile(program, stretch, seed, r.width, r.height, r.path, r.gate,
                             r.progressPercent);
}

} // namespace fractals
