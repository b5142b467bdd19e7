#pragma once
// The one way every program of the suite saves a file, whatever it holds (documents, settings,
// pictures, web pages, installed files). Plain C++ and POSIX, no Qt.
#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

namespace suite {

// Saves `bytes` as the content of `path` so that the old file stays whole until the new one is
// completely on disk: they go to a scratch file beside it, which then takes its place.
// - A file the user may not write is refused and left as it is.
// - A symbolic link stays a link; the file it names gets the data.
// - The file keeps its permissions (and, where the system allows, its owner and group).
// - A name close to the length limit works: the scratch name is shortened to fit.
// - A writable file in a folder where no scratch file can be made is written in place, after
//   reserving the space; only then can a failure part-way leave it incomplete.
// On failure no scratch file is left behind and `error` (if given) holds the reason; errno
// holds its code.
bool saveFile(const std::string& path, std::string_view bytes, std::string* error = nullptr);

// The pieces saveFile is made of, for callers that keep their own scratch file protocol (the
// installer decides between its scratch copy and the installed file only after the copy).

// A symbolic link stays a link: `path` becomes the file it names (which may not exist yet),
// followed through chains of links the way the kernel follows them. False (errno set) for a
// loop or an unreadable link.
bool resolveLinks(std::string& path);

// Gives the new file open as `fd` the permissions and, where the system allows, the owner and
// group of the file `old` describes, which it is about to replace. False (errno set) when the
// permissions cannot be set.
bool keepOwnerAndMode(int fd, const struct stat& old);

// The last resort for a file the user may write in a folder where no scratch file can be made:
// opens `target` (a regular file, never through a link) and lets `write` put the new content
// from its start. `size` is what will be written: the space is reserved first, so a full disk
// refuses the save before a single old byte is overwritten. The file ends where `write` stopped.
// False with errno set.
bool overwriteInPlace(const std::string& target, off_t size,
                      const std::function<bool(int fd)>& write);

// Writes all of `bytes` to `fd`, retrying short writes. False with errno set.
bool writeAll(int fd, std::string_view bytes);

} // namespace suite
