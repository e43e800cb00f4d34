// The merged schedule table and the schedule view's text.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "core/occurrence.h"
#include "core/schedule.h"

namespace ringmere {
namespace {

DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, s);
}

AlRec Repeating(const std::string& name, Byte type, DateTime start, DateTime time, Integer x) {
    AlRec a;
    a.AlName = name;
    a.enabled = true;
    a.Schedule.AlType = type;
    a.Schedule.AlStartDate = start;
    a.Schedule.AlTime = time;
    a.Schedule.AlEndType = 1;
    a.Schedule.AlXDays = a.Schedule.AlXMin = x;
    return a;
}

void SetAlarms(Globals& g, const std::vector<AlRec>& alarms) {
    g.ResetAlarmTable(static_cast<Integer>(alarms.size()));
    g.AlarmCount = static_cast<Integer>(alarms.size());
    for (std::size_t i = 0; i < alarms.size(); ++i) g.AlarmTable[i + 1] = alarms[i];
}

std::vector<std::string> Rows(const Globals& g) {
    std::vector<std::string> out;
    for (Integer r = 1; r <= g.ScheduleCount; ++r) {
        const ScheduleEntry& e = g.ScheduleTable[r];
        out.push_back(FormatDateTime(e.When) + " " + std::to_string(e.AlarmIndex));
    }
    return out;
}

TEST(ScheduleTable, EqualMomentsInPositionOrder) {
    Globals g;
    std::vector<AlRec> alarms;
    for (int i = 1; i <= 8; ++i) {
        std::string name = "A";
        name += std::to_string(i);  // "A" + ... trips a false -Wrestrict of GCC 12
        alarms.push_back(
            Repeating(name, kEveryXDays, EncodeDate(2004, 3, 1), EncodeTime(11, 0, 0), 1));
    }
    alarms[5].Schedule.AlTime = EncodeTime(10, 30, 0);  // the sixth comes first
    SetAlarms(g, alarms);
    const FixedClock clock(At(2004, 3, 10, 10));
    BuildSchedule(g, clock, 12);
    EXPECT_EQ(Rows(g),
              (std::vector<std::string>{
                  "3/10/2004 10:30:00AM 6", "3/10/2004 11:00:00AM 1", "3/10/2004 11:00:00AM 2",
                  "3/10/2004 11:00:00AM 3", "3/10/2004 11:00:00AM 4", "3/10/2004 11:00:00AM 5",
                  "3/10/2004 11:00:00AM 7", "3/10/2004 11:00:00AM 8", "3/11/2004 10:30:00AM 6",
                  "3/11/2004 11:00:00AM 1", "3/11/2004 11:00:00AM 2", "3/11/2004 11:00:00AM 3"}));
}

TEST(ScheduleTable, OneAndTwoMinuteAlarmsInterleave) {
    Globals g;
    SetAlarms(g,
              {Repeating("one", kEveryXMinutes, EncodeDate(2004, 3, 10), EncodeTime(9, 0, 0), 1),
               Repeating("two", kEveryXMinutes, EncodeDate(2004, 3, 10), EncodeTime(9, 0, 0), 2)});
    BuildSchedule(g, FixedClock(At(2004, 3, 10, 8, 59, 30)));
    ASSERT_EQ(g.ScheduleCount, kScheduleSize);
    // Per two minutes: one and two together, then one alone.
    for (Integer r = 1; r <= g.ScheduleCount; ++r) {
        SCOPED_TRACE(r);
        const int k = (r - 1) / 3, inCycle = (r - 1) % 3;
        const ScheduleEntry& e = g.ScheduleTable[r];
        EXPECT_EQ(e.AlarmIndex, inCycle == 1 ? 2 : 1);
        EXPECT_EQ(FormatDateTime(e.When),
                  FormatDateTime(At(2004, 3, 10, 9, 2 * k + (inCycle == 2 ? 1 : 0))));
    }
    EXPECT_EQ(g.ScheduleTable[kScheduleSize + 1], ScheduleEntry{});
}

