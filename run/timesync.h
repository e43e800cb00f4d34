// Fetching the time from a server and setting the clock from it: one pair
// of operations behind the run's action, the main window's Time Sync page
// and the editors' "Test Update System Time" buttons.
#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "core/datetime.h"

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
    bool denied = false;  // not set for want of permission
};

// "No time from <server>: <why>." for a fetch that brought none.
QString NoTimeLine(const QString& server, const ServerTime& time);

// A server's answer, read and judged. A daytime text takes its century from
// the build year; no time before the build date, nor more than a year after
// it, is taken (the clock setter holds the build date).
struct ReadAnswer {
    std::optional<qint64> utcMicroseconds;  // the time to set; empty: none
    // "<server> sent 2026-12-08 14:05:06 UTC; this computer's clock is 3 s
    // behind." Empty when the reply holds no time.
    QString sent;
    // Without a time: "Error updating system time: " and why.
    QString refused;
    // When it was read, on the services' clock: a time set later is moved on.
    DateTime readAt = 0;
};
ReadAnswer ReadServerAnswer(const Services& services, const QString& server,
                            const ServerTime& time);

// Sets the clock to `answer`'s time, moved on by what has passed since it was read.
SynchOutcome SetClockTo(const Services& services, const ReadAnswer& answer);

// Reads the answer, tells its `sent` line (when it holds a time) and sets
// the clock unless the time is refused.
SynchOutcome SetClockFrom(const Services& services, const QString& server,
                          const ServerTime& time,
                          const std::function<void(const QString&)>& tell);

// Whether the interactive synchronisation shows the time and asks before it
// sets the clock (the editors' "Test Update System Time").
enum class SynchConfirm { No, AskFirst };

// The "Update System Time" button: the server's checks, the status texts
// (through `status`, which may be empty) and the boxes at the top-left
// corner of `owner`'s window; every fetch, refusal and setting goes to the
// activity log. Returns at once, doing nothing, while a synchronisation of
// the same owner is still under way.
void InteractiveSynchronize(const Services& services, const QString& server, QWidget* owner,
                            const std::function<void(const QString&)>& status = {},
                            const std::function<bool()>& cancelled = {},
                            SynchConfirm confirm = SynchConfirm::No);

}  // namespace ringmere::run
