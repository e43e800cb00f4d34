#include "core/next_alarm.h"

#include <algorithm>
#include <cstdio>

#include "core/exception_form.h"
#include "core/occurrence.h"

namespace ringmere {

namespace {

std::int64_t SecondsOf(DateTime t) {
    const DaySecond ds = SplitToSecond(t);
    return ds.day * std::int64_t{kSecondsPerDay} + ds.second;
}

std::int64_t DayOf(DateTime t) {
    return SplitToSecond(t).day;
}

// A rule made through the editor's own form, so that it holds exactly what
// the editor would store for the same choice.
ExRec DatesRule(std::vector<std::string> dates, std::optional<int> secondOfDay) {
    ExceptionForm form;
    form.type = ExceptionChoice::SelectedDates;
    form.dates = std::move(dates);
    form.betweenTimes = secondOfDay.has_value();
    if (secondOfDay) form.datesStart = form.datesEnd = FromDaySecond(0, *secondOfDay);
    ExRec rule;
    StoreException(form, rule);
    return rule;
}

}  // namespace

std::string ClockTimeText(DateTime when) {
    const int secs = SplitToSecond(when).second;
    const int h24 = secs / 3600;
    const int h12 = h24 % 12 == 0 ? 12 : h24 % 12;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d:%02d %s", h12, secs / 60 % 60, h24 < 12 ? "AM" : "PM");
    return buf;
}

std::string TimeUntilText(DateTime now, DateTime when) {
    const std::int64_t seconds = SecondsOf(when) - SecondsOf(now);
    if (seconds < 60) return "in less than a minute";
    const std::int64_t minutes = seconds / 60;
    const std::int64_t days = minutes / (24 * 60), hours = minutes / 60 % 24, mins = minutes % 60;
    std::string text = "in ";
    if (days > 0) {
        text += std::to_string(days) + " d";
        if (hours > 0) text += " " + std::to_string(hours) + " h";
    } else if (hours > 0) {
        text += std::to_string(hours) + " h";
        if (mins > 0) text += " " + std::to_string(mins) + " min";
    } else {
        text += std::to_string(mins) + " min";
    }
    return text;
}

std::string UpcomingLineText(std::string_view name, DateTime when, DateTime now) {
    std::string text(name);
    if (DayOf(when) != DayOf(now)) text += " on " + FormatShortDate(when);
    return text + " at " + ClockTimeText(when);
}

std::string NextAlarmText(std::string_view name, DateTime when, DateTime now) {
    return "Next: " + UpcomingLineText(name, when, now) + " (" + TimeUntilText(now, when) + ")";
}

std::vector<ScheduleEntry> UpcomingAlarms(const Globals& g, DateTime now, int count) {
    std::vector<ScheduleEntry> out;
    const Integer slots = std::min<Integer>(g.ScheduleCount, kScheduleSlots);
    const std::int64_t from = SecondsOf(now);
    for (Integer s = 1; s <= slots && static_cast<int>(out.size()) < count; ++s) {
        const ScheduleEntry& e = g.ScheduleTable[static_cast<std::size_t>(s)];
        if (e.AlarmIndex < 1 || e.AlarmIndex > g.AlarmCount ||
            static_cast<std::size_t>(e.AlarmIndex) >= g.AlarmTable.size())
            continue;
        if (SecondsOf(e.When) >= from) out.push_back(e);
    }
    return out;
}

std::optional<DateTime> NextOccurrence(const Globals& g, Integer alarm, DateTime from) {
    OccurrenceCursors cursors(g, from);
    if (alarm < 1 || alarm > cursors.AlarmCount() || !cursors.NowIsValid()) return std::nullopt;
    cursors.InitCursors();
    cursors.ComputeCandidate(alarm);
    if (!cursors.HasCandidate(alarm)) return std::nullopt;
    return cursors.Candidate(alarm);
}

std::optional<SkipRule> SkipNextRule(const Globals& g, Integer alarm, DateTime now) {
    const std::optional<DateTime> next = NextOccurrence(g, alarm, now);
    if (!next) return std::nullopt;
    const DaySecond at = SplitToSecond(*next);

    // Whether the alarm rings at another moment of that day, earlier or later.
    OccurrenceCursors cursors(g, FromDaySecond(at.day, 0));
    cursors.InitCursors();
    int onThatDay = 0;
    for (cursors.ComputeCandidate(alarm); cursors.HasCandidate(alarm) && onThatDay < 2;
         cursors.ComputeCandidate(alarm)) {
        if (DayOf(cursors.Candidate(alarm)) != at.day) break;
        ++onThatDay;
        cursors.AdvanceCursor(alarm);
    }

    std::optional<int> window;
    if (onThatDay > 1) window = at.second;
    return SkipRule{DatesRule({FormatShortDate(*next)}, window), *next};
}

PauseResult PauseRule(DateTime now, DateTime resume) {
    const std::int64_t today = DayOf(now), until = DayOf(resume);
    if (until <= today) return {std::nullopt, "Please choose a date after today."};
    if (until - today > kMaxPauseDays)
        return {std::nullopt, "Please choose a date no more than " + std::to_string(kMaxPauseDays) +
                                  " days ahead."};
    std::vector<std::string> dates;
    for (std::int64_t d = today; d < until; ++d)
        dates.push_back(FormatShortDate(FromDaySecond(d, 0)));
    return {DatesRule(std::move(dates), std::nullopt), {}};
}

void AddOwnRule(AlRec& alarm, ExRec rule) {
    ExList& rules = alarm.Exceptions;
    // Items past the count are not rules of the alarm: the new one follows
    // the counted ones, or it would stay hidden behind them.
    const auto counted = static_cast<std::size_t>(std::max<Integer>(0, rules.Count));
    if (rules.Items.size() > counted) rules.Items.resize(counted);
    rules.Items.push_back(std::move(rule));
    rules.Count = static_cast<Integer>(rules.Items.size());
}

}  // namespace ringmere
