// The main window's Time Sync page on a fake clock, with a recording time
// server and clock setter: the start-up rule, the check box and server box
// rules, the daily window and its pauses, and the schedule after the clock moved.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimeEdit>

#include "core/schedule.h"
#include "core/settings.h"
#include "tests/run/clock_fakes.h"
#include "tests/run/fake_services.h"
#include "ui/alarm.h"

namespace ringmere::ui {
namespace {

using run::testing::Answer;
using run::testing::NoAnswer;

class TimeSyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_.ProgramDir = QDir(dir_.path()).absolutePath().toStdString() + "/";
        SetDefaultSettings(g_);
        g_.AlarmCount = 0;
        g_.ResetAlarmTable(0);
        clock_.SetNow(EncodeDate(2026, 12, 9) + EncodeTime(8, 0, 0));
    }
    TfrmAlMain& Make() {
        Services s = fakes_.Handed();
        s.daytime = &daytime_;
        s.clockSetter = &setter_;
        MainWindowHooks hooks;
        hooks.trayAvailable = [] { return true; };
        window_ = std::make_unique<TfrmAlMain>(g_, s, hooks);
        return *window_;
    }
    template <class T>
    T* Find(const char* name) {
        T* found = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    QString Status() { return window_->statusBar()->currentMessage(); }
    QString LastBox() const {
        return dialogs_.shown.isEmpty() ? QString() : dialogs_.shown.last().text;
    }
    void TickAt(int hour, int minute, int second) {
        clock_.SetNow(EncodeDate(2026, 12, 9) + EncodeTime(hour, minute, second));
        window_->SynchTimerTick();
    }
    // What the store would give the next start.
    SettingsRec Stored() {
        Globals next;
        SetDefaultSettings(next);
        LoadRegistrySettings(next, fakes_.settings);
        return next.Settings;
    }

    QTemporaryDir dir_;
    Globals g_;
    run::testing::FakeServices fakes_{g_};
    run::testing::FakeWaiting& clock_ = fakes_.clock;
    widgets::ScriptedDialogs& dialogs_ = fakes_.dialogs;
    run::testing::FakeDaytimeClient daytime_;
    run::testing::FakeClockSetter setter_;
    std::unique_ptr<TfrmAlMain> window_;
};

TEST_F(TimeSyncTest, StartUpShowsTheStoredServerTimeAndState) {
    g_.Settings.autoserver = "time-b-wwv.nist.gov";
    g_.Settings.autotime = EncodeTime(7, 30, 0);
    g_.Settings.autosynch = true;
    Make();
    auto* box = Find<QComboBox>("cboTimeServer");
    EXPECT_EQ(box->count(), 9);
    EXPECT_EQ(box->currentIndex(), box->findText(QStringLiteral("time-b-wwv.nist.gov")));
    EXPECT_EQ(Find<QTimeEdit>("dtSynch")->time(), QTime(7, 30, 0));
    EXPECT_TRUE(Find<QCheckBox>("chkSynch")->isChecked());
    EXPECT_TRUE(Find<QTimeEdit>("dtSynch")->isEnabled());
    EXPECT_TRUE(window_->SynchTimerActive());
    EXPECT_TRUE(dialogs_.shown.isEmpty());
    EXPECT_EQ(Find<QLabel>("lblTime")->text(), QStringLiteral("08:00:00AM"));
    clock_.Advance(1000);
    EXPECT_EQ(Find<QLabel>("lblTime")->text(), QStringLiteral("08:00:01AM"));

    g_.Settings.autoserver = "ntp://pool.ntp.org";
    Make();
    EXPECT_EQ(Find<QComboBox>("cboTimeServer")->currentIndex(), -1);
    EXPECT_EQ(Find<QComboBox>("cboTimeServer")->currentText(),
              QStringLiteral("ntp://pool.ntp.org"));
}

TEST_F(TimeSyncTest, AutoSynchWithoutAServerIsTurnedOffWithTheWarning) {
    g_.Settings.autosynch = true;
    Make();
    EXPECT_EQ(LastBox(), QStringLiteral("Please select or enter a time server first."));
    EXPECT_FALSE(Find<QCheckBox>("chkSynch")->isChecked());
    EXPECT_FALSE(g_.Settings.autosynch);
    EXPECT_FALSE(Stored().autosynch);
    EXPECT_FALSE(window_->SynchTimerActive());
    EXPECT_FALSE(Find<QTimeEdit>("dtSynch")->isEnabled());

    // Clicking the box with the server box empty does the same.
    dialogs_.shown.clear();
    Find<QCheckBox>("chkSynch")->click();
    EXPECT_EQ(LastBox(), QStringLiteral("Please select or enter a time server first."));
    EXPECT_FALSE(Find<QCheckBox>("chkSynch")->isChecked());
    EXPECT_FALSE(window_->SynchTimerActive());
}

TEST_F(TimeSyncTest, TheServerBoxAndTheCheckBoxSaveAtOnce) {
    Make();
    auto* box = Find<QComboBox>("cboTimeServer");
    box->setCurrentIndex(2);
    EXPECT_EQ(Stored().autoserver, "time-b-g.nist.gov");
    Find<QCheckBox>("chkSynch")->click();
    EXPECT_TRUE(Stored().autosynch);
    EXPECT_TRUE(window_->SynchTimerActive());
    Find<QTimeEdit>("dtSynch")->setTime(QTime(6, 15, 30));
    EXPECT_DOUBLE_EQ(Stored().autotime, EncodeTime(6, 15, 30));

    // A server chosen while the box is checked is the next day's server.
    box->setEditText(QStringLiteral("127.0.0.1:4013"));
    EXPECT_EQ(g_.Settings.autoserver, "127.0.0.1:4013");
    TickAt(6, 15, 31);
    EXPECT_EQ(daytime_.asked, QStringList{QStringLiteral("127.0.0.1:4013")});

    // Emptied: the warning, and the daily synchronisation goes off.
    box->setEditText(QString());
    EXPECT_EQ(LastBox(), QStringLiteral("Please select or enter a time server first."));
    EXPECT_FALSE(Find<QCheckBox>("chkSynch")->isChecked());
    EXPECT_FALSE(Stored().autosynch);
    EXPECT_FALSE(window_->SynchTimerActive());
}

TEST_F(TimeSyncTest, TheDailyWindowIsNineSecondsAfterTheChosenSecond) {
    g_.Settings.autoserver = "time.nist.gov";
    g_.Settings.autosynch = true;
    struct Row {
        int at;  // autotime's second past 07:30:00
        std::vector<std::pair<int, bool>> ticks;
    };
    const Row rows[] = {
        {0, {{0, false}, {1, true}, {5, true}, {9, true}, {10, false}, {-1, false}}},
        {55, {{55, false}, {56, true}, {59, true}, {60, false}, {64, false}}},
    };
    for (const Row& r : rows) {
        g_.Settings.autotime = EncodeTime(7, 30, 0) + r.at / double(kSecondsPerDay);
        Make();
        for (const auto& [second, fires] : r.ticks) {
            const int before = daytime_.asked.size();
            const int s = 7 * 3600 + 30 * 60 + second;
            TickAt(s / 3600, s / 60 % 60, s % 60);
            EXPECT_EQ(daytime_.asked.size() - before, fires ? 1 : 0) << r.at << " / " << second;
            EXPECT_TRUE(window_->SynchTimerActive());
        }
    }
}

TEST_F(TimeSyncTest, ADailyFailureShowsItsTextForFifteenSecondsThenTheTimerRunsAgain) {
    g_.Settings.autoserver = "time.nist.gov";
    g_.Settings.autosynch = true;
    g_.Settings.autotime = EncodeTime(7, 30, 0);
    Make();
    struct Case {
        run::ServerTime answer;
        qint64 pauseMs;
        const char* shown;
    };
    const Case cases[] = {
        {NoAnswer(), 15000,
         "Unable to retrieve time from server. Try selecting a different time server."},
        {Answer(run::testing::kNistReply), 45000, "System time updated."},
        // A reply that is no time: the clock stays, the timer is restarted all the same.
        {Answer("\n61382 26-12-08 14:05:61 00 0 0 50.0 UTC(NIST) *\n"), 45000,
         "Error updating system time: the server's reply holds no valid time: second 61"},
    };
    for (const Case& c : cases) {
        daytime_.answer = c.answer;
        QString during, inFetch, atEnd;
        bool timerDuring = true;
        daytime_.during = [&] { inFetch = Status(); };
        const qint64 start = clock_.NowMs();
        clock_.At(start + 1000, [&] {
            during = Status();
            timerDuring = window_->SynchTimerActive();
        });
        clock_.At(start + c.pauseMs - 100, [&] { atEnd = Status(); });
        const std::size_t set = setter_.set.size();
        TickAt(7, 30, 2);
        EXPECT_EQ(inFetch, QStringLiteral("Retrieving Time From Server..."));
        EXPECT_EQ(during, QString::fromLatin1(c.shown));
        EXPECT_EQ(atEnd, QString::fromLatin1(c.shown));
        EXPECT_FALSE(timerDuring);
        EXPECT_EQ(clock_.NowMs() - start, c.pauseMs);
        EXPECT_EQ(Status(), QString());
        EXPECT_TRUE(window_->SynchTimerActive()) << c.shown;
        EXPECT_EQ(setter_.set.size() - set, c.shown[0] == 'S' ? 1u : 0u);
    }
    EXPECT_TRUE(dialogs_.shown.isEmpty());
}

TEST_F(TimeSyncTest, TheButtonSynchronisesOnceHoweverOftenItIsAsked) {
    Make();
    Find<QPushButton>("Button1")->click();
    EXPECT_EQ(LastBox(), QStringLiteral("Please select or enter a time server first."));
    EXPECT_TRUE(daytime_.asked.isEmpty());

    g_.Settings.autoserver = "time.nist.gov";
    g_.Settings.autotime = EncodeTime(7, 30, 0);
    Find<QComboBox>("cboTimeServer")->setCurrentIndex(0);
    daytime_.during = [&] {
        EXPECT_FALSE(Find<QPushButton>("Button1")->isEnabled());
        window_->UpdateSystemTime();
        TickAt(7, 30, 3);
    };
    Find<QPushButton>("Button1")->click();
    EXPECT_EQ(daytime_.asked, QStringList{QStringLiteral("time.nist.gov")});
    EXPECT_EQ(setter_.set, std::vector<qint64>{run::testing::kNistReplyUtc * 1000000});
    EXPECT_EQ(LastBox(), QStringLiteral("System time updated."));
    EXPECT_EQ(dialogs_.shown.last().topLeft, window_->frameGeometry().topLeft());
    EXPECT_TRUE(Find<QPushButton>("Button1")->isEnabled());
}

TEST_F(TimeSyncTest, TheScheduleIsRebuiltAfterTheClockMoved) {
    AlRec a;
    a.AlName = "Ten";
    a.enabled = true;
    a.Music->MuType = 3;
    a.Schedule.AlType = 0;
    a.Schedule.AlXDays = 1;
    a.Schedule.AlEndType = 1;
    a.Schedule.AlStartDate = EncodeDate(2026, 1, 1);
    a.Schedule.AlTime = EncodeTime(10, 0, 0);
    g_.AlarmCount = 1;
    g_.ResetAlarmTable(1);
    g_.AlarmTable[1] = a;
    Make();
    ASSERT_GE(g_.ScheduleCount, 1);
    EXPECT_DOUBLE_EQ(g_.ScheduleTable[1].When, EncodeDate(2026, 12, 9) + EncodeTime(10, 0, 0));
    // The server was two hours ahead of this computer.
    setter_.onSet = [&] { clock_.SetNow(EncodeDate(2026, 12, 9) + EncodeTime(11, 0, 0)); };
    Find<QComboBox>("cboTimeServer")->setCurrentIndex(0);
    Find<QPushButton>("Button1")->click();
    // The 10:00 it jumped over is the next check's to run late or report.
    window_->CheckAlarms();
    EXPECT_DOUBLE_EQ(g_.ScheduleTable[1].When, EncodeDate(2026, 12, 10) + EncodeTime(10, 0, 0));
}

}  // namespace
}  // namespace ringmere::ui
