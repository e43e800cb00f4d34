// Occurrences of single alarms, kind by kind. Unless a case says otherwise,
// Now is Wednesday 10 March 2004, 10:00.
#include <gtest/gtest.h>

#include "core/exception_rules.h"
#include "core/occurrence.h"
#include "core/schedule.h"
#include "tests/core/rules_testing.h"

namespace ringmere {
namespace {

using fixtures::DatesRule;
using fixtures::WeekdaysRule;
using fixtures::WindowRule;

DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, s);
}

const DateTime kNow = At(2004, 3, 10, 10, 0, 0);

// A repeating alarm without end, of `type`, from `start` at `time`.
AlRec Alarm(Byte type, DateTime start, DateTime time, Integer x = 1) {
    AlRec a;
    a.AlName = "test";
    a.enabled = true;
    TimeRec& t = a.Schedule;
    t.AlType = type;
    t.AlStartDate = start;
    t.AlTime = time;
    t.AlEndType = 1;
    t.AlXDays = t.AlXMin = t.AlXHours = t.AlXWeeks = t.AlXMonths = t.AlXYears = x;
    return a;
}

AlRec Weekly(std::vector<Integer> days, DateTime start, DateTime time, Integer weeks = 1) {
    AlRec a = Alarm(kWeekly, start, time, weeks);
    a.Schedule.AlWeekdaynum = static_cast<Integer>(days.size());
    a.Schedule.AlWeekdays = std::move(days);
    return a;
}

AlRec Monthly(Byte kind, DateTime start, DateTime time) {
    AlRec a = Alarm(kMonthly, start, time);
    a.Schedule.AlMType = kind;
    return a;
}

AlRec MonthDays(std::vector<Integer> days, DateTime start, DateTime time) {
    AlRec a = Monthly(kListedMonthDays, start, time);
    a.Schedule.AlMonthdaynum = static_cast<Integer>(days.size());
    a.Schedule.AlMonthDays = std::move(days);
    return a;
}

AlRec WeeksWeekdays(std::vector<Integer> days, std::vector<Integer> weeks, DateTime start,
                    DateTime time) {
    AlRec a = Monthly(kWeekdaysOfWeeks, start, time);
    a.Schedule.AlMWeekdaynum = static_cast<Integer>(days.size());
    a.Schedule.AlMWeekdays = std::move(days);
    a.Schedule.AlMWeekDWNum = static_cast<Integer>(weeks.size());
    a.Schedule.AlMWeekDW = std::move(weeks);
    return a;
}

AlRec Dates(std::vector<DateTime> days, DateTime start, DateTime time) {
    AlRec a = Alarm(kSelectedDates, start, time);
    a.Schedule.AlDayCount = static_cast<Integer>(days.size());
    a.Schedule.AlDays = std::move(days);
    return a;
}

AlRec Until(AlRec a, DateTime end) {
    a.Schedule.AlEndType = 3;
    a.Schedule.AlEndDate = DateOf(end);
    a.Schedule.AlEndTime = TimeOf(end);
    return a;
}

AlRec Once(DateTime start, DateTime time) {
    AlRec a = Alarm(kEveryXDays, start, time);
    a.Schedule.AlEndType = 0;
    return a;
}

AlRec With(AlRec a, ExRec rule) {
    a.Exceptions.Items.push_back(std::move(rule));
    a.Exceptions.Count = static_cast<Integer>(a.Exceptions.Items.size());
    return a;
}

// The first `n` occurrences of one alarm, as the tool prints them.
std::vector<std::string> First(const AlRec& a, DateTime now, int n,
                               const std::vector<ExRec>& global = {}) {
    Globals g;
    g.ResetAlarmTable(1);
    g.AlarmCount = 1;
    g.AlarmTable[1] = a;
    g.GlobalExceptions.Items = global;
    g.GlobalExceptions.Count = static_cast<Integer>(global.size());
    std::vector<std::string> out;
    for (const ScheduleEntry& e : ComputeSchedule(g, now, n)) out.push_back(FormatDateTime(e.When));
    return out;
}

struct Case {
    const char* what;
    AlRec alarm;
    DateTime now;
    std::vector<std::string> expected;  // all the occurrences, when fewer than asked for
    int asked = 0;                      // 0: as many as expected
};

void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int n = c.asked ? c.asked : static_cast<int>(c.expected.size());
        EXPECT_EQ(First(c.alarm, c.now, n), c.expected);
    }
}

const DateTime k9 = EncodeTime(9, 0, 0);

