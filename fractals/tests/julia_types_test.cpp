// The Julia set and the Julia set with cosines: files, rules and applet parameters.
#include "cosine_rule.h"
#include "file_bytes.h"
#include "file_header.h"
#include "mandel_rule.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

using namespace fractals;
using fractals::test::headerBytes;
using fractals::test::le64;

namespace {

int referenceJulia(double x, double y, double cr, double ci)
{
    for (int k = 0; k < 89; ++k) {
        if (x * x + y * y > 1e9)
            return k;
        const double nx = x * x - y * y + cr;
        y = 2 * x * y + ci;
        x = nx;
    }
    return 89;
}

int referenceCosine(double x, double y, double a)
{
    for (int k = 0; k < 89; ++k) {
        if (y > 650 || y < -650)
            return k;
        const double p = std::pow(2.7182818, y), q = std::pow(2.7182818, -y);
        const double nx = a / 2 * std::cos(x) * (q + p);
        y = a / 2 * std::sin(x) * (q - p);
        x = nx;
    }
    return 89;
}

} // namespace

TEST(JuliaTypes, FileBytesOfBothTypesAreExact)
{
    // A new document of each type: key, empty name and author, the default rectangle and
    // equation in file order (L, T, R, B, then d, b, a, c_re, c_im).
    std::string jls = headerBytes() + "\x08Juliaset" + std::string(2, '\0');
    for (double v : {-1.5, 1.2, 1.5, -1.2, 0.0, 1.0, 0.0, -0.2, 0.75})
        jls += le64(v);
    EXPECT_EQ(CJuliaDoc().saveToBytes(), jls);

    CJuliacosDoc cos;
    cos.SetName("Waves");
    cos.SetAuthor("B");
    std::string cjs = headerBytes() + "\x08Juliacos" + "\x05Waves" + "\x01" + "B";
    for (double v : {-2.0, 2.0, 2.0, -2.0, 0.0, 0.0, 2.98, 0.0, 0.0})
        cjs += le64(v);
    EXPECT_EQ(cos.saveToBytes(), cjs);
}

TEST(JuliaTypes, SaveThenLoadGivesBackEveryDoubleExactly)
{
    const JuliaRect r{-1.0 / 3.0, std::nextafter(2.0, 3.0), 1e-300,
                      -std::numeric_limits<double>::denorm_min()};
    const JuliaEquation e{-0.0, 19.999999999999996, 0.1, -7.25e-17,
                          std::numeric_limits<double>::lowest()};
    CJuliaDoc julia;
    CJuliacosDoc cos;
    for (CJuliaDoc* doc : {static_cast<CJuliaDoc*>(&julia), static_cast<CJuliaDoc*>(&cos)}) {
        doc->setRect(r);
        doc->setEquation(e);
        const std::string bytes = doc->saveToBytes();
        std::unique_ptr<CJuliaDoc> back;
        if (doc == &julia)
            back = std::make_unique<CJuliaDoc>();
        else
            back = std::make_unique<CJuliacosDoc>();
        back->loadFromBytes(bytes);
        EXPECT_EQ(std::memcmp(&back->rect(), &r, sizeof r), 0) << doc->typeKey();
        EXPECT_EQ(std::memcmp(&back->equation(), &e, sizeof e), 0) << doc->typeKey();
        // The defaults stay the constructor's.
        EXPECT_EQ(back->defaultRect(),
                  (doc == &julia ? JuliaRect{-1.5, 1.2, 1.5, -1.2} : JuliaRect{-2, 2, 2, -2}));
    }
}

TEST(JuliaTypes, DefaultsKeysAndFiles)
{
    CJuliacosDoc cos;
    EXPECT_EQ(cos.typeKey(), "Juliacos");
    EXPECT_EQ(cos.typeName(), "Julia Set w/ Cosines");
    EXPECT_EQ(cos.rect(), (JuliaRect{-2, 2, 2, -2}));
    EXPECT_EQ(cos.equation(), (JuliaEquation{0, 0, 2.98, 0, 0}));
    CJuliaDoc julia;
    // Same layout, different key: each type refuses the other's file.
    const std::string cjs = cos.saveToBytes(), jls = julia.saveToBytes();
    EXPECT_EQ(cjs.size(), jls.size());
    EXPECT_THROW(julia.loadFromBytes(cjs), ArchiveException);
    EXPECT_THROW(cos.loadFromBytes(jls), ArchiveException);
    CJuliacosDoc back;
    cos.setEquation({1, 2, -3.5, 4, 5});
    back.loadFromBytes(cos.saveToBytes());
    EXPECT_EQ(back.equation(), (JuliaEquation{1, 2, -3.5, 4, 5}));
    EXPECT_NE(julia.GetHtmlParams().find("<param name=\"c_re\" value=\"-0.200000\">\n"
                                         "    <param name=\"c_im\" value=\"0.750000\">\n"),
              std::string::npos);
    EXPECT_NE(back.GetHtmlParams().find("<param name=\"z3\" value=\"-3.500000\">"),
              std::string::npos);
}

TEST(JuliaTypes, JuliaPixelsMatchTheQuadraticRule)
{
    const CJuliaDoc doc;
    const JuliaRect r = doc.rect();
    for (bool vector : {false, true}) {
        const MandelRule rule(r, doc.equation(), 37, 29, vector, true);
        std::vector<std::uint8_t> col(29);
        int mismatches = 0;
        for (int i = 0; i < 37; ++i) {
            ASSERT_TRUE(rule.computeColumn(i, col.data(), nullptr));
            for (int j = 0; j < 29; ++j)
                mismatches +=
                    col[j] != referenceJulia(r.left + i * ((r.right - r.left) / 37),
                                             r.top - j * ((r.top - r.bottom) / 29), -0.2, 0.75);
        }
        EXPECT_EQ(mismatches, 0) << "vector " << vector;
    }
    EXPECT_EQ(juliaIndex(0, 0, {0, 1, 0, 0, 0}), 89);
    EXPECT_EQ(juliaIndex(2, 0, {0, 1, 0, 1, 0}),
              4); // 2 -> 5 -> 26 -> 677 -> 458330, then |z|² > 1e9
}

TEST(JuliaTypes, CosinePixelsAndItsEdgeCases)
{
    const CJuliacosDoc doc;
    const JuliaRect r = doc.rect();
    const CosineRule rule(r, 2.98, 40, 40);
    std::vector<std::uint8_t> col(40);
    int mismatches = 0;
    for (int i = 0; i < 40; ++i) {
        rule.computeColumn(i, col.data(), nullptr);
        for (int j = 0; j < 40; ++j)
            mismatches += col[j] != referenceCosine(-2 + i * 0.1, 2 - j * 0.1, 2.98);
        EXPECT_EQ(col[20], 89) << "row Y = 0 at column " << i; // 2 - 20·0.1 is exactly 0
    }
    EXPECT_EQ(mismatches, 0);
    // a = 0: every pixel of the picture stays (index 89) unless it starts outside ±650.
    const CosineRule flat(r, 0.0, 23, 17);
    std::vector<std::uint8_t> flatColumn(17);
    for (int i = 0; i < 23; ++i) {
        flat.computeColumn(i, flatColumn.data(), nullptr);
        for (int j = 0; j < 17; ++j)
            ASSERT_EQ(flatColumn[j], 89) << i << "," << j;
    }
    EXPECT_EQ(cosineIndex(1.0, 3.0, 0.0), 89);
    EXPECT_EQ(cosineIndex(1.0, 651.0, 0.0), 0);
    EXPECT_EQ(cosineIndex(1e6, 0.0, 2.98), 89); // the real part is never tested
}
