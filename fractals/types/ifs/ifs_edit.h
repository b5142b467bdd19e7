#pragma once
// The geometry of the frame editor, without the window: hit testing, what a drag does to a
// frame, the rubber band's rule, and the shift and rotate commands.
#include "ifs_frame.h"

#include <cstdint>

namespace fractals {

enum class FrameHit {
    none,
    frame,    // an edge, the vertex or the inside
    endSide1, // the free end of side 1 (vertex + side1)
    endSide2, // the free end of side 2
};

// p in frame units, tolerance t in frame units (3 pixels along x in the editor).
FrameHit hitTestFrame(const CIfsFrame& frame, CVector p, std::int32_t t);

enum class DragMode { none, move, side1, side2, rubberBand };

// The frame as a drag by `offset` leaves it: the vertex moves, or the free end of a side.
CIfsFrame draggedFrame(const CIfsFrame& frame, DragMode mode, CVector offset);

// A rubber band takes a frame when its vertex and the free ends of both sides lie inside the
// (normalised) rectangle, edges included; the far corner does not matter.
bool rubberBandTakes(const CIfsFrame& frame, CVector corner1, CVector corner2);

// "R&otate Frame...": a positive angle turns clockwise on screen (y grows upward in frame
// units, so the sides turn by -angle). The degree constant is the program's own, 0.0174533,
// not pi/180: with it a quarter turn of (2500, 0) truncates to (0, -2499), as users' files
// made with it expect.
CIfsFrame rotatedFrame(const CIfsFrame& frame, int angleDegrees);
CIfsFrame shiftedFrame(const CIfsFrame& frame, int dx, int dy);

inline constexpr double kRadiansPerDegree = 0.0174533;

} // namespace fractals
