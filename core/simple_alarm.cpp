#include "core/simple_alarm.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <string_view>

#include "core/alarm_form.h"
#include "core/datetime.h"

namespace ringmere {

namespace {

std::optional<int> Digits(std::string_view text, std::size_t count) {
    if (text.size() != count) return std::nullopt;
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return n;
}

std::optional<DateTime> ParseIsoDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto y = Digits(text.substr(0, 4), 4), m = Digits(text.substr(5, 2), 2),
               d = Digits(text.substr(8, 2), 2);
    if (!y || !m || !d) return std::nullopt;
    return TryEncodeDate(*y, *m, *d);
}

// "HH:mm" or "HH:mm:ss".
std::optional<DateTime> ParseIsoTime(std::string_view text) {
    if ((text.size() != 5 && text.size() != 8) || text[2] != ':') return std::nullopt;
    if (text.size() == 8 && text[5] != ':') return std::nullopt;
    const auto h = Digits(text.substr(0, 2), 2), m = Digits(text.substr(3, 2), 2);
    const auto s = text.size() == 8 ? Digits(text.substr(6, 2), 2) : std::optional<int>(0);
    if (!h || !m || !s || *h > 23 || *m > 59 || *s > 59) return std::nullopt;
    return EncodeTime(*h, *m, *s);
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// [0] Sunday, as the form holds them.
std::optional<std::array<bool, 7>> ParseWeekdays(std::string_view text) {
    static constexpr std::string_view kNames[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
    std::array<bool, 7> days{};
    bool any = false;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string day = Lower(Trim(text.substr(0, comma)));
        const auto* found = std::find(std::begin(kNames), std::end(kNames), day);
        if (found == std::end(kNames)) return std::nullopt;
        days[std::size_t(found - std::begin(kNames))] = any = true;
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    if (!any) return std::nullopt;
    return days;
}

// Puts "N unit" into the form; false when it is no such text. The number is
// left to the editor's own checks.
bool PutEvery(std::string_view text, ScheduleForm& s, bool& weekly, std::string& weeks) {
    text = Trim(text);
    const auto space = text.find(' ');
    if (space == std::string_view::npos) return false;
    const std::string count(Trim(text.substr(0, space)));
    std::string unit = Lower(Trim(text.substr(space + 1)));
    if (unit.size() > 1 && unit.back() == 's') unit.pop_back();
    const std::pair<const char*, IntervalChoice> units[] = {
        {"minute", IntervalChoice::Minutes}, {"hour", IntervalChoice::Hours},
        {"day", IntervalChoice::Days},       {"month", IntervalChoice::Months},
        {"year", IntervalChoice::Years}};
    for (const auto& [name, choice] : units) {
        if (unit != name) continue;
        s.frequency = FrequencyChoice::Other;
        s.interval = choice;
        std::string* field[] = {&s.minutes, &s.hours, &s.days, &s.years, &s.months};
        *field[static_cast<int>(choice)] = count;
        return true;
    }
    if (unit != "week") return false;
    weekly = true;
    weeks = count;
    return true;
}

}  // namespace

SimpleAlarmResult MakeSimpleAlarm(const SimpleAlarmFields& f, const Globals& g, DateTime now) {
    if (f.name.empty()) return {{}, "An alarm needs a name."};
    if (NameTaken(g, f.name, g.AlarmCount + 1))
        return {{}, "Alarm name is already being used by another alarm."};
    const auto space = f.at.find(' ');
    const auto day = ParseIsoDate(std::string_view(f.at).substr(0, space));
    const auto time = space == std::string::npos ? std::nullopt
                                                 : ParseIsoTime(std::string_view(f.at).substr(space + 1));
    if (!day || !time)
        return {{}, "The start must be given as yyyy-MM-dd HH:mm or yyyy-MM-dd HH:mm:ss, not \"" +
                        f.at + "\"."};

    AlarmForm form;
    form.schedule = NewScheduleForm(now);
    form.actions = NewActionsForm(g.Settings);
    ScheduleForm& s = form.schedule;
    s.startDate = *day;
    s.startTime = *time;
    s.end = EndChoice::Individual;

    bool weekly = false;
    std::string weeks = "1";
    if (f.every && !PutEvery(*f.every, s, weekly, weeks))
        return {{}, "The repetition must be a number and one of minutes, hours, days, weeks, "
                    "months or years, not \"" + *f.every + "\"."};
    if (f.weekdays) {
        const auto days = ParseWeekdays(*f.weekdays);
        if (!days)
            return {{}, "The weekdays must be a list of sun, mon, tue, wed, thu, fri and sat, "
                        "not \"" + *f.weekdays + "\"."};
        if (f.every && !weekly) return {{}, "Weekdays go with a repetition in weeks."};
        weekly = true;
        s.weekdays = *days;
    } else if (weekly) {
        s.weekdays[std::size_t(DayOfWeek(*day) - 1)] = true;  // the start's own weekday
    }
    if (weekly) {
        s.frequency = FrequencyChoice::Weekly;
        s.weeks = weeks == "1" ? WeeksChoice::EveryWeek
                  : weeks == "2" ? WeeksChoice::BiWeekly
                                 : WeeksChoice::EveryX;
        s.xWeeks = weeks;
    }
    if (f.every || weekly) s.end = EndChoice::NoEnd;
    if (f.until) {
        const auto last = ParseIsoDate(*f.until);
        if (!last) return {{}, "The end date must be given as yyyy-MM-dd, not \"" + *f.until + "\"."};
        if (s.end == EndChoice::Individual) return {{}, "An end date goes with a repetition."};
        if (*last < *day) return {{}, "The end date lies before the start."};
        s.end = EndChoice::EndDate;
        s.endDate = *last;
        s.endTime = EncodeTime(23, 59, 59);
    }

    form.info.name = f.name;
    if (f.message) form.info.message = *f.message;
    if (f.sound) {
        const bool wave = f.sound->size() >= 4 && Lower(f.sound->substr(f.sound->size() - 4)) == ".wav";
        form.actions.muType = wave ? kMusicWave : kMusicMp3;
        (wave ? form.actions.wavfile : form.actions.mp3file) = *f.sound;
    }
    if (f.run) form.actions.app1 = *f.run;

    for (const FormProblem& p : CheckAlarmForm(form))
        if (p.stops) return {{}, p.message};
    AlRec alarm = ComposeAlarm(AlRec{}, form, {}, {}, true);
    alarm.enabled = !f.disabled;
    return {std::move(alarm), {}};
}

}  // namespace ringmere
