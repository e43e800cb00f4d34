// The session bus interface on a bus of the test's own (dbus-daemon), called
// from another connection as a script would: what each call gives, does to
// the alarms and the file, and refuses.
#include "app/bus_interface.h"

#include <gtest/gtest.h>

#include <QDBusPendingCall>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <fstream>

#include "core/alarmfile.h"
#include "core/fileio.h"
#include "tests/platform/logind_mock.h"
#include "tests/run/fake_services.h"
#include "ui/alarm.h"
#include "ui/outside_changes.h"

namespace ringmere::app {
namespace {

const QString kInterface = QStringLiteral("org.ringmere.Ringmere1");

AlRec Daily(const std::string& name, bool enabled) {
    AlRec a;
    a.AlName = name;
    a.enabled = enabled;
    a.Music->MuType = kMusicSilent;
    a.Schedule.AlType = kEveryXDays;
    a.Schedule.AlXDays = 1;
    a.Schedule.AlEndType = kEndNever;
    a.Schedule.AlStartDate = EncodeDate(2026, 1, 1);
    a.Schedule.AlTime = EncodeTime(9, 0, 0);
    return a;
}

// The members of the interface in an introspection text: one line each,
// kind, name, and the types of the arguments in and out (each in order).
QStringList Members(const QString& xml) {
    QStringList out;
    QXmlStreamReader r(xml);
    bool inside = false;
    QString current;
    QStringList ins, outs;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == QLatin1String("interface"))
            inside = r.attributes().value("name") == kInterface;
        if (!inside) continue;
        const bool member = r.name() == QLatin1String("method") || r.name() == QLatin1String("signal");
        if (r.isStartElement() && member) {
            current = r.name().toString() + QLatin1Char(' ') + r.attributes().value("name").toString();
            ins.clear();
            outs.clear();
        }
        if (r.isStartElement() && r.name() == QLatin1String("arg"))
            (r.attributes().value("direction") == QLatin1String("in") ? ins : outs)
                << r.attributes().value("type").toString();
        if (r.isEndElement() && member)
            out << current + QStringLiteral(" in:") + ins.join(',') + QStringLiteral(" out:") +
                       outs.join(',');
        if (r.isEndElement() && r.name() == QLatin1String("interface")) inside = false;
    }
    out.sort();
    return out;
}

class Catcher : public QObject {
    Q_OBJECT
public slots:
    void Caught(const QString& name, const QString& when) { started << name + QLatin1Char('@') + when; }

public:
    QStringList started;
};

class BusInterfaceTest : public fixtures::LogindMock {
protected:
    void SetUp() override {
        LogindMock::SetUp();
        ASSERT_TRUE(dir_.isValid());
        g_.ProgramDir = QDir(dir_.path()).absolutePath().toStdString() + "/";
        SetDefaultSettings(g_);
        g_.AlarmCount = 2;
        g_.ResetAlarmTable(2);
        g_.AlarmTable[1] = Daily("Tea", true);
        g_.AlarmTable[2] = Daily("Off", false);
        CollectingReporter said;
        ASSERT_EQ(SaveAlarmFile(g_, g_.Settings.AlarmFile, said), kFileDone);
        fakes_.clock.SetNow(EncodeDate(2026, 12, 9) + EncodeTime(8, 0, 0));

        ui::MainWindowHooks hooks;
        hooks.trayAvailable = [] { return false; };
        hooks.openRunWindow = [this](int index, const QString&) { runs_.push_back(index); };
        window_ = std::make_unique<ui::TfrmAlMain>(g_, fakes_.Handed(), std::move(hooks));
        follower_ = std::make_unique<ui::AlarmFileFollower>(g_, fakes_.Handed(),
                                                            [this] { window_->Refill(); });
        iface_ = std::make_unique<BusInterface>(
            g_, *window_, fakes_.clock, [this] { return follower_->Reload(); },
            [this] { ++sharedReloads_; });
        ASSERT_EQ(iface_->Publish(*bus_), QString());
        client_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address_, kClient));
        ASSERT_TRUE(client_->isConnected());
        ASSERT_TRUE(client_->connect(kBusName, kBusPath, kInterface, "AlarmStarted", &catcher_,
                                     SLOT(Caught(QString, QString))));
    }
    void TearDown() override {
        client_.reset();
        QDBusConnection::disconnectFromBus(kClient);
        iface_.reset();
        follower_.reset();
        window_.reset();
        LogindMock::TearDown();
    }

    // A call from the other connection, answered while this thread runs the
    // program's event loop.
    QDBusMessage Call(const QString& method, const QVariantList& args = {},
                      const QString& iface = kInterface) {
        QDBusMessage m = QDBusMessage::createMethodCall(kBusName, kBusPath, iface, method);
        m.setArguments(args);
        QDBusPendingCall pending = client_->asyncCall(m);
        EXPECT_TRUE(fixtures::SpinUntil([&] { return pending.isFinished(); }, 10000)) << method.toStdString();
        return pending.reply();
    }
    QStringList List() {
        const QDBusMessage reply = Call("ListAlarms");
        QStringList out;
        if (reply.type() != QDBusMessage::ReplyMessage) return {reply.errorMessage()};
        QList<BusAlarm> alarms;
        reply.arguments().constFirst().value<QDBusArgument>() >> alarms;
        for (const BusAlarm& a : alarms)
            out << QStringLiteral("%1 %2 %3 %4")
                       .arg(a.number)
                       .arg(a.enabled ? "true" : "false")
                       .arg(a.name, a.next);
        return out;
    }
    std::string FileText() const { return ReadWholeFile(g_.Settings.AlarmFile).value_or(""); }

    static inline const QString kClient = QStringLiteral("ringmere-bus-client");
    QTemporaryDir dir_;
    Globals g_;
    run::testing::FakeServices fakes_{g_};
    std::unique_ptr<ui::TfrmAlMain> window_;
    std::unique_ptr<ui::AlarmFileFollower> follower_;
    std::unique_ptr<BusInterface> iface_;
    std::unique_ptr<QDBusConnection> client_;
    Catcher catcher_;
    std::vector<int> runs_;
    int sharedReloads_ = 0;
};

