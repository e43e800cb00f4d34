// Desktop notifications against python3-dbusmock's notification daemon on a
// bus of the test's own: what Notify carries, the server's answers coming
// back, and every way the server can be missing or refuse.
#include "platform/notifications_dbus.h"

#include <optional>

#include "logind_mock.h"

namespace ringmere {
namespace {

const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");
const QString kNotificationsPath = QStringLiteral("/org/freedesktop/Notifications");

struct Call {
    QString method;
    QVariantList args;
};

class NotificationsTest : public fixtures::LogindMock {
protected:
    void StartDaemon() { StartMock(kNotifications, {"--template", "notification_daemon"}); }
    QDBusMessage Mock(const QString& method, const QVariantList& args = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            kNotifications, kNotificationsPath, "org.freedesktop.DBus.Mock", method);
        call.setArguments(args);
        return bus_->call(call);
    }
    std::vector<Call> Calls() {
        const QDBusMessage reply = Mock(QStringLiteral("GetCalls"));
        std::vector<Call> out;
        if (reply.type() != QDBusMessage::ReplyMessage) {
            ADD_FAILURE() << reply.errorMessage().toStdString();
            return out;
        }
        const auto list = reply.arguments().constFirst().value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            quint64 when = 0;
            Call c;
            list.beginStructure();
            list >> when >> c.method >> c.args;
            list.endStructure();
            out.push_back(c);
        }
        list.endArray();
        return out;
    }
    std::optional<Call> Last(const QString& method) {
        std::optional<Call> found;
        for (const Call& c : Calls())
            if (c.method == method) found = c;
        return found;
    }
    void Emit(const QString& name, const QString& signature, const QVariantList& args) {
        QVariantList wrapped;
        for (const QVariant& a : args) wrapped << QVariant::fromValue(QDBusVariant(a));
        const QDBusMessage reply =
            Mock(QStringLiteral("EmitSignal"), {kNotifications, name, signature, wrapped});
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    }

    // What one notification went through.
    struct Seen {
        bool shown = false;
        QString failed, action;
        std::optional<unsigned> closed;
    };
    int Show(DbusNotifications& n, Seen& seen) {
        Notification tea{QStringLiteral("Tea"), QStringLiteral("Kettle <on> & off"),
                         {{"snooze", "Snooze 5 min"}, {"dismiss", "Dismiss"}}};
        return n.Show(tea, NotificationEvents{
                               .shown = [&seen] { seen.shown = true; },
                               .failed = [&seen](const QString& r) { seen.failed = r; },
                               .action = [&seen](const QString& k) { seen.action = k; },
                               .closed = [&seen](unsigned r) { seen.closed = r; }});
    }
};

TEST_F(NotificationsTest, NotifyCarriesTheAlarmAsACriticalNotificationThatStays) {
    StartDaemon();
    DbusNotifications n(*bus_, "Ringmere", "org.ringmere.Ringmere");
    Seen seen;
    Show(n, seen);
    ASSERT_TRUE(fixtures::SpinUntil([&] { return seen.shown; })) << seen.failed.toStdString();

    const std::optional<Call> notify = Last(QStringLiteral("Notify"));
    ASSERT_TRUE(notify);
    const QVariantList& a = notify->args;
    ASSERT_EQ(a.size(), 8);
    EXPECT_EQ(a[0].toString(), "Ringmere");
    EXPECT_EQ(a[1].toUInt(), 0u);  // a new one, replacing none
    EXPECT_EQ(a[2].toString(), "org.ringmere.Ringmere");
    EXPECT_EQ(a[3].toString(), "Tea");
    EXPECT_EQ(a[4].toString(), "Kettle &lt;on&gt; &amp; off");  // shown as typed
    EXPECT_EQ(a[5].toStringList(),
              (QStringList{"snooze", "Snooze 5 min", "dismiss", "Dismiss"}));
    const QVariantMap hints = qdbus_cast<QVariantMap>(a[6].value<QDBusArgument>());
    EXPECT_EQ(hints.value("urgency").metaType(), QMetaType::fromType<uchar>());
    EXPECT_EQ(hints.value("urgency").value<uchar>(), 2);
    EXPECT_EQ(hints.value("image-path").toString(), "org.ringmere.Ringmere");
    EXPECT_EQ(a[7].toInt(), 0);  // never expires
}

