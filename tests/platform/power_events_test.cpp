#include "platform/power_events.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

namespace ringmere {
namespace {

namespace fs = std::filesystem;

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

template <class Done>
bool SpinUntil(Done done, int ms = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// Debian's python3-dbusmock lives with the system's Python, which need not be
// the first python3 on the PATH.
QString DbusmockPython() {
    for (const QString python : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        if (QProcess::execute(python, {"-c", "import dbusmock"}) == 0) return python;
    }
    return {};
}

void Stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished();
    }
}

struct Inhibitor {
    QString what, who, why, mode;
};

// A bus of the test's own, with logind played by dbusmock's template: no
// system bus is touched.
class PowerEvents : public ::testing::Test {
protected:
    void SetUp() override {
        python_ = DbusmockPython();
        ASSERT_FALSE(python_.isEmpty())
            << "python3-dbusmock is missing (scripts/dev.sh installs it)";
        std::string tmpl = (fs::temp_directory_path() / "ringmere-bus-XXXXXX").string();
        dir_ = mkdtemp(tmpl.data());
        std::ofstream(dir_ + "/bus.conf")
            << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
               "1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig><type>session</type><listen>unix:dir="
            << dir_
            << "</listen><auth>EXTERNAL</auth>"
               "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
               "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
        daemon_.start("dbus-daemon", {QStringLiteral("--config-file=%1/bus.conf").arg(dir_.c_str()),
                                      "--nofork", "--print-address=1"});
        ASSERT_TRUE(daemon_.waitForStarted()) << "dbus-daemon is missing";
        ASSERT_TRUE(SpinUntil([&] { return daemon_.canReadLine(); }));
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        bus_ =
            std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address_, kConnection));
        ASSERT_TRUE(bus_->isConnected()) << bus_->lastError().message().toStdString();
    }

    void TearDown() override {
        bus_.reset();
        QDBusConnection::disconnectFromBus(kConnection);
        for (auto& mock : mocks_) Stop(*mock);
        Stop(daemon_);
        if (!dir_.empty()) fs::remove_all(dir_);
    }

    // Starts dbusmock on the private bus (as the system bus) and waits for
    // its name.
    void StartMock(const QString& name, const QStringList& args) {
        auto mock = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", address_);
        env.insert("DBUS_SESSION_BUS_ADDRESS", address_);
        mock->setProcessEnvironment(env);
        mock->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        mock->start(python_, QStringList{"-m", "dbusmock", "--system"} + args);
        ASSERT_TRUE(mock->waitForStarted());
        mocks_.push_back(std::move(mock));
        ASSERT_TRUE(
            SpinUntil([&] { return bus_->interface()->isServiceRegistered(name).value(); }, 10000))
            << "dbusmock did not come up as " << name.toStdString();
    }
    void StartLogind() { StartMock(kLogind, {"--template", "logind"}); }

    void EmitPrepareForSleep(bool start, const QString& from = kLogind) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(from, kPath, "org.freedesktop.DBus.Mock", "EmitSignal");
        call << kManager << QStringLiteral("PrepareForSleep") << QStringLiteral("b")
             << QVariantList{QVariant::fromValue(QDBusVariant(start))};
        const QDBusMessage reply = bus_->call(call);
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    }

    // The locks logind holds, as it sees them.
    std::vector<Inhibitor> Inhibitors() {
        const QDBusMessage reply =
            bus_->call(QDBusMessage::createMethodCall(kLogind, kPath, kManager, "ListInhibitors"));
        std::vector<Inhibitor> out;
        if (reply.type() != QDBusMessage::ReplyMessage) {
            ADD_FAILURE() << reply.errorMessage().toStdString();
            return out;
        }
        const auto arg = reply.arguments().constFirst().value<QDBusArgument>();
        arg.beginArray();
        while (!arg.atEnd()) {
            Inhibitor i;
            uint uid = 0, pid = 0;
            arg.beginStructure();
            arg >> i.what >> i.who >> i.why >> i.mode >> uid >> pid;
            arg.endStructure();
            out.push_back(i);
        }
        arg.endArray();
        return out;
    }
    bool InhibitorCountBecomes(std::size_t n) {
        return SpinUntil([&] { return Inhibitors().size() == n; });
    }

    static inline const QString kConnection = QStringLiteral("ringmere-power-test");
    QString python_;
    std::string dir_;
    QProcess daemon_;
    QString address_;
    std::unique_ptr<QDBusConnection> bus_;
    std::vector<std::unique_ptr<QProcess>> mocks_;
};

// What the handler saw at each event.
struct Seen {
    int code;
    bool heldLock;
    std::size_t locksAtLogind;
};

TEST_F(PowerEvents, HoldsADelayLockOnSleepWhileRunning) {
    StartLogind();
    {
        ringmere::PowerEvents power(*bus_);
        EXPECT_TRUE(power.Available()) << power.ErrorText().toStdString();
        EXPECT_TRUE(power.HoldsDelayLock());
        EXPECT_TRUE(power.ErrorText().isEmpty()) << power.ErrorText().toStdString();
        const auto locks = Inhibitors();
        ASSERT_EQ(locks.size(), 1u);
        EXPECT_EQ(locks[0].what, "sleep");
        EXPECT_EQ(locks[0].who, "Ringmere");
        EXPECT_EQ(locks[0].mode, "delay") << "a block lock would stop the suspend";
        EXPECT_FALSE(locks[0].why.isEmpty());
    }
    EXPECT_TRUE(InhibitorCountBecomes(0)) << "the lock outlived the object";
}

