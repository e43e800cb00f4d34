// Dial-up connections against NetworkManager played by dbusmock on a bus of
// the test's own (tests/run/nm_mock.py), with run windows on a fake clock.
// NetworkManager's state changes are made by the test at chosen fake times;
// a call to the mock returns after its signals have reached the back-end's
// connection, so each change is seen at the next pause of the runner.
#include "run/connections_nm.h"

#include <gtest/gtest.h>

#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QLabel>
#include <QPointer>

#include "fake_services.h"
#include "run/dialup.h"
#include "tests/platform/logind_mock.h"

namespace ringmere::run {
namespace {

using namespace testing;

const QString kNm = QStringLiteral("org.freedesktop.NetworkManager");
const QString kNmPath = QStringLiteral("/org/freedesktop/NetworkManager");
constexpr uint kActivated = 2;
const char* const kBusyText = "The device was disconnected.";

AlEvent DialStep(const std::string& entry, bool connect, int redials = 0) {
    AlEvent e;
    e.evtype = kStepDialup;
    *e.Dial = {true, connect, entry, redials};
    return e;
}

AlRec DialAlarm(const std::string& entry, bool connect, int redials = 0) {
    AlRec a = Simple("D");
    *a.Dial = {true, connect, entry, redials};
    return a;
}

class Connections : public fixtures::LogindMock, public RunFixture {
protected:
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<TfrmActiveAlarm*>(w)) w->close();
        Flush();
        nm_.reset();
        LogindMock::TearDown();
    }

    // NetworkManager with the given profiles ("name", "mode" of nm_mock.py).
    void StartNm(std::initializer_list<std::pair<const char*, const char*>> profiles) {
        StartMock(kNm, {"--template", QStringLiteral(RINGMERE_TEST_DATA "/../run/nm_mock.py")});
        for (const auto& [name, mode] : profiles) Mock("AddProfile", {name, mode});
        Connect();
    }
    void Connect() {
        nm_ = std::make_unique<NmConnections>(*bus_, clock);
        services.connections = nm_.get();
    }

    QDBusMessage Mock(const QString& method, const QVariantList& args = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            kNm, kNmPath, QStringLiteral("org.freedesktop.DBus.Mock"), method);
        call.setArguments(args);
        const QDBusMessage reply = bus_->call(call);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply;
    }
    QStringList Activations() { return Mock("Activations").arguments().value(0).toStringList(); }
    QVariant Get(const QString& path, const QString& iface, const QString& name) {
        const QDBusMessage reply = bus_->call(QDBusMessage::createMethodCall(
            kNm, path, "org.freedesktop.DBus.Properties", "Get") << iface << name);
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    // The active connection of profile `name`; empty when there is none.
    QString ActivePath(const QString& name) {
        const auto paths = qdbus_cast<QList<QDBusObjectPath>>(
            Get(kNmPath, kNm, QStringLiteral("ActiveConnections")));
        for (const QDBusObjectPath& p : paths)
            if (Get(p.path(), kNm + ".Connection.Active", "Id").toString() == name) return p.path();
        return {};
    }
    void SetState(const QString& name, uint state, uint reason = 0) {
        const QString path = ActivePath(name);
        ASSERT_FALSE(path.isEmpty()) << name.toStdString() << " is not active";
        Mock("SetActiveState", {QVariant::fromValue(QDBusObjectPath(path)), state, reason});
    }
    static QString Status(QWidget* w) {
        return w->findChild<QLabel*>(QStringLiteral("lblStatus"))->text();
    }

    std::unique_ptr<NmConnections> nm_;
};

TEST_F(Connections, ConnectsOnTheFirstTryAndTheRunGoesOn) {
    StartNm({{"ISP", "instant"}});
    QPointer<TfrmActiveAlarm> w = Open(DialAlarm("ISP", true, 2));
    clock.Advance(1000);
    EXPECT_EQ(w->EventLines(), Lines({"Connecting to ISP.", "Alarm Completed."}));
    EXPECT_EQ(Status(w), QStringLiteral("Connected"));
    EXPECT_EQ(Activations(), Lines({"ISP"}));
    EXPECT_FALSE(ActivePath("ISP").isEmpty());
}

