#include "save_file.h"

#include "save_rules.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using suite::saveFile;
using suite::test::entriesIn;
using suite::test::Failures;
using suite::test::fileText;
using suite::test::modeOf;
using suite::test::putFile;
using suite::test::ScratchFolder;

TEST(SaveFile, NewFilesAndReplacedFilesLeaveNoScratchFile)
{
    ScratchFolder folder;
    const mode_t mask = ::umask(022);
    const auto file = folder.path() / "a.dat";
    EXPECT_TRUE(saveFile(file.string(), "one"));
    EXPECT_EQ(fileText(file), "one");
    EXPECT_EQ(modeOf(file), 0644u) << "a new file gets 0666 less the umask";
    EXPECT_TRUE(saveFile(file.string(), "a longer second text"));
    EXPECT_EQ(fileText(file), "a longer second text");
    EXPECT_TRUE(saveFile(file.string(), ""));
    EXPECT_EQ(fileText(file), "");
    EXPECT_EQ(entriesIn(folder.path()), 1u);
    ::umask(mask);
}

TEST(SaveFile, KeepsPermissions)
{
    ScratchFolder folder;
    for (mode_t mode : {0600u, 0640u, 0755u}) {
        const auto file = folder.path() / ("m" + std::to_string(mode));
        putFile(file, "old", mode);
        EXPECT_TRUE(saveFile(file.string(), "new"));
        EXPECT_EQ(modeOf(file), mode);
        EXPECT_EQ(fileText(file), "new");
    }
}

TEST(SaveFile, ALinkStaysALinkAndItsFileGetsTheBytes)
{
    ScratchFolder folder;
    const auto dots = folder.path() / "dotfiles";
    const auto home = folder.path() / "home";
    fs::create_directory(dots);
    fs::create_directory(home);
    putFile(dots / "settings", "old", 0640);
    fs::create_symlink("../dotfiles/settings", home / "settings");
    fs::create_symlink(home / "settings", home / "chain");
    fs::create_symlink(dots / "later", home / "dangling");

    EXPECT_TRUE(saveFile((home / "settings").string(), "via link"));
    EXPECT_TRUE(fs::is_symlink(home / "settings"));
    EXPECT_EQ(fileText(dots / "settings"), "via link");
    EXPECT_EQ(modeOf(dots / "settings"), 0640u);

    EXPECT_TRUE(saveFile((home / "chain").string(), "via chain"));
    EXPECT_TRUE(fs::is_symlink(home / "chain"));
    EXPECT_EQ(fileText(dots / "settings"), "via chain");

    EXPECT_TRUE(saveFile((home / "dangling").string(), "made"));
    EXPECT_TRUE(fs::is_symlink(home / "dangling"));
    EXPECT_EQ(fileText(dots / "later"), "made");

    EXPECT_EQ(entriesIn(dots), 2u);
    EXPECT_EQ(entriesIn(home), 3u);

    fs::create_symlink("loop2", home / "loop1");
    fs::create_symlink("loop1", home / "loop2");
    std::string error;
    EXPECT_FALSE(saveFile((home / "loop1").string(), "x", &error));
    EXPECT_EQ(errno, ELOOP);
    EXPECT_FALSE(error.empty());
}

TEST(SaveFile, NamesUpToTheLimitAreSaved)
{
    ScratchFolder folder;
    for (std::size_t length : {std::size_t{NAME_MAX} - 7, std::size_t{NAME_MAX}}) {
        const auto file = folder.path() / std::string(length, 'n');
        EXPECT_TRUE(saveFile(file.string(), "long")) << length;
        EXPECT_EQ(fileText(file), "long");
        EXPECT_TRUE(saveFile(file.string(), "again")) << length;
        EXPECT_EQ(fileText(file), "again");
    }
    EXPECT_EQ(entriesIn(folder.path()), 2u);
}