TEST(ScheduleTable, EmptyWithoutEnabledAlarms) {
    Globals g;
    const FixedClock clock(At(2004, 3, 10, 10));
    g.ScheduleCount = 3;
    g.ScheduleTable[1] = {1, 1.0};
    BuildSchedule(g, clock);
    EXPECT_EQ(g.ScheduleCount, 0);
    EXPECT_EQ(g.ScheduleTable[1], ScheduleEntry{});
    EXPECT_TRUE(ScheduleViewRows(g).empty());

    AlRec off = Repeating("off", kEveryXDays, EncodeDate(2004, 3, 1), EncodeTime(9, 0, 0), 1);
    off.enabled = false;
    SetAlarms(g, {off, off});
    BuildSchedule(g, clock);
    EXPECT_EQ(g.ScheduleCount, 0);

    // Enabled, but read only in part: nothing from it on may ring.
    AlRec on = off;
    on.enabled = true;
    SetAlarms(g, {on, on, on});
    g.FirstDamagedAlarm = 2;
    BuildSchedule(g, clock);
    ASSERT_GT(g.ScheduleCount, 0);
    for (Integer e = 1; e <= g.ScheduleCount; ++e) EXPECT_EQ(g.ScheduleTable[e].AlarmIndex, 1);
}

TEST(ScheduleTable, SizeIsBoundedByTheSlots) {
    Globals g;
    SetAlarms(g, {Repeating("m", kEveryXMinutes, EncodeDate(2004, 3, 1), 0, 1)});
    const FixedClock clock(At(2004, 3, 10, 10));
    BuildSchedule(g, clock, 10);
    EXPECT_EQ(g.ScheduleCount, 10);
    BuildSchedule(g, clock, 500);
    EXPECT_EQ(g.ScheduleCount, kScheduleSlots);
    EXPECT_EQ(FormatDateTime(g.ScheduleTable[kScheduleSlots].When), "3/10/2004 10:50:00AM");
    BuildSchedule(g, clock, 3);
    EXPECT_EQ(g.ScheduleCount, 3);
    EXPECT_EQ(g.ScheduleTable[4], ScheduleEntry{});  // nothing left of the longer build
    BuildSchedule(g, clock, -1);
    EXPECT_EQ(g.ScheduleCount, 0);
    // Longer tables are there for the tool.
    EXPECT_EQ(ComputeSchedule(g, At(2004, 3, 10, 10), 1000).size(), 1000u);
}

TEST(ScheduleTable, UsesTheProgramClock) {
    Globals g;
    SetAlarms(g, {Repeating("d", kEveryXDays, EncodeDate(2004, 3, 1), EncodeTime(9, 0, 0), 1)});
    const FixedClock clock(At(2004, 3, 10, 8));
    SetCurrentClock(&clock);
    BuildSchedule(g);
    SetCurrentClock(nullptr);
    ASSERT_EQ(g.ScheduleCount, kScheduleSize);
    EXPECT_EQ(FormatDateTime(g.ScheduleTable[1].When), "3/10/2004 09:00:00AM");
}

// Nothing later than 31/12/9998 enters the table.
TEST(ScheduleTable, EndsAtTheLastDateThatMayEnter) {
    Globals g;
    AlRec late = Repeating("late", kEveryXDays, EncodeDate(9998, 12, 1), 0, 1);
    AlRec once = Repeating("once", kEveryXDays, EncodeDate(9998, 12, 31), EncodeTime(0, 0, 1), 1);
    once.Schedule.AlEndType = 0;
    AlRec yearly = Repeating("yearly", kEveryXYears, EncodeDate(9990, 6, 1), 0, 1);
    yearly.Schedule.AlXYears = 1;
    SetAlarms(g, {late, once, yearly});
    BuildSchedule(g, FixedClock(At(9998, 12, 29, 12)));
    EXPECT_EQ(Rows(g),
              (std::vector<std::string>{"12/30/9998 12:00:00AM 1", "12/31/9998 12:00:00AM 1"}));
    BuildSchedule(g, FixedClock(At(9999, 12, 31, 23, 59, 59)));
    EXPECT_EQ(g.ScheduleCount, 0);
}

