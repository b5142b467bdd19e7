// What the video writer adds to an animation: one 640x480 frame of Sierpinski's Tetrahedron
// encoded (Motion JPEG at the default quality, or full frames) and appended to an AVI stream
// in memory. scripts/bench.d/ormolith.sh sets 40 of these against the whole --animate run.
#include <benchmark/benchmark.h>

#include "avi_writer.h"
#include "builder.h"
#include "image_buffer.h"
#include "mjpeg_encoder.h"
#include "samples.h"

namespace {

using namespace ormolith;

const ImageBuffer& picture()
{
    static ImageBuffer image;
    static const bool built = [] {
        image.setRequestedSize(640, 480);
        auto scene = makeSample(2);
        return buildImage(*scene, image, BuildOptions{});
    }();
    (void)built;
    return image;
}

void writeFrame(benchmark::State& state, FrameEncoder& encoder)
{
    const ImageBuffer& image = picture();
    const FramePixels pixels{image.pixels.data(), image.bufferWidth, image.bufferHeight,
                             image.stride};
    AviStreamFormat format;
    format.width = image.bufferWidth;
    format.height = image.bufferHeight;
    format.handler = encoder.handler();
    format.compression = encoder.compression();
    format.imageSize = encoder.imageSize(format.width, format.height);
    format.compressedChunks = encoder.compressed();
    AviMemorySink sink;
    AviWriter writer(sink, format);
    if (!writer.begin()) {
        state.SkipWithError(writer.error().c_str());
        return;
    }
    std::string bytes, error;
    for (auto _ : state) {
        if (!encoder.encode(pixels, bytes, error) ||
            !writer.writeFrame(bytes.data(), bytes.size(), true)) {
            state.SkipWithError("encoding or writing failed");
            break;
        }
        // The memory sink would grow for every repetition; a file grows on disk instead.
        if (sink.bytes.size() > (std::size_t(256) << 20)) {
            state.PauseTiming();
            sink.bytes.resize(4620);
            state.ResumeTiming();
        }
    }
    state.counters["frameBytes"] = double(bytes.size());
}

void BM_WriteFrameMjpeg(benchmark::State& state)
{
    MjpegEncoder encoder(85);
    writeFrame(state, encoder);
}

void BM_WriteFrameDib(benchmark::State& state)
{
    DibEncoder encoder;
    writeFrame(state, encoder);
}

} // namespace

BENCHMARK(BM_WriteFrameMjpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFrameDib)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
