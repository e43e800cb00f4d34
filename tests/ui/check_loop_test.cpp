// The main window's check loop with real run windows on the fake clock: the
// runners of several windows nest in each other's waits.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>

#include "core/schedule.h"
#include "tests/run/fake_services.h"
#include "ui/alarm.h"

namespace ringmere::ui {
namespace {

using namespace run;
using namespace run::testing;
using Strings = std::vector<std::string>;

class CheckLoopTest : public ::testing::Test, public RunFixture {};

TEST_F(CheckLoopTest, OpensRunWindowsWhileARunnerWaits) {
    AlRec first = Script("Long", {Sleep(10)});
    first.Schedule.AlType = 0;
    first.Schedule.AlXDays = 1;
    first.Schedule.AlEndType = 1;
    first.Schedule.AlStartDate = EncodeDate(2024, 1, 1);
    first.Schedule.AlTime = EncodeTime(9, 0, 2);
    AlRec second = Simple("Short");
    second.Schedule = first.Schedule;
    second.Schedule.AlTime = EncodeTime(9, 0, 5);
    Add(first);
    Add(second);
    std::vector<QPointer<TfrmActiveAlarm>> opened;
    MainWindowHooks hooks;
    hooks.openRunWindow = [&](int index, const QString& title) {
        opened.emplace_back(static_cast<TfrmActiveAlarm*>(OpenRunWindow(g, index, services, title)));
    };
    TfrmAlMain main(g, services, hooks);
    BuildSchedule(g, clock);
    // The check timer's ticks, on the fake clock.
    WaitTimer check(clock, [&] { main.CheckAlarms(); });
    check.SetInterval(1000);
    check.Start();
    QStringList shortWhileLongSleeps;
    clock.At(8000, [&] {
        if (opened.size() == 2 && opened[1]) shortWhileLongSleeps = opened[1]->EventLines();
    });
    clock.Advance(15000);
    check.Stop();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0]->Tag(), 1);
    EXPECT_EQ(opened[1]->Tag(), 2);
    EXPECT_EQ(shortWhileLongSleeps, Lines({"Alarm Completed."}));
    EXPECT_EQ(opened[0]->EventLines(), Lines({"Sleeping 10 seconds.", "Script Completed."}));
    EXPECT_EQ(LogMessages(), (Strings{"Long executing.", "Sleeping 10 seconds.", "Short executing.",
                                      "Alarm Completed.", "Script Completed."}));
    EXPECT_EQ(opened[0]->findChild<QLabel*>(QStringLiteral("lblAlAct"))->text(),
              QStringLiteral("Alarm Name: Long"));
}

}  // namespace
}  // namespace ringmere::ui
