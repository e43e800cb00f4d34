// Changes of the alarm table that the main window makes, and the choice of
// the due schedule entries at each check.
#pragma once

#include <vector>

#include "core/globals.h"
#include "core/localzone.h"

namespace ringmere {

// Removes alarm `position` (1..AlarmCount) and closes the gap; the table
// keeps its spare slot. Positions after it move down by one, so the
// schedule table must be rebuilt. False when there is no such alarm.
bool DeleteAlarm(Globals& g, Integer position);

// At most this many alarms are started by one check.
inline constexpr int kMaxStartsPerCheck = 6;

// The schedule slots (from 1) that one check starts at `now`: the leading
// entries that are due, at most six. Due in real time: in the hour the
// clock repeats, an entry of its second pass waits for it.
std::vector<int> DueScheduleSlots(const Globals& g, Instant now);

// "Client" and "WClient": the alarms belong to another computer.
bool IsClientMode(const Globals& g);

}  // namespace ringmere
