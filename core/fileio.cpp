#include "core/fileio.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <map>
#include <string>
#include <thread>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/huge_pages.h"
#include "core/unique_fd.h"

namespace ringmere {

namespace {

// An alarm file of 100,000 alarms is some 130 MB.
constexpr off_t kMaxReadSize = off_t{512} << 20;

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The file a path finally names, so that writing through a link replaces the
// link's target rather than the link. Empty for a loop of links.
std::string ResolveTarget(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 32; ++hops) {
        struct stat st {};
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        char buf[PATH_MAX];
        const ssize_t n = readlink(current.c_str(), buf, sizeof buf - 1);
        if (n <= 0) return current;
        std::string target(buf, static_cast<std::size_t>(n));
        current = target.front() == '/' ? target : DirectoryOf(current) + "/" + target;
    }
    return {};
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISFIFO(mode)) return "a named pipe (FIFO)";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

constexpr std::string_view kTemporaryMark = ".ringmere-tmp-";
constexpr std::size_t kTemporaryRandom = 6;  // the XXXXXX of mkstemp

std::string BaseNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TemporaryPrefix(const std::string& target) {
    return "." + BaseNameOf(target) + std::string(kTemporaryMark);
}

// Temporary files of earlier writes of `target` whose writer is gone: a writer
// holds a lock on its file until the rename, and the system drops the lock of a
// killed process. Only our own regular files are touched.
void RemoveStaleTemporaries(const std::string& dir, const std::string& target) {
    const std::string prefix = TemporaryPrefix(target);
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return;
    while (const dirent* entry = ::readdir(d)) {
        const std::string_view name = entry->d_name;
        if (name.size() != prefix.size() + kTemporaryRandom ||
            name.substr(0, prefix.size()) != prefix)
            continue;
        const std::string path = dir + "/" + std::string(name);
        const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != geteuid())
            continue;
        if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;  // a write in progress
        ::unlink(path.c_str());
    }
    ::closedir(d);
}

// A new temporary file beside `target`, 0600 and locked; -1 with errno set on
// failure.
int CreateTemporary(const std::string& dir, const std::string& target, std::string& name) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        name = dir + "/" + TemporaryPrefix(target) + std::string(kTemporaryRandom, 'X');
        const int fd = mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) return -1;
        struct stat st {};
        // Another writer's clean-up may have taken it between the two calls.
        if (flock(fd, LOCK_EX) == 0 && fstat(fd, &st) == 0 && st.st_nlink > 0) return fd;
        ::close(fd);
    }
    errno = EAGAIN;
    return -1;
}

FileStamp StampOfStat(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::int64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

// The saver writes on a thread of its own, the watcher asks on the window's.
std::mutex writtenMutex;
std::deque<FileStamp>& WrittenStamps() {
    static std::deque<FileStamp> stamps;
    return stamps;
}
// Enough for every file the program writes between two looks of a watcher.
constexpr std::size_t kStampsKept = 32;

std::function<void(const std::string&)>& BeforeReplaceHook() {
    static std::function<void(const std::string&)> hook;
    return hook;
}

// The locks this thread holds, by lock file, with the count of holds.
thread_local std::map<std::string, int> tHeldLocks;

}  // namespace

std::string LockFilePath(const std::string& path) {
    std::string target = ResolveTarget(path);
    if (target.empty()) target = path;
    // One name for every way of reaching the file: a thread's second hold is
    // found by it.
    char dir[PATH_MAX];
    if (::realpath(DirectoryOf(target).c_str(), dir) != nullptr)
        target = std::string(dir) + "/" + BaseNameOf(target);
    return target + ".lock";
}

FileLock::FileLock(FileLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), lockPath_(std::move(other.lockPath_)) {
    other.lockPath_.clear();
}

FileLock::~FileLock() {
    if (lockPath_.empty()) return;
    const auto held = tHeldLocks.find(lockPath_);
    if (held != tHeldLocks.end() && --held->second == 0) tHeldLocks.erase(held);
    if (fd_ >= 0) ::close(fd_);  // drops the lock
}

