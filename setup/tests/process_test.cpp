#include "process.h"

#include "setup_test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

namespace setup {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

TEST(SplitCommandLine, BlanksSeparateAndQuotesGroup)
{
    EXPECT_EQ(splitCommandLine(""), Args{});
    EXPECT_EQ(splitCommandLine("  \t "), Args{});
    EXPECT_EQ(splitCommandLine("prog"), Args{"prog"});
    EXPECT_EQ(splitCommandLine("  prog  a\tb  "), (Args{"prog", "a", "b"}));
    EXPECT_EQ(splitCommandLine("prog \"a b\" c\"d e\"f \"\""), (Args{"prog", "a b", "cd ef", ""}));
    EXPECT_EQ(splitCommandLine("prog \"unterminated arg"), (Args{"prog", "unterminated arg"}));
}

TEST(SplitCommandLine, BackslashesCountOnlyBeforeAQuote)
{
    EXPECT_EQ(splitCommandLine(R"(prog a\b c\\d)"), (Args{"prog", R"(a\b)", R"(c\\d)"}));
    EXPECT_EQ(splitCommandLine(R"(prog \"x\")"), (Args{"prog", R"("x")"}));
    EXPECT_EQ(splitCommandLine(R"(prog a\\"b c" d)"), (Args{"prog", R"(a\b c)", "d"}));
    EXPECT_EQ(splitCommandLine(R"(prog a\\\"b)"), (Args{"prog", R"(a\"b)"}));
    EXPECT_EQ(splitCommandLine(R"(prog "trailing\\" x)"), (Args{"prog", R"(trailing\)", "x"}));
    EXPECT_EQ(splitCommandLine(R"(prog "a""b" c)"), (Args{"prog", R"(a"b)", "c"}));
}

TEST(SplitCommandLine, ProgramNameKeepsBackslashesAndDropsQuotes)
{
    EXPECT_EQ(splitCommandLine(R"("C:\Program Files\x.exe" -a)"),
              (Args{R"(C:\Program Files\x.exe)", "-a"}));
    EXPECT_EQ(splitCommandLine(R"(dir\\"sub dir"\prog arg)"),
              (Args{R"(dir\\sub dir\prog)", "arg"}));
}

class Process : public ::testing::Test {
protected:
    suite::test::TempDir dir{"setup-process"};
    ProgramSearch search{(dir / "src").string(), (dir / "sys").string(), (dir / "win").string()};

    void makeProgram(const fs::path& file, const std::string& script)
    {
        test::writeText(file, "#!/bin/sh\n" + script + "\n");
        fs::permissions(file, fs::perms(0755));
    }
};

TEST_F(Process, BareNamesAreFoundInSourceSystemAndWindowsFolderBeforePath)
{
    makeProgram(dir / "win" / "tool", "true");
    EXPECT_EQ(resolveProgram("tool", search), (dir / "win" / "tool").string());
    makeProgram(dir / "sys" / "tool", "true");
    EXPECT_EQ(resolveProgram("tool", search), (dir / "sys" / "tool").string());
    makeProgram(dir / "src" / "tool", "true");
    EXPECT_EQ(resolveProgram("tool", search), (dir / "src" / "tool").string());

    // A file that cannot be run is passed over.
    test::writeText(dir / "src" / "sh", "not a program");
    EXPECT_NE(resolveProgram("sh", search), (dir / "src" / "sh").string());
    EXPECT_FALSE(resolveProgram("sh", search).empty());

    EXPECT_EQ(resolveProgram("no-such-program-anywhere", search), "");
    EXPECT_EQ(resolveProgram("", search), "");
}

TEST_F(Process, NamesWithADirectoryAreTakenAsTheyAre)
{
    EXPECT_EQ(resolveProgram("/bin/sh", search), "/bin/sh");
    EXPECT_EQ(resolveProgram("\\bin\\sh", search), "/bin/sh");
    EXPECT_EQ(resolveProgram("sub\\prog", search), fs::current_path().string() + "/sub/prog");
}

TEST_F(Process, StartedProgramRunsInTheWorkingDirectoryWithItsArguments)
{
    fs::create_directories(dir / "work");
    ChildReaper reaper;
    const StartResult started =
        startProgram(R"(sh -c "pwd > out.txt; echo \"$0\" >> out.txt" "two words")",
                     (dir / "work").string(), search);
    ASSERT_GT(started.pid, 0) << started.error;
    reaper.adopt(started.pid);
    ASSERT_TRUE(test::waitForFile(dir / "work" / "out.txt"));
    int status = 0;
    ASSERT_EQ(::waitpid(started.pid, &status, 0), started.pid);
    EXPECT_EQ(suite::test::readFileBytes(dir / "work" / "out.txt"),
              fs::canonical(dir / "work").string() + "\ntwo words\n");
}

TEST_F(Process, ProgramFoundThroughARelativePathEntryStartsFromAnotherWorkingDirectory)
{
    makeProgram(dir / "tools" / "relative-tool", "pwd > from-tool.txt");
    fs::create_directories(dir / "work");
    const std::string relative = fs::relative(dir / "tools", fs::current_path()).string();
    ASSERT_NE(relative.front(), '/');
    const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (relative + ":" + savedPath).c_str(), 1);
    const std::string resolved = resolveProgram("relative-tool", search);
    const StartResult started = startProgram("relative-tool", (dir / "work").string(), search);
    ::setenv("PATH", savedPath.c_str(), 1);

    ASSERT_EQ(resolved.front(), '/');
    EXPECT_EQ(fs::canonical(resolved), fs::canonical(dir / "tools" / "relative-tool"));
    ASSERT_GT(started.pid, 0) << started.error;
    ASSERT_EQ(::waitpid(started.pid, nullptr, 0), started.pid);
    EXPECT_EQ(suite::test::readFileBytes(dir / "work" / "from-tool.txt"),
              fs::canonical(dir / "work").string() + "\n");
}

TEST_F(Process, StartedProgramInheritsOnlyTheStandardDescriptors)
{
    // A descriptor deliberately left inheritable, as a library might leave one.
    const int open = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(open, 3);
    const StartResult started =
        startProgram("sh -c \"ls /proc/self/fd > fds.txt\"", dir.path(), search);
    ::close(open);
    ASSERT_GT(started.pid, 0);
    ASSERT_EQ(::waitpid(started.pid, nullptr, 0), started.pid);
    // 0, 1, 2 and the one ls itself opens to read the listing; a leaked descriptor would
    // push that one up or appear on its own.
    std::istringstream listing(suite::test::readFileBytes(dir / "fds.txt"));
    std::vector<int> fds;
    for (int fd; listing >> fd;)
        fds.push_back(fd);
    EXPECT_EQ(fds, (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(Process, ProgramBesideASetupInTheRootDirectoryStartsInTheRoot)
{
    // Setup in "/" holds its source directory as "", which must not make every start fail.
    const std::string marker = (dir / "root-pwd.txt").string();
    const StartResult started = startProgram("sh -c \"pwd > '" + marker + "'\"", "", search);
    ASSERT_GT(started.pid, 0) << started.error;
    ASSERT_EQ(::waitpid(started.pid, nullptr, 0), started.pid);
    EXPECT_EQ(suite::test::readFileBytes(marker), "/\n");
}

TEST_F(Process, FailuresReportTheirCause)
{
    EXPECT_EQ(startProgram("no-such-program-anywhere", dir.path(), search).error, ENOENT);
    EXPECT_EQ(startProgram("   ", dir.path(), search).error, ENOENT);
    EXPECT_NE(startProgram("sh -c true", (dir / "missing-folder").string(), search).error, 0);
    test::writeText(dir / "src" / "notexec", "plain text");
    EXPECT_NE(startProgram((dir / "src" / "notexec").string(), dir.path(), search).error, 0);
}

TEST_F(Process, ReaperCollectsEndedChildrenWithoutWaitingForRunningOnes)
{
    ChildReaper reaper;
    const StartResult quick = startProgram("sh -c \"exit 3\"", dir.path(), search);
    const StartResult slow = startProgram("sleep 30", dir.path(), search);
    ASSERT_GT(quick.pid, 0);
    ASSERT_GT(slow.pid, 0);
    reaper.adopt(quick.pid);
    reaper.adopt(slow.pid);

    // The quick child ends on its own; reaping it must leave no zombie behind.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (reaper.pending() > 1 && std::chrono::steady_clock::now() < deadline) {
        reaper.reap();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(reaper.pending(), 1u);
    EXPECT_EQ(::waitpid(quick.pid, nullptr, WNOHANG), -1); // already collected
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(::waitpid(slow.pid, nullptr, WNOHANG), 0); // still running, not waited for

    ::kill(slow.pid, SIGKILL);
    ::waitpid(slow.pid, nullptr, 0);
    reaper.reap();
    EXPECT_EQ(reaper.pending(), 0u);
}

} // namespace
} // namespace setup
