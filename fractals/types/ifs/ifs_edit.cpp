#include "ifs_edit.h"

#include <algorithm>
#include <cmath>

namespace fractals {

namespace {

// Cross and dot products of differences of 32-bit values need more than 64 bits.
__extension__ typedef __int128 Wide;

std::int64_t truncatedLength(CVector v)
{
    return static_cast<std::int64_t>(v.length());
}

Wide dot(CVector a, std::int64_t qx, std::int64_t qy)
{
    return Wide{a.x} * qx + Wide{a.y} * qy;
}

bool between(Wide v, Wide bound1, Wide bound2)
{
    return (v >= bound1 && v <= bound2) || (v >= bound2 && v <= bound1);
}

} // namespace

FrameHit hitTestFrame(const CIfsFrame& f, CVector p, std::int32_t t)
{
    const std::int64_t qx = std::int64_t{p.x} - f.vertex.x;
    const std::int64_t qy = std::int64_t{p.y} - f.vertex.y;
    const std::int64_t len1 = truncatedLength(f.side1);
    const std::int64_t len2 = truncatedLength(f.side2);
    // A side of no length (only a hand-made file holds one) can neither be near nor span an
    // area.
    if (len1 == 0 || len2 == 0)
        return FrameHit::none;
    const double qq = static_cast<double>(qx) * static_cast<double>(qx) +
                      static_cast<double>(qy) * static_cast<double>(qy);
    const double t2 = static_cast<double>(t) * t;
    const auto nearSide = [&](CVector s, std::int64_t len) {
        const Wide d = dot(s, qx, qy);
        const Wide projection = d / len;
        if (projection < -Wide{t} || projection > Wide{len} + t)
            return false;
        const double dd = static_cast<double>(d);
        return qq - dd * dd / (static_cast<double>(len) * static_cast<double>(len)) <= t2;
    };
    if (nearSide(f.side1, len1) || nearSide(f.side2, len2)) {
        const auto endWithin = [&](CVector s) {
            const double ex = static_cast<double>(qx - s.x), ey = static_cast<double>(qy - s.y);
            return ex * ex + ey * ey <= t2;
        };
        if (endWithin(f.side1))
            return FrameHit::endSide1;
        if (endWithin(f.side2))
            return FrameHit::endSide2;
        return FrameHit::frame;
    }
    // Inside: q = u·side1 + v·side2 with a = u·C and b = v·C; the bounds hold in either order
    // so that frames of both orientations (both signs of C) work.
    const Wide c = Wide{f.side1.x} * f.side2.y - Wide{f.side1.y} * f.side2.x;
    const Wide a = Wide{qx} * f.side2.y - Wide{qy} * f.side2.x;
    const Wide b = Wide{qy} * f.side1.x - Wide{qx} * f.side1.y;
    const Wide b1 = Wide{t / len1} * c;
    const Wide b2 = Wide{t / len2} * c;
    if (between(a, -b1, c + b1) && between(b, -b2, c + b2))
        return FrameHit::frame;
    return FrameHit::none;
}

CIfsFrame draggedFrame(const CIfsFrame& frame, DragMode mode, CVector offset)
{
    CIfsFrame f = frame;
    switch (mode) {
    case DragMode::move:
        f.vertex += offset;
        break;
    case DragMode::side1:
        f.side1 += offset;
        break;
    case DragMode::side2:
        f.side2 += offset;
        break;
    case DragMode::none:
    case DragMode::rubberBand:
        break;
    }
    return f;
}

bool rubberBandTakes(const CIfsFrame& f, CVector corner1, CVector corner2)
{
    const std::int32_t left = std::min(corner1.x, corner2.x),
                       right = std::max(corner1.x, corner2.x);
    const std::int32_t bottom = std::min(corner1.y, corner2.y),
                       top = std::max(corner1.y, corner2.y);
    const auto inside = [&](CVector v) {
        return v.x >= left && v.x <= right && v.y >= bottom && v.y <= top;
    };
    return inside(f.vertex) && inside(f.vertex + f.side1) && inside(f.vertex + f.side2);
}

CIfsFrame rotatedFrame(const CIfsFrame& frame, int angleDegrees)
{
    CIfsFrame f = frame;
    const double radians = -angleDegrees * kRadiansPerDegree;
    f.side1.rotate(radians);
    f.side2.rotate(radians);
    return f;
}

CIfsFrame shiftedFrame(const CIfsFrame& frame, int dx, int dy)
{
    CIfsFrame f = frame;
    f.vertex += CVector{dx, dy};
    return f;
}

} // namespace fractals
