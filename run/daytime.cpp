#include "run/daytime.h"

#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QUdpSocket>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/datetime.h"
#include "run/waiting.h"

namespace ringmere::run {

namespace {

constexpr quint16 kDaytimePort = 13;
constexpr quint16 kNtpPort = 123;
// Seconds from 1 January 1900 (NTP's epoch) to 1 January 1970.
constexpr qint64 kNtpToUnix = 2208988800LL;
constexpr qint64 kNtpEra = 1LL << 32;
// A daytime line is some 50 characters; a server that goes on and on is
// not one, and it may not fill the memory.
constexpr int kMaxReply = 4096;
constexpr int kPollMs = 20;

qint64 NowUtcMicroseconds() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

std::optional<quint16> PortOf(const QString& text) {
    bool ok = false;
    const uint port = text.toUInt(&ok);
    if (!ok || port < 1 || port > 65535) return std::nullopt;
    return quint16(port);
}

quint64 ReadBigEndian64(const QByteArray& b, int at) {
    quint64 v = 0;
    for (int i = 0; i < 8; ++i) v = (v << 8) | quint8(b[at + i]);
    return v;
}

}  // namespace

ServerAddress ParseServer(const QString& text) {
    ServerAddress a;
    QString rest = text.trimmed();
    if (rest.startsWith(QLatin1String("ntp://"), Qt::CaseInsensitive)) {
        a.sntp = true;
        a.port = kNtpPort;
        rest = rest.mid(6);
        if (rest.endsWith(QLatin1Char('/'))) rest.chop(1);
    }
    QString portText;
    if (rest.startsWith(QLatin1Char('['))) {  // [IPv6]:port
        const int close = rest.indexOf(QLatin1Char(']'));
        if (close < 0) return a;
        a.host = rest.mid(1, close - 1);
        const QString after = rest.mid(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(QLatin1Char(':'))) return a;
            portText = after.mid(1);
        }
    } else if (rest.count(QLatin1Char(':')) == 1) {
        const int colon = rest.indexOf(QLatin1Char(':'));
        a.host = rest.left(colon);
        portText = rest.mid(colon + 1);
    } else {
        a.host = rest;  // a name, or a bare IPv6 address
    }
    if (!portText.isNull()) {
        const auto port = PortOf(portText);
        if (!port) return a;
        a.port = *port;
        if (a.port == kNtpPort) a.sntp = true;
    }
    a.valid = !a.host.isEmpty() && !a.host.contains(QLatin1Char(' '));
    return a;
}

bool DaytimeReplyComplete(const QByteArray& reply) {
    return reply.size() > 24 && reply.indexOf('\n', 24) >= 0;
}

Conversion ConvertDaytime(const QByteArray& text, int nearYear) {
    Conversion c;
    if (text.size() < 24) {
        c.error = "the server's reply is too short to hold a time";
        return c;
    }
    struct Field {
        int position;
        const char* name;
        int low, high;
    };
    // Second 60 is a leap second; timegm carries it into the next minute.
    const Field fields[] = {{7, "year", 0, 99},  {10, "month", 1, 12},  {13, "day", 1, 31},
                            {16, "hour", 0, 23}, {19, "minute", 0, 59}, {22, "second", 0, 60}};
    int values[6] = {};
    for (int i = 0; i < 6; ++i) {
        const Field& f = fields[i];
        const char hi = text[f.position], lo = text[f.position + 1];
        if (hi < '0' || hi > '9' || lo < '0' || lo > '9') {
            c.error =
                std::string("the server's reply holds no time: the ") + f.name + " is not a number";
            return c;
        }
        values[i] = (hi - '0') * 10 + (lo - '0');
        if (values[i] < f.low || values[i] > f.high) {
            c.error = std::string("the server's reply holds no valid time: ") + f.name + " " +
                      std::to_string(values[i]);
            return c;
        }
    }
    int year = nearYear / 100 * 100 + values[0];
    if (year - nearYear > 50) year -= 100;
    if (nearYear - year > 50) year += 100;
    if (values[2] > DaysInMonth(year, values[1])) {
        c.error = "the server's reply holds no valid time: day " + std::to_string(values[2]);
        return c;
    }
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = values[1] - 1;
    tm.tm_mday = values[2];
    tm.tm_hour = values[3];
    tm.tm_min = values[4];
    tm.tm_sec = values[5];
    c.utcSeconds = qint64(timegm(&tm));
    return c;
}

