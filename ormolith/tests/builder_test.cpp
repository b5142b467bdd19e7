// The build sequence on small scenes: misses, ambient-only light, antialiasing, stereo, the
// shading-only rebuild, stopping, the camera helpers and what forces a full rebuild.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <set>

#include "camera.h"
#include "render_test_util.h"
#include "shading.h"

using namespace ormolith;
using namespace ormolith::test;

namespace {
// Every allocation of this program through the plain operator new, counted.
std::atomic<long> allocations{0};
} // namespace

void* operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

constexpr int kW = 40, kH = 30;

int hits(const FractalScene& scene)
{
    int count = 0;
    for (const PixelRecord& r : scene.accumulator)
        count += r.distance < 100;
    return count;
}

// A target that asks for a stop as soon as the build reads the picture size, after the build
// has cleared any earlier stop request.
class StoppingTarget : public ImageBuffer {
public:
    explicit StoppingTarget(FractalScene& scene) : scene_(scene) {}
    int requestedWidth() const override
    {
        scene_.stopRequested.store(true);
        return ImageBuffer::requestedWidth();
    }

private:
    FractalScene& scene_;
};

} // namespace

TEST(Build, MissesKeepDistance100AndShowTheBackground)
{
    auto scene = cubeScene();
    ImageBuffer image;
    ASSERT_TRUE(build(*scene, image, kW, kH)) << scene->errorText;
    EXPECT_TRUE(image.built);
    EXPECT_FALSE(scene->needsRebuild);
    // The background (0, 1, 1) at Luminiscence 0.5: red 0, green and blue 127.5 -> 128.
    int misses = 0;
    for (int row = 0; row < kH; ++row)
        for (int col = 0; col < kW; ++col)
            if (record(*scene, col, row).distance == 100) {
                ++misses;
                EXPECT_EQ(pixel(image, col, row), (Bgr{128, 128, 0})) << col << "," << row;
            }
    EXPECT_GT(misses, 0);
    // AutoCam framed the cube: the middle of the picture is surface.
    EXPECT_LT(record(*scene, kW / 2, kH / 2).distance, 100);
    EXPECT_GT(hits(*scene), kW * kH / 4);
}

TEST(Build, WithoutLightsOnlyAmbientLightsTheSurface)
{
    auto scene = cubeScene();
    scene->lightCount = 0;
    ImageBuffer image;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    // Ambient (1, 1, 1) x 0.05 times the material's ambient, which is its diffuse colour at
    // Luminiscence 1.7: 0.085 x 255 = 21.675 -> 22.
    for (int row = 0; row < kH; ++row)
        for (int col = 0; col < kW; ++col)
            if (record(*scene, col, row).distance < 100) {
                EXPECT_EQ(pixel(image, col, row), (Bgr{22, 22, 22}));
            }
}

TEST(Build, ThreeByThreeAntialiasingAveragesNineOffsetPasses)
{
    auto scene = cubeScene();
    scene->antialiasing = 2;
    ImageBuffer image;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    const CameraFrame& f = scene->frame;
    for (int row = 0; row < kH; row += 7)
        for (int col = 0; col < kW; col += 5) {
            const PixelRecord& r = record(*scene, col, row);
            // The colour is the sum of nine passes; the byte is its mean.
            EXPECT_EQ(pixel(image, col, row).r, colourByte(r.colour[0], 9));
            EXPECT_EQ(pixel(image, col, row).b, colourByte(r.colour[2], 9));
            if (r.distance == 100) {
                // The last pass (sx = sy = 2) was offset by +1/3 of a pixel on both axes.
                const double a = 1.0 / 3 + (col - kW / 2), b = 1.0 / 3 + (row - kH / 2);
                Vec3 d = a * f.right + b * f.up + f.focal * f.forward;
                d = (1 / length(d)) * d;
                EXPECT_NEAR(r.direction[0], d.x, 1e-6);
                EXPECT_NEAR(r.direction[1], d.y, 1e-6);
                EXPECT_NEAR(r.direction[2], d.z, 1e-6);
                EXPECT_EQ(pixel(image, col, row), (Bgr{128, 128, 0}));
            }
        }
    // An index out of range builds the choice a saved file would show for it ("3x3" for -1).
    const auto nine = image.pixels;
    scene->antialiasing = -1;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_EQ(image.pixels, nine);

    // Antialiasing always recomputes geometry, also in the build after it.
    scene->antialiasing = 0;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_GT(lastBuildStats(*scene).traversalPieces, 0);
    EXPECT_FALSE(scene->needsRebuild);
}

