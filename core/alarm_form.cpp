#include "core/alarm_form.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "core/text.h"

namespace ringmere {

bool InsertDateText(std::vector<std::string>& dates, DateTime date) {
    const std::string text = FormatShortDate(DateOf(date));
    const DateTime day = DateOf(date);
    for (auto it = dates.begin(); it != dates.end(); ++it) {
        if (*it == text) return false;
        const std::optional<DateTime> row = ParseShortDate(*it);
        if (row && *row > day) {
            dates.insert(it, text);
            return true;
        }
    }
    dates.push_back(text);
    return true;
}

std::optional<Integer> ParseWholeNumber(const std::string& text) {
    const std::string_view t = TrimBlanks(text);
    if (t.empty()) return std::nullopt;
    std::size_t start = (t.front() == '+') ? 1 : 0;
    if (start == t.size() || (start == 1 && t[1] == '-')) return std::nullopt;
    Integer value = 0;
    const auto [end, error] = std::from_chars(t.data() + start, t.data() + t.size(), value);
    if (error != std::errc() || end != t.data() + t.size()) return std::nullopt;
    return value;
}

}  // namespace ringmere
