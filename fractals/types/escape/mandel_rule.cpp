#include "mandel_rule.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define FRACTALS_HAVE_X86 1
#endif

namespace fractals {

namespace {

// The quadratic defaults (a = 0, b = 1, d = 0) drop the zero terms. The result is the same
// number: the dropped products are exact zeros (z stays below 31623 in size while it is being
// iterated, so z³ is finite) and adding a zero changes nothing but the sign of a zero.
bool isQuadratic(const JuliaEquation& eq)
{
    return eq.a == 0.0 && eq.b == 1.0 && eq.d == 0.0;
}

int quadraticIndex(double x, double y, double cRe, double cIm)
{
    double X = x, Y = y;
    int k = 0;
    while (k < kMaxIterations) {
        if (X * X + Y * Y > kEscapeRadius2)
            break;
        const double nX = (X * X - Y * Y) + cRe;
        const double nY = (2 * X) * Y + cIm;
        X = nX;
        Y = nY;
        ++k;
    }
    return k;
}

#ifdef FRACTALS_HAVE_X86
// Rows of one column, four to a vector and two vectors at a time (two independent chains keep
// the multiplier busy while the other waits for its result). Every operation is the scalar one
// in the same order and without fused multiply-add, so each lane rounds exactly as
// mandelIndex does.
struct Lanes {
    __m256d X, Y, cx, cy, active, count;
};

__attribute__((target("avx2"), always_inline)) inline bool
stepLanes(Lanes& l, const JuliaEquation& eq, bool quadratic)
{
    const __m256d cx = l.cx;
    const __m256d limit = _mm256_set1_pd(kEscapeRadius2);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d two = _mm256_set1_pd(2.0);
    const __m256d XX = _mm256_mul_pd(l.X, l.X);
    const __m256d YY = _mm256_mul_pd(l.Y, l.Y);
    // "not greater" keeps a NaN lane iterating, as the scalar comparison does.
    l.active = _mm256_and_pd(l.active, _mm256_cmp_pd(_mm256_add_pd(XX, YY), limit, _CMP_NGT_UQ));
    l.count = _mm256_add_pd(l.count, _mm256_and_pd(l.active, one));
    const __m256d X2 = _mm256_sub_pd(XX, YY);
    const __m256d Y2 = _mm256_mul_pd(_mm256_mul_pd(two, l.X), l.Y);
    if (quadratic) {
        l.X = _mm256_add_pd(X2, cx);
        l.Y = _mm256_add_pd(Y2, l.cy);
    } else {
        const __m256d three = _mm256_set1_pd(3.0);
        const __m256d a = _mm256_set1_pd(eq.a);
        const __m256d b = _mm256_set1_pd(eq.b);
        const __m256d d = _mm256_set1_pd(eq.d);
        const __m256d X3 =
            _mm256_sub_pd(_mm256_mul_pd(XX, l.X),
                          _mm256_mul_pd(_mm256_mul_pd(_mm256_mul_pd(three, l.X), l.Y), l.Y));
        const __m256d Y3 =
            _mm256_sub_pd(_mm256_mul_pd(_mm256_mul_pd(_mm256_mul_pd(three, l.X), l.X), l.Y),
                          _mm256_mul_pd(YY, l.Y));
        const __m256d nX =
            _mm256_add_pd(_mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(a, X3), _mm256_mul_pd(b, X2)),
                                        _mm256_mul_pd(d, l.X)),
                          cx);
        const __m256d nY =
            _mm256_add_pd(_mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(a, Y3), _mm256_mul_pd(b, Y2)),
                                        _mm256_mul_pd(d, l.Y)),
                          l.cy);
        l.X = nX;
        l.Y = nY;
    }
    return _mm256_movemask_pd(l.active) != 0;
}

__attribute__((target("avx2"))) void storeCounts(const Lanes& l, std::uint8_t* out)
{
    alignas(32) double counts[4];
    _mm256_store_pd(counts, l.count);
    for (int k = 0; k < 4; ++k)
        out[k] = static_cast<std::uint8_t>(counts[k]);
}

// The Mandelbrot set adds the pixel itself; the Julia set adds the fixed constant c.
__attribute__((target("avx2"))) Lanes startLanes(double x, const double* ys, const double* c)
{
    Lanes l;
    l.X = _mm256_set1_pd(x);
    l.Y = _mm256_loadu_pd(ys);
    l.cx = c ? _mm256_set1_pd(c[0]) : l.X;
    l.cy = c ? _mm256_set1_pd(c[1]) : l.Y;
    l.active = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    l.count = _mm256_setzero_pd();
    return l;
}

