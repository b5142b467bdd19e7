#include "mebius_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "bounds.h"
#include "compose.h"

namespace ormolith {

namespace {

const char* const kMebiusKinds[] = {"Map", "Rotate", "Translate", "Scale", "Reflect"};

constexpr int kMaxFoldedSteps = 100000; // see the affine composition

Mat5 translation5(Vec3 b)
{
    Mat5 s = identity5();
    s[0][3] = b.x;
    s[1][3] = b.y;
    s[2][3] = b.z;
    s[4][0] = 2 * b.x;
    s[4][1] = 2 * b.y;
    s[4][2] = 2 * b.z;
    s[4][3] = dot(b, b);
    return s;
}

// Uniform scaling about the origin by f: (p, 1, |p|^2) -> (p, 1/f, f |p|^2) ~ (f p, 1, |f p|^2).
Mat5 scaling5(double f)
{
    Mat5 s = identity5();
    s[3][3] = 1 / f;
    s[4][4] = f;
    return s;
}

Mat5 rotation5(double degrees, Vec3 axis)
{
    const Mat3 r = rotationMatrix(degrees, axis);
    Mat5 s = identity5();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            s[i][j] = r[i][j];
    return s;
}

// Inversion in the unit sphere: swaps w and s, p -> p / |p|^2.
Mat5 unitInversion5()
{
    Mat5 s = identity5();
    s[3][3] = s[4][4] = 0;
    s[3][4] = s[4][3] = 1;
    return s;
}

// Reflection in the plane through the origin with unit normal u.
Mat5 planeReflection5(Vec3 u)
{
    Mat5 s = identity5();
    const double uu[3] = {u.x, u.y, u.z};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            s[i][j] = (i == j ? 1.0 : 0.0) - 2 * uu[i] * uu[j];
    return s;
}

} // namespace

MebiusScene::MebiusScene() : FractalScene(kMebiusType)
{
    mapMatrices.fill(identity5());
}

void MebiusScene::describeMaps(ParamArchive& ar)
{
    describeGroup(ar, "Maps", [&] {
        describeParam(ar, "Number of maps", &mapCount, kKindInt);
        const int used = std::clamp(mapCount, 0, kMaxMaps);
        for (int i = 0; i < used; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "Map %u", unsigned(i + 1));
            MapRecord<MebiusSubmap>& map = maps[i];
            describeGroup(ar, name, [&] {
                describeParam(ar, "Number of submaps", &map.submapCount, kKindInt);
                const int n = std::clamp(map.submapCount, 0, kMaxSubmaps);
                for (int j = 0; j < n; ++j) {
                    MebiusSubmap& s = map.submaps[j];
                    auto real = [&](const char* label, double& v) {
                        describeParam(ar, label, &v, kKindReal);
                    };
                    auto direction = [&] {
                        real("X direction", s.direction.x);
                        real("Y direction", s.direction.y);
                        real("Z direction", s.direction.z);
                    };
                    describeGroup(
                        ar, "Submap",
                        [&] {
                            switch (choiceIndex(s.kind, 5)) {
                            case kSubmapMap:
                                describeParam(ar, "Map", &s.map, kKindInt);
                                break;
                            case kSubmapRotate:
                                real("Angle", s.value);
                                direction();
                                break;
                            case kSubmapTranslate:
                                real("X", s.direction.x);
                                real("Y", s.direction.y);
                                real("Z", s.direction.z);
                                break;
                            case kSubmapScale:
                                real("Scale", s.value);
                                break;
                            case kSubmapReflect:
                                real("Reflection", s.value);
                                direction();
                                break;
                            default:
                                break;
                            }
                        },
                        &s.kind, 5, kMebiusKinds);
                }
            });
        }
    });
}