std::optional<FileLock> TakeFileLock(const std::string& path, std::string& error,
                                     std::chrono::milliseconds wait) {
    const std::string lockPath = LockFilePath(path);
    if (const auto held = tHeldLocks.find(lockPath); held != tHeldLocks.end()) {
        ++held->second;
        return FileLock(-1, lockPath);
    }
    // Never through a link, never anything but our own regular file: the
    // lock file lies in a folder others may write to.
    UniqueFd fd(
        ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    struct stat st {};
    if (fd.get() < 0 || fstat(fd.get(), &st) != 0) {
        error = "cannot make the lock file " + lockPath + ": " + std::strerror(errno);
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "the lock file " + lockPath + " is " + KindOf(st.st_mode);
        return std::nullopt;
    }
    // flock has no time-out of its own; a short poll keeps the wait bounded.
    const auto until = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (flock(fd.get(), LOCK_EX | LOCK_NB) == 0) break;
        if (errno == EINTR) continue;
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS) {
            tHeldLocks[lockPath] = 1;
            return FileLock(-1, lockPath);
        }
        if (errno != EWOULDBLOCK) {
            error = "cannot lock " + lockPath + ": " + std::strerror(errno);
            return std::nullopt;
        }
        if (std::chrono::steady_clock::now() >= until) {
            error = "another program is changing the alarm file: " + lockPath +
                    " stayed locked for " +
                    std::to_string(std::chrono::duration_cast<std::chrono::seconds>(wait).count()) +
                    " seconds";
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    tHeldLocks[lockPath] = 1;
    return FileLock(fd.release(), lockPath);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::string why;
    return ReadWholeFile(path, why);
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::string& why) {
    // Opened without waiting and checked on the open handle: a pipe or a device
    // put in place of the file (a shared file's path comes from a file) must not
    // hang the program, and nothing can be swapped in between check and open.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        why = "it is " + KindOf(st.st_mode) + ", not a regular file";
        return std::nullopt;
    }
    const std::string tooLarge = "it is larger than " + std::to_string(kMaxReadSize >> 20) + " MiB";
    if (st.st_size > kMaxReadSize) {
        why = tooLarge;
        return std::nullopt;
    }
    const int flags = fcntl(fd.get(), F_GETFL);
    if (flags >= 0) (void)fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    // The size is only a hint: files in /proc say 0, and a file may grow while
    // we read it.
    // Read straight into the result: the file can be a large part of memory.
    std::string data;
    data.reserve(static_cast<std::size_t>(st.st_size) + 1);
    AdviseHugePages(data.data(), data.capacity());
    data.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == data.size()) {
            if (used > static_cast<std::size_t>(kMaxReadSize)) {
                why = tooLarge;
                return std::nullopt;
            }
            data.resize(std::max<std::size_t>(2 * used, 65536));
        }
        const ssize_t n = ::read(fd.get(), data.data() + used, data.size() - used);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            why = std::strerror(errno);
            return std::nullopt;
        }
        used += static_cast<std::size_t>(n);
    }
    if (used > static_cast<std::size_t>(kMaxReadSize)) {
        why = tooLarge;
        return std::nullopt;
    }
    data.resize(used);
    return data;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

mode_t WrittenFileMode(FileAccess access, const mode_t* old, mode_t umask) {
    if (old != nullptr) return access == kOwnerOnly ? (*old & 0600) : (*old & 07777);
    return access == kKeepAccess ? (0666 & ~umask) : 0600;
}

FileStamp FileStampOf(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return {};
    return StampOfStat(st);
}

bool WrittenByThisProcess(const FileStamp& stamp) {
    if (stamp.size < 0) return false;
    const std::lock_guard lock(writtenMutex);
    return std::find(WrittenStamps().begin(), WrittenStamps().end(), stamp) !=
           WrittenStamps().end();
}

void SetBeforeReplaceHookForTests(std::function<void(const std::string& temporary)> hook) {
    BeforeReplaceHook() = std::move(hook);
}

WriteResult WriteFileAtomically(const std::string& path, std::string_view data,
                                std::string& error, FileAccess access) {
    const std::string target = ResolveTarget(path);
    if (target.empty()) {
        error = path + ": " + std::strerror(ELOOP);
        return kWriteCannotCreate;
    }
    const std::string dir = DirectoryOf(target);

    struct stat old {};
    const bool hadOld = stat(target.c_str(), &old) == 0;
    if (hadOld && S_ISDIR(old.st_mode)) {
        error = target + ": is a directory";
        return kWriteCannotCreate;
    }
    const mode_t mask = umask(0);
    umask(mask);
    const mode_t oldMode = old.st_mode;
    const mode_t mode = WrittenFileMode(access, hadOld ? &oldMode : nullptr, mask);
    RemoveStaleTemporaries(dir, target);
    std::string tmpl;
    const int fd = CreateTemporary(dir, target, tmpl);
    if (fd < 0) {
        error = target + ": " + std::strerror(errno);
        return kWriteCannotCreate;
    }
    // The folder's write permission would let the rename replace a file its
    // owner made read-only, and the new file would be ours. (Checked once a
    // file could be made here, so a read-only folder still says so.)
    if (hadOld &&
        ((old.st_mode & 0222) == 0 || faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)) {
        ::unlink(tmpl.c_str());
        ::close(fd);
        error = target + ": the file is read-only, so it was not replaced";
        return kWriteFailed;
    }
    int err = 0;
    if (!WriteAll(fd, data) || fsync(fd) != 0) err = errno;
    if (err == 0 && BeforeReplaceHook()) BeforeReplaceHook()(tmpl);
    // Only the complete file gets the old permissions: until then it holds
    // the data (a mail password too) for the owner alone.
    if (err == 0) (void)fchmod(fd, mode);  // a share may refuse it; the data matters more
    struct stat written {};
    if (err == 0 && fstat(fd, &written) != 0) err = errno;
    if (err == 0) {
        // Recorded before the rename: whoever sees the new file may ask.
        const std::lock_guard lock(writtenMutex);
        WrittenStamps().push_back(StampOfStat(written));
        if (WrittenStamps().size() > kStampsKept) WrittenStamps().pop_front();
    }
    if (err == 0 && std::rename(tmpl.c_str(), target.c_str()) != 0) err = errno;
    if (err != 0) ::unlink(tmpl.c_str());
    // Closing drops the lock only now, so no clean-up takes the file before the
    // rename; the data is on disk already.
    ::close(fd);
    if (err != 0) {
        error = target + ": " + std::strerror(err);
        return kWriteFailed;
    }
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        fsync(dfd);
        ::close(dfd);
    }
    return kWriteDone;
}

}  // namespace ringmere
