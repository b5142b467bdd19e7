#include "affine_scene.h"

#include <algorithm>
#include <cmath>

#include "bounds.h"
#include "compose.h"

namespace ormolith {

namespace {

const char* const kAffineKinds[] = {"Map",   "Rotate", "Translate",
                                    "Scale", "Matrix", "Scale+Rotate"};

// A Map step can fold other maps in, which fold others: with 24 submaps a level, nesting alone
// does not bound the work. No sensible map needs more elementary steps than this.
constexpr int kMaxFoldedSteps = 100000;

// Rounding noise of rotations (cos 90 is 6e-17, not 0) is removed so that exact zeros stay
// exact: the builder compares matrices with zero and the files show clean numbers.
void cleanUp(AffineTransform& t)
{
    for (auto& row : t.m)
        for (double& v : row)
            if (std::fabs(v) < 1e-16)
                v = 0;
    for (double* v : {&t.t.x, &t.t.y, &t.t.z})
        if (std::fabs(*v) < 1e-16)
            *v = 0;
}

void applyLinear(const Mat3& a, AffineTransform& t)
{
    t.m = a * t.m;
    t.t = a * t.t;
    cleanUp(t);
}

// Scale step: x by f.x, y by f.y, z by f.z (row i of M and component i of t).
void scaleRows(Vec3 f, AffineTransform& t)
{
    for (int i = 0; i < 3; ++i)
        for (double& v : t.m[i])
            v *= f[i];
    t.t = {t.t.x * f.x, t.t.y * f.y, t.t.z * f.z};
}

} // namespace

Mat3 rotationMatrix(double degrees, Vec3 axis)
{
    const Vec3 u = (1.0 / length(axis)) * axis;
    const double a = degrees * kMapDegreesToRadians;
    const double c = std::cos(a), s = std::sin(a);
    const double uu[3] = {u.x, u.y, u.z};
    const Mat3 k = {{{0, u.z, -u.y}, {-u.z, 0, u.x}, {u.y, -u.x, 0}}};
    Mat3 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const double outer = uu[i] * uu[j];
            r[i][j] = outer + c * ((i == j ? 1.0 : 0.0) - outer) + s * k[i][j];
        }
    return r;
}

AffineScene::AffineScene() : MapScene(kAffineType) {}

void AffineScene::describeMaps(ParamArchive& ar)
{
    describeMapTable(ar, kAffineKinds, [&](AffineSubmap& s, std::int32_t kind) {
        auto real = [&](const char* label, double& v) { describeParam(ar, label, &v, kKindReal); };
        auto axis = [&] {
            real("Angle", s.angle);
            real("X direction", s.direction.x);
            real("Y direction", s.direction.y);
            real("Z direction", s.direction.z);
        };
        switch (kind) {
        case kSubmapMap:
            describeParam(ar, "Map", &s.map, kKindInt);
            break;
        case kSubmapRotate:
            axis();
            break;
        case kSubmapTranslate:
        case kSubmapScale:
            real("X", s.direction.x);
            real("Y", s.direction.y);
            real("Z", s.direction.z);
            break;
        case kSubmapMatrix: {
            static const char* const names[] = {"A11", "A12", "A13", "A21", "A22",
                                                "A23", "A31", "A32", "A33"};
            for (int e = 0; e < 9; ++e)
                real(names[e], s.p[e]);
            break;
        }
        case kSubmapScaleRotate:
            axis();
            real("Scale along", s.p[0]);
            real("Scale across", s.p[1]);
            break;
        default:
            break;
        }
    });
}

