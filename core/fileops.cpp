#include "core/fileops.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/unique_fd.h"

namespace ringmere {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMarker = "<DATETIME>";

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// One character of a UTF-8 text: a lead byte and its continuation bytes.
// Bytes that are not UTF-8 count one each, so any text still splits.
std::vector<std::string_view> Characters(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t j = i + 1;
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead >= 0xC0) {
            while (j < text.size() && (static_cast<unsigned char>(text[j]) & 0xC0) == 0x80 &&
                   j - i < 4)
                ++j;
        }
        out.push_back(text.substr(i, j - i));
        i = j;
    }
    return out;
}

bool MatchCharacters(const std::vector<std::string_view>& p,
                     const std::vector<std::string_view>& n) {
    // Greedy with one back-track point: linear in practice, never exponential.
    std::size_t pi = 0, ni = 0;
    std::size_t star = std::string_view::npos, resume = 0;
    while (ni < n.size()) {
        if (pi < p.size() && p[pi] == "*") {
            star = pi++;
            resume = ni;
        } else if (pi < p.size() && (p[pi] == "?" || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (star != std::string_view::npos) {
            pi = star + 1;
            ni = ++resume;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == "*") ++pi;
    return pi == p.size();
}

bool IsRegularFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(fs::status(path, ec));
}

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

bool IsDirectory(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    return fs::is_directory(fs::status(path, ec));
}

bool IsSymlink(const std::string& path) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(path, ec));
}

bool Fail(std::string& why, std::string text) {
    why = std::move(text);
    return false;
}

bool Fail(std::string& why) {
    return Fail(why, std::strerror(errno));
}

// The contents and permissions of `from` onto `to`. A link at `to` is never
// written through, nor a dangling one given a target: it is refused. Both are
// opened without waiting and checked on the open handle, so a pipe or a
// device put in place never blocks the run.
bool CopyContents(const std::string& from, const std::string& to, bool followSource,
                  std::string& why) {
    const UniqueFd in(::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC |
                                               (followSource ? 0 : O_NOFOLLOW)));
    if (in.get() < 0) {
        if (errno == ELOOP && !followSource) return Fail(why, "it is a symbolic link");
        return Fail(why);
    }
    struct stat source {};
    if (fstat(in.get(), &source) != 0) return Fail(why);
    if (!S_ISREG(source.st_mode)) return Fail(why, "it is not a regular file");
    if (const int flags = fcntl(in.get(), F_GETFL); flags >= 0)
        (void)fcntl(in.get(), F_SETFL, flags & ~O_NONBLOCK);

    UniqueFd out(::open(to.c_str(),
                        O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                        source.st_mode & 0777));
    if (out.get() < 0) {
        if (errno == ELOOP)
            return Fail(why, to + " is a symbolic link, and a copy never writes through one");
        return Fail(why, to + ": " + std::strerror(errno));
    }
    struct stat target {};
    if (fstat(out.get(), &target) != 0) return Fail(why);
    if (!S_ISREG(target.st_mode)) return Fail(why, to + " is not a regular file");
    if (target.st_dev == source.st_dev && target.st_ino == source.st_ino)
        return Fail(why, "it is the same file as " + to);
    if (ftruncate(out.get(), 0) != 0) return Fail(why);
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(in.get(), buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(why);
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out.get(), buf + done, static_cast<std::size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                return Fail(why, to + ": " + std::strerror(errno));
            }
            done += w;
        }
    }
    (void)fchmod(out.get(), source.st_mode & 07777);
    if (::close(out.release()) != 0) return Fail(why, to + ": " + std::strerror(errno));
    return true;
}

// Where the program happens to run is no place to copy or delete in: autostart
// gives it none of the user's choosing.
std::string NotAFullPath(const std::string& path) {
    if (!path.empty() && path.front() == '/') return {};
    if (path.empty()) return "Refused: a path is missing.";
    if (HasWildcards(path) && path.find('/') == std::string::npos)
        return "Refused: the pattern " + path +
               " names no folder; file operations need a full path starting with \"/\".";
    return "Refused: " + path +
           " is not a full path; file operations need one starting with \"/\".";
}

}  // namespace

