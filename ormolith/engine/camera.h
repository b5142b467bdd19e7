#pragma once
// The camera of a build: the frame of unit vectors and the focal length, AutoCam and zoom to a
// rectangle of the last picture.
#include "scene.h"

namespace ormolith {

// Half a degree in radians: the field of view is a full vertical angle in degrees.
inline constexpr double kHalfDegreeToRadians = 0.008726646111111111;

// Columns x0..x1 and rows y0..y1 of the picture, rows counted from the bottom line.
struct ZoomRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// Right R, up U, forward D and focal length F (pixels) for a picture `height` pixels tall.
// A vertical direction parallel to the view gives a zero U (not guarded, as the scene allows it).
CameraFrame cameraFrame(const Camera& camera, int height);

// Points the camera at the drawn set's box centre and moves it along the view as close as the
// box corners and the bounding sphere allow. Writes the direction and position into the scene.
void autoCam(FractalScene& scene, int width, int height);

// Turns the camera towards the middle of `rect` and moves it forward as far as the surface hit
// by the rectangle's pixels in the last build stays inside the new view.
void zoomToRect(FractalScene& scene, const ZoomRect& rect, int width, int height);

} // namespace ormolith
