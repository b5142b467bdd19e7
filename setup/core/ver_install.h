#pragma once
// Version-checking installation of one file, with the flags and the temporary-file protocol of
// the platform service the description files were written for.
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace setup {

// Input flags.
inline constexpr std::uint32_t VIFF_FORCEINSTALL = 0x1;  // install even over a newer file
inline constexpr std::uint32_t VIFF_DONTDELETEOLD = 0x2; // accepted, nothing to do here

// Result flags. 0 means the file is installed.
inline constexpr std::uint32_t VIF_TEMPFILE = 0x1; // the temporary copy was left behind
inline constexpr std::uint32_t VIF_MISMATCH = 0x2;
inline constexpr std::uint32_t VIF_SRCOLD = 0x4; // source older than the installed file
inline constexpr std::uint32_t VIF_DIFFLANG = 0x8;
inline constexpr std::uint32_t VIF_DIFFCODEPG = 0x10;
inline constexpr std::uint32_t VIF_DIFFTYPE = 0x20;
inline constexpr std::uint32_t VIF_WRITEPROT = 0x40; // installed file is read-only
inline constexpr std::uint32_t VIF_FILEINUSE = 0x80; // installed file is a running program
inline constexpr std::uint32_t VIF_OUTOFSPACE = 0x100;
inline constexpr std::uint32_t VIF_ACCESSVIOLATION = 0x200;
inline constexpr std::uint32_t VIF_SHARINGVIOLATION = 0x400;
inline constexpr std::uint32_t VIF_CANNOTCREATE = 0x800;
inline constexpr std::uint32_t VIF_CANNOTDELETE = 0x1000;
inline constexpr std::uint32_t VIF_CANNOTRENAME = 0x2000;
inline constexpr std::uint32_t VIF_CANNOTDELETECUR = 0x4000;
inline constexpr std::uint32_t VIF_OUTOFMEMORY = 0x8000;
inline constexpr std::uint32_t VIF_CANNOTREADSRC = 0x10000;
inline constexpr std::uint32_t VIF_CANNOTREADDST = 0x20000;
inline constexpr std::uint32_t VIF_BUFFTOOSMALL = 0x40000;

// Copies srcDir+srcFileName to a temporary file in destDir (created when missing), then
// compares it with destDir+destFileName: the version resource when both carry one, the
// modification time otherwise. A source that is not older replaces the installed file in one
// rename, so a reader never sees a half-written file. When the installed file stays (VIF_SRCOLD
// or VIF_FILEINUSE), the copy is left behind with VIF_TEMPFILE and its full path in `tempFile`
// for the caller to delete; on every other failure the copy is already gone.
// The directories end with a separator; curDir is accepted for the familiar call shape.
std::uint32_t VerInstallFileA(std::uint32_t flags, const std::string& srcFileName,
                              const std::string& destFileName, const std::string& srcDir,
                              const std::string& destDir, const std::string& curDir,
                              std::string& tempFile);

namespace detail {
// The copy loop under VerInstallFileA, with the write call as a parameter so that tests can
// hand it writers no real file produces (short writes, writes that take nothing).
using WriteCall = ssize_t (*)(int fd, const void* data, std::size_t size);
// Copies everything from `in` to `out`; on failure returns the result flag to report.
std::uint32_t copyContents(int in, int out, WriteCall write);
} // namespace detail

} // namespace setup
