// Asking systemd-timedated to set the clock. The bus is the caller's: the
// program's setter passes the system bus (app/), tests a private one.
#pragma once

#include <QDBusConnection>
#include <QString>
#include <QtGlobal>
#include <functional>

namespace ringmere {

struct TimedatedResult {
    enum Status {
        Done,
        Refused,     // timedated or polkit said no; `error` tells why
        Unreachable  // no bus or no timedated on it: the caller may try another way
    };
    Status status = Unreachable;
    QString error;
    bool denied = false;  // Refused for want of permission (polkit)
};

// SetTime with UTC microseconds, absolute, interactive (polkit may ask the
// user, so the call may take long). `keepWaiting` runs between looks at the
// reply, processing events; false gives up.
TimedatedResult SetTimeByTimedated(const QDBusConnection& bus, qint64 utcMicroseconds,
                                   const std::function<bool()>& keepWaiting);

}  // namespace ringmere
