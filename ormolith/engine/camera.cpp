#include "camera.h"

#include <algorithm>
#include <cmath>

namespace ormolith {

namespace {

Vec3 unit(Vec3 v)
{
    const double l = length(v);
    return l > 0 ? (1.0 / l) * v : v;
}

// How far the camera may move along D before `point` lies on one of the four side planes of
// the view (through the eye, at slopes tanX and tanY from the axis). Negative: move back.
double roomToSidePlanes(const CameraFrame& f, Vec3 eye, Vec3 point, double tanX, double tanY)
{
    const Vec3 v = point - eye;
    const double depth = dot(v, f.forward);
    const double side = dot(v, f.right), up = dot(v, f.up);
    // On the right plane side = tanX (depth - a), on the left one -side = tanX (depth - a).
    return std::min(
        {depth - side / tanX, depth + side / tanX, depth - up / tanY, depth + up / tanY});
}

} // namespace

CameraFrame cameraFrame(const Camera& camera, int height)
{
    CameraFrame f;
    f.focal = (height / 2.0) / std::tan(camera.fieldOfView * kHalfDegreeToRadians);
    f.forward = unit(camera.direction);
    f.up = unit(camera.vertical - dot(camera.vertical, f.forward) * f.forward);
    f.right = cross(f.up, f.forward);
    f.eye = camera.position;
    return f;
}

void autoCam(FractalScene& scene, int width, int height)
{
    const SetRecord& set = scene.sets[std::clamp(scene.currentSet - 1, 0, kMaxSets - 1)];
    const Vec3 boxCentre = 0.5 * (set.boxMin + set.boxMax);
    Camera& cam = scene.camera;
    cam.direction = unit(boxCentre - cam.position);
    const CameraFrame f = cameraFrame(cam, height);
    const double tanX = (width / 2.0) / f.focal, tanY = (height / 2.0) / f.focal;
    double a = 1e15;
    for (int c = 0; c < 8; ++c) {
        const Vec3 corner{(c & 1) ? set.boxMax.x : set.boxMin.x,
                          (c & 2) ? set.boxMax.y : set.boxMin.y,
                          (c & 4) ? set.boxMax.z : set.boxMin.z};
        a = std::min(a, roomToSidePlanes(f, cam.position, corner, tanX, tanY));
    }
    cam.position = cam.position + a * f.forward;
    const double rho = std::sqrt(set.radius2) / std::sin(cam.fieldOfView * kHalfDegreeToRadians);
    if (length(cam.position - set.centre) < rho)
        cam.position = set.centre - rho * f.forward;
}

void zoomToRect(FractalScene& scene, const ZoomRect& rect, int width, int height)
{
    Camera& cam = scene.camera;
    const CameraFrame old = cameraFrame(cam, height);
    // Integer halving, as the primary rays use it.
    const int cx = (rect.x0 + rect.x1) / 2 - width / 2;
    const int cy = (rect.y0 + rect.y1) / 2 - height / 2;
    cam.direction = unit(double(cx) * old.right + double(cy) * old.up + old.focal * old.forward);
    const CameraFrame f = cameraFrame(cam, height);
    const double tanX = (width / 2.0) / f.focal, tanY = (height / 2.0) / f.focal;
    double x = 100;
    if (scene.accumulatorWidth == width && scene.accumulatorHeight == height) {
        const int x0 = std::clamp(std::min(rect.x0, rect.x1), 0, width - 1);
        const int x1 = std::clamp(std::max(rect.x0, rect.x1), 0, width - 1);
        const int y0 = std::clamp(std::min(rect.y0, rect.y1), 0, height - 1);
        const int y1 = std::clamp(std::max(rect.y0, rect.y1), 0, height - 1);
        for (int j = y0; j <= y1; ++j)
            for (int i = x0; i <= x1; ++i) {
                const PixelRecord& r = scene.accumulator[std::size_t(j) * width + i];
                if (!(r.distance < 100))
                    continue;
                const Vec3 hit{r.origin[0], r.origin[1], r.origin[2]};
                x = std::min(x, roomToSidePlanes(f, cam.position, hit, tanX, tanY));
            }
    }
    if (x < 100)
        cam.position = cam.position + x * f.forward;
}

} // namespace ormolith
