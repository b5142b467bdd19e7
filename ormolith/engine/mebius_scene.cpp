#include "mebius_scene.h"

#include <algorithm>
#include <cmath>

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

MebiusScene::MebiusScene() : MapScene(kMebiusType)
{
    mapMatrices.fill(identity5());
}

void MebiusScene::describeMaps(ParamArchive& ar)
{
    describeMapTable(ar, kMebiusKinds, [&](MebiusSubmap& s, std::int32_t kind) {
        auto real = [&](const char* label, double& v) { describeParam(ar, label, &v, kKindReal); };
        auto direction = [&] {
            real("X direction", s.direction.x);
            real("Y direction", s.direction.y);
            real("Z direction", s.direction.z);
        };
        switch (kind) {
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
    });
}

bool MebiusScene::onSubmapChanged(const void* v)
{
    for (MapRecord<MebiusSubmap>& map : maps) {
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

MebiusScene::StepResult MebiusScene::foldSubmap(const MebiusSubmap& s, Mat5& g, int& budget)
{
    if (--budget < 0)
        return StepResult::failed;
    switch (s.kind) {
    case kSubmapMap: {
        // Any map of the table may be folded in (an empty one does nothing).
        if (s.map < 1 || s.map > kMaxMaps)
            return StepResult::failed;
        if (!submapCountValid(s.map - 1))
            return StepResult::failed;
        return foldNestedMap(s.map, [&](int, int, const MebiusSubmap& nested) {
            return foldSubmap(nested, g, budget);
        });
    }
    case kSubmapRotate:
        if (length(s.direction) < kZeroLength)
            return StepResult::failed;
        g = rotation5(s.value, s.direction) * g;
        return StepResult::ok;
    case kSubmapTranslate:
        g = translation5(s.direction) * g;
        return StepResult::ok;
    case kSubmapScale:
        // A zero (or denormal) scale would put infinities into the matrix and NaNs into every
        // piece of the build.
        if (s.value == 0 || !std::isfinite(1 / s.value))
            return StepResult::failed;
        g = scaling5(s.value) * g;
        return StepResult::ok;
    case kSubmapReflect: {
        const double r = s.value;
        if (std::fabs(r) < kZeroLength)
            return StepResult::ok;
        if (std::fabs(r) >= 1 || length(s.direction) < kZeroLength)
            return StepResult::failed;
        // Conjugate a scaling by the inversion centred at u / r: the result keeps the unit
        // sphere, fixes u and -u and moves the origin to r u.
        const Vec3 u = (1.0 / length(s.direction)) * s.direction;
        g = translation5((1 / r) * u) * g;
        g = unitInversion5() * g;
        g = scaling5(1 / (r * r) - 1) * g;
        g = translation5((-1 / r) * u) * g;
        g = planeReflection5(u) * g;
        return StepResult::ok;
    }
    default:
        return StepResult::failed;
    }
}

bool MebiusScene::composeMap(int index)
{
    if (!submapCountValid(index))
        return fail(MebiusSubmap::kSubmapCountText, unsigned(index + 1));
    Mat5 g = identity5();
    int budget = kMaxFoldedSteps;
    int failedAt = 0;
    const StepResult r = foldMap(
        index, [&](int, int, const MebiusSubmap& s) { return foldSubmap(s, g, budget); }, failedAt);
    if (r != StepResult::ok)
        return fail("Error: Map %u/Submap %u", unsigned(index + 1), unsigned(failedAt + 1));
    mapMatrices[index] = g;
    return true;
}

bool MebiusScene::computeBounds()
{
    setMebiusBounds(*this);
    return true;
}

} // namespace ormolith
