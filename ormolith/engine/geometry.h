#pragma once
// Small fixed-size linear algebra for the scene: 3-vectors, affine transforms (3x3 matrix plus
// translation, p -> M p + t) and the 5x5 matrices that act on pentaspherical coordinates.
#include <array>
#include <cmath>

namespace ormolith {

struct Vec3 {
    double x = 0, y = 0, z = 0;

    friend Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
    friend Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
    friend Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
    friend Vec3 operator*(double s, Vec3 a) { return {s * a.x, s * a.y, s * a.z}; }
    friend bool operator==(const Vec3&, const Vec3&) = default;
    double operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
};

inline double dot(Vec3 a, Vec3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline double length(Vec3 a)
{
    return std::sqrt(dot(a, a));
}
inline Vec3 cross(Vec3 a, Vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

using Mat3 = std::array<std::array<double, 3>, 3>;

constexpr Mat3 identity3()
{
    return {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
}

inline Mat3 operator*(const Mat3& a, const Mat3& b)
{
    Mat3 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                r[i][j] += a[i][k] * b[k][j];
    return r;
}

inline Vec3 operator*(const Mat3& m, Vec3 v)
{
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
            m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
}

// p -> m p + t.
struct AffineTransform {
    Mat3 m = identity3();
    Vec3 t;

    Vec3 apply(Vec3 p) const { return m * p + t; }
    // (after * before)(p) = after(before(p)): composition reads right to left, as matrices do.
    friend AffineTransform operator*(const AffineTransform& after, const AffineTransform& before)
    {
        return {after.m * before.m, after.m * before.t + after.t};
    }
    friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

// Row-major 5x5 matrix acting on columns (x, y, z, w, s): a point p is (p, 1, |p|^2), a sphere
// with centre m and radius r is (m, 1, |m|^2 - r^2), both up to a common factor.
using Mat5 = std::array<std::array<double, 5>, 5>;

constexpr Mat5 identity5()
{
    Mat5 r{};
    for (int i = 0; i < 5; ++i)
        r[i][i] = 1;
    return r;
}

inline Mat5 operator*(const Mat5& a, const Mat5& b)
{
    Mat5 r{};
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j)
            for (int k = 0; k < 5; ++k)
                r[i][j] += a[i][k] * b[k][j];
    return r;
}

using Vec5 = std::array<double, 5>;

inline Vec5 operator*(const Mat5& m, const Vec5& v)
{
    Vec5 r{};
    for (int i = 0; i < 5; ++i)
        for (int k = 0; k < 5; ++k)
            r[i] += m[i][k] * v[k];
    return r;
}

inline Vec5 pentasphericalPoint(Vec3 p)
{
    return {p.x, p.y, p.z, 1.0, dot(p, p)};
}

// The point that the column stands for: (x, y, z) / w. Meaningless when w is 0 (infinity).
inline Vec3 pointFromPentaspherical(const Vec5& v)
{
    return (1.0 / v[3]) * Vec3{v[0], v[1], v[2]};
}

inline Vec3 applyToPoint(const Mat5& g, Vec3 p)
{
    return pointFromPentaspherical(g * pentasphericalPoint(p));
}

} // namespace ormolith
