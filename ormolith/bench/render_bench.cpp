// Build times of the nine samples at 640x480 and of the two heaviest at 1024x768, with one
// worker and with one per core. Each run builds from scratch (a fresh scene), as the first
// build of a loaded document does. Counters: pieces walked per build by the rays, the normal
// field and the shadow lines, so that a change in the work shows apart from a change in speed,
// and the processor time each of those walks took.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <thread>

#include "builder.h"
#include "image_buffer.h"
#include "samples.h"

namespace {

using namespace ormolith;

void buildSample(benchmark::State& state)
{
    const int index = int(state.range(0));
    const int width = int(state.range(1)), height = int(state.range(2));
    const int threads = int(state.range(3));
    ImageBuffer image;
    image.setRequestedSize(unsigned(width), unsigned(height));
    BuildOptions options;
    options.threads = threads;
    // Tile size experiments without a rebuild.
    if (const char* tile = std::getenv("ORMOLITH_TILE_SIZE"))
        options.tileSize = std::atoi(tile);
    // The one-lane-at-a-time path, as on a processor without AVX2.
    if (const char* scalar = std::getenv("ORMOLITH_SCALAR_LANES"))
        options.vectorLanes = std::atoi(scalar) == 0;
    BuildStats stats;
    for (auto _ : state) {
        state.PauseTiming();
        auto scene = makeSample(index);
        state.ResumeTiming();
        if (!buildImage(*scene, image, options)) {
            state.SkipWithError(scene->errorText.c_str());
            break;
        }
        stats = lastBuildStats(*scene);
    }
    state.SetLabel(std::string(kSampleNames[index]) + " " + std::to_string(width) + "x" +
                   std::to_string(height) + " threads " + std::to_string(stats.threads));
    state.counters["rayPieces"] = double(stats.traversalPieces);
    state.counters["normalPieces"] = double(stats.normalPieces);
    state.counters["shadowPieces"] = double(stats.shadowPieces);
    // Processor time of each walk in the last build (milliseconds, summed over the workers).
    state.counters["rayMs"] = 1000 * stats.raySeconds;
    state.counters["normalMs"] = 1000 * stats.normalSeconds;
    state.counters["shadowMs"] = 1000 * stats.shadowSeconds;
}

void arguments(benchmark::internal::Benchmark* b)
{
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    for (int threads : {1, cores}) {
        for (int index = 0; index < kSampleCount; ++index)
            b->Args({index, 640, 480, threads});
        b->Args({3, 1024, 768, threads});
        b->Args({2, 1024, 768, threads});
        if (cores == 1)
            break;
    }
}

BENCHMARK(buildSample)->Apply(arguments)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
