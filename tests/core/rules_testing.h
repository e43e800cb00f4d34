// Exception rules as the tests write them.
#pragma once

#include <utility>
#include <vector>

#include "core/records.h"

namespace ringmere::fixtures {

// No occurrence between `from` and `to` (inclusive) on any day.
inline ExRec WindowRule(DateTime from, DateTime to) {
    ExRec r;
    r.ExType = 0;
    r.ExTStart = from;
    r.ExTEnd = to;
    return r;
}

// The listed dates: whole days (`sel` 0) or `from` to `to` on them (`sel` 1).
inline ExRec DatesRule(std::vector<DateTime> days, Byte sel = 0, DateTime from = 0,
                       DateTime to = 0) {
    ExRec r;
    r.ExType = 1;
    r.ExDayCnt = static_cast<Integer>(days.size());
    r.ExDays = std::move(days);
    r.ExSelType = sel;
    r.ExTStart = from;
    r.ExTEnd = to;
    return r;
}

inline ExRec WeekdaysRule(std::vector<Integer> days) {
    ExRec r;
    r.ExType = 2;
    r.ExWeekdayNum = static_cast<Integer>(days.size());
    r.ExWeekDays = std::move(days);
    return r;
}

}  // namespace ringmere::fixtures
