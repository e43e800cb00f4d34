// What the alarm editor and the exception editor hold, as plain values, and
// the rules between those values and the records: loading, the checks in
// their order, storing, the never-occurs test. The windows only move values
// between these and their controls, so every rule is tested without one.
//
// Texts are the bytes of the alarm file (see records.h); numbers typed into
// text fields stay texts until the checks have passed.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/action_forms.h"
#include "core/globals.h"

namespace ringmere {

// ---------------------------------------------------------------- schedule

enum class EndChoice : std::uint8_t { Individual, NoEnd, EndDate };
enum class FrequencyChoice : std::uint8_t { Weekly, Monthly, SelectedDates, Other };
// The five choices of the "Other" page.
enum class IntervalChoice : std::uint8_t { Minutes, Hours, Days, Years, Months };
enum class WeeksChoice : std::uint8_t { EveryWeek, BiWeekly, EveryX };
enum class MonthlyChoice : std::uint8_t { FirstDay, LastDay, MonthDays, WeekdaysOfWeeks };

// One set's "Alarm Time" tab: start and end, repeat, in the state the
// controls show. The exception rules live apart (the editor's working list),
// shared by both sets.
struct ScheduleForm {
    DateTime startDate = 0;                // whole day
    DateTime startTime = 0.5;              // time of day
    EndChoice end = EndChoice::Individual;
    DateTime endDate = 0;                  // whole day
    DateTime endTime = 0.5;                // time of day
    FrequencyChoice frequency = FrequencyChoice::Other;
    IntervalChoice interval = IntervalChoice::Days;
    // The interval fields as typed.
    std::string minutes = "30";
    std::string hours = "1";
    std::string days = "1";
    std::string years = "1";
    std::string months = "1";
    std::array<bool, 7> weekdays{};  // [0] Sunday ... [6] Saturday
    WeeksChoice weeks = WeeksChoice::EveryWeek;
    std::string xWeeks = "3";
    MonthlyChoice monthly = MonthlyChoice::FirstDay;
    std::array<bool, 31> monthDays{};  // [0] the 1st
    std::array<bool, 7> mWeekdays{};   // [0] Sunday
    std::array<bool, 5> mWeeks{};      // 1st, 2nd, 3rd, 4th, last week
    std::vector<std::string> dates;    // short date texts, ascending, distinct

    bool operator==(const ScheduleForm&) const = default;
};

// The ranges of the interval fields' arrows (the days arrows wrap).
struct FieldRange {
    int min = 0, max = 0;
};
inline constexpr FieldRange kMinutesRange{1, 250};
inline constexpr FieldRange kHoursRange{1, 72};
inline constexpr FieldRange kDaysRange{1, 365};
inline constexpr FieldRange kYearsRange{1, 10};
inline constexpr FieldRange kMonthsRange{1, 100};
inline constexpr FieldRange kSimpleXWeeksRange{3, 52};
inline constexpr FieldRange kScriptedXWeeksRange{1, 52};
inline constexpr FieldRange kSnoozeRange{1, 90};

// A new alarm's tab: it starts, and would end, at the first full quarter
// hour after `now` (the next day's midnight late in the evening);
// everything else as the controls start.
ScheduleForm NewScheduleForm(DateTime now);

// The tab showing an alarm's schedule. The end date and time show the
// record's only for an end at a date; otherwise today and noon. An end type
// other than 0 and 3 shows as "Repeat Without an End Date", which is how the
// scheduler treats it.
ScheduleForm LoadScheduleForm(const TimeRec& schedule, DateTime today);

// Writes the form into `schedule`. Fields of the other repetition kinds,
// and the end fields when there is no end date, keep their values. Call
// only on a form that passed the checks: unparsable numbers store as 0.
void StoreSchedule(const ScheduleForm& form, TimeRec& schedule);

// 0 when the alarm still occurs; 1 when a daily rule covers an every-X-days
// alarm's time, 2 when a weekday rule covers every weekday of a weekly
// alarm. Only these two patterns are recognised.
int CheckFullExceptions(const ScheduleForm& form, const ExList& rules);

// Adds `date` to an ascending list of short date texts unless it is there;
// false when it was.
bool InsertDateText(std::vector<std::string>& dates, DateTime date);

// A whole number typed into a field (blanks around it allowed); nothing for
// anything else, or a number beyond the Integer range.
std::optional<Integer> ParseWholeNumber(const std::string& text);

// ---------------------------------------------------------- the other tabs

// One set's "Alarm Info." tab.
struct InfoForm {
    std::string name;
    std::string message;
    bool hideWindow = false;
    bool minimized = false;
    bool flash = false;
    bool snooze = false;
    std::string snoozeMinutes = "10";