bool MebiusScene::onParamChanged(const ParamNode& node)
{
    if (FractalScene::onParamChanged(node))
        return true;
    const void* v = node.value;
    if (v == &mapCount) {
        if (mapCount >= 1 && mapCount <= kMaxMaps - 1)
            needsRebuild = true;
        else
            fail("Error: Number of maps");
        return true;
    }
    for (int i = 0; i < kMaxMaps; ++i) {
        MapRecord<MebiusSubmap>& map = maps[i];
        if (v == &map.submapCount) {
            if (map.submapCount >= 0 && map.submapCount <= kMaxSubmaps)
                needsRebuild = true;
            else
                fail("Error: Map %u/Number of submaps", unsigned(i + 1));
            return true;
        }
        for (MebiusSubmap& s : map.submaps) {
            if (v == &s.kind) {
                // The numbers of one kind mean nothing to another (an angle is no scale).
                s.direction = {};
                s.value = 0;
                needsRebuild = true;
                return true;
            }
            if (v == &s.direction.x || v == &s.direction.y || v == &s.direction.z ||
                v == &s.value || v == &s.map) {
                needsRebuild = true;
                return false;
            }
        }
    }
    return false;
}

bool MebiusScene::foldSubmap(const MebiusSubmap& s, Mat5& g, int& budget)
{
    if (--budget < 0)
        return false;
    switch (s.kind) {
    case kSubmapMap: {
        if (s.map < 1 || s.map > mapCount)
            return false;
        const MapRecord<MebiusSubmap>& nested = maps[s.map - 1];
        if (nested.submapCount < 0 || nested.submapCount > kMaxSubmaps)
            return false;
        for (int j = 0; j < nested.submapCount; ++j) {
            if (mapNesting > mapCount)
                return false;
            ++mapNesting;
            const bool ok = foldSubmap(nested.submaps[j], g, budget);
            --mapNesting;
            if (!ok)
                return false;
        }
        return true;
    }
    case kSubmapRotate:
        if (length(s.direction) < kZeroLength)
            return false;
        g = rotation5(s.value, s.direction) * g;
        return true;
    case kSubmapTranslate:
        g = translation5(s.direction) * g;
        return true;
    case kSubmapScale:
        // A zero (or denormal) scale would put infinities into the matrix and NaNs into every
        // piece of the build.
        if (s.value == 0 || !std::isfinite(1 / s.value))
            return false;
        g = scaling5(s.value) * g;
        return true;
    case kSubmapReflect: {
        const double r = s.value;
        if (std::fabs(r) < kZeroLength)
            return true;
        if (std::fabs(r) >= 1 || length(s.direction) < kZeroLength)
            return false;
        // Conjugate a scaling by the inversion centred at u / r: the result keeps the unit
        // sphere, fixes u and -u and moves the origin to r u.
        const Vec3 u = (1.0 / length(s.direction)) * s.direction;
        g = translation5((1 / r) * u) * g;
        g = unitInversion5() * g;
        g = scaling5(1 / (r * r) - 1) * g;
        g = translation5((-1 / r) * u) * g;
        g = planeReflection5(u) * g;
        return true;
    }
    default:
        return false;
    }
}

bool MebiusScene::composeMap(int index)
{
    const MapRecord<MebiusSubmap>& map = maps[index];
    if (map.submapCount < 0 || map.submapCount > kMaxSubmaps)
        return fail("Error: Map %u/Number of submaps", unsigned(index + 1));
    Mat5 g = identity5();
    int budget = kMaxFoldedSteps;
    mapNesting = 0;
    for (int j = 0; j < map.submapCount; ++j)
        if (!foldSubmap(map.submaps[j], g, budget))
            return fail("Error: Map %u/Submap %u", unsigned(index + 1), unsigned(j + 1));
    mapMatrices[index] = g;
    return true;
}

bool MebiusScene::prepareSets()
{
    if (!FractalScene::prepareSets())
        return false;
    for (int i = 0; i < mapCount; ++i)
        if (!composeMap(i))
            return false;
    setMebiusBounds(*this);
    return true;
}

} // namespace ormolith
