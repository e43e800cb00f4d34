#include "platform/single_instance.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLockFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ringmere {
namespace {

namespace fs = std::filesystem;

// Runs the event loop until `done` holds or `ms` have passed.
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

// One copy of the stand-in program, with what it printed so far.
class Copy {
public:
    explicit Copy(const QString& socket) {
        process_.setProgram(QStringLiteral(RINGMERE_SINGLE_INSTANCE_PEER));
        process_.setArguments({socket});
        process_.start();
        process_.waitForStarted();
    }
    ~Copy() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    std::string Output() {
        output_ += process_.readAllStandardOutput().toStdString();
        return output_;
    }
    int Count(const std::string& line) {
        const std::string text = Output();
        int n = 0;
        for (std::size_t at = 0; (at = text.find(line + "\n", at)) != std::string::npos; ++at) ++n;
        return n;
    }
    bool WaitFor(const std::string& line, int times = 1) {
        return SpinUntil([&] { return Count(line) >= times || Ended(); }) && Count(line) >= times;
    }
    bool WaitForEnd() {
        return SpinUntil([&] { return Ended(); });
    }
    bool Ended() const { return process_.state() == QProcess::NotRunning; }
    int ExitCode() const { return process_.exitCode(); }
    QString Errors() { return QString::fromLocal8Bit(process_.readAllStandardError()); }
    void CloseInput() { process_.closeWriteChannel(); }
    void Crash() {
        process_.kill();  // SIGKILL: nothing gets cleaned up
        process_.waitForFinished();
    }

private:
    QProcess process_;
    std::string output_;
};

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "ringmere-single-XXXXXX").string();
        dir_ = mkdtemp(tmpl.data());
        socket_ = QString::fromStdString(dir_ + "/MyApplicationSign-test");
    }
    void TearDown() override { fs::remove_all(dir_); }

    bool SocketFileExists() const { return fs::exists(socket_.toStdString()); }

    std::string dir_;
    QString socket_;
};

TEST_F(SingleInstance, LaterCopiesAskTheFirstToShowAndEndWithStatusZero) {
    Copy first(socket_);
    ASSERT_TRUE(first.WaitFor("listening")) << first.Errors().toStdString();

    for (int n = 1; n <= 2; ++n) {
        SCOPED_TRACE(n);
        Copy later(socket_);
        ASSERT_TRUE(later.WaitForEnd());
        EXPECT_EQ(later.ExitCode(), 0);
        EXPECT_EQ(later.Output(), "handed over\n") << "a later copy must not start up";
        EXPECT_TRUE(first.WaitFor("show", n));
    }
    EXPECT_FALSE(first.Ended());
    EXPECT_EQ(first.Count("show"), 2);

    // A copy that ends normally takes its socket with it.
    first.CloseInput();
    ASSERT_TRUE(first.WaitForEnd());
    EXPECT_EQ(first.ExitCode(), 0);
    EXPECT_FALSE(SocketFileExists());
    Copy next(socket_);
    EXPECT_TRUE(next.WaitFor("listening")) << next.Errors().toStdString();
}

TEST_F(SingleInstance, SocketOfACrashedCopyDoesNotStopTheNextStart) {
    {
        Copy crashed(socket_);
        ASSERT_TRUE(crashed.WaitFor("listening"));
        crashed.Crash();
    }
    ASSERT_TRUE(SocketFileExists()) << "the crash should have left its socket behind";

    Copy next(socket_);
    ASSERT_TRUE(next.WaitFor("listening")) << next.Errors().toStdString();
    EXPECT_EQ(next.Count("handed over"), 0);

    // And the new copy is the one that later copies reach.
    Copy later(socket_);
    ASSERT_TRUE(later.WaitForEnd());
    EXPECT_EQ(later.ExitCode(), 0);
    EXPECT_TRUE(next.WaitFor("show"));
}

