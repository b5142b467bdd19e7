// The nine built-in scenes. Irrational numbers are computed, never typed in, so that every
// sample is as exact as a double allows.
#include "samples.h"

#include <cmath>
#include <numbers>

#include "affine_scene.h"
#include "mebius_scene.h"

namespace ormolith {

const char* const kSampleNames[kSampleCount] = {
    "Koch Snowflake",  "Segments Tree", "Sierpinski's Tetrahedron",
    "Menger's Sponge", "Koch Surface",  "Antitank Hedgehog",
    "Cross",           "Tree",          "Appolony Set"};

namespace {

constexpr double kDegreesPerRadian = 180 / std::numbers::pi;
const double kSqrt2 = std::sqrt(2.0);
const double kSqrt3 = std::sqrt(3.0);
const double kSqrt6 = std::sqrt(6.0);

// Appends submaps to one affine map.
class AffineMapWriter {
public:
    explicit AffineMapWriter(MapRecord<AffineSubmap>& map) : map_(map) {}

    AffineMapWriter& rotate(double degrees, double x, double y, double z)
    {
        AffineSubmap& s = next(kSubmapRotate);
        s.angle = degrees;
        s.direction = {x, y, z};
        return *this;
    }
    AffineMapWriter& translate(double x, double y, double z)
    {
        next(kSubmapTranslate).direction = {x, y, z};
        return *this;
    }
    AffineMapWriter& scale(double x, double y, double z)
    {
        next(kSubmapScale).direction = {x, y, z};
        return *this;
    }
    AffineMapWriter& map(int k)
    {
        next(kSubmapMap).map = k;
        return *this;
    }

