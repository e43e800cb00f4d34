// FTP transfers against a real server on 127.0.0.1 (tests/run/ftp_server.py):
// the worker on its own, then the run window watching it on a fake clock.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTcpServer>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "fake_services.h"
#include "ftp_peer.h"
#include "run/ftp_client.h"
#include "run/ftpthread.h"

namespace ringmere::run {
namespace {

using namespace testing;
using Strings = std::vector<std::string>;

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

FTPRecT Settings(int port, const std::string& path, const QString& local, bool upload) {
    FTPRecT f;
    f.ftpenabled = true;
    f.ftpserver = "127.0.0.1";
    f.ftpport = port;
    f.ftpuser = "user";
    f.ftppass = "secret";
    f.ftppath = path;
    f.ftplocalfile = local.toStdString();
    f.ftpupload = upload;
    f.ftppassive = true;
    return f;
}

struct Attempt {
    int result = 1;
    Strings texts;
};

// Runs one worker to its end; its limits bound the wait.
Attempt RunWorker(const FTPRecT& s, const FtpLimits& limits = {}) {
    auto worker = TFTPThread::Start(s, limits);
    if (!worker) return {};
    while (!worker->Finished()) worker->WaitForNews(1000);
    return {worker->ResultCode(), worker->TakeStatusTexts()};
}

class FtpTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (PeerPython().isEmpty()) GTEST_SKIP() << "python3-pyftpdlib is missing (scripts/dev.sh)";
    }
    QString Local(const QString& name) const { return local_.filePath(name); }
    QTemporaryDir local_;
};

TEST(FtpPathsTest, RemotePathSplitsAtItsLastSlashAndKeepsEveryCharacter) {
    const std::string longDir(300, 'd');
    const std::pair<std::string, RemotePath> cases[] = {
        {"file.txt", {"", "file.txt"}},
        {"pub/in/file.txt", {"pub/in", "file.txt"}},
        {"/abs/file", {"/abs", "file"}},
        {"dir/", {"dir", ""}},
        {longDir + "/f", {longDir, "f"}},
    };
    for (const auto& [path, want] : cases) {
        const RemotePath got = SplitRemotePath(path);
        EXPECT_EQ(got.directory, want.directory) << path;
        EXPECT_EQ(got.file, want.file) << path;
    }
    for (const char* bad : {"../evil", "a/b", "a\\b", "..", "x..y", "/etc/passwd", "", "a\tb"})
        EXPECT_FALSE(SafeListedName(bad)) << bad;
    for (const char* good : {"a.txt", "noext", ".hidden", "with space"})
        EXPECT_TRUE(SafeListedName(good)) << good;
}

TEST_F(FtpTest, SingleFileBothWaysPassiveAndActiveReplacingTheTarget) {
    QByteArray data;
    for (int i = 0; i < 70000; ++i) data += char(i * 7 % 256);
    data += "\r\n\n";
    for (const bool upload : {true, false}) {
        for (const bool passive : {true, false}) {
            SCOPED_TRACE(std::string(upload ? "up" : "down") + (passive ? " passive" : " active"));
            FtpPeer peer;
            ASSERT_NE(peer.port, 0);
            QDir(peer.Root()).mkdir("sub");
            const QString remote = peer.Root() + "/sub/data.bin";
            const QString local = Local(QStringLiteral("data%1%2.bin").arg(upload).arg(passive));
            // The target is longer than the new file: it must be replaced, not appended to.
            WriteFile(upload ? local : remote, data);
            WriteFile(upload ? remote : local, QByteArray(100000, 'x'));
            FTPRecT s = Settings(peer.port, "sub/data.bin", local, upload);
            s.ftppassive = passive;

            const Attempt a = RunWorker(s);
            EXPECT_EQ(a.result, kFtpSucceeded);
            EXPECT_EQ(a.texts, (Strings{"Opening FTP Connection.",
                                        upload ? "Sending " + s.ftplocalfile + "." : "Receiving File.",
                                        std::to_string(data.size()) + " bytes.", "FTP Complete."}));
            EXPECT_EQ(ReadFile(upload ? remote : local), data);
            EXPECT_TRUE(peer.Got("CWD sub"));
            EXPECT_TRUE(peer.Got("TYPE I"));
            const QStringList cmds = peer.Commands();
            const bool active = std::any_of(cmds.begin(), cmds.end(), [](const QString& c) {
                return c.startsWith("EPRT") || c.startsWith("PORT");
            });
            EXPECT_EQ(active, !passive);
        }
    }
}