TEST(Build, StereoRendersEachHalfFromItsOwnEye)
{
    auto scene = cubeScene();
    scene->mode = true;
    scene->camera.eyesDistance = 0.4;
    ImageBuffer image;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    const CameraFrame& f = scene->frame;
    const Vec3 p = scene->camera.position;
    const Vec3 leftEye = p - 0.2 * f.right, rightEye = p + 0.2 * f.right;
    for (int col = 0; col < kW; ++col) {
        const bool right = col >= kW / 2;
        const Vec3 eye = right ? rightEye : leftEye;
        const int middle = right ? (kW / 2 + kW) / 2 : (kW / 2) / 2;
        const int row = 3;
        const PixelRecord& r = record(*scene, col, row);
        Vec3 d = double(col - middle) * f.right + double(row - kH / 2) * f.up +
                 f.focal * f.forward + p - eye;
        d = (1 / length(d)) * d;
        EXPECT_NEAR(r.direction[0], d.x, 1e-6) << col;
        EXPECT_NEAR(r.direction[2], d.z, 1e-6) << col;
        if (r.distance == 100) {
            EXPECT_NEAR(r.origin[0], eye.x, 1e-5) << col;
            EXPECT_NEAR(r.origin[2], eye.z, 1e-5) << col;
        }
    }
    // Each half is a whole view: its middle shows the cube.
    EXPECT_LT(record(*scene, kW / 4, kH / 2).distance, 100);
    EXPECT_LT(record(*scene, 3 * kW / 4, kH / 2).distance, 100);
}

TEST(Build, LightChangesReuseTheStoredRays)
{
    auto scene = cubeScene();
    for (LightRecord& l : scene->lights)
        l.shadows = 0;
    ImageBuffer image;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_GT(lastBuildStats(*scene).traversalPieces, 0);
    EXPECT_GT(lastBuildStats(*scene).normalPieces, 0);
    const auto first = image.pixels;

    scene->lights[0].diffuse = {1, 0, 1, 1};
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_EQ(lastBuildStats(*scene).traversalPieces, 0);
    EXPECT_EQ(lastBuildStats(*scene).normalPieces, 0);
    EXPECT_EQ(lastBuildStats(*scene).shadowPieces, 0);
    EXPECT_NE(image.pixels, first);
    const auto shaded = image.pixels;

    // The shading-only picture is the one a full build gives.
    scene->needsRebuild = true;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_GT(lastBuildStats(*scene).traversalPieces, 0);
    EXPECT_EQ(image.pixels, shaded);

    // Shadows switched on are walked, the rays are not; once known they are kept while the
    // light stays where it is, and walked again when it moves.
    scene->lights[1].shadows = 1;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_EQ(lastBuildStats(*scene).traversalPieces, 0);
    EXPECT_GT(lastBuildStats(*scene).shadowPieces, 0);
    scene->lights[1].diffuse = {0, 0, 1, 2};
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_EQ(lastBuildStats(*scene).traversalPieces, 0);
    EXPECT_EQ(lastBuildStats(*scene).shadowPieces, 0);
    const auto kept = image.pixels;
    scene->needsRebuild = true;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_EQ(image.pixels, kept);
    scene->lights[1].position = {2, 2, -3};
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_EQ(lastBuildStats(*scene).traversalPieces, 0);
    EXPECT_GT(lastBuildStats(*scene).shadowPieces, 0);

    // A camera change or a new size recomputes everything.
    scene->camera.fieldOfView = 40;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_GT(lastBuildStats(*scene).traversalPieces, 0);
    ASSERT_TRUE(build(*scene, image, kW + 1, kH));
    EXPECT_GT(lastBuildStats(*scene).traversalPieces, 0);
    EXPECT_EQ(image.bufferWidth, unsigned(kW + 1));
}

TEST(Build, AColourChangeWithDefaultLightsWalksNothing)
{
    // The sample's own lights all cast shadows; changing a colour walks neither the rays, the
    // normal field nor the shadow lines, and gives the picture of a full build.
    auto scene = makeSample(2);
    ImageBuffer image;
    ASSERT_TRUE(build(*scene, image, kW, kH, 2));
    scene->lights[0].diffuse = {1, 0.5, 0.25, 1};
    ASSERT_TRUE(build(*scene, image, kW, kH, 2));
    const BuildStats& stats = lastBuildStats(*scene);
    EXPECT_EQ(stats.traversalPieces + stats.normalPieces + stats.shadowPieces, 0);
    const auto shaded = image.pixels;
    scene->needsRebuild = true;
    ASSERT_TRUE(build(*scene, image, kW, kH, 2));
    EXPECT_GT(lastBuildStats(*scene).shadowPieces, 0);
    EXPECT_EQ(image.pixels, shaded);
}

