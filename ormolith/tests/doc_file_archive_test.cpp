// The document file's line syntax, written and read through DocFileArchive.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "doc_file_archive.h"

using namespace ormolith;

namespace {

const char* const kOffOn[] = {"Off", "On"};
const char* const kKinds[] = {"Map", "Rotate", "Translate", "Scale", "Matrix", "Scale+Rotate"};

// A tiny describer with every line shape: a value, a group without value, a group carrying a
// choice, nesting and a text pointer.
struct Values {
    double real = 0;
    std::int32_t integer = 0;
    std::int32_t choice = 0;
    std::int32_t kind = 0;
    double inner = 0;
    std::string text;

    void describe(ParamArchive& ar)
    {
        describeParam(ar, "Real", &real, kKindReal);
        describeGroup(ar, "Maps", [&] {
            describeParam(ar, "Number of maps", &integer, kKindInt);
            describeGroup(
                ar, "Submap", [&] { describeParam(ar, "Angle", &inner, kKindReal); }, &kind, 6,
                kKinds);
        });
        describeParam(ar, "Shadows", &choice, 2, kOffOn);
        const char* p = ar.isWriting() ? text.c_str() : nullptr;
        if (describeParam(ar, "variable0", &p, kKindTextPtr) && !ar.isWriting())
            text = p;
    }
};

std::string write(Values& v)
{
    std::ostringstream out;
    DocFileArchive ar(out);
    v.describe(ar);
    return out.str();
}

Values read(const std::string& text, int* unmatched = nullptr)
{
    Values v;
    v.real = -1;
    v.integer = -1;
    v.inner = -1;
    std::istringstream in(text);
    DocFileArchive ar(in);
    v.describe(ar);
    if (unmatched)
        *unmatched = ar.unmatchedLines();
    return v;
}

const char* const kWritten = "<var name=\"Real\" value=\"0.123457\"/>\n"
                             "<folder name=\"Maps\">\n"
                             "\t<var name=\"Number of maps\" value=\"3\"/>\n"
                             "\t<folder name=\"Submap\" value=\"Matrix\">\n"
                             "\t\t<var name=\"Angle\" value=\"-45\"/>\n"
                             "\t</folder>\n"
                             "</folder>\n"
                             "<var name=\"Shadows\" value=\"On\"/>\n"
                             "<var name=\"variable0\" value=\"say \"hi\"/>\n";

} // namespace

TEST(DocFileArchive, WritesOneLinePerNodeAndClosingLines)
{
    Values v;
    v.real = 0.1234567;
    v.integer = 3;
    v.kind = 4;
    v.inner = -45;
    v.choice = 1;
    v.text = "say \"hi";
    EXPECT_EQ(write(v), kWritten);

    std::ostringstream out;
    DocFileArchive ar(out);
    ar.beginDocument();
    ar.endDocument();
    EXPECT_EQ(out.str(), "<?xml version=\"1.0\"?>\n<document>\n</document>\n");
}

TEST(DocFileArchive, ReadsBackWhatItWrote)
{
    int unmatched = -1;
    const Values v = read(kWritten, &unmatched);
    EXPECT_EQ(v.real, 0.123457); // six significant digits survive, no more
    EXPECT_EQ(v.integer, 3);
    EXPECT_EQ(v.kind, 4);
    EXPECT_EQ(v.inner, -45);
    EXPECT_EQ(v.choice, 1);
    EXPECT_EQ(v.text, "say \"hi"); // the inner quote survives unescaped
    EXPECT_EQ(unmatched, 0);       // "Maps" without a value is its expected form
}

TEST(DocFileArchive, IndentationAndBlankLines)
{
    // Spaces, tabs or nothing before a node line; blank lines before it; CR line ends; blanks
    // after the line's ending.
    const std::string text = "\n\n   <var name=\"Real\" value=\"2.5\"/>   \r\n"
                             "<folder name=\"Maps\">\r\n"
                             "<var name=\"Number of maps\" value=\"7\"/>\n"
                             "  \t <folder  name=\"Submap\" value=\"Rotate\">\n"
                             "<var name=\"Angle\"   value=\"9\"/>\n"
                             "whatever stands here closes Submap\n"
                             "</folder>\n"
                             "\n\n<var name=\"Shadows\" value=\"On\"/>\n";
    int unmatched = -1;
    const Values v = read(text, &unmatched);
    EXPECT_EQ(v.real, 2.5);
    EXPECT_EQ(v.integer, 7);
    EXPECT_EQ(v.kind, 1);
    EXPECT_EQ(v.inner, 9);
    EXPECT_EQ(v.choice, 1);
    EXPECT_EQ(unmatched, 1); // only the missing variable0 at the end of the text
}