std::string SubstituteDateTime(std::string_view text, DateTime now) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);
    const std::size_t at = upper.find(kMarker);
    if (at == std::string::npos) return std::string(text);
    const DaySecond ds = SplitToSecond(now);
    const CivilDate date = DecodeDate(static_cast<DateTime>(ds.day));
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", date.year, date.month, date.day,
                  ds.second / 3600, ds.second / 60 % 60, ds.second % 60);
    std::string out(text);
    out.replace(at, kMarker.size(), stamp);
    return out;
}

bool HasWildcards(std::string_view path) {
    return path.find_first_of("*?") != std::string_view::npos;
}

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
    // Hidden files only for a pattern that asks for them.
    if (!name.empty() && name.front() == '.' && (pattern.empty() || pattern.front() != '.'))
        return false;
    const auto n = Characters(name);
    if (MatchCharacters(Characters(pattern), n)) return true;
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos)
        return MatchCharacters(Characters(pattern.substr(0, pattern.size() - 2)), n);
    return false;
}

SplitPath SplitDirectory(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {std::string(), std::string(path)};
    return {std::string(path.substr(0, slash + 1)), std::string(path.substr(slash + 1))};
}

std::vector<std::string> MatchingFiles(const std::string& directory, std::string_view pattern) {
    std::vector<std::string> names;
    const fs::path dir = directory.empty() ? fs::path(".") : fs::path(directory);
    std::error_code ec;
    fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!MatchesWildcard(pattern, name)) continue;
        if (!IsRegularFile(it->path())) continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool CopyOneFile(const std::string& from, const std::string& to) {
    std::string why;
    return CopyOneFile(from, to, why);
}

bool CopyOneFile(const std::string& from, const std::string& to, std::string& why) {
    if (from.empty() || to.empty()) return Fail(why, "a path is missing");
    return CopyContents(from, to, true, why);
}

bool MoveOneFile(const std::string& from, const std::string& to) {
    std::string why;
    return MoveOneFile(from, to, why);
}

bool MoveOneFile(const std::string& from, const std::string& to, std::string& why) {
    if (from.empty() || to.empty()) return Fail(why, "a path is missing");
    if (!Exists(from)) return Fail(why, std::strerror(ENOENT));
    if (Exists(to)) return Fail(why, to + " exists already");
    std::error_code ec;
    const fs::file_status source = fs::symlink_status(from, ec);
    // The new name is ours alone until the old one is gone: when the old one
    // cannot go, the new one goes again and the move has not happened.
    const auto removeSource = [&] {
        std::error_code removeError;
        if (fs::remove(from, removeError) && !removeError) return true;
        std::error_code ignored;
        fs::remove(to, ignored);
        return Fail(why, "cannot remove " + from + ": " + removeError.message());
    };
    if (!fs::is_directory(source)) {
        // A hard link never replaces an existing name, so nothing that
        // appears at `to` meanwhile is overwritten.
        fs::create_hard_link(from, to, ec);
        if (!ec) return removeSource();
        if (ec == std::errc::file_exists) return Fail(why, to + " exists already");
        if (fs::is_regular_file(source) && ec == std::errc::cross_device_link) {
            // copy_options::none fails when `to` exists, so a partial copy
            // left behind on failure is always our own.
            std::error_code copyError;
            if (!fs::copy_file(from, to, fs::copy_options::none, copyError) || copyError) {
                if (copyError != std::errc::file_exists) fs::remove(to, ec);
                return Fail(why, copyError.message());
            }
            return removeSource();
        }
    }
    // Directories, and file systems without hard links: rename, after the
    // check above that `to` is free.
    if (Exists(to)) return Fail(why, to + " exists already");
    ec.clear();
    fs::rename(from, to, ec);
    if (ec) return Fail(why, ec.message());
    return true;
}

