// The pictures of the samples and of edited scenes, held to stored checksums: any change to the
// builder's walks, its lanes or its vector paths must leave every byte as it was. When a change
// is meant to alter pictures, the new checksums come from the failure messages below.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <set>

#include "mebius_scene.h"
#include "render_test_util.h"

using namespace ormolith;
using namespace ormolith::test;

namespace {

// FNV-1a over the visible bytes of every row (the row padding is not part of the picture).
std::uint64_t checksum(const ImageBuffer& image, int width, int height)
{
    std::uint64_t h = 14695981039346656037ull;
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* p = image.pixels.data() + std::size_t(row) * image.stride;
        for (int i = 0; i < 3 * width; ++i) {
            h ^= p[i];
            h *= 1099511628211ull;
        }
    }
    return h;
}

std::string hex(std::uint64_t v)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIx64, v);
    return text;
}

// The ways the builder can test its lanes on this processor: one at a time always, four at a
// time where AVX2 is there. Every checksum below holds for each of them.
std::vector<bool> lanePaths()
{
    if (vectorLanesAvailable())
        return {true, false};
    return {false};
}

const char* pathName(bool vector)
{
    return vector ? "four lanes at a time" : "one lane at a time";
}

std::uint64_t picture(FractalScene& scene, int width, int height, int threads, int tileSize = 16,
                      bool vector = true)
{
    ImageBuffer image;
    image.setRequestedSize(unsigned(width), unsigned(height));
    BuildOptions options;
    options.threads = threads;
    options.tileSize = tileSize;
    options.vectorLanes = vector;
    // Each build starts from the scene as edited, not from records an earlier build left.
    scene.needsRebuild = true;
    EXPECT_TRUE(buildImage(scene, image, options)) << scene.errorText;
    // A picture worth holding to a checksum shows a surface, not just the background.
    std::set<std::uint32_t> colours;
    for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col) {
            const Bgr p = pixel(image, col, row);
            colours.insert(std::uint32_t(p.b) << 16 | std::uint32_t(p.g) << 8 | std::uint32_t(p.r));
        }
    EXPECT_GT(colours.size(), 20u);
    return checksum(image, width, height);
}

// Light 1 becomes a Spot aimed at the origin from the side, light 2 a Parallel light, with the
// full colour model so that attenuation and specular colours count.
void spotAndParallel(FractalScene& scene)
{
    scene.advancedColors = 1;
    scene.lightCount = 3;
    LightRecord& spot = scene.lights[0];
    spot.kind = kSpot;
    spot.position = {-2.5, 2, -3};
    spot.direction = {2.5, -2, 3};
    spot.spotAngle = 12;
    spot.endSpotAngle = 30;
    spot.beamDistribution = 2.5;
    spot.attenuationConstant = 0.2;
    spot.attenuationLinear = 0.1;
    spot.attenuationQuadratic = 0.05;
    spot.diffuse = {1, 0.8, 0.2, 1.5};
    LightRecord& parallel = scene.lights[1];
    parallel.kind = kParallel;
    parallel.direction = {0.3, -1, 0.4};
    parallel.diffuse = {0.2, 0.4, 1, 0.8};
    parallel.specular = {1, 1, 1, 0.6};
    scene.lights[2].shadows = 0;
}

// Subset materials of different colours and reflections.
void colourfulSubsets(FractalScene& scene)
{
    scene.materialAttachment = 0;
    for (int i = 0; i < kMaxMaterials; ++i) {
        MaterialRecord& m = scene.materials[i];
        m.diffuse = {double(i % 3 == 0), double(i % 3 == 1), double(i % 3 == 2) + 0.3, 1.5};
        m.reflection = 0.2 + 0.1 * (i % 5);
        m.shininess = 3 + i;
    }
}

struct Expected {
    int sample;
    std::uint64_t sum;
};

} // namespace

