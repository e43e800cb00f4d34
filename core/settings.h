// Program settings: the machine-local values in the settings store, the old
// local settings file "ringmere.ini", the start-at-log-on entry and the order
// in which start-up reads them. The alarm-file header values are read and
// written with the alarm file (core/alarmfile.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/globals.h"
#include "core/late_alarms.h"
#include "core/report.h"
#include "core/settings_store.h"

namespace ringmere {

inline constexpr const char* kSettingsKey = "\\SOFTWARE\\Ringmere";
inline constexpr const char* kSettingsMainKey = "\\Software\\Ringmere\\Main";
inline constexpr const char* kLocalSettingsFileName = "ringmere.ini";
inline constexpr const char* kAutoStartArgument = "startup";

// The entry that starts the program when the user logs on.
class AutoStartEntry {
public:
    virtual ~AutoStartEntry() = default;
    // The entry's command line; nothing when there is no entry.
    virtual std::optional<std::string> Read() const = 0;
    // Makes the entry start `program` with `argument`. False with `error`.
    virtual bool Write(const std::string& program, const std::string& argument,
                       std::string& error) = 0;
    // Removes the entry; a missing entry is not an error.
    virtual bool Remove(std::string& error) = 0;
    // True when the user switched the entry off in the desktop's own settings.
    virtual bool DisabledByUser() const { return false; }
};

// Registry routines. Reading leaves `value` unchanged when the key or the
// value is missing or is not a text; nothing is reported.
void ReadRegistryString(const SettingsStore& store, std::string_view key, std::string_view name,
                        std::string& value);

// Writes `value` as type `typeCode`: 1 text, 2 expandable text, 3 32-bit
// number, 4 binary; 0 keeps the type the stored value has (a new value keeps
// its own). Texts and numbers convert into each other as decimal digits.
// False with `error` when the type code is unknown, the value does not
// convert, or the key cannot be created or written.
bool WriteRegistryValue(SettingsStore& store, std::string_view key, std::string_view name,
                        const RegValue& value, int typeCode, std::string& error);
bool DeleteRegistryValue(SettingsStore& store, std::string_view key, std::string_view name,
                         std::string& error);

// Reads the store into g.Settings. Missing or unreadable values keep what
// the fields hold; nothing here stops the program.
void LoadRegistrySettings(Globals& g, SettingsStore& store);

// Writes the machine-local fields of g.Settings. Stops at the first value
// that cannot be written, reports it and returns false; a failure of the
// last value, "dispevdesc", is ignored.
bool SaveRegistrySettings(const Globals& g, SettingsStore& store, Reporter& reporter);

// Reads "ringmere.ini" at `path` into g.Settings; absent keys leave their
// fields alone. A value that is not a number is reported and skipped.
// False when the file cannot be read.
bool LoadLocalSettingsFile(Globals& g, const std::string& path, Reporter& reporter);

// Keeps the start-at-log-on entry up to date: an entry without "startup" is
// rewritten, and with AutoStart on the entry is written. An entry the user
// switched off in the desktop's settings is their choice: it is left alone
// and AutoStart becomes false. `programPath` is the program file's full path.
// Failures are reported; false when one happened.
bool RegisterAutoStart(SettingsRec& settings, AutoStartEntry& entry, const std::string& programPath,
                       Reporter& reporter);

// Where start-up took the machine-local settings from.
enum class SettingsOrigin {
    Store,      // the store had the program's key
    LocalFile,  // carried over from "ringmere.ini" into the store
    Defaults,   // neither existed; the store now holds the defaults
};

// Start-up: the defaults (g.ProgramDir must be set), then the store, or on a
// machine without the program's key the local settings file at
// `localSettingsPath` (when it exists), saved into the store.
SettingsOrigin LoadStartupSettings(Globals& g, SettingsStore& store,
                                   const std::string& localSettingsPath, Reporter& reporter);

// Late and missed alarms: the late limit (Additional Options) and the last
// check moment, which tells the next start what fell while it was not running.
inline constexpr const char* kLateLimitValue = "LateLimit";      // minutes
inline constexpr const char* kLateNoLimitValue = "LateNoLimit";  // 0/1
inline constexpr const char* kLastCheckValue = "LastCheck";      // "2026-12-11 16:55:42"
// Minutes, or kNoLateLimit; kDefaultLateLimit when nothing usable is stored.
int ReadLateLimit(const SettingsStore& store);
bool SaveLateLimit(SettingsStore& store, int minutes, std::string& error);
std::optional<DateTime> ReadLastCheck(const SettingsStore& store);
bool SaveLastCheck(SettingsStore& store, DateTime moment, std::string& error);

}  // namespace ringmere
