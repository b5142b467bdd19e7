#pragma once
// Elementary steps shared by the two map families and the samples.
#include "geometry.h"

namespace ormolith {

// Degrees to radians for map rotations. The lights use a slightly different constant on
// purpose (shading.cpp); keep the two apart.
inline constexpr double kMapDegreesToRadians = 0.017453292519943295;
inline constexpr double kRadiansToDegrees = 57.29577951308232;
// Below this an axis or a Reflection counts as zero.
inline constexpr double kZeroLength = 1e-15;

// The rotation of a Rotate step: by `degrees` about `axis` (not necessarily unit, not zero).
// A positive angle about (0, 0, 1) takes (1, 0, 0) towards (0, -1, 0).
Mat3 rotationMatrix(double degrees, Vec3 axis);

} // namespace ormolith