TEST(Build, AStoppedBuildSaysNothingAndForcesAFullRebuild)
{
    auto scene = cubeScene();
    ImageBuffer image;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    StoppingTarget stopping(*scene);
    stopping.setRequestedSize(kW, kH);
    scene->lights[0].diffuse = {1, 1, 1, 1}; // shading only, had it not been stopped
    EXPECT_FALSE(buildImage(*scene, stopping));
    EXPECT_EQ(scene->errorText, "");
    EXPECT_TRUE(scene->needsRebuild);
    EXPECT_FALSE(stopping.built);

    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_GT(lastBuildStats(*scene).traversalPieces, 0);
    EXPECT_FALSE(scene->stopRequested.load());
}

TEST(Build, AFarLampDoesNotHideTheSurfaceFromLaterLights)
{
    // The distance to a light is kept apart from the hit distance: a lamp more than 100 units
    // away must not turn the hits it lights into misses for the next light.
    auto scene = cubeScene();
    ImageBuffer image;
    scene->lightCount = 1;
    scene->lights[0].position = {0, 0, -3};
    ASSERT_TRUE(build(*scene, image, kW, kH));
    const int expected = hits(*scene);
    const auto oneLamp = image.pixels;

    scene->lightCount = 2;
    scene->lights[1] = scene->lights[0];
    scene->lights[0].position = {0, 0, -500};
    scene->lights[0].diffuse = {1, 1, 1, 0}; // adds nothing
    scene->needsRebuild = true;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_EQ(hits(*scene), expected);
    EXPECT_EQ(image.pixels, oneLamp);
}

TEST(Build, ReflectionsTraceWeightedSecondaryRays)
{
    auto scene = cubeScene();
    scene->deep = 1;
    scene->materials[0].reflection = 0.5;
    ImageBuffer image;
    ASSERT_TRUE(build(*scene, image, kW, kH)) << scene->errorText;
    // Rays that hit the cube were reflected once: weight 0.5. Reflections off a convex solid
    // leave it, so the second generation misses and adds half the background.
    const PixelRecord& r = record(*scene, kW / 2, kH / 2);
    EXPECT_FLOAT_EQ(r.weight, 0.5f);
    EXPECT_EQ(r.distance, 100);
    // Reflected rays are no longer primary rays: the next build traces again.
    scene->deep = 0;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_GT(lastBuildStats(*scene).traversalPieces, 0);
    EXPECT_FLOAT_EQ(record(*scene, kW / 2, kH / 2).weight, 1.0f);
    const auto direct = image.pixels;

    // A reflected ray of weight 0.01 or less is not traced again: the picture is the one
    // without reflections. Just above it, the reflections show.
    scene->deep = 1;
    scene->materials[0].reflection = 0.01;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_EQ(record(*scene, kW / 2, kH / 2).distance, 200);
    EXPECT_EQ(image.pixels, direct);
    scene->materials[0].reflection = 0.02;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_EQ(record(*scene, kW / 2, kH / 2).distance, 100);
    EXPECT_NE(image.pixels, direct);
}

TEST(Build, GenerationsWithNothingLeftToReflectCostNothing)
{
    // Rays reflected off the convex cube leave it and miss: from the third generation on no ray
    // is left to trace, however large Deep is. The picture and the walks are those of Deep 10,
    // and the progress still ends at 100.
    auto scene = cubeScene();
    scene->deep = 10;
    ImageBuffer image;
    ASSERT_TRUE(build(*scene, image, kW, kH)) << scene->errorText;
    const auto tenDeep = image.pixels;
    const BuildStats ten = lastBuildStats(*scene);
    scene->deep = 5000;
    ASSERT_TRUE(build(*scene, image, kW, kH)) << scene->errorText;
    EXPECT_EQ(image.pixels, tenDeep);
    EXPECT_EQ(lastBuildStats(*scene).traversalPieces, ten.traversalPieces);
    EXPECT_EQ(lastBuildStats(*scene).shadowPieces, ten.shadowPieces);
    EXPECT_NEAR(scene->progressPercent.load(), 100, 1e-6);
    for (const PixelRecord& r : scene->accumulator)
        EXPECT_EQ(r.distance, 200); // every record untraced in the last generation
}