TEST_F(Connections, ABusyLineIsRedialledThenTheRunGoesOn) {
    StartNm({{"ISP", "busy"}});
    QPointer<TfrmActiveAlarm> w = Open(DialAlarm("ISP", true, 2));
    clock.Advance(1000);
    const std::string error = std::string("Error connecting: ") + kBusyText;
    EXPECT_EQ(w->EventLines(),
              Lines({"Connecting to ISP.", error.c_str(), "Retrying", error.c_str(), "Retrying",
                     error.c_str(), "Alarm Completed."}));
    EXPECT_EQ(Status(w), QStringLiteral("Error. ") + kBusyText);
    EXPECT_EQ(Activations().size(), 3);
    // The dial's failures are shown, not logged.
    EXPECT_EQ(LogMessages(), (std::vector<std::string>{"D executing.", "Connecting to ISP.",
                                                       "Alarm Completed."}));
}

TEST_F(Connections, RedialsAreCountedOverTheWindowsLifeNotAcrossWindows) {
    StartNm({{"ISP", "busy"}});
    // The first dial uses 1 of the window's redials; the second may use 3 in
    // all, so only 2 are left for it.
    QPointer<TfrmActiveAlarm> w =
        Open(Script("S", {DialStep("ISP", true, 1), DialStep("ISP", true, 3)}));
    clock.Advance(1000);
    EXPECT_EQ(Activations().size(), 2 + 3);
    EXPECT_EQ(w->EventLines().count(QStringLiteral("Retrying")), 1 + 2);
    EXPECT_EQ(w->EventLines().constLast(), QStringLiteral("Script Completed."));

    QPointer<TfrmActiveAlarm> later = Open(DialAlarm("ISP", true, 1));
    clock.Advance(1000);
    EXPECT_EQ(later->EventLines().count(QStringLiteral("Retrying")), 1);
    EXPECT_EQ(Activations().size(), 5 + 2);
}

TEST_F(Connections, AnActivationThatIsRefusedCountsAsAFailedDial) {
    StartNm({{"Work", "refuse"}});
    QPointer<TfrmActiveAlarm> w = Open(DialAlarm("Work", true, 1));
    clock.Advance(1000);
    EXPECT_EQ(w->EventLines(),
              Lines({"Connecting to Work.", "Error connecting: Activation refused by policy.",
                     "Retrying", "Error connecting: Activation refused by policy.",
                     "Alarm Completed."}));
    EXPECT_EQ(Activations().size(), 2);
}

TEST_F(Connections, ASlowLinkIsWaitedForAndAnEarlierConnectedDoesNotEndTheWait) {
    StartNm({{"ISP", "instant"}, {"Slow", "slow"}});
    QPointer<TfrmActiveAlarm> w =
        Open(Script("S", {DialStep("ISP", true), DialStep("Slow", true), Sleep(0)}));
    clock.At(5000, [&] {
        EXPECT_EQ(Status(w), QStringLiteral("Connecting device"));
        EXPECT_EQ(w->EventLines(), Lines({"Connecting to ISP.", "Connecting to Slow."}));
        SetState("Slow", kActivated);
    });
    clock.Advance(10000);
    EXPECT_EQ(Status(w), QStringLiteral("Connected"));
    EXPECT_EQ(w->EventLines(), Lines({"Connecting to ISP.", "Connecting to Slow.",
                                      "Sleeping 0 seconds.", "Script Completed."}));
}

TEST_F(Connections, EachWindowHearsOnlyItsOwnDial) {
    StartNm({{"A", "slow"}, {"B", "slow"}});
    QPointer<TfrmActiveAlarm> a = Open(DialAlarm("A", true));
    QPointer<TfrmActiveAlarm> b = Open(DialAlarm("B", true));
    // B's runner waits inside A's wait: B's failure comes first.
    clock.At(1000, [&] {
        EXPECT_EQ(Status(a), QStringLiteral("Connecting device"));
        EXPECT_EQ(Status(b), QStringLiteral("Connecting device"));
        SetState("B", 4, 3);
    });
    clock.At(2000, [&] {
        EXPECT_EQ(Status(a), QStringLiteral("Connecting device"));
        EXPECT_EQ(Status(b), QStringLiteral("Error. ") + kBusyText);
        EXPECT_EQ(b->EventLines().constLast(), QStringLiteral("Alarm Completed."));
        SetState("A", kActivated);
    });
    clock.Advance(3000);
    EXPECT_EQ(Status(a), QStringLiteral("Connected"));
    EXPECT_EQ(a->EventLines(), Lines({"Connecting to A.", "Alarm Completed."}));
}

