// A mail server on 127.0.0.1 for the mail tests and figures: the script
// tests/run/smtp_server.py, with what it received.
#pragma once

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>
#include <QTemporaryDir>
#include <string>
#include <vector>

#ifndef RINGMERE_SMTP_SERVER
#define RINGMERE_SMTP_SERVER RINGMERE_TEST_DATA "/../run/smtp_server.py"
#endif

namespace ringmere::run::testing {

// Debian's aiosmtpd lives with the system's Python.
inline QString MailPython() {
    static const QString python = [] {
        for (const QString& p : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")})
            if (QProcess::execute(p, {"-c", "import aiosmtpd"}) == 0) return p;
        return QString();
    }();
    return python;
}

class SmtpPeer {
public:
    explicit SmtpPeer(const char* mode) {
        const QString python = MailPython();
        if (python.isEmpty()) return;
        process_.start(python, {QStringLiteral(RINGMERE_SMTP_SERVER),
                                dir_.path(), QString::fromLatin1(mode)});
        while (process_.waitForReadyRead(20000) && !process_.canReadLine()) {
        }
        port = process_.readLine().trimmed().toInt();
    }
    ~SmtpPeer() {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port); }
    std::string Ca() const { return dir_.filePath(QStringLiteral("cert.pem")).toStdString(); }
    std::vector<QJsonObject> Events(const char* kind) const {
        std::vector<QJsonObject> out;
        QFile f(dir_.filePath(QStringLiteral("events.jsonl")));
        if (!f.open(QIODevice::ReadOnly)) return out;
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (o.value("event").toString() == QLatin1String(kind)) out.push_back(o);
        }
        return out;
    }
    // A command for the server ("resume").
    void Tell(const char* line) {
        process_.write(QByteArray(line) + "\n");
        process_.waitForBytesWritten(5000);
    }
    // Whether the server records a `kind` event within the bound, which is
    // generous: it only ends a test that would otherwise wait for ever.
    bool AwaitEvent(const char* kind, int boundMs = 20000) const {
        const QDeadlineTimer deadline(boundMs);
        while (Events(kind).empty()) {
            if (deadline.hasExpired()) return false;
            QThread::msleep(10);
        }
        return true;
    }
    std::string Data(std::size_t n = 0) const {
        const auto m = Events("message");
        return n < m.size() ? m[n].value("data").toString().toLatin1().toStdString() : "";
    }

    int port = 0;

private:
    QTemporaryDir dir_;
    QProcess process_;
};

}  // namespace ringmere::run::testing
