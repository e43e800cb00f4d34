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
// 22, counted from the reply's first character. The two-digit year is taken
// in the century that puts it nearest `nearYear` (the build year: the
// computer's own clock may be the one that is wrong).
Conversion ConvertDaytime(const QByteArray& text, int nearYear);
// The reply's date and time fields as the server wrote them, "yy-mm-dd hh:mm:ss".
QByteArray DaytimeFields(const QByteArray& text);

// Midnight UTC of the day this program was built, in seconds since 1970.
qint64 BuildDateUtcSeconds();
// Why a server's time `utcSeconds` is not to be believed, or empty: no true
// time lies before the build date `builtUtcSeconds`, and none more than a
// year after it.
std::string RefusalOf(qint64 utcSeconds, qint64 builtUtcSeconds);
// "2026-12-08 14:05:06 UTC".
std::string FormatUtc(qint64 utcSeconds);

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
// Where an SNTP reply's era is centred for a program built at
// `builtUtcSeconds`: 136 years from 58 years before the build (1968 to
// 2104 for a 2026 build, the range RFC 4330 reads), so that the years after
// 2036 are read in NTP era 1 and every refused time is shown as it was sent.
qint64 NtpEraCentreUtcMicroseconds(qint64 builtUtcSeconds);
struct SntpAnswer {
    std::optional<qint64> utcMicroseconds;
    std::string error;
    bool stray = false;  // an answer to some other request: the right one may follow
};
// The server's timestamps are read in the era centred on `eraCentreUtcMicroseconds`.
SntpAnswer ReadSntpReply(const QByteArray& reply, quint64 sentNtp, qint64 sentUtcMicroseconds,
                         qint64 receivedUtcMicroseconds, qint64 eraCentreUtcMicroseconds);

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
    bool denied = false;  // the program lacks the permission to set the clock
};

// Sets the system clock. The program's setter lives with the program alone
// (app/), so no test can reach the machine's clock; tests use fakes. After
// every clock change `clockSet` is emitted: the schedule was computed
// against the old clock.
class ClockSetter : public QObject {
    Q_OBJECT

public:
    ClockResult Set(qint64 utcMicroseconds);

    // No true time lies before it (tests move it).
    qint64 builtUtcSeconds = BuildDateUtcSeconds();

signals:
    void clockSet();

protected:
    virtual ClockResult Apply(qint64 utcMicroseconds) = 0;
};

}  // namespace ringmere::run
