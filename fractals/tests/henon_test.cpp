#include "file_bytes.h"
#include "file_header.h"
#include "henon_doc.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <set>

using namespace fractals;
using fractals::test::le64;

namespace {

// Independent reading of the map on pairs of complex numbers.
int referenceHenon(double x, double y, double s, double t, double cr, double ci, double dr,
                   double di)
{
    for (int k = 0; k < 89; ++k) {
        if (x * x + y * y + s * s + t * t > 1e9)
            return k;
        const double wr = x * x - y * y + cr + (dr * s - di * t);
        const double wi = 2 * x * y + ci + (di * s + dr * t);
        const double zr = dr * x - di * y, zi = di * x + dr * y;
        x = wr;
        y = wi;
        s = zr;
        t = zi;
    }
    return 89;
}

} // namespace

TEST(HenonText, ParsingFollowsTheBracketAndCommaRules)
{
    EXPECT_EQ(FourVector::parse("(1,2,3,4)"), (FourVector{1, 2, 3, 4}));
    EXPECT_EQ(FourVector::parse("junk ( 1.5 , -2e1,3 ,4) tail"), (FourVector{1.5, -20, 3, 4}));
    EXPECT_FALSE(FourVector::parse("(1,2,3)"));   // two commas
    EXPECT_FALSE(FourVector::parse("1,2,3,4"));   // no brackets
    EXPECT_FALSE(FourVector::parse("(1,2,3,4"));  // no closing bracket
    EXPECT_FALSE(FourVector::parse(")1,2,3,4(")); // brackets the wrong way round
    EXPECT_EQ(FourVector::parse("(1,2,3,4,5)"),
              (FourVector{1, 2, 3, 4})); // the rest is read for its number
    EXPECT_EQ(FourVector::parse("(a,b,c,d)"), (FourVector{0, 0, 0, 0}));

    EXPECT_EQ(Complex::parse("(-0.2, 0.75)"), (Complex{-0.2, 0.75}));
    EXPECT_EQ(Complex::parse("(one,two)"), (Complex{0, 0}));
    EXPECT_EQ(Complex::parse("(1,2,3)"), (Complex{1, 2}));
    EXPECT_FALSE(Complex::parse("(1 2)"));
    EXPECT_FALSE(Complex::parse("1,2"));
    EXPECT_EQ(leadingNumber("  +3.5abc"), 3.5);
    EXPECT_EQ(leadingNumber("-"), 0);
    // The standard conversion's other forms: hexadecimal, and overflow to infinity.
    EXPECT_EQ(leadingNumber(" 0x1Ap1,"), 52);
    EXPECT_EQ(leadingNumber("1e400"), HUGE_VAL);
    EXPECT_EQ(leadingNumber("-1e400"), -HUGE_VAL);
    EXPECT_EQ(FourVector::parse("(0x10, 2.5e-1, 1e400, 7 apples)"),
              (FourVector{16, 0.25, HUGE_VAL, 7}));

    EXPECT_EQ((Complex{-0.2, 0.75}).text(), "(-0.200000,0.750000)");
    EXPECT_EQ((FourVector{-1.5, 1.2, 0, 0}).text(), "(-1.500000,1.200000,0.000000,0.000000)");
    EXPECT_EQ(FourVector::parse((FourVector{0.25, -8, 1e-3, 7}).text()),
              (FourVector{0.25, -8, 1e-3, 7}));
}

