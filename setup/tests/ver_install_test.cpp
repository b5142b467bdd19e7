#include "ver_install.h"

#include "save_rules.h"
#include "setup_test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace setup {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using suite::test::readFileBytes;

class VerInstall : public ::testing::Test {
protected:
    suite::test::TempDir dir{"setup-verinstall"};
    fs::path src = dir / "src";
    fs::path dst = dir / "dst";
    std::string temp;

    std::uint32_t install(const std::string& srcName = "prog", const std::string& dstName = "prog",
                          std::uint32_t flags = 0)
    {
        return VerInstallFileA(flags, srcName, dstName, src.string() + "/", dst.string() + "/", {},
                               temp);
    }
};

TEST_F(VerInstall, NewFileIsInstalledWithItsPermissionsAndTimeAndNoTemporaryLeft)
{
    test::writeText(src / "prog", "new contents");
    fs::permissions(src / "prog", fs::perms(0750));
    test::setAge(src / "prog", -3600s);

    EXPECT_EQ(install("prog", "renamed"), 0u);
    EXPECT_EQ(readFileBytes(dst / "renamed"), "new contents");
    EXPECT_EQ(fs::status(dst / "renamed").permissions(), fs::perms(0750));
    EXPECT_EQ(fs::last_write_time(dst / "renamed"), fs::last_write_time(src / "prog"));
    EXPECT_TRUE(test::temporaryCopies(dst).empty());
    EXPECT_TRUE(temp.empty());
}

TEST_F(VerInstall, NewerOrEqualSourceReplacesTheInstalledFile)
{
    test::writeText(src / "prog", "version 2");
    test::writeText(dst / "prog", "version 1");
    test::setAge(dst / "prog", -7200s);
    test::setAge(src / "prog", -3600s);
    EXPECT_EQ(install(), 0u);
    EXPECT_EQ(readFileBytes(dst / "prog"), "version 2");

    // Installing the same build again (equal times) replaces it as well.
    test::writeText(dst / "prog", "changed since");
    fs::last_write_time(dst / "prog", fs::last_write_time(src / "prog"));
    EXPECT_EQ(install(), 0u);
    EXPECT_EQ(readFileBytes(dst / "prog"), "version 2");
}

TEST_F(VerInstall, OlderSourceLeavesTheInstalledFileAndHandsBackItsCopy)
{
    test::writeText(src / "prog", "old build");
    test::writeText(dst / "prog", "newer build");
    test::setAge(src / "prog", -7200s);
    test::setAge(dst / "prog", -3600s);

    EXPECT_EQ(install(), VIF_SRCOLD | VIF_TEMPFILE);
    EXPECT_EQ(readFileBytes(dst / "prog"), "newer build");
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(fs::path(temp).parent_path(), dst);
    EXPECT_EQ(readFileBytes(temp), "old build");

    // Forcing installs it anyway.
    EXPECT_EQ(install("prog", "prog", VIFF_FORCEINSTALL), 0u);
    EXPECT_EQ(readFileBytes(dst / "prog"), "old build");
}

TEST_F(VerInstall, VersionResourcesWinOverTimesWhenBothFilesCarryOne)
{
    test::writeText(src / "lib.dll", test::makePeWithVersion(1, 0, 0, 0));
    test::writeText(dst / "lib.dll", test::makePeWithVersion(2, 0, 0, 0));
    test::setAge(dst / "lib.dll", -7200s); // the installed file is older by time ...
    EXPECT_EQ(install("lib.dll", "lib.dll"), VIF_SRCOLD | VIF_TEMPFILE); // ... but newer by version
    ::unlink(temp.c_str());

    test::writeText(src / "lib.dll", test::makePeWithVersion(3, 0, 0, 0));
    test::setAge(src / "lib.dll", -9000s);
    EXPECT_EQ(install("lib.dll", "lib.dll"), 0u);
    EXPECT_EQ(readFileBytes(dst / "lib.dll"), test::makePeWithVersion(3, 0, 0, 0));

    // Only one side with a version: times decide.
    test::writeText(src / "lib.dll", "no resource");
    test::setAge(src / "lib.dll", -99999s);
    EXPECT_EQ(install("lib.dll", "lib.dll"), VIF_SRCOLD | VIF_TEMPFILE);
}

