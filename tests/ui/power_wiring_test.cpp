// The main window armed and stopped by real suspend and resume signals,
// from logind played by dbusmock on a private bus.
#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>

#include "core/schedule.h"
#include "platform/power_events.h"
#include "tests/platform/logind_mock.h"
#include "tests/run/fake_services.h"
#include "ui/alarm.h"

namespace ringmere::ui {
namespace {

using fixtures::SpinUntil;

class PowerWiring : public fixtures::LogindMock {};

TEST_F(PowerWiring, SuspendArmsTheWakeThreadWhileTheLockHoldsAndResumeStopsIt) {
    StartLogind();
    QTemporaryDir dir;
    Globals g;
    g.ProgramDir = QDir(dir.path()).absolutePath().toStdString() + "/";
    SetDefaultSettings(g);
    g.Settings.allowWake = true;
    g.AlarmCount = 1;
    g.ResetAlarmTable(1);
    AlRec& a = g.AlarmTable[1];
    a.AlName = "Tea";
    a.enabled = true;
    a.Schedule.AlType = 0;
    a.Schedule.AlXDays = 1;
    a.Schedule.AlEndType = 1;
    a.Schedule.AlStartDate = EncodeDate(2026, 1, 1);
    a.Schedule.AlTime = EncodeTime(9, 5, 0);
    run::testing::FakeServices fakes(g, EncodeDate(2026, 12, 9) + EncodeTime(8, 0, 0));

    ringmere::PowerEvents power(*bus_);
    ASSERT_TRUE(power.HoldsDelayLock()) << power.ErrorText().toStdString();
    std::vector<DateTime> armed;
    std::vector<std::size_t> locksWhileArming;
    int stops = 0;
    MainWindowHooks hooks;
    hooks.startWakeThread = [&](const ScheduleEntry& first) {
        armed.push_back(first.When);
        locksWhileArming.push_back(Inhibitors().size());
        return true;
    };
    hooks.stopWakeThread = [&] { ++stops; };
    TfrmAlMain window(g, fakes.Handed(), hooks);
    QObject::connect(&power, &ringmere::PowerEvents::powerEvent, &window, &TfrmAlMain::PowerEvent,
                     Qt::DirectConnection);

    EmitPrepareForSleep(true);
    ASSERT_TRUE(SpinUntil([&] { return armed.size() == 1; }));
    EXPECT_EQ(armed[0], EncodeDate(2026, 12, 9) + EncodeTime(9, 5, 0));
    EXPECT_EQ(locksWhileArming[0], 1u);  // the system waited for the timer
    EXPECT_TRUE(window.WakeThreadRunning());
    EXPECT_TRUE(InhibitorCountBecomes(0));

    EmitPrepareForSleep(false);
    ASSERT_TRUE(SpinUntil([&] { return stops == 1; }));
    EXPECT_FALSE(window.WakeThreadRunning());
    EXPECT_TRUE(InhibitorCountBecomes(1));
    EXPECT_TRUE(fakes.dialogs.shown.isEmpty());
}

}  // namespace
}  // namespace ringmere::ui
