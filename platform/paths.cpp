#include "platform/paths.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/fileio.h"
#include "core/settings.h"

namespace ringmere {

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string HomeDir() {
    std::string home = Env("HOME");
    if (!home.empty() && home.front() == '/') return WithoutTrailingSlashes(home);
    struct passwd pw {};
    struct passwd* found = nullptr;
    char buf[4096];
    if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return WithoutTrailingSlashes(found->pw_dir);
    return "/tmp";
}

// The XDG rules ignore a relative path in these variables.
std::string XdgDir(const char* variable, const char* fallbackUnderHome) {
    const std::string value = Env(variable);
    if (!value.empty() && value.front() == '/') return WithoutTrailingSlashes(value);
    return HomeDir() + fallbackUnderHome;
}

std::string CurrentDir() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string("/");
}

}  // namespace

std::string UserConfigDir() {
    return XdgDir("XDG_CONFIG_HOME", "/.config");
}

std::string UserDataDir() {
    return XdgDir("XDG_DATA_HOME", "/.local/share");
}

std::vector<std::string> SystemConfigDirs() {
    std::vector<std::string> dirs;
    const std::string list = Env("XDG_CONFIG_DIRS");
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t colon = std::min(list.find(':', start), list.size());
        const std::string dir = list.substr(start, colon - start);
        if (!dir.empty() && dir.front() == '/') dirs.push_back(WithoutTrailingSlashes(dir));
        start = colon + 1;
    }
    if (dirs.empty()) dirs.push_back("/etc/xdg");
    return dirs;
}

bool MakeDirectories(const std::string& dir, std::string& error) {
    if (dir.empty()) return true;
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        error = dir + ": " + std::strerror(ENOTDIR);
        return false;
    }
    const auto slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(dir.substr(0, slash), error))
        return false;
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        error = dir + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string ResolveProgramDir(Reporter& reporter) {
    std::string dir = Env("RINGMERE_DIR");
    if (dir.empty())
        dir = UserDataDir() + "/ringmere";
    else if (dir.front() != '/')
        dir = CurrentDir() + "/" + dir;
    dir = WithoutTrailingSlashes(dir);
    std::string error;
    if (!MakeDirectories(dir, error))
        reporter.Report("Could not create the program folder: " + error);
    return dir == "/" ? dir : dir + "/";
}

std::string ProgramFilePath() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

std::string LocalSettingsFilePath() {
    const std::vector<std::string> dirs = SystemConfigDirs();
    for (const std::string& dir : dirs) {
        const std::string path = dir + "/" + kLocalSettingsFileName;
        if (FileExists(path)) return path;
    }
    return dirs.front() + "/" + kLocalSettingsFileName;
}

std::string SettingsStorePath() {
    return UserConfigDir() + "/ringmere/registry.ini";
}

std::string AutoStartFilePath() {
    return UserConfigDir() + "/autostart/ringmere.desktop";
}

}  // namespace ringmere