TEST(HenonDoc, FileBytesAndRoundTrip)
{
    CHenonDoc doc;
    EXPECT_EQ(doc.typeKey(), "Henon");
    EXPECT_EQ(doc.position(), (FourVector{-1.5, 1.2, 0, 0}));
    Archive header = Archive::forWriting();
    ReadWriteFileHeader(header);
    std::string expected = header.bytes() + "\x05Henon" + std::string(2, '\0');
    for (double v :
         {-0.2, 0.75, 0.0, 0.0, -1.5, 1.2, 0.0, 0.0, 3.0, 0.0, 0.0, 0.0, 0.0, -2.4, 0.0, 0.0})
        expected += le64(v);
    EXPECT_EQ(doc.saveToBytes(), expected);

    doc.setEquation({1.0 / 3, -0.0}, {std::nextafter(0.5, 1.0), 1e-300});
    ASSERT_TRUE(doc.setCoordinates({1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12.125}));
    EXPECT_FALSE(doc.IsModified()); // the slice and equation alone do not mark it
    const std::string bytes = doc.saveToBytes();
    CHenonDoc back;
    back.loadFromBytes(bytes);
    EXPECT_EQ(back.saveToBytes(), bytes);
    EXPECT_EQ(std::signbit(back.c().im), true);
    EXPECT_EQ(back.vertical().t, 12.125);
    EXPECT_EQ(back.defaultPosition(), (FourVector{-1.5, 1.2, 0, 0}));
    EXPECT_EQ(back.GetHtmlParams(), "    <param name=\"start\" value=\"true\">\n"
                                    "    <param name=\"changes\" value=\"true\">\n");
}

TEST(HenonDoc, CoordinateSetterRefusesShortVectors)
{
    CHenonDoc doc;
    EXPECT_FALSE(doc.setCoordinates({9, 9, 9, 9}, {0, 0, 0, 0}, {0, 1, 0, 0}));
    EXPECT_FALSE(doc.setCoordinates({9, 9, 9, 9}, {1, 0, 0, 0}, {0, 0, 0, 5e-13}));
    EXPECT_EQ(doc.position(), (FourVector{-1.5, 1.2, 0, 0}));
    // A click without movement gives zero spanning vectors.
    const HenonSlice click = henonZoom(doc, 200, 100, 50, 50, 50, 50);
    EXPECT_FALSE(doc.setCoordinates(click.position, click.horizontal, click.vertical));
    const HenonSlice drag = henonZoom(doc, 200, 100, 50, 25, 150, 75);
    EXPECT_EQ(drag.position, (FourVector{-1.5 + 0.75, 1.2 - 0.6, 0, 0}));
    EXPECT_EQ(drag.horizontal, (FourVector{1.5, 0, 0, 0}));
    EXPECT_EQ(drag.vertical, (FourVector{0, -1.2, 0, 0}));
}

TEST(HenonRule, PixelsMatchAnIndependentIteration)
{
    CHenonDoc doc;
    doc.setEquation({-0.3, 0.6}, {0.2, -0.1});
    ASSERT_TRUE(doc.setCoordinates({-1.5, 1.2, 0.1, -0.2}, {3, 0, 0.2, 0}, {0, -2.4, 0, 0.3}));
    const HenonRule rule(doc, 30, 20);
    std::vector<std::uint8_t> col(20);
    int mismatches = 0, distinct = 0;
    for (int i = 0; i < 30; ++i) {
        rule.computeColumn(i, col.data(), nullptr);
        for (int j = 0; j < 20; ++j) {
            const double x = -1.5 + i * (3.0 / 30) + j * (0.0 / 20);
            const double y = 1.2 + i * (0.0 / 30) + j * (-2.4 / 20);
            const double s = 0.1 + i * (0.2 / 30) + j * (0.0 / 20);
            const double t = -0.2 + i * (0.0 / 30) + j * (0.3 / 20);
            mismatches += col[j] != referenceHenon(x, y, s, t, -0.3, 0.6, 0.2, -0.1);
            distinct += col[j] != col[0];
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(distinct, 0);
}

TEST(HenonRule, ZPlaneSliceWithZeroDIsOneColour)
{
    CHenonDoc doc; // D = 0
    ASSERT_TRUE(doc.setCoordinates({0, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, -1}));
    const HenonRule rule(doc, 16, 12);
    std::vector<std::uint8_t> col(12);
    std::set<int> colours;
    for (int i = 0; i < 16; ++i) {
        rule.computeColumn(i, col.data(), nullptr);
        colours.insert(col.begin(), col.end());
    }
    EXPECT_EQ(colours.size(), 1u);
}
