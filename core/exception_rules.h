// Exception rules: which moments an alarm's own rules and the global rules
// take out of its schedule.
#pragma once

#include <optional>

#include "core/globals.h"
#include "core/moment.h"

namespace ringmere {

// Rule kinds (ExType).
enum ExceptionKind : Byte {
    kExDailyWindow = 0,
    kExDates = 1,
    kExWeekdays = 2,
};

// True when `rule` takes `moment` out. Windows include both ends and never
// run past midnight: one that ends before it starts excludes nothing.
bool RuleExcludes(const ExRec& rule, DateTime moment);

// False when any global rule or any of alarm `alarm`'s own rules excludes
// `moment`. A position outside the alarm table has only the global rules.
bool OccurrenceAllowed(const Globals& g, Integer alarm, DateTime moment);

// The editor's never-occurs test, on the alarm's own rules only.
enum AlwaysExcludedResult : int {
    kNotAlwaysExcluded = 0,
    kTimeAlwaysExcluded = 1,      // an every-X-days alarm's time lies in a daily window
    kWeekdaysAlwaysExcluded = 2,  // one weekday rule covers every day of a weekly alarm
};
int AlwaysExcluded(const TimeRec& schedule, const ExList& ownRules);

// In whole seconds, for the occurrence computation: when `rule` excludes
// `m`, the last second of the stretch it excludes around `m` (the window's
// end, or the end of the day), so that a search can step over it at once.
std::optional<Moment> ExcludedThrough(const ExRec& rule, Moment m);

// True when no rule of `global` or `own` excludes `m`. Otherwise `through`
// (if given) receives ExcludedThrough of the first rule that does.
bool AllowedAt(const ExList& global, const ExList& own, Moment m, Moment* through = nullptr);

}  // namespace ringmere
