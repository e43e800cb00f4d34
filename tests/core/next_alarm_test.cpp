// The next alarm's texts, and the rules that skip one occurrence or pause an
// alarm. Unless a case says otherwise, Now is Wednesday 10 March 2004, 10:00.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/next_alarm.h"
#include "core/schedule.h"
#include "tests/core/rules_testing.h"

namespace ringmere {
namespace {

DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, s);
}

const DateTime kNow = At(2004, 3, 10, 10, 0, 0);

AlRec Alarm(Byte type, DateTime start, DateTime time, Integer x = 1, Byte endType = kEndNever) {
    AlRec a;
    a.AlName = "test";
    a.enabled = true;
    TimeRec& t = a.Schedule;
    t.AlType = type;
    t.AlStartDate = start;
    t.AlTime = time;
    t.AlEndType = endType;
    t.AlXDays = t.AlXMin = t.AlXHours = t.AlXWeeks = t.AlXMonths = t.AlXYears = x;
    return a;
}

Globals With(std::vector<AlRec> alarms) {
    Globals g;
    g.ResetAlarmTable(static_cast<Integer>(alarms.size()));
    g.AlarmCount = static_cast<Integer>(alarms.size());
    for (std::size_t i = 0; i < alarms.size(); ++i) g.AlarmTable[i + 1] = alarms[i];
    return g;
}

std::vector<std::string> Schedule(const Globals& g, DateTime now, int n) {
    std::vector<std::string> out;
    for (const ScheduleEntry& e : ComputeSchedule(g, now, n)) out.push_back(FormatDateTime(e.When));
    return out;
}

