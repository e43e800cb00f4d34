// Asking a time server for the time, and setting the clock from its answer.
// A server speaks daytime (RFC 867, the NIST format) on port 13 unless it is
// written "ntp://host" or "host:123": then it is asked by SNTP (RFC 4330).
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>
#include <string>

namespace ringmere::run {

class Waiting;

// What the user typed, taken apart. `valid` is false for an empty host or a
// port that is not a number from 1 to 65535.
struct ServerAddress {
    QString host;
    quint16 port = 13;
    bool sntp = false;
    bool valid = false;
};
ServerAddress ParseServer(const QString& text);

// The answer of one server: daytime text, or an SNTP time already in UTC.
struct ServerTime {
    bool ok = false;
    QString error;  // why nothing came, when !ok
    QByteArray text;
    std::optional<qint64> utcMicroseconds;
};

// A time in whole UTC seconds since 1970, or why the text holds none.
struct Conversion {
    std::optional<qint64> utcSeconds;
    std::string error;
};

// The six fields of a NIST daytime reply at positions 7, 10, 13, 16, 19 and
// 22, counted from the reply's first character; the century comes from
// `localYear`, the year on the computer's own clock.
Conversion ConvertDaytime(const QByteArray& text, int localYear);

// True when `reply` holds a whole NIST line: the time field and a line end
// after it. Until then a reply that arrived in parts is read on.
bool DaytimeReplyComplete(const QByteArray& reply);

// SNTP: the 48-byte request sent at `transmitNtp` (NTP timestamp, 32.32
// fixed point), and the server's time from its reply, received at
// `receivedUtcMicroseconds` having been sent at `sentUtcMicroseconds`.
QByteArray SntpRequest(quint64 transmitNtp);
quint64 NtpTimestamp(qint64 utcMicroseconds);
// The reverse, in the NTP era that lies nearest `nearUtcMicroseconds`.
qint64 UtcFromNtp(quint64 ntp, qint64 nearUtcMicroseconds);
struct SntpAnswer {
    std::optional<qint64> utcMicroseconds;
    std::string error;
    bool stray = false;  // an answer to some other request: the right one may follow
};
SntpAnswer ReadSntpReply(const QByteArray& reply, quint64 sentNtp, qint64 sentUtcMicroseconds,
                         qint64 receivedUtcMicroseconds);

// The network side of a time server. Each fetch has a connection of its own,
// so a run window and the main window may ask at the same time.
class DaytimeClient {
public:
    virtual ~DaytimeClient() = default;
    // Waits, processing events, until the answer is whole, the server fails,
    // the time-out passes or `cancelled` says so.
    virtual ServerTime Fetch(const QString& server, const std::function<bool()>& cancelled) = 0;
};

// The program's client: QTcpSocket for daytime, QUdpSocket for SNTP; the
// look-up, the connection and the whole reply bounded by `timeoutMs`, read
// anew for every fetch (the options change it while the program runs).
class NetworkDaytimeClient final : public DaytimeClient {
public:
    NetworkDaytimeClient(Waiting& waiting, std::function<int()> timeoutMs);
    ServerTime Fetch(const QString& server, const std::function<bool()>& cancelled) override;

private:
    ServerTime FetchDaytime(const ServerAddress& a, const std::function<bool()>& cancelled);
    ServerTime FetchSntp(const ServerAddress& a, const std::function<bool()>& cancelled);
    Waiting& waiting_;
    std::function<int()> timeoutMs_;
};

struct ClockResult {
    bool ok = false;
    QString error;  // the system's text when !ok
};

// Sets the system clock. The program's setter lives with the program alone
// (app/), so no test can reach the machine's clock; tests use fakes. After
// every clock change `clockSet` is emitted: the schedule was computed
// against the old clock.
class ClockSetter : public QObject {
    Q_OBJECT

public:
    ClockResult Set(qint64 utcMicroseconds);

signals:
    void clockSet();

protected:
    virtual ClockResult Apply(qint64 utcMicroseconds) = 0;
};

}  // namespace ringmere::run
