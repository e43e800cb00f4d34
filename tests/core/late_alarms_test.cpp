// The check loop over a simulated clock: bursts beyond the cap of a check,
// gaps against the late limit, and a clock that jumps back and forward.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/alarmtable.h"
#include "core/late_alarms.h"
#include "core/settings.h"

namespace ringmere {
namespace {

constexpr int kDay = 9;  // December 2026

DateTime At(int d, int h, int mi, int s = 0) {
    return EncodeDate(2026, 12, d) + EncodeTime(h, mi, s);
}

AlRec Repeating(const std::string& name, Byte type, Integer x, int hour, int minute,
                bool enabled = true) {
    AlRec a;
    a.AlName = name;
    a.enabled = enabled;
    a.Schedule.AlType = type;
    a.Schedule.AlStartDate = EncodeDate(2026, 12, 1);
    a.Schedule.AlTime = EncodeTime(hour, minute, 0);
    a.Schedule.AlEndType = 1;
    a.Schedule.AlXDays = a.Schedule.AlXMin = x;
    return a;
}

void SetAlarms(Globals& g, const std::vector<AlRec>& alarms) {
    g.ResetAlarmTable(static_cast<Integer>(alarms.size()));
    g.AlarmCount = static_cast<Integer>(alarms.size());
    for (std::size_t i = 0; i < alarms.size(); ++i) g.AlarmTable[i + 1] = alarms[i];
}

// Drives the loop as the main window does and records what it did.
struct Driver {
    Globals& g;
    AlarmCheckLoop loop;
    std::map<std::string, int> started;  // runs per alarm name
    std::vector<std::string> lines;      // late and missed lines, in order
    std::vector<std::string> notices;
    int mostPerCheck = 0;
    int setBacks = 0;
    DateTime lastStart = 0;

