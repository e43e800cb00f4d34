// A private D-Bus with logind played by python3-dbusmock: power events can be
// sent and the inhibitor locks read back, and no system bus is touched.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

namespace ringmere::fixtures {

namespace fs = std::filesystem;

inline const QString kLogind = QStringLiteral("org.freedesktop.login1");
inline const QString kPath = QStringLiteral("/org/freedesktop/login1");
inline const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

template <class Done>
inline bool SpinUntil(Done done, int ms = 5000) {
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
inline QString DbusmockPython() {
    for (const QString& python : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        if (QProcess::execute(python, {"-c", "import dbusmock"}) == 0) return python;
    }
    return {};
}

inline void Stop(QProcess& process) {
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
class LogindMock : public ::testing::Test {
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

}  // namespace ringmere::fixtures
