#include "trackball.h"

#include <algorithm>
#include <cmath>

namespace qubex {

namespace {

constexpr double kHalfPi = 1.5707963267948966;
constexpr double kRadiansPerDegree = 0.017453292519943295;

Vec3f cross(const Vec3f& a, const Vec3f& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

} // namespace

Matrix4f identityMatrix()
{
    Matrix4f m{};
    m[0] = m[5] = m[10] = m[15] = 1.0f;
    return m;
}

Matrix4f rotationMatrix(float angleDegrees, const Vec3f& axis)
{
    float x = axis[0], y = axis[1], z = axis[2];
    const float length = std::sqrt(x * x + y * y + z * z);
    // Mesa's glRotate ignores axes this short (and NaN ones), leaving the matrix alone.
    if (!(length > 1.0e-4f))
        return identityMatrix();
    x /= length, y /= length, z /= length;
    const float radians = static_cast<float>(angleDegrees * kRadiansPerDegree);
    const float c = std::cos(radians), s = std::sin(radians), t = 1.0f - c;
    Matrix4f m = identityMatrix();
    const auto at = [&m](int row, int col) -> float& { return m[col * 4 + row]; };
    at(0, 0) = x * x * t + c, at(0, 1) = x * y * t - z * s, at(0, 2) = x * z * t + y * s;
    at(1, 0) = y * x * t + z * s, at(1, 1) = y * y * t + c, at(1, 2) = y * z * t - x * s;
    at(2, 0) = x * z * t - y * s, at(2, 1) = y * z * t + x * s, at(2, 2) = z * z * t + c;
    return m;
}

Matrix4f multiply(const Matrix4f& a, const Matrix4f& b)
{
    Matrix4f r{};
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            float sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a[k * 4 + row] * b[col * 4 + k];
            r[col * 4 + row] = sum;
        }
    return r;
}

void Trackball::setSize(int w, int h)
{
    width = w;
    height = h;
}

Vec3f Trackball::mapToSphere(double x, double y) const
{
    // A drawing area can be zero pixels wide for a moment while the window is resized.
    const double w = std::max(width, 1), h = std::max(height, 1);
    Vec3f v{static_cast<float>((2.0 * x - w) / w), static_cast<float>((h - 2.0 * y) / h), 0};
    float d = std::sqrt(v[0] * v[0] + v[1] * v[1]);
    d = std::min(d, 1.0f);
    v[2] = static_cast<float>(std::cos(d * kHalfPi));
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (float& c : v)
        c /= length;
    return v;
}

void Trackball::press(double x, double y, std::uint32_t tick)
{
    tracking = true;
    lastTime = tick;
    lastVector = mapToSphere(x, y);
    movedSincePress_ = false;
}

bool Trackball::move(double x, double y, std::uint32_t tick)
{
    if (!tracking)
        return false;
    const Vec3f v = mapToSphere(x, y);
    const float dx = v[0] - lastVector[0], dy = v[1] - lastVector[1], dz = v[2] - lastVector[2];
    angle = 90.0f * std::sqrt(dx * dx + dy * dy + dz * dz);
    axis = cross(lastVector, v);
    lastTime = tick;
    lastVector = v;
    movedSincePress_ = true;
    return true;
}

void Trackball::release(std::uint32_t tick)
{
    tracking = false;
    // A press and release without motion in between is a click: it stops the spin. Ticks are
    // milliseconds here, so "released on the tick of the last motion" alone would almost never
    // catch a real click.
    if (spinEnabled && (tick == lastTime || !movedSincePress_)) {
        angle = 0;
        spinning = false;
    } else {
        spinning = true;
    }
}

bool Trackball::tick()
{
    if (!spinning)
        return false;
    angle *= kSpinDecay;
    // A float increment never decays to zero by itself in any time that matters (it creeps
    // through the denormals for thousands of frames), and a spin that cannot be seen would
    // keep a core busy redrawing until the next click.
    if (std::fabs(angle) < kSpinAtRest) {
        angle = 0;
        spinning = false;
    }
    return true;
}

void Trackball::accumulate()
{
    accumulated = multiply(rotationMatrix(angle, axis), accumulated);
}

void Trackball::reset()
{
    angle = 0;
    tracking = false;
    spinning = false;
    accumulated = identityMatrix();
}

void ZoomDrag::press(double y)
{
    zooming = true;
    startY = y;
    startValue = zoom;
}

void ZoomDrag::move(double y)
{
    if (!zooming)
        return;
    const double n = std::trunc(startY - y);
    const double z = n * 0.005 + startValue;
    if (z > 0)
        zoom = z;
}

} // namespace qubex
