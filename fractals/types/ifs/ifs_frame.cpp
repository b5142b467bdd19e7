#include "ifs_frame.h"

#include <algorithm>

namespace fractals {

void CVector::rotate(double theta)
{
    const double c = std::cos(theta), s = std::sin(theta);
    const double nx = c * x - s * y;
    const double ny = s * x + c * y;
    // Kept inside the 32-bit range, which a turned extreme value may leave.
    const auto fit = [](double v) {
        return static_cast<std::int32_t>(std::trunc(std::clamp(v, -2147483648.0, 2147483647.0)));
    };
    x = fit(nx);
    y = fit(ny);
}

bool CIfsFrame::isValid() const
{
    const auto sq = [](CVector v) { return std::int64_t{v.x} * v.x + std::int64_t{v.y} * v.y; };
    return sq(side1) != 0 && sq(side2) != 0 &&
           std::int64_t{side1.y} * side2.x != std::int64_t{side1.x} * side2.y;
}

} // namespace fractals
