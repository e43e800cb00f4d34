// The next alarms at a glance (the tray icon's tooltip, the status bar, the
// tray menu), and the rules behind "Skip Next Occurrence" and "Pause Until":
// ordinary selected-dates rules, so the exception editor shows and undoes
// them like any other.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/globals.h"

namespace ringmere {

// "9:05 AM": the hour without a leading zero.
std::string ClockTimeText(DateTime when);
// "in 2 h 5 min", "in 5 min", "in 3 d 4 h", "in less than a minute".
// Whole minutes, rounded down: the text changes as the minute turns.
std::string TimeUntilText(DateTime now, DateTime when);
// "Next: NAME at 9:05 AM (in 2 h 5 min)"; on another day than `now`'s,
// "Next: NAME on 12/14/2026 at 9:05 AM (in 2 d 3 h)".
std::string NextAlarmText(std::string_view name, DateTime when, DateTime now);
inline constexpr std::string_view kNoNextAlarmText = "Next: no alarm scheduled";
// A line of the tray menu: "NAME at 9:05 AM", or "NAME on 12/14/2026 at 9:05 AM".
std::string UpcomingLineText(std::string_view name, DateTime when, DateTime now);

// The schedule table's first `count` entries at or after `now`.
std::vector<ScheduleEntry> UpcomingAlarms(const Globals& g, DateTime now, int count);

// Alarm `alarm`'s first occurrence at or after `from`, all rules applied.
std::optional<DateTime> NextOccurrence(const Globals& g, Integer alarm, DateTime from);

// The rule that takes out the alarm's next occurrence after `now` and no
// other: the whole day when it is the alarm's only occurrence that day,
// else a window of just its second on that day. Nothing when the alarm
// has no next occurrence.
struct SkipRule {
    ExRec rule;
    DateTime skipped = 0;  // the occurrence it takes out
};
std::optional<SkipRule> SkipNextRule(const Globals& g, Integer alarm, DateTime now);

// The rule that takes out whole days from `now`'s date up to the day before
// `resume`. The message why not, when `resume` is not after today or lies
// more than kMaxPauseDays ahead.
inline constexpr int kMaxPauseDays = 366;
struct PauseResult {
    std::optional<ExRec> rule;
    std::string problem;
};
PauseResult PauseRule(DateTime now, DateTime resume);

// Appends `rule` to the alarm's own rules.
void AddOwnRule(AlRec& alarm, ExRec rule);

}  // namespace ringmere
