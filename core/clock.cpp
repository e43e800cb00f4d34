#include "core/clock.h"

#include <chrono>
#include <ctime>

namespace ringmere {

namespace {
const Clock* g_clock = nullptr;
}

DateTime SystemClock::Now() const {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t secs = system_clock::to_time_t(now);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&secs, &local);
    const auto date = TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return date.value_or(0) + EncodeTime(local.tm_hour, local.tm_min,
                                         local.tm_sec > 59 ? 59 : local.tm_sec,
                                         static_cast<int>(ms < 0 ? 0 : ms));
}

Instant SystemClock::NowInstant() const {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return {static_cast<std::int64_t>(ms) + kUnixEpochSeconds * 1000};
}

const Clock& CurrentClock() {
    static const SystemClock system;
    return g_clock ? *g_clock : system;
}

void SetCurrentClock(const Clock* clock) {
    g_clock = clock;
}

}  // namespace ringmere
