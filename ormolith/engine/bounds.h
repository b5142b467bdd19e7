#pragma once
// Bounds of the sets before a build: boxes, centres and radius2 of every set that takes part in
// drawing, and the void check of the drawn set's cover.
#include "geometry.h"

namespace ormolith {

class FractalScene;
class AffineScene;
class MebiusScene;

inline constexpr const char* kSetVoidBoundsText = "Error:Set is void";
inline constexpr const char* kSetVoidCheckText = "Error: Set is void";

// Grows the boxes of the taking-part sets until the images of the referenced sets' boxes fit.
// False with kSetVoidBoundsText when a set maps onto itself without shrinking, when the pieces
// would overflow their stack or when the growth does not settle; false without text when
// stopRequested ended it.
bool computeAffineBounds(AffineScene& scene);
// Every Moebius set lies in the unit ball.
void setMebiusBounds(MebiusScene& scene);
// Refines the drawn set's cover to see how far it reaches from each set's centre. False (with
// kSetVoidCheckText) when a Moebius set leaves the unit ball; false without text when
// stopRequested ended it.
bool voidCheck(FractalScene& scene);

// Solves (I - M) x = t by Cramer's rule: the fixed point of p -> M p + t. False when I - M is
// singular or the result is not finite.
bool affineFixedPoint(const AffineTransform& t, Vec3& point);

double determinant(const Mat3& m);
// Largest eigenvalue of M^T M, the squared largest stretch of M (closed form).
double largestStretch2(const Mat3& m);

} // namespace ormolith
