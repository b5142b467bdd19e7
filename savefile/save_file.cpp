#include "save_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace suite {

namespace {

bool failWith(std::string* error, const std::string& what, int code)
{
    if (error)
        *error = what + ": " + std::strerror(code);
    errno = code;
    return false;
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes a new file beside `target` whose name fits the folder's name limit however long the
// target's own name is. 0666 lets the umask decide, as for any newly created file.
int createScratch(const std::string& target, std::string& scratch)
{
    static std::atomic<unsigned> counter{0};
    const std::string folder = folderOf(target);
    const auto slash = target.rfind('/');
    const std::string base = target.substr(slash == std::string::npos ? 0 : slash + 1);
    long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0)
        nameMax = NAME_MAX;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        const std::string tag =
            "." + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) + "-" +
            std::to_string(static_cast<unsigned long long>(now) % 100000) + ".tmp";
        const std::size_t limit = static_cast<std::size_t>(nameMax);
        const std::size_t room = limit > tag.size() + 1 ? limit - tag.size() - 1 : 0;
        scratch = (folder == "/" ? "/" : folder + "/") + "." + base.substr(0, room) + tag;
        const int fd = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

bool writeAll(int fd, std::string_view bytes)
{
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

bool resolveLinks(std::string& path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return true;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0)
            return false;
        if (static_cast<std::size_t>(n) >= target.size()) {
            errno = ENAMETOOLONG;
            return false;
        }
        target.resize(static_cast<std::size_t>(n));
        path = target.starts_with('/') ? target : folderOf(path) + "/" + target;
    }
    errno = ELOOP;
    return false;
}

bool keepOwnerAndMode(int fd, const struct stat& old)
{
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 &&
        ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
        // Not ours to give away: the file becomes the saver's, as any new file would.
    }
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

bool overwriteInPlace(const std::string& target, off_t size,
                      const std::function<bool(int fd)>& write)
{
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int code = S_ISREG(info.st_mode) ? errno : EINVAL;
        ::close(fd);
        errno = code;
        return false;
    }
    if (size > info.st_size) {
        const int reserved = ::posix_fallocate(fd, 0, size);
        if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
            ::close(fd);
            errno = reserved;
            return false;
        }
    }
    bool ok = write(fd);
    if (ok) {
        const off_t end = ::lseek(fd, 0, SEEK_CUR);
        ok = end >= 0 && ::ftruncate(fd, end) == 0 && ::fsync(fd) == 0;
    }
    const int code = errno;
    if (::close(fd) != 0 && ok)
        return false;
    errno = code;
    return ok;
}

bool saveFile(const std::string& requestedPath, std::string_view bytes, std::string* error)
{
    std::string target = requestedPath;
    if (!resolveLinks(target))
        return failWith(error, target, errno);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        return failWith(error, target, errno);
    if (exists) {
        if (S_ISDIR(old.st_mode))
            return failWith(error, target, EISDIR);
        // Renaming over a device or a pipe would replace the node itself.
        if (!S_ISREG(old.st_mode))
            return failWith(error, target, EINVAL);
        // The folder's permission would let a rename replace a file its owner made
        // read-only; the file's own permission is the one that counts.
        if (::access(target.c_str(), W_OK) != 0)
            return failWith(error, target, errno);
    }
    std::string scratch;
    const int fd = createScratch(target, scratch);
    if (fd < 0) {
        const int code = errno;
        if (exists && (code == EACCES || code == EPERM)) {
            const auto size = static_cast<off_t>(bytes.size());
            if (overwriteInPlace(target, size, [bytes](int out) { return writeAll(out, bytes); }))
                return true;
            return failWith(error, target, errno);
        }
        return failWith(error, scratch.empty() ? target : scratch, code);
    }
    const auto discard = [&](int code, const std::string& what) {
        ::unlink(scratch.c_str());
        return failWith(error, what, code);
    };
    if (exists && !keepOwnerAndMode(fd, old)) {
        const int code = errno;
        ::close(fd);
        return discard(code, scratch);
    }
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0) {
        const int code = errno;
        ::close(fd);
        return discard(code, scratch);
    }
    if (::close(fd) != 0)
        return discard(errno, scratch);
    if (::rename(scratch.c_str(), target.c_str()) != 0)
        return discard(errno, target);
    return true;
}

} // namespace suite
