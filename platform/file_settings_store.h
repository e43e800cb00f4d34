// The settings store kept in a text file, for systems without a registry.
// Each key is a section and each value a line naming its type:
//
//   [SOFTWARE\Ringmere]
//   "AutoStart"=dword:00000001
//   "autotime"=hex:00,00,00,00,00,00,e0,3f
//   "autoserver"=sz:"time.example.org"
//
// Every change rewrites the file atomically, so it is always either the old
// or the new whole file.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/report.h"
#include "core/settings_store.h"

namespace ringmere {

std::string FormatSettingsStore(const MemorySettingsStore& store);

// Reads what it can; each line it cannot read is described in `problems`
// ("line 4: ...") and left out.
MemorySettingsStore ParseSettingsStore(std::string_view text, std::vector<std::string>& problems);

class FileSettingsStore final : public SettingsStore {
public:
    // A missing file is an empty store. A damaged one is reported, its
    // readable part kept and the file as it was copied to path + ".damaged"
    // before anything overwrites it. A file that exists but cannot be read is
    // reported and never overwritten.
    FileSettingsStore(std::string path, Reporter& reporter);

    bool KeyExists(std::string_view key) const override;
    bool CreateKey(std::string_view key, std::string& error) override;
    std::optional<RegValue> ReadValue(std::string_view key, std::string_view name) const override;
    bool WriteValue(std::string_view key, std::string_view name, const RegValue& value,
                    std::string& error) override;
    bool DeleteValue(std::string_view key, std::string_view name, std::string& error) override;

    const std::string& Path() const { return path_; }

private:
    bool Commit(const MemorySettingsStore& next, std::string& error);

    std::string path_;
    MemorySettingsStore image_;  // what the file holds
    std::string refusal_;        // why the file must not be written, when it must not
};

// The user's store at SettingsStorePath().
std::unique_ptr<SettingsStore> OpenUserSettingsStore(Reporter& reporter);

}  // namespace ringmere
