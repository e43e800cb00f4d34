#include "platform/single_instance.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QThread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
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

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    explicit ScopedEnv(const char* name) : name_(name) {
        if (const char* v = std::getenv(name)) saved_ = v;
    }
    ~ScopedEnv() {
        if (saved_)
            setenv(name_, saved_->c_str(), 1);
        else
            unsetenv(name_);
    }
    void Set(const std::string& value) { setenv(name_, value.c_str(), 1); }
    void Unset() { unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST_F(SingleInstance, DefaultNameIsPerUserAndInAFolderOfTheUsersAlone) {
    ScopedEnv runtime("XDG_RUNTIME_DIR");
    ScopedEnv tmpdir("TMPDIR");
    const QString suffix = QStringLiteral("MyApplicationSign-%1").arg(getuid());
    const std::string own = dir_ + "/ringmere-" + std::to_string(getuid());
    tmpdir.Set(dir_);

    chmod(dir_.c_str(), 0700);
    runtime.Set(dir_);
    EXPECT_EQ(ringmere::SingleInstance::DefaultServerName(),
              QString::fromStdString(dir_) + "/" + suffix);
    EXPECT_FALSE(fs::exists(own));

    // Without a runtime folder of the user's own, a folder of our own in the
    // temporary folder, made for the purpose.
    for (const std::string& unusable : {dir_ + "/missing", std::string()}) {
        unusable.empty() ? runtime.Unset() : runtime.Set(unusable);
        EXPECT_EQ(ringmere::SingleInstance::DefaultServerName(),
                  QString::fromStdString(own) + "/" + suffix);
        struct stat st {};
        ASSERT_EQ(lstat(own.c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 07777, 0700u) << std::oct << st.st_mode;
    }
    chmod(dir_.c_str(), 0755);  // a runtime folder open to others is not used
    runtime.Set(dir_);
    EXPECT_EQ(ringmere::SingleInstance::DefaultServerName(),
              QString::fromStdString(own) + "/" + suffix);
}

TEST_F(SingleInstance, APrivateFolderThatIsNotPrivateIsRefused) {
    ScopedEnv runtime("XDG_RUNTIME_DIR");
    ScopedEnv tmpdir("TMPDIR");
    runtime.Unset();
    tmpdir.Set(dir_);
    const std::string own = dir_ + "/ringmere-" + std::to_string(getuid());
    const struct {
        const char* what;
        std::function<void()> plant;
        const char* error;
    } cases[] = {
        {"open to others", [&] { mkdir(own.c_str(), 0777), chmod(own.c_str(), 0777); },
         "open to other users (mode 0777)"},
        {"group-readable", [&] { mkdir(own.c_str(), 0750); }, "open to other users (mode 0750)"},
        {"a link",
         [&] { mkdir((dir_ + "/elsewhere").c_str(), 0700), symlink("elsewhere", own.c_str()); },
         "is not a folder"},
        {"a file", [&] { close(creat(own.c_str(), 0600)); }, "is not a folder"},
        {"another user's",
         [&] { mkdir(own.c_str(), 0700), (void)chown(own.c_str(), getuid() + 1, getgid()); },
         "belongs to another user"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(own);
        fs::remove_all(dir_ + "/elsewhere");
        c.plant();
        if (std::string(c.what) == "another user's" && geteuid() != 0) continue;  // needs root
        QString error;
        EXPECT_EQ(ringmere::SingleInstance::DefaultServerName(&error), QString());
        EXPECT_TRUE(error.contains(QString::fromLatin1(c.error))) << error.toStdString();

        // The program then goes on without the hand-over: it never ends
        // because of a folder it cannot trust.
        ringmere::SingleInstance instance;
        EXPECT_FALSE(instance.AnotherCopyRunning());
        EXPECT_FALSE(instance.Listen());
        EXPECT_FALSE(instance.ErrorText().isEmpty());
    }
}

TEST_F(SingleInstance, ALockThatStaysTakenDoesNotTurnTheCheckOff) {
    // As a planted lock file, or a copy that hangs while claiming.
    QLockFile planted(socket_ + ".lock");
    ASSERT_TRUE(planted.lock());
    ringmere::SingleInstance instance(socket_);
    EXPECT_TRUE(instance.Listen(50)) << instance.ErrorText().toStdString();
    EXPECT_TRUE(instance.IsListening());
}

// A stand-in for a hostile peer listening on the name: it sends `chunk` bytes
// without a newline, again and again, until the other end hangs up or `cap`
// bytes are out.
class FloodingPeer {
public:
    FloodingPeer(const std::string& path, std::size_t chunk, std::chrono::milliseconds pause,
                 std::size_t cap) {
        listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        bound_ = bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                 listen(listener_, 4) == 0;
        thread_ = std::thread([this, chunk, pause, cap] {
            const int peer = accept(listener_, nullptr, nullptr);
            if (peer < 0) return;
            const std::string data(chunk, 'x');
            while (sent_ < cap) {
                const ssize_t n = send(peer, data.data(), data.size(), MSG_NOSIGNAL);
                if (n <= 0) break;
                sent_ += static_cast<std::size_t>(n);
                if (pause.count() > 0) std::this_thread::sleep_for(pause);
            }
            close(peer);
        });
    }
    ~FloodingPeer() {
        shutdown(listener_, SHUT_RDWR);
        if (thread_.joinable()) thread_.join();
        close(listener_);
    }
    bool Bound() const { return bound_; }
    std::size_t Sent() {
        if (thread_.joinable()) thread_.join();
        return sent_;
    }

private:
    int listener_ = -1;
    bool bound_ = false;
    std::size_t sent_ = 0;
    std::thread thread_;
};

TEST_F(SingleInstance, AnEndlessOrSlowAnswerDoesNotHoldStartUp) {
    using std::chrono::milliseconds;
    const struct {
        const char* what;
        std::size_t chunk;
        milliseconds pause;
        std::size_t cap;
        int timeoutMs;  // the whole exchange
    } cases[] = {
        // Ended by the size bound alone: the time-out would allow a minute.
        {"endless", 65536, milliseconds(0), std::size_t{256} << 20, 60000},
        // One byte at a time, each well within the time-out of a single wait.
        {"slow", 1, milliseconds(10), 3000, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = dir_ + "/" + c.what;
        FloodingPeer peer(path, c.chunk, c.pause, c.cap);
        ASSERT_TRUE(peer.Bound());
        ringmere::SingleInstance instance(QString::fromStdString(path));
        EXPECT_TRUE(instance.AnotherCopyRunning(c.timeoutMs));
        // The peer stopped because we hung up, long before its cap.
        EXPECT_LT(peer.Sent(), c.cap);
    }
}

TEST_F(SingleInstance, APeerWithAnOverlongLineIsDropped) {
    ringmere::SingleInstance running(socket_);
    int shows = 0;
    QObject::connect(&running, &ringmere::SingleInstance::showRequested, [&] { ++shows; });
    ASSERT_TRUE(running.Listen());

    QLocalSocket peer;
    peer.connectToServer(socket_);
    ASSERT_TRUE(peer.waitForConnected(2000));
    peer.write(QByteArray(8192, 'x') + "\nshow\n");
    ASSERT_TRUE(SpinUntil([&] { return peer.state() == QLocalSocket::UnconnectedState; }, 10000));
    EXPECT_EQ(shows, 0);
}

// Root can run a peer as another user; it must not be taken for a copy of ours.
TEST_F(SingleInstance, APeerOfAnotherUserIsNoCopyOfOurs) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    const std::string open = dir_ + "/open";
    mkdir(open.c_str(), 0777);
    chmod(open.c_str(), 0777);
    chmod(dir_.c_str(), 0711);
    const std::string path = open + "/MyApplicationSign-test";
    int ready[2], quit[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(quit), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        close(quit[1]);
        if (setuid(65534) != 0) _exit(1);
        const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        if (bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            listen(listener, 4) != 0)
            _exit(2);
        chmod(path.c_str(), 0777);
        (void)!write(ready[1], "r", 1);
        char c;
        (void)!read(quit[0], &c, 1);  // until the test is done
        _exit(0);
    }
    close(ready[1]);
    close(quit[0]);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ringmere::SingleInstance instance(QString::fromStdString(path));
    EXPECT_FALSE(instance.AnotherCopyRunning(2000));
    close(quit[1]);
    close(ready[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace ringmere
