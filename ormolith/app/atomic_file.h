#pragma once
#include <string>

namespace ormolith {

// Replaces `path` with `bytes` only once they are completely on disk: they go to a new file
// beside it, which is then renamed over it. On failure the old file is untouched, no temporary
// file is left behind and `error` (if given) holds the reason.
bool writeFileAtomically(const std::string& path, const std::string& bytes,
                         std::string* error = nullptr);

} // namespace ormolith
