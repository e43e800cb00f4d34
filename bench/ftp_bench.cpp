// The FTP worker's figures over 127.0.0.1, against tests/run/ftp_server.py:
// a 100 MB binary download and upload (with cp of the same file as the
// limit), and the time from an abort, as closing the run window asks it, to
// the worker's end, during a throttled transfer and with a silent server.
//
//   ftp_bench [megabytes]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

#include "run/ftpthread.h"

using namespace ringmere;
using namespace ringmere::run;

namespace {

class Server {
public:
    Server(const QString& root, const QStringList& options = {}) {
        for (const QString& python : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
            process_.start(python, QStringList{RINGMERE_FTP_SERVER, root} + options);
            while (!process_.canReadLine() && process_.waitForReadyRead(30000)) {
            }
            port = process_.readLine().trimmed().toInt();
            if (port) return;
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    ~Server() {
        process_.kill();
        process_.waitForFinished(10000);
    }
    int port = 0;

private:
    QProcess process_;
};

FTPRecT Settings(int port, const std::string& path, const QString& local, bool upload) {
    FTPRecT f;
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

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Seconds from start to the worker's end; negative on failure.
double Transfer(const FTPRecT& s) {
    QElapsedTimer t;
    t.start();
    auto worker = TFTPThread::Start(s, {});
    while (!worker->Finished()) worker->WaitForNews(1000);
    return worker->ResultCode() == kFtpSucceeded ? t.nsecsElapsed() / 1e9 : -1;
}

// Milliseconds from Abort to the end of the thread, once `ready` holds.
template <typename Ready>
double AbortTime(const FTPRecT& s, Ready ready) {
    auto worker = TFTPThread::Start(s, {});
    std::vector<std::string> seen;
    while (!worker->Finished()) {
        for (auto& text : worker->TakeStatusTexts()) seen.push_back(text);
        if (ready(seen)) break;
        worker->WaitForNews(20);
    }
    // Whatever the worker is in the middle of when the window closes.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    QElapsedTimer t;
    t.start();
    worker->Abort();
    worker->Join();
    return t.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int mb = argc > 1 ? std::max(1, atoi(argv[1])) : 100;
    QTemporaryDir dir;
    const QString root = dir.filePath("root"), local = dir.filePath("local");
    QDir().mkpath(root);
    QDir().mkpath(local);
    {
        QFile f(local + "/data.bin");
        f.open(QIODevice::WriteOnly);
        std::vector<quint32> chunk(1 << 18);
        for (int i = 0; i < mb; ++i) {
            QRandomGenerator::global()->fillRange(chunk.data(), chunk.size());
            f.write(reinterpret_cast<const char*>(chunk.data()), qint64(chunk.size() * 4));
        }
    }
    Server server(root);
    if (!server.port) {
        std::fprintf(stderr, "the test server did not start (python3-pyftpdlib)\n");
        return 1;
    }

    std::vector<double> cp, down, up;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        QProcess::execute("cp", {local + "/data.bin", local + "/copy.bin"});
        cp.push_back(t.nsecsElapsed() / 1e9);
        QFile::remove(local + "/copy.bin");
        up.push_back(Transfer(Settings(server.port, "data.bin", local + "/data.bin", true)));
        down.push_back(Transfer(Settings(server.port, "data.bin", local + "/back.bin", false)));
    }
    const auto rate = [mb](double s) { return s > 0 ? mb / s : 0.0; };
    std::printf("%d MB binary over 127.0.0.1 (median of 3, whole attempt: login to QUIT)\n", mb);
    std::printf("  cp        %7.3f s  %7.1f MB/s\n", Median(cp), rate(Median(cp)));
    std::printf("  upload    %7.3f s  %7.1f MB/s\n", Median(up), rate(Median(up)));
    std::printf("  download  %7.3f s  %7.1f MB/s\n", Median(down), rate(Median(down)));

    Server slow(root, {"--throttle", "1048576"});
    std::vector<double> during, silent;
    for (int i = 0; i < 5; ++i) {
        during.push_back(AbortTime(Settings(slow.port, "slow.bin", local + "/data.bin", true),
                                   [](const std::vector<std::string>& seen) {
                                       return !seen.empty() &&
                                              seen.back().find(" bytes.") != std::string::npos;
                                   }));
        QTcpServer mute;  // accepts (the system does) and never answers
        mute.listen(QHostAddress::LocalHost, 0);
        silent.push_back(AbortTime(Settings(mute.serverPort(), "x", local + "/x", false),
                                   [](const std::vector<std::string>& seen) { return !seen.empty(); }));
    }
    std::printf("Abort to the worker's end (median / max of 5)\n");
    std::printf("  during a throttled upload  %6.1f / %6.1f ms\n", Median(during),
                *std::max_element(during.begin(), during.end()));
    std::printf("  silent server              %6.1f / %6.1f ms\n", Median(silent),
                *std::max_element(silent.begin(), silent.end()));
    return 0;
}
