#include "platform/power_events.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>
#include <unistd.h>

namespace ringmere {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
// logind answers at once; a start-up must not hang on a stuck bus.
constexpr int kCallTimeoutMs = 3000;

}  // namespace

PowerEvents::PowerEvents(const QDBusConnection& bus, QObject* parent) : QObject(parent), bus_(bus) {
    if (!bus_.isConnected()) {
        error_ = QStringLiteral("No system bus: %1").arg(bus_.lastError().message());
        return;
    }
    subscribed_ = bus_.connect(kService, kPath, kManager, QStringLiteral("PrepareForSleep"), this,
                               SLOT(OnPrepareForSleep(bool)));
    if (!subscribed_) {
        error_ = QStringLiteral("Cannot listen to logind: %1").arg(bus_.lastError().message());
        return;
    }
    available_ = true;
    // Asking for the lock also tells whether logind is there at all (the call
    // starts it when the bus can).
    if (!TakeDelayLock() && !bus_.interface()->isServiceRegistered(kService).value()) {
        available_ = false;
        error_ = QStringLiteral("logind is not on the bus (%1)").arg(error_);
        bus_.disconnect(kService, kPath, kManager, QStringLiteral("PrepareForSleep"), this,
                        SLOT(OnPrepareForSleep(bool)));
        subscribed_ = false;
    }
}

PowerEvents::~PowerEvents() {
    if (subscribed_)
        bus_.disconnect(kService, kPath, kManager, QStringLiteral("PrepareForSleep"), this,
                        SLOT(OnPrepareForSleep(bool)));
    ReleaseDelayLock();
}

bool PowerEvents::TakeDelayLock() {
    if (lockFd_ >= 0) return true;
    if (!(bus_.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing)) {
        error_ = QStringLiteral("The bus cannot pass the inhibitor lock.");
        return false;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kManager, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Ringmere")
         << QStringLiteral("Arming the wake-up timer for the next alarm")
         << QStringLiteral("delay");
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        const QDBusError error(reply);
        error_ = QStringLiteral("No inhibitor lock: %1").arg(error.message());
        return false;
    }
    const auto fd = reply.arguments().constFirst().value<QDBusUnixFileDescriptor>();
    if (!fd.isValid()) {
        error_ = QStringLiteral("No inhibitor lock: logind sent no file descriptor.");
        return false;
    }
    // Our own copy, kept from the programs an alarm starts, so that the lock
    // ends exactly when we close it.
    lockFd_ = fcntl(fd.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (lockFd_ < 0) {
        error_ = QStringLiteral("No inhibitor lock: %1").arg(qt_error_string(errno));
        return false;
    }
    error_.clear();
    return true;
}

void PowerEvents::ReleaseDelayLock() {
    if (lockFd_ < 0) return;
    close(lockFd_);
    lockFd_ = -1;
}

void PowerEvents::OnPrepareForSleep(bool start) {
    if (start) {
        emit powerEvent(kSuspend);
        // The handlers have armed what they need: the system may sleep now.
        ReleaseDelayLock();
    } else {
        // Ready for the next suspend before anyone hears of this one's end.
        TakeDelayLock();
        emit powerEvent(kResume);
    }
}

}  // namespace ringmere