TEST_F(FtpTest, AsciiDownloadEndsLinesTheLocalWay) {
    FtpPeer peer;
    ASSERT_NE(peer.port, 0);
    WriteFile(peer.Root() + "/notes.txt", "one\ntwo\n");
    FTPRecT s = Settings(peer.port, "notes.txt", Local("notes.txt"), false);
    s.ftpascmode = true;
    EXPECT_EQ(RunWorker(s).result, kFtpSucceeded);
    EXPECT_TRUE(peer.Got("TYPE A"));
    EXPECT_EQ(ReadFile(Local("notes.txt")), "one\ntwo\n");
}

TEST_F(FtpTest, DirectoryBothWays) {
    FtpPeer peer;
    ASSERT_NE(peer.port, 0);
    // Up: every regular file, with or without a dot; no hidden files,
    // sub-directories or FIFOs.
    const QString out = Local("out");
    QDir().mkpath(out + "/subdir");
    WriteFile(out + "/a.txt", "A");
    WriteFile(out + "/noext", "N");
    WriteFile(out + "/.hidden", "H");
    ASSERT_EQ(::mkfifo((out + "/pipe").toLocal8Bit().constData(), 0600), 0);
    QDir(peer.Root()).mkdir("in");
    FTPRecT up = Settings(peer.port, "in/", out, true);
    up.ftptransfertype = 1;
    Attempt a = RunWorker(up);
    EXPECT_EQ(a.result, kFtpSucceeded);
    EXPECT_EQ(QDir(peer.Root() + "/in").entryList(QDir::Files | QDir::Hidden),
              QStringList({"a.txt", "noext"}));
    EXPECT_EQ(std::count(a.texts.begin(), a.texts.end(), "Sending noext."), 1);

    // Down: the name list of the directory, each file beside the others.
    const QString in = Local("in");
    QDir().mkpath(in);
    FTPRecT down = Settings(peer.port, "in/", in, false);
    down.ftptransfertype = 1;
    a = RunWorker(down);
    EXPECT_EQ(a.result, kFtpSucceeded);
    EXPECT_TRUE(peer.Got("NLST")) << "a bare name list, filtered here";
    EXPECT_EQ(ReadFile(in + "/a.txt") + ReadFile(in + "/noext"), "AN");

    // An empty directory transfers nothing and completes.
    QDir(peer.Root()).mkdir("empty");
    down.ftppath = "empty/";
    a = RunWorker(down);
    EXPECT_EQ(a.result, kFtpSucceeded);
    EXPECT_EQ(a.texts.back(), "FTP Complete.");
}

