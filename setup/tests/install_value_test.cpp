#include "install_value.h"

#include <gtest/gtest.h>

namespace setup {
namespace {

TEST(SplitInstallValue, SplitsAtTheFirstSemicolonThenEachPartAtItsFirstComma)
{
    const auto line = splitInstallValue("src,dir,file;dst;x,name,y");
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->sourceDir, "src");
    EXPECT_EQ(line->sourceFile, "dir,file");
    EXPECT_EQ(line->destDir, "dst;x");
    EXPECT_EQ(line->destFile, "name,y");
}

TEST(SplitInstallValue, KeepsEmptyPartsAsTheyAre)
{
    const auto line = splitInstallValue(",;,");
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->sourceDir, "");
    EXPECT_EQ(line->sourceFile, "");
    EXPECT_EQ(line->destDir, "");
    EXPECT_EQ(line->destFile, "");
}

TEST(SplitInstallValue, RejectsAValueWithoutItsSeparators)
{
    for (const char* value : {"", "no separators", "a,b", "a,b;c", "a;b,c", ";", "a;,b,"}) {
        SCOPED_TRACE(value);
        // "a;,b," has its ";" but no "," before it in the source part.
        EXPECT_FALSE(splitInstallValue(value).has_value());
    }
}

const Directories kDirs{"/opt/src", "/home/u/.config", "/home/u/.local/lib"};

TEST(ExpandMacros, ReplacesEachMacroAtItsFirstOccurrenceOnly)
{
    EXPECT_EQ(expandMacros("%SourceDir%\\bin", kDirs), "/opt/src\\bin");
    EXPECT_EQ(expandMacros("%WindowsDir%", kDirs), "/home/u/.config");
    EXPECT_EQ(expandMacros("%SystemDir%/x", kDirs), "/home/u/.local/lib/x");
    EXPECT_EQ(expandMacros("%SourceDir%%SourceDir%", kDirs), "/opt/src%SourceDir%");
    EXPECT_EQ(expandMacros("a %SystemDir% b %WindowsDir% c %SourceDir%", kDirs),
              "a /home/u/.local/lib b /home/u/.config c /opt/src");
    // Macros are spelled exactly.
    EXPECT_EQ(expandMacros("%sourcedir%", kDirs), "%sourcedir%");
    EXPECT_EQ(expandMacros("no macro", kDirs), "no macro");
}

TEST(ExpandMacros, ReplacesInTheFixedOrderSoAnEarlierResultCanHoldALaterMacro)
{
    const Directories odd{"/src/%WindowsDir%", "/win", "/sys"};
    EXPECT_EQ(expandMacros("%SourceDir% %WindowsDir%", odd), "/src//win %WindowsDir%");
}

TEST(ExpandMacros, CutsTheResultTo259Characters)
{
    const Directories deep{std::string(250, 's'), "/w", "/y"};
    const std::string expanded = expandMacros("%SourceDir%/and/more/text", deep);
    EXPECT_EQ(expanded.size(), 259u);
    EXPECT_EQ(expanded, std::string(250, 's') + "/and/more");
    EXPECT_EQ(expandMacros(std::string(400, 'x'), kDirs), std::string(259, 'x'));
}

TEST(Separators, BackslashesBecomeSeparatorsAndDirectoriesEndWithOne)
{
    EXPECT_EQ(toNativeSeparators("a\\b/c\\"), "a/b/c/");
    EXPECT_EQ(withTrailingSeparator("/home/u/.config"), "/home/u/.config/");
    EXPECT_EQ(withTrailingSeparator("/home/u/.config/"), "/home/u/.config/");
    EXPECT_EQ(withTrailingSeparator("C:\\WINDOWS\\"), "C:/WINDOWS/");
    EXPECT_EQ(withTrailingSeparator("%x\\dir"), "%x/dir/");
    // The root directory was held as "" and comes back as the root.
    EXPECT_EQ(withTrailingSeparator(""), "/");
}

} // namespace
} // namespace setup
