#include "core/fileio.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ringmere {

namespace {

constexpr off_t kMaxReadSize = 64 << 20;

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

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
    // Only regular files: a path that names a device or a pipe (a shared
    // file's path comes from a file) must not hang the program.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxReadSize)
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string data;
    data.resize(static_cast<std::size_t>(st.st_size));
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    data.resize(static_cast<std::size_t>(in.gcount()));
    // A file that grew while we read it: take the rest too, within the limit.
    char buf[65536];
    while (in && data.size() <= static_cast<std::size_t>(kMaxReadSize)) {
        in.read(buf, sizeof buf);
        data.append(buf, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad()) return std::nullopt;
    return data;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

WriteResult WriteFileAtomically(const std::string& path, std::string_view data,
                                std::string& error) {
    const std::string target = ResolveTarget(path);
    if (target.empty()) {
        error = path + ": " + std::strerror(ELOOP);
        return kWriteCannotCreate;
    }
    const std::string dir = DirectoryOf(target);

    mode_t mode = 0666;
    struct stat old {};
    const bool hadOld = stat(target.c_str(), &old) == 0;
    if (hadOld) {
        if (S_ISDIR(old.st_mode)) {
            error = target + ": is a directory";
            return kWriteCannotCreate;
        }
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode &= ~mask;
    }

    std::string tmpl = target + ".XXXXXX";
    const int fd = mkstemp(tmpl.data());
    if (fd < 0) {
        error = target + ": " + std::strerror(errno);
        return kWriteCannotCreate;
    }
    (void)fchmod(fd, mode);  // a share may refuse it; the data matters more
    int err = 0;
    if (!WriteAll(fd, data) || fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && std::rename(tmpl.c_str(), target.c_str()) != 0) err = errno;
    if (err != 0) {
        error = target + ": " + std::strerror(err);
        ::unlink(tmpl.c_str());
        return kWriteFailed;
    }
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        fsync(dfd);
        ::close(dfd);
    }
    return kWriteDone;
}

}  // namespace ringmere
