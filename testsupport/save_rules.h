#pragma once
// Helpers for tests of saving files. Checks that depend on file permissions only mean something
// for an ordinary user (root may write any file), so they run in a child process that drops to
// the user "nobody" when the tests run as root.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace suite::test {

// Runs `check` as an ordinary user and returns what it reports ("" when every check passed).
// Empty optional when the tests run as root and cannot become "nobody" (the caller skips).
inline std::optional<std::string> runAsOrdinaryUser(const std::function<std::string()>& check)
{
    if (::geteuid() != 0)
        return check();
    int channel[2];
    if (::pipe(channel) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        ::close(channel[0]);
        constexpr uid_t nobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
            ::_exit(3);
        const std::string report = check();
        const ssize_t written = ::write(channel[1], report.data(), report.size());
        ::_exit(written == static_cast<ssize_t>(report.size()) ? 0 : 4);
    }
    ::close(channel[1]);
    std::string report;
    char buffer[4096];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        report.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(channel[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 3)
        return std::nullopt;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        report += "\nthe checking process ended abnormally (status " + std::to_string(status) + ")";
    return report;
}

// A folder of its own in /tmp, which the ordinary user can use too; removed at the end.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::string name = (std::filesystem::temp_directory_path() / "suite-save-XXXXXX").string();
        if (::mkdtemp(name.data()))
            path_ = name;
    }
    ~ScratchFolder()
    {
        std::error_code ec;
        // Sub-folders a check made read-only must open again before they can be emptied.
        for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (it->is_directory(ec) && !it->is_symlink(ec))
                ::chmod(it->path().c_str(), 0700);
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::string fileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void putFile(const std::filesystem::path& path, const std::string& text, mode_t mode)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    ::chmod(path.c_str(), mode);
}

inline mode_t modeOf(const std::filesystem::path& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

inline std::size_t entriesIn(const std::filesystem::path& folder)
{
    std::error_code ec;
    std::size_t n = 0;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        ++n;
    return n;
}

// Collects the failed expectations of a check that runs in another process, one a line.
class Failures {
public:
    void expect(bool ok, const std::string& what)
    {
        if (!ok)
            text_ += what + "\n";
    }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

} // namespace suite::test

// Runs `check` (a callable returning the failures, "" when all passed) as an ordinary user and
// expects no failures; skips the test, saying why, when the tests run as root and cannot drop
// to the user "nobody".
#define SUITE_EXPECT_AS_ORDINARY_USER(...)                                                         \
    do {                                                                                           \
        const auto suiteReport = ::suite::test::runAsOrdinaryUser(__VA_ARGS__);                    \
        if (!suiteReport)                                                                          \
            GTEST_SKIP() << "needs an ordinary user (root may write any file) and, running as "    \
                            "root, cannot become the user nobody";                                 \
        EXPECT_EQ(*suiteReport, "");                                                               \
    } while (0)