TEST(Occurrences, EveryXDays) {
    Check({
        {"cycle day today, time passed",
         Alarm(kEveryXDays, EncodeDate(2004, 3, 8), k9, 2),
         kNow,
         {"3/12/2004 09:00:00AM", "3/14/2004 09:00:00AM", "3/16/2004 09:00:00AM"}},
        {"next cycle day",
         Alarm(kEveryXDays, EncodeDate(2004, 3, 9), k9, 2),
         kNow,
         {"3/11/2004 09:00:00AM", "3/13/2004 09:00:00AM"}},
        {"today, time to come",
         Alarm(kEveryXDays, EncodeDate(2004, 1, 1), EncodeTime(11, 0, 0)),
         kNow,
         {"3/10/2004 11:00:00AM", "3/11/2004 11:00:00AM"}},
        {"starts later",
         Alarm(kEveryXDays, EncodeDate(2004, 3, 20), EncodeTime(8, 0, 0), 3),
         kNow,
         {"3/20/2004 08:00:00AM", "3/23/2004 08:00:00AM"}},
        {"starts today, time passed",
         Alarm(kEveryXDays, EncodeDate(2004, 3, 10), k9, 5),
         kNow,
         {"3/15/2004 09:00:00AM"}},
        {"until 20 March 09:00: that one is the last",
         Until(Alarm(kEveryXDays, EncodeDate(2004, 3, 1), k9), At(2004, 3, 20, 9)),
         kNow,
         {"3/11/2004 09:00:00AM", "3/12/2004 09:00:00AM", "3/13/2004 09:00:00AM",
          "3/14/2004 09:00:00AM", "3/15/2004 09:00:00AM", "3/16/2004 09:00:00AM",
          "3/17/2004 09:00:00AM", "3/18/2004 09:00:00AM", "3/19/2004 09:00:00AM",
          "3/20/2004 09:00:00AM"},
         15},
        {"every 3 days until exactly the third",
         Until(Alarm(kEveryXDays, EncodeDate(2004, 3, 1), k9, 3), At(2004, 3, 19, 9)),
         kNow,
         {"3/13/2004 09:00:00AM", "3/16/2004 09:00:00AM", "3/19/2004 09:00:00AM"},
         10},
        {"until a second before",
         Until(Alarm(kEveryXDays, EncodeDate(2004, 3, 1), k9), At(2004, 3, 12, 8, 59, 59)),
         kNow,
         {"3/11/2004 09:00:00AM"},
         10},
        {"own window around its time",
         With(Alarm(kEveryXDays, EncodeDate(2004, 3, 1), k9),
              WindowRule(EncodeTime(8, 0, 0), EncodeTime(10, 0, 0))),
         kNow,
         {},
         5},
        {"weekends off",
         With(Alarm(kEveryXDays, EncodeDate(2004, 3, 1), k9), WeekdaysRule({1, 7})),
         kNow,
         {"3/11/2004 09:00:00AM", "3/12/2004 09:00:00AM", "3/15/2004 09:00:00AM"}},
        {"a stored 0 counts as 1",
         Alarm(kEveryXDays, EncodeDate(2004, 3, 1), k9, 0),
         kNow,
         {"3/11/2004 09:00:00AM", "3/12/2004 09:00:00AM"}},
        {"negative counts as 1",
         Alarm(kEveryXDays, EncodeDate(2004, 3, 1), k9, -4),
         kNow,
         {"3/11/2004 09:00:00AM"}},
    });
    AlRec off = Alarm(kEveryXDays, EncodeDate(2004, 3, 1), k9);
    off.enabled = false;
    EXPECT_TRUE(First(off, kNow, 5).empty());
}

