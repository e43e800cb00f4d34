// Where the program keeps its files on Linux, after the XDG base directory
// rules. Every function reads the environment when it is called, so tests can
// point them at temporary folders.
#pragma once

#include <string>
#include <vector>

#include "core/report.h"

namespace ringmere {

// $XDG_CONFIG_HOME, or ~/.config. No trailing slash.
std::string UserConfigDir();
// $XDG_DATA_HOME, or ~/.local/share. No trailing slash.
std::string UserDataDir();
// The entries of $XDG_CONFIG_DIRS, or /etc/xdg.
std::vector<std::string> SystemConfigDirs();

// The program folder: $RINGMERE_DIR when set, otherwise UserDataDir() +
// "/ringmere/". Created when missing (a failure is reported, and the path is
// still returned); always ends with "/".
std::string ResolveProgramDir(Reporter& reporter);

// The full path of the running program file; empty when the system will not
// tell.
std::string ProgramFilePath();

// "ringmere.ini" in the first system configuration folder that has one, or in
// the first folder when none has.
std::string LocalSettingsFilePath();

// The settings store: UserConfigDir() + "/ringmere/registry.ini".
std::string SettingsStorePath();

// The start-at-log-on entry: UserConfigDir() + "/autostart/ringmere.desktop".
std::string AutoStartFilePath();

// Creates `dir` and any missing parents (mode 0700, as the XDG rules ask).
bool MakeDirectories(const std::string& dir, std::string& error);

}  // namespace ringmere
