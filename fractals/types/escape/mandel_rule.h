#pragma once
// The polynomial iteration z -> a·z³ + b·z² + d·z + c of the Mandelbrot and Julia sets: z
// starts at the pixel, c is the pixel (Mandelbrot) or the document's constant (Julia); 89
// steps at most, escape when |z|² exceeds 1e9.
#include "escape_render.h"
#include "julia_doc.h"

namespace fractals {

inline constexpr int kMaxIterations = 89;
inline constexpr double kEscapeRadius2 = 1e9;

// One pixel, written as plainly as possible; the column code must agree with it exactly.
// The iteration starts at the pixel (x, y) and adds the constant (cRe, cIm) at every step.
int polynomialIndex(double x, double y, double cRe, double cIm, const JuliaEquation& eq);
// Mandelbrot set: the constant is the pixel itself.
int mandelIndex(double x, double y, const JuliaEquation& eq);
// Julia set: the constant is the document's c; everything else as above.
int juliaIndex(double x, double y, const JuliaEquation& eq);

class MandelRule : public EscapeRule {
public:
    // useVector false forces the scalar path (tests compare the two); julia adds the
    // document's constant c instead of the pixel.
    MandelRule(const JuliaRect& rect, const JuliaEquation& eq, int width, int height,
               bool useVector = true, bool julia = false);
    double columnX(int i) const { return rect_.left + i * stepX_; }
    double rowY(int j) const { return rect_.top - j * stepY_; }

protected:
    bool computeRows(int i, std::uint8_t* out, RunGate* gate, int& rowsDone) const override;

private:
    JuliaRect rect_;
    JuliaEquation eq_;
    bool julia_;
    double stepX_;
    double stepY_;
    bool vector_;
};

// True when this process can run the 4-wide path.
bool mandelVectorAvailable();

} // namespace fractals

namespace fractals {

// The Julia set rule is the same column code with the document's constant.
inline std::unique_ptr<EscapeRule> makeJuliaRule(const JuliaRect& rect, const JuliaEquation& eq,
                                                 int w, int h)
{
    return std::make_unique<MandelRule>(rect, eq, w, h, true, true);
}

} // namespace fractals
