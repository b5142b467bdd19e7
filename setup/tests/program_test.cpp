// Runs copies of the built setup program, each in its own folder beside its own setup.inf,
// the way a user runs it from a distribution folder.
#include "setup_test_support.h"
#include "suite_version.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using setup::test::waitForFile;
using setup::test::writeText;
using suite::test::readFileBytes;

const std::string kCopyTail =
    "\n\nSetup was unable to copy this file. Please close all open applications and click Retry.";

class Program : public ::testing::Test {
protected:
    suite::test::TempDir root{"setup-program"};
    fs::path dist = root / "dist";
    fs::path win = root / "win";
    fs::path sys = root / "sys";
    fs::path dst = root / "dst";
    std::string out, err;

    void SetUp() override
    {
        fs::create_directories(dist);
        fs::copy_file(SETUP_PROGRAM, dist / "setup");
    }

    void writeInf(const std::string& body) { writeText(dist / "setup.inf", body); }

    // Runs the copy with WINDIR and SYSTEMDIR of this test; returns its exit code.
    int run(std::vector<std::string> args = {"--unattended"}, std::vector<std::string> env = {},
            const std::vector<std::string>& drop = {})
    {
        const std::string program = (dist / "setup").string();
        std::vector<std::string> storage{program};
        storage.insert(storage.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : storage)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        env.push_back("WINDIR=" + win.string());
        env.push_back("SYSTEMDIR=" + sys.string());
        for (char** e = environ; *e; ++e) {
            const std::string_view entry(*e);
            bool keep = entry.rfind("WINDIR=", 0) != 0 && entry.rfind("SYSTEMDIR=", 0) != 0;
            for (const auto& name : drop)
                keep = keep && entry.rfind(name + "=", 0) != 0;
            if (keep)
                env.emplace_back(entry);
        }
        std::vector<char*> envp;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        const std::string outFile = (root / "stdout.txt").string();
        const std::string errFile = (root / "stderr.txt").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t pid = -1;
        const int spawned =
            ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(spawned, 0);
        int status = 0;
        ::waitpid(pid, &status, 0);
        out = readFileBytes(outFile);
        err = readFileBytes(errFile);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
};

TEST_F(Program, HelpVersionAndBadArguments)
{
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_NE(out.find("usage: setup [--unattended]"), std::string::npos) << out;
    EXPECT_NE(out.find("--unattended"), std::string::npos);
    EXPECT_EQ(run({"--version"}), 0);
    EXPECT_EQ(out, std::string("setup (Ovalink) ") + SUITE_VERSION + "\n");
    EXPECT_EQ(run({"--bogus"}), 2);
    EXPECT_NE(err.find("usage: setup"), std::string::npos) << err;
    // Nothing ran: no description file was looked for.
    EXPECT_EQ(err.find("SETUP.INF"), std::string::npos);
}

TEST_F(Program, WindowModeNeedsADisplay)
{
    writeInf("[Ovalink]\n");
    EXPECT_EQ(run({}, {}, {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}), 2);
    EXPECT_NE(err.find("--unattended"), std::string::npos) << err;
}

TEST_F(Program, WindowModeRunsTheSameStepsBehindTheWaitWindow)
{
    writeText(dist / "one", "first");
    writeInf("[Ovalink]\nInstall1=%SourceDir%,one;" + dst.string() +
             ",one\nExecute1=sh -c \"echo started > started.txt\"\n");
    EXPECT_EQ(run({}, {"QT_QPA_PLATFORM=offscreen"}, {"QT_QPA_PLATFORM"}), 0);
    EXPECT_EQ(readFileBytes(dst / "one"), "first");
    ASSERT_TRUE(waitForFile(dist / "started.txt"));
}

TEST_F(Program, MissingDescriptionFileIsReportedOnStderrAndEndsNormally)
{
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(err, "Setup Error: Setup was unable to find SETUP.INF, the file containing "
                   "installation information.\n[OK]\n");
}

TEST_F(Program, WithoutInstall1ProgramsStillStartInTheProgramsOwnFolder)
{
    writeText(dist / "a", "a");
    writeInf("[Ovalink]\nInstall2=%SourceDir%,a;" + dst.string() +
             ",a\nExecute1=sh -c \"pwd > started.txt\"\n");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(err, "");
    EXPECT_FALSE(fs::exists(dst / "a"));
    ASSERT_TRUE(waitForFile(dist / "started.txt"));
    EXPECT_EQ(readFileBytes(dist / "started.txt"), fs::canonical(dist).string() + "\n");
}

TEST_F(Program, Install1AndInstall3WithoutInstall2InstallOnlyTheFirstIntoTheWindowsFolder)
{
    writeText(dist / "one", "first");
    writeText(dist / "three", "third");
    writeInf("[Ovalink]\nInstall1=%SourceDir%,one;%WindowsDir%,one\n"
             "Install3=%SourceDir%,three;%WindowsDir%,three\n");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(err, "");
    EXPECT_EQ(readFileBytes(win / "one"), "first");
    EXPECT_FALSE(fs::exists(win / "three"));
}

TEST_F(Program, OlderSourceIsSkippedWithoutAMessage)
{
    writeText(dist / "prog", "old");
    writeText(dst / "prog", "newer");
    setup::test::setAge(dist / "prog", -7200s);
    setup::test::setAge(dst / "prog", -60s);
    writeInf("[Ovalink]\nInstall1=%SourceDir%,prog;" + dst.string() + ",prog\n");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(err, "");
    EXPECT_EQ(readFileBytes(dst / "prog"), "newer");
    // Whatever its name, no copy is left beside the installed file.
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dst))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"prog"});
}

