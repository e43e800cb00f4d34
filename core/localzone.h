// Local wall-clock time against universal time, by the rules of the
// process's zone (TZ, else /etc/localtime) in force on each date.
//
// The schedule is made of local times, and most of them exist exactly once.
// On the two nights a year the clock jumps, a local time is read as iCalendar
// (RFC 5545) reads it: a time the clock skips is taken with the offset in
// force before the jump, so it comes later by the jump (02:30 becomes 03:30);
// a time the clock shows twice is the first of the two.
#pragma once

#include <array>
#include <cstdint>

#include "core/moment.h"

namespace ringmere {

// Universal time in Moment's count: whole seconds since 30/12/1899 00:00 UTC.
using UtcMoment = std::int64_t;
inline constexpr std::int64_t kUnixEpochSeconds = kUnixEpochDay * kDaySeconds;

// One moment in universal time, to the millisecond, since 30/12/1899 00:00
// UTC. Unlike a local time it says which of a repeated hour's two passes.
struct Instant {
    std::int64_t utcMs = 0;
    bool operator==(const Instant&) const = default;
    auto operator<=>(const Instant&) const = default;
};
// No moment: what a clock that reads nonsense gives.
inline constexpr Instant kNoInstant{INT64_MIN};

// Local minus universal time, in seconds, at `utc`.
int UtcOffsetAt(UtcMoment utc);

// The process's zone, with the answers for whole days kept: a schedule
// build converts tens of thousands of times, nearly all on days the offset
// does not change. The zone is read again (tzset) when one is made, so a
// zone changed since the last build counts.
class LocalZone {
public:
    LocalZone();

    // The moment a local time stands for, read as above.
    UtcMoment UtcOf(Moment local);
    // What the local clock shows at `utc`.
    Moment LocalOf(UtcMoment utc);

private:
    struct Day {
        std::int64_t day = INT64_MIN;
        bool uniform = false;  // one offset all day long
        int offset = 0;
    };
    static constexpr std::size_t kSlots = 64;
    Day& LocalDay(std::int64_t day);
    Day& UtcDay(std::int64_t day);

    std::array<Day, kSlots> local_{};
    std::array<Day, kSlots> utc_{};
};

// One-off conversions, for callers that convert a time or two.
UtcMoment UtcOfLocal(Moment local);
Moment LocalOfUtc(UtcMoment utc);

// The local day count of an instant, and back (a local time in a repeated
// hour becomes its first pass; one outside the years 1 to 9999, kNoInstant).
DateTime LocalDateTimeOf(Instant t);
Instant InstantOfLocal(DateTime local);

}  // namespace ringmere