TEST_F(SingleInstance, CopiesStartedTogetherLeaveExactlyOneRunning) {
    std::vector<std::unique_ptr<Copy>> copies;
    for (int i = 0; i < 4; ++i) copies.push_back(std::make_unique<Copy>(socket_));
    auto ended = [&] {
        int n = 0;
        for (auto& c : copies) n += c->Ended();
        return n;
    };
    ASSERT_TRUE(SpinUntil([&] { return ended() >= 3; }, 10000));
    SpinUntil([] { return false; }, 300);  // a fourth one ending would be a fault
    ASSERT_EQ(ended(), 3);
    for (auto& c : copies) {
        if (!c->Ended()) {
            EXPECT_TRUE(c->WaitFor("listening"));
            EXPECT_TRUE(c->WaitFor("show", 3));
        } else {
            EXPECT_EQ(c->ExitCode(), 0) << c->Errors().toStdString();
            EXPECT_EQ(c->Output(), "handed over\n");
        }
    }
}

TEST_F(SingleInstance, ClaimWaitsWhileAnotherCopyIsClaiming) {
    // The lock a copy holds between looking for the socket and listening.
    QLockFile claiming(socket_ + ".lock");
    ASSERT_TRUE(claiming.lock());
    Copy copy(socket_);
    SpinUntil([] { return false; }, 600);
    EXPECT_EQ(copy.Count("listening"), 0) << "claimed the name under another copy's lock";
    claiming.unlock();
    EXPECT_TRUE(copy.WaitFor("listening")) << copy.Errors().toStdString();
}

TEST_F(SingleInstance, ListenLeavesTheSocketOfALiveCopyAlone) {
    ringmere::SingleInstance running(socket_);
    int shows = 0;
    QObject::connect(&running, &ringmere::SingleInstance::showRequested, [&] { ++shows; });
    ASSERT_TRUE(running.Listen()) << running.ErrorText().toStdString();

    // A copy that missed the first one (they started together) must not take
    // the name over.
    ringmere::SingleInstance late(socket_);
    EXPECT_FALSE(late.Listen());
    EXPECT_FALSE(late.ErrorText().isEmpty());
    EXPECT_TRUE(running.IsListening());

    Copy later(socket_);
    ASSERT_TRUE(SpinUntil([&] { return later.Ended(); }));
    EXPECT_EQ(later.Output(), "handed over\n");
    ASSERT_TRUE(SpinUntil([&] { return shows > 0; }));
    // The probe of the late copy asked for nothing.
    SpinUntil([] { return false; }, 200);
    EXPECT_EQ(shows, 1);
}

TEST_F(SingleInstance, NoOtherCopyMeansAPrivateSocketOfOurOwn) {
    ringmere::SingleInstance alone(socket_);
    EXPECT_FALSE(alone.AnotherCopyRunning());
    ASSERT_TRUE(alone.Listen());

    // Only the user may reach the socket.
    struct stat st {};
    ASSERT_EQ(stat(socket_.toLocal8Bit().constData(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & (S_IRWXG | S_IRWXO), 0u) << std::oct << st.st_mode;
}

TEST_F(SingleInstance, DefaultNameIsPerUserAndPrivateWhereItCanBe) {
    const std::optional<std::string> saved =
        std::getenv("XDG_RUNTIME_DIR") ? std::optional<std::string>(std::getenv("XDG_RUNTIME_DIR"))
                                       : std::nullopt;
    const QString suffix = QStringLiteral("MyApplicationSign-%1").arg(getuid());

    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    EXPECT_EQ(ringmere::SingleInstance::DefaultServerName(),
              QString::fromStdString(dir_) + "/" + suffix);
    // Without a runtime folder Qt puts the bare name in the temporary folder.
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(ringmere::SingleInstance::DefaultServerName(), suffix);
    setenv("XDG_RUNTIME_DIR", (dir_ + "/missing").c_str(), 1);
    EXPECT_EQ(ringmere::SingleInstance::DefaultServerName(), suffix);

    if (saved)
        setenv("XDG_RUNTIME_DIR", saved->c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace ringmere