    bool operator==(const InfoForm&) const = default;
};

InfoForm LoadInfoForm(const AlRec& alarm);

enum class DialChoice : std::uint8_t { Connect, Disconnect, None };

// The simple set's action tabs: one form per action, and the ticks and
// choices only these tabs have.
struct ActionsForm : SoundForm, DialForm, LaunchForm, FtpForm, FileOpForm, MailForm, SynchForm {
    // The sound starts silent and no file operation is chosen.
    ActionsForm() {
        muType = kMusicSilent;
        fop = kFopNone;
    }

    DialChoice dial = DialChoice::None;
    bool ftpenabled = false;
    bool sendmessage = false;
    bool dosynch = false;

    bool operator==(const ActionsForm&) const = default;
};

// A new alarm's action tabs; "From:" is the settings' reply-to address.
ActionsForm NewActionsForm(const SettingsRec& settings);
ActionsForm LoadActionsForm(const AlRec& alarm, const SettingsRec& settings);

// ---------------------------------------------------------- checks, saving

// Where the editor takes the user for a check's message.
enum class FormTab : std::uint8_t {
    None,
    Repeat,        // the chosen set's "Alarm Time", inner "Repeat"
    Info,          // the chosen set's "Alarm Info."
    MusicalAlarm,  // simple set
    FileWeb,       // simple set's "File/Web"
    Ftp,           // "File/Web", inner "FTP"
    FtpRetry,      // "File/Web", inner "FTP", inner "Retry Options"
    DialUp,
};

// The whole form as OK sees it: the chosen kind, that set's schedule and
// information, and the simple set's action tabs (read for both kinds, as
// the file operation checks are).
struct AlarmForm {
    bool scripted = false;
    ScheduleForm schedule;
    InfoForm info;
    ActionsForm actions;
};

struct FormProblem {
    std::string message;
    FormTab tab = FormTab::None;
    bool stops = true;  // false: reported, and the save goes on
};

// The checks in their order. Returns the reports up to and including the
// first that stops the save; when none stops, the form may be saved (after
// showing the reports that do not stop it).
std::vector<FormProblem> CheckAlarmForm(const AlarmForm& form);

// The record the editor's OK stores: `base` (the alarm being edited, a copy
// of the source when duplicating, a fresh record when adding) with the form,
// the rules and, for a scripted alarm, the script written in. The name is
// taken as the form has it; ResolveName comes after. Call only on a form
// whose checks passed.
AlRec ComposeAlarm(const AlRec& base, const AlarmForm& form, const ExList& rules,
                   const AlEventList& script, bool adding);

// "Alarm " and the position, the name proposed for an alarm without one.
std::string ProposedName(Integer editIndex);
// Whether `name` is the name of another slot from 0 to AlarmCount (slot 0
// holds no name, so an empty name is always taken). Exact comparison.
bool NameTaken(const Globals& g, const std::string& name, Integer editIndex);

// The next `count` occurrences of `alarm` as it stands, from `now`, with its
// own and the global rules applied; the schedule table's own computation.
std::vector<DateTime> NextOccurrences(const AlRec& alarm, const ExList& globalRules, DateTime now,
                                      int count);

}  // namespace ringmere