TEST_F(VerInstall, RunningProgramIsInUseAndStays)
{
    // A copy of a real program, started from the destination, is busy for writing.
    fs::create_directories(dst);
    fs::copy_file("/bin/sleep", dst / "prog");
    test::setAge(dst / "prog", -7200s);
    test::writeText(src / "prog", "replacement");
    const std::string program = (dst / "prog").string();
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("30"), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ), 0);
    // The kernel marks the file busy once exec has mapped it; wait for that.
    for (int i = 0; i < 500 && readFileBytes("/proc/" + std::to_string(pid) + "/comm") != "prog\n";
         ++i)
        std::this_thread::sleep_for(10ms);

    const std::uint32_t result = install();
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(result, VIF_FILEINUSE | VIF_TEMPFILE);
    EXPECT_EQ(readFileBytes(temp), "replacement");
    EXPECT_EQ(readFileBytes(dst / "prog"), readFileBytes("/bin/sleep"));
}

TEST_F(VerInstall, FailuresReportTheirFlagAndRemoveTheCopy)
{
    fs::create_directories(src);
    fs::create_directories(dst);
    EXPECT_EQ(install("missing", "x"), VIF_CANNOTREADSRC);
    EXPECT_EQ(install("", "x"), VIF_CANNOTREADSRC);
    fs::create_directories(src / "folder");
    EXPECT_EQ(install("folder", "x"), VIF_CANNOTREADSRC);
    // A pipe with no writer would block a plain open for ever.
    ASSERT_EQ(::mkfifo((src / "pipe").c_str(), 0644), 0);
    EXPECT_EQ(install("pipe", "x"), VIF_CANNOTREADSRC);

    test::writeText(src / "prog", "data");
    EXPECT_EQ(install("prog", ""), VIF_CANNOTCREATE);

    // A file stands where the destination folder should be created.
    test::writeText(dst / "blocker", "file");
    EXPECT_EQ(install("prog", "blocker/prog"), VIF_CANNOTCREATE);

    fs::create_directories(dst / "is-a-folder");
    EXPECT_EQ(install("prog", "is-a-folder"), VIF_CANNOTDELETECUR);
    EXPECT_TRUE(fs::is_directory(dst / "is-a-folder"));

    test::writeText(dst / "readonly", "keep");
    test::setAge(dst / "readonly", -7200s);
    fs::permissions(dst / "readonly", fs::perms(0444));
    EXPECT_EQ(install("prog", "readonly"), VIF_WRITEPROT);
    EXPECT_EQ(readFileBytes(dst / "readonly"), "keep");

    EXPECT_TRUE(temp.empty());
    EXPECT_TRUE(test::temporaryCopies(dst).empty());
}

TEST_F(VerInstall, ReplacingKeepsTheInstalledFilesLinkAndPermissions)
{
    test::writeText(src / "prog", "version 2");
    fs::permissions(src / "prog", fs::perms(0755));
    fs::create_directories(dir / "elsewhere");
    fs::create_directories(dst);
    test::writeText(dir / "elsewhere" / "prog", "version 1");
    fs::permissions(dir / "elsewhere" / "prog", fs::perms(0700));
    test::setAge(dir / "elsewhere" / "prog", -7200s);
    fs::create_symlink("../elsewhere/prog", dst / "prog");

    EXPECT_EQ(install(), 0u);
    EXPECT_TRUE(fs::is_symlink(dst / "prog"));
    EXPECT_EQ(readFileBytes(dir / "elsewhere" / "prog"), "version 2");
    EXPECT_EQ(fs::status(dir / "elsewhere" / "prog").permissions(), fs::perms(0700));
    EXPECT_TRUE(test::temporaryCopies(dst).empty());
    EXPECT_TRUE(test::temporaryCopies(dir / "elsewhere").empty());
}

TEST_F(VerInstall, AFileInAFolderThatIsNotWritableIsOverwrittenInPlace)
{
    SUITE_EXPECT_AS_ORDINARY_USER([] {
        suite::test::ScratchFolder folder;
        const fs::path from = folder.path() / "src";
        const fs::path to = folder.path() / "dst";
        fs::create_directories(from);
        fs::create_directories(to);
        suite::test::putFile(from / "prog", "new", 0644);
        suite::test::putFile(to / "prog", "the old longer one", 0644);
        test::setAge(to / "prog", -7200s);
        ::chmod(to.c_str(), 0555);
        std::string failures, temp;
        const auto result =
            VerInstallFileA(0, "prog", "prog", from.string() + "/", to.string() + "/", {}, temp);
        if (result != 0)
            failures += "install failed with " + std::to_string(result) + "\n";
        if (suite::test::fileText(to / "prog") != "new")
            failures += "the installed file holds \"" + suite::test::fileText(to / "prog") + "\"\n";
        // An older source still leaves the installed file alone, with no copy to delete.
        suite::test::putFile(from / "prog", "older", 0644);
        test::setAge(from / "prog", -9000s);
        if (VerInstallFileA(0, "prog", "prog", from.string() + "/", to.string() + "/", {}, temp) !=
                VIF_SRCOLD ||
            !temp.empty())
            failures += "an older source was not reported as older\n";
        if (suite::test::fileText(to / "prog") != "new")
            failures += "an older source replaced the file\n";
        return failures;
    });
}