QByteArray DaytimeFields(const QByteArray& text) {
    return text.mid(7, 17);
}

qint64 BuildDateUtcSeconds() {
    static const qint64 built = [] {
        const char* date = RINGMERE_BUILD_DATE;  // yyyy-mm-dd
        std::tm tm{};
        tm.tm_year = std::atoi(date) - 1900;
        tm.tm_mon = std::atoi(date + 5) - 1;
        tm.tm_mday = std::atoi(date + 8);
        return qint64(timegm(&tm));
    }();
    return built;
}

std::string FormatUtc(qint64 utcSeconds) {
    std::tm tm{};
    const std::time_t t = std::time_t(utcSeconds);
    if (!gmtime_r(&t, &tm)) return std::to_string(utcSeconds) + " s after 1970 (UTC)";
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return text;
}

std::string RefusalOf(qint64 utcSeconds, qint64 builtUtcSeconds) {
    const std::string built = FormatUtc(builtUtcSeconds).substr(0, 10);
    if (utcSeconds < builtUtcSeconds) return "it is before this program was built (" + built + ")";
    if (utcSeconds > builtUtcSeconds + 366LL * kSecondsPerDay)
        return "it is more than a year after this program was built (" + built + ")";
    return {};
}

quint64 NtpTimestamp(qint64 utcMicroseconds) {
    qint64 seconds = utcMicroseconds / 1000000;
    qint64 micros = utcMicroseconds % 1000000;
    if (micros < 0) {
        micros += 1000000;
        --seconds;
    }
    const quint64 ntpSeconds = quint64(seconds + kNtpToUnix) & 0xFFFFFFFFu;
    const quint64 fraction = (quint64(micros) << 32) / 1000000;
    return (ntpSeconds << 32) | fraction;
}

qint64 UtcFromNtp(quint64 ntp, qint64 nearUtcMicroseconds) {
    const qint64 seconds32 = qint64(ntp >> 32);
    const qint64 micros = qint64(((ntp & 0xFFFFFFFFu) * 1000000) >> 32);
    // NTP seconds wrap every 136 years (the first time in 2036): take the
    // era that puts the answer nearest our own clock.
    const qint64 nearNtp = nearUtcMicroseconds / 1000000 + kNtpToUnix;
    qint64 era = nearNtp / kNtpEra;
    qint64 best = era * kNtpEra + seconds32;
    for (qint64 e : {era - 1, era + 1}) {
        const qint64 candidate = e * kNtpEra + seconds32;
        if (std::llabs(candidate - nearNtp) < std::llabs(best - nearNtp)) best = candidate;
    }
    return (best - kNtpToUnix) * 1000000 + micros;
}

qint64 NtpEraCentreUtcMicroseconds(qint64 builtUtcSeconds) {
    return (builtUtcSeconds + 10LL * 365 * kSecondsPerDay) * 1000000;
}

QByteArray SntpRequest(quint64 transmitNtp) {
    QByteArray request(48, '\0');
    request[0] = char(0x23);  // no leap warning, version 4, client
    for (int i = 0; i < 8; ++i) request[40 + i] = char((transmitNtp >> (56 - 8 * i)) & 0xFF);
    return request;
}

