#include "ifs_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace qubex {

namespace {

// 1/32767 written out: the draws are scaled by this double constant and only then rounded to
// single precision, which is what makes the draw 32767 land on exactly 1.0f.
constexpr double kInverseRandMax = 0.00003051850947599719;
constexpr double kRadiansPerDegree = 0.017453292519943295;

using Matrix4f = std::array<std::array<float, 4>, 4>;

Matrix4f identity4f()
{
    Matrix4f m{};
    for (int i = 0; i < 4; ++i)
        m[i][i] = 1.0f;
    return m;
}

// The code is built in single precision on purpose: stored codes are compared against
// codes drawn with the same seed, so every product is rounded to float as it is formed.
Matrix4f multiply(const Matrix4f& a, const Matrix4f& b)
{
    Matrix4f r{};
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a[row][k] * b[k][col];
            r[row][col] = sum;
        }
    return r;
}

struct CosSin {
    float c, s;
};

CosSin cosSinOfTurns(float turns)
{
    const float degrees = 360.0f * turns;
    const double radians = static_cast<double>(degrees) * kRadiansPerDegree;
    return {static_cast<float>(std::cos(radians)), static_cast<float>(std::sin(radians))};
}

Matrix4f rotationX(float turns)
{
    const auto [c, s] = cosSinOfTurns(turns);
    Matrix4f m = identity4f();
    m[1][1] = c, m[1][2] = -s;
    m[2][1] = s, m[2][2] = c;
    return m;
}

Matrix4f rotationY(float turns)
{
    const auto [c, s] = cosSinOfTurns(turns);
    Matrix4f m = identity4f();
    m[0][0] = c, m[0][2] = s;
    m[2][0] = -s, m[2][2] = c;
    return m;
}

Matrix4f rotationZ(float turns)
{
    const auto [c, s] = cosSinOfTurns(turns);
    Matrix4f m = identity4f();
    m[0][0] = c, m[0][1] = -s;
    m[1][0] = s, m[1][1] = c;
    return m;
}

Matrix4f translation(float x, float y, float z)
{
    Matrix4f m = identity4f();
    m[0][3] = x, m[1][3] = y, m[2][3] = z;
    return m;
}

Matrix4f scaling(float x, float y, float z)
{
    Matrix4f m = identity4f();
    m[0][0] = x, m[1][1] = y, m[2][2] = z;
    return m;
}

// False for NaN, infinities and values a float cannot hold.
bool fitsFloat(double v)
{
    return std::fabs(v) <= static_cast<double>(std::numeric_limits<float>::max());
}

} // namespace

int IfsCode::mapCount() const
{
    return std::clamp<int>(matrix_length, 1, kMaxMaps);
}

int GenerationSettings::pointCount() const
{
    return std::clamp<int>(iteration, 0, kMaxPoints);
}

int CRandSource::next()
{
    // glibc's RAND_MAX is 2^31-1 while the arithmetic expects 15-bit draws; RAND_MAX + 1 is a
    // power of two on every libc we know, so keeping the low 15 bits stays uniform.
    return std::rand() % (kRandMax + 1);
}

int clampMatrixLength(long long value)
{
    return static_cast<int>(std::clamp<long long>(value, 1, kMaxMaps));
}

int clampIteration(long long value)
{
    return static_cast<int>(std::clamp<long long>(value, kMinIteration, kMaxPoints));
}

float randomSigned(RandomSource& random)
{
    const float magnitude = static_cast<float>(random.next() * kInverseRandMax);
    const float sign = static_cast<float>(random.next() * kInverseRandMax);
    return sign < 0.5f ? -magnitude : magnitude;
}

void newProbabilities(IfsCode& code, RandomSource& random)
{
    const int n = code.mapCount();
    for (int i = 0; i < n; ++i)
        code.thresholds[i] = std::fabs(randomSigned(random));
    code.thresholds[n - 1] = 1.0;
    std::sort(code.thresholds.begin(), code.thresholds.begin() + n);
}

void newMatrices(IfsCode& code, RandomSource& random)
{
    const int n = code.mapCount();
    for (int i = 0; i < n; ++i) {
        std::array<float, 9> v{};
        for (float& x : v)
            x = randomSigned(random);
        const auto [a, b, q, d, e, f, g, h, k] = v;
        Matrix4f m = identity4f();
        m = multiply(m, rotationX(a));
        m = multiply(m, rotationY(b));
        m = multiply(m, rotationZ(q));
        m = multiply(m, translation(g, h, k));
        m = multiply(m, scaling(d, e, f));
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 4; ++col)
                code.maps[i][row][col] = m[row][col];
    }
}

