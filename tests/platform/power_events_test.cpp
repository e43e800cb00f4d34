#include "platform/power_events.h"

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "tests/platform/logind_mock.h"

namespace ringmere {
namespace {

using fixtures::Inhibitor;
using fixtures::kLogind;
using fixtures::kManager;
using fixtures::kPath;
using fixtures::SpinUntil;

class PowerEvents : public fixtures::LogindMock {};

// What the handler saw at each event.
struct Seen {
    int code;
    bool heldLock;
    std::size_t locksAtLogind;
};

TEST_F(PowerEvents, HoldsADelayLockOnSleepWhileRunning) {
    StartLogind();
    {
        ringmere::PowerEvents power(*bus_);
        EXPECT_TRUE(power.Available()) << power.ErrorText().toStdString();
        EXPECT_TRUE(power.HoldsDelayLock());
        EXPECT_TRUE(power.ErrorText().isEmpty()) << power.ErrorText().toStdString();
        const auto locks = Inhibitors();
        ASSERT_EQ(locks.size(), 1u);
        EXPECT_EQ(locks[0].what, "sleep");
        EXPECT_EQ(locks[0].who, "Ringmere");
        EXPECT_EQ(locks[0].mode, "delay") << "a block lock would stop the suspend";
        EXPECT_FALSE(locks[0].why.isEmpty());
    }
    EXPECT_TRUE(InhibitorCountBecomes(0)) << "the lock outlived the object";
}

TEST_F(PowerEvents, SuspendAndResumeReachTheHandlerWithTheLockAroundThem) {
    StartLogind();
    ringmere::PowerEvents power(*bus_);
    ASSERT_TRUE(power.HoldsDelayLock()) << power.ErrorText().toStdString();
    std::vector<Seen> seen;
    QObject::connect(&power, &ringmere::PowerEvents::powerEvent, [&](int code) {
        seen.push_back({code, power.HoldsDelayLock(), Inhibitors().size()});
    });

    EmitPrepareForSleep(true);
    ASSERT_TRUE(SpinUntil([&] { return seen.size() == 1; }));
    EXPECT_EQ(seen[0].code, ringmere::PowerEvents::kSuspend);
    // The system must not sleep before the handler has armed the timer.
    EXPECT_TRUE(seen[0].heldLock);
    EXPECT_EQ(seen[0].locksAtLogind, 1u);
    // Then nothing may hold the suspend up any longer.
    EXPECT_FALSE(power.HoldsDelayLock());
    EXPECT_TRUE(InhibitorCountBecomes(0));

    EmitPrepareForSleep(false);
    ASSERT_TRUE(SpinUntil([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen[1].code, ringmere::PowerEvents::kResume);
    // Taken again before anyone hears of the resume, ready for the next sleep.
    EXPECT_TRUE(seen[1].heldLock);
    EXPECT_EQ(seen[1].locksAtLogind, 1u);
    EXPECT_TRUE(power.HoldsDelayLock());
}

TEST_F(PowerEvents, RepeatedSleepsKeepOneLock) {
    StartLogind();
    ringmere::PowerEvents power(*bus_);
    int events = 0;
    QObject::connect(&power, &ringmere::PowerEvents::powerEvent, [&](int) { ++events; });
    for (int cycle = 1; cycle <= 3; ++cycle) {
        SCOPED_TRACE(cycle);
        EmitPrepareForSleep(true);
        EmitPrepareForSleep(false);
        ASSERT_TRUE(SpinUntil([&] { return events == 2 * cycle; }));
        EXPECT_TRUE(InhibitorCountBecomes(1));
    }
    // A second resume with the lock still held must not take another.
    EmitPrepareForSleep(false);
    ASSERT_TRUE(SpinUntil([&] { return events == 7; }));
    // logind drops a lock when every copy of its descriptor is closed, so a
    // leaked copy shows here as a second lock.
    EXPECT_TRUE(InhibitorCountBecomes(1));
    EXPECT_TRUE(power.HoldsDelayLock());
}

TEST_F(PowerEvents, OnlyLogindIsHeard) {
    StartLogind();
    // Anyone on the bus may send a signal of logind's interface from its own
    // name; only logind's own count.
    StartMock("org.example.Impostor", {"org.example.Impostor", kPath, kManager});
    ringmere::PowerEvents power(*bus_);
    std::vector<int> codes;
    QObject::connect(&power, &ringmere::PowerEvents::powerEvent,
                     [&](int code) { codes.push_back(code); });
    EmitPrepareForSleep(true, "org.example.Impostor");
    SpinUntil([] { return false; }, 300);
    EXPECT_TRUE(codes.empty());
    EXPECT_TRUE(power.HoldsDelayLock());

    EmitPrepareForSleep(true);
    ASSERT_TRUE(SpinUntil([&] { return !codes.empty(); }));
    EXPECT_EQ(codes, std::vector<int>{ringmere::PowerEvents::kSuspend});
}

TEST_F(PowerEvents, LogindThatRefusesTheLockStillSendsEvents) {
    // A logind without Inhibit, as under a policy that denies the lock.
    StartMock(kLogind, {kLogind, kPath, kManager});
    ringmere::PowerEvents power(*bus_);
    EXPECT_TRUE(power.Available());
    EXPECT_FALSE(power.HoldsDelayLock());
    EXPECT_FALSE(power.ErrorText().isEmpty());
    std::vector<int> codes;
    QObject::connect(&power, &ringmere::PowerEvents::powerEvent,
                     [&](int code) { codes.push_back(code); });
    EmitPrepareForSleep(true);
    EmitPrepareForSleep(false);
    ASSERT_TRUE(SpinUntil([&] { return codes.size() == 2; }));
    EXPECT_EQ(codes, (std::vector<int>{0, 7}));
}

TEST_F(PowerEvents, NoLogindMeansNoPowerEvents) {
    ringmere::PowerEvents power(*bus_);
    EXPECT_FALSE(power.Available());
    EXPECT_FALSE(power.HoldsDelayLock());
    EXPECT_NE(power.ErrorText().indexOf("logind"), -1) << power.ErrorText().toStdString();
}

TEST(PowerEventsWithoutBus, ReportsThatThereAreNoPowerEvents) {
    const QString name = QStringLiteral("ringmere-no-bus");
    {
        const QDBusConnection none =
            QDBusConnection::connectToBus("unix:path=/nonexistent/ringmere-bus", name);
        ringmere::PowerEvents power(none);
        EXPECT_FALSE(power.Available());
        EXPECT_FALSE(power.HoldsDelayLock());
        EXPECT_FALSE(power.ErrorText().isEmpty());
    }
    QDBusConnection::disconnectFromBus(name);
}

}  // namespace
}  // namespace ringmere