    // Fixes `centre`, turns by `degrees` about `axis` through it and scales by s, using only
    // the steps that do something.
    AffineMapWriter& similarity(double s, double degrees, Vec3 axis, Vec3 centre)
    {
        const bool moved = !(centre == Vec3{});
        if (moved)
            translate(-centre.x, -centre.y, -centre.z);
        if (degrees != 0)
            rotate(degrees, axis.x, axis.y, axis.z);
        if (s != 1)
            scale(s, s, s);
        if (moved)
            translate(centre.x, centre.y, centre.z);
        return *this;
    }
    AffineMapWriter& planar(double s, double degrees, double cx, double cy)
    {
        return similarity(s, degrees, {0, 0, -1}, {cx, cy, 0});
    }

private:
    AffineSubmap& next(std::int32_t kind)
    {
        AffineSubmap& s = map_.submaps[map_.submapCount++];
        s.kind = kind;
        return s;
    }
    MapRecord<AffineSubmap>& map_;
};

// Appends a subset (Subset s, Map m) to set `set` (1-based).
void subset(FractalScene& scene, int set, int s, int m)
{
    SetRecord& record = scene.sets[set - 1];
    record.subsets[record.subsetCount++] = {s, m, 0};
}

std::unique_ptr<AffineScene> kochSnowflake()
{
    auto scene = std::make_unique<AffineScene>();
    scene->mapCount = 5;
    const double small = 1 / kSqrt3;
    AffineMapWriter(scene->maps[0])
        .rotate(-150, 0, 0, -1)
        .scale(small, small, small)
        .translate(0.5, kSqrt3 / 6, 0);
    AffineMapWriter(scene->maps[1])
        .rotate(150, 0, 0, -1)
        .scale(small, small, small)
        .translate(1, 0, 0);
    AffineMapWriter(scene->maps[2])
        .rotate(-30, 0, 0, -1)
        .scale(kSqrt3, kSqrt3, kSqrt3)
        .translate(-0.5, kSqrt3 / 2, 0);
    AffineMapWriter(scene->maps[3])
        .rotate(90, 0, 0, -1)
        .scale(kSqrt3, kSqrt3, kSqrt3)
        .translate(-0.5, -kSqrt3 / 2, 0);
    AffineMapWriter(scene->maps[4])
        .rotate(-150, 0, 0, -1)
        .scale(kSqrt3, kSqrt3, kSqrt3)
        .translate(1, 0, 0);
    scene->setCount = 2;
    subset(*scene, 1, 1, 1);
    subset(*scene, 1, 1, 2);
    for (int m = 3; m <= 5; ++m)
        subset(*scene, 2, 1, m);
    scene->currentSet = 2;
    return scene;
}

std::unique_ptr<AffineScene> segmentsTree()
{
    auto scene = std::make_unique<AffineScene>();
    scene->mapCount = 10;
    const double corners[4][2] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
    for (int i = 0; i < 4; ++i)
        AffineMapWriter(scene->maps[i]).planar(0.5, 0, corners[i][0], corners[i][1]);
    for (int i = 0; i < 4; ++i)
        AffineMapWriter(scene->maps[4 + i]).planar(1, 90.0 * i, 0, 0);
    AffineMapWriter(scene->maps[8]).similarity(0.5, 0, {}, {0.5, 0.5, -0.5});
    AffineMapWriter(scene->maps[9]).similarity(0.5, 0, {}, {0, 0, -1});
    scene->setCount = 2;
    subset(*scene, 1, 1, 9);
    subset(*scene, 1, 1, 10);
    for (int m = 1; m <= 4; ++m)
        subset(*scene, 2, 2, m);
    for (int m = 5; m <= 8; ++m)
        subset(*scene, 2, 1, m);
    scene->currentSet = 2;
    return scene;
}

std::unique_ptr<AffineScene> sierpinskiTetrahedron()
{
    auto scene = std::make_unique<AffineScene>();
    scene->mapCount = 10;
    const double b = std::acos(-1.0 / 3) * kDegreesPerRadian;
    // Three axes 120 degrees apart in the xy plane, each perpendicular to one edge's direction.
    const Vec3 axes[3] = {
        {0, -2 * kSqrt2 / 3, 0}, {kSqrt6 / 3, kSqrt2 / 3, 0}, {-kSqrt6 / 3, kSqrt2 / 3, 0}};
    auto family = [&](int base, double sx, double sz) {
        // Squeezes towards the apex (0, 0, 1); the turned copies below reuse it by a Map step.
        AffineMapWriter(scene->maps[base]).translate(0, 0, -1).scale(sx, sx, sz).translate(0, 0, 1);
    };
    family(0, 1.0 / 3, 2.0 / 3);
    family(1, -1.0 / 3, 2.0 / 3);
    for (int i = 0; i < 3; ++i)
        AffineMapWriter(scene->maps[2 + i]).map(1).rotate(b, axes[i].x, axes[i].y, axes[i].z);
    family(5, -0.5, 0.5);
    family(6, 0.5, 0.5);
    for (int i = 0; i < 3; ++i)
        AffineMapWriter(scene->maps[7 + i]).map(6).rotate(b, axes[i].x, axes[i].y, axes[i].z);
    scene->setCount = 2;
    for (int m = 2; m <= 5; ++m)
        subset(*scene, 1, 1, m);
    for (int m = 7; m <= 10; ++m)
        subset(*scene, 2, 2, m);
    scene->currentSet = 2;
    return scene;
}

// The 27 cells of a cube split in thirds, and four sets made of some of them.
std::unique_ptr<AffineScene> cubeFamily(int currentSet)
{
    auto scene = std::make_unique<AffineScene>();
    scene->mapCount = 27;
    scene->setCount = 4;
    for (int i = -1; i <= 1; ++i)
        for (int j = -1; j <= 1; ++j)
            for (int k = -1; k <= 1; ++k) {
                const int map = 9 * (i + 1) + 3 * (j + 1) + (k + 1) + 1;
                AffineMapWriter(scene->maps[map - 1])
                    .similarity(1.0 / 3, 0, {}, {double(i), double(j), double(k)});
                const int o = std::abs(i) + std::abs(j) + std::abs(k);
                if (o == 0 || o == 3)
                    subset(*scene, 1, 1, map); // centre and corners
                if (o <= 1)
                    subset(*scene, 2, 2, map); // centre and face centres
                if (o >= 2)
                    subset(*scene, 3, 3, map); // edges and corners: the sponge
                subset(*scene, 4, 4, map);     // the solid cube
            }
    scene->currentSet = currentSet;
    return scene;
}

std::unique_ptr<AffineScene> kochSurface()
{
    auto scene = std::make_unique<AffineScene>();
    scene->mapCount = 6;
    const double e = std::atan(2 * kSqrt2) * kDegreesPerRadian;
    AffineMapWriter(scene->maps[0]).scale(0.5, 0.5, 0.5).translate(0.5, 0, 0);
    AffineMapWriter(scene->maps[1]).scale(0.5, 0.5, 0.5).translate(-0.25, kSqrt3 / 4, 0);
    AffineMapWriter(scene->maps[2]).scale(0.5, 0.5, 0.5).translate(-0.25, -kSqrt3 / 4, 0);
    AffineMapWriter(scene->maps[3])
        .rotate(e, 0, 1, 0)
        .scale(0.5, 0.5, 0.5)
        .rotate(180, 0, 0, -1)
        .translate(1.0 / 6, 0, kSqrt2 / 6);
    AffineMapWriter(scene->maps[4])
        .rotate(e, -kSqrt3 / 2, -0.5, 0)
        .scale(0.5, 0.5, 0.5)
        .rotate(180, 0, 0, -1)
        .translate(-1.0 / 12, kSqrt3 / 12, kSqrt2 / 6);
    AffineMapWriter(scene->maps[5])
        .rotate(e, kSqrt3 / 2, -0.5, 0)
        .scale(0.5, 0.5, 0.5)
        .rotate(180, 0, 0, -1)
        .translate(-1.0 / 12, -kSqrt3 / 12, kSqrt2 / 6);
    scene->setCount = 1;
    for (int m = 1; m <= 6; ++m)
        subset(*scene, 1, 1, m);
    scene->currentSet = 1;
    return scene;
}

std::unique_ptr<AffineScene> tree()
{
    auto scene = std::make_unique<AffineScene>();
    scene->mapCount = 3;
    AffineMapWriter(scene->maps[0]).scale(0.1, 0.2, 0.1);
    AffineMapWriter(scene->maps[1])
        .translate(0, -1, 0)
        .scale(0.9, 0.8, 0.9)
        .rotate(144, 0, 1, 0)
        .translate(0, 1, 0);
    AffineMapWriter(scene->maps[2]).rotate(60, 0, 0, 1).scale(0.3, 0.3, 0.3).translate(0, 0.2, 0);
    scene->setCount = 1;
    for (int m = 1; m <= 3; ++m)
        subset(*scene, 1, 1, m);
    scene->currentSet = 1;
    return scene;
}

std::unique_ptr<MebiusScene> appolonySet()
{
    auto scene = std::make_unique<MebiusScene>();
    scene->lightCount = 2;
    scene->mapCount = 3;
    auto add = [&](int map, std::int32_t kind, Vec3 direction, double value, int ref) {
        MapRecord<MebiusSubmap>& record = scene->maps[map - 1];
        record.submaps[record.submapCount++] = {direction, value, kind, ref};
    };
    // Map 1 takes the unit ball into the ball tangent to it and to the other two images.
    add(1, kSubmapReflect, {-1, 0, 0}, 1 / (1 + kSqrt3), 0);
    add(1, kSubmapScale, {}, kSqrt3 / (kSqrt3 + 2), 0);
    add(1, kSubmapTranslate, {2 / (kSqrt3 + 2), 0, 0}, 0, 0);
    add(2, kSubmapMap, {}, 0, 1);
    add(2, kSubmapRotate, {0, 0, -1}, 120, 0);
    add(3, kSubmapMap, {}, 0, 1);
    add(3, kSubmapRotate, {0, 0, -1}, -120, 0);
    scene->setCount = 1;
    for (int m = 1; m <= 3; ++m)
        subset(*scene, 1, 1, m);
    scene->currentSet = 1;
    return scene;
}

} // namespace

std::unique_ptr<FractalScene> makeSample(int index)
{
    switch (index) {
    case 0:
        return kochSnowflake();
    case 1:
        return segmentsTree();
    case 2:
        return sierpinskiTetrahedron();
    case 3:
        return cubeFamily(3);
    case 4:
        return kochSurface();
    case 5:
        return cubeFamily(1);
    case 6:
        return cubeFamily(2);
    case 7:
        return tree();
    case 8:
        return appolonySet();
    default:
        return nullptr;
    }
}

} // namespace ormolith
