#include "cosine_rule.h"

#include "mandel_rule.h"

#include <cmath>

namespace fractals {

int cosineIndex(double x, double y, double a)
{
    const double h = a / 2;
    double X = x, Y = y;
    int k = 0;
    while (k < kMaxIterations) {
        if (std::fabs(Y) > kCosineEscape)
            break;
        // a·cos(X + iY) = a·cos X·cosh Y − i·a·sin X·sinh Y, with cosh and sinh from P and Q.
        const double P = std::pow(kCosineBase, Y);
        const double Q = std::pow(kCosineBase, -Y);
        const double nX = h * std::cos(X) * (Q + P);
        const double nY = h * std::sin(X) * (Q - P);
        X = nX;
        Y = nY;
        ++k;
    }
    return k;
}

CosineRule::CosineRule(const JuliaRect& rect, double a, int width, int height)
    : EscapeRule(width, height), rect_(rect), a_(a),
      stepX_(width > 0 ? (rect.right - rect.left) / width : 0.0),
      stepY_(height > 0 ? (rect.top - rect.bottom) / height : 0.0)
{
}

bool CosineRule::computeRows(int i, std::uint8_t* out, RunGate* gate, int& rowsDone) const
{
    const double x = rect_.left + i * stepX_;
    for (int j = 0; j < height(); ++j) {
        out[j] = static_cast<std::uint8_t>(cosineIndex(x, rect_.top - j * stepY_, a_));
        rowsDone = j + 1;
        if (gate && !gate->poll())
            return false;
    }
    return true;
}

} // namespace fractals