SntpAnswer ReadSntpReply(const QByteArray& reply, quint64 sentNtp, qint64 sentUtcMicroseconds,
                         qint64 receivedUtcMicroseconds, qint64 eraCentreUtcMicroseconds) {
    SntpAnswer a;
    if (reply.size() < 48) {
        a.error = "the server's reply is too short";
        return a;
    }
    const quint8 first = quint8(reply[0]);
    const int leap = first >> 6, mode = first & 7, stratum = quint8(reply[1]);
    if (mode != 4) {
        a.error = "the reply is not a server's answer";
        return a;
    }
    if (ReadBigEndian64(reply, 24) != sentNtp) {
        a.error = "the reply does not answer this request";
        a.stray = true;
        return a;
    }
    if (stratum == 0) {
        a.error = "the server refused to answer (" + reply.mid(12, 4).toStdString() + ")";
        return a;
    }
    const quint64 received = ReadBigEndian64(reply, 32), transmitted = ReadBigEndian64(reply, 40);
    if (leap == 3 || stratum > 15 || transmitted == 0) {
        a.error = "the server's clock is not synchronised";
        return a;
    }
    // The server's clock at our moment of receipt: its send time moved on
    // by half the time the request spent on the way.
    const qint64 t1 = sentUtcMicroseconds, t4 = receivedUtcMicroseconds;
    // Not the era of our own clock: that may be the one that is wrong.
    const qint64 t2 = UtcFromNtp(received, eraCentreUtcMicroseconds),
                 t3 = UtcFromNtp(transmitted, eraCentreUtcMicroseconds);
    a.utcMicroseconds = t4 + ((t2 - t1) + (t3 - t4)) / 2;
    return a;
}

NetworkDaytimeClient::NetworkDaytimeClient(Waiting& waiting, std::function<int()> timeoutMs)
    : waiting_(waiting), timeoutMs_(std::move(timeoutMs)) {}

ServerTime NetworkDaytimeClient::Fetch(const QString& server,
                                       const std::function<bool()>& cancelled) {
    const ServerAddress a = ParseServer(server);
    if (!a.valid) {
        ServerTime t;
        t.error = QStringLiteral("\"%1\" is not a server name").arg(server);
        return t;
    }
    return a.sntp ? FetchSntp(a, cancelled) : FetchDaytime(a, cancelled);
}

namespace {

// Why a wait ended early, or an empty text to go on waiting.
QString Interrupted(const QElapsedTimer& elapsed, int timeoutMs, const QAbstractSocket& socket,
                    Waiting& waiting, const std::function<bool()>& cancelled) {
    if ((cancelled && cancelled()) || waiting.Quitting()) return QStringLiteral("cancelled");
    if (elapsed.elapsed() < timeoutMs) return {};
    const QString seconds = QString::number((timeoutMs + 999) / 1000);
    switch (socket.state()) {
        case QAbstractSocket::HostLookupState:
            return QStringLiteral("the look-up of the host took longer than %1 s").arg(seconds);
        case QAbstractSocket::ConnectingState:
            return QStringLiteral("no connection within %1 s").arg(seconds);
        default:
            return QStringLiteral("no whole answer within %1 s").arg(seconds);
    }
}

// A closed port answers a datagram with an ICMP message, whose error Qt
// takes and drops; queued, it stays to be read.
void QueueSocketErrors(const QUdpSocket& socket) {
    const int fd = int(socket.socketDescriptor());
    const int on = 1;
    if (socket.peerAddress().protocol() == QAbstractSocket::IPv6Protocol)
        ::setsockopt(fd, SOL_IPV6, IPV6_RECVERR, &on, sizeof on);
    else
        ::setsockopt(fd, SOL_IP, IP_RECVERR, &on, sizeof on);
}

// The system's text of a queued error, or an empty text.
QString QueuedSocketError(const QUdpSocket& socket) {
    char data[64];
    alignas(cmsghdr) char control[512];
    iovec io{data, sizeof data};
    msghdr msg{};
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    if (::recvmsg(int(socket.socketDescriptor()), &msg, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) return {};
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if ((c->cmsg_level == SOL_IP && c->cmsg_type == IP_RECVERR) ||
            (c->cmsg_level == SOL_IPV6 && c->cmsg_type == IPV6_RECVERR)) {
            sock_extended_err err;
            std::memcpy(&err, CMSG_DATA(c), sizeof err);
            if (err.ee_errno != 0) return QString::fromLocal8Bit(std::strerror(int(err.ee_errno)));
        }
    }
    return {};
}

}  // namespace

