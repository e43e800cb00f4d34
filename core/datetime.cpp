#include "core/datetime.h"

#include <cmath>
#include <cstdio>

#include "core/text.h"

namespace ringmere {

namespace {

// Reads 1..maxDigits decimal digits.
bool ReadNumber(std::string_view& s, int maxDigits, int& out, int* digits = nullptr) {
    int n = 0, value = 0;
    while (n < static_cast<int>(s.size()) && n < maxDigits && s[n] >= '0' && s[n] <= '9') {
        value = value * 10 + (s[n] - '0');
        ++n;
    }
    if (n == 0) return false;
    s.remove_prefix(n);
    out = value;
    if (digits) *digits = n;
    return true;
}

bool Skip(std::string_view& s, char c) {
    if (s.empty() || s.front() != c) return false;
    s.remove_prefix(1);
    return true;
}

}  // namespace

std::optional<DateTime> TryEncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        return std::nullopt;
    return static_cast<DateTime>(DayNumber(year, month, day));
}

DateTime EncodeDate(int year, int month, int day) {
    return TryEncodeDate(year, month, day).value_or(0.0);
}

CivilDate DecodeDate(DateTime value) {
    if (!std::isfinite(value)) return {};
    const double whole = std::trunc(value);
    if (whole < -693593.0 || whole > 2958465.0) return {};  // outside years 1 to 9999
    return CivilOf(static_cast<std::int64_t>(whole));
}

DateTime EncodeTime(int hour, int minute, int second, int msec) {
    return (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / 86400000.0;
}

DaySecond SplitToSecond(DateTime value) {
    if (!std::isfinite(value)) return {};
    double whole = std::trunc(value);
    // Times of days before the epoch count forwards too (-1.25 is 29/12/1899 06:00).
    long long secs = std::llround(std::fabs(value - whole) * kSecondsPerDay);
    if (secs >= kSecondsPerDay) {
        secs -= kSecondsPerDay;
        whole += value < 0 ? -1 : 1;
    }
    return {static_cast<std::int64_t>(whole), static_cast<int>(secs)};
}

DateTime FromDaySecond(std::int64_t day, int second) {
    const double t = static_cast<double>(second) / kSecondsPerDay;
    return day < 0 ? static_cast<double>(day) - t : static_cast<double>(day) + t;
}

DateTime DateOf(DateTime value) {
    return std::trunc(value);
}

DateTime TimeOf(DateTime value) {
    return std::fabs(value - std::trunc(value));
}

int DayOfWeek(DateTime value) {
    return WeekdayOf(static_cast<std::int64_t>(std::trunc(value)));
}

std::string FormatShortDate(DateTime value) {
    const DaySecond ds = SplitToSecond(value);
    const CivilDate c = DecodeDate(static_cast<double>(ds.day));
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d/%d/%04d", c.month, c.day, c.year);  // yyyy: four digits
    return buf;
}

std::string FormatLongTime(DateTime value) {
    const int secs = SplitToSecond(value).second;
    const int h24 = secs / 3600;
    int h12 = h24 % 12;
    if (h12 == 0) h12 = 12;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d%s", h12, secs / 60 % 60, secs % 60,
                  h24 < 12 ? "AM" : "PM");
    return buf;
}

std::string FormatDateTime(DateTime value) {
    return FormatShortDate(value) + " " + FormatLongTime(value);
}

std::optional<DateTime> ParseShortDate(std::string_view text) {
    std::string_view s = TrimBlanks(text);
    int month = 0, day = 0, year = 0, yearDigits = 0;
    if (!ReadNumber(s, 2, month) || !Skip(s, '/') || !ReadNumber(s, 2, day) || !Skip(s, '/') ||
        !ReadNumber(s, 4, year, &yearDigits) || !s.empty())
        return std::nullopt;
    if (yearDigits <= 2) year += year < 50 ? 2000 : 1900;
    return TryEncodeDate(year, month, day);
}

std::optional<DateTime> ParseLongTime(std::string_view text) {
    std::string_view s = TrimBlanks(text);
    int hour = 0, minute = 0, second = 0, msec = 0;
    if (!ReadNumber(s, 2, hour) || !Skip(s, ':') || !ReadNumber(s, 2, minute)) return std::nullopt;
    if (Skip(s, ':')) {
        if (!ReadNumber(s, 2, second)) return std::nullopt;
        if (Skip(s, '.')) {
            int digits = 0;
            if (!ReadNumber(s, 3, msec, &digits)) return std::nullopt;
            while (digits++ < 3) msec *= 10;
        }
    }
    s = TrimBlanks(s);
    if (!s.empty()) {
        if (s.size() != 2 || (s[1] != 'M' && s[1] != 'm')) return std::nullopt;
        const char ap = s[0];
        const bool pm = ap == 'P' || ap == 'p';
        if (!pm && ap != 'A' && ap != 'a') return std::nullopt;
        if (hour > 12) return std::nullopt;
        if (hour == 12) hour = 0;
        if (pm) hour += 12;
    }
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    return EncodeTime(hour, minute, second, msec);
}

}  // namespace ringmere
