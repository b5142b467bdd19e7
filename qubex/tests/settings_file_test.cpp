#include "files/settings_file.h"

#include "temp_env.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace qubex {
namespace {

const char* kWritten = "[qubex_ini_file]\n"
                       "matrix_length=7\n"
                       "iteration=2500\n"
                       "xrot_step=2.500000\n"
                       "yrot_step=0.000000\n"
                       "autosize=0\n"
                       "autocenter=1\n"
                       "axisDisplay=1\n"
                       "gridPointsDisplay=0\n"
                       "gridLinesDisplay=1\n"
                       "fog_color=1,2,3\n"
                       "background_color=10,20,30\n"
                       "point_color=255,128,0\n";

// The settings text with one line replaced (0-based line index).
std::string withLine(int index, const std::string& line)
{
    std::string text = kWritten;
    std::size_t start = 0;
    for (int i = 0; i < index; ++i)
        start = text.find('\n', start) + 1;
    const std::size_t end = text.find('\n', start);
    return text.replace(start, end - start, line);
}

void expectDefaults(const Settings& s)
{
    const Settings d;
    EXPECT_EQ(s.matrix_length, 4);
    EXPECT_EQ(s.generation.iteration, 5000);
    EXPECT_EQ(s.xrot_step, 1.0);
    EXPECT_EQ(s.yrot_step, 1.3);
    EXPECT_TRUE(s.generation.autosize);
    EXPECT_TRUE(s.generation.autocenter);
    EXPECT_FALSE(s.display.axisDisplay);
    EXPECT_FALSE(s.display.gridPointsDisplay);
    EXPECT_FALSE(s.display.gridLinesDisplay);
    EXPECT_EQ(s.display.fog_color, 0u);
    EXPECT_EQ(s.display.background_color, 0u);
    EXPECT_EQ(s.display.point_color, 0xFFFFFFu);
}

TEST(SettingsFile, FormatsTheThirteenLinesExactly)
{
    Settings s;
    s.matrix_length = 7;
    s.generation = {.iteration = 2500, .autosize = false, .autocenter = true};
    s.xrot_step = 2.5;
    s.yrot_step = 0;
    s.display = {.axisDisplay = true,
                 .gridPointsDisplay = false,
                 .gridLinesDisplay = true,
                 .fog_color = makeColorRef(1, 2, 3),
                 .background_color = makeColorRef(10, 20, 30),
                 .point_color = makeColorRef(255, 128, 0)};
    EXPECT_EQ(formatSettings(s), kWritten);
    EXPECT_EQ(formatSettings(parseSettings(kWritten)), kWritten);
}

TEST(SettingsFile, WrittenFileReadsBack)
{
    suite::test::TempDir dir;
    const std::string path = (dir / "win" / "qubex.ini").string();
    const Settings written = parseSettings(kWritten);
    ASSERT_TRUE(writeSettings(path, written));
    EXPECT_EQ(suite::test::readFileBytes(path), kWritten);
    EXPECT_EQ(formatSettings(readSettings(path)), kWritten);
}

TEST(SettingsFile, MissingEmptyOrForeignFileGivesDefaults)
{
    suite::test::TempDir dir;
    expectDefaults(readSettings((dir / "absent.ini").string()));
    expectDefaults(parseSettings(""));
    expectDefaults(parseSettings(std::string("\0\xff\x01garbage\n\n\xfe", 13)));
    // The first line is always the section line, so a file without one loses its first key.
    expectDefaults(parseSettings("matrix_length=9\n"));
}

TEST(SettingsFile, APipeOrADeviceGivesDefaultsWithoutBlocking)
{
    suite::test::TempDir dir;
    const auto fifo = dir / "qubex.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto reading = std::async(std::launch::async, [&] { return readSettings(fifo.string()); });
    if (reading.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
        ADD_FAILURE() << "reading a pipe nobody writes to blocked";
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK); // lets the reader go
        if (fd >= 0)
            ::close(fd);
    }
    expectDefaults(reading.get());
    expectDefaults(readSettings("/dev/zero"));
}

TEST(SettingsFile, ValuesAreClampedIntoTheirRanges)
{
    EXPECT_EQ(parseSettings(withLine(2, "iteration=60000")).generation.iteration, 50000);
    EXPECT_EQ(parseSettings(withLine(2, "iteration=10")).generation.iteration, 100);
    EXPECT_EQ(parseSettings(withLine(2, "iteration=99999999999999999999")).generation.iteration,
              50000);
    EXPECT_EQ(parseSettings(withLine(1, "matrix_length=0")).matrix_length, 1);
    EXPECT_EQ(parseSettings(withLine(1, "matrix_length=-2147483649")).matrix_length, 1);
    EXPECT_EQ(parseSettings(withLine(1, "matrix_length=40")).matrix_length, 32);
    EXPECT_EQ(parseSettings(withLine(3, "xrot_step=200")).xrot_step, 180.0);
    EXPECT_EQ(parseSettings(withLine(3, "xrot_step=-3")).xrot_step, 0.0);
    EXPECT_EQ(parseSettings(withLine(4, "yrot_step=nan")).yrot_step, 0.0);
    EXPECT_EQ(parseSettings(withLine(4, "yrot_step=inf")).yrot_step, 180.0);
}

