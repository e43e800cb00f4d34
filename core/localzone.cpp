#include "core/localzone.h"

#include <algorithm>
#include <cmath>
#include <ctime>

namespace ringmere {

namespace {

// Local times one day either side of a moment bracket every offset that
// can apply to it: offsets stay within a day.
constexpr std::int64_t kReach = kDaySeconds;

// The first moment a local time stands for, or the gap reading when the
// clock skips it.
UtcMoment Resolve(Moment local) {
    const int offsets[] = {UtcOffsetAt(local - kReach), UtcOffsetAt(local + kReach),
                           UtcOffsetAt(local - UtcOffsetAt(local - kReach)),
                           UtcOffsetAt(local - UtcOffsetAt(local + kReach))};
    bool found = false;
    UtcMoment first = 0;
    for (int o : offsets) {
        const UtcMoment u = local - o;
        if (UtcOffsetAt(u) == o && (!found || u < first)) {
            first = u;
            found = true;
        }
    }
    if (found) return first;
    // Skipped: the clock jumps forwards, so the offset before the jump is the
    // smaller one.
    return local - *std::min_element(std::begin(offsets), std::end(offsets));
}

}  // namespace

int UtcOffsetAt(UtcMoment utc) {
    const std::time_t t = static_cast<std::time_t>(utc - kUnixEpochSeconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return 0;
    return static_cast<int>(tm.tm_gmtoff);
}

LocalZone::LocalZone() {
    tzset();
}

LocalZone::Day& LocalZone::LocalDay(std::int64_t day) {
    Day& d = local_[static_cast<std::size_t>(FloorMod(day, kSlots))];
    if (d.day != day) {
        // Local times of this day lie within a day of it in universal time.
        const Moment start = AtSecond(day, 0);
        const int a = UtcOffsetAt(start - kReach);
        const int b = UtcOffsetAt(start + kDaySeconds / 2);
        const int c = UtcOffsetAt(start + kDaySeconds + kReach);
        d = {day, a == b && b == c, a};
    }
    return d;
}

LocalZone::Day& LocalZone::UtcDay(std::int64_t day) {
    Day& d = utc_[static_cast<std::size_t>(FloorMod(day, kSlots))];
    if (d.day != day) {
        const UtcMoment start = AtSecond(day, 0);
        const int a = UtcOffsetAt(start);
        const int b = UtcOffsetAt(start + kDaySeconds - 1);
        d = {day, a == b, a};
    }
    return d;
}

UtcMoment LocalZone::UtcOf(Moment local) {
    const Day& d = LocalDay(DayOfMoment(local));
    return d.uniform ? local - d.offset : Resolve(local);
}

Moment LocalZone::LocalOf(UtcMoment utc) {
    const Day& d = UtcDay(DayOfMoment(utc));
    return utc + (d.uniform ? d.offset : UtcOffsetAt(utc));
}

UtcMoment UtcOfLocal(Moment local) {
    return LocalZone().UtcOf(local);
}

Moment LocalOfUtc(UtcMoment utc) {
    return LocalZone().LocalOf(utc);
}

DateTime LocalDateTimeOf(Instant t) {
    const std::int64_t secs = FloorDiv(t.utcMs, 1000);
    const Moment local = LocalOfUtc(secs);
    const double ms = static_cast<double>(t.utcMs - secs * 1000);
    return FromMoment(local) + (local >= 0 ? ms / 86400000.0 : 0.0);
}

Instant InstantOfLocal(DateTime local) {
    // The whole second goes through the zone, the rest as it stands.
    const auto whole = ToMoment(local);
    if (!whole) return kNoInstant;
    const double ms = *whole >= 0 ? (local - FromMoment(*whole)) * 86400000.0 : 0.0;
    return {UtcOfLocal(*whole) * 1000 + std::llround(ms)};
}

}  // namespace ringmere
