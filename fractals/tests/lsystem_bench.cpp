// Speed of the L-System turtle: commands read per second in the measuring pass, and the file
// render of the default Koch snowflake at depth 8 (196608 segments) at 1920 x 1080.
#include "lsystem_doc.h"
#include "lsystem_file.h"
#include "lsystem_turtle.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <unistd.h>

using namespace fractals;

namespace {

LsystemProgram koch(int depth)
{
    return LsystemProgram::make(kDefaultAxiom, {kDefaultRule}, kDefaultAngleIncrement,
                                kDefaultInitialAngle, depth);
}

// Every character of the rewritten string is one interpreted command; the flag is polled
// before each, as in the window.
void measurePass(benchmark::State& state, const LsystemProgram& program)
{
    RunGate gate;
    gate.start();
    for (auto _ : state) {
        TurtleBox box;
        measureLsystem(
            program, 1, [&gate] { return gate.poll(); }, box);
        benchmark::DoNotOptimize(box);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(program.commandCount()));
}

void BM_LsystemMeasureKochDepth10(benchmark::State& state)
{
    measurePass(state, koch(10));
}

void BM_LsystemMeasureBranchingPlantDepth7(benchmark::State& state)
{
    measurePass(state, LsystemProgram::make("F", {"F=F[+F]F[-F][F]"}, 20, 90, 7));
}

void BM_LsystemKochDepth8Picture1080p(benchmark::State& state)
{
    const LsystemProgram program = koch(8);
    for (auto _ : state) {
        LsystemPicture picture{1920, 1080, {}};
        renderLsystemPicture(program, false, 1, picture, [] { return true; });
        benchmark::DoNotOptimize(picture.pixels.data());
    }
}

void BM_LsystemKochDepth8File1080p(benchmark::State& state)
{
    const LsystemProgram program = koch(8);
    const auto path = std::filesystem::temp_directory_path() /
                      ("lsystem-bench-" + std::to_string(::getpid()) + ".bmp");
    RunGate gate;
    gate.start();
    for (auto _ : state)
        renderLsystemFile(program, false, 1, 1920, 1080, path, gate, nullptr);
    std::filesystem::remove(path);
}

} // namespace

BENCHMARK(BM_LsystemMeasureKochDepth10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LsystemMeasureBranchingPlantDepth7)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LsystemKochDepth8Picture1080p)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LsystemKochDepth8File1080p)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
