// How long one full regeneration of the cloud takes; every command pays it once
// (the goal is well under 5 ms for 50000 points).
#include "model/ifs_model.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

void BM_GeneratePoints(benchmark::State& state)
{
    qubex::CRandSource random;
    std::srand(1);
    qubex::IfsCode code;
    code.matrix_length = static_cast<int>(state.range(1));
    qubex::newProbabilities(code, random);
    qubex::newMatrices(code, random);
    const qubex::GenerationSettings settings{
        .iteration = static_cast<int>(state.range(0)), .autosize = true, .autocenter = true};
    auto cloud = std::make_unique<qubex::PointCloud>();
    for (auto _ : state) {
        qubex::generatePoints(code, settings, *cloud, random);
        benchmark::DoNotOptimize(cloud->points.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GeneratePoints)
    ->Args({50000, 4})
    ->Args({50000, 32})
    ->Args({5000, 4})
    ->Unit(benchmark::kMillisecond);

void BM_NewCode(benchmark::State& state)
{
    qubex::CRandSource random;
    qubex::IfsCode code;
    code.matrix_length = 32;
    for (auto _ : state) {
        qubex::newProbabilities(code, random);
        qubex::newMatrices(code, random);
        benchmark::DoNotOptimize(code.maps.data());
    }
}
BENCHMARK(BM_NewCode)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
