// The schedule table: the next occurrences of all alarms merged into one
// list, earliest first, and the text of the main window's schedule view.
#pragma once

#include <string>
#include <vector>

#include "core/clock.h"
#include "core/globals.h"

namespace ringmere {

// The first `size` occurrences of all alarms of `g` from `now`, in
// ascending real time (Utc); equal moments in ascending alarm position.
// Never an occurrence before `now`, never one after 31/12/9998. A local
// `now` in the hour the clock repeats is its first pass.
std::vector<ScheduleEntry> ComputeSchedule(const Globals& g, Instant now, int size);
std::vector<ScheduleEntry> ComputeSchedule(const Globals& g, DateTime now, int size);

// Rebuilds g.ScheduleTable (slots 1 to ScheduleCount) and g.ScheduleCount
// from the alarm table at the clock's current moment. `size` is at most
// the table's 50 slots; the program uses kScheduleSize (40).
void BuildSchedule(Globals& g, const Clock& clock = CurrentClock(), int size = kScheduleSize);

// The "Time" column of the schedule view: short date, a space and the long
// time with a leading 0 of the hour shown as a space ("3/12/2004  9:05:00AM").
std::string ScheduleViewTime(DateTime when);

struct ScheduleViewRow {
    Integer Number = 0;
    std::string Time;
    std::string Name;
};

// The rows of the schedule view, one per valid slot of g.ScheduleTable.
std::vector<ScheduleViewRow> ScheduleViewRows(const Globals& g);

}  // namespace ringmere
