#include "app/clock_setter_linux.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/timedated.h"

namespace ringmere::app {

run::ClockResult SystemClockSetter::Apply(qint64 utcMicroseconds) {
    const TimedatedResult asked =
        SetTimeByTimedated(QDBusConnection::systemBus(), utcMicroseconds, [this] {
            if (waiting_.Quitting()) return false;
            waiting_.Pause(20);
            return true;
        });
    if (asked.status == TimedatedResult::Done) return {true, {}};
    if (asked.status == TimedatedResult::Refused) return {false, asked.error, asked.denied};
    timespec ts{};
    ts.tv_sec = time_t(utcMicroseconds / 1000000);
    ts.tv_nsec = long(utcMicroseconds % 1000000) * 1000;
    if (clock_settime(CLOCK_REALTIME, &ts) != 0)
        return {false, QString::fromLocal8Bit(std::strerror(errno)), errno == EPERM};
    return {true, {}};
}

}  // namespace ringmere::app
