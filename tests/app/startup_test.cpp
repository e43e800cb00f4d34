// Start-up as a user meets it: the real program in its own process.
#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <optional>
#include <unistd.h>

#include "app/startup.h"
#include "core/alarmfile.h"
#include "core/globals.h"

namespace ringmere::app {
namespace {

TEST(Startup, StartupArgumentInAnyLetterCase) {
    struct Case {
        QStringList args;
        bool hidden;
    } cases[] = {
        {{"/usr/bin/ringmere"}, false},
        {{"/usr/bin/ringmere", "startup"}, true},
        {{"/usr/bin/ringmere", "StartUp"}, true},
        {{"/usr/bin/ringmere", "STARTUP"}, true},
        {{"/usr/bin/ringmere", "--startup"}, false},
        {{"/usr/bin/ringmere", "startups"}, false},
        {{"startup"}, true},  // the program path counts too
    };
    for (const Case& c : cases)
        EXPECT_EQ(StartsHidden(c.args), c.hidden) << c.args.join(' ').toStdString();
}

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        for (const char* sub : {"data", "config", "sys", "run"}) QDir(dir_.path()).mkpath(sub);
        QFile::setPermissions(Path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void TearDown() override {
        for (QProcess* p : running_) {
            p->kill();
            p->waitForFinished(5000);
            delete p;
        }
    }

    QString Path(const QString& name) const { return dir_.path() + "/" + name; }

    QProcess* Start(const QStringList& args, const QString& probe,
                    const QMap<QString, QString>& extra = {}) {
        auto* p = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("RINGMERE_DIR", Path("data"));
        env.insert("XDG_CONFIG_HOME", Path("config"));
        env.insert("XDG_CONFIG_DIRS", Path("sys"));
        env.insert("XDG_RUNTIME_DIR", Path("run"));
        env.insert("RINGMERE_STARTUP_PROBE", Path(probe));
        for (auto it = extra.begin(); it != extra.end(); ++it) env.insert(it.key(), it.value());
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(RINGMERE_PROGRAM), args);
        EXPECT_TRUE(p->waitForStarted(5000));
        running_.push_back(p);
        return p;
    }

    // The probe's key=value lines, once the program's event loop runs.
    QMap<QString, QString> Probe(const QString& probe, int timeoutMs = 15000) {
        QElapsedTimer t;
        t.start();
        QMap<QString, QString> values;
        while (t.elapsed() < timeoutMs) {
            QFile f(Path(probe));
            if (f.open(QIODevice::ReadOnly)) {
                for (const QByteArray& line : f.readAll().split('\n')) {
                    const int eq = line.indexOf('=');
                    if (eq > 0) values[line.left(eq)] = line.mid(eq + 1);
                }
                if (values.contains("shown")) return values;
            }
            QThread::msleep(50);
        }
        return values;
    }

