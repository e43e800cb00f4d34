// Whole-file reading and atomic replacement. The only part of core that talks
// to the operating system directly.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace ringmere {

// A regular file of at most 512 MiB; anything else reads as missing. A
// symbolic link is followed. The second form says why a file could not be
// read: what kind of file it is, that it is too large, or the system's reason.
std::optional<std::string> ReadWholeFile(const std::string& path);
std::optional<std::string> ReadWholeFile(const std::string& path, std::string& why);

// True for a regular file (a link to one too): never a directory, a pipe or a
// device.
bool FileExists(const std::string& path);

enum WriteResult : int {
    kWriteDone = 0,
    kWriteCannotCreate = -2,  // nothing was touched
    kWriteFailed = -3,  // an input/output error, or a read-only file; the old file is untouched
};

// Who may read the written file.
enum FileAccess : int {
    // An existing file's permissions are kept; a new one gets 0666 less the umask.
    kKeepAccess = 0,
    // The owner's read and write alone (the file holds passwords): a new file
    // gets 0600, a replaced one what it had of those two (old & 0600), so its
    // permissions are never loosened.
    kOwnerOnly = 1,
    // A file others are meant to read: an existing one keeps its permissions,
    // a new one gets 0600 until its owner opens it up.
    kNewOwnerOnly = 2,
};

// Writes `data` to a temporary file beside `path` (".NAME.ringmere-tmp-XXXXXX",
// readable by the owner only), flushes it to disk and renames it over `path`,
// so the old file stays whole until the new one is complete. A symbolic link is
// followed. A file without write permission is not replaced. Temporary files
// that an earlier write of the same file left behind (the writer was killed)
// are removed. On failure `error` says why. A file system that refuses to
// change permissions (a share) does not stop the write: the file then has the
// permissions the share gives it.
WriteResult WriteFileAtomically(const std::string& path, std::string_view data, std::string& error,
                                FileAccess access = kKeepAccess);

// The permissions WriteFileAtomically gives a file: `old` those of the file
// it replaces, if any; `umask` the process's.
mode_t WrittenFileMode(FileAccess access, const mode_t* old, mode_t umask);

// What tells one version of a file from another without reading it: the
// file it is (a rename brings a new one), its size and its modification time.
struct FileStamp {
    std::uint64_t device = 0, inode = 0;
    std::int64_t size = -1;  // -1: no such file
    std::int64_t mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};
// The stamp of the file `path` names now (a link followed).
FileStamp FileStampOf(const std::string& path);
// Whether `stamp` is that of a file this process wrote with
// WriteFileAtomically (one of its latest writes, under any path). Taken from
// the written file itself before its rename, so no other writer can slip in
// between. Safe from any thread.
bool WrittenByThisProcess(const FileStamp& stamp);

// Tests only: called with the temporary file's path once the data is written,
// before the file gets its final permissions and replaces the target. An empty
// function removes the hook.
void SetBeforeReplaceHookForTests(std::function<void(const std::string& temporary)> hook);

}  // namespace ringmere