TEST(Occurrences, EveryXMinutesAndHours) {
    Check({
        {"15 minutes from 1 March 09:07",
         Alarm(kEveryXMinutes, EncodeDate(2004, 3, 1), EncodeTime(9, 7, 0), 15),
         kNow,
         {"3/10/2004 10:07:00AM", "3/10/2004 10:22:00AM", "3/10/2004 10:37:00AM"}},
        {"2 hours from today 09:00",
         Alarm(kEveryXHours, EncodeDate(2004, 3, 10), k9, 2),
         kNow,
         {"3/10/2004 11:00:00AM", "3/10/2004 01:00:00PM"}},
        {"starts later today",
         Alarm(kEveryXMinutes, EncodeDate(2004, 3, 10), EncodeTime(11, 0, 0), 30),
         kNow,
         {"3/10/2004 11:00:00AM", "3/10/2004 11:30:00AM"}},
        {"runs over midnight",
         Alarm(kEveryXHours, EncodeDate(2004, 3, 9), EncodeTime(1, 0, 0), 10),
         kNow,
         {"3/10/2004 05:00:00PM", "3/11/2004 03:00:00AM", "3/11/2004 01:00:00PM"}},
        // On the start day an occurrence exactly at Now counts; later only
        // those strictly after Now do.
        {"on the grid at Now, start day",
         Alarm(kEveryXMinutes, EncodeDate(2004, 3, 10), k9, 30),
         kNow,
         {"3/10/2004 10:00:00AM"}},
        {"on the grid at Now, later day",
         Alarm(kEveryXMinutes, EncodeDate(2004, 3, 9), k9, 30),
         kNow,
         {"3/10/2004 10:30:00AM"}},
        {"until",
         Until(Alarm(kEveryXHours, EncodeDate(2004, 3, 1), k9, 1), At(2004, 3, 10, 12)),
         kNow,
         {"3/10/2004 11:00:00AM", "3/10/2004 12:00:00PM"},
         5},
        {"a stored 0 counts as 1",
         Alarm(kEveryXMinutes, EncodeDate(2004, 3, 1), k9, 0),
         kNow,
         {"3/10/2004 10:01:00AM", "3/10/2004 10:02:00AM"}},
    });
}

// Fifteen-minute steps as day fractions drift off the minute within years;
// in whole seconds they cannot.
TEST(Occurrences, LongRunningGridStaysOnItsSeconds) {
    const AlRec a = Alarm(kEveryXMinutes, EncodeDate(1990, 1, 2), EncodeTime(0, 7, 0), 15);
    const auto rows = First(a, At(2030, 6, 1, 13, 50, 0), 40);
    ASSERT_EQ(rows.size(), 40u);
    EXPECT_EQ(rows[0], "6/1/2030 01:52:00PM");
    EXPECT_EQ(rows[39], "6/1/2030 11:37:00PM");
    Globals g;
    g.ResetAlarmTable(1);
    g.AlarmCount = 1;
    g.AlarmTable[1] = a;
    for (const ScheduleEntry& e : ComputeSchedule(g, At(2030, 6, 1, 13, 50, 0), 40)) {
        const DaySecond ds = SplitToSecond(e.When);
        EXPECT_EQ(ds.second % 900, 7 * 60) << FormatDateTime(e.When);
        EXPECT_EQ(e.When, FromDaySecond(ds.day, ds.second));  // exactly the second
    }

    // A window ending at 10:00:00 takes the 10:00:00 occurrence too.
    const AlRec quarter = With(Alarm(kEveryXMinutes, EncodeDate(1995, 1, 1), 0, 15),
                               WindowRule(EncodeTime(9, 0, 0), EncodeTime(10, 0, 0)));
    EXPECT_EQ(First(quarter, At(2004, 3, 10, 9, 55), 2),
              (std::vector<std::string>{"3/10/2004 10:15:00AM", "3/10/2004 10:30:00AM"}));
}

// A grid steps over an excluded stretch in one try: an every-minute alarm
// built on a Saturday with weekends off would otherwise use up its 1999
// tries before Monday and never ring again.
TEST(Occurrences, GridStepsOverLongExclusions) {
    const AlRec a = With(Alarm(kEveryXMinutes, EncodeDate(2004, 3, 1), 0, 1), WeekdaysRule({1, 7}));
    EXPECT_EQ(First(a, At(2004, 3, 13, 8, 0, 0), 2),
              (std::vector<std::string>{"3/15/2004 12:00:00AM", "3/15/2004 12:01:00AM"}));
    const AlRec holidays = With(
        Alarm(kEveryXMinutes, EncodeDate(2004, 3, 1), EncodeTime(0, 0, 30), 1),
        DatesRule({EncodeDate(2004, 12, 24), EncodeDate(2004, 12, 25), EncodeDate(2004, 12, 26)}));
    EXPECT_EQ(First(holidays, At(2004, 12, 23, 23, 59, 0), 2),
              (std::vector<std::string>{"12/23/2004 11:59:30PM", "12/27/2004 12:00:30AM"}));
    // Every moment excluded: the search still ends.
    const AlRec never = With(a, WeekdaysRule({2, 3, 4, 5, 6}));
    EXPECT_TRUE(First(never, kNow, 3).empty());
}