TEST_F(NotificationsTest, TheServersAnswersReachTheirNotificationOnly) {
    StartDaemon();
    DbusNotifications n(*bus_, "Ringmere", "ringmere");
    const struct Case {
        const char* what;
        QString signal, signature;
        QString key;                     // of an ActionInvoked
        std::optional<unsigned> closed;  // of a NotificationClosed
    } cases[] = {
        {"Snooze", "ActionInvoked", "us", "snooze", {}},
        {"Dismiss", "ActionInvoked", "us", "dismiss", {}},
        {"closed by the user", "NotificationClosed", "uu", {}, 2u},
    };
    uint lastId = 0;  // the daemon numbers them from 1
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Seen seen, other;
        Show(n, other);
        Show(n, seen);
        ASSERT_TRUE(fixtures::SpinUntil([&] { return seen.shown && other.shown; }));
        lastId += 2;
        const QVariant detail = c.closed ? QVariant(uint(*c.closed)) : QVariant(c.key);
        Emit(c.signal, c.signature, {lastId, detail});
        ASSERT_TRUE(fixtures::SpinUntil([&] { return !seen.action.isEmpty() || seen.closed; }));
        EXPECT_EQ(seen.action, c.key);
        EXPECT_EQ(seen.closed, c.closed);
        EXPECT_TRUE(other.action.isEmpty());
        EXPECT_FALSE(other.closed);
    }
}

TEST_F(NotificationsTest, CloseWithdrawsItAndSilencesItsEvents) {
    StartDaemon();
    DbusNotifications n(*bus_, "Ringmere", "ringmere");
    Seen seen;
    const int ticket = Show(n, seen);
    ASSERT_TRUE(fixtures::SpinUntil([&] { return seen.shown; }));
    n.Close(ticket);
    std::optional<Call> close;
    ASSERT_TRUE(fixtures::SpinUntil([&] { return bool(close = Last("CloseNotification")); }));
    EXPECT_EQ(close->args.value(0).toUInt(), 1u);
    // The daemon answers the call with NotificationClosed, and a late click
    // may still come: neither reaches a closed notification.
    Emit("ActionInvoked", "us", {1u, QStringLiteral("snooze")});
    Seen probe;
    Show(n, probe);
    ASSERT_TRUE(fixtures::SpinUntil([&] { return probe.shown; }));
    EXPECT_TRUE(seen.action.isEmpty());
    EXPECT_FALSE(seen.closed);
}

TEST_F(NotificationsTest, AMissingOrRefusingServerIsAFailureInBoundedTime) {
    const struct Case {
        const char* what;
        const char* notify;  // the daemon's Notify; null: no daemon at all
        const char* reason;  // in the failure's text
    } cases[] = {
        {"no daemon", nullptr, "org.freedesktop.Notifications"},
        {"error reply", "raise dbus.exceptions.DBusException('busy', name='org.example.Busy')",
         "busy"},
        {"no answer in time", "import time\ntime.sleep(60)", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.notify) {
            StartDaemon();
            const QDBusMessage added = Mock(
                "AddMethod", {kNotifications, "Notify", "susssasa{sv}i", "u", c.notify});
            ASSERT_EQ(added.type(), QDBusMessage::ReplyMessage)
                << added.errorMessage().toStdString();
        }
        DbusNotifications n(*bus_, "Ringmere", "ringmere", 300);
        Seen seen;
        Show(n, seen);
        ASSERT_TRUE(fixtures::SpinUntil([&] { return !seen.failed.isEmpty(); }));
        EXPECT_FALSE(seen.shown);
        EXPECT_TRUE(seen.failed.contains(QLatin1String(c.reason))) << seen.failed.toStdString();
        for (auto& mock : mocks_) fixtures::Stop(*mock);
        mocks_.clear();
        ASSERT_TRUE(fixtures::SpinUntil(
            [&] { return !bus_->interface()->isServiceRegistered(kNotifications).value(); }));
    }
}

}  // namespace
}  // namespace ringmere