TEST_F(PowerEvents, SuspendAndResumeReachTheHandlerWithTheLockAroundThem) {
    StartLogind();
    ringmere::PowerEvents power(*bus_);
    ASSERT_TRUE(power.HoldsDelayLock()) << power.ErrorText().toStdString();
    std::vector<Seen> seen;
    QObject::connect(&power, &ringmere::PowerEvents::powerEvent, [&](int code) {
        seen.push_back({code, power.HoldsDelayLock(), Inhibitors().size()});
    });

    EmitPrepareForSleep(true);
    ASSERT_TRUE(SpinUntil([&] { return seen.size() == 1; }));
    EXPECT_EQ(seen[0].code, ringmere::PowerEvents::kSuspend);
    // The system must not sleep before the handler has armed the timer.
    EXPECT_TRUE(seen[0].heldLock);
    EXPECT_EQ(seen[0].locksAtLogind, 1u);
    // Then nothing may hold the suspend up any longer.
    EXPECT_FALSE(power.HoldsDelayLock());
    EXPECT_TRUE(InhibitorCountBecomes(0));

    EmitPrepareForSleep(false);
    ASSERT_TRUE(SpinUntil([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen[1].code, ringmere::PowerEvents::kResume);
    // Taken again before anyone hears of the resume, ready for the next sleep.
    EXPECT_TRUE(seen[1].heldLock);
    EXPECT_EQ(seen[1].locksAtLogind, 1u);
    EXPECT_TRUE(power.HoldsDelayLock());
}

TEST_F(PowerEvents, RepeatedSleepsKeepOneLock) {
    StartLogind();
    ringmere::PowerEvents power(*bus_);
    int events = 0;
    QObject::connect(&power, &ringmere::PowerEvents::powerEvent, [&](int) { ++events; });
    const auto fds = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    const auto before = fds();
    for (int cycle = 1; cycle <= 3; ++cycle) {
        SCOPED_TRACE(cycle);
        EmitPrepareForSleep(true);
        EmitPrepareForSleep(false);
        ASSERT_TRUE(SpinUntil([&] { return events == 2 * cycle; }));
        EXPECT_TRUE(InhibitorCountBecomes(1));
    }
    // A second resume with the lock still held must not take another.
    EmitPrepareForSleep(false);
    ASSERT_TRUE(SpinUntil([&] { return events == 7; }));
    EXPECT_TRUE(InhibitorCountBecomes(1));
    EXPECT_EQ(fds(), before) << "lock descriptors were left open";
}

TEST_F(PowerEvents, OnlyLogindIsHeard) {
    StartLogind();
    // Anyone on the bus may send a signal of logind's interface from its own
    // name; only logind's own count.
    StartMock("org.example.Impostor", {"org.example.Impostor", kPath, kManager});
    ringmere::PowerEvents power(*bus_);
    std::vector<int> codes;
    QObject::connect(&power, &ringmere::PowerEvents::powerEvent,
                     [&](int code) { codes.push_back(code); });
    EmitPrepareForSleep(true, "org.example.Impostor");
    SpinUntil([] { return false; }, 300);
    EXPECT_TRUE(codes.empty());
    EXPECT_TRUE(power.HoldsDelayLock());

    EmitPrepareForSleep(true);
    ASSERT_TRUE(SpinUntil([&] { return !codes.empty(); }));
    EXPECT_EQ(codes, std::vector<int>{ringmere::PowerEvents::kSuspend});
}

TEST_F(PowerEvents, LogindThatRefusesTheLockStillSendsEvents) {
    // A logind without Inhibit, as under a policy that denies the lock.
    StartMock(kLogind, {kLogind, kPath, kManager});
    ringmere::PowerEvents power(*bus_);
    EXPECT_TRUE(power.Available());
    EXPECT_FALSE(power.HoldsDelayLock());
    EXPECT_FALSE(power.ErrorText().isEmpty());
    std::vector<int> codes;
    QObject::connect(&power, &ringmere::PowerEvents::powerEvent,
                     [&](int code) { codes.push_back(code); });
    EmitPrepareForSleep(true);
    EmitPrepareForSleep(false);
    ASSERT_TRUE(SpinUntil([&] { return codes.size() == 2; }));
    EXPECT_EQ(codes, (std::vector<int>{0, 7}));
}

TEST_F(PowerEvents, NoLogindMeansNoPowerEvents) {
    ringmere::PowerEvents power(*bus_);
    EXPECT_FALSE(power.Available());
    EXPECT_FALSE(power.HoldsDelayLock());
    EXPECT_NE(power.ErrorText().indexOf("logind"), -1) << power.ErrorText().toStdString();
}

TEST(PowerEventsWithoutBus, ReportsThatThereAreNoPowerEvents) {
    const QString name = QStringLiteral("ringmere-no-bus");
    {
        const QDBusConnection none =
            QDBusConnection::connectToBus("unix:path=/nonexistent/ringmere-bus", name);
        ringmere::PowerEvents power(none);
        EXPECT_FALSE(power.Available());
        EXPECT_FALSE(power.HoldsDelayLock());
        EXPECT_FALSE(power.ErrorText().isEmpty());
    }
    QDBusConnection::disconnectFromBus(name);
}

}  // namespace
}  // namespace ringmere