// Eight rows starting at ys[0]; lanes that have escaped stop counting, and the loop ends when
// all eight have escaped or 89 steps are done.
__attribute__((target("avx2"))) void eightPixels(double x, const double* ys, const double* c,
                                                 const JuliaEquation& eq, bool quadratic,
                                                 std::uint8_t* out)
{
    Lanes a = startLanes(x, ys, c);
    Lanes b = startLanes(x, ys + 4, c);
    for (int step = 0; step < kMaxIterations; ++step) {
        const bool liveA = stepLanes(a, eq, quadratic);
        const bool liveB = stepLanes(b, eq, quadratic);
        if (!liveA && !liveB)
            break;
    }
    storeCounts(a, out);
    storeCounts(b, out + 4);
}

__attribute__((target("avx2"))) void fourPixels(double x, const double* ys, const double* c,
                                                const JuliaEquation& eq, bool quadratic,
                                                std::uint8_t* out)
{
    Lanes a = startLanes(x, ys, c);
    for (int step = 0; step < kMaxIterations; ++step)
        if (!stepLanes(a, eq, quadratic))
            break;
    storeCounts(a, out);
}
#endif

} // namespace

int mandelIndex(double x, double y, const JuliaEquation& eq)
{
    return polynomialIndex(x, y, x, y, eq);
}

int juliaIndex(double x, double y, const JuliaEquation& eq)
{
    return polynomialIndex(x, y, eq.cRe, eq.cIm, eq);
}

int polynomialIndex(double x, double y, double cRe, double cIm, const JuliaEquation& eq)
{
    double X = x, Y = y;
    int k = 0;
    while (k < kMaxIterations) {
        if (X * X + Y * Y > kEscapeRadius2)
            break;
        // z² and z³ written out in real and imaginary parts.
        const double X2 = X * X - Y * Y;
        const double Y2 = (2 * X) * Y;
        const double X3 = X * X * X - 3 * X * Y * Y;
        const double Y3 = 3 * X * X * Y - Y * Y * Y;
        const double nX = eq.a * X3 + eq.b * X2 + eq.d * X + cRe;
        const double nY = eq.a * Y3 + eq.b * Y2 + eq.d * Y + cIm;
        X = nX;
        Y = nY;
        ++k;
    }
    return k;
}

bool mandelVectorAvailable()
{
#ifdef FRACTALS_HAVE_X86
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

MandelRule::MandelRule(const JuliaRect& rect, const JuliaEquation& eq, int width, int height,
                       bool useVector, bool julia)
    : EscapeRule(width, height), rect_(rect), eq_(eq), julia_(julia),
      stepX_(width > 0 ? (rect.right - rect.left) / width : 0.0),
      stepY_(height > 0 ? (rect.top - rect.bottom) / height : 0.0),
      vector_(useVector && mandelVectorAvailable())
{
}

bool MandelRule::computeRows(int i, std::uint8_t* out, RunGate* gate, int& rowsDone) const
{
    const double x = columnX(i);
    const bool quadratic = isQuadratic(eq_);
    const double constant[2] = {eq_.cRe, eq_.cIm};
    const double* c = julia_ ? constant : nullptr;
    const int h = height();
    int j = 0;
#ifdef FRACTALS_HAVE_X86
    if (vector_) {
        for (; j + 8 <= h; j += 8) {
            const double ys[8] = {rowY(j),     rowY(j + 1), rowY(j + 2), rowY(j + 3),
                                  rowY(j + 4), rowY(j + 5), rowY(j + 6), rowY(j + 7)};
            eightPixels(x, ys, c, eq_, quadratic, out + j);
            rowsDone = j + 8;
            if (gate && !gate->poll())
                return false;
        }
        for (; j + 4 <= h; j += 4) {
            const double ys[4] = {rowY(j), rowY(j + 1), rowY(j + 2), rowY(j + 3)};
            fourPixels(x, ys, c, eq_, quadratic, out + j);
            rowsDone = j + 4;
            if (gate && !gate->poll())
                return false;
        }
    }
#endif
    for (; j < h; ++j) {
        const double y = rowY(j);
        const double cRe = c ? c[0] : x, cIm = c ? c[1] : y;
        out[j] = static_cast<std::uint8_t>(quadratic ? quadraticIndex(x, y, cRe, cIm)
                                                     : polynomialIndex(x, y, cRe, cIm, eq_));
        rowsDone = j + 1;
        if (gate && !gate->poll())
            return false;
    }
    return true;
}

} // namespace fractals