TEST(Occurrences, Weekly) {
    Check({
        {"Monday and Thursday",
         Weekly({2, 5}, EncodeDate(2004, 3, 1), k9),
         kNow,
         {"3/11/2004 09:00:00AM", "3/15/2004 09:00:00AM", "3/18/2004 09:00:00AM"}},
        {"today, time to come",
         Weekly({4}, EncodeDate(2004, 3, 1), EncodeTime(11, 0, 0)),
         kNow,
         {"3/10/2004 11:00:00AM", "3/17/2004 11:00:00AM"}},
        {"today, time passed",
         Weekly({4}, EncodeDate(2004, 3, 1), k9),
         kNow,
         {"3/17/2004 09:00:00AM"}},
        {"starts on a Saturday",
         Weekly({2, 5}, EncodeDate(2004, 3, 20), k9),
         kNow,
         {"3/22/2004 09:00:00AM", "3/25/2004 09:00:00AM"}},
        {"list out of order, repeated, with strays",
         Weekly({5, 2, 2, 9, 0}, EncodeDate(2004, 3, 1), k9),
         kNow,
         {"3/11/2004 09:00:00AM", "3/15/2004 09:00:00AM", "3/18/2004 09:00:00AM"}},
        {"a stored 0 counts as 1",
         Weekly({4}, EncodeDate(2004, 3, 1), k9, 0),
         kNow,
         {"3/17/2004 09:00:00AM", "3/24/2004 09:00:00AM"}},
        {"every 3 weeks",
         Weekly({2}, EncodeDate(2004, 1, 5), k9, 3),
         kNow,
         {"3/29/2004 09:00:00AM", "4/19/2004 09:00:00AM"}},
        // The first cycle week is the one after the start week when no
        // listed day is left in the start week.
        {"bi-weekly Monday from a Wednesday",
         Weekly({2}, EncodeDate(2004, 3, 3), k9, 2),
         At(2004, 3, 2, 12),
         {"3/8/2004 09:00:00AM", "3/22/2004 09:00:00AM", "4/5/2004 09:00:00AM"}},
        {"until",
         Until(Weekly({2, 5}, EncodeDate(2004, 3, 1), k9), At(2004, 3, 15, 9)),
         kNow,
         {"3/11/2004 09:00:00AM", "3/15/2004 09:00:00AM"},
         5},
        {"no weekdays", Weekly({}, EncodeDate(2004, 3, 1), k9), kNow, {}, 3},
        {"only stray weekdays", Weekly({0, 8}, EncodeDate(2004, 3, 1), k9), kNow, {}, 3},
        // No warning for two separate rules, yet it never occurs.
        {"weekend alarm, weekend off in two rules",
         With(With(Weekly({1, 7}, EncodeDate(2004, 3, 1), k9), WeekdaysRule({1})),
              WeekdaysRule({7})),
         kNow,
         {},
         3},
    });
}

// Rules that take every moment an alarm can ring at leave it nothing at all;
// rules that leave some moments do not.
TEST(Occurrences, RulesThatLeaveNothing) {
    const ExRec morning = WindowRule(EncodeTime(8, 0, 0), EncodeTime(10, 0, 0));
    const std::vector<ExRec> globalMorning = {morning};
    EXPECT_TRUE(
        First(Monthly(kLastDay, EncodeDate(2004, 1, 1), k9), kNow, 3, globalMorning).empty());
    EXPECT_TRUE(
        First(With(Alarm(kEveryXYears, EncodeDate(2001, 5, 1), k9), morning), kNow, 3).empty());
    EXPECT_TRUE(
        First(With(Weekly({1, 7}, EncodeDate(2004, 3, 1), k9), WeekdaysRule({7, 1})), kNow, 3)
            .empty());
    EXPECT_TRUE(
        First(With(WeeksWeekdays({2}, {1, 5}, EncodeDate(2004, 1, 1), k9), WeekdaysRule({2})), kNow,
              3)
            .empty());
    // A grid rings at other times of day too.
    EXPECT_EQ(First(Alarm(kEveryXMinutes, EncodeDate(2004, 3, 10), k9, 30), At(2004, 3, 10, 8), 2,
                    globalMorning),
              (std::vector<std::string>{"3/10/2004 10:30:00AM", "3/10/2004 11:00:00AM"}));
    EXPECT_EQ(First(With(Weekly({1, 7}, EncodeDate(2004, 3, 1), k9), WeekdaysRule({7})), kNow, 2),
              (std::vector<std::string>{"3/14/2004 09:00:00AM", "3/21/2004 09:00:00AM"}));
    // A window that misses the time by a second takes nothing.
    EXPECT_EQ(First(Monthly(kLastDay, EncodeDate(2004, 1, 1), EncodeTime(10, 0, 1)), kNow, 1,
                    globalMorning),
              (std::vector<std::string>{"3/31/2004 10:00:01AM"}));
}

