#include "mandel_rule.h"

#include <gtest/gtest.h>
#include <random>

using namespace fractals;

namespace {

// Written independently of the program: complex numbers as pairs, the rule read literally.
int referenceIndex(double x, double y, double a, double b, double d)
{
    double zr = x, zi = y;
    for (int k = 0; k < 89; ++k) {
        if (zr * zr + zi * zi > 1e9)
            return k;
        const double sqr = zr * zr - zi * zi, sqi = 2 * zr * zi;
        const double cur = zr * zr * zr - 3 * zr * zi * zi, cui = 3 * zr * zr * zi - zi * zi * zi;
        const double nr = a * cur + b * sqr + d * zr + x;
        const double ni = a * cui + b * sqi + d * zi + y;
        zr = nr;
        zi = ni;
    }
    return 89;
}

std::vector<std::uint8_t> column(const MandelRule& rule, int i)
{
    std::vector<std::uint8_t> out(static_cast<std::size_t>(rule.height()));
    EXPECT_TRUE(rule.computeColumn(i, out.data(), nullptr));
    return out;
}

} // namespace

TEST(MandelRule, KnownPoints)
{
    const JuliaEquation classic{0, 1, 0, 0, 0};
    EXPECT_EQ(mandelIndex(0, 0, classic), 89);
    EXPECT_EQ(mandelIndex(-1, 0, classic), 89);
    // 2 -> 6 -> 38 -> 1446 -> 2090918 (|z|² > 1e9 after four steps)
    EXPECT_EQ(mandelIndex(2, 0, classic), 4);
    EXPECT_EQ(mandelIndex(1e5, 0, classic), 0);
    // Not a number never compares greater: it runs the full 89 steps.
    EXPECT_EQ(mandelIndex(std::nan(""), 0, classic), 89);
}

TEST(MandelRule, ColumnsMatchTheReferenceForSeveralEquations)
{
    const JuliaRect rect{-2.1, 1.2, 0.7, -1.2};
    const JuliaEquation equations[] = {
        {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}, {0.3, -0.7, 0.4, 9, 9}, {-1, 1, 0.5, 0, 0}};
    for (const auto& eq : equations) {
        for (bool vector : {false, true}) {
            const MandelRule rule(rect, eq, 61, 47, vector);
            for (int i = 0; i < 61; ++i) {
                const auto col = column(rule, i);
                const double x = rect.left + i * ((rect.right - rect.left) / 61);
                for (int j = 0; j < 47; ++j) {
                    const double y = rect.top - j * ((rect.top - rect.bottom) / 47);
                    ASSERT_EQ(col[j], referenceIndex(x, y, eq.a, eq.b, eq.d))
                        << "a=" << eq.a << " b=" << eq.b << " d=" << eq.d << " vector=" << vector
                        << " at " << i << "," << j;
                }
            }
        }
    }
}

TEST(MandelRule, VectorAndScalarPathsAgreeOnRandomViews)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> coord(-2.5, 2.5), coef(-2, 2);
    for (int run = 0; run < 20; ++run) {
        const double l = coord(rng), t = coord(rng);
        const JuliaRect rect{l, t, l + 0.5, t - 0.4};
        const JuliaEquation eq = run % 2 ? JuliaEquation{0, 1, 0, 0, 0}
                                         : JuliaEquation{coef(rng), coef(rng), coef(rng), 0, 0};
        const MandelRule scalar(rect, eq, 9, 33, false), vec(rect, eq, 9, 33, true);
        for (int i = 0; i < 9; ++i)
            ASSERT_EQ(column(scalar, i), column(vec, i)) << "run " << run << " column " << i;
    }
}

TEST(MandelRule, CubicSetIsSymmetricAboutTheRealAxis)
{
    // Rows j and H - j lie at y and -y when the rectangle is symmetric and H is even.
    const JuliaRect rect{-1.5, 1.5, 1.5, -1.5};
    const MandelRule rule(rect, {0, 0, 1, 0, 0}, 40, 40);
    int differing = 0;
    for (int i = 0; i < 40; ++i) {
        const auto col = column(rule, i);
        for (int j = 1; j < 20; ++j)
            differing += col[j] != col[40 - j];
    }
    EXPECT_EQ(differing, 0);
}

TEST(MandelRule, StoppedGateAbandonsTheColumn)
{
    RunGate gate; // never started: the flag is down
    const MandelRule rule({-2.1, 1.2, 0.7, -1.2}, {0, 1, 0, 0, 0}, 10, 10);
    std::vector<std::uint8_t> out(10);
    EXPECT_FALSE(rule.computeColumn(0, out.data(), &gate));
}
