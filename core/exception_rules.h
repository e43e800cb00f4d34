// Exception rules: which moments an alarm's own rules and the global rules
// take out of its schedule.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/globals.h"
#include "core/moment.h"

namespace ringmere {

using ExceptionKind = ExType;  // the older name

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

// Rule lists made ready for the many checks of a schedule build: times in
// seconds, dates as day numbers, weekdays as bits.
class CompiledRules {
public:
    using SetId = std::uint32_t;

    void Clear();
    // Adds `rules` as one more set.
    SetId Add(const ExList& rules);

    // True when no rule of set `a` or set `b` excludes `m`. Otherwise
    // `through` (if given) receives the last second of the stretch that the
    // first excluding rule takes out around `m` (the window's end, or the
    // end of the day), so that a search can step over it at once.
    bool Allowed(SetId a, SetId b, Moment m, Moment* through = nullptr) const;
    // Whether a daily window of the set holds this time of day.
    bool WindowHolds(SetId set, int secondOfDay) const;
    // Whether one weekday rule of the set names every weekday of `days`
    // (bit w for weekday w).
    bool WeekdaysTaken(SetId set, std::uint32_t days) const;

private:
    struct Rule {
        Byte kind = 0;
        Byte selection = 0;
        int start = 0;  // window, seconds of the day
        int end = 0;
        std::uint32_t weekdays = 0;
        std::uint32_t firstDay = 0;  // dates: days_[firstDay] onwards
        std::uint32_t dayCount = 0;
    };
    struct Set {
        std::uint32_t first = 0;
        std::uint32_t count = 0;
    };

    std::optional<Moment> Through(const Rule& rule, Moment m) const;

    std::vector<Rule> rules_;
    std::vector<std::int64_t> days_;
    std::vector<Set> sets_;
};

}  // namespace ringmere