// The schedule is rebuilt after every ring, so a rebuild in the middle of a
// cycle week must keep that week's remaining days.
TEST(Occurrences, MultiWeekCycleKeepsTheCurrentWeek) {
    const AlRec monFri = Weekly({2, 6}, EncodeDate(2004, 3, 1), k9, 2);
    Check({
        {"rebuilt on the Tuesday after Monday rang",
         monFri,
         At(2004, 3, 16, 10),
         {"3/19/2004 09:00:00AM", "3/29/2004 09:00:00AM", "4/2/2004 09:00:00AM"}},
        {"rebuilt in the off week",
         monFri,
         At(2004, 3, 23, 10),
         {"3/29/2004 09:00:00AM", "4/2/2004 09:00:00AM"}},
        {"rebuilt right after Friday rang",
         monFri,
         At(2004, 3, 19, 9, 0, 1),
         {"3/29/2004 09:00:00AM"}},
        {"cycle from a Wednesday, rebuilt on Thursday",
         Weekly({2, 6}, EncodeDate(2004, 3, 3), k9, 2),
         At(2004, 3, 18, 10),
         {"3/19/2004 09:00:00AM", "3/29/2004 09:00:00AM"}},
    });
    // The cycle does not depend on the time of day of the rebuild.
    const AlRec wed = Weekly({4}, EncodeDate(2004, 3, 3), k9, 2);
    for (const DateTime now : {At(2004, 3, 3, 10), At(2004, 3, 4, 8), At(2004, 3, 4, 10),
                               At(2004, 3, 10, 8), At(2004, 3, 17, 8, 59, 59)}) {
        SCOPED_TRACE(FormatDateTime(now));
        EXPECT_EQ(First(wed, now, 2),
                  (std::vector<std::string>{"3/17/2004 09:00:00AM", "3/31/2004 09:00:00AM"}));
    }
}

TEST(Occurrences, Monthly) {
    Check({
        {"last day",
         Monthly(kLastDay, EncodeDate(2004, 1, 1), EncodeTime(8, 0, 0)),
         kNow,
         {"3/31/2004 08:00:00AM", "4/30/2004 08:00:00AM", "5/31/2004 08:00:00AM"}},
        {"last day, start month ahead",
         Monthly(kLastDay, EncodeDate(2004, 2, 29), k9),
         At(2004, 2, 29, 9, 30),
         {"3/31/2004 09:00:00AM"}},
        {"first day",
         Monthly(kFirstDay, EncodeDate(2004, 1, 1), EncodeTime(8, 0, 0)),
         kNow,
         {"4/1/2004 08:00:00AM", "5/1/2004 08:00:00AM"}},
        {"listed 5 and 20",
         MonthDays({5, 20}, EncodeDate(2004, 1, 1), k9),
         kNow,
         {"3/20/2004 09:00:00AM", "4/5/2004 09:00:00AM", "4/20/2004 09:00:00AM"}},
        {"listed 10, time passed",
         MonthDays({10}, EncodeDate(2004, 1, 1), k9),
         kNow,
         {"4/10/2004 09:00:00AM"}},
        {"listed 10, time to come",
         MonthDays({10}, EncodeDate(2004, 1, 1), EncodeTime(11, 0, 0)),
         kNow,
         {"3/10/2004 11:00:00AM", "4/10/2004 11:00:00AM"}},
        {"listed 31",
         MonthDays({31}, EncodeDate(2004, 1, 1), k9),
         kNow,
         {"3/31/2004 09:00:00AM", "5/31/2004 09:00:00AM", "7/31/2004 09:00:00AM"}},
        // February counts 28 days for listed days, leap year or not.
        {"listed 29",
         MonthDays({29}, EncodeDate(2004, 1, 1), k9),
         At(2004, 1, 30),
         {"3/29/2004 09:00:00AM", "4/29/2004 09:00:00AM"}},
        {"list out of order, with strays",
         MonthDays({20, 0, 5, 40, 5}, EncodeDate(2004, 1, 1), k9),
         kNow,
         {"3/20/2004 09:00:00AM", "4/5/2004 09:00:00AM"}},
        {"no listed days", MonthDays({}, EncodeDate(2004, 1, 1), k9), kNow, {}, 3},
        {"first and last week, Monday and Friday",
         WeeksWeekdays({2, 6}, {1, 5}, EncodeDate(2004, 1, 1), k9),
         kNow,
         {"3/26/2004 09:00:00AM", "3/29/2004 09:00:00AM", "4/2/2004 09:00:00AM",
          "4/5/2004 09:00:00AM", "4/26/2004 09:00:00AM", "4/30/2004 09:00:00AM"}},
        {"second Tuesday",
         WeeksWeekdays({3}, {2}, EncodeDate(2004, 1, 1), k9),
         kNow,
         {"4/13/2004 09:00:00AM", "5/11/2004 09:00:00AM"}},
        {"no weeks", WeeksWeekdays({3}, {}, EncodeDate(2004, 1, 1), k9), kNow, {}, 3},
        {"until",
         Until(Monthly(kLastDay, EncodeDate(2004, 1, 1), k9), At(2004, 5, 1)),
         kNow,
         {"3/31/2004 09:00:00AM", "4/30/2004 09:00:00AM"},
         5},
    });
}

