// The start-at-log-on entry as an XDG autostart file: desktop sessions start
// the Exec line of every ".desktop" file in ~/.config/autostart at log-on.
#pragma once

#include <optional>
#include <string>

#include "core/settings.h"

namespace ringmere {

class DesktopAutoStartEntry final : public AutoStartEntry {
public:
    explicit DesktopAutoStartEntry(std::string path) : path_(std::move(path)) {}

    // The Exec line of the file; an empty text when the file has none.
    std::optional<std::string> Read() const override;
    // Writes the whole file anew, the program path quoted when it needs it.
    bool Write(const std::string& program, const std::string& argument,
               std::string& error) override;
    bool Remove(std::string& error) override;
    // "Hidden=true" or "X-GNOME-Autostart-enabled=false", as desktops write
    // them when the user turns the entry off.
    bool DisabledByUser() const override;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// The Exec value that runs `program` with `argument`, escaped as desktop
// files require.
std::string DesktopExecLine(const std::string& program, const std::string& argument);

}  // namespace ringmere
