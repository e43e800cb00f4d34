#include "platform/wake_thread.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/datetime.h"

namespace ringmere {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Outcome = WakeThread::Outcome;

// Sets TZ for one test and puts the old zone back afterwards.
class ZoneTest : public ::testing::Test {
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
    void UseZone(const std::string& zone) {
        ASSERT_TRUE(std::filesystem::exists("/usr/share/zoneinfo/" + zone))
            << "tzdata lacks " << zone;
        setenv("TZ", zone.c_str(), 1);
    }

private:
    std::optional<std::string> saved_;
};

DateTime Local(int y, int mo, int d, int h, int mi, int s) {
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, s);
}

using WakeTime = ZoneTest;

TEST_F(WakeTime, LocalTimeToUtcFollowsTheZoneRulesOfThatDate) {
    const struct {
        const char* zone;
        DateTime local;
        std::int64_t utc;
        const char* why;
    } cases[] = {
        {"UTC", Local(2024, 2, 29, 23, 59, 59), 1709251199, "leap day, no offset"},
        {"Europe/London", Local(2024, 1, 15, 12, 0, 0), 1705320000, "winter: GMT"},
        {"Europe/London", Local(2024, 7, 1, 9, 30, 0), 1719822600, "summer: BST, 08:30 UTC"},
        {"Europe/London", Local(2024, 3, 31, 0, 59, 59), 1711846799, "last second before the jump"},
        {"Europe/London", Local(2024, 3, 31, 2, 0, 0), 1711846800, "first second after the jump"},
        {"Europe/London", Local(2024, 3, 31, 1, 30, 0), 1711846800,
         "skipped hour: the moment of the change"},
        {"Europe/London", Local(2024, 10, 27, 0, 59, 59), 1729987199, "BST, day before in UTC"},
        {"Europe/London", Local(2024, 10, 27, 1, 30, 0), 1729989000,
         "hour shown twice: the first one (BST)"},
        {"Europe/London", Local(2024, 10, 27, 2, 0, 0), 1729994400, "after the fall back"},
        {"America/New_York", Local(2024, 3, 10, 2, 30, 0), 1710054000, "skipped: 03:00 EDT"},
        {"America/New_York", Local(2024, 11, 3, 1, 30, 0), 1730611800, "twice: EDT first"},
        {"Australia/Sydney", Local(2024, 4, 7, 2, 30, 0), 1712417400, "southern fall back"},
        {"Australia/Sydney", Local(2024, 10, 6, 2, 30, 0), 1728144000, "southern jump"},
        {"Asia/Kolkata", Local(2024, 6, 1, 0, 0, 0), 1717180200, "half-hour offset"},
        {"Pacific/Apia", Local(2011, 12, 30, 12, 0, 0), 1325239200,
         "a whole day skipped: the first moment of the next"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + ": " + c.why);
        UseZone(c.zone);
        const auto utc = LocalToUtcSeconds(c.local);
        ASSERT_TRUE(utc.has_value());
        EXPECT_EQ(*utc, c.utc);
    }
}

TEST_F(WakeTime, ConversionRoundsToTheNearestSecond) {
    UseZone("Europe/London");
    const DateTime noon = Local(2024, 1, 15, 12, 0, 0);
    EXPECT_EQ(LocalToUtcSeconds(noon + 0.4 / kSecondsPerDay), 1705320000);
    EXPECT_EQ(LocalToUtcSeconds(noon - 0.4 / kSecondsPerDay), 1705320000);
    EXPECT_EQ(LocalToUtcSeconds(noon + 0.6 / kSecondsPerDay), 1705320001);
}

TEST_F(WakeTime, DueFifteenSecondsBeforeTheAlarm) {
    const struct {
        const char* zone;
        DateTime local;
        std::int64_t due;
    } cases[] = {
        {"Europe/London", Local(2024, 7, 1, 9, 30, 0), 1719822600 - 15},
        // Across midnight and the year.
        {"UTC", Local(2024, 1, 1, 0, 0, 10), 1704067195},
        // The lead is counted in real seconds: 15 s before 02:00:05 BST is
        // 00:59:50 GMT on the wall clock.
        {"Europe/London", Local(2024, 3, 31, 2, 0, 5), 1711846790},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.zone);
        UseZone(c.zone);
        EXPECT_EQ(WakeDueSeconds(c.local), c.due);
    }
}

TEST_F(WakeTime, ZoneChangedWhileRunningIsFollowed) {
    const DateTime noon = Local(2024, 7, 1, 12, 0, 0);
    UseZone("UTC");
    const auto inUtc = LocalToUtcSeconds(noon);
    UseZone("Asia/Kolkata");
    const auto inKolkata = LocalToUtcSeconds(noon);
    ASSERT_TRUE(inUtc && inKolkata);
    EXPECT_EQ(*inUtc - *inKolkata, 5 * 3600 + 30 * 60);
}

