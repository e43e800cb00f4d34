// Whole-file reading and atomic replacement. The only part of core that talks
// to the operating system directly.
#pragma once

#include <cstdint>
#include <chrono>
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
// An advisory lock (flock) on PATH + ".lock" beside the file a path finally
// names, made owner-only. Every program that reads a file to change it and
// write it back holds it across both. A thread that holds the lock of a file
// may take it again (the inner hold does nothing), so a routine that locks can
// call one that locks too. Where the file system has no locks the hold is
// empty and the write goes on as before.
class FileLock {
public:
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&&) = delete;
    FileLock(const FileLock&) = delete;
    ~FileLock();

private:
    friend std::optional<FileLock> TakeFileLock(const std::string&, std::string&,
                                                std::chrono::milliseconds);
    FileLock(int fd, std::string lockPath) : fd_(fd), lockPath_(std::move(lockPath)) {}
    int fd_ = -1;  // -1: an inner hold, or no locks here
    std::string lockPath_;
};

inline constexpr std::chrono::milliseconds kFileLockWait{5000};

// Waits up to `wait` for the lock; on failure `error` says why (another
// program kept it, or the lock file cannot be made).
std::optional<FileLock> TakeFileLock(const std::string& path, std::string& error,
                                     std::chrono::milliseconds wait = kFileLockWait);

// The lock file of `path`.
std::string LockFilePath(const std::string& path);

// Tests only: called with the temporary file's path once the data is written,
// before the file gets its final permissions and replaces the target. An empty
// function removes the hook.
void SetBeforeReplaceHookForTests(std::function<void(const std::string& temporary)> hook);

}  // namespace ringmere