TEST_F(FtpTest, FailuresGiveTheirTextAndCode) {
    FtpPeer peer;
    ASSERT_NE(peer.port, 0);
    QDir().mkpath(Local("empty"));
    WriteFile(Local("keep.txt"), "old contents");
    struct Case {
        const char* name;
        FTPRecT s;
        int result;
        std::string text;  // the last text begins so
    };
    FTPRecT wrongPassword = Settings(peer.port, "x", Local("keep.txt"), false);
    wrongPassword.ftppass = "not-the-password";
    FTPRecT noHost = wrongPassword;
    noHost.ftpserver = std::string(64, 'h') + ".invalid";  // a label too long to look up
    FTPRecT emptyDir = Settings(peer.port, "x", Local("empty"), true);
    emptyDir.ftptransfertype = 1;
    const Case cases[] = {
        {"wrong password", wrongPassword, kFtpConnectFailed, "Failed to connect to FTP Host: "},
        {"no such host", noHost, kFtpConnectFailed,
         "Failed to connect to FTP Host: Host Name Not Found"},
        {"no such directory", Settings(peer.port, "nowhere/x", Local("keep.txt"), false),
         kFtpDirectoryFailed, "Failed to change directory: "},
        {"no such remote file", Settings(peer.port, "missing", Local("keep.txt"), false),
         kFtpDownloadFailed, "Failed to download file: "},
        {"no such local file", Settings(peer.port, "x", Local("missing"), true), kFtpUploadFailed,
         "Failed to upload file: "},
        {"no local files", emptyDir, kFtpDownloadFailed, "No Files Found in Directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Attempt a = RunWorker(c.s);
        EXPECT_EQ(a.result, c.result);
        ASSERT_FALSE(a.texts.empty());
        EXPECT_EQ(a.texts.back().substr(0, c.text.size()), c.text) << a.texts.back();
        for (const std::string& t : a.texts) EXPECT_EQ(t.find("not-the-password"), std::string::npos);
    }
    // A failed download leaves the old local file as it was.
    EXPECT_EQ(ReadFile(Local("keep.txt")), "old contents");
    EXPECT_EQ(QDir(local_.path()).entryList(QDir::Files), QStringList({"keep.txt"}));
}

TEST_F(FtpTest, ListedNameThatLeavesTheDirectoryIsRefused) {
    FtpPeer peer({"--names", "good.txt,../evil"});
    ASSERT_NE(peer.port, 0);
    WriteFile(peer.Root() + "/good.txt", "G");
    WriteFile(peer.Root() + "/evil", "E");
    QDir().mkpath(Local("in"));
    FTPRecT s = Settings(peer.port, "", Local("in"), false);
    s.ftptransfertype = 1;
    const Attempt a = RunWorker(s);
    EXPECT_EQ(a.result, kFtpDownloadFailed);
    EXPECT_EQ(a.texts.back(), "Failed to download file: ../evil");
    EXPECT_EQ(ReadFile(Local("in/good.txt")), "G");
    EXPECT_FALSE(QFile::exists(Local("evil")));
    EXPECT_FALSE(peer.Got("RETR ../evil"));
}

TEST_F(FtpTest, SilentServerIsBoundedAndAbortEndsItsWait) {
    QTcpServer silent;  // accepts (the system does) and never says a word
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    const FTPRecT s = Settings(silent.serverPort(), "x", Local("x"), false);

    FtpLimits tight;
    tight.connectTimeoutMs = 300;
    Attempt a = RunWorker(s, tight);
    EXPECT_EQ(a.result, kFtpConnectFailed);

    // Limits far beyond the test's patience: only the abort can end it.
    FtpLimits loose;
    loose.connectTimeoutMs = loose.responseTimeoutMs = 600000;
    auto worker = TFTPThread::Start(s, loose);
    ASSERT_TRUE(worker);
    worker->WaitForNews(10000);
    EXPECT_EQ(worker->TakeStatusTexts(), Strings{"Opening FTP Connection."});
    worker->Abort();
    ASSERT_TRUE(worker->Join());
    EXPECT_TRUE(worker->Finished());
    EXPECT_EQ(worker->TakeStatusTexts(), Strings{"Failed to connect to FTP Host: Aborted."});
}

TEST_F(FtpTest, FtpsWithACertificateMadeHere) {
    QTemporaryDir certs;
    const QString key = certs.filePath("key.pem"), cert = certs.filePath("cert.pem");
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                              "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                              "-keyout", key, "-out", cert});
    ASSERT_TRUE(openssl.waitForFinished(60000));
    ASSERT_EQ(openssl.exitCode(), 0) << openssl.readAllStandardError().toStdString();
    WriteFile(certs.filePath("both.pem"), ReadFile(cert) + ReadFile(key));
    FtpPeer peer({"--tls", certs.filePath("both.pem")});
    ASSERT_NE(peer.port, 0);
    WriteFile(peer.Root() + "/secret.txt", "S");

    FTPRecT s = Settings(peer.port, "secret.txt", Local("secret.txt"), false);
    s.ftpserver = "ftps://127.0.0.1";
    // Not trusted by the system: refused.
    EXPECT_EQ(RunWorker(s).result, kFtpConnectFailed);
    FtpLimits trusting;
    trusting.caFile = cert.toStdString();
    const Attempt tls = RunWorker(s, trusting);
    EXPECT_EQ(tls.result, kFtpSucceeded) << tls.texts.back();
    EXPECT_EQ(ReadFile(Local("secret.txt")), "S");
    const QStringList cmds = peer.Commands();
    ASSERT_TRUE(cmds.contains("AUTH TLS")) << cmds.join(",").toStdString();
    EXPECT_LT(cmds.indexOf("AUTH TLS"), cmds.indexOf("PASS secret"));
    EXPECT_TRUE(cmds.contains("PROT P"));
}

// The run window watching the worker.
class FtpRunTest : public FtpTest, public RunFixture {
protected:
    void SetUp() override {
        FtpTest::SetUp();
        services.ftp = &client;
    }
    // The log's lines with their times, "hh:mm:ssAM - message".
    Strings TimedLog(const std::string& message) const {
        Strings out;
        const QStringList lines = QString::fromStdString(LogText()).split("\r\n");
        for (const QString& l : lines)
            if (l.endsWith(QString::fromStdString(" - " + message))) out.push_back(l.left(10).toStdString());
        return out;
    }
    FtpClient client;
};

TEST_F(FtpRunTest, StatusTextsBecomeLinesAndProgressKeepsToOne) {
    // Slow enough for the window to see several counts.
    FtpPeer peer({"--throttle", "65536"});
    ASSERT_NE(peer.port, 0);
    WriteFile(peer.Root() + "/big.bin", QByteArray(3 << 16, 'b'));
    AlRec a = Simple("Get");
    a.Ftp = Settings(peer.port, "big.bin", Local("big.bin"), false);
    QPointer<TfrmActiveAlarm> w = Open(a);
    clock.Advance(1000);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->EventLines(), Lines({"Opening FTP Connection.", "Receiving File.",
                                      "196608 bytes.", "FTP Complete.", "Alarm Completed."}));
    const Strings logged = LogMessages();
    EXPECT_EQ(std::count_if(logged.begin(), logged.end(),
                            [](const std::string& l) { return l.find("bytes") != l.npos; }),
              1);
}

