#include "file_bytes.h"
#include "file_header.h"
#include "julia_doc.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

using namespace fractals;
using fractals::test::headerBytes;
using fractals::test::le64;

namespace {

ArchiveException::Cause loadCause(CFractalDoc& doc, const std::string& bytes)
{
    try {
        doc.loadFromBytes(bytes);
    } catch (const ArchiveException& e) {
        return e.cause();
    }
    return ArchiveException::none;
}

// A type that, like the IFS and L-System documents, writes its own texts after the header.
class KeylessDoc : public CFractalDoc {
public:
    KeylessDoc() { m_strTypeKey.clear(); }

private:
    std::unique_ptr<CFractalDoc> cloneEmpty() const override
    {
        return std::make_unique<KeylessDoc>();
    }
};

} // namespace

TEST(JuliaDoc, NewDocumentsHoldTheirTypesDefaults)
{
    CMandelDoc m;
    EXPECT_EQ(m.typeKey(), "Mandel");
    EXPECT_EQ(m.typeName(), "Mandelbrot Set");
    EXPECT_EQ(m.rect(), (JuliaRect{-2.1, 1.2, 0.7, -1.2}));
    EXPECT_EQ(m.equation(), (JuliaEquation{0, 1, 0, 0, 0}));
    EXPECT_TRUE(m.name().empty());
    EXPECT_FALSE(m.IsModified());
    CJuliaDoc j;
    EXPECT_EQ(j.typeKey(), "Juliaset");
    EXPECT_EQ(j.rect(), (JuliaRect{-1.5, 1.2, 1.5, -1.2}));
    EXPECT_EQ(j.equation(), (JuliaEquation{0, 1, 0, -0.2, 0.75}));
}

TEST(JuliaDoc, MandelbrotFileBytesAreExact)
{
    CMandelDoc doc;
    doc.SetName("Seahorse");
    doc.SetAuthor("Ann");
    doc.setRect({-0.8, 0.2, -0.7, 0.1});
    doc.setEquation({0.5, 1, 0.25, 3, 4});
    const std::string expected = headerBytes() + "\x06Mandel" + "\x08Seahorse" +
                                 "\x03"
                                 "Ann" +
                                 le64(-0.8) + le64(0.2) + le64(-0.7) + le64(0.1) + le64(0.5) +
                                 le64(1) + le64(0.25) + le64(3) + le64(4);
    EXPECT_EQ(doc.saveToBytes(), expected);
}

TEST(JuliaDoc, SaveThenLoadGivesBackEveryDoubleExactly)
{
    CMandelDoc doc;
    const JuliaRect r{-1.0 / 3.0, std::nextafter(1.0, 2.0), 1e-300,
                      -std::numeric_limits<double>::denorm_min()};
    const JuliaEquation e{0.1, -0.0, 19.999999999999996, std::numeric_limits<double>::max(),
                          -7.25e-17};
    doc.setRect(r);
    doc.setEquation(e);
    doc.SetName("Name \xC3\xA9");
    const std::string bytes = doc.saveToBytes();

    CMandelDoc back;
    back.loadFromBytes(bytes);
    EXPECT_EQ(std::memcmp(&back.rect(), &r, sizeof r), 0);
    EXPECT_EQ(std::memcmp(&back.equation(), &e, sizeof e), 0);
    EXPECT_EQ(back.name(), "Name \xC3\xA9");
    EXPECT_FALSE(back.IsModified());
    // Loading leaves the defaults as they were.
    EXPECT_EQ(back.defaultRect(), (JuliaRect{-2.1, 1.2, 0.7, -1.2}));
    EXPECT_EQ(back.saveToBytes(), bytes);
}