    Driver(Globals& globals, DateTime begin, int limit, std::optional<DateTime> lastCheck = {})
        : g(globals) {
        loop.SetLateLimit(limit);
        loop.Begin(begin, lastCheck);
        loop.Rebuild(g);
    }
    void Check(DateTime now) {
        const CheckOutcome out = loop.Check(g, now);
        if (out.SetBackFrom) ++setBacks;
        for (const DueRun& r : out.Late) lines.push_back(LateLine(r));
        for (const MissedAlarm& m : out.Missed) lines.push_back(MissedLine(m));
        if (!out.Missed.empty()) notices.push_back(MissedNotice(out.Missed.size(), out.Cause));
        for (const DueRun& r : out.Start) {
            ++started[r.Name];
            lastStart = now;
        }
        mostPerCheck = std::max(mostPerCheck, static_cast<int>(out.Start.size()));
        if (out.Rebuild) loop.Rebuild(g);
    }
    // A check every second from `from` for `seconds`, ticking 20 ms after
    // the second as the program's timer does.
    void Tick(DateTime from, int seconds) {
        for (int i = 0; i < seconds; ++i) Check(from + (i + 0.02) / kSecondsPerDay);
    }
};

TEST(LateAlarms, ABurstInOneSecondStartsSixASecondInOrderAndDropsNone) {
    for (const int burst : {1, 6, 7, 25, 200}) {
        SCOPED_TRACE(burst);
        Globals g;
        std::vector<AlRec> alarms;
        for (int i = 0; i < burst; ++i)
            alarms.push_back(Repeating("A" + std::to_string(i), kEveryXDays, 1, 9, 0));
        SetAlarms(g, alarms);
        Driver run(g, At(kDay, 8, 59, 58), kDefaultLateLimit);
        run.Tick(At(kDay, 8, 59, 58), 60);
        EXPECT_EQ(run.started.size(), static_cast<std::size_t>(burst));
        for (const auto& [name, times] : run.started) EXPECT_EQ(times, 1) << name;
        EXPECT_EQ(run.mostPerCheck, std::min(burst, kMaxStartsPerCheck));
        const int seconds = (burst + kMaxStartsPerCheck - 1) / kMaxStartsPerCheck - 1;
        EXPECT_NEAR((run.lastStart - At(kDay, 9, 0)) * kSecondsPerDay, seconds + 0.02, 1e-3);
        EXPECT_TRUE(run.lines.empty());
        EXPECT_EQ(run.loop.Waiting(), 0u);
    }
}

// An every-5-minutes "Tea" (ran at 9:00), a daily "Daily" at 9:01 and a
// disabled every-minute "Off"; the computer sleeps at 9:00:30 for `gap`.
TEST(LateAlarms, AGapRunsEachAlarmOnceWithinTheLimitAndReportsTheRestMissed) {
    struct Case {
        const char* name;
        int gapSeconds;
        int limit;
        std::map<std::string, int> runs;  // during the jump's check
        std::vector<std::string> lines;
    };
    const int h3 = 3 * 3600, d3 = 3 * 86400;
    const Case cases[] = {
        {"1 min, limit 0", 60, 0, {}, {"Missed: Daily at 12/9/2026 9:01:00 AM"}},
        {"1 min, limit 10", 60, 10, {{"Daily", 1}}, {"Late by 30 s: Daily at 12/9/2026 9:01:00 AM"}},
        {"1 min, no limit", 60, kNoLateLimit, {{"Daily", 1}},
         {"Late by 30 s: Daily at 12/9/2026 9:01:00 AM"}},
        {"3 h, limit 0", h3, 0, {},
         {"Missed: Tea at 12/9/2026 9:05:00 AM (36 times)", "Missed: Daily at 12/9/2026 9:01:00 AM"}},
        {"3 h, limit 10", h3, 10, {{"Tea", 1}},
         {"Late by 5 min: Tea at 12/9/2026 11:55:00 AM (2 times)",
          "Missed: Tea at 12/9/2026 9:05:00 AM (34 times)", "Missed: Daily at 12/9/2026 9:01:00 AM"}},
        {"3 h, no limit", h3, kNoLateLimit, {{"Daily", 1}, {"Tea", 1}},
         {"Late by 2 h 59 min: Daily at 12/9/2026 9:01:00 AM",
          "Late by 2 h 55 min: Tea at 12/9/2026 9:05:00 AM (36 times)"}},
        {"3 days, limit 0", d3, 0, {},
         {"Missed: Tea at 12/9/2026 9:05:00 AM (864 times)",
          "Missed: Daily at 12/9/2026 9:01:00 AM (3 times)"}},
        {"3 days, limit 10", d3, 10, {{"Tea", 1}},
         {"Late by 5 min: Tea at 12/12/2026 8:55:00 AM (2 times)",
          "Missed: Tea at 12/9/2026 9:05:00 AM (862 times)",
          "Missed: Daily at 12/9/2026 9:01:00 AM (3 times)"}},
        {"3 days, no limit", d3, kNoLateLimit, {{"Daily", 1}, {"Tea", 1}},
         {"Late by 2 d 23 h 59 min: Daily at 12/9/2026 9:01:00 AM (3 times)",
          "Late by 2 d 23 h 55 min: Tea at 12/9/2026 9:05:00 AM (864 times)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Globals g;
        SetAlarms(g, {Repeating("Tea", kEveryXMinutes, 5, 8, 0),
                      Repeating("Daily", kEveryXDays, 1, 9, 1),
                      Repeating("Off", kEveryXMinutes, 1, 8, 0, false)});
        Driver run(g, At(kDay, 8, 59, 58), c.limit);
        run.Tick(At(kDay, 8, 59, 58), 32);
        EXPECT_EQ(run.started, (std::map<std::string, int>{{"Tea", 1}}));
        run.started.clear();
        run.loop.NoteSleep();
        const DateTime back = At(kDay, 9, 0, 30) + c.gapSeconds / double(kSecondsPerDay);
        run.Check(back);
        EXPECT_EQ(run.started, c.runs);
        EXPECT_EQ(run.lines, c.lines);
        if (!c.lines.empty() && c.lines.back().starts_with("Missed"))
            EXPECT_EQ(run.notices.back().ends_with("missed while the computer was asleep"), true);
        // Afterwards the loop goes on as before: nothing runs twice.
        run.started.clear();
        run.lines.clear();
        run.Tick(back + 1.0 / kSecondsPerDay, 5);
        EXPECT_TRUE(run.started.empty());
        EXPECT_TRUE(run.lines.empty());
    }
}

TEST(LateAlarms, TheCauseOfAGapNamesTheNotice) {
    struct Case {
        const char* name;
        bool sleep;
        bool restart;
        std::string notice;
    };
    const Case cases[] = {
        {"sleep", true, false, "2 alarms were missed while the computer was asleep"},
        {"clock forward", false, false, "2 alarms were missed when the clock was set forward"},
        {"not running", false, true, "2 alarms were missed while Ringmere was not running"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Globals g;
        SetAlarms(g, {Repeating("Tea", kEveryXMinutes, 5, 8, 0),
                      Repeating("Daily", kEveryXDays, 1, 9, 1)});
        const DateTime later = At(kDay, 12, 0, 30);
        if (c.restart) {
            Driver run(g, later, 0, At(kDay, 9, 0, 30));
            run.Check(later);
            EXPECT_EQ(run.notices, std::vector<std::string>{c.notice});
            continue;
        }
        Driver run(g, At(kDay, 9, 0, 30), 0);
        run.Check(At(kDay, 9, 0, 30));
        if (c.sleep) run.loop.NoteSleep();
        run.Check(later);
        EXPECT_EQ(run.notices, std::vector<std::string>{c.notice});
    }
}

TEST(LateAlarms, AClockSetBackRepeatsNothingWithinADay) {
    struct Case {
        const char* name;
        DateTime backTo;
        int teaRuns;  // from 9:00:00 until the clock shows 9:12 again
    };
    const Case cases[] = {
        {"10 minutes", At(kDay, 9, 0, 30), 3},      // 9:00, 9:05, 9:10 once each
        {"two days", At(kDay - 2, 9, 0, 30), 5},  // that day's 9:05 and 9:10 run
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Globals g;
        SetAlarms(g, {Repeating("Tea", kEveryXMinutes, 5, 8, 0)});
        Driver run(g, At(kDay, 8, 59, 58), kDefaultLateLimit);
        run.Tick(At(kDay, 8, 59, 58), 12 * 60 + 2);
        EXPECT_EQ(run.started["Tea"], 3);
        // After the jump back the clock runs on to 9:12 of the new time.
        const int seconds = static_cast<int>((At(kDay, 9, 12) - c.backTo) * kSecondsPerDay) %
                            kSecondsPerDay;
        run.Tick(c.backTo, seconds);
        EXPECT_EQ(run.started["Tea"], c.teaRuns);
        EXPECT_EQ(run.setBacks, 1);
        EXPECT_TRUE(run.lines.empty());
    }
}

TEST(LateAlarms, TheLastCheckAndTheLimitKeepInTheSettingsStore) {
    MemorySettingsStore store;
    std::string error;
    EXPECT_EQ(ReadLateLimit(store), kDefaultLateLimit);
    EXPECT_FALSE(ReadLastCheck(store));
    for (const int limit : {0, 25, kNoLateLimit, 10}) {
        ASSERT_TRUE(SaveLateLimit(store, limit, error)) << error;
        EXPECT_EQ(ReadLateLimit(store), limit);
    }
    ASSERT_TRUE(SaveLastCheck(store, At(kDay, 16, 55, 42) + 0.3 / kSecondsPerDay, error));
    EXPECT_EQ(store.ReadValue(kSettingsKey, kLastCheckValue)->data, "2026-12-09 16:55:42");
    EXPECT_EQ(ToMoment(*ReadLastCheck(store)), ToMoment(At(kDay, 16, 55, 42)));
    for (const char* bad : {"", "2026-12-09", "2026-13-09 10:00:00", "2026-12-09 24:00:00",
                            "2026-12-09 10:00:00x", "yesterday"})
        EXPECT_FALSE(ParseLastCheck(bad)) << bad;
    ASSERT_TRUE(store.WriteValue(kSettingsKey, kLateLimitValue, RegValue::Text("10"), error));
    EXPECT_EQ(ReadLateLimit(store), kDefaultLateLimit);  // not a number: the default
}

TEST(LateAlarms, LatenessReadsInDaysHoursMinutes) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "0 s"}, {59, "59 s"}, {60, "1 min"}, {3600, "1 h"}, {10530, "2 h 55 min"},
        {3 * 86400 + 300, "3 d 5 min"},
    };
    for (const auto& [seconds, text] : cases) EXPECT_EQ(LatenessText(seconds), text);
}

}  // namespace
}  // namespace ringmere