// The first day of the start month, or days of the start week, lie before
// the start: the alarm does not ring there.
TEST(Occurrences, NothingBeforeTheStart) {
    Check({
        {"first day, start in the middle of next month",
         Monthly(kFirstDay, EncodeDate(2004, 3, 15), k9),
         At(2004, 2, 28, 10),
         {"4/1/2004 09:00:00AM", "5/1/2004 09:00:00AM"}},
        {"first day, start on the first at a later time",
         Monthly(kFirstDay, EncodeDate(2004, 4, 1), EncodeTime(11, 0, 0)),
         kNow,
         {"4/1/2004 11:00:00AM"}},
        {"weekdays of weeks, start on the Thursday of week 2",
         WeeksWeekdays({2, 6}, {2}, EncodeDate(2004, 3, 11), k9),
         At(2004, 3, 1, 10),
         {"3/12/2004 09:00:00AM", "4/9/2004 09:00:00AM", "4/12/2004 09:00:00AM"}},
        {"weekdays of weeks, start day itself later that day",
         WeeksWeekdays({5}, {2}, EncodeDate(2004, 3, 11), EncodeTime(8, 0, 0)),
         At(2004, 3, 11, 7),
         {"3/11/2004 08:00:00AM"}},
        // Listed dates keep every date, even those before the start.
        {"listed dates before the start",
         Dates({EncodeDate(2004, 3, 15), EncodeDate(2004, 4, 1)}, EncodeDate(2004, 3, 20), k9),
         kNow,
         {"3/15/2004 09:00:00AM", "4/1/2004 09:00:00AM"}},
    });
}

TEST(Occurrences, EveryXMonths) {
    Check({
        // Counted from the start month: April, not March.
        {"every 3 months from 15 January",
         Alarm(kEveryXMonths, EncodeDate(2004, 1, 15), k9, 3),
         kNow,
         {"4/15/2004 09:00:00AM", "7/15/2004 09:00:00AM", "10/15/2004 09:00:00AM"}},
        {"rebuilt right after it rang",
         Alarm(kEveryXMonths, EncodeDate(2004, 1, 15), k9, 3),
         At(2004, 4, 15, 9, 0, 1),
         {"7/15/2004 09:00:00AM"}},
        {"rebuilt the next month",
         Alarm(kEveryXMonths, EncodeDate(2004, 1, 15), k9, 3),
         At(2004, 5, 2),
         {"7/15/2004 09:00:00AM"}},
        {"in the cycle month, still to come",
         Alarm(kEveryXMonths, EncodeDate(2003, 12, 10), EncodeTime(11, 0, 0), 3),
         kNow,
         {"3/10/2004 11:00:00AM", "6/10/2004 11:00:00AM"}},
        {"start day not yet reached",
         Alarm(kEveryXMonths, EncodeDate(2004, 3, 25), k9, 2),
         kNow,
         {"3/25/2004 09:00:00AM", "5/25/2004 09:00:00AM"}},
        // Days a month lacks become its last day, month by month.
        {"from 31 January",
         Alarm(kEveryXMonths, EncodeDate(2004, 1, 31), k9, 1),
         At(2004, 2, 1),
         {"2/29/2004 09:00:00AM", "3/31/2004 09:00:00AM", "4/30/2004 09:00:00AM",
          "5/31/2004 09:00:00AM"}},
        {"from 30 November 2002",
         Alarm(kEveryXMonths, EncodeDate(2002, 11, 30), k9, 3),
         At(2003, 1, 1),
         {"2/28/2003 09:00:00AM", "5/30/2003 09:00:00AM"}},
        {"until",
         Until(Alarm(kEveryXMonths, EncodeDate(2004, 1, 15), k9, 3), At(2004, 7, 15, 9)),
         kNow,
         {"4/15/2004 09:00:00AM", "7/15/2004 09:00:00AM"},
         5},
    });
}

