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

// Day number (30/12/1899 is 0) of a calendar date; any year, no checks.
constexpr std::int64_t DayNumber(std::int64_t year, int month, int day) {
    const std::int64_t y = month <= 2 ? year - 1 : year;
    const std::int64_t era = FloorDiv(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 25569;  // 25569: 1/1/1970 counted from 30/12/1899
}

struct Ymd {
    std::int64_t year = 1899;
    int month = 12;
    int day = 30;
};

constexpr Ymd CivilOf(std::int64_t dayNumber) {
    const std::int64_t z = dayNumber - 25569 + 719468;
    const std::int64_t era = FloorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

constexpr bool IsLeap(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

constexpr int MonthLength(std::int64_t year, int month) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// 1 = Sunday ... 7 = Saturday; 30/12/1899 was a Saturday.
constexpr int WeekdayOf(std::int64_t dayNumber) {
    return static_cast<int>(FloorMod(dayNumber + 6, 7)) + 1;
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
