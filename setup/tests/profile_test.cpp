#include "profile.h"

#include "setup_test_support.h"

#include <gtest/gtest.h>

namespace setup {
namespace {

std::string get(const Profile& p, const char* key, std::size_t buffer = 1024)
{
    return p.getString("Ovalink", key, "Error", buffer);
}

TEST(Profile, FindsSectionAndKeyWhateverTheirCase)
{
    const auto p = Profile::parse("[oVALINK]\ninstall1=a,b;c,d\n[Other]\nExecute1=x\n");
    EXPECT_EQ(get(p, "Install1"), "a,b;c,d");
    EXPECT_EQ(get(p, "INSTALL1"), "a,b;c,d");
    // A key of another section is not seen.
    EXPECT_EQ(get(p, "Execute1"), "Error");
    EXPECT_EQ(p.getString("other", "EXECUTE1", "Error", 1024), "x");
}

TEST(Profile, MissingSectionKeyOrValueGivesTheDefault)
{
    const auto p = Profile::parse("Install1=before any section\n[Ovalink]\nInstall2\n"
                                  "Install3=\n");
    EXPECT_EQ(get(p, "Install1"), "Error");
    EXPECT_EQ(get(p, "Install2"), "Error"); // no "=" means no value
    EXPECT_EQ(get(p, "Install3"), "");      // an empty value is still a value
    EXPECT_EQ(get(Profile::parse(""), "Install1"), "Error");
}

TEST(Profile, TrimsBlanksAndLineEndsAndSkipsComments)
{
    const auto p = Profile::parse("\xEF\xBB\xBF  [ Ovalink ]  \r\n"
                                  "; Install1=commented out\r\n"
                                  "\tInstall1 \t=  a b  \r\n"
                                  "Execute1=sh -c \"x\"   ; not a comment\r\n");
    EXPECT_EQ(get(p, "Install1"), "a b");
    EXPECT_EQ(get(p, "Execute1"), "sh -c \"x\"   ; not a comment");
}

std::string utf16(std::u16string_view text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t c : text) {
        const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

TEST(Profile, ReadsUtf16FilesWithAByteOrderMark)
{
    // "Ü" and the musical G clef (a surrogate pair) come out as UTF-8; a lone surrogate as U+FFFD.
    const std::u16string text =
        u"[Ovalink]\r\nInstall1=a,\u00DC;c,\U0001D11E\r\nExecute1=x\xD800y\r\n";
    for (const bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian);
        const auto p = Profile::parse(utf16(text, bigEndian));
        EXPECT_EQ(get(p, "Install1"), "a,\xC3\x9C;c,\xF0\x9D\x84\x9E");
        EXPECT_EQ(get(p, "Execute1"), "x\xEF\xBF\xBDy");
    }
    // An odd trailing byte is dropped rather than read past the end.
    EXPECT_EQ(get(Profile::parse(utf16(u"[Ovalink]\nA=b", false) + "\x01"), "A"), "b");
}

TEST(Profile, StripsOneMatchingPairOfQuotes)
{
    const auto p = Profile::parse("[Ovalink]\nA=\"quoted\"\nB='single'\nC=\"mixed'\n"
                                  "D=\"prog\" arg\nE=\"\n");
    EXPECT_EQ(get(p, "A"), "quoted");
    EXPECT_EQ(get(p, "B"), "single");
    EXPECT_EQ(get(p, "C"), "\"mixed'");
    EXPECT_EQ(get(p, "D"), "\"prog\" arg");
    EXPECT_EQ(get(p, "E"), "\"");
}

TEST(Profile, OnlyTheFirstSectionOfANameIsRead)
{
    // The first key of a name wins within a section; a later section of the same name, in any
    // letter case and after other sections, is not read at all.
    const auto p = Profile::parse("[Ovalink]\nInstall1=first\nInstall1=second\n"
                                  "[Other]\nInstall3=other\n"
                                  "[ovalink]\nInstall1=third\nInstall2=later section\n"
                                  "[OVALINK]\nExecute1=also later\n");
    EXPECT_EQ(get(p, "Install1"), "first");
    EXPECT_EQ(get(p, "Install2"), "Error");
    EXPECT_EQ(get(p, "Execute1"), "Error");
    EXPECT_EQ(get(p, "Install3"), "Error");
    EXPECT_EQ(p.getString("Other", "Install3", "(none)", 100), "other");
    // A first section that is empty still hides the later one.
    const auto empty = Profile::parse("[Ovalink]\n[Ovalink]\nInstall1=x\n");
    EXPECT_EQ(get(empty, "Install1"), "Error");
}

TEST(Profile, ValueIsCutToTheBuffer)
{
    const std::string longValue(3000, 'v');
    const auto p = Profile::parse("[Ovalink]\nInstall1=" + longValue + "\n");
    EXPECT_EQ(get(p, "Install1"), std::string(1023, 'v'));
    EXPECT_EQ(get(p, "Install1", 4), "vvv");
    EXPECT_EQ(get(p, "Install1", 1), "");
    EXPECT_EQ(get(p, "Install1", 0), "");
    // The default is cut the same way.
    EXPECT_EQ(get(p, "Missing", 3), "Er");
}

TEST(Profile, ValueEndsAtANulByteAndBrokenHeadersAreSkipped)
{
    using namespace std::string_literals;
    const auto p = Profile::parse("[Ovalink]\nInstall1=abc\0def\n[broken\n"
                                  "Install2=still in Ovalink\n"s);
    EXPECT_EQ(get(p, "Install1"), "abc");
    EXPECT_EQ(get(p, "Install2"), "still in Ovalink");
}

TEST(Profile, LoadReadsAFileAndReportsAMissingOne)
{
    suite::test::TempDir dir("setup-profile");
    test::writeText(dir / "setup.inf", "[Ovalink]\nExecute1=prog\n");
    const auto loaded = Profile::load(dir / "setup.inf");
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(get(*loaded, "Execute1"), "prog");
    EXPECT_FALSE(Profile::load(dir / "absent.inf").has_value());
    EXPECT_FALSE(Profile::load(dir.path()).has_value()); // a directory is not a file
}

} // namespace
} // namespace setup
