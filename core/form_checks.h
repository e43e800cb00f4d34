// What the alarm editor's and the step editor's checks share: the number
// fields both have, with their ranges and messages, and the collector that
// keeps the reports in order until one stops the save.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/alarm_form.h"

namespace ringmere {

struct NumberField {
    FieldRange range;
    const char* invalid;  // when the text is no whole number
    const char* what;     // "<what> should be between <min> and <max>."
};

inline constexpr NumberField kWaveSecondsField{
    {1, 60}, "Invalid number of seconds.", "Number of seconds"};
inline constexpr NumberField kTrackField{{1, 30}, "Invalid track number.", "Track number"};
inline constexpr NumberField kRedialField{
    {0, 10}, "Invalid number of redial attempts.", "Number of redial attempts"};
inline constexpr NumberField kPortField{{1, 65535}, "Invalid FTP port.", "FTP port"};
inline constexpr NumberField kRetriesField{
    {0, 1000}, "Invalid value for number of retries.", "Number of retries"};
inline constexpr NumberField kRetryDelayField{{0, 300}, "Invalid delay value.", "Delay value"};

inline std::string Between(const std::string& what, FieldRange range) {
    return what + " should be between " + std::to_string(range.min) + " and " +
           std::to_string(range.max) + ".";
}

// `Problem` is built from {message, tab, stops}.
template <class Problem, class Tab>
class FormChecks {
public:
    bool stopped() const { return stopped_; }
    std::vector<Problem> take() { return std::move(problems_); }

    void Fail(bool condition, std::string message, Tab tab = Tab{}, bool stops = true) {
        if (stopped_ || !condition) return;
        problems_.push_back({std::move(message), tab, stops});
        stopped_ = stops;
    }

    // A whole number inside the field's range; `lenient` only reports one
    // outside it. A text that is no number always stops, shown at `invalidTab`.
    void Number(const std::string& text, const NumberField& field, Tab tab, bool lenient,
                Tab invalidTab) {
        if (stopped_) return;
        const std::optional<Integer> value = ParseWholeNumber(text);
        if (!value)
            Fail(true, field.invalid, invalidTab);
        else if (*value < field.range.min || *value > field.range.max)
            Fail(true, Between(field.what, field.range), tab, !lenient);
    }
    void Number(const std::string& text, const NumberField& field, Tab tab = Tab{},
                bool lenient = false) {
        Number(text, field, tab, lenient, tab);
    }

private:
    std::vector<Problem> problems_;
    bool stopped_ = false;
};

}  // namespace ringmere
