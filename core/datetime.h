// Dates and times as day counts since 30 December 1899: the whole part is the
// date, the fraction the time of day. This is how the alarm file and every
// older installation count time, so it is kept rather than std::chrono.
#pragma once

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

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

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
