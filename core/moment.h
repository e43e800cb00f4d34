// Moments as whole seconds since 30/12/1899 00:00, and the calendar sums the
// occurrence computation needs. Day counts are doubles: adding 15 minutes to
// one thousands of times drifts off the minute, so schedules count seconds.
#pragma once

#include <cstdint>
#include <optional>

#include "core/datetime.h"

namespace ringmere {

using Moment = std::int64_t;
inline constexpr Moment kDaySeconds = kSecondsPerDay;

constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
constexpr std::int64_t FloorMod(std::int64_t a, std::int64_t b) {
    return a - FloorDiv(a, b) * b;
}

constexpr std::int64_t DayOfMoment(Moment m) {
    return FloorDiv(m, kDaySeconds);
}
constexpr int SecondOfDay(Moment m) {
    return static_cast<int>(FloorMod(m, kDaySeconds));
}
constexpr Moment AtSecond(std::int64_t day, int second) {
    return day * kDaySeconds + second;
}

// Months counted as year * 12 + (month - 1).
constexpr std::int64_t MonthIndex(std::int64_t year, int month) {
    return year * 12 + month - 1;
}
constexpr std::int64_t YearOfMonthIndex(std::int64_t index) {
    return FloorDiv(index, 12);
}
constexpr int MonthOfMonthIndex(std::int64_t index) {
    return static_cast<int>(FloorMod(index, 12)) + 1;
}

// The nearest whole second. Nothing for values that are not finite or lie
// outside the years 1 to 9999.
std::optional<Moment> ToMoment(DateTime value);
// The whole second at or after `value`. A moment part-way through a second
// then compares with whole-second occurrences as the exact value would.
std::optional<Moment> ToMomentCeil(DateTime value);
DateTime FromMoment(Moment m);

// The time of day of `value` in seconds, 0 to 86399 (23:59:59.7 stays on
// its day instead of rounding over to midnight).
int TimeOfDaySeconds(DateTime value);

}  // namespace ringmere
