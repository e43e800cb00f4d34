// The nights the clock jumps, in real zones of the system's zone database.
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/alarmtable.h"
#include "core/localzone.h"
#include "core/schedule.h"
#include "rules_testing.h"

namespace ringmere {
namespace {

using fixtures::WindowRule;

Moment Civil(int y, int mo, int d, int h, int mi) {
    return AtSecond(DayNumber(y, mo, d), h * 3600 + mi * 60);
}
DateTime At(int y, int mo, int d, int h = 0, int mi = 0) {
    return FromMoment(Civil(y, mo, d, h, mi));
}
Instant Utc(int y, int mo, int d, int h, int mi) {
    return {Civil(y, mo, d, h, mi) * 1000};
}

// Sets TZ for one case and puts the process's zone back afterwards.
class Zone : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) saved_ = tz;
    }
    void TearDown() override {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    static void Use(const std::string& zone) {
        ASSERT_TRUE(std::filesystem::exists("/usr/share/zoneinfo/" + zone))
            << "tzdata lacks " << zone;
        setenv("TZ", zone.c_str(), 1);
        tzset();
    }

private:
    std::optional<std::string> saved_;
};

TEST_F(Zone, LocalTimesReadAsTheCalendarStandardReadsThem) {
    const struct {
        const char* zone;
        Moment local;
        Moment utc;    // what it stands for
        Moment shown;  // what the clock shows then
    } cases[] = {
        {"America/New_York", Civil(2024, 3, 10, 1, 59), Civil(2024, 3, 10, 6, 59),
         Civil(2024, 3, 10, 1, 59)},
        {"America/New_York", Civil(2024, 3, 10, 2, 30), Civil(2024, 3, 10, 7, 30),
         Civil(2024, 3, 10, 3, 30)},
        {"America/New_York", Civil(2024, 11, 3, 1, 30), Civil(2024, 11, 3, 5, 30),
         Civil(2024, 11, 3, 1, 30)},
        {"America/New_York", Civil(2024, 11, 3, 2, 0), Civil(2024, 11, 3, 7, 0),
         Civil(2024, 11, 3, 2, 0)},
        {"Europe/Berlin", Civil(2024, 3, 31, 2, 0), Civil(2024, 3, 31, 1, 0),
         Civil(2024, 3, 31, 3, 0)},
        {"Europe/Berlin", Civil(2024, 10, 27, 2, 59), Civil(2024, 10, 27, 0, 59),
         Civil(2024, 10, 27, 2, 59)},
        {"Australia/Lord_Howe", Civil(2024, 10, 6, 2, 15), Civil(2024, 10, 5, 15, 45),
         Civil(2024, 10, 6, 2, 45)},
        {"Australia/Lord_Howe", Civil(2024, 4, 7, 1, 45), Civil(2024, 4, 6, 14, 45),
         Civil(2024, 4, 7, 1, 45)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + FormatDateTime(FromMoment(c.local)));
        Use(c.zone);
        LocalZone zone;
        EXPECT_EQ(zone.UtcOf(c.local), c.utc);
        EXPECT_EQ(zone.LocalOf(zone.UtcOf(c.local)), c.shown);
        EXPECT_EQ(UtcOfLocal(c.local), c.utc);  // without the day cache
    }
}

AlRec Alarm(Byte type, DateTime start, DateTime time, Integer x = 1) {
    AlRec a;
    a.AlName = "A";
    a.enabled = true;
    a.Schedule.AlType = type;
    a.Schedule.AlStartDate = start;
    a.Schedule.AlTime = time;
    a.Schedule.AlEndType = kEndNever;
    a.Schedule.AlXDays = a.Schedule.AlXMin = a.Schedule.AlXHours = a.Schedule.AlXWeeks = x;
    return a;
}
AlRec Weekly(Integer weekday, DateTime start, DateTime time) {
    AlRec a = Alarm(kWeekly, start, time);
    a.Schedule.AlWeekdaynum = 1;
    a.Schedule.AlWeekdays = {weekday};
    return a;
}
AlRec Dates(DateTime day, DateTime time) {
    AlRec a = Alarm(kSelectedDates, day, time);
    a.Schedule.AlDayCount = 1;
    a.Schedule.AlDays = {day};
    return a;
}
AlRec Once(DateTime day, DateTime time) {
    AlRec a = Alarm(kEveryXDays, day, time);
    a.Schedule.AlEndType = kEndOnce;
    return a;
}
AlRec Excepting(AlRec a, ExRec rule) {
    a.Exceptions.Items.push_back(std::move(rule));
    a.Exceptions.Count = static_cast<Integer>(a.Exceptions.Items.size());
    return a;
}

