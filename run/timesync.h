// Fetching the time from a server and setting the clock from it: one pair
// of operations behind the run's action, the main window's Time Sync page
// and the editors' "Test Update System Time" buttons.
#pragma once

#include <QString>
#include <functional>

#include "run/daytime.h"
#include "run/services.h"

class QWidget;

namespace ringmere::run {

// The services lack the daytime client or the clock setter.
inline constexpr const char* kSynchUnavailableInteractive =
    "Setting the clock from a time server is not available in this build.";

// Asks `server` for the time; `cancelled` ends the wait early. Without a
// daytime client nothing is asked and the result says so.
ServerTime FetchTime(const Services& services, const QString& server,
                     const std::function<bool()>& cancelled = {});

enum class SynchKind { Unavailable, Updated, NotSet };
struct SynchOutcome {
    SynchKind kind = SynchKind::Unavailable;
    // "System time updated." or "Error updating system time: " and why.
    QString line;
};

// Sets the clock from a server's answer. A daytime text takes its century
// from the local year; a text whose fields are not a valid time never sets
// the clock, and says why after "Error updating system time: ".
SynchOutcome SetClockFrom(const Services& services, const ServerTime& time);

// The "Update System Time" button: the server's checks, the status texts
// (through `status`, which may be empty) and the boxes at the top-left
// corner of `owner`'s window. Returns at once, doing nothing, while a
// synchronisation of the same owner is still under way.
void InteractiveSynchronize(const Services& services, const QString& server, QWidget* owner,
                            const std::function<void(const QString&)>& status = {},
                            const std::function<bool()>& cancelled = {});

}  // namespace ringmere::run
