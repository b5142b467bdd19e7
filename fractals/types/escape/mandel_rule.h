#pragma once
// The Mandelbrot iteration z -> a·z³ + b·z² + d·z + c with c and the start value taken from
// the pixel, 89 steps at most, escape when |z|² exceeds 1e9.
#include "escape_render.h"
#include "julia_doc.h"

namespace fractals {

inline constexpr int kMaxIterations = 89;
inline constexpr double kEscapeRadius2 = 1e9;

// One pixel, written as plainly as possible; the column code must agree with it exactly.
int mandelIndex(double x, double y, const JuliaEquation& eq);

class MandelRule : public EscapeRule {
public:
    // useVector false forces the scalar path (tests compare the two).
    MandelRule(const JuliaRect& rect, const JuliaEquation& eq, int width, int height, bool useVector = true);
    bool computeColumn(int i, std::uint8_t* out, RunGate* gate) const override;

    double columnX(int i) const { return rect_.left + i * stepX_; }
    double rowY(int j) const { return rect_.top - j * stepY_; }

private:
    JuliaRect rect_;
    JuliaEquation eq_;
    double stepX_;
    double stepY_;
    bool vector_;
};

// True when this process can run the 4-wide path.
bool mandelVectorAvailable();

} // namespace fractals