TEST(SettingsFile, FlagIsOnExactlyWhenItsValueIsOne)
{
    EXPECT_FALSE(parseSettings(withLine(5, "autosize=2")).generation.autosize);
    EXPECT_FALSE(parseSettings(withLine(5, "autosize=-1")).generation.autosize);
    EXPECT_TRUE(parseSettings(withLine(5, "autosize=1")).generation.autosize);
    EXPECT_TRUE(parseSettings(withLine(7, "axisDisplay=01")).display.axisDisplay);
}

TEST(SettingsFile, UnreadableLineKeepsOnlyItsOwnDefault)
{
    // autosize defaults to on although the file's other flags say off.
    const Settings s = parseSettings(withLine(5, "autosize=yes"));
    EXPECT_TRUE(s.generation.autosize);
    EXPECT_TRUE(s.generation.autocenter);
    EXPECT_TRUE(s.display.axisDisplay);
    EXPECT_EQ(s.display.point_color, makeColorRef(255, 128, 0));
    const Settings empty = parseSettings(withLine(6, "autocenter="));
    EXPECT_TRUE(empty.generation.autocenter);
    EXPECT_FALSE(empty.generation.autosize);
    EXPECT_EQ(parseSettings(withLine(3, "xrot_step=fast")).xrot_step, 1.0);
}

TEST(SettingsFile, ColourNeedsAllThreeNumbers)
{
    EXPECT_EQ(parseSettings(withLine(10, "fog_color=1,2")).display.fog_color, 0u);
    EXPECT_EQ(parseSettings(withLine(10, "fog_color=1,2,")).display.fog_color, 0u);
    EXPECT_EQ(parseSettings(withLine(10, "fog_color=1 2 3")).display.fog_color, 0u);
    EXPECT_EQ(parseSettings(withLine(10, "fog_color= 9, 8, 7")).display.fog_color,
              makeColorRef(9, 8, 7));
    // Each number gives its low eight bits.
    EXPECT_EQ(parseSettings(withLine(12, "point_color=256,-1,511")).display.point_color,
              makeColorRef(0, 255, 255));
    EXPECT_EQ(parseSettings(withLine(11, "background_color=0,0,0")).display.background_color, 0u);
}

TEST(SettingsFile, AnySectionLineIsAcceptedButOrderMatters)
{
    const Settings s = parseSettings(withLine(0, "[whatever it says, with blanks]"));
    EXPECT_EQ(s.matrix_length, 7);
    EXPECT_EQ(s.display.point_color, makeColorRef(255, 128, 0));

    // Swapped lines: neither key is where it is looked for.
    std::string swapped = kWritten;
    const std::string inOrder = "matrix_length=7\niteration=2500\n";
    swapped.replace(swapped.find(inOrder), inOrder.size(), "iteration=2500\nmatrix_length=7\n");
    const Settings o = parseSettings(swapped);
    EXPECT_EQ(o.matrix_length, 4);
    EXPECT_EQ(o.generation.iteration, 5000);
    EXPECT_EQ(o.xrot_step, 2.5); // later keys are unaffected
}

TEST(SettingsFile, WindowsLineEndsAndBlankLinesAreTolerated)
{
    std::string crlf;
    for (char c : std::string(kWritten)) {
        if (c == '\n')
            crlf += "\r\n\r\n";
        else
            crlf += c;
    }
    EXPECT_EQ(formatSettings(parseSettings(crlf)), kWritten);
}

TEST(SettingsFile, UnwritableLocationIsNotAnError)
{
    suite::test::TempDir dir;
    suite::test::writeFileBytes(dir / "file", "x");
    EXPECT_FALSE(writeSettings((dir / "file" / "qubex.ini").string(), Settings{}));
}

TEST(SettingsFile, MissingSettingsFolderIsMade)
{
    // A fresh account may have no config folder yet; the settings must still be kept.
    suite::test::TempDir dir;
    const std::string path = (dir / "config" / "qubex.ini").string();
    Settings s;
    s.matrix_length = 7;
    ASSERT_TRUE(writeSettings(path, s));
    EXPECT_EQ(readSettings(path).matrix_length, 7);
}

TEST(SettingsFilePath, WindowsDirectoryFirstThenXdgConfig)
{
    const std::string windir = std::getenv("WINDIR") ? std::getenv("WINDIR") : "";
    const std::string xdg = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    ASSERT_FALSE(windir.empty()); // the test main sets a private one
    EXPECT_EQ(settingsFilePath(), windir + "/qubex.ini");
    ::unsetenv("WINDIR");
    EXPECT_EQ(settingsFilePath(), xdg + "/qubex.ini");
    ::setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(settingsFilePath(), std::string(std::getenv("HOME")) + "/.config/qubex.ini");
    ::setenv("WINDIR", windir.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
}

} // namespace
} // namespace qubex