TEST(SaveFile, FoldersMissingFoldersAndDevicesAreRefused)
{
    ScratchFolder folder;
    fs::create_directory(folder.path() / "folder");
    std::string error;
    EXPECT_FALSE(saveFile((folder.path() / "folder").string(), "x", &error));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_NE(error.find("folder"), std::string::npos) << error;
    EXPECT_FALSE(saveFile((folder.path() / "missing" / "a.dat").string(), "x"));
    EXPECT_EQ(errno, ENOENT);
    ASSERT_EQ(::mkfifo((folder.path() / "pipe").c_str(), 0600), 0);
    EXPECT_FALSE(saveFile((folder.path() / "pipe").string(), "x"));
    EXPECT_TRUE(fs::is_fifo(folder.path() / "pipe")) << "the pipe must not be replaced";
    EXPECT_EQ(entriesIn(folder.path()), 2u);
    EXPECT_EQ(entriesIn(folder.path() / "folder"), 0u);
}

TEST(SaveFile, AReadOnlyFileIsRefusedAndKept)
{
    SUITE_EXPECT_AS_ORDINARY_USER([] {
        Failures f;
        ScratchFolder folder;
        putFile(folder.path() / "r.dat", "keep me", 0444);
        std::string error;
        f.expect(!saveFile((folder.path() / "r.dat").string(), "lost", &error),
                 "a read-only file is refused");
        f.expect(errno == EACCES, "the refusal says the access was denied");
        f.expect(!error.empty(), "the refusal has a reason");
        f.expect(fileText(folder.path() / "r.dat") == "keep me",
                 "a read-only file keeps its bytes");
        f.expect(modeOf(folder.path() / "r.dat") == 0444, "a read-only file keeps its permissions");
        f.expect(entriesIn(folder.path()) == 1, "a refused save leaves no scratch file");
        return f.text();
    });
}

TEST(SaveFile, AWritableFileInAFolderThatIsNotWritableIsWrittenInPlace)
{
    SUITE_EXPECT_AS_ORDINARY_USER([] {
        Failures f;
        ScratchFolder folder;
        const auto dir = folder.path() / "locked";
        fs::create_directory(dir);
        putFile(dir / "w.dat", "0123456789", 0640);
        ::chmod(dir.c_str(), 0555);
        f.expect(saveFile((dir / "w.dat").string(), "short"), "a shorter text is saved in place");
        f.expect(fileText(dir / "w.dat") == "short", "the in-place save leaves exactly the bytes");
        f.expect(saveFile((dir / "w.dat").string(), "a much longer text than before"),
                 "a longer text is saved in place");
        f.expect(fileText(dir / "w.dat") == "a much longer text than before", "grown in place");
        f.expect(modeOf(dir / "w.dat") == 0640, "the file keeps its permissions");
        f.expect(!saveFile((dir / "new.dat").string(), "x"), "no new file in a locked folder");
        ::chmod(dir.c_str(), 0755);
        f.expect(entriesIn(dir) == 1, "the locked folder holds only its file");
        return f.text();
    });
}

TEST(OverwriteInPlace, EndsTheFileWhereTheWriterStopped)
{
    ScratchFolder folder;
    const auto file = folder.path() / "f";
    putFile(file, "a long old content", 0644);
    EXPECT_TRUE(suite::overwriteInPlace(file.string(), 3,
                                        [](int fd) { return suite::writeAll(fd, "new"); }));
    EXPECT_EQ(fileText(file), "new");
    // A writer that fails reports the failure.
    EXPECT_FALSE(suite::overwriteInPlace(file.string(), 3, [](int) {
        errno = EIO;
        return false;
    }));
    EXPECT_EQ(errno, EIO);
    // Never through a link, never a folder.
    fs::create_symlink(file, folder.path() / "link");
    EXPECT_FALSE(suite::overwriteInPlace((folder.path() / "link").string(), 1,
                                         [](int fd) { return suite::writeAll(fd, "x"); }));
    EXPECT_EQ(fileText(file), "new");
}

} // namespace
