#include "core/exception_rules.h"

#include <algorithm>

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

}  // namespace

void CompiledRules::Clear() {
    rules_.clear();
    days_.clear();
    sets_.clear();
}

CompiledRules::SetId CompiledRules::Add(const ExList& list) {
    Set set{static_cast<std::uint32_t>(rules_.size()), 0};
    const std::size_t n = RuleCount(list);
    for (std::size_t i = 0; i < n; ++i) {
        const ExRec& r = list.Items[i];
        Rule rule;
        rule.kind = r.ExType;
        rule.selection = r.ExSelType;
        rule.start = TimeOfDaySeconds(r.ExTStart);
        rule.end = TimeOfDaySeconds(r.ExTEnd);
        const std::size_t weekdays = Used(r.ExWeekDays, r.ExWeekdayNum);
        for (std::size_t k = 0; k < weekdays; ++k)
            if (r.ExWeekDays[k] >= 1 && r.ExWeekDays[k] <= 7)
                rule.weekdays |= 1u << r.ExWeekDays[k];
        rule.firstDay = static_cast<std::uint32_t>(days_.size());
        const std::size_t dates = Used(r.ExDays, r.ExDayCnt);
        for (std::size_t k = 0; k < dates; ++k)
            if (const auto d = ToMoment(r.ExDays[k])) days_.push_back(DayOfMoment(*d));
        rule.dayCount = static_cast<std::uint32_t>(days_.size()) - rule.firstDay;
        rules_.push_back(rule);
        ++set.count;
    }
    sets_.push_back(set);
    return static_cast<SetId>(sets_.size() - 1);
}

std::optional<Moment> CompiledRules::Through(const Rule& rule, Moment m) const {
    const std::int64_t day = DayOfMoment(m);
    const int at = SecondOfDay(m);
    const bool inWindow = rule.start <= rule.end && at >= rule.start && at <= rule.end;
    switch (rule.kind) {
        case kExDailyWindow:
            if (inWindow) return AtSecond(day, rule.end);
            return std::nullopt;
        case kExDates:
            for (std::uint32_t k = 0; k < rule.dayCount; ++k) {
                if (days_[rule.firstDay + k] != day) continue;
                // The first equal date decides.
                if (rule.selection == kExWholeDay) return AtSecond(day, kDaySeconds - 1);
                if (rule.selection == kExWindowOnDates && inWindow) return AtSecond(day, rule.end);
                return std::nullopt;
            }
            return std::nullopt;
        case kExWeekdays:
            if (rule.weekdays & (1u << WeekdayOf(day))) return AtSecond(day, kDaySeconds - 1);
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

bool CompiledRules::Allowed(SetId a, SetId b, Moment m, Moment* through) const {
    for (const SetId id : {a, b}) {
        const Set& set = sets_[id];
        for (std::uint32_t i = 0; i < set.count; ++i) {
            if (const auto t = Through(rules_[set.first + i], m)) {
                if (through) *through = *t;
                return false;
            }
        }
    }
    return true;
}

bool CompiledRules::WindowHolds(SetId id, int secondOfDay) const {
    const Set& set = sets_[id];
    for (std::uint32_t i = 0; i < set.count; ++i) {
        const Rule& r = rules_[set.first + i];
        if (r.kind == kExDailyWindow && Through(r, secondOfDay)) return true;
    }
    return false;
}

bool CompiledRules::WeekdaysTaken(SetId id, std::uint32_t days) const {
    const Set& set = sets_[id];
    for (std::uint32_t i = 0; i < set.count; ++i) {
        const Rule& r = rules_[set.first + i];
        if (r.kind == kExWeekdays && (r.weekdays & days) == days) return true;
    }
    return false;
}

bool RuleExcludes(const ExRec& rule, DateTime moment) {
    const auto m = ToMoment(moment);
    if (!m) return false;
    CompiledRules compiled;
    ExList list;
    list.Count = 1;
    list.Items = {rule};
    const auto id = compiled.Add(list);
    return !compiled.Allowed(id, id, *m);
}

bool OccurrenceAllowed(const Globals& g, Integer alarm, DateTime moment) {
    const auto m = ToMoment(moment);
    if (!m) return true;  // no rule can name such a moment
    const bool inTable = alarm >= 1 && alarm <= g.AlarmCount &&
                         static_cast<std::size_t>(alarm) < g.AlarmTable.size();
    CompiledRules compiled;
    const auto global = compiled.Add(g.GlobalExceptions);
    const auto own = inTable ? compiled.Add(g.AlarmTable[alarm].Exceptions) : global;
    return compiled.Allowed(global, own, *m);
}

int AlwaysExcluded(const TimeRec& schedule, const ExList& ownRules) {
    if (schedule.AlEndType == kEndOnce) return kNotAlwaysExcluded;
    CompiledRules compiled;
    const auto own = compiled.Add(ownRules);
    if (schedule.AlType == kEveryXDays)
        return compiled.WindowHolds(own, TimeOfDaySeconds(schedule.AlTime)) ? kTimeAlwaysExcluded
                                                                            : kNotAlwaysExcluded;
    if (schedule.AlType != kWeekly) return kNotAlwaysExcluded;
    // Only real weekdays count: the computation ignores any others too.
    std::uint32_t used = 0;
    const std::size_t n = Used(schedule.AlWeekdays, schedule.AlWeekdaynum);
    for (std::size_t i = 0; i < n; ++i) {
        const Integer w = schedule.AlWeekdays[i];
        if (w >= 1 && w <= 7) used |= 1u << w;
    }
    if (used == 0) return kNotAlwaysExcluded;
    return compiled.WeekdaysTaken(own, used) ? kWeekdaysAlwaysExcluded : kNotAlwaysExcluded;
}

}  // namespace ringmere
