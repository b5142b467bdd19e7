#include "bootstrapper.h"

#include "setup_test_support.h"

#include <gtest/gtest.h>
#include <sstream>
#include <sys/personality.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>

namespace setup {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using suite::test::readFileBytes;

const std::string kCopyTail =
    "\n\nSetup was unable to copy this file. Please close all open applications and click Retry.";

// A run of the bootstrapper "installed" in src/, with its own Windows and system folders.
class Run : public ::testing::Test {
protected:
    suite::test::TempDir root{"setup-run"};
    fs::path src = root / "src";
    fs::path win = root / "win";
    fs::path sys = root / "sys";
    fs::path dst = root / "dst";
    test::ScriptedBoxes boxes;
    test::RecordingWindow window;

    void SetUp() override
    {
        for (const auto& d : {src, win, sys})
            fs::create_directories(d);
        ::setenv("WINDIR", win.c_str(), 1);
        ::setenv("SYSTEMDIR", (sys.string() + "/").c_str(), 1);
    }

    void writeInf(const std::string& body) { test::writeText(src / "setup.inf", body); }

    int run()
    {
        Platform platform{[this] { return (src / "setup").string(); }};
        Bootstrapper bootstrapper(boxes, window, platform);
        const int code = bootstrapper.run();
        dirs = bootstrapper.directories();
        return code;
    }

    std::vector<std::string> titles() const
    {
        std::vector<std::string> result;
        for (const auto& shown : boxes.script.shown())
            result.push_back(shown.title);
        return result;
    }

    Directories dirs;
};

TEST_F(Run, AnOldKernelVersionDoesNotStopTheInstallation)
{
    // The machine's own platform, made to report a 2.6 kernel: an installer that read the
    // kernel's version as the system's would refuse to run.
    writeInf("[Ovalink]\nInstall1=%SourceDir%,a;" + dst.string() + ",a\n");
    test::writeText(src / "a", "a");
    const int persona = ::personality(0xffffffff);
    ASSERT_NE(persona, -1);
    ASSERT_NE(::personality(static_cast<unsigned long>(persona) | UNAME26), -1);
    utsname info{};
    ::uname(&info);
    Platform platform = hostPlatform();
    platform.programFile = [this] { return (src / "setup").string(); };
    const int code = Bootstrapper(boxes, window, platform).run();
    ::personality(static_cast<unsigned long>(persona));
    EXPECT_EQ(std::string(info.release).substr(0, 2), "2.") << "the kernel version was not changed";
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(boxes.script.shown().empty());
    EXPECT_EQ(window.shown, 1);
    EXPECT_EQ(readFileBytes(dst / "a"), "a");
}

TEST_F(Run, MissingDescriptionFileIsReportedAndTheRunEndsNormally)
{
    EXPECT_EQ(run(), 0);
    ASSERT_EQ(boxes.script.shown().size(), 1u);
    EXPECT_EQ(boxes.script.shown()[0].text,
              "Setup was unable to find SETUP.INF, the file containing installation information.");
    EXPECT_EQ(boxes.script.shown()[0].title, "Setup Error");
    EXPECT_EQ(boxes.buttons[0], Buttons::Ok);
    EXPECT_EQ(window.shown, 1);
    EXPECT_EQ(window.destroyed, 1);
}

TEST_F(Run, DescriptionFileIsFoundWhateverItsLetterCase)
{
    test::writeText(src / "SETUP.INF", "[Ovalink]\nExecute1=no-such-prog\n");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(titles(), std::vector<std::string>{"Setup"});
}

TEST_F(Run, UnreadableDescriptionFileIsReportedLikeAMissingOne)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    writeInf("[Ovalink]\n");
    fs::permissions(src / "setup.inf", fs::perms::none);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(titles(), std::vector<std::string>{"Setup Error"});
}

TEST_F(Run, DirectoriesComeFromTheProgramFileAndTheEnvironment)
{
    writeInf("[Ovalink]\n");
    run();
    EXPECT_EQ(dirs.source, src.string());
    EXPECT_EQ(dirs.windows, win.string());
    EXPECT_EQ(dirs.system, sys.string()); // its trailing separator removed
}

