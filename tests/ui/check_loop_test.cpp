// The main window's check loop with real run windows on the fake clock: the
// runners of several windows nest in each other's waits.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QPointer>

#include "core/schedule.h"
#include "core/settings.h"
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

// The program was stopped at 9:00:30 and starts at 12:00:30: with no limit
// the every-5-minutes alarm runs once, late; with a limit of 0 it is missed
// and the status bar says so until the list has been looked at.
TEST_F(CheckLoopTest, AStartAfterAStopRunsOnceLateOrReportsTheMissedOnce) {
    struct Case {
        int limit;
        Strings log;
        QString caption;  // of the run window, empty: none opened
        QString notice;
    };
    const Case cases[] = {
        {kNoLateLimit, {"Late by 2 h 55 min: Tea at 12/9/2026 9:05:00 AM (36 times)", "Tea executing.",
          "Alarm Completed."},
         "Alarm Activated - Late by 2 h 55 min", ""},
        {0, {"Missed: Tea at 12/9/2026 9:05:00 AM (36 times)"}, "",
         "1 alarm was missed while Ringmere was not running"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.limit);
        g.ResetAlarmTable(0);
        g.AlarmCount = 0;
        fakes.settings.Clear();
        const std::size_t logged = LogMessages().size();
        AlRec tea = Simple("Tea");
        tea.Schedule.AlType = kEveryXMinutes;
        tea.Schedule.AlXMin = 5;
        tea.Schedule.AlEndType = 1;
        tea.Schedule.AlStartDate = EncodeDate(2026, 12, 1);
        tea.Schedule.AlTime = EncodeTime(8, 0, 0);
        Add(tea);
        AlRec off = tea;
        off.AlName = "Off";
        off.enabled = false;
        Add(off);
        std::string error;
        ASSERT_TRUE(SaveLateLimit(fakes.settings, c.limit, error));
        ASSERT_TRUE(SaveLastCheck(fakes.settings, EncodeDate(2026, 12, 9) + EncodeTime(9, 0, 30),
                                  error));
        clock.SetNow(EncodeDate(2026, 12, 9) + EncodeTime(12, 0, 30));
        TfrmAlMain main(g, services);
        main.CheckAlarms();
        QStringList captions;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<TfrmActiveAlarm*>(w) && w->isVisible()) captions << w->windowTitle();
        EXPECT_EQ(captions, c.caption.isEmpty() ? QStringList() : QStringList{c.caption});
        // The next check finds nothing more to run or to report.
        clock.Advance(1000);
        main.CheckAlarms();
        const Strings log = LogMessages();
        EXPECT_EQ(Strings(log.begin() + std::ptrdiff_t(logged), log.end()), c.log);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<TfrmActiveAlarm*>(w)) w->close();
        auto* notice = main.findChild<QPushButton*>(QStringLiteral("btnMissedAlarms"));
        ASSERT_EQ(notice != nullptr, !c.notice.isEmpty());
        if (!notice) continue;
        EXPECT_EQ(notice->text(), c.notice);
        notice->click();
        EXPECT_TRUE(notice->isHidden());
        auto* list = main.findChild<QListWidget*>(QStringLiteral("lstMissed"));
        ASSERT_TRUE(list);
        ASSERT_EQ(list->count(), 1);
        EXPECT_EQ(list->item(0)->text(), QString::fromStdString(c.log[0]));
        EXPECT_TRUE(main.UnseenMissed().isEmpty());
        // Its stop keeps the moment the next start compares with.
        main.ExitProgram();
        EXPECT_EQ(ToMoment(ReadLastCheck(fakes.settings).value_or(0)), ToMoment(clock.Now()));
    }
}

}  // namespace
}  // namespace ringmere::ui