TEST(DocFileArchive, BlankLineWhereAClosingLineIsExpectedIsThatLine)
{
    // The blank line closes Submap; "</folder>" (Submap's) then closes Maps, and Maps' own
    // closing line is taken as the Shadows node, which fails and stays Off.
    const std::string text = "<var name=\"Real\" value=\"1\"/>\n"
                             "<folder name=\"Maps\">\n"
                             "\t<var name=\"Number of maps\" value=\"3\"/>\n"
                             "\t<folder name=\"Submap\" value=\"Scale\">\n"
                             "\t\t<var name=\"Angle\" value=\"5\"/>\n"
                             "\n"
                             "\t</folder>\n"
                             "</folder>\n"
                             "<var name=\"Shadows\" value=\"On\"/>\n";
    int unmatched = -1;
    const Values v = read(text, &unmatched);
    EXPECT_EQ(v.inner, 5);
    EXPECT_EQ(v.choice, 0);
    EXPECT_EQ(unmatched, 2); // Shadows read "</folder>", variable0 read "Shadows"
}

TEST(DocFileArchive, MismatchedLinesAreConsumedAndChangeNothing)
{
    int unmatched = 0;
    // Wrong name, wrong tag, missing value, missing ending, an unknown choice name.
    const std::string text = "<var name=\"Rea\" value=\"1\"/>\n"              // name differs
                             "<var name=\"Maps\">\n"                          // var for a group
                             "\t<var name=\"Number of maps\"/>\n"             // no value
                             "\t<folder name=\"Submap\" value=\"Nothing\">\n" // unknown: index 0
                             "\t\t<var name=\"Angle\" value=\"5\">\n"         // group ending
                             "\t</folder>\n"
                             "</folder>\n"
                             "<var name=\"Shadows\" value=\"On\"/\n" // broken ending
                             "<var name=\"variable0\" value=\"/>\n"; // quote overlaps
    Values v = read(text, &unmatched);
    EXPECT_EQ(v.real, -1);
    EXPECT_EQ(v.integer, -1);
    EXPECT_EQ(v.kind, 0);
    EXPECT_EQ(v.inner, -1);
    EXPECT_EQ(v.choice, 0);
    EXPECT_EQ(v.text, "");
    EXPECT_EQ(unmatched, 6);

    // A name must match exactly, trailing blanks included.
    std::istringstream in(
        "<var name=\"Red \" value=\"0.5\"/>\n<var name=\"Red\" value=\"0.5\"/>\n");
    DocFileArchive ar(in);
    double red = 1;
    EXPECT_FALSE(describeParam(ar, "Red", &red, kKindReal));
    EXPECT_EQ(red, 1);
    EXPECT_FALSE(describeParam(ar, "Red ", &red, kKindReal)); // the lines are now shifted
    EXPECT_EQ(red, 1);
}

TEST(DocFileArchive, OverlongLinesAndEndOfFile)
{
    // A line beyond the reader's limit is consumed whole and fails; the next line still reads.
    const std::string longValue(400, '7');
    std::istringstream in("<var name=\"A\" value=\"" + longValue +
                          "\"/>\n<var name=\"B\" value=\"2\"/>\n");
    DocFileArchive ar(in);
    std::int32_t a = 1, b = 1;
    EXPECT_FALSE(describeParam(ar, "A", &a, kKindInt));
    EXPECT_EQ(a, 1);
    EXPECT_TRUE(describeParam(ar, "B", &b, kKindInt));
    EXPECT_EQ(b, 2);
    EXPECT_FALSE(describeParam(ar, "C", &b, kKindInt)); // end of file
    ar.closeGroup();                                    // reading past the end is harmless
    ar.endDocument();
    EXPECT_EQ(b, 2);
}