TEST_F(Program, WindowsDirMacroGetsExactlyOneSeparatorAppended)
{
    // Given with a trailing separator, the Windows directory loses it and the destination gets
    // exactly one back; the copy box shows the joined path as setup used it.
    writeInf("[Ovalink]\nInstall1=%SourceDir%,missing;%WindowsDir%,one\n"
             "Install2=%SourceDir%\\,present;%WindowsDir%\\,two\n");
    writeText(dist / "present", "present");
    EXPECT_EQ(run({"--unattended"}, {"WINDIR=" + win.string() + "/"}), 0);
    EXPECT_EQ(err, "Copy Failed: Source File: " + dist.string() + "/missing\nDestination File: " +
                       win.string() + "/one" + kCopyTail + "\n[Ignore]\n");
    EXPECT_EQ(readFileBytes(win / "two"), "present");
}

TEST_F(Program, UnattendedRunIgnoresCopyFailuresAndCancelsAFailedStart)
{
    writeText(dist / "two", "two");
    writeInf("[Ovalink]\nInstall1=%SourceDir%,missing;" + dst.string() +
             ",one\n"
             "Install2=%SourceDir%,two;" +
             dst.string() +
             ",two\n"
             "Execute1=no-such-program-here\nExecute2=also-missing\n");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(readFileBytes(dst / "two"), "two");
    EXPECT_EQ(err, "Copy Failed: Source File: " + dist.string() +
                       "/missing\nDestination File: " + dst.string() + "/one" + kCopyTail +
                       "\n[Ignore]\n"
                       "Setup: Setup is unable to execute following program:\n\n"
                       "no-such-program-here\n[Cancel]\n");
}

// The shipped file against a distribution folder built from the real help pages: every line
// must name a file that exists (an unattended run prints a box for any that does not), and every
// qubex page must land where qubex looks for it, beside its bin folder.
TEST_F(Program, ShippedDescriptionFileInstallsTheSuiteAndStartsOrmolith)
{
    fs::copy_file(SETUP_SHIPPED_INF, dist / "setup.inf");
    for (const char* name : {"qubex", "fractals"}) {
        writeText(dist / name, std::string("#!/bin/sh\n# ") + name + "\n");
        fs::permissions(dist / name, fs::perms(0755));
    }
    // A stand-in Ormolith proves it is the installed copy that starts, in the source folder.
    writeText(dist / "Ormolith", "#!/bin/sh\necho \"$0\" > ormolith-started.txt\n");
    fs::permissions(dist / "Ormolith", fs::perms(0755));
    std::vector<std::string> pages;
    for (const auto& entry : fs::directory_iterator(SETUP_QUBEX_HELP_DIR)) {
        if (entry.path().extension() != ".html")
            continue;
        pages.push_back(entry.path().filename().string());
        writeText(dist / "help" / "qubex" / pages.back(), readFileBytes(entry.path()));
    }
    ASSERT_FALSE(pages.empty());

    EXPECT_EQ(run(), 0);
    EXPECT_EQ(err, "");
    const fs::path suite = sys / "FractalSuite";
    for (const char* name : {"qubex", "Ormolith", "fractals"}) {
        EXPECT_EQ(readFileBytes(suite / "bin" / name), readFileBytes(dist / name)) << name;
        EXPECT_EQ(fs::status(suite / "bin" / name).permissions(), fs::perms(0755)) << name;
    }
    for (const std::string& page : pages)
        EXPECT_EQ(readFileBytes(suite / "share" / "qubex" / "help" / page),
                  readFileBytes(dist / "help" / "qubex" / page))
            << page;
    // Nothing else: no help folder beside the programs for fractals to mistake for its own.
    std::size_t installed = 0;
    for (const auto& entry : fs::recursive_directory_iterator(suite))
        installed += entry.is_regular_file();
    EXPECT_EQ(installed, 3 + pages.size());
    EXPECT_FALSE(fs::exists(suite / "bin" / "help"));
    ASSERT_TRUE(waitForFile(dist / "ormolith-started.txt"));
    EXPECT_EQ(readFileBytes(dist / "ormolith-started.txt"),
              (suite / "bin" / "Ormolith").string() + "\n");
}

} // namespace