TEST(Camera, AutoCamAimsAtTheSetAndBacksOffFromInside)
{
    auto scene = cubeScene();
    scene->camera.position = {0, 0, -80};
    ImageBuffer image;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    // The direction was chosen and stored: from the old position to the box centre.
    const Vec3 d = scene->camera.direction;
    EXPECT_NEAR(d.x, 0, 1e-12);
    EXPECT_NEAR(d.y, 0, 1e-12);
    EXPECT_NEAR(d.z, 1, 1e-12);
    // The box corners would let the camera come to 1.1 / tan 25 in front of the box, but that
    // is inside rho of the centre, so it stays at rho.
    const double rho = std::sqrt(3.63) / std::sin(50 * kHalfDegreeToRadians);
    ASSERT_LT(1.1 + 1.1 / std::tan(50 * kHalfDegreeToRadians), rho);
    EXPECT_NEAR(scene->camera.position.z, -rho, 1e-9);
    EXPECT_NEAR(scene->camera.position.x, 0, 1e-12);

    // From inside the bounding sphere the camera backs off to rho from the centre.
    scene->camera.position = {0.1, 0.2, -0.3};
    scene->camera.direction = {};
    autoCam(*scene, kW, kH);
    EXPECT_NEAR(length(scene->camera.position), rho, 1e-9);
    const Vec3 towards = (1 / length(Vec3{-0.1, -0.2, 0.3})) * Vec3{-0.1, -0.2, 0.3};
    EXPECT_NEAR(dot(scene->camera.direction, towards), 1, 1e-12);
}

TEST(Camera, ZoomTurnsTowardsTheRectangleAndApproachesItsHits)
{
    auto scene = cubeScene();
    ImageBuffer image;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    const Camera before = scene->camera;

    // A rectangle of background only: the camera only turns.
    image.zoomPending = true;
    image.zoomRect = {0, 0, 2, 2};
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_FALSE(image.zoomPending);
    EXPECT_EQ(scene->camera.position, before.position);
    EXPECT_NE(scene->camera.direction, before.direction);
    EXPECT_LT(scene->camera.direction.x, 0); // towards the left...
    EXPECT_LT(scene->camera.direction.y, 0); // ...bottom corner

    // A rectangle on the surface: the camera turns to its middle and moves towards it.
    scene->camera = before;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    image.zoomPending = true;
    image.zoomRect = {kW / 2 - 2, kH / 2 - 2, kW / 2 + 2, kH / 2 + 2};
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_GT(scene->camera.position.z, before.position.z);
    EXPECT_LT(record(*scene, kW / 2, kH / 2).distance, 100);

    // Zoom waits while the geometry must be rebuilt anyway, and is never done in stereo.
    image.zoomPending = true;
    scene->mode = true;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_TRUE(image.zoomPending);
}

TEST(Build, SubsetMaterialsColourTheirOwnPieces)
{
    // Material Attachment "Subsets": the eight octants of the cube are the eight subsets of the
    // drawn set, and each hit shows its own material. With no lights a hit's colour is the
    // ambient light times its material's ambient colour (the diffuse colour, Advanced Off).
    auto scene = cubeScene();
    scene->lightCount = 0;
    scene->ambient = {1, 1, 1, 1};
    scene->materialAttachment = 0;
    for (int k = 0; k < 8; ++k)
        scene->materials[k] = {{(k + 1) / 8.0, 0, 1, 1}, {1, 1, 1, 0}, {1, 1, 1, 0.5}, 0, 5};
    ImageBuffer image;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    std::set<int> seen;
    for (int row = 0; row < kH; ++row)
        for (int col = 0; col < kW; ++col) {
            const PixelRecord& r = record(*scene, col, row);
            if (!(r.distance < 100))
                continue;
            ASSERT_GE(r.material, 0);
            ASSERT_LT(r.material, 8);
            seen.insert(r.material);
            // Ambient colour ((k+1)/8, 0, 1) at Luminiscence 0.5: red (k+1)/16, blue 0.5.
            EXPECT_EQ(pixel(image, col, row),
                      (Bgr{128, 0, int(std::floor((r.material + 1) / 16.0 * 255 + 0.5))}));
        }
    // Seen from the front, the four front octants show.
    EXPECT_GE(seen.size(), 4u);
}

