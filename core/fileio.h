// Whole-file reading and atomic replacement. The only part of core that talks
// to the operating system directly.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ringmere {

// A regular file of at most 64 MiB; anything else reads as missing.
std::optional<std::string> ReadWholeFile(const std::string& path);
bool FileExists(const std::string& path);

enum WriteResult : int {
    kWriteDone = 0,
    kWriteCannotCreate = -2,  // nothing was touched
    kWriteFailed = -3,        // an input/output error; the old file is untouched
};

// Writes `data` to a temporary file beside `path`, flushes it to disk and
// renames it over `path`, so the old file stays whole until the new one is
// complete. A symbolic link is followed, and the old file's permissions kept.
// On failure `error` says why.
WriteResult WriteFileAtomically(const std::string& path, std::string_view data, std::string& error);

}  // namespace ringmere
