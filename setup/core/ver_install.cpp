#include "ver_install.h"

#include "pe_version.h"
#include <save_file.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace setup {
namespace {

namespace fs = std::filesystem;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Closing can report a write error that the writes themselves did not.
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

std::uint32_t writeFailure(int error)
{
    return error == ENOSPC || error == EDQUOT ? VIF_OUTOFSPACE : VIF_CANNOTCREATE;
}

bool olderThan(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// A regular file that the kernel refuses to open for writing with ETXTBSY is a running program.
bool isRunningProgram(const fs::path& file)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    return errno == ETXTBSY;
}

} // namespace

std::uint32_t detail::copyContents(int in, int out, WriteCall write)
{
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got == 0)
            return 0;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return VIF_CANNOTREADSRC;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = write(out, buffer + done, static_cast<std::size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return writeFailure(errno);
            }
            // A write that takes nothing would take nothing again: the medium is as good as
            // full, and trying on would never end.
            if (put == 0)
                return VIF_OUTOFSPACE;
            done += put;
        }
    }
}

std::uint32_t VerInstallFileA(std::uint32_t flags, const std::string& srcFileName,
                              const std::string& destFileName, const std::string& srcDir,
                              const std::string& destDir, const std::string& /*curDir*/,
                              std::string& tempFile)
{
    tempFile.clear();
    if (srcFileName.empty())
        return VIF_CANNOTREADSRC;
    if (destFileName.empty())
        return VIF_CANNOTCREATE;
    const fs::path source = srcDir + srcFileName;
    // An installed file kept elsewhere behind a symbolic link stays linked: the file the link
    // names is the one replaced.
    std::string destName = destDir + destFileName;
    if (!suite::resolveLinks(destName))
        return VIF_CANNOTCREATE;
    const fs::path dest = destName;

    // Opened without blocking, so a source that names a pipe is refused instead of waiting
    // forever for a writer; only regular files are installed.
    FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat sourceInfo {};
    if (in.get() < 0)
        return errno == ENOMEM ? VIF_OUTOFMEMORY : VIF_CANNOTREADSRC;
    if (::fstat(in.get(), &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode))
        return VIF_CANNOTREADSRC;

    // An installer normally brings its own folder; the Windows service needed it to exist.
    std::error_code error;
    fs::create_directories(dest.parent_path(), error);
    if (error)
        return VIF_CANNOTCREATE;

    struct stat destInfo {};
    const bool destExists = ::stat(dest.c_str(), &destInfo) == 0;
    if (destExists && S_ISDIR(destInfo.st_mode))
        return VIF_CANNOTDELETECUR;
    // Read-only counts even for root, as the read-only attribute did; a file another user owns
    // is as closed to us as one marked read-only.
    const bool destWriteProtected =
        destExists && S_ISREG(destInfo.st_mode) &&
        (!(destInfo.st_mode & 0222) || ::access(dest.c_str(), W_OK) != 0);
    const auto sourceIsOlder = [&](const fs::path& copy) {
        const auto sourceVersion = peFileVersionOf(copy);
        // Only a regular file is opened: reading a pipe or a device could block or consume.
        const auto destVersion = S_ISREG(destInfo.st_mode) ? peFileVersionOf(dest) : std::nullopt;
        return sourceVersion && destVersion ? *sourceVersion < *destVersion
                                            : olderThan(sourceInfo.st_mtim, destInfo.st_mtim);
    };

    // The copy goes beside the destination so that the final rename stays on one file system
    // and either replaces the installed file completely or not at all.
    std::string name = (dest.parent_path() / "VERXXXXXX").string();
    FileDescriptor out(::mkostemp(name.data(), O_CLOEXEC));
    if (out.get() < 0) {
        const int code = errno;
        // A folder we may not write can still hold an installed file we may: then the file
        // is overwritten in place, as the only way left, after the same checks.
        if (!destExists || !S_ISREG(destInfo.st_mode) || (code != EACCES && code != EPERM))
            return writeFailure(code);
        if (!(flags & VIFF_FORCEINSTALL) && sourceIsOlder(source))
            return VIF_SRCOLD;
        if (isRunningProgram(dest))
            return VIF_FILEINUSE;
        if (destWriteProtected)
            return VIF_WRITEPROT;
        std::uint32_t copyResult = 0;
        const bool written =
            suite::overwriteInPlace(dest.string(), sourceInfo.st_size, [&](int fd) {
                copyResult = ::lseek(in.get(), 0, SEEK_SET) == 0
                                 ? detail::copyContents(in.get(), fd, ::write)
                                 : VIF_CANNOTREADSRC;
                return copyResult == 0;
            });
        if (!written)
            return copyResult ? copyResult : writeFailure(errno);
        const struct timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
        ::utimensat(AT_FDCWD, dest.c_str(), times, 0);
        return 0;
    }
    const auto discard = [&name](std::uint32_t result) {
        ::unlink(name.c_str());
        return result;
    };
    if (const std::uint32_t copyResult = detail::copyContents(in.get(), out.get(), ::write))
        return discard(copyResult);
    // A new file takes the source's permissions (programs stay executable); a replaced one
    // keeps its own. The source's modification time goes with it either way, so a later run
    // compares build times rather than installation times.
    const struct timespec times[2] = {sourceInfo.st_atim, sourceInfo.st_mtim};
    const bool modeSet = destExists && S_ISREG(destInfo.st_mode)
                             ? suite::keepOwnerAndMode(out.get(), destInfo)
                             : ::fchmod(out.get(), sourceInfo.st_mode & 0777) == 0;
    if (!modeSet || ::futimens(out.get(), times) != 0)
        return discard(VIF_CANNOTCREATE);
    if (::fsync(out.get()) != 0)
        return discard(writeFailure(errno));
    if (!out.close())
        return discard(writeFailure(errno));

    if (destExists) {
        if (!(flags & VIFF_FORCEINSTALL) && sourceIsOlder(name)) {
            tempFile = name;
            return VIF_SRCOLD | VIF_TEMPFILE;
        }
        if (S_ISREG(destInfo.st_mode) && isRunningProgram(dest)) {
            tempFile = name;
            return VIF_FILEINUSE | VIF_TEMPFILE;
        }
        if (destWriteProtected)
            return discard(VIF_WRITEPROT);
    }
    if (::rename(name.c_str(), dest.c_str()) != 0)
        return discard(errno == EACCES || errno == EPERM ? VIF_ACCESSVIOLATION : VIF_CANNOTRENAME);
    return 0;
}

} // namespace setup