    QTemporaryDir dir_;
    std::vector<QProcess*> running_;
};

TEST_F(Program, StartsHiddenWithStartupInAnyCase) {
    Start({"StartUp"}, "hidden");
    EXPECT_EQ(Probe("hidden").value("shown"), "0");
}

TEST_F(Program, StartsShownWithoutTheArgument) {
    Globals g;
    g.ProgramDir = Path("data/").toStdString();
    SetDefaultSettings(g);
    SilentReporter quiet;
    ASSERT_EQ(WriteAlarmFile(g, g.LocalAlarmFilePath(), quiet), kFileDone);
    Start({}, "shown");
    EXPECT_EQ(Probe("shown").value("shown"), "1");
}

TEST_F(Program, WithoutAnAlarmFileTheWindowOpensWithTheSetUpWizard) {
    Start({}, "shown");
    EXPECT_EQ(Probe("shown").value("shown"), "2");
}

// A new installation logs from its first start; a file keeps its own setting.
TEST_F(Program, LogsFromTheFirstStartUnlessTheFileSaysOtherwise) {
    const struct {
        const char* name;
        std::optional<bool> fileLogs;  // nullopt: no alarm file yet
        bool logs;
    } cases[] = {{"new", std::nullopt, true}, {"off", false, false}, {"on", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString data = Path(QString("data-") + c.name);
        QDir().mkpath(data);
        if (c.fileLogs) {
            Globals g;
            g.ProgramDir = (data + "/").toStdString();
            SetDefaultSettings(g);
            g.Settings.enablelogging = *c.fileLogs;
            SilentReporter quiet;
            ASSERT_EQ(WriteAlarmFile(g, g.LocalAlarmFilePath(), quiet), kFileDone);
        }
        // A runtime folder of its own: the copy started before is still running.
        const QString run = Path(QString("run-") + c.name);
        QDir().mkpath(run);
        QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Start({}, c.name, {{"RINGMERE_DIR", data}, {"XDG_RUNTIME_DIR", run}});
        ASSERT_TRUE(Probe(c.name).contains("shown"));
        EXPECT_EQ(QFile::exists(data + "/allog.txt"), c.logs);
    }
}

TEST_F(Program, ASecondCopyHandsOverAndEndsWithoutAWindow) {
    Start({"startup"}, "first");
    ASSERT_FALSE(Probe("first").isEmpty());
    QProcess* second = Start({}, "second");
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_FALSE(QFile::exists(Path("second")));  // it never reached its event loop
    EXPECT_EQ(running_.front()->state(), QProcess::Running);
}

TEST_F(Program, ACrashedCopyDoesNotStopTheNextStart) {
    QProcess* first = Start({"startup"}, "first");
    ASSERT_FALSE(Probe("first").isEmpty());
    first->kill();  // no clean-up: its socket stays behind
    first->waitForFinished(5000);
    Start({"startup"}, "again");
    EXPECT_EQ(Probe("again").value("shown"), "0");
}

TEST_F(Program, AnOldAlarmFileIsUpgradedAtStart) {
    QFile old(Path("data/alfile.ini"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(
        "[Alarm Info]\r\nVersion=1.3\r\nUseSMTP=0\r\nSMTP Server=\r\nReplyTo=\r\n"
        "UserMode=Single\r\nAlarmFile=\r\n[sw129]\r\ngExCnt=0\r\nAlarm Count=0\r\n");
    old.close();
    Start({"startup"}, "probe");
    ASSERT_FALSE(Probe("probe").isEmpty());
    QFile upgraded(Path("data/alfile.ini"));
    ASSERT_TRUE(upgraded.open(QIODevice::ReadOnly));
    const QByteArray text = upgraded.readAll();
    EXPECT_TRUE(text.contains("\r\nVersion=2.10\r\n"));
    EXPECT_TRUE(text.contains("\r\nallowWake=0\r\n"));  // on: booleans are stored inverted
}

}  // namespace
}  // namespace ringmere::app

namespace ringmere::app {
namespace {

TEST_F(Program, ARefusedSocketFolderIsReportedAndTheProgramRunsOn) {
    // No private runtime folder, and the fallback one open to everyone.
    QDir(dir_.path()).mkpath("open");
    QDir(dir_.path()).mkpath(QStringLiteral("tmp/ringmere-%1").arg(getuid()));
    for (const QString& open :
         {Path("open"), Path(QStringLiteral("tmp/ringmere-%1").arg(getuid()))})
        QFile::setPermissions(open, QFile::Permissions(0x7777));
    Start({"startup"}, "probe", {{"XDG_RUNTIME_DIR", Path("open")}, {"TMPDIR", Path("tmp")}});
    const QMap<QString, QString> probe = Probe("probe");
    EXPECT_TRUE(probe.value("box").startsWith(
        "A second start of Ringmere will not find this one: Not using"))
        << probe.value("box").toStdString();
    EXPECT_EQ(probe.value("shown"), "1");  // the box alone: started hidden
}

TEST_F(Program, ATerminationSignalEndsItAsTheExitCommandDoes) {
    QProcess* p = Start({"startup"}, "probe");
    ASSERT_FALSE(Probe("probe").isEmpty());
    p->terminate();  // SIGTERM
    ASSERT_TRUE(p->waitForFinished(10000));
    EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
    // Killed by the signal it would end with CrashExit; the exit command
    // returns from the event loop with status 0.
    EXPECT_EQ(p->exitCode(), 0);
}

}  // namespace
}  // namespace ringmere::app