// The schedule knows its entries in universal time; the local time alone
// would wake the machine an hour early in the second pass of 01:00-02:00.
TEST_F(WakeTime, ArmedForTheEntrysUniversalTime) {
    UseZone("America/New_York");
    const DateTime shown = Local(2024, 11, 3, 1, 30, 0);
    const std::int64_t secondPass = 1730615400;  // 06:30 UTC, 01:30 EST
    WakeThread thread(shown, secondPass, CLOCK_REALTIME);
    ASSERT_EQ(thread.Start(), Outcome::Waiting) << thread.ErrorText();
    ASSERT_TRUE(thread.ArmedFor().has_value());
    EXPECT_EQ(*thread.ArmedFor(), secondPass - kWakeLeadSeconds);
    EXPECT_EQ(*LocalToUtcSeconds(shown), secondPass - 3600);
}

// Only a guard against a hung thread: the tests never measure time.
bool WaitUntilEnded(const WakeThread& thread) {
    const auto end = Clock::now() + 60s;
    while (thread.Running() && Clock::now() < end) std::this_thread::sleep_for(10ms);
    return !thread.Running();
}

DateTime SecondsFromNow(double seconds) {
    return SystemClock().Now() + seconds / kSecondsPerDay;
}

// The plain real-time clock counts like the alarm clock but cannot wake the
// machine, and needs no capability.
constexpr WakeThread::ClockId kPlainClock = CLOCK_REALTIME;

TEST(WakeThread, TimerIsArmedForTheLeadBeforeTheAlarm) {
    const DateTime alarm = SecondsFromNow(3600);
    WakeThread thread(alarm, kPlainClock);
    ASSERT_EQ(thread.Start(), Outcome::Waiting) << thread.ErrorText();
    EXPECT_TRUE(thread.Running());
    EXPECT_TRUE(thread.HoldsTimer());
    ASSERT_TRUE(thread.ArmedFor().has_value());
    EXPECT_EQ(*thread.ArmedFor(), *WakeDueSeconds(alarm));
    EXPECT_EQ(*thread.ArmedFor(), *LocalToUtcSeconds(alarm) - kWakeLeadSeconds);
}

TEST(WakeThread, TargetAlreadyPastFiresAtOnce) {
    WakeThread thread(SecondsFromNow(-60), kPlainClock);
    ASSERT_EQ(thread.Start(), Outcome::Waiting);
    ASSERT_TRUE(WaitUntilEnded(thread));
    EXPECT_EQ(thread.outcome(), Outcome::Fired);
    EXPECT_FALSE(thread.HoldsTimer()) << "the timer was left open";
}

TEST(WakeThread, StopEndsTheWaitAndClosesTheTimer) {
    WakeThread thread(SecondsFromNow(86400), kPlainClock);
    ASSERT_EQ(thread.Start(), Outcome::Waiting);
    EXPECT_TRUE(thread.Running());
    thread.Stop();
    EXPECT_FALSE(thread.Running());
    EXPECT_EQ(thread.outcome(), Outcome::Stopped);
    EXPECT_FALSE(thread.HoldsTimer()) << "the timer was left open";
    thread.Stop();  // a second stop is harmless
}

TEST(WakeThread, DroppingAWaitingThreadEndsIt) {
    // Without the stop in the destructor, dropping a joinable thread aborts.
    WakeThread thread(SecondsFromNow(86400), kPlainClock);
    ASSERT_EQ(thread.Start(), Outcome::Waiting);
    {
        WakeThread dropped(SecondsFromNow(86400), kPlainClock);
        ASSERT_EQ(dropped.Start(), Outcome::Waiting);
    }
    EXPECT_TRUE(thread.Running()) << "dropping one thread must leave another alone";
}

TEST(WakeThread, ClockWithoutTimersEndsTheThreadQuietly) {
    // As the alarm clock does without CAP_WAKE_ALARM: no timer can be made.
    WakeThread thread(SecondsFromNow(60), CLOCK_PROCESS_CPUTIME_ID);
    EXPECT_EQ(thread.Start(), Outcome::NoTimer);
    EXPECT_FALSE(thread.Running());
    EXPECT_FALSE(thread.ErrorText().empty());
    EXPECT_FALSE(thread.ArmedFor().has_value());
    thread.Stop();
    EXPECT_FALSE(thread.HoldsTimer());
}

TEST(WakeThread, TimerThatCannotBeSetIsReportedNotFatal) {
    // The system refuses a due time before 1970.
    WakeThread thread(Local(1960, 1, 1, 12, 0, 0), kPlainClock);
    EXPECT_EQ(thread.Start(), Outcome::NotSet);
    EXPECT_FALSE(thread.Running());
    EXPECT_NE(thread.ErrorText().find("nvalid"), std::string::npos) << thread.ErrorText();
    EXPECT_FALSE(thread.ArmedFor().has_value());
    EXPECT_FALSE(thread.HoldsTimer()) << "the timer was left open";
}

TEST(WakeThread, StartsOnlyOnce) {
    WakeThread thread(SecondsFromNow(-60), kPlainClock);
    ASSERT_EQ(thread.Start(), Outcome::Waiting);
    ASSERT_TRUE(WaitUntilEnded(thread));
    // A second start must not arm again or run a second thread: it repeats
    // the first answer.
    EXPECT_EQ(thread.Start(), Outcome::Waiting);
    EXPECT_FALSE(thread.Running());
    EXPECT_EQ(thread.outcome(), Outcome::Fired);
}

}  // namespace
}  // namespace ringmere
