#include "core/exception_form.h"

#include <algorithm>

namespace ringmere {

namespace {

// Lists are used up to their count, and never past what they hold.
template <class T>
std::size_t Used(const std::vector<T>& list, Integer count) {
    return count <= 0 ? 0 : std::min(list.size(), static_cast<std::size_t>(count));
}

// Pickers hold whole seconds; comparing seconds keeps 9:00 against a stored
// 8:59:59.9999 from counting as earlier.
int SecondOfDay(DateTime t) {
    return SplitToSecond(TimeOf(t)).second;
}

DateTime TimeOfDay(DateTime t) {
    return FromDaySecond(0, SecondOfDay(t));
}

}  // namespace

ExceptionForm LoadExceptionForm(const ExRec& rule) {
    ExceptionForm form;
    switch (rule.ExType) {
        case kExDailyWindow:
            form.type = ExceptionChoice::Daily;
            form.dailyStart = TimeOfDay(rule.ExTStart);
            form.dailyEnd = TimeOfDay(rule.ExTEnd);
            break;
        case kExDates:
            form.type = ExceptionChoice::SelectedDates;
            for (std::size_t i = 0; i < Used(rule.ExDays, rule.ExDayCnt); ++i)
                form.dates.push_back(FormatShortDate(DateOf(rule.ExDays[i])));
            form.betweenTimes = rule.ExSelType != kExWholeDay;
            if (form.betweenTimes) {
                form.datesStart = TimeOfDay(rule.ExTStart);
                form.datesEnd = TimeOfDay(rule.ExTEnd);
            }
            break;
        case kExWeekdays:
            form.type = ExceptionChoice::Weekly;
            for (std::size_t i = 0; i < Used(rule.ExWeekDays, rule.ExWeekdayNum); ++i) {
                const Integer day = rule.ExWeekDays[i];
                if (day >= 1 && day <= 7) form.weekdays[static_cast<std::size_t>(day - 1)] = true;
            }
            break;
        default:  // a damaged file's kind: the new rule's page
            break;
    }
    return form;
}

std::optional<std::string> CheckExceptionForm(const ExceptionForm& form) {
    static const std::string kEndBeforeStart = "Warning: End time is before start time";
    switch (form.type) {
        case ExceptionChoice::SelectedDates:
            if (form.dates.empty()) return "Please select at least one date to exclude";
            if (form.betweenTimes && SecondOfDay(form.datesEnd) < SecondOfDay(form.datesStart))
                return kEndBeforeStart;
            break;
        case ExceptionChoice::Daily:
            if (SecondOfDay(form.dailyEnd) < SecondOfDay(form.dailyStart)) return kEndBeforeStart;
            break;
        case ExceptionChoice::Weekly:
            if (std::none_of(form.weekdays.begin(), form.weekdays.end(), [](bool b) { return b; }))
                return "Warning: No days of week selected. Please select at least one day of "
                       "the week.";
            break;
    }
    return std::nullopt;
}

void StoreException(const ExceptionForm& form, ExRec& rule) {
    switch (form.type) {
        case ExceptionChoice::SelectedDates:
            rule.ExType = kExDates;
            rule.ExDays.clear();
            for (const std::string& text : form.dates)
                if (const std::optional<DateTime> day = ParseShortDate(text))
                    rule.ExDays.push_back(DateOf(*day));
            rule.ExDayCnt = static_cast<Integer>(rule.ExDays.size());
            rule.ExSelType = form.betweenTimes ? kExWindowOnDates : kExWholeDay;
            if (form.betweenTimes) {
                rule.ExTStart = TimeOfDay(form.datesStart);
                rule.ExTEnd = TimeOfDay(form.datesEnd);
            }
            break;
        case ExceptionChoice::Daily:
            rule.ExType = kExDailyWindow;
            rule.ExTStart = TimeOfDay(form.dailyStart);
            rule.ExTEnd = TimeOfDay(form.dailyEnd);
            break;
        case ExceptionChoice::Weekly:
            rule.ExType = kExWeekdays;
            rule.ExWeekDays.clear();
            for (std::size_t i = 0; i < form.weekdays.size(); ++i)
                if (form.weekdays[i]) rule.ExWeekDays.push_back(static_cast<Integer>(i + 1));
            rule.ExWeekdayNum = static_cast<Integer>(rule.ExWeekDays.size());
            break;
    }
}

std::string RuleDescription(const ExList& rules, Integer number) {
    std::string text = std::to_string(number) + ": ";
    if (number < 1 || static_cast<std::size_t>(number) > Used(rules.Items, rules.Count))
        return text;
    switch (rules.Items[static_cast<std::size_t>(number - 1)].ExType) {
        case kExDailyWindow:
            return text + "Daily";
        case kExDates:
            return text + "Selected Dates";
        case kExWeekdays:
            return text + "Weekly";
        default:
            return text;
    }
}

void DeleteRule(ExList& rules, Integer number) {
    if (number < 1 || number > rules.Count) return;
    const auto index = static_cast<std::size_t>(number - 1);
    if (index < rules.Items.size())
        rules.Items.erase(rules.Items.begin() + static_cast<long>(index));
    --rules.Count;
}

}  // namespace ringmere