TEST_F(Run, WithoutInstall1NothingIsInstalledButProgramsStartInTheSourceFolder)
{
    test::writeText(src / "a", "a");
    writeInf("[Ovalink]\nInstall2=%SourceDir%,a;" + dst.string() +
             ",a\nExecute1=sh -c \"pwd > started.txt\"\n");
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(boxes.script.shown().empty());
    EXPECT_FALSE(fs::exists(dst / "a"));
    ASSERT_TRUE(test::waitForFile(src / "started.txt"));
    EXPECT_EQ(readFileBytes(src / "started.txt"), fs::canonical(src).string() + "\n");
}

TEST_F(Run, AGapInTheNumbersEndsTheList)
{
    for (const char* name : {"one", "two", "three"})
        test::writeText(src / name, name);
    writeInf("[Ovalink]\nInstall1=%SourceDir%,one;" + dst.string() +
             ",one\nInstall3=%SourceDir%,"
             "three;" +
             dst.string() + ",three\n");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(readFileBytes(dst / "one"), "one");
    EXPECT_FALSE(fs::exists(dst / "three"));
    EXPECT_TRUE(boxes.script.shown().empty());
}

TEST_F(Run, AValueContainingErrorEndsItsList)
{
    test::writeText(src / "ErrorLog.txt", "log");
    test::writeText(src / "after", "after");
    writeInf("[Ovalink]\nInstall1=%SourceDir%,ErrorLog.txt;" + dst.string() +
             ",log\nInstall2=%SourceDir%,after;" + dst.string() +
             ",after\nExecute1=sh -c \"echo Error\"\nExecute2=no-such-prog\n");
    EXPECT_EQ(run(), 0);
    EXPECT_FALSE(fs::exists(dst / "log"));
    EXPECT_FALSE(fs::exists(dst / "after"));
    // Neither program was tried: the missing one would have shown a box.
    EXPECT_TRUE(boxes.script.shown().empty());
}

TEST_F(Run, OnlyTheExactWordErrorEndsAList)
{
    test::writeText(src / "errorlog", "lower case");
    writeInf("[Ovalink]\nInstall1=%SourceDir%,errorlog;" + dst.string() + ",ERROR.txt\n");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(readFileBytes(dst / "ERROR.txt"), "lower case");
}

TEST_F(Run, WindowsDirMacroBecomesTheWindowsFolderWithOneSeparator)
{
    test::writeText(src / "bin" / "prog", "program");
    test::writeText(src / "readme", "text");
    writeInf("[Ovalink]\nInstall1=%SourceDir%\\bin,prog;%WindowsDir%,prog\n"
             "Install2=%SourceDir%,readme;%SystemDir%\\suite\\,readme\n");
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(boxes.script.shown().empty());
    EXPECT_EQ(readFileBytes(win / "prog"), "program");
    EXPECT_EQ(readFileBytes(sys / "suite" / "readme"), "text");
}

TEST_F(Run, OlderSourceIsSkippedSilentlyAndItsCopyDeleted)
{
    test::writeText(src / "prog", "old build");
    test::writeText(dst / "prog", "installed newer build");
    test::setAge(src / "prog", -7200s);
    test::setAge(dst / "prog", -60s);
    writeInf("[Ovalink]\nInstall1=%SourceDir%,prog;" + dst.string() + ",prog\n");
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(boxes.script.shown().empty());
    EXPECT_EQ(readFileBytes(dst / "prog"), "installed newer build");
    EXPECT_TRUE(test::temporaryCopies(dst).empty());
}

TEST_F(Run, CopyFailureOffersAbortRetryIgnoreAndRetryTriesAgain)
{
    writeInf("[Ovalink]\nInstall1=%SourceDir%,late;" + dst.string() + ",late\n");
    boxes.script.queue(Answer::Retry);
    // The user puts the file in place while the box is open, then presses Retry.
    boxes.whileShown = [&](std::size_t) { test::writeText(src / "late", "arrived"); };
    EXPECT_EQ(run(), 0);
    ASSERT_EQ(boxes.script.shown().size(), 1u);
    EXPECT_EQ(boxes.script.shown()[0].text, "Source File: " + src.string() +
                                                "/late\n"
                                                "Destination File: " +
                                                dst.string() + "/late" + kCopyTail);
    EXPECT_EQ(boxes.script.shown()[0].title, "Copy Failed");
    EXPECT_EQ(boxes.buttons[0], Buttons::AbortRetryIgnore);
    EXPECT_EQ(boxes.defaults[0], Answer::Ignore);
    EXPECT_EQ(readFileBytes(dst / "late"), "arrived");
    EXPECT_EQ(boxes.script.unusedAnswers(), 0u);
}

