// Dates and times as day counts since 30 December 1899: the whole part is the
// date, the fraction the time of day. This is how the alarm file and every
// older installation count time, so it is kept as the program's currency; the
// calendar sums behind it are std::chrono's.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ringmere {

using DateTime = double;

inline constexpr int kSecondsPerDay = 86400;

struct CivilDate {
    int year = 1899;
    int month = 12;  // 1-12
    int day = 30;    // 1-31
    bool operator==(const CivilDate&) const = default;
};

// Whole day numbers: 30/12/1899 is day 0, 1/1/1970 day 25569.
inline constexpr std::int64_t kUnixEpochDay = 25569;

constexpr bool IsLeapYear(std::int64_t year) {
    return std::chrono::year(static_cast<int>(year)).is_leap();
}

constexpr int DaysInMonth(std::int64_t year, int month) {
    if (month < 1 || month > 12) return 0;
    using namespace std::chrono;
    const year_month_day_last last{std::chrono::year(static_cast<int>(year)) /
                                   std::chrono::month(static_cast<unsigned>(month)) /
                                   std::chrono::last};
    return static_cast<int>(static_cast<unsigned>(last.day()));
}

// The day number of a valid calendar date; years within +-32767.
constexpr std::int64_t DayNumber(std::int64_t year, int month, int day) {
    using namespace std::chrono;
    const sys_days d{std::chrono::year(static_cast<int>(year)) /
                     std::chrono::month(static_cast<unsigned>(month)) /
                     std::chrono::day(static_cast<unsigned>(day))};
    return d.time_since_epoch().count() + kUnixEpochDay;
}

constexpr CivilDate CivilOf(std::int64_t dayNumber) {
    using namespace std::chrono;
    const year_month_day ymd{sys_days{days{dayNumber - kUnixEpochDay}}};
    return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

// 1 = Sunday ... 7 = Saturday.
constexpr int WeekdayOf(std::int64_t dayNumber) {
    using namespace std::chrono;
    return static_cast<int>(weekday{sys_days{days{dayNumber - kUnixEpochDay}}}.c_encoding()) + 1;
}

// Whole day number of a calendar date (1899-12-30 is 0). Years 1 to 9999.
std::optional<DateTime> TryEncodeDate(int year, int month, int day);
DateTime EncodeDate(int year, int month, int day);  // invalid input gives 0
CivilDate DecodeDate(DateTime value);

DateTime EncodeTime(int hour, int minute, int second, int msec = 0);

// Day number and second of the day, rounded to the nearest second, so that
// a computed 10:00 is never taken for 09:59:59.
struct DaySecond {
    std::int64_t day = 0;
    int second = 0;  // 0-86399
};
DaySecond SplitToSecond(DateTime value);
DateTime FromDaySecond(std::int64_t day, int second);

DateTime DateOf(DateTime value);  // midnight of that day
DateTime TimeOf(DateTime value);  // time of day, 0 <= t < 1

int DayOfWeek(DateTime value);  // 1 = Sunday ... 7 = Saturday

// The fixed text forms: short date "M/d/yyyy", long time "hh:mm:ssAM/PM".
// Independent of the machine's locale.
std::string FormatShortDate(DateTime value);
std::string FormatLongTime(DateTime value);
std::string FormatDateTime(DateTime value);  // short date, a space, long time

std::optional<DateTime> ParseShortDate(std::string_view text);
// Accepts the long form and the forms people type by hand: "9:05 PM",
// "21:05", "09:05:00pm", "9:05:00.250 AM".
std::optional<DateTime> ParseLongTime(std::string_view text);

}  // namespace ringmere