ServerTime NetworkDaytimeClient::FetchDaytime(const ServerAddress& a,
                                              const std::function<bool()>& cancelled) {
    ServerTime t;
    const int timeout = timeoutMs_();
    QElapsedTimer elapsed;
    elapsed.start();
    QTcpSocket socket;
    bool closed = false;
    QString failure;
    QObject::connect(&socket, &QTcpSocket::readyRead,
                     [&] { t.text += socket.read(kMaxReply - t.text.size()); });
    QObject::connect(&socket, &QTcpSocket::disconnected, [&] { closed = true; });
    QObject::connect(&socket, &QTcpSocket::errorOccurred, [&](QAbstractSocket::SocketError e) {
        if (e == QAbstractSocket::RemoteHostClosedError)
            closed = true;
        else if (failure.isEmpty())
            failure = socket.errorString();
    });
    socket.connectToHost(a.host, a.port);
    while (!closed && failure.isEmpty() && !DaytimeReplyComplete(t.text) &&
           t.text.size() < kMaxReply) {
        failure = Interrupted(elapsed, timeout, socket, waiting_, cancelled);
        if (!failure.isEmpty()) break;
        waiting_.Pause(kPollMs);
    }
    if (failure.isEmpty() && socket.bytesAvailable() > 0 && t.text.size() < kMaxReply)
        t.text += socket.read(kMaxReply - t.text.size());
    socket.abort();
    if (!failure.isEmpty()) {
        t.error = failure;
    } else if (t.text.isEmpty()) {
        t.error = QStringLiteral("the server closed the connection without an answer");
    } else {
        t.ok = true;
    }
    return t;
}

ServerTime NetworkDaytimeClient::FetchSntp(const ServerAddress& a,
                                           const std::function<bool()>& cancelled) {
    ServerTime t;
    const int timeout = timeoutMs_();
    QElapsedTimer elapsed;
    elapsed.start();
    QUdpSocket socket;
    QString failure;
    QObject::connect(&socket, &QUdpSocket::errorOccurred, [&](QAbstractSocket::SocketError) {
        if (failure.isEmpty()) failure = socket.errorString();
    });
    socket.connectToHost(a.host, a.port);
    while (socket.state() != QAbstractSocket::ConnectedState && failure.isEmpty()) {
        failure = Interrupted(elapsed, timeout, socket, waiting_, cancelled);
        if (failure.isEmpty()) waiting_.Pause(kPollMs);
    }
    if (failure.isEmpty()) QueueSocketErrors(socket);
    const qint64 sent = NowUtcMicroseconds();
    const quint64 sentNtp = NtpTimestamp(sent);
    if (failure.isEmpty() && socket.write(SntpRequest(sentNtp)) != 48)
        failure = socket.errorString();
    while (failure.isEmpty()) {
        while (socket.hasPendingDatagrams()) {
            const QByteArray reply = socket.receiveDatagram(512).data();
            const SntpAnswer answer =
                ReadSntpReply(reply, sentNtp, sent, NowUtcMicroseconds(),
                              NtpEraCentreUtcMicroseconds(BuildDateUtcSeconds()));
            // A stray datagram is not the answer; the answer may still come.
            if (answer.stray) continue;
            if (!answer.utcMicroseconds) {
                failure = QString::fromStdString(answer.error);
            } else {
                t.ok = true;
                t.utcMicroseconds = answer.utcMicroseconds;
            }
            break;
        }
        if (t.ok || !failure.isEmpty()) break;
        failure = QueuedSocketError(socket);
        if (!failure.isEmpty()) break;
        failure = Interrupted(elapsed, timeout, socket, waiting_, cancelled);
        if (failure.isEmpty()) waiting_.Pause(kPollMs);
    }
    socket.abort();
    if (!t.ok) t.error = failure;
    return t;
}

ClockResult ClockSetter::Set(qint64 utcMicroseconds) {
    ClockResult r = Apply(utcMicroseconds);
    if (r.ok) emit clockSet();
    return r;
}

}  // namespace ringmere::run
