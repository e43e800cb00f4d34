#include "core/fileops.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

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
    // Reading a pipe or a device would never end.
    if (from.empty() || to.empty() || !IsRegularFile(from)) return false;
    std::error_code ec;
    if (Exists(to) && fs::equivalent(from, to, ec)) return false;
    return fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec) && !ec;
}

bool MoveOneFile(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty() || !Exists(from) || Exists(to)) return false;
    std::error_code ec;
    const fs::file_status source = fs::symlink_status(from, ec);
    if (!fs::is_directory(source)) {
        // A hard link never replaces an existing name, so nothing that
        // appears at `to` meanwhile is overwritten.
        fs::create_hard_link(from, to, ec);
        if (!ec) {
            fs::remove(from, ec);
            return true;
        }
        if (ec == std::errc::file_exists) return false;
        if (fs::is_regular_file(source) && ec == std::errc::cross_device_link) {
            // copy_options::none fails when `to` exists, so a partial copy
            // left behind on failure is always our own.
            std::error_code copyError;
            if (!fs::copy_file(from, to, fs::copy_options::none, copyError) || copyError) {
                if (copyError != std::errc::file_exists) fs::remove(to, ec);
                return false;
            }
            fs::remove(from, ec);
            return true;
        }
    }
    // Directories, and file systems without hard links: rename, after the
    // check above that `to` is free.
    if (Exists(to)) return false;
    ec.clear();
    fs::rename(from, to, ec);
    return !ec;
}

bool DeleteOneFile(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(path, ec);
    if (ec || !fs::exists(st) || fs::is_directory(st)) return false;
    return fs::remove(path, ec) && !ec;
}

void RunFileOperation(const FileOps& op, DateTime now, const LineSink& report) {
    if (op.fop == kFopCopy || op.fop == kFopMove) {
        const bool copy = op.fop == kFopCopy;
        const char* verb = copy ? "Copying " : "Moving ";
        std::string d = SubstituteDateTime(op.fto, now);
        if (!HasWildcards(op.ffrom)) {
            report(verb + op.ffrom + " to " + d + ".");
            copy ? CopyOneFile(op.ffrom, d) : MoveOneFile(op.ffrom, d);
            return;
        }
        const bool destinationExists = IsDirectory(d);
        if (!destinationExists) report("Destination directory does not exist");
        // An empty destination would put the files into the root directory.
        if (d.empty()) return;
        if (d.back() != '/') d += '/';
        const SplitPath source = SplitDirectory(op.ffrom);
        for (const std::string& name : MatchingFiles(source.directory, source.name)) {
            const std::string target = d + name;
            report(verb + name + " to " + target + ".");
            copy ? CopyOneFile(source.directory + name, target)
                 : MoveOneFile(source.directory + name, target);
        }
        return;
    }
    if (op.fop == kFopDelete) {
        if (!HasWildcards(op.fdel)) {
            report("Deleting " + op.fdel + ".");
            DeleteOneFile(op.fdel);
            return;
        }
        const SplitPath source = SplitDirectory(op.fdel);
        for (const std::string& name : MatchingFiles(source.directory, source.name)) {
            report("Deleting " + name + ".");
            DeleteOneFile(source.directory + name);
        }
    }
}

}  // namespace ringmere
