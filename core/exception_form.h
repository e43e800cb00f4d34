// The exception rule editor's values and the rules between them and a rule
// record, and the rule lists' rows. Plain values, tested without a window.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/globals.h"

namespace ringmere {

enum class ExceptionChoice : std::uint8_t { Daily, SelectedDates, Weekly };

struct ExceptionForm {
    ExceptionChoice type = ExceptionChoice::SelectedDates;
    DateTime dailyStart = 11.0 / 24;  // 11:00 AM
    DateTime dailyEnd = 13.0 / 24;    // 1:00 PM
    std::vector<std::string> dates;   // short date texts; a loaded rule's in its order
    bool betweenTimes = false;        // "All Day" when false
    DateTime datesStart = 11.0 / 24;
    DateTime datesEnd = 13.0 / 24;
    std::array<bool, 7> weekdays{};  // [0] Sunday

    bool operator==(const ExceptionForm&) const = default;
};

ExceptionForm LoadExceptionForm(const ExRec& rule);
// The first failing check's message, or nothing.
std::optional<std::string> CheckExceptionForm(const ExceptionForm& form);
// Writes the chosen type's fields into `rule`; the others keep their values.
void StoreException(const ExceptionForm& form, ExRec& rule);
// "3: Weekly": the rule's number, ": " and its kind. Rule `number` from 1.
std::string RuleDescription(const ExList& rules, Integer number);
// Removes rule `number` (from 1); the later rules move up. Out of range:
// nothing happens.
void DeleteRule(ExList& rules, Integer number);

}  // namespace ringmere