TEST_F(Run, AReadOnlyInstalledFileIsACopyFailureAndStaysAsItWas)
{
    test::writeText(src / "prog", "new build");
    fs::create_directories(dst);
    test::writeText(dst / "prog", "installed");
    test::setAge(dst / "prog", -7200s);
    fs::permissions(dst / "prog", fs::perms(0444));
    writeInf("[Ovalink]\nInstall1=%SourceDir%,prog;" + dst.string() + ",prog\n");
    boxes.script.queue(Answer::Ignore);
    EXPECT_EQ(run(), 0);
    ASSERT_EQ(titles(), std::vector<std::string>{"Copy Failed"});
    EXPECT_EQ(boxes.script.shown()[0].text, "Source File: " + src.string() +
                                                "/prog\n"
                                                "Destination File: " +
                                                dst.string() + "/prog" + kCopyTail);
    EXPECT_EQ(readFileBytes(dst / "prog"), "installed");
    EXPECT_EQ(fs::status(dst / "prog").permissions(), fs::perms(0444));
    EXPECT_TRUE(test::temporaryCopies(dst).empty());
}

TEST_F(Run, RetryKeepsAskingWhileTheCopyStillFails)
{
    writeInf("[Ovalink]\nInstall1=%SourceDir%,missing;" + dst.string() + ",missing\n");
    boxes.script.queue(Answer::Retry);
    boxes.script.queue(Answer::Retry);
    boxes.script.queue(Answer::Ignore);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(boxes.script.shown().size(), 3u);
}

TEST_F(Run, IgnoreSkipsTheFileAndGoesOn)
{
    test::writeText(src / "two", "two");
    writeInf("[Ovalink]\nInstall1=%SourceDir%,missing;" + dst.string() +
             ",one\n"
             "Install2=%SourceDir%,two;" +
             dst.string() + ",two\nExecute1=no-such-prog\n");
    boxes.script.queue(Answer::Ignore);
    boxes.script.queue(Answer::Cancel);
    EXPECT_EQ(run(), 0);
    EXPECT_FALSE(fs::exists(dst / "one"));
    EXPECT_EQ(readFileBytes(dst / "two"), "two");
    // The program step ran: its failure is the second box.
    EXPECT_EQ(titles(), (std::vector<std::string>{"Copy Failed", "Setup"}));
}

TEST_F(Run, AbortEndsTheInstallationAndStartsNothing)
{
    test::writeText(src / "two", "two");
    writeInf("[Ovalink]\nInstall1=%SourceDir%,missing;" + dst.string() +
             ",one\n"
             "Install2=%SourceDir%,two;" +
             dst.string() + ",two\nExecute1=no-such-prog\n");
    boxes.script.queue(Answer::Abort);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(titles(), std::vector<std::string>{"Copy Failed"});
    EXPECT_FALSE(fs::exists(dst / "two"));
    EXPECT_EQ(window.destroyed, 1);
}

TEST_F(Run, InstallLineWithoutItsSeparatorsIsReportedAsWrittenAndCanBeSkipped)
{
    test::writeText(src / "good", "good");
    writeInf("[Ovalink]\nInstall1=%SourceDir% no separators\nInstall2=%SourceDir%,x;nocomma\n"
             "Install3=%SourceDir%,good;" +
             dst.string() + ",good\n");
    boxes.script.queue(Answer::Ignore);
    boxes.script.queue(Answer::Ignore);
    EXPECT_EQ(run(), 0);
    ASSERT_EQ(boxes.script.shown().size(), 2u);
    EXPECT_EQ(boxes.script.shown()[0].text,
              "Source File: %SourceDir% no separators\nDestination File: " + kCopyTail);
    EXPECT_EQ(boxes.script.shown()[1].text,
              "Source File: %SourceDir%,x\nDestination File: nocomma" + kCopyTail);
    EXPECT_EQ(readFileBytes(dst / "good"), "good");
}

