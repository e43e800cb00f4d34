// The next alarm at a glance (status bar, tray tooltip and menu) over the
// fake clock, and the Skip Next Occurrence and Pause Until commands.
#include <gtest/gtest.h>
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTemporaryDir>

#include "core/alarmfile.h"
#include "core/schedule.h"
#include "tests/run/fake_services.h"
#include "ui/alarm.h"
#include "widgets/dialogs.h"

namespace ringmere::ui {
namespace {

AlRec Daily(const std::string& name, int hour, int minute) {
    AlRec a;
    a.AlName = name;
    a.enabled = true;
    a.Music->MuType = 3;
    a.Schedule.AlType = kEveryXDays;
    a.Schedule.AlXDays = 1;
    a.Schedule.AlEndType = kEndNever;
    a.Schedule.AlStartDate = EncodeDate(2026, 1, 1);
    a.Schedule.AlTime = EncodeTime(hour, minute, 0);
    return a;
}

DateTime On9th(int h, int m, int s = 0) {
    return EncodeDate(2026, 12, 9) + EncodeTime(h, m, s);
}

class NextAlarmTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        g_.ProgramDir = QDir(dir_.path()).absolutePath().toStdString() + "/";
        SetDefaultSettings(g_);
        clock_.SetNow(On9th(8, 0));
    }
    void SetAlarms(const std::vector<AlRec>& alarms) {
        g_.AlarmCount = static_cast<Integer>(alarms.size());
        g_.ResetAlarmTable(g_.AlarmCount);
        for (std::size_t i = 0; i < alarms.size(); ++i) g_.AlarmTable[i + 1] = alarms[i];
    }
    std::unique_ptr<TfrmAlMain> Make() {
        MainWindowHooks hooks;
        hooks.openRunWindow = [this](int index, const QString&) { opened_.push_back(index); };
        hooks.trayAvailable = [] { return true; };
        return std::make_unique<TfrmAlMain>(g_, fakes_.Handed(), hooks);
    }
    template <class T>
    static T* Find(QWidget* w, const char* name) {
        T* found = w->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    static QString Label(QWidget* w) { return Find<QLabel>(w, "lblNextAlarm")->text(); }
    static QStringList TrayEntries(QWidget* w) {
        QStringList out;
        for (const char* n : {"NextAlarm1", "NextAlarm2", "NextAlarm3"}) {
            const QAction* a = Find<QAction>(w, n);
            if (a->isVisible()) out << a->text() + (a->isEnabled() ? "" : " (off)");
        }
        return out;
    }
    std::string FirstScheduled() const { return FormatDateTime(g_.ScheduleTable[1].When); }
    Integer Rules() const { return g_.AlarmTable[1].Exceptions.Count; }

    QTemporaryDir dir_;
    Globals g_;
    run::testing::FakeServices fakes_{g_};
    run::testing::FakeWaiting& clock_ = fakes_.clock;
    widgets::ScriptedDialogs& dialogs_ = fakes_.dialogs;
    std::vector<int> opened_;
};

TEST_F(NextAlarmTest, StatusBarTooltipAndTrayFollowTheClock) {
    SetAlarms({Daily("Tea", 9, 5), Daily("Walk & talk", 10, 0)});
    auto w = Make();
    struct Step {
        DateTime now;
        const char* label;
        QStringList tray;
    };
    const Step steps[] = {
        {On9th(8, 0),
         "Next: Tea at 9:05 AM (in 1 h 5 min)",
         {"Tea at 9:05 AM", "Walk && talk at 10:00 AM", "Tea on 12/10/2026 at 9:05 AM"}},
        {On9th(8, 30, 1),
         "Next: Tea at 9:05 AM (in 34 min)",
         {"Tea at 9:05 AM", "Walk && talk at 10:00 AM", "Tea on 12/10/2026 at 9:05 AM"}},
        {On9th(9, 4, 30),
         "Next: Tea at 9:05 AM (in less than a minute)",
         {"Tea at 9:05 AM", "Walk && talk at 10:00 AM", "Tea on 12/10/2026 at 9:05 AM"}},
        // Tea rings; the rebuilt table leads with Walk.
        {On9th(9, 5),
         "Next: Walk & talk at 10:00 AM (in 55 min)",
         {"Walk && talk at 10:00 AM", "Tea on 12/10/2026 at 9:05 AM",
          "Walk && talk on 12/10/2026 at 10:00 AM"}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.label);
        clock_.SetNow(s.now);
        w->CheckAlarms();
        EXPECT_EQ(Label(w.get()), s.label);
        EXPECT_EQ(Find<QSystemTrayIcon>(w.get(), "IconTray")->toolTip(),
                  QStringLiteral("Ringmere\n") + s.label);
        EXPECT_EQ(TrayEntries(w.get()), s.tray);
    }
    EXPECT_EQ(opened_, std::vector<int>{1});

    // An entry opens the list on its alarm.
    Find<QAction>(w.get(), "NextAlarm1")->trigger();
    EXPECT_EQ(w->SelectedRow(), 2);

    SetAlarms({});
    w->Refill();
    EXPECT_EQ(Label(w.get()), "Next: no alarm scheduled");
    EXPECT_EQ(TrayEntries(w.get()), QStringList{"No alarm scheduled (off)"});
}

TEST_F(NextAlarmTest, SkipAndPauseAddRulesTheFileKeeps) {
    SetAlarms({Daily("Tea", 9, 5)});
    auto w = Make();
    auto* skip = Find<QAction>(w.get(), "SkipNextOccurrence1");
    auto* pause = Find<QAction>(w.get(), "PauseUntil1");
    EXPECT_FALSE(skip->isEnabled());
    EXPECT_FALSE(pause->isEnabled());
    Find<QTableView>(w.get(), "grAlarms")->selectRow(0);
    ASSERT_TRUE(skip->isEnabled());
    ASSERT_TRUE(pause->isEnabled());

    skip->trigger();
    EXPECT_EQ(Rules(), 1);
    EXPECT_EQ(FirstScheduled(), "12/10/2026 09:05:00AM");
    EXPECT_EQ(Label(w.get()), "Next: Tea on 12/10/2026 at 9:05 AM (in 1 d 1 h)");
    EXPECT_EQ(w->SelectedRow(), 1);

    // Refused answers leave the rules as they are, each with its reason.
    struct Answer {
        std::optional<QString> typed;
        QString warning;  // empty: no box
    };
    const Answer refused[] = {
        {std::nullopt, {}},
        {QStringLiteral("soon"),
         QStringLiteral("\"soon\" is not a date. Please enter it as m/d/yyyy.")},
        {QStringLiteral("12/9/2026"), QStringLiteral("Please choose a date after today.")},
    };
    for (const Answer& a : refused) {
        SCOPED_TRACE(a.warning.toStdString());
        dialogs_.shown.clear();
        dialogs_.inputs = {a.typed};
        pause->trigger();
        EXPECT_EQ(Rules(), 1);
        EXPECT_EQ(dialogs_.shown.isEmpty() ? QString() : dialogs_.shown.front().text, a.warning);
    }

    dialogs_.inputs = {QStringLiteral("12/20/2026")};
    pause->trigger();
    EXPECT_EQ(Rules(), 2);
    EXPECT_EQ(FirstScheduled(), "12/20/2026 09:05:00AM");

    // Both are ordinary rules of the file.
    Globals reread;
    reread.ProgramDir = g_.ProgramDir;
    SetDefaultSettings(reread);
    SilentReporter quiet;
    ASSERT_EQ(ReadAlarmFile(reread, {}, quiet), kFileDone);
    EXPECT_EQ(reread.AlarmTable[1].Exceptions, g_.AlarmTable[1].Exceptions);

    // A client changes nothing.
    g_.Settings.UserMode = "Client";
    w->Refill();
    Find<QTableView>(w.get(), "grAlarms")->selectRow(0);
    EXPECT_FALSE(skip->isEnabled());
    EXPECT_FALSE(pause->isEnabled());
    dialogs_.shown.clear();
    w->SkipNextOccurrence();
    EXPECT_EQ(Rules(), 2);
    ASSERT_EQ(dialogs_.shown.size(), 1);
    EXPECT_EQ(dialogs_.shown[0].kind, widgets::BoxKind::Warning);
}

}  // namespace
}  // namespace ringmere::ui