TEST_F(Connections, CloseWhileConnectingHangsUpTheDial) {
    StartNm({{"Slow", "slow"}});
    QPointer<TfrmActiveAlarm> w = Open(DialAlarm("Slow", true));
    clock.At(1000, [&] {
        EXPECT_EQ(Status(w), QStringLiteral("Connecting device"));
        EXPECT_FALSE(ActivePath("Slow").isEmpty());
        w->close();
    });
    clock.Advance(2000);
    Flush();
    EXPECT_TRUE(w.isNull());
    EXPECT_TRUE(ActivePath("Slow").isEmpty());
}

TEST_F(Connections, ALinkThatNeverComesUpIsGivenUpAfterTheBound) {
    StartNm({{"Slow", "slow"}});
    QPointer<TfrmActiveAlarm> w = Open(DialAlarm("Slow", true, 1));
    clock.At(RunDialer::kConnectTimeoutSeconds * 1000 - 1000,
             [&] { EXPECT_EQ(w->EventLines(), Lines({"Connecting to Slow."})); });
    clock.Advance(3 * RunDialer::kConnectTimeoutSeconds * 1000);
    const char* error = "Error connecting: The connection did not come up within 120 seconds.";
    EXPECT_EQ(w->EventLines(), Lines({"Connecting to Slow.", error, "Retrying", error,
                                      "Alarm Completed."}));
    EXPECT_EQ(Activations().size(), 2);
    EXPECT_TRUE(ActivePath("Slow").isEmpty());
}

TEST_F(Connections, NetworkManagerLeavingTheBusFailsTheDial) {
    StartNm({{"Slow", "slow"}});
    QPointer<TfrmActiveAlarm> w = Open(DialAlarm("Slow", true));
    clock.At(2000, [&] {
        fixtures::Stop(*mocks_.back());
        ASSERT_TRUE(
            fixtures::SpinUntil([&] { return !bus_->interface()->isServiceRegistered(kNm).value(); }));
    });
    clock.Advance(3000);
    EXPECT_EQ(w->EventLines(),
              Lines({"Connecting to Slow.", "Error connecting: NetworkManager left the system bus.",
                     "Alarm Completed."}));
}

TEST_F(Connections, WithoutNetworkManagerTheRunEndsAndTheEditorsHearWhy) {
    Connect();
    QPointer<TfrmActiveAlarm> w = Open(DialAlarm("ISP", true));
    clock.Advance(1000);
    EXPECT_EQ(w->EventLines(), Lines({"Connecting to ISP.", kNoNetworkManager}));
    std::vector<std::string> entries;
    EXPECT_FALSE(ListDialEntries(nm_.get(), entries));
    EXPECT_FALSE(ListDialEntries(nullptr, entries));
    std::string shown;
    DialTest test(*nm_, [&](const std::string& s) { shown = s; }, [] { return 2; });
    EXPECT_FALSE(test.Dial("ISP", true));
    EXPECT_FALSE(test.HangUp("ISP"));
}

TEST_F(Connections, DisconnectHangsUpOnlyTheNamedEntry) {
    StartNm({{"ISP", "instant"}, {"Other", "instant"}});
    ASSERT_EQ(nm_->DialEntry("Other", {}).result, DialStarted::Started);
    QPointer<TfrmActiveAlarm> w = Open(Script(
        "S", {DialStep("ISP", false), DialStep("ISP", true), DialStep("ISP", false)}));
    // The first disconnect finds ISP down and does nothing; the second hangs
    // it up and leaves Other alone.
    clock.Advance(2000);
    EXPECT_EQ(w->EventLines(), Lines({"Disconnecting from ISP.", "Connecting to ISP.",
                                      "Disconnecting from ISP.", "Script Completed."}));
    EXPECT_EQ(Activations(), Lines({"Other", "ISP"}));
    EXPECT_EQ(Status(w), QStringLiteral("Disconnected"));
    EXPECT_TRUE(ActivePath("ISP").isEmpty());
    EXPECT_FALSE(ActivePath("Other").isEmpty());

    // A hang-up NetworkManager ignores is waited for a few seconds, not forever.
    Mock("SetHangUp", {false});
    EXPECT_FALSE(nm_->HangUpConnection(ActivePath("Other").toStdString()));
    EXPECT_FALSE(ActivePath("Other").isEmpty());
}