TEST_F(Run, ProgramThatCannotStartThenCancelEndsNormallyAndStartsNoMore)
{
    writeInf("[Ovalink]\nExecute1=%SourceDir%\\missing-prog --flag\nExecute2=no-such-prog\n");
    EXPECT_EQ(run(), 0);
    ASSERT_EQ(boxes.script.shown().size(), 1u);
    EXPECT_EQ(boxes.script.shown()[0].text, "Setup is unable to execute following program:\n\n" +
                                                src.string() + "\\missing-prog --flag");
    EXPECT_EQ(boxes.script.shown()[0].title, "Setup");
    EXPECT_EQ(boxes.buttons[0], Buttons::RetryCancel);
    EXPECT_EQ(window.destroyed, 1);
}

TEST_F(Run, RetryStartsAProgramThatHasAppearedMeanwhile)
{
    writeInf("[Ovalink]\nExecute1=%SourceDir%\\later.sh\nExecute2=sh -c \"echo 2 > second.txt\"\n");
    boxes.script.queue(Answer::Retry);
    boxes.whileShown = [&](std::size_t) {
        test::writeText(src / "later.sh", "#!/bin/sh\necho 1 > first.txt\n");
        fs::permissions(src / "later.sh", fs::perms(0755));
    };
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(boxes.script.shown().size(), 1u);
    ASSERT_TRUE(test::waitForFile(src / "first.txt"));
    ASSERT_TRUE(test::waitForFile(src / "second.txt"));
}

TEST_F(Run, AProgramThatEndsWhileABoxIsOpenIsCollectedBeforeTheAnswer)
{
    // The first program ends only once the box is open, when the test lets it.
    writeInf("[Ovalink]\nExecute1=sh -c \"echo $$ > pid.txt; while [ ! -e go ]; do sleep 0.02; "
             "done\"\nExecute2=no-such-prog\n");
    bool endedWhileOpen = false;
    int stillThere = 0;
    boxes.whileShown = [&](std::size_t) {
        ASSERT_TRUE(test::waitForFile(src / "pid.txt"));
        const pid_t pid = std::stoi(readFileBytes(src / "pid.txt"));
        test::writeText(src / "go", "");
        // Wait, without collecting it, until the first program has ended.
        siginfo_t info{};
        for (int i = 0; i < 2000 && info.si_pid != pid; ++i) {
            info = {};
            ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
            std::this_thread::sleep_for(10ms);
        }
        endedWhileOpen = info.si_pid == pid;
        boxes.workWhileOpen();
        // Collected means the child is gone, not a zombie waiting for the box to close.
        info = {};
        stillThere =
            ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == pid;
    };
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(titles(), std::vector<std::string>{"Setup"});
    EXPECT_TRUE(endedWhileOpen);
    EXPECT_EQ(stillThere, 0);
}

TEST(StreamMessageBoxes, PrintsEachBoxAndTakesTheUnattendedAnswer)
{
    std::ostringstream out;
    StreamMessageBoxes boxes(out);
    EXPECT_EQ(boxes.show("copy text", "Copy Failed", Buttons::AbortRetryIgnore, Answer::Ignore),
              Answer::Ignore);
    EXPECT_EQ(boxes.show("run text", "Setup", Buttons::RetryCancel, Answer::Retry), Answer::Cancel);
    EXPECT_EQ(boxes.show("info", "Setup Error", Buttons::Ok, Answer::Ok), Answer::Ok);
    EXPECT_EQ(out.str(), "Copy Failed: copy text\n[Ignore]\nSetup: run text\n[Cancel]\n"
                         "Setup Error: info\n[OK]\n");
}

TEST(Directories, FallBackToTheUsersFolders)
{
    ::unsetenv("WINDIR");
    ::unsetenv("SYSTEMDIR");
    ::setenv("XDG_CONFIG_HOME", "/cfg/", 1);
    ::setenv("HOME", "/home/someone", 1);
    Directories dirs = determineDirectories("/opt/suite/setup");
    EXPECT_EQ(dirs.source, "/opt/suite");
    EXPECT_EQ(dirs.windows, "/cfg");
    EXPECT_EQ(dirs.system, "/home/someone/.local/lib");
    ::unsetenv("XDG_CONFIG_HOME");
    dirs = determineDirectories("/setup");
    EXPECT_EQ(dirs.source, "");
    EXPECT_EQ(dirs.windows, "/home/someone/.config");
}

} // namespace
} // namespace setup