// A failure is never taken for progress, whatever its words, and its reason
// reaches the log; each wait is the bound the limits give.
TEST_F(FtpRunTest, AStalledOrNeverConnectedTransferFailsWithItsReasonLogged) {
    struct Case {
        const char* name;
        QStringList peer;
        bool passive;
        QStringList progress;  // shown between "Receiving File." and the failure
        const char* reason;
    };
    const Case cases[] = {
        {"stalled", {"--stall", "50000"}, true, {"50000 bytes."},
         "Failed to download file: Operation too slow. Less than 1 bytes/sec"},
        {"never connected back", {"--no-connect-back"}, false, {},
         "Failed to download file: The server did not connect back within 1 s"},
    };
    client.limits.lowSpeedSeconds = 1;
    client.limits.responseTimeoutMs = 1000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FtpPeer peer(c.peer);
        ASSERT_NE(peer.port, 0);
        WriteFile(peer.Root() + "/big.bin", QByteArray(200000, 'b'));
        AlRec a = Simple("Get");
        a.Ftp = Settings(peer.port, "big.bin", Local("big.bin"), false);
        a.Ftp->ftppassive = c.passive;
        QPointer<TfrmActiveAlarm> w = Open(a);
        QElapsedTimer elapsed;
        elapsed.start();
        clock.Advance(1000);
        ASSERT_TRUE(w);
        // Libcurl's own waits are a minute.
        EXPECT_LT(elapsed.elapsed(), 30000);
        QStringList lines = w->EventLines();
        ASSERT_EQ(lines.size(), 4 + c.progress.size()) << lines.join("|").toStdString();
        EXPECT_EQ(lines.mid(0, 2), Lines({"Opening FTP Connection.", "Receiving File."}));
        EXPECT_EQ(lines.mid(2, c.progress.size()), c.progress);
        EXPECT_TRUE(lines[lines.size() - 2].startsWith(c.reason)) << lines[lines.size() - 2].toStdString();
        EXPECT_EQ(lines.last(), "Alarm Completed.");
        const Strings logged = LogMessages();
        EXPECT_NE(std::find(logged.begin(), logged.end(), lines[lines.size() - 2].toStdString()),
                  logged.end());
        w->close();
        Flush();
    }
}