TEST_F(Connections, FtpReconnectDialsOnlyWhenTheLinkHasNoAddress) {
    StartNm({{"ISP", "instant"}});
    QPointer<TfrmActiveAlarm> w = Open(Simple("F"));
    clock.Advance(1000);
    w->EventLines();
    RunDialer dialer(*nm_, *w);
    EXPECT_TRUE(dialer.Reconnect("ISP", 3, 0));
    EXPECT_EQ(w->EventLines().constLast(), QStringLiteral("Reconnecting Internet Connection."));
    EXPECT_EQ(Status(w), QStringLiteral("Connected"));
    ASSERT_EQ(Activations(), Lines({"ISP"}));

    // Up, but without an address yet: dialled again, and the profile that is up
    // is not brought up a second time.
    EXPECT_TRUE(dialer.Reconnect("ISP", 3, 0));
    EXPECT_EQ(Activations(), Lines({"ISP"}));

    Mock("SetAddress", {QVariant::fromValue(QDBusObjectPath(ActivePath("ISP"))),
                        QStringLiteral("10.1.2.3"), QStringLiteral("10.1.2.1")});
    EXPECT_EQ(nm_->QueryAddresses(ActivePath("ISP").toStdString()).client, "10.1.2.3");
    const int lines = w->EventLines().size();
    EXPECT_TRUE(dialer.Reconnect("ISP", 3, 0));
    EXPECT_EQ(w->EventLines().size(), lines);
}

TEST_F(Connections, TheEditorsListDialAndHangUp) {
    StartNm({{"ISP", "slow"}, {"Busy", "busy"}, {"Work", "refuse"}});
    std::vector<std::string> entries;
    ASSERT_TRUE(ListDialEntries(nm_.get(), entries));
    EXPECT_EQ(entries, (std::vector<std::string>{"ISP", "Busy", "Work"}));

    std::string shown;
    int attempts = 2;
    DialTest test(*nm_, [&](const std::string& s) { shown = s; }, [&] { return attempts; });
    // A dial that does not start is tried again up to "Redial Attempts:".
    EXPECT_TRUE(test.Dial("Work", true));
    EXPECT_EQ(shown, "Error. Activation refused by policy.");
    EXPECT_EQ(Activations().size(), 3);
    // One that fails on its way is hung up and not redialled.
    EXPECT_TRUE(test.Dial("Busy", true));
    clock.Pause(100);
    EXPECT_EQ(shown, std::string("Error. ") + kBusyText);
    EXPECT_EQ(Activations().size(), 4);

    // Hung up while connecting and once connected, the status says so, and
    // the dial's end says nothing after it.
    for (const bool connected : {false, true}) {
        EXPECT_TRUE(test.Dial("ISP", true));
        clock.Pause(100);
        EXPECT_EQ(shown, "Connecting device");
        if (connected) {
            SetState("ISP", kActivated);
            clock.Pause(100);
            EXPECT_EQ(shown, "Connected");
        }
        EXPECT_TRUE(test.HangUp("ISP"));
        clock.Pause(100);
        EXPECT_EQ(shown, "Disconnected") << connected;
        EXPECT_TRUE(ActivePath("ISP").isEmpty());
    }

    EXPECT_TRUE(test.Dial("ISP", true));
    clock.Pause(100);
    ASSERT_FALSE(ActivePath("ISP").isEmpty());
    test.Close();
    EXPECT_TRUE(ActivePath("ISP").isEmpty());
}

}  // namespace
}  // namespace ringmere::run
