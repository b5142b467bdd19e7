// Speed of the file-mode render of the default Mandelbrot view (every pixel iterated).
#include "escape_render.h"
#include "julia_doc.h"
#include "mandel_rule.h"

#include <benchmark/benchmark.h>

using namespace fractals;

namespace {

void renderDefault(benchmark::State& state, bool vector, int threads)
{
    const CMandelDoc doc;
    const MandelRule rule(doc.rect(), doc.equation(), 1920, 1080, vector);
    RunGate gate;
    gate.start();
    std::vector<std::uint8_t> picture;
    for (auto _ : state) {
        renderEscapePicture(rule, picture, gate, nullptr, threads);
        benchmark::DoNotOptimize(picture.data());
    }
    state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}

void BM_Mandel1080pVectorAllCores(benchmark::State& s)
{
    renderDefault(s, true, defaultRenderThreads());
}
void BM_Mandel1080pVectorOneCore(benchmark::State& s)
{
    renderDefault(s, true, 1);
}
void BM_Mandel1080pScalarOneCore(benchmark::State& s)
{
    renderDefault(s, false, 1);
}

} // namespace

BENCHMARK(BM_Mandel1080pVectorAllCores)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Mandel1080pVectorOneCore)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Mandel1080pScalarOneCore)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