TEST(ScheduleTable, DamagedRecordsAndMomentsGiveNoOccurrences) {
    Globals g;
    AlRec nan = Repeating("nan", kEveryXDays, std::numeric_limits<double>::quiet_NaN(), 0, 1);
    AlRec huge = Repeating("huge", kEveryXDays, 1e300, 0, 1);
    AlRec badTime = Repeating("time", kEveryXDays, EncodeDate(2004, 3, 1), -7.25, 1);
    AlRec badKind = Repeating("kind", 42, EncodeDate(2004, 3, 1), 0, 1);
    AlRec badMonthly = Repeating("monthly", kMonthly, EncodeDate(2004, 3, 1), 0, 1);
    badMonthly.Schedule.AlMType = 9;
    AlRec badEnd = Repeating("end", kEveryXDays, EncodeDate(2004, 3, 1), 0, 1);
    badEnd.Schedule.AlEndType = 3;
    badEnd.Schedule.AlEndDate = std::numeric_limits<double>::infinity();
    AlRec wide = Repeating("wide", kEveryXMinutes, EncodeDate(2004, 3, 1), 0, 2147483647);
    AlRec longList = Repeating("list", kWeekly, EncodeDate(2004, 3, 1), 0, 1);
    longList.Schedule.AlWeekdaynum = 1000000;  // far more than the list holds
    longList.Schedule.AlWeekdays = {5};
    SetAlarms(g, {nan, huge, badTime, badKind, badMonthly, badEnd, wide, longList});
    g.AlarmCount = 20;  // more than the table holds
    BuildSchedule(g, FixedClock(At(2004, 3, 10, 10)), 4);
    // Only the alarms that still make sense ring.
    EXPECT_EQ(Rows(g),
              (std::vector<std::string>{"3/11/2004 12:00:00AM 8", "3/11/2004 06:00:00AM 3",
                                        "3/12/2004 06:00:00AM 3", "3/13/2004 06:00:00AM 3"}));
    // An interval of 2^31 - 1 minutes reaches its next grid point after 4000 years.
    Globals alone;
    SetAlarms(alone, {wide});
    const auto far = ComputeSchedule(alone, At(2004, 3, 10, 10), 5);
    ASSERT_EQ(far.size(), 1u);
    EXPECT_EQ(FormatDateTime(far[0].When), "3/24/6087 02:07:00AM");

    BuildSchedule(g, FixedClock(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(g.ScheduleCount, 0);
}

TEST(ScheduleView, TimeColumnText) {
    struct Case {
        DateTime when;
        const char* text;
    } cases[] = {
        {At(2004, 3, 12), "3/12/2004 12:00:00AM"},
        {At(2004, 3, 12, 9, 5), "3/12/2004  9:05:00AM"},
        {At(2004, 3, 12, 10, 0), "3/12/2004 10:00:00AM"},
        {At(2004, 3, 12, 12, 30), "3/12/2004 12:30:00PM"},
        {At(2004, 12, 31, 21, 5, 9), "12/31/2004  9:05:09PM"},
        {At(2004, 3, 12, 0, 0, 1), "3/12/2004 12:00:01AM"},
    };
    for (const Case& c : cases) EXPECT_EQ(ScheduleViewTime(c.when), c.text);
}

TEST(ScheduleView, OneRowPerEntry) {
    Globals g;
    SetAlarms(g, {Repeating("Tea", kEveryXDays, EncodeDate(2004, 3, 1), EncodeTime(16, 0, 0), 1),
                  Repeating("Wake", kEveryXDays, EncodeDate(2004, 3, 1), EncodeTime(7, 5, 0), 1)});
    BuildSchedule(g, FixedClock(At(2004, 3, 10, 10)), 3);
    const auto rows = ScheduleViewRows(g);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].Number, 1);
    EXPECT_EQ(rows[0].Time, "3/10/2004  4:00:00PM");
    EXPECT_EQ(rows[0].Name, "Tea");
    EXPECT_EQ(rows[1].Time, "3/11/2004  7:05:00AM");
    EXPECT_EQ(rows[1].Name, "Wake");
    EXPECT_EQ(rows[2].Number, 3);
    // A table that outlived its alarm shows no name rather than another's.
    g.ScheduleTable[3].AlarmIndex = 7;
    EXPECT_EQ(ScheduleViewRows(g)[2].Name, "");
}

}  // namespace
}  // namespace ringmere
