#include "core/alarm_form.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <limits>

#include "core/exception_rules.h"
#include "core/form_checks.h"
#include "core/schedule.h"
#include "core/text.h"

namespace ringmere {

namespace {

// Whole seconds, so that a time read from the file and stored again is the
// same number.
DateTime TimeOfDayRounded(DateTime value) {
    return FromDaySecond(0, SplitToSecond(value).second);
}

DateTime WholeDay(DateTime value) {
    return static_cast<DateTime>(SplitToSecond(value).day);
}

// The entries of a list up to its count, never past what it holds.
template <class T>
std::vector<T> UsedEntries(const std::vector<T>& list, Integer count) {
    const std::size_t n = count <= 0 ? 0 : std::min(list.size(), static_cast<std::size_t>(count));
    return {list.begin(), list.begin() + static_cast<std::ptrdiff_t>(n)};
}

template <std::size_t N>
void TickNumbers(std::array<bool, N>& boxes, const std::vector<Integer>& list, Integer count) {
    for (const Integer n : UsedEntries(list, count))
        if (n >= 1 && n <= static_cast<Integer>(N)) boxes[static_cast<std::size_t>(n - 1)] = true;
}

template <std::size_t N>
void StoreTicked(const std::array<bool, N>& boxes, std::vector<Integer>& list, Integer& count) {
    list.clear();
    for (std::size_t i = 0; i < N; ++i)
        if (boxes[i]) list.push_back(static_cast<Integer>(i + 1));
    count = static_cast<Integer>(list.size());
}

template <std::size_t N>
bool AnyTicked(const std::array<bool, N>& boxes) {
    return std::find(boxes.begin(), boxes.end(), true) != boxes.end();
}

// The five choices of the "Other" page: the kind each stores, its field and
// the record's number for it.
struct IntervalField {
    IntervalChoice choice;
    Byte type;
    std::string ScheduleForm::*text;
    Integer TimeRec::*value;
    FieldRange range;
    const char* unit;
};

constexpr IntervalField kIntervals[] = {
    {IntervalChoice::Minutes, kEveryXMinutes, &ScheduleForm::minutes, &TimeRec::AlXMin,
     kMinutesRange, "minutes"},
    {IntervalChoice::Hours, kEveryXHours, &ScheduleForm::hours, &TimeRec::AlXHours, kHoursRange,
     "hours"},
    {IntervalChoice::Days, kEveryXDays, &ScheduleForm::days, &TimeRec::AlXDays, kDaysRange,
     "days"},
    {IntervalChoice::Years, kEveryXYears, &ScheduleForm::years, &TimeRec::AlXYears, kYearsRange,
     "years"},
    {IntervalChoice::Months, kEveryXMonths, &ScheduleForm::months, &TimeRec::AlXMonths,
     kMonthsRange, "months"},
};

const IntervalField& IntervalOf(IntervalChoice choice) {
    for (const IntervalField& f : kIntervals)
        if (f.choice == choice) return f;
    return kIntervals[2];
}

}  // namespace

ScheduleForm NewScheduleForm(DateTime now) {
    constexpr int kQuarter = 15 * 60, kDay = 24 * 60 * 60;
    const DaySecond at = SplitToSecond(now);
    const int next = (at.second / kQuarter + 1) * kQuarter;  // up to kDay
    ScheduleForm form;
    form.startDate = form.endDate = static_cast<DateTime>(at.day + next / kDay);
    form.startTime = form.endTime = FromDaySecond(0, next % kDay);
    return form;
}

ScheduleForm LoadScheduleForm(const TimeRec& s, DateTime today) {
    ScheduleForm form;
    form.endDate = WholeDay(today);
    form.startDate = s.AlStartDate;
    form.startTime = s.AlTime;
    if (s.AlEndType == kEndOnce) {
        form.end = EndChoice::Individual;
    } else if (s.AlEndType == kEndAtDate) {
        form.end = EndChoice::EndDate;
        form.endDate = s.AlEndDate;
        form.endTime = s.AlEndTime;
    } else {
        form.end = EndChoice::NoEnd;
    }

    for (const IntervalField& f : kIntervals) {
        if (s.AlType != f.type) continue;
        form.interval = f.choice;
        form.*f.text = DecimalText(s.*f.value);
    }
    switch (s.AlType) {
        case kWeekly:
            form.frequency = FrequencyChoice::Weekly;
            TickNumbers(form.weekdays, s.AlWeekdays, s.AlWeekdaynum);
            if (s.AlXWeeks == 1) {
                form.weeks = WeeksChoice::EveryWeek;
            } else if (s.AlXWeeks == 2) {
                form.weeks = WeeksChoice::BiWeekly;
            } else {
                form.weeks = WeeksChoice::EveryX;
                form.xWeeks = DecimalText(s.AlXWeeks);
            }
            break;
        case kMonthly:
            form.frequency = FrequencyChoice::Monthly;
            if (s.AlMType == kLastDay) {
                form.monthly = MonthlyChoice::LastDay;
            } else if (s.AlMType == kListedMonthDays) {
                form.monthly = MonthlyChoice::MonthDays;
                TickNumbers(form.monthDays, s.AlMonthDays, s.AlMonthdaynum);
            } else if (s.AlMType == kWeekdaysOfWeeks) {
                form.monthly = MonthlyChoice::WeekdaysOfWeeks;
                TickNumbers(form.mWeekdays, s.AlMWeekdays, s.AlMWeekdaynum);
                TickNumbers(form.mWeeks, s.AlMWeekDW, s.AlMWeekDWNum);
            } else {
                form.monthly = MonthlyChoice::FirstDay;
            }
            break;
        case kSelectedDates:
            form.frequency = FrequencyChoice::SelectedDates;
            for (const DateTime day : UsedEntries(s.AlDays, s.AlDayCount))
                form.dates.push_back(FormatShortDate(day));
            break;
        default:
            break;  // an unknown kind shows as the form starts: every X days
    }
    return form;
}

void StoreSchedule(const ScheduleForm& form, TimeRec& s) {
    s.AlTime = TimeOfDayRounded(form.startTime);
    s.AlStartDate = WholeDay(form.startDate);
    switch (form.end) {
        case EndChoice::Individual:
            s.AlEndType = kEndOnce;
            break;
        case EndChoice::NoEnd:
            s.AlEndType = kEndNever;
            break;
        case EndChoice::EndDate:
            s.AlEndType = kEndAtDate;
            s.AlEndDate = WholeDay(form.endDate);
            s.AlEndTime = TimeOfDayRounded(form.endTime);
            break;
    }

    switch (form.frequency) {
        case FrequencyChoice::Other: {
            const IntervalField& f = IntervalOf(form.interval);
            s.AlType = f.type;
            s.*f.value = NumberOr(form.*f.text, 0);
            break;
        }
        case FrequencyChoice::Weekly:
            s.AlType = kWeekly;
            StoreTicked(form.weekdays, s.AlWeekdays, s.AlWeekdaynum);
            s.AlXWeeks = form.weeks == WeeksChoice::EveryWeek  ? 1
                         : form.weeks == WeeksChoice::BiWeekly ? 2
                                                               : NumberOr(form.xWeeks, 0);
            break;
        case FrequencyChoice::Monthly:
            s.AlType = kMonthly;
            switch (form.monthly) {
                case MonthlyChoice::FirstDay:
                    s.AlMType = kFirstDay;
                    break;
                case MonthlyChoice::LastDay:
                    s.AlMType = kLastDay;
                    break;
                case MonthlyChoice::MonthDays:
                    s.AlMType = kListedMonthDays;
                    StoreTicked(form.monthDays, s.AlMonthDays, s.AlMonthdaynum);
                    break;
                case MonthlyChoice::WeekdaysOfWeeks:
                    s.AlMType = kWeekdaysOfWeeks;
                    StoreTicked(form.mWeekdays, s.AlMWeekdays, s.AlMWeekdaynum);
                    StoreTicked(form.mWeeks, s.AlMWeekDW, s.AlMWeekDWNum);
                    break;
            }
            break;
        case FrequencyChoice::SelectedDates:
            s.AlType = kSelectedDates;
            s.AlDays.clear();
            for (const std::string& row : form.dates)
                if (const std::optional<DateTime> day = ParseShortDate(row))
                    s.AlDays.push_back(*day);
            s.AlDayCount = static_cast<Integer>(s.AlDays.size());
            break;
    }
}

int CheckFullExceptions(const ScheduleForm& form, const ExList& rules) {
    // The same test the schedule table's builder uses, on what OK would store.
    TimeRec schedule;
    StoreSchedule(form, schedule);
    return AlwaysExcluded(schedule, rules);
}

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

InfoForm LoadInfoForm(const AlRec& a) {
    InfoForm form;
    form.name = a.AlName;
    form.message = a.AlMessage;
    form.hideWindow = a.AlHideWindow;
    form.minimized = a.AlMinWindow;
    form.flash = a.AlFlashWindow;
    form.snooze = a.AlSnooze;
    form.snoozeMinutes = DecimalText(a.snoozeming);
    return form;
}

ActionsForm NewActionsForm(const SettingsRec& settings) {
    ActionsForm form;
    form.from = settings.ReplyTo;
    return form;
}

ActionsForm LoadActionsForm(const AlRec& a, const SettingsRec& settings) {
    ActionsForm form = NewActionsForm(settings);
    const MusicType& m = *a.Music;
    form.muType = m.MuType <= kMusicSilent ? m.MuType : Byte{kMusicSilent};
    LoadSound(m, form);
    form.repeatSeconds = DecimalText(m.Wav.reptimes);
    form.track = DecimalText(m.Cd.cdtrack);

    if (a.Dial->usedialup) {
        form.dial = a.Dial->connectm ? DialChoice::Connect : DialChoice::Disconnect;
        form.dialname = a.Dial->dialname;
    }
    form.redial = DecimalText(a.Dial->redialattempts);

    form.app1 = a.Launch->app1;
    form.param1 = a.Launch->param1;
    form.app2 = a.Launch->app2;
    form.param2 = a.Launch->param2;
    form.app3 = a.Launch->app3;
    form.param3 = a.Launch->param3;
    form.url1 = a.Web->url1;
    form.opennew = a.Web->opennew;

    form.ftpenabled = a.Ftp->ftpenabled;
    LoadFtp(*a.Ftp, form);
    LoadFileOp(*a.FileOp, form, kFopNone);

    form.sendmessage = a.Mail->sendmessage;
    LoadMail(*a.Mail, form);
    // The reply-to address stands in for a missing sender only where mail is
    // sent: an alarm opened and saved unchanged stays as it was. Ticking
    // "Send" later fills it in the window.
    if (form.from.empty() && a.Mail->sendmessage) form.from = settings.ReplyTo;

    form.dosynch = a.Synch->dosynch;
    form.synchserver = a.Synch->synchserver;
    return form;
}

namespace {

using Checks = FormChecks<FormProblem, FormTab>;

constexpr NumberField kReconnectsField{
    {0, 1000}, "Invalid number of reconnection attempts.", "Number of reconnection attempts"};
constexpr NumberField kReconnectDelayField{
    {0, 300}, "Invalid reconnection delay.", "Reconnection delay"};

}  // namespace

std::vector<FormProblem> CheckAlarmForm(const AlarmForm& form) {
    const ScheduleForm& s = form.schedule;
    const ActionsForm& a = form.actions;
    const bool simple = !form.scripted;
    const bool byWeek =
        s.frequency == FrequencyChoice::Monthly && s.monthly == MonthlyChoice::WeekdaysOfWeeks;
    const bool ftpRetry = simple && a.ftpenabled && a.ftpretry;
    Checks c;

    const char* noDays = "Warning: No days selected. Please select at least one day.";
    const char* noWeekdays =
        "Warning: No days of week selected. Please select at least one day of the week.";
    c.Fail(s.frequency == FrequencyChoice::SelectedDates && s.dates.empty(), noDays,
           FormTab::Repeat);
    c.Fail(s.frequency == FrequencyChoice::Weekly && !AnyTicked(s.weekdays), noWeekdays,
           FormTab::Repeat);
    c.Fail(byWeek && !AnyTicked(s.mWeekdays), noWeekdays, FormTab::Repeat);
    c.Fail(s.frequency == FrequencyChoice::Monthly && s.monthly == MonthlyChoice::MonthDays &&
               !AnyTicked(s.monthDays),
           noDays, FormTab::Repeat);
    c.Fail(simple && a.muType == kMusicMp3 && a.mp3file.empty(), "Warning: No MP3 File Selected.",
           FormTab::MusicalAlarm);
    c.Fail(simple && a.muType == kMusicWave && a.wavfile.empty(), "Warning: No Wav File Selected.",
           FormTab::MusicalAlarm);
    c.Fail(simple && a.ftpenabled &&
               (a.ftpserver.empty() || a.ftpport.empty() || a.ftplocalfile.empty() ||
                a.ftpuser.empty() || a.ftppass.empty()),
           "Warning: All fields must be entered for FTP session.", FormTab::Ftp);
    c.Fail(!ParseWholeNumber(form.info.snoozeMinutes), "Invalid number of minutes to snooze.",
           FormTab::Info);
    c.Number(s.months, {kMonthsRange, "Invalid number of months.", "Number of months"},
             FormTab::Repeat);

    // The interval in use; the months field was checked above whatever is chosen.
    if (s.frequency == FrequencyChoice::Other && s.interval != IntervalChoice::Months) {
        const IntervalField& f = IntervalOf(s.interval);
        const std::string invalid = std::string("Invalid number of ") + f.unit + ".";
        const std::string what = std::string("Number of ") + f.unit;
        c.Number(s.*f.text, {f.range, invalid.c_str(), what.c_str()}, FormTab::Repeat);
    } else if (s.frequency == FrequencyChoice::Weekly && s.weeks == WeeksChoice::EveryX) {
        const FieldRange range = simple ? kSimpleXWeeksRange : kScriptedXWeeksRange;
        c.Number(s.xWeeks, {range, "Invalid number of weeks.", "Number of weeks"}, FormTab::Repeat);
    }

    if (ftpRetry) {
        c.Number(a.ftpmaxretry, kRetriesField, FormTab::FtpRetry, true);
        c.Number(a.ftpdelay, kRetryDelayField, FormTab::FtpRetry, true);
    }

    // Fields without a check of their own must still never store half a form.
    if (simple) {
        if (a.muType == kMusicWave && a.wavtype == kWavForSeconds)
            c.Number(a.repeatSeconds, kWaveSecondsField, FormTab::MusicalAlarm);
        if (a.muType == kMusicCd && a.tracktype == kCdListedTrack)
            c.Number(a.track, kTrackField, FormTab::MusicalAlarm);
        if (a.dial != DialChoice::None) c.Number(a.redial, kRedialField, FormTab::DialUp);
        if (a.ftpenabled) c.Number(a.ftpport, kPortField, FormTab::Ftp);
        if (a.ftpenabled && a.ftpreconnect) {
            c.Number(a.ftpmaxrecon, kReconnectsField, FormTab::FtpRetry, true);
            c.Number(a.ftprecondelay, kReconnectDelayField, FormTab::FtpRetry, true);
        }
    }

    if (const std::optional<Integer> snooze = ParseWholeNumber(form.info.snoozeMinutes))
        c.Fail(*snooze < kSnoozeRange.min || *snooze > kSnoozeRange.max,
               "Snooze length should be between 1 and 90 minutes.", FormTab::Info);
    c.Fail(a.fop == kFopCopy && (a.copyFrom.empty() || a.copyTo.empty()),
           "Please enter file copy locations.", FormTab::FileWeb);
    c.Fail(a.fop == kFopMove && (a.moveFrom.empty() || a.moveTo.empty()),
           "Please enter file move locations.", FormTab::FileWeb);
    c.Fail(a.fop == kFopDelete && a.deleteFile.empty(), "Please enter file to delete.",
           FormTab::FileWeb);
    c.Fail(byWeek && !AnyTicked(s.mWeeks),
           "Warning: No week selected. Please select at least one week.", FormTab::Repeat);
    c.Fail(simple && a.dosynch && a.synchserver.empty(), "Warning: No Time Server Selected.",
           FormTab::None);
    return c.take();
}

AlRec ComposeAlarm(const AlRec& base, const AlarmForm& form, const ExList& rules,
                   const AlEventList& script, bool adding) {
    AlRec x = base;
    x.Exceptions = rules;

    const InfoForm& info = form.info;
    x.AlName = info.name;
    x.AlHideWindow = info.hideWindow;
    x.AlMinWindow = info.minimized;
    x.AlMessage = info.message;
    x.AlFlashWindow = info.flash;
    x.AlSnooze = info.snooze;
    x.snoozeming = NumberOr(info.snoozeMinutes, x.snoozeming);
    if (adding) x.enabled = true;

    const ActionsForm& a = form.actions;
    if (form.scripted) {
        x.Events = script;
        x.mtype = kScriptedAlarm;
        StoreSchedule(form.schedule, x.Schedule);
    } else {
        x.mtype = kSimpleAlarm;
        StoreSchedule(form.schedule, x.Schedule);

        StoreSound(a, *x.Music, true);

        DialRec& d = *x.Dial;
        d.usedialup = a.dial != DialChoice::None;
        if (a.dial != DialChoice::None) {
            d.connectm = a.dial == DialChoice::Connect;
            d.dialname = a.dialname;
        }
        d.redialattempts = NumberOr(a.redial, d.redialattempts);

        x.Synch->dosynch = a.dosynch;
        if (a.dosynch) x.Synch->synchserver = a.synchserver;

        x.Ftp->ftpenabled = a.ftpenabled;
        StoreFtp(a, *x.Ftp);
        StoreFileOp(a, *x.FileOp);
    }

    x.Launch = FileLaunch{a.app1, a.param1, a.app2, a.param2, a.app3, a.param3};
    x.Web->url1 = a.url1;
    x.Web->opennew = a.opennew;
    x.Mail->sendmessage = a.sendmessage;
    StoreMail(a, *x.Mail);
    return x;
}

std::string ProposedName(Integer editIndex) {
    return "Alarm " + std::to_string(editIndex);
}

bool NameTaken(const Globals& g, const std::string& name, Integer editIndex) {
    if (name.empty()) return true;  // slot 0's name, whatever the table holds
    const Integer last =
        std::min<Integer>(g.AlarmCount, static_cast<Integer>(g.AlarmTable.size()) - 1);
    for (Integer i = 1; i <= last; ++i)
        if (i != editIndex && g.AlarmTable[static_cast<std::size_t>(i)].AlName == name) return true;
    return false;
}

std::vector<DateTime> NextOccurrences(const AlRec& alarm, const ExList& globalRules, DateTime now,
                                      int count) {
    Globals g;
    g.ResetAlarmTable(1);
    g.AlarmCount = 1;
    g.AlarmTable[1] = alarm;
    g.AlarmTable[1].enabled = true;
    g.GlobalExceptions = globalRules;
    std::vector<DateTime> moments;
    for (const ScheduleEntry& e : ComputeSchedule(g, now, count)) moments.push_back(e.When);
    return moments;
}

}  // namespace ringmere