TEST_F(BusInterfaceTest, TheInterfaceIsTheOneTheTreeDescribes) {
    const QDBusMessage reply = Call("Introspect", {}, "org.freedesktop.DBus.Introspectable");
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    QFile described(QStringLiteral(RINGMERE_TEST_DATA "/../../app/org.ringmere.Ringmere1.xml"));
    ASSERT_TRUE(described.open(QIODevice::ReadOnly));
    const QStringList live = Members(reply.arguments().constFirst().toString());
    EXPECT_EQ(live.size(), 8) << live.join('\n').toStdString();
    EXPECT_EQ(live, Members(QString::fromUtf8(described.readAll())));
}

TEST_F(BusInterfaceTest, ListAndNextActivationsAtTheProgramsClock) {
    EXPECT_EQ(List(), QStringList({"1 true Tea 2026-12-09T09:00:00", "2 false Off "}));
    const QDBusMessage next = Call("NextActivations", {2});
    ASSERT_EQ(next.type(), QDBusMessage::ReplyMessage) << next.errorMessage().toStdString();
    QList<BusActivation> acts;
    next.arguments().constFirst().value<QDBusArgument>() >> acts;
    ASSERT_EQ(acts.size(), 2);
    EXPECT_EQ(acts[0].when + " " + acts[0].name, "2026-12-09T09:00:00 Tea");
    EXPECT_EQ(acts[1].when + " " + acts[1].name, "2026-12-10T09:00:00 Tea");
}

