#pragma once
// The Julia set with cosines: z -> a·cos z, escaping when the imaginary part leaves ±650
// (the real part is never tested), 89 steps at most.
#include "escape_render.h"
#include "julia_doc.h"

namespace fractals {

// The base of the exponentials is this constant, not the exact e; pictures depend on it.
inline constexpr double kCosineBase = 2.7182818;
inline constexpr double kCosineEscape = 650;

int cosineIndex(double x, double y, double a);

class CosineRule : public EscapeRule {
public:
    CosineRule(const JuliaRect& rect, double a, int width, int height);

protected:
    bool computeRows(int i, std::uint8_t* out, RunGate* gate, int& rowsDone) const override;

private:
    JuliaRect rect_;
    double a_;
    double stepX_, stepY_;
};

} // namespace fractals