TEST_F(FtpRunTest, RetriesWaitTheirDelayAndReconnectFirst) {
    FtpPeer peer;
    ASSERT_NE(peer.port, 0);
    FTPRecT f = Settings(peer.port, "x", Local("x"), false);
    f.ftppass = "wrong";
    f.ftpretry = true;
    f.ftpreconnect = true;
    f.ftpdialname = "ISP";
    f.ftpmaxrecon = 4;
    f.ftprecondelay = 5;
    const std::string failed = "Failed to connect to FTP Host: ";

    // A simple alarm: two retries 3 seconds apart (plus one), reconnecting before each.
    std::vector<std::string> asked;
    client.reconnect = [&](RunSession& s, const FtpReconnectRequest& r) {
        asked.push_back(r.entry + " " + std::to_string(r.maxRedials) + " " +
                        std::to_string(r.redialPause));
        s.Report("Reconnecting Internet Connection.");
    };
    f.ftpmaxretry = 2;
    f.ftpdelay = 3;
    AlRec simple = Simple("Retry");
    simple.Ftp = f;
    QPointer<TfrmActiveAlarm> w = Open(simple);
    clock.Advance(60000);
    ASSERT_TRUE(w);
    QStringList lines = w->EventLines();
    EXPECT_EQ(lines.filter(QString::fromStdString(failed)).size(), 3);
    EXPECT_EQ(lines.filter("Retrying FTP in 3 seconds.").size(), 2);
    EXPECT_EQ(lines.filter("Reconnecting Internet Connection.").size(), 2);
    EXPECT_EQ(lines.last(), "Alarm Completed.");
    EXPECT_EQ(asked, Strings({"ISP 4 5", "ISP 4 5"}));
    EXPECT_EQ(TimedLog("Opening FTP Connection."), Strings({"09:00:00AM", "09:00:04AM", "09:00:08AM"}));

    // A step, without dial-up: the delay 0 still waits a second, and the
    // script goes on after the transfer failed for good.
    w->close();
    client.reconnect = nullptr;
    f.ftpmaxretry = 1;
    f.ftpdelay = 0;
    AlEvent step;
    step.evtype = kStepFtp;
    step.Ftp = f;
    w = Open(Script("Step", {step}));
    clock.Advance(60000);
    ASSERT_TRUE(w);
    lines = w->EventLines();
    for (QString& l : lines)
        if (l.startsWith(QString::fromStdString(failed))) l = "failed";
    EXPECT_EQ(lines, Lines({"Opening FTP Connection.", "failed", "Retrying FTP in 0 seconds.",
                            kFtpReconnectUnavailable, "Opening FTP Connection.", "failed",
                            "Script Completed with 1 failed step."}));
    EXPECT_EQ(TimedLog("Opening FTP Connection.").size(), 5u);
    EXPECT_EQ(TimedLog("Opening FTP Connection.").back(), "09:01:01AM");
}

TEST_F(FtpRunTest, CloseDuringAThrottledUploadStopsItWithoutRetrying) {
    FtpPeer peer({"--throttle", "65536"});
    ASSERT_NE(peer.port, 0);
    const QByteArray data(8 << 20, 'u');
    WriteFile(Local("up.bin"), data);
    AlRec a = Simple("Up");
    a.Ftp = Settings(peer.port, "up.bin", Local("up.bin"), true);
    a.Ftp->ftpretry = true;
    a.Ftp->ftpmaxretry = 5;
    QPointer<TfrmActiveAlarm> w = Open(a);
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (w && !w->EventLines().filter(" bytes.").isEmpty()) w->close();
    });
    closer.start(5);
    clock.Advance(1000);
    Flush();
    EXPECT_FALSE(w);
    EXPECT_LT(QFileInfo(peer.Root() + "/up.bin").size(), data.size());
    EXPECT_EQ(peer.Commands().filter("STOR").size(), 1);
    const std::string log = LogText();
    EXPECT_NE(log.find(" - Transfer cancelled.\r\n"), std::string::npos);
    EXPECT_EQ(log.find("Retrying"), std::string::npos);
    EXPECT_EQ(log.find("Alarm Completed."), std::string::npos);
}

TEST_F(FtpRunTest, RunEndsInsideTheRetriesWhenClosedOrWithoutAThread) {
    class Failing : public FtpClient {
    public:
        std::unique_ptr<TFTPThread> StartWorker(const FTPRecT& s) override {
            return ++calls == failAt ? nullptr : FtpClient::StartWorker(s);
        }
        int calls = 0;
        int failAt = 0;
    };
    FtpPeer peer;
    ASSERT_NE(peer.port, 0);
    AlRec a = Simple("Ends");
    a.Ftp = Settings(peer.port, "x", Local("x"), false);
    a.Ftp->ftppass = "wrong";
    a.Ftp->ftpretry = true;
    a.Ftp->ftpmaxretry = 3;
    a.Ftp->ftpdelay = 10;
    // {first start that fails, last line}; none fails: closed 3 s into the first wait.
    const std::pair<int, const char*> cases[] = {
        {1, "Error creating thread."}, {2, "Error creating FTP thread."}, {0, nullptr}};
    for (const auto& [failAt, last] : cases) {
        Failing failing;
        failing.failAt = failAt;
        services.ftp = &failing;
        QPointer<TfrmActiveAlarm> w = Open(a);
        if (!last) clock.At(clock.NowMs() + 3000, [&] { w->close(); });
        clock.Advance(60000);
        if (last) {
            ASSERT_TRUE(w);
            EXPECT_EQ(w->EventLines().last(), last);
            EXPECT_EQ(w->EventLines().size(), failAt == 1 ? 1 : 4);
            w->close();
        }
        Flush();
        EXPECT_FALSE(w);
        EXPECT_EQ(failing.calls, std::max(failAt, 1));
    }
    EXPECT_EQ(peer.Commands().filter("USER").size(), 2);
}

}  // namespace
}  // namespace ringmere::run