TEST(JuliaDoc, FilesOfAnotherTypeOrVersionAreRefusedAndChangeNothing)
{
    CMandelDoc mandel;
    const std::string mnd = mandel.saveToBytes();

    CJuliaDoc julia; // an .mnd file renamed to .jls
    julia.SetName("kept");
    EXPECT_EQ(loadCause(julia, mnd), ArchiveException::badIndex);
    EXPECT_EQ(julia.name(), "kept");
    EXPECT_EQ(julia.rect(), (JuliaRect{-1.5, 1.2, 1.5, -1.2}));

    const std::size_t versionAt = 1 + 8 + 4;
    for (int version : {8, 3, -1}) {
        std::string bytes = mnd;
        bytes[versionAt] = static_cast<char>(version);
        if (version < 0)
            bytes.replace(versionAt, 4, "\xFF\xFF\xFF\xFF");
        CMandelDoc doc;
        EXPECT_EQ(loadCause(doc, bytes), ArchiveException::badSchema) << version;
    }
    for (int version : {4, 5, 6}) {
        std::string bytes = mnd;
        bytes[versionAt] = static_cast<char>(version);
        CMandelDoc doc;
        EXPECT_EQ(loadCause(doc, bytes), ArchiveException::none) << version;
    }
    CMandelDoc shortDoc;
    EXPECT_EQ(loadCause(shortDoc, mnd.substr(0, mnd.size() - 1)), ArchiveException::endOfFile);
}

TEST(JuliaDoc, EmptyTypeKeyWritesTheHeaderOnly)
{
    KeylessDoc doc;
    doc.SetName("not written");
    EXPECT_EQ(doc.saveToBytes(), headerBytes());
}

TEST(JuliaDoc, SettersMarkModifiedOnlyOnChange)
{
    CMandelDoc doc;
    doc.SetName("");
    doc.SetAuthor("");
    EXPECT_FALSE(doc.IsModified());
    doc.SetName("a");
    EXPECT_TRUE(doc.IsModified());
    doc.SetModifiedFlag(false);
    doc.SetName("a");
    EXPECT_FALSE(doc.IsModified());
    doc.SetAuthor("A");
    EXPECT_TRUE(doc.IsModified());
    doc.SetModifiedFlag(false);
    doc.SetAuthor("a"); // case matters
    EXPECT_TRUE(doc.IsModified());
}

TEST(JuliaDoc, ResetsRestoreTheirOwnPartOnly)
{
    CMandelDoc doc;
    doc.setRect({-1, 1, 0, 0});
    doc.setEquation({1, 2, 3, 4, 5});
    doc.SetModifiedFlag(false);
    doc.ResetZoom();
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.rect(), doc.defaultRect());
    EXPECT_EQ(doc.equation(), (JuliaEquation{1, 2, 3, 4, 5}));
    doc.ResetEquation();
    EXPECT_EQ(doc.equation(), (JuliaEquation{0, 1, 0, 0, 0}));
}

TEST(JuliaDoc, HtmlParametersHaveSixDecimals)
{
    CMandelDoc doc;
    EXPECT_EQ(doc.GetHtmlParams(), "    <param name=\"start\" value=\"true\">\n"
                                   "    <param name=\"changes\" value=\"true\">\n"
                                   "    <param name=\"left\" value=\"-2.100000\">\n"
                                   "    <param name=\"right\" value=\"0.700000\">\n"
                                   "    <param name=\"top\" value=\"1.200000\">\n"
                                   "    <param name=\"bottom\" value=\"-1.200000\">\n"
                                   "    <param name=\"z1\" value=\"0.000000\">\n"
                                   "    <param name=\"z2\" value=\"1.000000\">\n"
                                   "    <param name=\"z3\" value=\"0.000000\">\n"
                                   "    <param name=\"c_re\" value=\"0.000000\">\n"
                                   "    <param name=\"c_im\" value=\"0.000000\">\n");
}

TEST(JuliaDoc, RectangleCheck)
{
    EXPECT_TRUE(isValidJuliaRect({-2.1, 1.2, 0.7, -1.2}));
    EXPECT_FALSE(isValidJuliaRect({1, 1, 1, -1}));     // left = right
    EXPECT_FALSE(isValidJuliaRect({0, 1, 1e-13, -1})); // too narrow
    EXPECT_FALSE(isValidJuliaRect({1, 1, 0, -1}));     // reversed
    EXPECT_FALSE(isValidJuliaRect({0, -1, 1, 1}));     // top below bottom
    EXPECT_TRUE(isValidJuliaRect({0, 1e-11, 1e-11, 0}));
}
