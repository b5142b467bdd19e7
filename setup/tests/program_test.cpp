// Runs copies of the built setup program, each in its own folder beside its own setup.inf,
// the way a user runs it from a distribution folder.
#include "command_line.h"
#include "install_value.h"
#include "profile.h"
#include "setup_test_support.h"
#include "suite_version.h"

#include <fcntl.h>
#include <algorithm>
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
    fs::path program = dist / "setup";
    std::string out, err;

    void SetUp() override
    {
        fs::create_directories(dist);
        fs::copy_file(SETUP_PROGRAM, program);
    }

    void writeInf(const std::string& body) { writeText(dist / "setup.inf", body); }

    // Runs the copy with WINDIR and SYSTEMDIR of this test; returns its exit code.
    int run(std::vector<std::string> args = {"--unattended"}, std::vector<std::string> env = {},
            const std::vector<std::string>& drop = {})
    {
        std::vector<std::string> storage{program.string()};
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
            ::posix_spawn(&pid, storage[0].c_str(), &actions, nullptr, argv.data(), envp.data());
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
    EXPECT_EQ(out, setup::helpText());
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

// The shipped file against a distribution folder laid out as it names it: setup in
// suite/bin, every listed file in the tree around it. Each lands at the same place under the
// parent of the system directory (~/.local by default), and the Execute lines start the
// desktop's cache tools on that tree when they exist and stay silent when they do not.
TEST_F(Program, ShippedDescriptionFileInstallsTheTreeAndRefreshesTheCaches)
{
    const fs::path suite = root / "suite";
    const fs::path local = root / "home" / ".local";
    program = suite / "bin" / "setup";
    sys = local / "lib";
    fs::create_directories(program.parent_path());
    fs::copy_file(SETUP_PROGRAM, program);
    fs::copy_file(SETUP_SHIPPED_INF, suite / "bin" / "setup.inf");

    const auto profile = setup::Profile::load(SETUP_SHIPPED_INF);
    ASSERT_TRUE(profile);
    std::vector<std::string> files;
    for (int n = 1;; ++n) {
        const std::string value =
            profile->getString("Ovalink", "Install" + std::to_string(n), "Error", 1024);
        if (value.find("Error") != std::string::npos)
            break;
        const auto line = setup::splitInstallValue(value);
        ASSERT_TRUE(line) << value;
        // Source and destination are the same place in the two trees.
        const std::string from = line->sourceDir + "\\" + line->sourceFile;
        const std::string to = line->destDir + "\\" + line->destFile;
        ASSERT_EQ(from.rfind("%SourceDir%\\..\\", 0), 0u) << value;
        EXPECT_EQ(to, "%SystemDir%" + from.substr(11)) << value;
        files.push_back(setup::toNativeSeparators(from.substr(15)));
        // Each file its own bytes, programs executable.
        const fs::path file = suite / files.back();
        writeText(file, "file " + files.back() + "\n");
        if (files.back().starts_with("bin/"))
            fs::permissions(file, fs::perms(0755));
    }
    for (const char* needed : {"bin/qubex", "bin/Ormolith", "bin/fractals",
                               "share/applications/fractals.desktop",
                               "share/mime/packages/fractal-suite.xml"})
        EXPECT_NE(std::find(files.begin(), files.end(), needed), files.end()) << needed;

    // Stand-ins for the cache tools record the folder they were given.
    const fs::path tools = root / "tools";
    for (const char* tool : {"update-mime-database", "update-desktop-database"}) {
        writeText(tools / tool, std::string("#!/bin/sh\nfor a; do last=\"$a\"; done\n"
                                            "echo \"$last\" > \"$0.ran\"\n"));
        fs::permissions(tools / tool, fs::perms(0755));
    }
    ASSERT_EQ(run({"--unattended"}, {"PATH=" + tools.string() + ":/usr/bin:/bin"}, {"PATH"}), 0);
    EXPECT_EQ(err, "");
    for (const std::string& file : files) {
        EXPECT_EQ(readFileBytes(local / file), readFileBytes(suite / file)) << file;
        if (file.starts_with("bin/")) {
            EXPECT_EQ(fs::status(local / file).permissions(), fs::perms(0755)) << file;
        }
    }
    EXPECT_FALSE(fs::exists(local / "bin" / "setup"));
    EXPECT_FALSE(fs::exists(local / "bin" / "setup.inf"));
    ASSERT_TRUE(waitForFile(tools / "update-mime-database.ran"));
    ASSERT_TRUE(waitForFile(tools / "update-desktop-database.ran"));
    EXPECT_EQ(fs::weakly_canonical(readFileBytes(tools / "update-mime-database.ran").substr(
                  0, readFileBytes(tools / "update-mime-database.ran").size() - 1)),
              fs::weakly_canonical(local / "share" / "mime"));
    EXPECT_EQ(fs::weakly_canonical(readFileBytes(tools / "update-desktop-database.ran").substr(
                  0, readFileBytes(tools / "update-desktop-database.ran").size() - 1)),
              fs::weakly_canonical(local / "share" / "applications"));

    // Without the tools (only a shell on the path) nothing is said and the run ends normally.
    fs::remove_all(local);
    const fs::path bare = root / "bare";
    fs::create_directories(bare);
    fs::create_symlink("/bin/sh", bare / "sh");
    EXPECT_EQ(run({"--unattended"}, {"PATH=" + bare.string()}, {"PATH"}), 0);
    EXPECT_EQ(err, "");
    EXPECT_EQ(readFileBytes(local / "bin" / "fractals"), readFileBytes(suite / "bin" / "fractals"));
}

} // namespace
