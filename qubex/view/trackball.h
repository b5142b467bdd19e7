#pragma once
// Trackball and zoom arithmetic of the cloud view, free of OpenGL and Qt so it can be tested
// on its own. The GL view feeds it mouse positions and millisecond ticks and multiplies the
// model-view matrix by `accumulated` each frame.
#include <array>
#include <cstdint>

namespace qubex {

using Vec3f = std::array<float, 3>;
using Matrix4f = std::array<float, 16>; // OpenGL column-major: element (row, col) at col*4+row

Matrix4f identityMatrix();
// What glRotatef(angleDegrees, axis) multiplies onto a matrix; identity for a null axis.
Matrix4f rotationMatrix(float angleDegrees, const Vec3f& axis);
Matrix4f multiply(const Matrix4f& a, const Matrix4f& b); // a * b

class Trackball {
public:
    bool tracking = false;
    bool spinning = false;
    bool spinEnabled = true; // never changed; kept because the release rule reads it
    std::uint32_t lastTime = 0;
    Vec3f lastVector{0, 0, 1};
    float angle = 0; // increment per redraw, degrees
    Vec3f axis{0, 0, 1};
    Matrix4f accumulated = identityMatrix();
    int width = 1, height = 1;

    void setSize(int w, int h);
    // A position in the drawing area onto the unit sphere (centre (0,0,1), corners on the equator).
    Vec3f mapToSphere(double x, double y) const;

    void press(double x, double y, std::uint32_t tick);
    // Returns true when the view must redraw.
    bool move(double x, double y, std::uint32_t tick);
    void release(std::uint32_t tick);
    // One timer tick: decays a running spin; true when the view must redraw.
    bool tick();
    // Adds the current increment to the accumulated rotation; called once per redraw request.
    void accumulate();
    void reset(); // angle 0, not tracking, accumulated = identity

    static constexpr float kSpinDecay = 0.98f;
    // Below this increment the rest of the spin adds up to less than 0.005 degrees (49 times
    // the increment): nothing to see, so the spin ends instead of redrawing without end.
    static constexpr float kSpinAtRest = 1.0e-4f;

private:
    bool movedSincePress_ = false;
};

// The right-button zoom drag: 0.005 per pixel upwards, never down to zero.
class ZoomDrag {
public:
    double zoom = 1.0;
    bool zooming = false;
    double startY = 0;
    double startValue = 1.0;

    void press(double y);
    void move(double y); // does not redraw by itself
    void release() { zooming = false; }
};

} // namespace qubex