TEST(Occurrences, EveryXYears) {
    Check({
        {"every 2 years from 15 June 2001",
         Alarm(kEveryXYears, EncodeDate(2001, 6, 15), k9, 2),
         kNow,
         {"6/15/2005 09:00:00AM", "6/15/2007 09:00:00AM"}},
        {"this year's date has passed",
         Alarm(kEveryXYears, EncodeDate(2002, 2, 1), k9, 2),
         kNow,
         {"2/1/2006 09:00:00AM"}},
        {"today, time to come",
         Alarm(kEveryXYears, EncodeDate(2000, 3, 10), EncodeTime(11, 0, 0)),
         kNow,
         {"3/10/2004 11:00:00AM", "3/10/2005 11:00:00AM"}},
        {"passed in the start year",
         Alarm(kEveryXYears, EncodeDate(2004, 1, 5), k9, 3),
         kNow,
         {"1/5/2007 09:00:00AM"}},
        {"starts later",
         Alarm(kEveryXYears, EncodeDate(2004, 12, 24), k9, 1),
         kNow,
         {"12/24/2004 09:00:00AM", "12/24/2005 09:00:00AM"}},
        // From 29 February: 28 February in other years.
        {"from 29 February",
         Alarm(kEveryXYears, EncodeDate(2000, 2, 29), k9, 1),
         kNow,
         {"2/28/2005 09:00:00AM", "2/28/2006 09:00:00AM", "2/28/2007 09:00:00AM",
          "2/29/2008 09:00:00AM"}},
        {"from 29 February, every 4 years",
         Alarm(kEveryXYears, EncodeDate(1896, 2, 29), k9, 4),
         At(1899, 12, 31),
         {"2/28/1900 09:00:00AM", "2/29/1904 09:00:00AM"}},
    });
}

TEST(Occurrences, SelectedDates) {
    const std::vector<DateTime> march = {EncodeDate(2004, 3, 1), EncodeDate(2004, 3, 15)};
    Check({
        {"1 and 15 March",
         Dates(march, EncodeDate(2004, 3, 1), k9),
         kNow,
         {"3/15/2004 09:00:00AM"},
         5},
        {"after the last",
         Dates(march, EncodeDate(2004, 3, 1), k9),
         At(2004, 3, 15, 9, 0, 1),
         {},
         5},
        // One exactly at Now still counts, and the later ones stay.
        {"exactly now",
         Dates({EncodeDate(2004, 3, 10), EncodeDate(2004, 3, 20)}, EncodeDate(2004, 3, 1),
               EncodeTime(10, 0, 0)),
         kNow,
         {"3/10/2004 10:00:00AM", "3/20/2004 10:00:00AM"},
         5},
        {"out of order, repeated",
         Dates({EncodeDate(2004, 5, 2), EncodeDate(2004, 3, 20), EncodeDate(2004, 5, 2)},
               EncodeDate(2004, 1, 1), k9),
         kNow,
         {"3/20/2004 09:00:00AM", "5/2/2004 09:00:00AM"},
         5},
        {"an excluded date is passed over",
         With(Dates({EncodeDate(2004, 3, 20), EncodeDate(2004, 3, 21)}, EncodeDate(2004, 1, 1), k9),
              DatesRule({EncodeDate(2004, 3, 20)})),
         kNow,
         {"3/21/2004 09:00:00AM"},
         5},
        {"until",
         Until(
             Dates({EncodeDate(2004, 3, 20), EncodeDate(2004, 3, 21)}, EncodeDate(2004, 1, 1), k9),
             At(2004, 3, 20, 9)),
         kNow,
         {"3/20/2004 09:00:00AM"},
         5},
        {"empty", Dates({}, EncodeDate(2004, 1, 1), k9), kNow, {}, 5},
    });
}

TEST(Occurrences, Individual) {
    Check({
        {"yesterday", Once(EncodeDate(2004, 3, 9), EncodeTime(11, 0, 0)), kNow, {}, 3},
        {"today, passed", Once(EncodeDate(2004, 3, 10), k9), kNow, {}, 3},
        {"today, to come",
         Once(EncodeDate(2004, 3, 10), EncodeTime(10, 30, 0)),
         kNow,
         {"3/10/2004 10:30:00AM"},
         3},
        {"exactly now",
         Once(EncodeDate(2004, 3, 10), EncodeTime(10, 0, 0)),
         kNow,
         {"3/10/2004 10:00:00AM"},
         3},
        {"excluded", With(Once(EncodeDate(2004, 3, 13), k9), WeekdaysRule({7})), kNow, {}, 3},
    });
    // Any kind with AlEndType 0 is a single occurrence at its start.
    AlRec weekly = Weekly({2}, EncodeDate(2004, 3, 12), k9);
    weekly.Schedule.AlEndType = 0;
    EXPECT_EQ(First(weekly, kNow, 3), (std::vector<std::string>{"3/12/2004 09:00:00AM"}));
}