void generatePoints(const IfsCode& code, const GenerationSettings& settings, PointCloud& cloud,
                    RandomSource& random)
{
    const int maps = code.mapCount();
    const int count = settings.pointCount();
    // The start state; the iteration returns here whenever a step leaves projective space
    // (w' = 0, or a W that has grown past the double range), see below.
    constexpr double startX = 0, startY = 0, startZ = 0, startW = -1;
    double X = startX, Y = startY, Z = startZ, W = startW;
    Point3f previous{};
    for (int n = 0; n < count; ++n) {
        const double r = std::fabs(randomSigned(random));
        int j = 0;
        while (j < maps - 1 && !(r <= code.thresholds[j]))
            ++j;
        const Matrix4d& M = code.maps[j];
        const double x = M[0][0] * X + M[0][1] * Y + M[0][2] * Z + M[0][3] * W;
        const double y = M[1][0] * X + M[1][1] * Y + M[1][2] * Z + M[1][3] * W;
        const double z = M[2][0] * X + M[2][1] * Y + M[2][2] * Z + M[2][3] * W;
        const double w = M[3][0] * X + M[3][1] * Y + M[3][2] * Z + M[3][3] * W;
        const double nx = x / w, ny = y / w, nz = z / w;
        if (w == 0.0 || !std::isfinite(w) || !fitsFloat(nx) || !fitsFloat(ny) || !fitsFloat(nz)) {
            // A point at (or beyond single precision's) infinity; only edited or loaded codes
            // can produce one. Storing it would turn this and every later point into inf/NaN
            // and wreck autosize and autocenter, so the step repeats the previous point and
            // the walk restarts from the start state.
            X = startX, Y = startY, Z = startZ, W = startW;
            cloud.points[n] = previous;
            continue;
        }
        X = nx, Y = ny, Z = nz, W = w;
        previous = {static_cast<float>(X), static_cast<float>(Y), static_cast<float>(Z)};
        cloud.points[n] = previous;
    }
    cloud.count = count;
    if (settings.autosize)
        autosizePoints(cloud);
    if (settings.autocenter)
        autocenterPoints(cloud);
}

void autosizePoints(PointCloud& cloud)
{
    const int count = std::clamp(cloud.count, 0, kMaxPoints);
    if (count == 0)
        return;
    std::array<double, 3> low{cloud.points[0].x, cloud.points[0].y, cloud.points[0].z};
    std::array<double, 3> high = low;
    for (int n = 0; n < count; ++n) {
        const Point3f& p = cloud.points[n];
        const std::array<double, 3> c{p.x, p.y, p.z};
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], c[axis]);
            high[axis] = std::max(high[axis], c[axis]);
        }
    }
    std::array<double, 3> extent{};
    for (int axis = 0; axis < 3; ++axis)
        extent[axis] = high[axis] - low[axis];
    // Each axis on its own and about the origin: the cloud is stretched, not moved.
    const auto rescale = [](float& c, double e) {
        if (e > 1.0)
            c = static_cast<float>(c * 2.0 / e);
    };
    for (int n = 0; n < count; ++n) {
        Point3f& p = cloud.points[n];
        rescale(p.x, extent[0]);
        rescale(p.y, extent[1]);
        rescale(p.z, extent[2]);
    }
}

void autocenterPoints(PointCloud& cloud)
{
    const int count = std::clamp(cloud.count, 0, kMaxPoints);
    if (count == 0)
        return;
    double sx = 0, sy = 0, sz = 0;
    for (int n = 0; n < count; ++n) {
        sx += cloud.points[n].x;
        sy += cloud.points[n].y;
        sz += cloud.points[n].z;
    }
    const double mx = sx / count, my = sy / count, mz = sz / count;
    for (int n = 0; n < count; ++n) {
        Point3f& p = cloud.points[n];
        p.x = static_cast<float>(p.x - mx);
        p.y = static_cast<float>(p.y - my);
        p.z = static_cast<float>(p.z - mz);
    }
}

} // namespace qubex