TEST_F(VerInstall, AFileTheInstallerMayNotWriteIsWriteProtected)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to leave a file owned by another user";
    // Root's file in a folder anyone may write: the folder would allow a rename over it,
    // but the file itself is not the installer's to replace.
    suite::test::ScratchFolder folder;
    const fs::path from = folder.path() / "src";
    const fs::path to = folder.path() / "dst";
    fs::create_directories(from);
    fs::create_directories(to);
    ::chmod(folder.path().c_str(), 0755);
    suite::test::putFile(from / "prog", "new", 0644);
    suite::test::putFile(to / "prog", "root's", 0644);
    test::setAge(to / "prog", -7200s);
    ::chmod(to.c_str(), 0777);
    SUITE_EXPECT_AS_ORDINARY_USER([&] {
        std::string temp;
        const auto result =
            VerInstallFileA(0, "prog", "prog", from.string() + "/", to.string() + "/", {}, temp);
        return result == VIF_WRITEPROT && temp.empty()
                   ? std::string()
                   : "install gave " + std::to_string(result) + "\n";
    });
    EXPECT_EQ(readFileBytes(to / "prog"), "root's");
    EXPECT_TRUE(test::temporaryCopies(to).empty());
}

TEST_F(VerInstall, CreatesMissingDestinationFoldersAndAcceptsSubpaths)
{
    test::writeText(src / "help" / "index.html", "<html></html>");
    EXPECT_EQ(VerInstallFileA(0, "help/index.html", "index.html", src.string() + "/",
                              (dst / "a" / "b").string() + "/", {}, temp),
              0u);
    EXPECT_EQ(readFileBytes(dst / "a" / "b" / "index.html"), "<html></html>");
}

TEST_F(VerInstall, ADestinationThatIsAPipeIsReplacedWithoutOpeningIt)
{
    test::writeText(src / "prog", "program");
    fs::create_directories(dst);
    ASSERT_EQ(::mkfifo((dst / "prog").c_str(), 0644), 0);
    test::setAge(dst / "prog", -7200s);
    EXPECT_EQ(install(), 0u);
    EXPECT_EQ(readFileBytes(dst / "prog"), "program");
}

TEST_F(VerInstall, InstallingAFileOntoItselfKeepsItsContents)
{
    test::writeText(src / "prog", "same file");
    EXPECT_EQ(VerInstallFileA(0, "prog", "prog", src.string() + "/", src.string() + "/", {}, temp),
              0u);
    EXPECT_EQ(readFileBytes(src / "prog"), "same file");
    EXPECT_TRUE(test::temporaryCopies(src).empty());
}

// Writers no regular file gives on demand, for the copy loop.
int writeCalls = 0;
ssize_t oneByteAtATime(int fd, const void* data, std::size_t size)
{
    ++writeCalls;
    return ::write(fd, data, size == 0 ? 0 : 1);
}
// Takes nothing for a while, then everything: a loop that counts a zero write as progress
// spins through the zeros and reports success.
ssize_t takesNothing(int fd, const void* data, std::size_t size)
{
    return ++writeCalls <= 1000 ? 0 : ::write(fd, data, size);
}

TEST_F(VerInstall, CopyLoopFinishesShortWritesAndFailsOnAWriteThatTakesNothing)
{
    test::writeText(src / "prog", "short writes add up");
    fs::create_directories(dst);
    const auto copy = [&](detail::WriteCall write) {
        const int in = ::open((src / "prog").c_str(), O_RDONLY | O_CLOEXEC);
        const int out =
            ::open((dst / "copy").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        EXPECT_GE(in, 0);
        EXPECT_GE(out, 0);
        writeCalls = 0;
        const std::uint32_t result = detail::copyContents(in, out, write);
        ::close(in);
        ::close(out);
        return result;
    };
    EXPECT_EQ(copy(oneByteAtATime), 0u);
    EXPECT_EQ(writeCalls, 19);
    EXPECT_EQ(readFileBytes(dst / "copy"), "short writes add up");

    // Out of space, which the installer shows as a file it could not copy.
    EXPECT_EQ(copy(takesNothing), VIF_OUTOFSPACE);
    EXPECT_EQ(writeCalls, 1);
    EXPECT_EQ(readFileBytes(dst / "copy"), "");
}

} // namespace
} // namespace setup
