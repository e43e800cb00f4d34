#include "core/moment.h"

#include <cmath>

namespace ringmere {

namespace {

// 1/1/0001 and 31/12/9999 as day counts.
constexpr double kFirstDay = -693593.0;
constexpr double kLastDay = 2958465.0;

// Rounds a value that is not negative to the nearest whole number, halves
// up, as llround does there, but without a library call: a schedule build
// converts tens of thousands of times.
long long RoundUp(double x) {
    return static_cast<long long>(x + 0.5);
}

// Milliseconds since the epoch. Before it the time of day counts forwards
// from the (negative) date, as everywhere else in the program.
std::optional<std::int64_t> ToMilliseconds(DateTime value) {
    if (!std::isfinite(value)) return std::nullopt;
    const double whole = std::trunc(value);
    if (whole < kFirstDay || whole > kLastDay) return std::nullopt;
    const long long ms = RoundUp(std::fabs(value - whole) * 86400000.0);
    return static_cast<std::int64_t>(whole) * 86400000 + ms;
}

}  // namespace

std::optional<Moment> ToMoment(DateTime value) {
    const auto ms = ToMilliseconds(value);
    if (!ms) return std::nullopt;
    return FloorDiv(*ms + 500, 1000);
}

std::optional<Moment> ToMomentCeil(DateTime value) {
    const auto ms = ToMilliseconds(value);
    if (!ms) return std::nullopt;
    return FloorDiv(*ms + 999, 1000);
}

DateTime FromMoment(Moment m) {
    return FromDaySecond(DayOfMoment(m), SecondOfDay(m));
}

int TimeOfDaySeconds(DateTime value) {
    if (!std::isfinite(value)) return 0;
    const double frac = std::fabs(value - std::trunc(value));
    const long long s = RoundUp(frac * kSecondsPerDay);
    return static_cast<int>(s >= kSecondsPerDay ? kSecondsPerDay - 1 : s);
}

}  // namespace ringmere