// Each call in turn: the error it gives ("" none) and the alarms after it.
TEST_F(BusInterfaceTest, CallsActThroughTheWindowAndRefuseWithItsMessages) {
    auto fields = [](QVariantMap m) { return QVariantList{m}; };
    struct Step {
        const char* method;
        QVariantList args;
        const char* error;
        const char* says;  // in the error's message
        QStringList after;
    };
    const QStringList both = {"1 true Tea 2026-12-09T09:00:00", "2 true Off 2026-12-09T09:00:00"};
    const QStringList three = both + QStringList{"3 true Walk 2026-12-10T07:30:00"};
    QStringList skipped = three;
    skipped[0] = "1 true Tea 2026-12-10T09:00:00";
    const Step steps[] = {
        {"SetEnabled", {"Off", true}, "", "", both},
        {"SetEnabled", {"Nobody", false}, "org.ringmere.Ringmere1.Error.NoSuchAlarm", "\"Nobody\"", both},
        {"NextActivations", {0}, "org.freedesktop.DBus.Error.InvalidArgs", "1 to 100000", both},
        {"AddAlarm", fields({{"name", "Tea"}, {"at", "2026-12-10 07:30"}}),
         "org.ringmere.Ringmere1.Error.InvalidFields", "already being used", both},
        {"AddAlarm", fields({{"name", "Walk"}, {"at", 5}}), "org.ringmere.Ringmere1.Error.InvalidFields",
         "\"at\" takes a string", both},
        {"AddAlarm", fields({{"name", "Walk"}, {"at", "2026-12-10 07:30"}, {"colour", "red"}}),
         "org.ringmere.Ringmere1.Error.InvalidFields", "no field \"colour\"", both},
        {"AddAlarm", fields({{"name", "Walk"}, {"at", "2026-12-10 07:30"}, {"every", "1 days"}}), "", "",
         three},
        {"SkipNext", {"Tea"}, "", "", skipped},
        {"SkipNext", {"Nobody"}, "org.ringmere.Ringmere1.Error.NoSuchAlarm", "\"Nobody\"", skipped},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.method + (" " + s.args.value(0).toString().toStdString()));
        const QDBusMessage reply = Call(s.method, s.args);
        if (*s.error) {
            ASSERT_EQ(reply.type(), QDBusMessage::ErrorMessage);
            EXPECT_EQ(reply.errorName(), s.error);
            EXPECT_TRUE(reply.errorMessage().contains(s.says)) << reply.errorMessage().toStdString();
        } else {
            ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        }
        EXPECT_EQ(List(), s.after);
    }
    // The changes are in the file, and the new alarm's number came back.
    Globals read;
    read.ProgramDir = g_.ProgramDir;
    CollectingReporter said;
    ASSERT_EQ(ReadOwnAlarmFile(read, said), kFileDone);
    ASSERT_EQ(read.AlarmCount, 3);
    EXPECT_TRUE(read.AlarmTable[2].enabled);
    EXPECT_EQ(read.AlarmTable[3].AlName, "Walk");
    EXPECT_EQ(read.AlarmTable[1].Exceptions.Count, g_.AlarmTable[1].Exceptions.Count);
    EXPECT_GT(read.AlarmTable[1].Exceptions.Count, 0);
}

TEST_F(BusInterfaceTest, RunNowOpensTheRunWindowAndTheStartIsSignalled) {
    const QDBusMessage reply = Call("RunNow", {"Off"});
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(runs_, std::vector<int>{2});
    ASSERT_TRUE(fixtures::SpinUntil([&] { return !catcher_.started.isEmpty(); }));
    EXPECT_EQ(catcher_.started, QStringList{"Off@2026-12-09T08:00:00"});
}

// A client shows another computer's alarms: the window's refusal comes
// back; running and reloading still work, the latter from the shared file.
TEST_F(BusInterfaceTest, AClientRefusesChangesAsTheWindowDoes) {
    g_.Settings.UserMode = "Client";
    const std::string before = FileText();
    for (const auto& [method, args, says] :
         {std::tuple{"SetEnabled", QVariantList{"Off", true}, "Alarms can only be enabled/disabled by server"},
          std::tuple{"AddAlarm", QVariantList{QVariantMap{{"name", "Walk"}, {"at", "2026-12-10 07:30"}}},
                     "Running in client mode"}}) {
        const QDBusMessage reply = Call(method, args);
        EXPECT_EQ(reply.errorName(), "org.ringmere.Ringmere1.Error.Refused") << method;
        EXPECT_TRUE(reply.errorMessage().contains(says)) << reply.errorMessage().toStdString();
    }
    EXPECT_EQ(FileText(), before);
    EXPECT_EQ(Call("RunNow", {"Tea"}).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Call("Reload").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(sharedReloads_, 1);
}

TEST_F(BusInterfaceTest, ReloadReadsWhatAnotherProgramWrote) {
    Globals other = g_;
    other.AlarmTable[1].AlName = "Coffee";
    std::ofstream(g_.Settings.AlarmFile, std::ios::trunc | std::ios::binary) << FormatAlarmFile(other);
    ASSERT_EQ(Call("Reload").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(List(), QStringList({"1 true Coffee 2026-12-09T09:00:00", "2 false Off "}));
    // A file cut short is refused and the alarms kept.
    std::ofstream(g_.Settings.AlarmFile, std::ios::trunc | std::ios::binary)
        << FormatAlarmFile(g_).substr(0, 100);
    const QDBusMessage cut = Call("Reload");
    EXPECT_EQ(cut.errorName(), "org.ringmere.Ringmere1.Error.Refused");
    EXPECT_EQ(List().value(0), "1 true Coffee 2026-12-09T09:00:00");
}

}  // namespace
}  // namespace ringmere::app

#include "bus_interface_test.moc"
