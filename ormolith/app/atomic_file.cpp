#include "atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ormolith {

namespace {

bool failWith(std::string* error, const std::string& what)
{
    if (error)
        *error = what + ": " + std::strerror(errno);
    return false;
}

} // namespace

bool writeFileAtomically(const std::string& requestedPath, const std::string& bytes,
                         std::string* error)
{
    // Saving through a symbolic link replaces the file it points to: renaming over the link
    // itself would cut it off and leave the linked file with the old content.
    std::string path = requestedPath;
    std::error_code ec;
    if (std::filesystem::is_symlink(requestedPath, ec)) {
        const std::filesystem::path target = std::filesystem::weakly_canonical(requestedPath, ec);
        if (!ec)
            path = target.string();
    }
    static std::atomic<unsigned> counter{0};
    const std::string temp =
        path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
    // 0666 lets the umask decide, as for any newly created file.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return failWith(error, temp);
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode)) {
            ::close(fd);
            ::unlink(temp.c_str());
            errno = EISDIR;
            return failWith(error, path);
        }
        ::fchmod(fd, old.st_mode & 07777); // replacing a file keeps its permissions
    }
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int saved = errno;
            ::close(fd);
            ::unlink(temp.c_str());
            errno = saved;
            return failWith(error, temp);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    const bool synced = ::fsync(fd) == 0;
    int saved = errno;
    const bool closed = ::close(fd) == 0;
    if (!synced || !closed) {
        if (!closed)
            saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        return failWith(error, temp);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        return failWith(error, path);
    }
    return true;
}

} // namespace ormolith
