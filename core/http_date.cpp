#include "core/http_date.h"

#include <array>
#include <cctype>
#include <string>
#include <vector>

namespace ringmere {

namespace {

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
        if (i > start) out.push_back(text.substr(start, i - start));
    }
    return out;
}

std::optional<int> Number(std::string_view s, std::size_t minDigits, std::size_t maxDigits) {
    if (s.size() < minDigits || s.size() > maxDigits) return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

std::optional<int> Month(std::string_view s) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (std::size_t m = 0; m < kMonths.size(); ++m)
        if (s == kMonths[m]) return static_cast<int>(m) + 1;
    return std::nullopt;
}

// "08:49:37"
std::optional<int> SecondOfDay(std::string_view s) {
    if (s.size() != 8 || s[2] != ':' || s[5] != ':') return std::nullopt;
    const auto h = Number(s.substr(0, 2), 2, 2);
    const auto m = Number(s.substr(3, 2), 2, 2);
    const auto sec = Number(s.substr(6, 2), 2, 2);
    // 60: a leap second is read as the last second of its minute.
    if (!h || !m || !sec || *h > 23 || *m > 59 || *sec > 60) return std::nullopt;
    return *h * 3600 + *m * 60 + (*sec == 60 ? 59 : *sec);
}

std::optional<DateTime> Make(int year, std::optional<int> month, std::optional<int> day,
                             std::optional<int> second) {
    if (!month || !day || !second) return std::nullopt;
    const auto date = TryEncodeDate(year, *month, *day);
    if (!date) return std::nullopt;
    return *date + static_cast<double>(*second) / kSecondsPerDay;
}

}  // namespace

std::optional<DateTime> ParseHttpDate(std::string_view text) {
    const auto w = Words(text);
    if (w.size() == 6 && w[0].size() == 4 && w[0].back() == ',' && w[5] == "GMT") {
        // RFC 1123: "Sun, 06 Nov 1994 08:49:37 GMT"
        const auto year = Number(w[3], 4, 4);
        if (!year) return std::nullopt;
        return Make(*year, Month(w[2]), Number(w[1], 1, 2), SecondOfDay(w[4]));
    }
    if (w.size() == 4 && w[0].size() > 4 && w[0].back() == ',' && w[3] == "GMT") {
        // RFC 850: "Sunday, 06-Nov-94 08:49:37 GMT"
        const std::string_view d = w[1];
        if (d.size() != 9 || d[2] != '-' || d[6] != '-') return std::nullopt;
        const auto yy = Number(d.substr(7, 2), 2, 2);
        if (!yy) return std::nullopt;
        // Two-digit years: the nearer century, as clients commonly read them.
        const int year = *yy < 70 ? 2000 + *yy : 1900 + *yy;
        return Make(year, Month(d.substr(3, 3)), Number(d.substr(0, 2), 2, 2), SecondOfDay(w[2]));
    }
    if (w.size() == 5 && w[0].size() == 3) {
        // asctime: "Sun Nov  6 08:49:37 1994"
        const auto year = Number(w[4], 4, 4);
        if (!year) return std::nullopt;
        return Make(*year, Month(w[1]), Number(w[2], 1, 2), SecondOfDay(w[3]));
    }
    return std::nullopt;
}

}  // namespace ringmere