TEST(NextAlarmText, SaysWhenAndHowLongUntil) {
    struct Case {
        DateTime now, when;
        const char* expected;
    };
    const Case cases[] = {
        {At(2004, 3, 10, 9), At(2004, 3, 10, 11, 5), "Next: Wake at 11:05 AM (in 2 h 5 min)"},
        {At(2004, 3, 10, 9, 0, 30), At(2004, 3, 10, 11, 5),
         "Next: Wake at 11:05 AM (in 2 h 4 min)"},
        {At(2004, 3, 10, 9), At(2004, 3, 10, 12), "Next: Wake at 12:00 PM (in 3 h)"},
        {At(2004, 3, 10, 9), At(2004, 3, 10, 9, 0, 59),
         "Next: Wake at 9:00 AM (in less than a minute)"},
        {At(2004, 3, 10, 9), At(2004, 3, 10, 9, 1), "Next: Wake at 9:01 AM (in 1 min)"},
        {At(2004, 3, 10, 9), At(2004, 3, 10, 9), "Next: Wake at 9:00 AM (in less than a minute)"},
        {At(2004, 3, 10, 23, 50), At(2004, 3, 11, 0, 10),
         "Next: Wake on 3/11/2004 at 12:10 AM (in 20 min)"},
        {At(2004, 3, 10, 9), At(2004, 3, 12, 12, 30),
         "Next: Wake on 3/12/2004 at 12:30 PM (in 2 d 3 h)"},
        {At(2004, 3, 10, 21), At(2004, 3, 11, 21), "Next: Wake on 3/11/2004 at 9:00 PM (in 1 d)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(NextAlarmText("Wake", c.when, c.now), c.expected);
    }
}

TEST(NextAlarmText, UpcomingSkipsPastEntriesAndStopsAtCount) {
    Globals g = With({Alarm(kEveryXHours, EncodeDate(2004, 3, 10), EncodeTime(8, 0, 0))});
    BuildSchedule(g, FixedClock(At(2004, 3, 10, 8, 30)));
    const std::vector<ScheduleEntry> next = UpcomingAlarms(g, At(2004, 3, 10, 10), 3);
    ASSERT_EQ(next.size(), 3u);
    EXPECT_EQ(FormatDateTime(next[0].When), "3/10/2004 10:00:00AM");
    EXPECT_EQ(FormatDateTime(next[2].When), "3/10/2004 12:00:00PM");
    EXPECT_TRUE(UpcomingAlarms(Globals{}, kNow, 3).empty());
}

// The rule excludes the next occurrence and nothing else: the schedule
// after it is the one before, less its first entry.
TEST(SkipNextRule, TakesOutExactlyTheNextOccurrence) {
    const DateTime k9 = EncodeTime(9, 0, 0);
    AlRec twiceDaily = Alarm(kEveryXHours, EncodeDate(2004, 3, 1), k9, 12);
    // 9 PM never rings, so 9 AM is each day's only occurrence.
    twiceDaily.Exceptions = {1, {fixtures::WindowRule(EncodeTime(20, 0, 0), EncodeTime(22, 0, 0))}};
    AlRec monthly = Alarm(kMonthly, EncodeDate(2004, 1, 1), k9);
    monthly.Schedule.AlMType = kFirstDay;
    struct Case {
        const char* what;
        AlRec alarm;
        DateTime now;
        const char* skipped;
        bool window;
    };
    const Case cases[] = {
        {"one-off", Alarm(kEveryXDays, EncodeDate(2004, 3, 12), k9, 1, kEndOnce), kNow,
         "3/12/2004 09:00:00AM", false},
        {"daily", Alarm(kEveryXDays, EncodeDate(2004, 3, 1), k9), kNow, "3/11/2004 09:00:00AM",
         false},
        {"hourly", Alarm(kEveryXHours, EncodeDate(2004, 3, 1), k9), At(2004, 3, 10, 10, 0, 1),
         "3/10/2004 11:00:00AM", true},
        {"hourly, first of the next day", Alarm(kEveryXHours, EncodeDate(2004, 3, 1), 0, 6),
         At(2004, 3, 10, 19), "3/11/2004 12:00:00AM", true},
        {"every 12 hours, one left a day", twiceDaily, kNow, "3/11/2004 09:00:00AM", false},
        {"monthly", monthly, kNow, "4/1/2004 09:00:00AM", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Beside another alarm, whose entries must all stay.
        Globals g =
            With({Alarm(kEveryXDays, EncodeDate(2004, 3, 1), EncodeTime(9, 30, 0)), c.alarm});
        std::vector<ScheduleEntry> expected = ComputeSchedule(g, c.now, 30);

        const std::optional<SkipRule> skip = SkipNextRule(g, 2, c.now);
        ASSERT_TRUE(skip);
        EXPECT_EQ(FormatDateTime(skip->skipped), c.skipped);
        const ExRec& r = skip->rule;
        EXPECT_EQ(r.ExType, kExDates);
        EXPECT_EQ(r.ExSelType, c.window ? kExWindowOnDates : kExWholeDay);
        EXPECT_EQ(r.ExDayCnt, 1);
        ASSERT_EQ(r.ExDays.size(), 1u);
        EXPECT_EQ(r.ExDays[0], DateOf(skip->skipped));
        if (c.window) {
            EXPECT_EQ(FormatLongTime(r.ExTStart), FormatLongTime(skip->skipped));
            EXPECT_EQ(FormatLongTime(r.ExTEnd), FormatLongTime(skip->skipped));
        }

        const auto first = std::find_if(expected.begin(), expected.end(),
                                        [](const ScheduleEntry& e) { return e.AlarmIndex == 2; });
        ASSERT_NE(first, expected.end());
        EXPECT_EQ(FormatDateTime(first->When), c.skipped);
        expected.erase(first);
        AddOwnRule(g.AlarmTable[2], r);
        EXPECT_EQ(ComputeSchedule(g, c.now, static_cast<int>(expected.size())), expected);
    }
}

TEST(SkipNextRule, NothingToSkip) {
    AlRec off = Alarm(kEveryXDays, EncodeDate(2004, 3, 1), EncodeTime(9, 0, 0));
    off.enabled = false;
    const AlRec past = Alarm(kEveryXDays, EncodeDate(2004, 3, 9), EncodeTime(9, 0, 0), 1, kEndOnce);
    const Globals g = With({off, past});
    EXPECT_FALSE(SkipNextRule(g, 1, kNow));
    EXPECT_FALSE(SkipNextRule(g, 2, kNow));
    EXPECT_FALSE(SkipNextRule(g, 3, kNow));
}

TEST(SkipNextRule, NewRuleFollowsTheCountedOnes) {
    AlRec a;
    a.Exceptions = {1, {fixtures::WeekdaysRule({1}), fixtures::WeekdaysRule({7})}};
    const ExRec added = fixtures::DatesRule({EncodeDate(2004, 3, 11)});
    AddOwnRule(a, added);
    ASSERT_EQ(a.Exceptions.Count, 2);
    ASSERT_EQ(a.Exceptions.Items.size(), 2u);
    EXPECT_EQ(a.Exceptions.Items[1], added);
}

TEST(PauseRule, WholeDaysFromTodayUntilTheDayBeforeResuming) {
    struct Case {
        DateTime resume;
        std::vector<std::string> dates;  // empty: refused
    };
    const Case cases[] = {
        {At(2004, 3, 13), {"3/10/2004", "3/11/2004", "3/12/2004"}},
        {At(2004, 3, 11, 23, 59), {"3/10/2004"}},
        {At(2004, 3, 10), {}},
        {At(2004, 3, 1), {}},
        {At(2004, 3, 10) + kMaxPauseDays + 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FormatDateTime(c.resume));
        const PauseResult p = PauseRule(kNow, c.resume);
        if (c.dates.empty()) {
            EXPECT_FALSE(p.rule);
            EXPECT_FALSE(p.problem.empty());
            continue;
        }
        ASSERT_TRUE(p.rule) << p.problem;
        EXPECT_EQ(p.rule->ExType, kExDates);
        EXPECT_EQ(p.rule->ExSelType, kExWholeDay);
        std::vector<std::string> dates;
        for (DateTime d : p.rule->ExDays) dates.push_back(FormatShortDate(d));
        EXPECT_EQ(dates, c.dates);
        EXPECT_EQ(p.rule->ExDayCnt, static_cast<Integer>(dates.size()));
    }
    // The longest pause is allowed, and the alarm rings again on the day it ends.
    const PauseResult longest = PauseRule(kNow, At(2004, 3, 10) + kMaxPauseDays);
    ASSERT_TRUE(longest.rule);
    EXPECT_EQ(longest.rule->ExDays.size(), std::size_t{kMaxPauseDays});
    AlRec daily = Alarm(kEveryXDays, EncodeDate(2004, 3, 1), EncodeTime(9, 0, 0));
    AddOwnRule(daily, *PauseRule(At(2004, 3, 10, 8), At(2004, 3, 13)).rule);
    EXPECT_EQ(Schedule(With({daily}), At(2004, 3, 10, 8), 2),
              (std::vector<std::string>{"3/13/2004 09:00:00AM", "3/14/2004 09:00:00AM"}));
}

}  // namespace
}  // namespace ringmere
