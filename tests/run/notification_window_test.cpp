// Simple alarms as desktop notifications: which alarms become one, what it
// carries, and what each answer of the server does to the hidden window.
#include <gtest/gtest.h>

#include <QPointer>
#include <functional>

#include "fake_services.h"
#include "run/activealarm.h"

namespace ringmere::run {
namespace {

using namespace testing;
using Strings = std::vector<std::string>;

class NotificationWindowTest : public ::testing::Test, public RunFixture {
protected:
    NotificationWindowTest() {
        g.Settings.shownotifications = true;
        sound.files[QStringLiteral("/s/loop.wav")] = 1000;
    }
    static AlRec Ringing() {
        AlRec a = Simple("Tea");
        a.AlMessage = "Kettle\r\n<on> & off";
        a.Music = Wave("/s/loop.wav", kWavUntilStopped);
        return a;
    }
    int Count(const std::string& line) const {
        const Strings logged = LogMessages();
        return int(std::count(logged.begin(), logged.end(), line));
    }
};

TEST_F(NotificationWindowTest, OnlyAMessageAndASoundBecomeANotification) {
    const struct Case {
        const char* what;
        std::function<void(AlRec&)> change;
        bool option = true;
        bool notified;
    } cases[] = {
        {"message and sound", [](AlRec&) {}, true, true},
        {"option off", [](AlRec&) {}, false, false},
        {"script", [](AlRec& a) { a.mtype = 1; }, true, false},
        {"dial-up", [](AlRec& a) { a.Dial->usedialup = true; }, true, false},
        {"third program", [](AlRec& a) { a.Launch->app3 = "x"; }, true, false},
        {"web page", [](AlRec& a) { a.Web->url1 = "example.org"; }, true, false},
        {"clock", [](AlRec& a) { a.Synch->dosynch = true; }, true, false},
        {"FTP", [](AlRec& a) { a.Ftp->ftpenabled = true; }, true, false},
        {"file delete", [](AlRec& a) { a.FileOp->fop = kFopDelete; }, true, false},
        {"unknown file operation", [](AlRec& a) { a.FileOp->fop = 7; }, true, true},
        {"mail", [](AlRec& a) { a.Mail->sendmessage = true; }, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g.Settings.shownotifications = c.option;
        AlRec a = Ringing();
        c.change(a);
        const std::size_t before = fakes.notifications.shown.size();
        QPointer<TfrmActiveAlarm> w = Open(a);
        clock.Advance(1000);
        ASSERT_TRUE(w);
        EXPECT_EQ(fakes.notifications.shown.size() - before, c.notified ? 1u : 0u);
        EXPECT_EQ(w->isVisible(), !c.notified);
        EXPECT_EQ(w->ShowsNotification(), c.notified);
        w->close();
        Flush();
    }
    // Without the desktop's notifications the window comes up as before.
    services.notifications = nullptr;
    QPointer<TfrmActiveAlarm> w = Open(Ringing());
    clock.Advance(1000);
    EXPECT_TRUE(w->isVisible());
}

TEST_F(NotificationWindowTest, CarriesNameMessageAndTheWindowsButtons) {
    for (bool snooze : {true, false}) {
        SCOPED_TRACE(snooze);
        AlRec a = Ringing();
        a.AlSnooze = snooze;
        a.snoozeming = 7;
        QPointer<TfrmActiveAlarm> w = Open(a);
        clock.Advance(1000);
        ASSERT_FALSE(fakes.notifications.shown.empty());
        const Notification& n = fakes.notifications.shown.back();
        EXPECT_EQ(n.summary, "Tea");
        EXPECT_EQ(n.body, "Kettle\n<on> & off");
        QList<std::pair<QString, QString>> actions;
        if (snooze) actions.append(std::pair<QString, QString>("snooze", "Snooze 7 min"));
        actions.append(std::pair<QString, QString>("dismiss", "Dismiss"));
        EXPECT_EQ(n.actions, actions);
        // The sound plays as it would in the window, and the run completes.
        EXPECT_EQ(sound.What(), Strings{"loop /s/loop.wav"});
        EXPECT_EQ(w->EventLines(), Lines({"Playing /s/loop.wav.", "Alarm Completed."}));
        w->close();
        Flush();
        sound.events.clear();
    }
}

TEST_F(NotificationWindowTest, EachAnswerOfTheServerEndsAsTheWindowWould) {
    const QString fallback = "no server";
    const std::string fellBack =
        "Desktop notifications are not available (no server); alarms show their window.";
    enum Then { Snoozes, Closes, ShowsWindow };
    const struct Case {
        const char* what;
        std::function<void(FakeNotifications&)> answer;
        Then then;
    } cases[] = {
        {"Snooze", [](FakeNotifications& n) { n.Act("snooze"); }, Snoozes},
        {"Dismiss", [](FakeNotifications& n) { n.Act("dismiss"); }, Closes},
        {"closed by the user", [](FakeNotifications& n) { n.CloseByServer(2); }, Closes},
        {"expired", [](FakeNotifications& n) { n.CloseByServer(1); }, ShowsWindow},
        {"body clicked", [](FakeNotifications& n) { n.Act("default"); }, ShowsWindow},
        {"server failed", [&](FakeNotifications& n) { n.Fail(fallback); }, ShowsWindow},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sound.events.clear();
        QPointer<TfrmActiveAlarm> w = Open(Ringing());
        clock.Advance(1000);
        ASSERT_TRUE(fakes.notifications.Showing());
        const std::size_t shown = fakes.notifications.shown.size();
        c.answer(fakes.notifications);
        clock.Advance(1000);
        Flush();
        EXPECT_FALSE(fakes.notifications.Showing());
        switch (c.then) {
            case Snoozes:
                ASSERT_TRUE(w);
                EXPECT_TRUE(w->IsSnoozing());
                EXPECT_FALSE(w->isVisible());
                EXPECT_EQ(Count("Snoozed for 5 minutes."), 1);
                EXPECT_EQ(sound.What(), (Strings{"loop /s/loop.wav", "loop stopped"}));
                // The snooze's end rings again, as a new notification.
                clock.Advance(5 * 60000);
                EXPECT_EQ(fakes.notifications.shown.size(), shown + 1);
                EXPECT_TRUE(fakes.notifications.Showing());
                EXPECT_EQ(sound.What().back(), "loop /s/loop.wav");
                break;
            case Closes:
                EXPECT_FALSE(w);
                EXPECT_EQ(LogMessages().back(), "Window closed.");
                EXPECT_EQ(sound.What(), (Strings{"loop /s/loop.wav", "loop stopped"}));
                break;
            case ShowsWindow:
                ASSERT_TRUE(w);
                EXPECT_TRUE(w->isVisible());
                EXPECT_FALSE(w->ShowsNotification());
                EXPECT_EQ(sound.What(), Strings{"loop /s/loop.wav"});  // the window stops it
                EXPECT_EQ(w->EventLines(), Lines({"Playing /s/loop.wav.", "Alarm Completed."}));
                break;
        }
        EXPECT_EQ(Count(fellBack), std::string_view(c.what) == "server failed" ? 1 : 0);
        if (w) w->close();
        Flush();
    }
}

TEST_F(NotificationWindowTest, FallingBackIsLoggedOncePerProgramRun) {
    for (const char* name : {"One", "Two"}) {
        AlRec a = Ringing();
        a.AlName = name;
        Open(a);
    }
    clock.Advance(1000);
    ASSERT_EQ(fakes.notifications.open.size(), 2u);
    const auto failAll = [&] {
        const auto open = fakes.notifications.open;
        fakes.notifications.open.clear();
        for (const auto& [ticket, events] : open) events.failed("refused");
    };
    failAll();
    int shown = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<TfrmActiveAlarm*>(w) && w->isVisible()) ++shown;
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(Count("Desktop notifications are not available (refused); alarms show their "
                    "window."),
              1);
}

}  // namespace
}  // namespace ringmere::run