bool DeleteOneFile(const std::string& path) {
    std::string why;
    return DeleteOneFile(path, why);
}

bool DeleteOneFile(const std::string& path, std::string& why) {
    if (path.empty()) return Fail(why, "a path is missing");
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(path, ec);
    if (!fs::exists(st)) return Fail(why, std::strerror(ENOENT));
    if (fs::is_directory(st)) return Fail(why, "it is a directory");
    if (fs::remove(path, ec) && !ec) return true;
    return Fail(why, ec.message());
}

bool RunFileOperation(const FileOps& op, DateTime now, const LineSink& report) {
    bool allDone = true;
    const auto fail = [&](const std::string& line) {
        report(line);
        allDone = false;
    };
    if (op.fop == kFopCopy || op.fop == kFopMove) {
        const bool copy = op.fop == kFopCopy;
        const char* verb = copy ? "Copying " : "Moving ";
        const std::string failed = copy ? "Could not copy " : "Could not move ";
        std::string d = SubstituteDateTime(op.fto, now);
        std::string why;
        if (const std::string refusal = NotAFullPath(op.ffrom); !refusal.empty()) {
            fail(refusal);
            return false;
        }
        if (!HasWildcards(op.ffrom)) {
            if (const std::string refusal = NotAFullPath(d); !refusal.empty()) {
                fail(refusal);
                return false;
            }
            report(verb + op.ffrom + " to " + d + ".");
            if (!(copy ? CopyOneFile(op.ffrom, d, why) : MoveOneFile(op.ffrom, d, why)))
                fail(failed + op.ffrom + ": " + why + ".");
            return allDone;
        }
        if (const std::string refusal = NotAFullPath(d); !refusal.empty()) {
            fail(refusal);
            return false;
        }
        // Nothing can arrive in a folder that is not there. One named for the
        // moment ("backup-<DATETIME>") cannot be made beforehand, so it is
        // made here, in a folder that is there.
        if (!IsDirectory(d)) {
            if (d == op.fto) {
                fail("Destination directory does not exist: " + d);
                return false;
            }
            std::string folder = d;
            while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
            if (::mkdir(folder.c_str(), 0777) != 0 && !(errno == EEXIST && IsDirectory(folder))) {
                fail("Could not create the destination directory " + folder + ": " +
                     std::strerror(errno) + ".");
                return false;
            }
            report("Created the destination directory " + folder + ".");
        }
        if (d.back() != '/') d += '/';
        const SplitPath source = SplitDirectory(op.ffrom);
        for (const std::string& name : MatchingFiles(source.directory, source.name)) {
            const std::string from = source.directory + name;
            const std::string target = d + name;
            // A link could lead anywhere; the files of the folder are what a
            // pattern names, and a link inside it to one of them adds nothing.
            if (copy && IsSymlink(from)) {
                report("Not copying " + name + ": it is a symbolic link.");
                continue;
            }
            report(verb + name + " to " + target + ".");
            const bool done =
                copy ? CopyContents(from, target, false, why) : MoveOneFile(from, target, why);
            if (!done) fail(failed + name + ": " + why + ".");
        }
        return allDone;
    }
    if (op.fop == kFopDelete) {
        if (const std::string refusal = NotAFullPath(op.fdel); !refusal.empty()) {
            fail(refusal);
            return false;
        }
        if (!HasWildcards(op.fdel)) {
            report("Deleting " + op.fdel + ".");
            if (std::string why; !DeleteOneFile(op.fdel, why))
                fail("Could not delete " + op.fdel + ": " + why + ".");
            return allDone;
        }
        const SplitPath source = SplitDirectory(op.fdel);
        for (const std::string& name : MatchingFiles(source.directory, source.name)) {
            report("Deleting " + name + ".");
            if (std::string why; !DeleteOneFile(source.directory + name, why))
                fail("Could not delete " + name + ": " + why + ".");
        }
    }
    return allDone;
}

}  // namespace ringmere
