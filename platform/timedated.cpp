#include "platform/timedated.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCall>

namespace ringmere {

namespace {
// Long enough for the user to answer polkit's password prompt.
constexpr int kCallTimeoutMs = 120000;
}  // namespace

TimedatedResult SetTimeByTimedated(const QDBusConnection& bus, qint64 utcMicroseconds,
                                   const std::function<bool()>& keepWaiting) {
    TimedatedResult r;
    if (!bus.isConnected()) {
        r.error = bus.lastError().message();
        return r;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.timedate1"), QStringLiteral("/org/freedesktop/timedate1"),
        QStringLiteral("org.freedesktop.timedate1"), QStringLiteral("SetTime"));
    call << qlonglong(utcMicroseconds) << false << true;
    call.setInteractiveAuthorizationAllowed(true);
    QDBusPendingCall pending = QDBusConnection(bus).asyncCall(call, kCallTimeoutMs);
    while (!pending.isFinished()) {
        if (!keepWaiting()) {
            r.status = TimedatedResult::Refused;
            r.error = QStringLiteral("the program is ending");
            return r;
        }
    }
    if (!pending.isError()) {
        r.status = TimedatedResult::Done;
        return r;
    }
    const QDBusError e = pending.error();
    switch (e.type()) {
        case QDBusError::ServiceUnknown:
        case QDBusError::NoServer:
        case QDBusError::Disconnected:
        case QDBusError::UnknownObject:
        case QDBusError::UnknownInterface:
        case QDBusError::UnknownMethod:
            r.error = e.message();
            return r;
        default:
            break;
    }
    r.status = TimedatedResult::Refused;
    r.denied = e.type() == QDBusError::AccessDenied ||
               e.name() == QLatin1String("org.freedesktop.DBus.Error.InteractiveAuthorizationRequired");
    if (e.name() == QLatin1String("org.freedesktop.timedate1.AutomaticTimeSyncEnabled"))
        // Said plainly: the system keeps its own clock, and that is its owner's choice.
        r.error = QStringLiteral(
            "the system sets its clock itself (automatic time synchronization is on), so it "
            "cannot be set by hand");
    else
        r.error = e.message().isEmpty() ? e.name() : e.message();
    return r;
}

}  // namespace ringmere