TEST(PictureChecksums, EverySampleAt320x240)
{
    const Expected expected[kSampleCount] = {
        {0, 0xff73d30ee2b4aecbull}, {1, 0x196c3b319fce2599ull}, {2, 0xb1034d7635cef3c8ull},
        {3, 0xf555f10cef3a1219ull}, {4, 0x262c348559c01250ull}, {5, 0xcac98370ab02b831ull},
        {6, 0x4958ad00989baf50ull}, {7, 0x182ae0f2d4262696ull}, {8, 0x5a3de93973a11871ull},
    };
    for (const bool vector : lanePaths())
        for (const Expected& e : expected) {
            auto scene = makeSample(e.sample);
            EXPECT_EQ(hex(picture(*scene, 320, 240, 2, 16, vector)), hex(e.sum))
                << kSampleNames[e.sample] << ", " << pathName(vector);
        }
}

// The largest picture the samples are timed at; slow under the sanitizers, so it has a test of
// its own that ctest runs beside the others. The builder's own choice of lane path, as the
// program makes it; the other path is held to the 320x240 sums above.
TEST(PictureChecksums, MengersSpongeAt1024x768)
{
    auto scene = makeSample(3);
    EXPECT_EQ(hex(picture(*scene, 1024, 768, 2, 64)), hex(0x3b22975d80851a57ull));
}

TEST(PictureChecksums, ReflectionsWithAntialiasingAndSubsetMaterials)
{
    auto scene = makeSample(2);
    colourfulSubsets(*scene);
    scene->deep = 2;
    scene->antialiasing = 1;
    for (const bool vector : lanePaths())
        EXPECT_EQ(hex(picture(*scene, 160, 120, 1, 16, vector)), hex(0xea74f2cb41130f89ull))
            << pathName(vector);
}

TEST(PictureChecksums, StereoWithThreeByThreeAntialiasing)
{
    auto scene = makeSample(4);
    scene->mode = true;
    scene->antialiasing = 2;
    for (const bool vector : lanePaths())
        EXPECT_EQ(hex(picture(*scene, 120, 60, 2, 8, vector)), hex(0x6c950347f4b3fe2aull))
            << pathName(vector);
}

TEST(PictureChecksums, SpotAndParallelLightsWithShadows)
{
    for (const bool vector : lanePaths()) {
        auto scene = makeSample(3);
        spotAndParallel(*scene);
        EXPECT_EQ(hex(picture(*scene, 200, 150, 1, 16, vector)), hex(0xdaa2ae6d2eddeb7full))
            << pathName(vector);
        // A reflected generation walks shadow lines from hit points off the eye's lines.
        scene->deep = 1;
        EXPECT_EQ(hex(picture(*scene, 200, 150, 2, 16, vector)), hex(0x43bdcce51c242a48ull))
            << pathName(vector);
    }
}

TEST(PictureChecksums, MoebiusSetWithReflectionsAndAParallelLight)
{
    auto scene = makeSample(8);
    ASSERT_EQ(scene->fractalType(), kMebiusType);
    scene->lights[1].kind = kParallel;
    scene->lights[1].direction = {-0.5, -1, 0.2};
    scene->deep = 1;
    colourfulSubsets(*scene);
    for (const bool vector : lanePaths())
        EXPECT_EQ(hex(picture(*scene, 200, 150, 2, 16, vector)), hex(0x4c919e0b83394957ull))
            << pathName(vector);
}

// A tile of 64 x 64 lanes and one of 8 x 8 cut the picture differently; the bytes stay. Large
// tiles let a run of kept lanes span many rows, small ones leave a run shorter than four lanes.
TEST(PictureChecksums, TileSizesAndWorkersDoNotChangeTheBytes)
{
    for (const bool vector : lanePaths()) {
        auto scene = makeSample(3);
        spotAndParallel(*scene);
        for (const int tile : {8, 64, 128})
            for (const int threads : {1, 2})
                EXPECT_EQ(hex(picture(*scene, 200, 150, threads, tile, vector)),
                          hex(0xdaa2ae6d2eddeb7full))
                    << pathName(vector) << ", tile " << tile << ", threads " << threads;
    }
}
