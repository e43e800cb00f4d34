// The web server the web client's tests talk to, and a client's program folder.
#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <chrono>
#include <filesystem>
#include <string>

#include "core/globals.h"
#include "tests/core/alarmfile_testing.h"

namespace ringmere::net::testing {

using ringmere::testing::ReadDataFile;
using ringmere::testing::ReplaceLine;
using ringmere::testing::ScratchDir;
using ringmere::testing::WriteText;

// A server file with two alarms; `name` replaces the first one's name.
inline std::string ServerText(const std::string& name = "Simple") {
    return ReplaceLine(ReadDataFile("versions/v2.10.ini"), "AlName=Simple", "AlName=" + name);
}

// tests/net/web_server.py on 127.0.0.1, serving `file`; ends with the test.
// With `tlsDir` it speaks HTTPS, its certificate in tlsDir + "/cert.pem".
class WebServer {
public:
    explicit WebServer(const std::string& file, const std::string& tlsDir = "")
        : scheme_(tlsDir.empty() ? "http" : "https") {
        const QString script = QStringLiteral(RINGMERE_TEST_DATA "/../net/web_server.py");
        QStringList args{script, QString::fromStdString(file)};
        if (!tlsDir.empty()) args << QStringLiteral("--tls") << QString::fromStdString(tlsDir);
        process_.start(QStringLiteral("python3"), args);
        if (!process_.waitForStarted(10000) || !process_.waitForReadyRead(10000)) {
            ADD_FAILURE() << "the web server did not start";
            return;
        }
        port_ = process_.readLine().trimmed().toInt();
        EXPECT_GT(port_, 0);
    }
    ~WebServer() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }
    std::string Url(const std::string& path) const {
        return scheme_ + "://127.0.0.1:" + std::to_string(port_) + path;
    }

private:
    std::string scheme_;
    QProcess process_;
    int port_ = 0;
};

// Moves a file's modification time two minutes on, so that a rewrite is
// newer whatever the clock's resolution.
inline void MakeNewer(const std::string& path) {
    const auto t = std::filesystem::last_write_time(path);
    std::filesystem::last_write_time(path, t + std::chrono::minutes(2));
}

}  // namespace ringmere::net::testing
