#include "files/text_io.h"

#include "temp_env.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <filesystem>

namespace qubex {
namespace {

TEST(ScanInteger, ReadsLikePercentD)
{
    std::string_view t = "  -42abc";
    EXPECT_EQ(scanInteger(t), -42);
    EXPECT_EQ(t, "abc");
    t = "+7";
    EXPECT_EQ(scanInteger(t), 7);
    t = "x1";
    EXPECT_FALSE(scanInteger(t));
    EXPECT_EQ(t, "x1");
    t = "-";
    EXPECT_FALSE(scanInteger(t));
    t = "99999999999999999999999999";
    EXPECT_EQ(scanInteger(t), std::numeric_limits<long long>::max());
}

TEST(ScanDouble, ReadsLikePercentLf)
{
    std::string_view t = "\n 0.5 1";
    EXPECT_EQ(scanDouble(t), 0.5);
    EXPECT_EQ(t, " 1");
    t = "-1.25e1,";
    EXPECT_EQ(scanDouble(t), -12.5);
    EXPECT_EQ(t, ",");
    t = "+3";
    EXPECT_EQ(scanDouble(t), 3.0);
    t = "nan";
    EXPECT_TRUE(std::isnan(*scanDouble(t)));
    t = "-inf";
    EXPECT_EQ(scanDouble(t), -std::numeric_limits<double>::infinity());
    t = "1e999";
    EXPECT_EQ(scanDouble(t), std::numeric_limits<double>::infinity());
    t = "--1";
    EXPECT_FALSE(scanDouble(t));
    t = ".";
    EXPECT_FALSE(scanDouble(t));
}

TEST(FormatFixed6, WritesSixDecimalsLikePercentLf)
{
    EXPECT_EQ(formatFixed6(1.0), "1.000000");
    EXPECT_EQ(formatFixed6(-0.0000004), "-0.000000");
    EXPECT_EQ(formatFixed6(0.1234567), "0.123457");
    EXPECT_EQ(formatFixed6(-12345.5), "-12345.500000");
}

TEST(FormatFixed6, IgnoresACommaLocale)
{
    // Under such a locale "%lf" would write 0,500000; the files must not change with it.
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    bool found = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"})
        if (std::setlocale(LC_ALL, name)) {
            found = true;
            break;
        }
    if (!found)
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    EXPECT_EQ(formatFixed6(0.5), "0.500000");
    std::string_view t = "0.5";
    EXPECT_EQ(scanDouble(t), 0.5);
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(WriteFileReplacing, ReplacesWholeFileAndLeavesNoTemporary)
{
    suite::test::TempDir dir;
    const std::string path = (dir / "sub" / "file.txt").string();
    ASSERT_TRUE(writeFileReplacing(path, "first version, longer\n", MissingFolder::Create));
    ASSERT_TRUE(writeFileReplacing(path, "second\n"));
    EXPECT_EQ(suite::test::readFileBytes(path), "second\n");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir / "sub"))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(WriteFileReplacing, FailsOnAnImpossiblePath)
{
    suite::test::TempDir dir;
    suite::test::writeFileBytes(dir / "plain", "x");
    EXPECT_FALSE(writeFileReplacing((dir / "plain" / "below.txt").string(), "y"));
    EXPECT_EQ(suite::test::readFileBytes(dir / "plain"), "x");
    // A folder that does not exist is made only when asked for.
    EXPECT_FALSE(writeFileReplacing((dir / "none" / "file.txt").string(), "z"));
    EXPECT_FALSE(std::filesystem::exists(dir / "none"));
}

TEST(AsciiLower, LeavesNonAsciiBytesAlone)
{
    EXPECT_EQ(asciiLower("QUBEX - /Tmp/A.QBX"), "qubex - /tmp/a.qbx");
    EXPECT_EQ(asciiLower("\xC3\x84"), "\xC3\x84");
}

TEST(WriteFileReplacing, SettingsKeptInALinkedFolderStayLinked)
{
    suite::test::TempDir dir;
    std::filesystem::create_directories(dir / "dotfiles");
    suite::test::writeFileBytes(dir / "dotfiles" / "qubex.ini", "old");
    std::filesystem::create_directories(dir / "windows");
    std::filesystem::create_symlink(dir / "dotfiles" / "qubex.ini", dir / "windows" / "qubex.ini");
    ASSERT_TRUE(
        writeFileReplacing((dir / "windows" / "qubex.ini").string(), "new", MissingFolder::Create));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "windows" / "qubex.ini"));
    EXPECT_EQ(suite::test::readFileBytes(dir / "dotfiles" / "qubex.ini"), "new");
}

} // namespace
} // namespace qubex
