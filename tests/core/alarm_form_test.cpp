// The alarm editor's forms without a window: what a form stores, what the
// scheduler then makes of it, the checks in their order, and that opening
// and saving an alarm changes nothing. Monday 5 January 2026 is the day.
#include <gtest/gtest.h>

#include <functional>

#include "core/alarm_form.h"
#include "core/alarmfile.h"
#include "tests/core/alarmfile_testing.h"
#include "tests/core/rules_testing.h"

namespace ringmere {
namespace {

using fixtures::WeekdaysRule;
using fixtures::WindowRule;
using testing::Date;
using testing::Time;

const DateTime kToday = Date(2026, 1, 5);

ExList Rules(std::vector<ExRec> items) {
    return {static_cast<Integer>(items.size()), std::move(items)};
}

AlarmForm BlankForm(bool scripted = false) {
    AlarmForm f{scripted, NewScheduleForm(kToday), {}, NewActionsForm({})};
    f.schedule.startTime = Time(8, 0);
    f.schedule.end = EndChoice::NoEnd;
    return f;
}

AlEvent Step(const char* name) {
    AlEvent e;
    e.evname = name;
    return e;
}

std::vector<DateTime> Occurrences(const ScheduleForm& schedule, int count) {
    AlRec a;
    StoreSchedule(schedule, a.Schedule);
    return NextOccurrences(a, {}, kToday, count);
}

TEST(AlarmFormSchedule, EachKindStoresWhatTheSchedulerExpects) {
    struct Case {
        const char* name;
        std::function<void(ScheduleForm&)> edit;
        std::vector<DateTime> expected;
    };
    const Case cases[] = {
        {"every 90 minutes",
         [](ScheduleForm& s) {
             s.interval = IntervalChoice::Minutes;
             s.minutes = "90";
         },
         {kToday + Time(8, 0), kToday + Time(9, 30), kToday + Time(11, 0)}},
        {"bi-weekly on Monday and Friday",
         [](ScheduleForm& s) {
             s.frequency = FrequencyChoice::Weekly;
             s.weekdays[1] = s.weekdays[5] = true;
             s.weeks = WeeksChoice::BiWeekly;
         },
         {kToday + Time(8, 0), Date(2026, 1, 9) + Time(8, 0), Date(2026, 1, 19) + Time(8, 0)}},
        {"last day of month",
         [](ScheduleForm& s) {
             s.frequency = FrequencyChoice::Monthly;
             s.monthly = MonthlyChoice::LastDay;
         },
         {Date(2026, 1, 31) + Time(8, 0), Date(2026, 2, 28) + Time(8, 0),
          Date(2026, 3, 31) + Time(8, 0)}},
        {"Tuesday of the last week",
         [](ScheduleForm& s) {
             s.frequency = FrequencyChoice::Monthly;
             s.monthly = MonthlyChoice::WeekdaysOfWeeks;
             s.mWeekdays[2] = s.mWeeks[4] = true;
         },
         {Date(2026, 1, 27) + Time(8, 0), Date(2026, 2, 24) + Time(8, 0),
          Date(2026, 3, 31) + Time(8, 0)}},
        {"selected dates",
         [](ScheduleForm& s) {
             s.frequency = FrequencyChoice::SelectedDates;
             s.dates = {"1/7/2026", "2/1/2026"};
         },
         {Date(2026, 1, 7) + Time(8, 0), Date(2026, 2, 1) + Time(8, 0)}},
        {"daily until the 6th at noon",
         [](ScheduleForm& s) {
             s.end = EndChoice::EndDate;
             s.endDate = Date(2026, 1, 6);
             s.endTime = Time(12, 0);
         },
         {kToday + Time(8, 0), Date(2026, 1, 6) + Time(8, 0)}},
        {"individual",
         [](ScheduleForm& s) { s.end = EndChoice::Individual; },
         {kToday + Time(8, 0)}},
    };
    for (const Case& c : cases) {
        ScheduleForm s = BlankForm().schedule;
        c.edit(s);
        EXPECT_EQ(Occurrences(s, 3), c.expected) << c.name;
    }
}

TEST(AlarmFormSchedule, LoadingShowsEveryEndTypeAsTheSchedulerTreatsIt) {
    TimeRec t;
    t.AlEndDate = Date(2027, 2, 3);
    t.AlEndTime = Time(18, 30);
    const std::pair<Byte, EndChoice> cases[] = {{0, EndChoice::Individual},
                                                {1, EndChoice::NoEnd},
                                                {2, EndChoice::NoEnd},
                                                {9, EndChoice::NoEnd},
                                                {3, EndChoice::EndDate}};
    for (const auto& [type, choice] : cases) {
        t.AlEndType = type;
        const ScheduleForm f = LoadScheduleForm(t, kToday);
        EXPECT_EQ(f.end, choice) << int(type);
        EXPECT_EQ(f.endDate, type == 3 ? t.AlEndDate : kToday) << int(type);
        EXPECT_EQ(f.endTime, type == 3 ? t.AlEndTime : 0.5) << int(type);
    }
}

TEST(AlarmFormSchedule, StoringKeepsTheFieldsOfOtherKinds) {
    TimeRec t;
    t.AlType = kWeekly;
    t.AlWeekdaynum = 2;
    t.AlWeekdays = {2, 6};
    t.AlXWeeks = 7;
    t.AlEndType = kEndAtDate;
    t.AlEndDate = Date(2027, 1, 1);
    t.AlEndTime = Time(9, 0);
    ScheduleForm f = LoadScheduleForm(t, kToday);
    EXPECT_EQ(f.xWeeks, "7");
    f.frequency = FrequencyChoice::Other;
    f.days = "4";
    f.end = EndChoice::NoEnd;
    f.endDate = Date(2030, 1, 1);
    TimeRec stored = t;
    StoreSchedule(f, stored);
    EXPECT_EQ(stored.AlType, kEveryXDays);
    EXPECT_EQ(stored.AlXDays, 4);
    EXPECT_EQ(stored.AlEndType, kEndNever);
    t.AlType = kEveryXDays;
    t.AlXDays = 4;
    t.AlEndType = kEndNever;
    t.AlTime = stored.AlTime;
    t.AlStartDate = stored.AlStartDate;
    EXPECT_EQ(stored, t);
}

TEST(AlarmFormSchedule, NeverOccursRecognisesTheTwoPatterns) {
    ScheduleForm daily = BlankForm().schedule;
    daily.startTime = Time(8, 30);
    ScheduleForm weekly = daily;
    weekly.frequency = FrequencyChoice::Weekly;
    weekly.weekdays[1] = weekly.weekdays[5] = true;
    ScheduleForm once = daily;
    once.end = EndChoice::Individual;
    const struct {
        const ScheduleForm& form;
        ExList rules;
        int expected;
    } cases[] = {
        {daily, Rules({WindowRule(Time(8, 0), Time(9, 0))}), 1},
        {daily, Rules({WindowRule(Time(9, 0), Time(8, 0))}), 0},
        {daily, Rules({WeekdaysRule({1, 2, 3, 4, 5, 6, 7})}), 0},
        {once, Rules({WindowRule(Time(8, 0), Time(9, 0))}), 0},
        {weekly, Rules({WeekdaysRule({2, 4, 6})}), 2},
        {weekly, Rules({WeekdaysRule({2}), WeekdaysRule({2, 6})}), 2},
        {weekly, Rules({WeekdaysRule({2}), WeekdaysRule({6})}), 0},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(CheckFullExceptions(cases[i].form, cases[i].rules), cases[i].expected) << i;
}

TEST(AlarmFormSchedule, DatesStayAscendingWithoutRepeats) {
    std::vector<std::string> dates;
    EXPECT_TRUE(InsertDateText(dates, Date(2026, 3, 3)));
    EXPECT_TRUE(InsertDateText(dates, Date(2026, 3, 1) + Time(15, 0)));
    EXPECT_TRUE(InsertDateText(dates, Date(2026, 3, 2)));
    EXPECT_TRUE(InsertDateText(dates, Date(2025, 12, 31)));
    EXPECT_FALSE(InsertDateText(dates, Date(2026, 3, 2)));
    EXPECT_EQ(dates, (std::vector<std::string>{"12/31/2025", "3/1/2026", "3/2/2026", "3/3/2026"}));
}

// Every alarm of a file, opened and saved untouched, is the same record;
// so is each with the ticks that show or hide further fields turned over
// and the repetition of the kind before its own.
TEST(AlarmFormSaving, OpeningAndSavingChangesNothing) {
    for (const char* file : {"golden/full.ini", "sample/alfile.ini"}) {
        testing::ScratchDir dir;
        Globals g;
        testing::Prepare(g, dir);
        CollectingReporter reporter;
        ASSERT_EQ(testing::ReadLocalText(g, dir, testing::ReadDataFile(file), reporter), kFileDone)
            << file;
        ASSERT_GT(g.AlarmCount, 0) << file;
        for (Integer i = 1; i <= g.AlarmCount; ++i) {
            AlRec turned = g.AlarmTable[i];
            turned.Ftp->ftpreconnect = !turned.Ftp->ftpreconnect;
            turned.Dial->usedialup = !turned.Dial->usedialup;
            turned.Synch->dosynch = !turned.Synch->dosynch;
            turned.Music->MuType = kMusicWave;
            turned.Music->Wav.wavtype = kWavForSeconds;
            turned.Schedule.AlType = static_cast<Byte>((turned.Schedule.AlType + 7) % 8);
            for (const bool isTurned : {false, true}) {
                const AlRec& a = isTurned ? turned : g.AlarmTable[i];
                const AlarmForm form{a.mtype != kSimpleAlarm, LoadScheduleForm(a.Schedule, kToday),
                                     LoadInfoForm(a), LoadActionsForm(a, g.Settings)};
                // The one change: where mail is sent, an empty "From:" shows, and is
                // saved as, the reply-to address.
                AlRec expected = a;
                if (a.Mail->from.empty() && a.Mail->sendmessage) expected.Mail->from = g.Settings.ReplyTo;
                EXPECT_EQ(ComposeAlarm(a, form, a.Exceptions, a.Events, false), expected)
                    << file << " alarm " << i << (isTurned ? " turned" : "");
            }
        }
    }
}

TEST(AlarmFormSaving, FieldsTheFormDoesNotShowSurvive) {
    AlRec base;
    base.Mail->servername = "smtp.example.org";
    base.Mail->username = "bob";
    base.Events = {1, {Step("step")}};
    *base.Dial = {false, true, "Office", 3};
    base.Music->Wav.reptimes = 12;
    base.Ftp->ftpdialname = "Home";
    base.Synch->synchserver = "time.example.org";
    base.snoozeming = 7;

    AlarmForm form = BlankForm();
    form.info.snoozeMinutes = "seven";
    form.actions.msg = "line 1\r\nline 2";
    form.actions.attachments = {"a.txt", "b.txt"};
    const AlRec simple = ComposeAlarm(base, form, {}, {}, /*adding=*/true);
    EXPECT_TRUE(simple.enabled);
    EXPECT_EQ(simple.mtype, kSimpleAlarm);
    EXPECT_EQ(simple.Events, base.Events);
    EXPECT_EQ(simple.Mail->servername, "smtp.example.org");
    EXPECT_EQ(simple.Mail->username, "bob");
    EXPECT_FALSE(simple.Dial->usedialup);
    EXPECT_TRUE(simple.Dial->connectm);
    EXPECT_EQ(simple.Dial->dialname, "Office");
    EXPECT_EQ(simple.Music->Wav.reptimes, 12);
    EXPECT_EQ(simple.Ftp->ftpdialname, "Home");
    EXPECT_EQ(simple.Synch->synchserver, "time.example.org");
    EXPECT_EQ(simple.snoozeming, 7);
    EXPECT_EQ(simple.Mail->msg, "line 1\r\nline 2");
    EXPECT_EQ(simple.Mail->nAttach, 2);

    const AlEventList script{2, {Step("a"), Step("b")}};
    const AlRec scripted = ComposeAlarm(base, BlankForm(true), {}, script, false);
    EXPECT_FALSE(scripted.enabled);
    EXPECT_EQ(scripted.mtype, kScriptedAlarm);
    EXPECT_EQ(scripted.Events, script);
}

TEST(AlarmFormSaving, LoadingActionsFillsWhatTheTabsShow) {
    SettingsRec settings;
    settings.ReplyTo = "me@example.org";
    AlRec a;
    a.Music->MuType = 9;
    a.Music->Wav.wavtype = 5;
    a.Music->Cd.tracktype = 4;
    *a.FileOp = {kFopMove, "from", "to", "gone"};
    a.Ftp->ftpmaxrecon = 9;
    const ActionsForm f = LoadActionsForm(a, settings);
    EXPECT_EQ(f.muType, kMusicSilent);
    EXPECT_EQ(f.wavtype, kWavForSeconds);
    EXPECT_EQ(f.tracktype, kCdRandomTrack);
    EXPECT_EQ(f.moveFrom + f.moveTo + f.copyFrom + f.deleteFile, "fromto");
    EXPECT_EQ(f.ftpmaxrecon, "5");
    EXPECT_EQ(f.from, "");
    a.Mail->sendmessage = true;
    EXPECT_EQ(LoadActionsForm(a, settings).from, "me@example.org");
    EXPECT_EQ(NewActionsForm(settings).from, "me@example.org");
}

TEST(AlarmFormChecks, ReportInOrderAndStopAtTheFirstThatStops) {
    EXPECT_TRUE(CheckAlarmForm(BlankForm()).empty());
    using P = FormProblem;
    struct Case {
        const char* name;
        bool scripted;
        std::function<void(AlarmForm&)> edit;
        std::vector<P> expected;
    };
    const P ftpRetries{"Number of retries should be between 0 and 1000.", FormTab::FtpRetry, false};
    const P ftpDelay{"Delay value should be between 0 and 300.", FormTab::FtpRetry, false};
    const auto ftp = [](AlarmForm& f) {
        ActionsForm& a = f.actions;
        a.ftpenabled = a.ftpretry = true;
        a.ftpserver = a.ftplocalfile = a.ftpuser = a.ftppass = "x";
    };
    const Case cases[] = {
        {"weekly without days, no MP3",
         false,
         [](AlarmForm& f) {
             f.schedule.frequency = FrequencyChoice::Weekly;
             f.actions.muType = kMusicMp3;
         },
         {{"Warning: No days of week selected. Please select at least one day of the week.",
           FormTab::Repeat}}},
        {"snooze before months",
         false,
         [](AlarmForm& f) {
             f.info.snoozeMinutes = "x";
             f.schedule.months = "0";
         },
         {{"Invalid number of minutes to snooze.", FormTab::Info}}},
        {"months checked whatever is chosen",
         true,
         [](AlarmForm& f) { f.schedule.months = "101"; },
         {{"Number of months should be between 1 and 100.", FormTab::Repeat}}},
        {"interval in use",
         false,
         [](AlarmForm& f) {
             f.schedule.interval = IntervalChoice::Minutes;
             f.schedule.minutes = "9x";
         },
         {{"Invalid number of minutes.", FormTab::Repeat}}},
        {"interval not in use", false, [](AlarmForm& f) { f.schedule.minutes = "9x"; }, {}},
        {"simple weeks",
         false,
         [](AlarmForm& f) {
             f.schedule.frequency = FrequencyChoice::Weekly;
             f.schedule.weekdays[3] = true;
             f.schedule.weeks = WeeksChoice::EveryX;
             f.schedule.xWeeks = "2";
         },
         {{"Number of weeks should be between 3 and 52.", FormTab::Repeat}}},
        {"retry ranges report and go on",
         false,
         [&](AlarmForm& f) {
             ftp(f);
             f.actions.ftpmaxretry = "2000";
             f.actions.ftpdelay = "301";
             f.info.snoozeMinutes = "91";
         },
         {ftpRetries,
          ftpDelay,
          {"Snooze length should be between 1 and 90 minutes.", FormTab::Info}}},
        {"retries not a number",
         false,
         [&](AlarmForm& f) {
             ftp(f);
             f.actions.ftpmaxretry = "many";
         },
         {{"Invalid value for number of retries.", FormTab::FtpRetry}}},
        {"port after the retries",
         false,
         [&](AlarmForm& f) {
             ftp(f);
             f.actions.ftpdelay = "-1";
             f.actions.ftpport = "ftp";
         },
         {ftpDelay, {"Invalid FTP port.", FormTab::Ftp}}},
        {"reconnection",
         false,
         [&](AlarmForm& f) {
             ftp(f);
             f.actions.ftpreconnect = true;
             f.actions.ftpmaxrecon = "1001";
             f.actions.ftprecondelay = "soon";
         },
         {{"Number of reconnection attempts should be between 0 and 1000.", FormTab::FtpRetry,
           false},
          {"Invalid reconnection delay.", FormTab::FtpRetry}}},
        {"track and redial",
         false,
         [](AlarmForm& f) {
             f.actions.muType = kMusicCd;
             f.actions.track = "31";
             f.actions.dial = DialChoice::Connect;
             f.actions.redial = "x";
         },
         {{"Track number should be between 1 and 30.", FormTab::MusicalAlarm}}},
        {"simple-only checks skipped when scripted, file operation not",
         true,
         [&](AlarmForm& f) {
             ftp(f);
             f.actions.ftpmaxretry = "x";
             f.actions.muType = kMusicWave;
             f.actions.dosynch = true;
             f.actions.fop = kFopCopy;
             f.actions.copyFrom = "a";
         },
         {{"Please enter file copy locations.", FormTab::FileWeb}}},
        {"no week, then no server",
         false,
         [](AlarmForm& f) {
             f.schedule.frequency = FrequencyChoice::Monthly;
             f.schedule.monthly = MonthlyChoice::WeekdaysOfWeeks;
             f.schedule.mWeekdays[0] = true;
             f.actions.dosynch = true;
         },
         {{"Warning: No week selected. Please select at least one week.", FormTab::Repeat}}},
        {"no server",
         false,
         [](AlarmForm& f) { f.actions.dosynch = true; },
         {{"Warning: No Time Server Selected.", FormTab::None}}},
    };
    for (const Case& c : cases) {
        AlarmForm f = BlankForm(c.scripted);
        c.edit(f);
        const std::vector<P> got = CheckAlarmForm(f);
        ASSERT_EQ(got.size(), c.expected.size()) << c.name;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].message, c.expected[i].message) << c.name;
            EXPECT_EQ(got[i].tab, c.expected[i].tab) << c.name;
            EXPECT_EQ(got[i].stops, c.expected[i].stops) << c.name;
        }
    }
}

TEST(AlarmFormNames, ExactComparisonWithOtherSlots) {
    Globals g;
    g.ResetAlarmTable(2);
    g.AlarmCount = 2;
    g.AlarmTable[1].AlName = "Wake";
    g.AlarmTable[2].AlName = "Alarm 3";
    EXPECT_EQ(ProposedName(3), "Alarm 3");
    EXPECT_TRUE(NameTaken(g, "Wake", 2));
    EXPECT_FALSE(NameTaken(g, "wake", 2));
    EXPECT_FALSE(NameTaken(g, "Wake", 1));  // its own slot
    EXPECT_TRUE(NameTaken(g, "Alarm 3", 3));
    EXPECT_TRUE(NameTaken(g, "", 1));
}

}  // namespace
}  // namespace ringmere
