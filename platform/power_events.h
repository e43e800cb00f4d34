// Suspend and resume, as systemd-logind announces them on the system bus.
// While the program runs it holds a "delay" inhibitor lock, so that a suspend
// waits until the handler has armed the wake-up timer.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace ringmere {

// Power events as the system reports them to the main window's handler.
enum PowerEventCode {
    kPowerSuspend = 0,
    kPowerSuspendFailed = 2,
    kPowerStandbyFailed = 3,
    kPowerCriticalResume = 6,
    kPowerResumeSuspend = 7,
    kPowerResumeStandby = 8,
};

class PowerEvents : public QObject {
    Q_OBJECT

public:
    // The two codes logind's signal comes to.
    static constexpr int kSuspend = kPowerSuspend;
    static constexpr int kResume = kPowerResumeSuspend;

    // The program passes QDBusConnection::systemBus(); tests a private bus.
    explicit PowerEvents(const QDBusConnection& bus, QObject* parent = nullptr);
    ~PowerEvents() override;  // gives the lock back

    // False without a bus or without logind: no events will come, and the
    // program goes on without them. ErrorText() tells why.
    bool Available() const { return available_; }
    bool HoldsDelayLock() const { return lockFd_ >= 0; }
    // Why events or the lock are missing; empty when all is well.
    QString ErrorText() const { return error_; }

signals:
    // kSuspend before the system sleeps, kResume once it is back. The lock is
    // given back as soon as the handlers of kSuspend have returned: connect
    // them directly (same thread) and arm the wake-up timer before returning.
    void powerEvent(int code);

private slots:
    void OnPrepareForSleep(bool start);

private:
    bool TakeDelayLock();
    void ReleaseDelayLock();

    QDBusConnection bus_;
    bool available_ = false;
    bool subscribed_ = false;
    int lockFd_ = -1;
    QString error_;
};

}  // namespace ringmere
