// Tiles on several workers give the picture of one worker, byte for byte: the nine samples,
// and one with stereo, antialiasing and reflections.
#include <gtest/gtest.h>

#include "render_test_util.h"

using namespace ormolith;
using namespace ormolith::test;

namespace {

std::vector<std::uint8_t> render(FractalScene& scene, int threads, int tileSize)
{
    ImageBuffer image;
    EXPECT_TRUE(build(scene, image, 72, 54, threads, tileSize)) << scene.errorText;
    return image.pixels;
}

} // namespace

TEST(Threads, EverySampleIsIdenticalOnOneAndOnSeveralWorkers)
{
    for (int index = 0; index < kSampleCount; ++index) {
        auto one = makeSample(index);
        auto many = makeSample(index);
        const auto expected = render(*one, 1, 32);
        const auto got = render(*many, 3, 8);
        EXPECT_EQ(got, expected) << kSampleNames[index];
        // Not blank: the picture shows more than the background.
        int surface = 0;
        for (const PixelRecord& r : many->accumulator)
            surface += r.distance < 100;
        EXPECT_GT(surface, 20) << kSampleNames[index];
    }
}

TEST(Threads, StereoAntialiasingAndReflectionsToo)
{
    auto one = makeSample(2);
    auto many = makeSample(2);
    for (FractalScene* s : {one.get(), many.get()}) {
        s->mode = true;
        s->antialiasing = 1;
        s->deep = 1;
    }
    EXPECT_EQ(render(*many, 2, 16), render(*one, 1, 64));
}