// Now part-way through a second: an occurrence at the whole second before
// it has passed.
TEST(Occurrences, NowBetweenSeconds) {
    const DateTime justAfter = kNow + 0.4 / kSecondsPerDay;
    const AlRec daily = Alarm(kEveryXDays, EncodeDate(2004, 3, 1), EncodeTime(10, 0, 0));
    EXPECT_EQ(First(daily, justAfter, 1), (std::vector<std::string>{"3/11/2004 10:00:00AM"}));
    EXPECT_EQ(First(daily, kNow, 1), (std::vector<std::string>{"3/10/2004 10:00:00AM"}));
    EXPECT_TRUE(First(Once(EncodeDate(2004, 3, 10), EncodeTime(10, 0, 0)), justAfter, 1).empty());
    const DateTime justBefore = kNow - 0.4 / kSecondsPerDay;
    EXPECT_EQ(First(daily, justBefore, 1), (std::vector<std::string>{"3/10/2004 10:00:00AM"}));
}

// Every kind, every few hours over two months: nothing in the past, nothing
// before the start (listed dates aside), and each alarm's list ascending.
TEST(Occurrences, NeverBeforeNowOrTheStart) {
    const DateTime start = At(2004, 3, 17), time = EncodeTime(14, 30, 0);
    const std::vector<AlRec> alarms = {
        Alarm(kEveryXDays, start, time, 3),
        Alarm(kEveryXMinutes, start, time, 45),
        Alarm(kEveryXHours, start, time, 5),
        Weekly({1, 2, 4, 7}, start, time, 1),
        Weekly({1, 3, 6}, start, time, 2),
        Weekly({2}, start, time, 3),
        Monthly(kFirstDay, start, time),
        Monthly(kLastDay, start, time),
        MonthDays({1, 16, 17, 31}, start, time),
        WeeksWeekdays({1, 2, 3, 4, 5, 6, 7}, {1, 3, 5}, start, time),
        Alarm(kEveryXMonths, start, time, 2),
        Alarm(kEveryXYears, start, time, 1),
    };
    for (std::size_t k = 0; k < alarms.size(); ++k) {
        Globals g;
        g.ResetAlarmTable(1);
        g.AlarmCount = 1;
        g.AlarmTable[1] = alarms[k];
        for (DateTime now = At(2004, 3, 1, 0, 17); now < At(2004, 5, 1); now += 0.29) {
            const auto table = ComputeSchedule(g, now, 12);
            for (std::size_t i = 0; i < table.size(); ++i) {
                const DateTime w = table[i].When;
                ASSERT_GE(w, now) << "alarm " << k << " at " << FormatDateTime(now);
                ASSERT_GE(w, start + time) << "alarm " << k << " at " << FormatDateTime(now);
                if (i > 0) {
                    ASSERT_GT(w, table[i - 1].When) << "alarm " << k;
                }
            }
        }
    }
}

TEST(Occurrences, CursorsFollowTheirSteps) {
    Globals g;
    g.ResetAlarmTable(2);
    g.AlarmCount = 2;
    g.AlarmTable[1] = Weekly({2, 5}, EncodeDate(2004, 3, 1), k9);
    g.AlarmTable[2] = Once(EncodeDate(2004, 3, 11), k9);
    OccurrenceCursors c(g, kNow);
    c.InitCursors();
    c.ComputeCandidate(1);
    c.ComputeCandidate(1);  // again: nothing moves
    EXPECT_EQ(FormatDateTime(c.Candidate(1)), "3/11/2004 09:00:00AM");
    c.AdvanceCursor(1);
    c.ComputeCandidate(1);
    EXPECT_EQ(FormatDateTime(c.Candidate(1)), "3/15/2004 09:00:00AM");
    EXPECT_EQ(c.CursorOf(1).ListPos, 1);
    EXPECT_EQ(c.CursorOf(1).Step, 1);

    c.ComputeCandidate(2);
    EXPECT_TRUE(c.HasCandidate(2));
    c.AdvanceCursor(2);
    EXPECT_TRUE(c.CursorOf(2).Done);
    c.ComputeCandidate(2);
    EXPECT_FALSE(c.HasCandidate(2));
    EXPECT_EQ(c.CursorOf(2).Candidate, kNoOccurrence);

    // Positions outside the table are ignored.
    c.ComputeCandidate(0);
    c.AdvanceCursor(3);
    EXPECT_FALSE(c.HasCandidate(3));
}

}  // namespace
}  // namespace ringmere