bool AffineScene::onSubmapChanged(const void* v)
{
    for (int i = 0; i < kMaxMaps; ++i) {
        for (int j = 0; j < kMaxSubmaps; ++j) {
            AffineSubmap& s = maps[i].submaps[j];
            if (v == &s.kind) {
                needsRebuild = true;
                return true;
            }
            if (v == &s.map) {
                if (s.map >= -kMaxMaps && s.map <= kMaxMaps && s.map != 0) {
                    needsRebuild = true;
                    return true;
                }
                fail("Error: Map%u/Submap%u", unsigned(i + 1), unsigned(j + 1));
                return false;
            }
            if (v == &s.direction.x || v == &s.direction.y || v == &s.direction.z ||
                v == &s.angle ||
                (v >= static_cast<const void*>(s.p.data()) &&
                 v < static_cast<const void*>(s.p.data() + s.p.size()))) {
                needsRebuild = true;
                return false;
            }
        }
    }
    return false;
}

AffineScene::StepResult AffineScene::foldSubmap(int /*mapIndex*/, int /*submapIndex*/,
                                                const AffineSubmap& s, AffineTransform& t,
                                                int& budget)
{
    if (--budget < 0)
        return StepResult::failed;
    switch (s.kind) {
    case kSubmapMap: {
        // Any map of the table may be folded in (an empty one does nothing); a reference
        // outside the table names no map and fails the composition.
        if (s.map < 1 || s.map > kMaxMaps)
            return StepResult::failed;
        if (!submapCountValid(s.map - 1)) {
            fail(AffineSubmap::kSubmapCountText, unsigned(s.map));
            return StepResult::failedWithText;
        }
        return foldNestedMap(s.map, [&](int m, int j, const AffineSubmap& nested) {
            return foldSubmap(m, j, nested, t, budget);
        });
    }
    case kSubmapRotate:
        if (length(s.direction) < kZeroLength)
            return StepResult::failed;
        applyLinear(rotationMatrix(s.angle, s.direction), t);
        return StepResult::ok;
    case kSubmapTranslate:
        t.t = t.t + s.direction;
        return StepResult::ok;
    case kSubmapScale:
        scaleRows(s.direction, t);
        return StepResult::ok;
    case kSubmapMatrix:
        applyLinear(
            {{{s.p[0], s.p[1], s.p[2]}, {s.p[3], s.p[4], s.p[5]}, {s.p[6], s.p[7], s.p[8]}}}, t);
        return StepResult::ok;
    case kSubmapScaleRotate: {
        if (length(s.direction) < kZeroLength)
            return StepResult::failed;
        const Vec3 u = (1.0 / length(s.direction)) * s.direction;
        // Turn u onto the z axis, scale along and across it there, turn about it, turn back.
        const double b =
            std::atan2(-std::sqrt(std::max(0.0, 1 - u.z * u.z)), u.z) * kRadiansToDegrees;
        const Vec3 w{u.y, -u.x, 0};
        const bool turn = length(w) >= kZeroLength; // u along z needs no turning
        if (turn)
            applyLinear(rotationMatrix(b, w), t);
        // A plain Scale step: only Rotate and Matrix steps clean up rounding noise.
        scaleRows({s.p[1], s.p[1], s.p[0]}, t);
        applyLinear(rotationMatrix(s.angle, {0, 0, 1}), t);
        if (turn)
            applyLinear(rotationMatrix(-b, w), t);
        return StepResult::ok;
    }
    default:
        return StepResult::failed;
    }
}

bool AffineScene::composeMap(int index)
{
    if (!submapCountValid(index))
        return fail(AffineSubmap::kSubmapCountText, unsigned(index + 1));
    AffineTransform t;
    int budget = kMaxFoldedSteps;
    int failedAt = 0;
    const StepResult r = foldMap(
        index, [&](int m, int j, const AffineSubmap& s) { return foldSubmap(m, j, s, t, budget); },
        failedAt);
    if (r == StepResult::failedWithText)
        return false;
    if (r == StepResult::failed)
        return fail("Error: Map %u", unsigned(index + 1));
    mapTransforms[index] = t;
    return true;
}

bool AffineScene::computeBounds()
{
    return computeAffineBounds(*this);
}

} // namespace ormolith