namespace {

// A small cube (set 1 scaled by 0.3) hanging in front of the big solid cube: set 2 of a
// two-set scene. Its shadow falls on the big cube's front face.
std::unique_ptr<AffineScene> cubeAndBlocker()
{
    auto scene = cubeScene();
    scene->mapCount = 10;
    auto& small = scene->maps[8];
    small.submapCount = 2;
    small.submaps[0].kind = kSubmapScale;
    small.submaps[0].direction = {0.3, 0.3, 0.3};
    small.submaps[1].kind = kSubmapTranslate;
    small.submaps[1].direction = {0, 0, -2.5};
    scene->maps[9].submapCount = 0; // the identity: the big cube itself
    scene->setCount = 2;
    scene->currentSet = 2;
    scene->sets[1].subsetCount = 2;
    scene->sets[1].subsets[0] = {1, 9, 0};
    scene->sets[1].subsets[1] = {1, 10, 0};
    scene->lightCount = 1;
    return scene;
}

int ambientOnlyHits(const FractalScene& scene, const ImageBuffer& image)
{
    int count = 0;
    for (int row = 0; row < scene.accumulatorHeight; ++row)
        for (int col = 0; col < scene.accumulatorWidth; ++col)
            if (record(scene, col, row).distance < 100 && pixel(image, col, row) == Bgr{22, 22, 22})
                ++count;
    return count;
}

} // namespace

TEST(Build, ShadowsDarkenWhatAnotherPieceHidesFromTheLight)
{
    // Lamp: up and to the right of the blocker; Parallel: shining down and to the right.
    for (const LightKind kind : {kLamp, kParallel}) {
        auto scene = cubeAndBlocker();
        LightRecord& light = scene->lights[0];
        light.kind = kind;
        light.diffuse = {1, 1, 1, 1};
        light.position = {-0.5, 0.5, -4};
        light.direction = {0.2, -0.2, 1};
        ImageBuffer image;
        light.shadows = 0;
        ASSERT_TRUE(build(*scene, image, 80, 60)) << scene->errorText;
        const int unshadowed = ambientOnlyHits(*scene, image);
        light.shadows = 1;
        ASSERT_TRUE(build(*scene, image, 80, 60));
        EXPECT_GT(lastBuildStats(*scene).shadowPieces, 0);
        EXPECT_GT(ambientOnlyHits(*scene, image), unshadowed + 20) << "light kind " << kind;
    }
}

TEST(Build, ProgressRisesToAHundred)
{
    // Every walk hands out the masses of its pieces, which add up to one unit of work, and the
    // units add up to the total the build announced: mono, stereo with antialiasing and
    // reflections, and a shading-only build.
    auto scene = cubeScene();
    ImageBuffer image;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_NEAR(scene->progressPercent.load(), 100, 0.5);
    scene->lights[0].diffuse = {1, 0, 0, 1};
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_EQ(lastBuildStats(*scene).traversalPieces, 0);
    EXPECT_NEAR(scene->progressPercent.load(), 100, 0.5);
    scene->mode = true;
    scene->antialiasing = 1;
    scene->deep = 1;
    ASSERT_TRUE(build(*scene, image, kW, kH));
    EXPECT_NEAR(scene->progressPercent.load(), 100, 0.5);
}

// The workspace (piece stack, lanes and their columns, tiles) is made by the first build of a
// size; a later build of that size, with every walk (rays, normal field, lamp and parallel
// shadow lines, reflections) and either lane path, takes no memory at all.
TEST(Build, ABuildOfTheSameSizeAllocatesNothing)
{
    auto scene = makeSample(3);
    scene->lights[1].kind = kParallel;
    scene->lights[1].direction = {0.3, -1, 0.4};
    scene->deep = 1;
    for (const bool vector : {true, false}) {
        ImageBuffer image;
        image.setRequestedSize(96, 72);
        BuildOptions options;
        options.threads = 1;
        options.vectorLanes = vector;
        const long atStart = allocations.load();
        ASSERT_TRUE(buildImage(*scene, image, options)) << scene->errorText;
        EXPECT_GT(allocations.load(), atStart); // the new buffer's pixels, at least: it counts
        const std::vector<std::uint8_t> first = image.pixels;
        const long before = allocations.load();
        ASSERT_TRUE(buildImage(*scene, image, options)) << scene->errorText;
        const long during = allocations.load() - before;
        EXPECT_EQ(during, 0) << (vector ? "four lanes at a time" : "one lane at a time");
        EXPECT_EQ(image.pixels, first);
        // The records hold the last generation: reflected rays that met the sponge again.
        EXPECT_GT(hits(*scene), 50);
    }
}
