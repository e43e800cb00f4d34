#include "core/exception_rules.h"

#include <algorithm>
#include <array>

namespace ringmere {

namespace {

// Lists are used up to their count, and never past what they hold.
template <class T>
std::size_t Used(const std::vector<T>& list, Integer count) {
    return count <= 0 ? 0 : std::min(list.size(), static_cast<std::size_t>(count));
}

std::size_t RuleCount(const ExList& list) {
    return Used(list.Items, list.Count);
}

std::optional<Moment> WindowThrough(const ExRec& rule, Moment m) {
    const int start = TimeOfDaySeconds(rule.ExTStart);
    const int end = TimeOfDaySeconds(rule.ExTEnd);
    const int at = SecondOfDay(m);
    if (end < start || at < start || at > end) return std::nullopt;
    return AtSecond(DayOfMoment(m), end);
}

bool ListsWeekday(const std::vector<Integer>& list, Integer count, int weekday) {
    const std::size_t n = Used(list, count);
    for (std::size_t i = 0; i < n; ++i)
        if (list[i] == weekday) return true;
    return false;
}

}  // namespace

std::optional<Moment> ExcludedThrough(const ExRec& rule, Moment m) {
    const std::int64_t day = DayOfMoment(m);
    const Moment endOfDay = AtSecond(day, kDaySeconds - 1);
    switch (rule.ExType) {
        case kExDailyWindow:
            return WindowThrough(rule, m);
        case kExDates: {
            const std::size_t n = Used(rule.ExDays, rule.ExDayCnt);
            for (std::size_t i = 0; i < n; ++i) {
                const auto listed = ToMoment(rule.ExDays[i]);
                if (!listed || DayOfMoment(*listed) != day) continue;
                // The first equal date decides.
                if (rule.ExSelType == 0) return endOfDay;
                if (rule.ExSelType == 1) return WindowThrough(rule, m);
                return std::nullopt;
            }
            return std::nullopt;
        }
        case kExWeekdays:
            if (ListsWeekday(rule.ExWeekDays, rule.ExWeekdayNum, WeekdayOf(day))) return endOfDay;
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

bool AllowedAt(const ExList& global, const ExList& own, Moment m, Moment* through) {
    for (const ExList* list : {&global, &own}) {
        const std::size_t n = RuleCount(*list);
        for (std::size_t i = 0; i < n; ++i) {
            if (const auto t = ExcludedThrough(list->Items[i], m)) {
                if (through) *through = *t;
                return false;
            }
        }
    }
    return true;
}

bool RuleExcludes(const ExRec& rule, DateTime moment) {
    const auto m = ToMoment(moment);
    return m && ExcludedThrough(rule, *m).has_value();
}

bool OccurrenceAllowed(const Globals& g, Integer alarm, DateTime moment) {
    const auto m = ToMoment(moment);
    if (!m) return true;  // no rule can name such a moment
    static const ExList kNone;
    const bool inTable = alarm >= 1 && alarm <= g.AlarmCount &&
                         static_cast<std::size_t>(alarm) < g.AlarmTable.size();
    return AllowedAt(g.GlobalExceptions, inTable ? g.AlarmTable[alarm].Exceptions : kNone, *m);
}

int AlwaysExcluded(const TimeRec& schedule, const ExList& ownRules) {
    if (schedule.AlEndType == 0) return kNotAlwaysExcluded;
    const std::size_t rules = RuleCount(ownRules);
    if (schedule.AlType == 0) {
        const Moment at = TimeOfDaySeconds(schedule.AlTime);
        for (std::size_t i = 0; i < rules; ++i) {
            const ExRec& r = ownRules.Items[i];
            if (r.ExType == kExDailyWindow && WindowThrough(r, at)) return kTimeAlwaysExcluded;
        }
        return kNotAlwaysExcluded;
    }
    if (schedule.AlType != 1) return kNotAlwaysExcluded;
    // Only real weekdays count: the computation ignores any others too.
    std::array<bool, 8> used{};
    bool any = false;
    const std::size_t n = Used(schedule.AlWeekdays, schedule.AlWeekdaynum);
    for (std::size_t i = 0; i < n; ++i) {
        const Integer w = schedule.AlWeekdays[i];
        if (w >= 1 && w <= 7) used[w] = any = true;
    }
    if (!any) return kNotAlwaysExcluded;
    for (std::size_t i = 0; i < rules; ++i) {
        const ExRec& r = ownRules.Items[i];
        if (r.ExType != kExWeekdays) continue;
        bool all = true;
        for (int w = 1; w <= 7 && all; ++w)
            if (used[w] && !ListsWeekday(r.ExWeekDays, r.ExWeekdayNum, w)) all = false;
        if (all) return kWeekdaysAlwaysExcluded;
    }
    return kNotAlwaysExcluded;
}

}  // namespace ringmere
