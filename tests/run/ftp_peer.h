// An FTP server on 127.0.0.1 for the transfer tests: the script
// tests/run/ftp_server.py, serving Root() to "user" / "secret".
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace ringmere::run::testing {

inline QString PeerPython() {
    for (const QString& python : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")})
        if (QProcess::execute(python, {"-c", "import pyftpdlib"}) == 0) return python;
    return {};
}

// Every command the server got is in Commands(), as "CMD arg".
class FtpPeer {
public:
    explicit FtpPeer(const QStringList& options = {}) {
        QDir().mkpath(Root());
        const QString python = PeerPython();
        if (python.isEmpty()) return;
        const QString script =
            QDir::cleanPath(QStringLiteral(RINGMERE_TEST_DATA "/../run/ftp_server.py"));
        process_.start(python, QStringList{script, Root(), "--log", dir_.filePath("commands")} +
                                   options);
        while (!process_.canReadLine() && process_.waitForReadyRead(30000)) {
        }
        port = process_.readLine().trimmed().toInt();
    }
    ~FtpPeer() {
        process_.kill();
        process_.waitForFinished(10000);
    }
    QString Root() const { return dir_.filePath("root"); }
    QStringList Commands() const {
        QFile f(dir_.filePath("commands"));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    bool Got(const QString& command) const { return Commands().contains(command); }

    int port = 0;

private:
    QTemporaryDir dir_;
    QProcess process_;
};

}  // namespace ringmere::run::testing
