// The program's waiting service: pauses that let other events through, and
// window timers on top of it.
#include "run/waiting.h"

#include <gtest/gtest.h>

#include <QTimer>

#include "run_fakes.h"

namespace ringmere::run {
namespace {

TEST(EventLoopWaitingTest, QuitEndsEveryPauseUnderWayAndEveryLaterOne) {
    EventLoopWaiting waiting;
    constexpr int kDay = 24 * 3600 * 1000;
    bool innerReturned = false;
    waiting.CallAfter(0, [&] {
        waiting.CallAfter(0, [&] { waiting.Quit(); });
        waiting.Pause(kDay);  // nested, as a second run window's
        innerReturned = true;
    });
    waiting.Pause(kDay);  // returns only through Quit: ctest's limit guards a hang
    EXPECT_TRUE(innerReturned);
    waiting.Pause(kDay);
}

TEST(EventLoopWaitingTest, APauseProcessesEventsAndTimersOfOthers) {
    EventLoopWaiting waiting;
    bool qtTimerFired = false, callbackFired = false, cancelledFired = false;
    QTimer::singleShot(5, [&] { qtTimerFired = true; });
    waiting.CallAfter(5, [&] { callbackFired = true; });
    const quint64 cancelled = waiting.CallAfter(5, [&] { cancelledFired = true; });
    waiting.Cancel(cancelled);
    waiting.Pause(60);
    EXPECT_TRUE(qtTimerFired);
    EXPECT_TRUE(callbackFired);
    EXPECT_FALSE(cancelledFired);
}

TEST(EventLoopWaitingTest, PausesNestInsideEachOther) {
    EventLoopWaiting waiting;
    std::vector<std::string> order;
    waiting.CallAfter(5, [&] {
        order.push_back("inner start");
        waiting.Pause(30);
        order.push_back("inner end");
    });
    waiting.Pause(10);
    order.push_back("outer end");
    EXPECT_EQ(order, (std::vector<std::string>{"inner start", "inner end", "outer end"}));
}

TEST(WaitTimerTest, RepeatsUntilStoppedAndRestartsOnANewInterval) {
    testing::FakeWaiting clock(0);
    std::vector<qint64> ticks;
    WaitTimer timer(clock, [&] { ticks.push_back(clock.NowMs()); });
    timer.SetInterval(300);
    timer.Start();
    clock.Advance(1000);
    EXPECT_EQ(ticks, (std::vector<qint64>{300, 600, 900}));
    timer.SetInterval(50);  // from now
    clock.Advance(120);
    EXPECT_EQ(ticks.back(), 1100);
    timer.Stop();
    clock.Advance(1000);
    EXPECT_EQ(ticks.size(), 5u);
    EXPECT_FALSE(timer.IsActive());
}

TEST(WaitTimerTest, HandlerThatStopsItsTimerRunsOnceAndDestructionCancels) {
    testing::FakeWaiting clock(0);
    int fired = 0;
    WaitTimer once(clock, [&] {});
    WaitTimer* self = &once;
    WaitTimer stopper(clock, [&] {
        ++fired;
        self = nullptr;
    });
    stopper.SetInterval(100);
    stopper.Start();
    {
        WaitTimer doomed(clock, [&] { ADD_FAILURE() << "a destroyed timer ticked"; });
        doomed.SetInterval(50);
        doomed.Start();
    }
    clock.Advance(150);
    stopper.Stop();
    clock.Advance(1000);
    EXPECT_EQ(fired, 1);
}

}  // namespace
}  // namespace ringmere::run