// "local clock = universal time" per entry.
std::vector<std::string> Table(const AlRec& a, Instant now, int n) {
    Globals g;
    g.ResetAlarmTable(1);
    g.AlarmCount = 1;
    g.AlarmTable[1] = a;
    std::vector<std::string> out;
    for (const ScheduleEntry& e : ComputeSchedule(g, now, n))
        out.push_back(FormatDateTime(e.When) + " = " + FormatDateTime(FromMoment(e.Utc)));
    return out;
}

TEST_F(Zone, OccurrencesAcrossTheChanges) {
    const DateTime t0130 = EncodeTime(1, 30, 0), t0230 = EncodeTime(2, 30, 0);
    const struct {
        const char* zone;
        const char* why;
        AlRec alarm;
        Instant now;
        std::vector<std::string> rows;
    } cases[] = {
        {"America/New_York", "skipped: an hour later that day only",
         Alarm(kEveryXDays, At(2024, 3, 1), t0230), Utc(2024, 3, 9, 17, 0),
         {"3/10/2024 03:30:00AM = 3/10/2024 07:30:00AM",
          "3/11/2024 02:30:00AM = 3/11/2024 06:30:00AM"}},
        {"America/New_York", "rebuilt inside the skip's hour: still to come",
         Alarm(kEveryXDays, At(2024, 3, 1), t0230), Utc(2024, 3, 10, 7, 10),
         {"3/10/2024 03:30:00AM = 3/10/2024 07:30:00AM"}},
        {"America/New_York", "repeated: the first pass",
         Alarm(kEveryXDays, At(2024, 11, 1), t0130), Utc(2024, 11, 2, 16, 0),
         {"11/3/2024 01:30:00AM = 11/3/2024 05:30:00AM",
          "11/4/2024 01:30:00AM = 11/4/2024 06:30:00AM"}},
        {"America/New_York", "rebuilt in the second pass: not again",
         Alarm(kEveryXDays, At(2024, 11, 1), t0130), Utc(2024, 11, 3, 6, 10),
         {"11/4/2024 01:30:00AM = 11/4/2024 06:30:00AM"}},
        {"America/New_York", "once, in the second pass: gone",
         Once(At(2024, 11, 3), t0130), Utc(2024, 11, 3, 6, 10), {}},
        {"America/New_York", "once, skipped time",
         Once(At(2024, 3, 10), t0230), Utc(2024, 3, 10, 0, 0),
         {"3/10/2024 03:30:00AM = 3/10/2024 07:30:00AM"}},
        {"America/New_York", "every 30 minutes rings in both passes",
         Alarm(kEveryXMinutes, At(2024, 11, 3), 0, 30), Utc(2024, 11, 3, 4, 45),
         {"11/3/2024 01:00:00AM = 11/3/2024 05:00:00AM",
          "11/3/2024 01:30:00AM = 11/3/2024 05:30:00AM",
          "11/3/2024 01:00:00AM = 11/3/2024 06:00:00AM",
          "11/3/2024 01:30:00AM = 11/3/2024 06:30:00AM",
          "11/3/2024 02:00:00AM = 11/3/2024 07:00:00AM"}},
        {"America/New_York", "every 30 minutes, no gap in real time",
         Alarm(kEveryXMinutes, At(2024, 3, 10), 0, 30), Utc(2024, 3, 10, 6, 15),
         {"3/10/2024 01:30:00AM = 3/10/2024 06:30:00AM",
          "3/10/2024 03:00:00AM = 3/10/2024 07:00:00AM",
          "3/10/2024 03:30:00AM = 3/10/2024 07:30:00AM"}},
        {"America/New_York", "every hour, a night window stepped over in real time",
         Excepting(Alarm(kEveryXHours, At(2024, 3, 9), EncodeTime(20, 0, 0)),
                   WindowRule(0, EncodeTime(5, 0, 0))),
         Utc(2024, 3, 10, 3, 30),
         {"3/9/2024 11:00:00PM = 3/10/2024 04:00:00AM",
          "3/10/2024 06:00:00AM = 3/10/2024 10:00:00AM",
          "3/10/2024 07:00:00AM = 3/10/2024 11:00:00AM"}},
        {"Europe/Berlin", "weekly keeps its time of day",
         Weekly(1, At(2024, 3, 1), t0230), Utc(2024, 3, 30, 12, 0),
         {"3/31/2024 03:30:00AM = 3/31/2024 01:30:00AM",
          "4/7/2024 02:30:00AM = 4/7/2024 12:30:00AM"}},
        {"Europe/Berlin", "a listed date in its first pass",
         Dates(At(2024, 10, 27), t0230), Utc(2024, 10, 26, 12, 0),
         {"10/27/2024 02:30:00AM = 10/27/2024 12:30:00AM"}},
        {"Europe/Berlin", "a listed date, rebuilt in the second pass",
         Dates(At(2024, 10, 27), t0230), Utc(2024, 10, 27, 1, 15), {}},
        {"Australia/Lord_Howe", "a half-hour skip",
         Alarm(kEveryXDays, At(2024, 10, 1), EncodeTime(2, 15, 0)), Utc(2024, 10, 5, 0, 0),
         {"10/6/2024 02:45:00AM = 10/5/2024 03:45:00PM",
          "10/7/2024 02:15:00AM = 10/6/2024 03:15:00PM"}},
        {"Australia/Lord_Howe", "every 15 minutes through the repeated half hour",
         Alarm(kEveryXMinutes, At(2024, 4, 7), EncodeTime(1, 0, 0), 15), Utc(2024, 4, 6, 14, 20),
         {"4/7/2024 01:30:00AM = 4/6/2024 02:30:00PM",
          "4/7/2024 01:45:00AM = 4/6/2024 02:45:00PM",
          "4/7/2024 01:30:00AM = 4/6/2024 03:00:00PM",
          "4/7/2024 01:45:00AM = 4/6/2024 03:15:00PM",
          "4/7/2024 02:00:00AM = 4/6/2024 03:30:00PM"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + ": " + c.why);
        Use(c.zone);
        EXPECT_EQ(Table(c.alarm, c.now, static_cast<int>(c.rows.size()) + (c.rows.empty() ? 1 : 0)),
                  c.rows);
    }
}

TEST_F(Zone, DueInRealTimeWhenTheClockRepeats) {
    Use("America/New_York");
    Globals g;
    g.ResetAlarmTable(1);
    g.AlarmCount = 1;
    g.AlarmTable[1] = Alarm(kEveryXMinutes, At(2024, 11, 3), 0, 30);
    // 01:40 EDT: 01:30 EDT is due, 01:00 EST (shown earlier) is not.
    const InstantClock before(Utc(2024, 11, 3, 5, 40));
    BuildSchedule(g, InstantClock(Utc(2024, 11, 3, 5, 20)));
    EXPECT_EQ(FormatLongTime(before.Now()), "01:40:00AM");
    EXPECT_EQ(DueScheduleSlots(g, before.NowInstant()), std::vector<int>{1});
    EXPECT_EQ(DueScheduleSlots(g, Utc(2024, 11, 3, 6, 0)), (std::vector<int>{1, 2}));
}

}  // namespace
}  // namespace ringmere
