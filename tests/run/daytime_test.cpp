// The time server client: reading NIST daytime replies and SNTP answers,
// and fetching them from servers that the tests run on 127.0.0.1.
#include "run/daytime.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QNetworkDatagram>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimeZone>
#include <QUdpSocket>
#include <memory>

#include "clock_fakes.h"
#include "fake_services.h"
#include "run/timesync.h"
#include "run/waiting.h"

namespace ringmere::run {
namespace {

using namespace testing;

qint64 Utc(int y, int mo, int d, int h, int mi, int s) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc()).toSecsSinceEpoch();
}

TEST(Daytime, NistFieldsGiveUtcInTheCenturyNearestTheBuildYear) {
    struct Row {
        const char* reply;
        int nearYear;
        qint64 want;
    };
    const Row rows[] = {
        {kNistReply, 2026, Utc(2026, 12, 8, 14, 5, 6)},
        {kNistReply, 2099, Utc(2126, 12, 8, 14, 5, 6)},
        {"\n51544 00-01-01 00:00:00 00 0 0  0.0 UTC(NIST) *\n", 2099, Utc(2100, 1, 1, 0, 0, 0)},
        {"\n51544 00-01-01 00:00:00 00 0 0  0.0 UTC(NIST) *\n", 2026, Utc(2000, 1, 1, 0, 0, 0)},
        {"\n40587 70-01-01 00:00:00 00 0 0  0.0 UTC(NIST) *\n", 2026, Utc(2070, 1, 1, 0, 0, 0)},
        {"\n40587 70-01-01 00:00:00 00 0 0  0.0 UTC(NIST) *\n", 2019, Utc(1970, 1, 1, 0, 0, 0)},
        {"\n60000 24-02-29 23:59:59 00 0 0  0.0 UTC(NIST) *", 2024, Utc(2024, 2, 29, 23, 59, 59)},
        // A leap second runs into the next minute.
        {"\n57753 16-12-31 23:59:60 00 0 0  0.0 UTC(NIST) *", 2016, Utc(2017, 1, 1, 0, 0, 0)},
    };
    for (const Row& r : rows) {
        const Conversion c = ConvertDaytime(r.reply, r.nearYear);
        ASSERT_TRUE(c.utcSeconds) << r.reply << c.error;
        EXPECT_EQ(*c.utcSeconds, r.want) << r.reply;
    }
    EXPECT_EQ(kNistReplyUtc, Utc(2026, 12, 8, 14, 5, 6));
}

TEST(Daytime, RepliesWithoutAValidTimeSayWhy) {
    const std::pair<const char*, const char*> rows[] = {
        {"", "too short"},
        {"\n61382 26-12-08 14:05:0", "too short"},
        {"\n61382 26-1x-08 14:05:06 00 0 0 50.0 UTC(NIST) *\n", "month is not a number"},
        {"\n61382 26-12-08 14:05: 6 00 0 0 50.0 UTC(NIST) *\n", "second is not a number"},
        {"\n61382 26-13-08 14:05:06 00 0 0 50.0 UTC(NIST) *\n", "month 13"},
        {"\n61382 26-12-08 14:05:61 00 0 0 50.0 UTC(NIST) *\n", "second 61"},
        {"\n61382 26-12-08 24:05:06 00 0 0 50.0 UTC(NIST) *\n", "hour 24"},
        {"\n61382 26-11-31 14:05:06 00 0 0 50.0 UTC(NIST) *\n", "day 31"},
        {"\n61382 26-00-08 14:05:06 00 0 0 50.0 UTC(NIST) *\n", "month 0"},
        {"Mon Dec  8 14:05:06 2026 and more text", "not a number"},
    };
    for (const auto& [reply, why] : rows) {
        const Conversion c = ConvertDaytime(reply, 2026);
        EXPECT_FALSE(c.utcSeconds) << reply;
        EXPECT_NE(c.error.find(why), std::string::npos) << reply << " -> " << c.error;
    }
}

TEST(Daytime, ServerTextsNameHostPortAndProtocol) {
    struct Row {
        const char* text;
        const char* host;
        int port;
        bool sntp, valid;
    };
    const Row rows[] = {
        {"time.nist.gov", "time.nist.gov", 13, false, true},
        {" 127.0.0.1:4013 ", "127.0.0.1", 4013, false, true},
        {"ntp://pool.ntp.org", "pool.ntp.org", 123, true, true},
        {"ntp://127.0.0.1:4123", "127.0.0.1", 4123, true, true},
        {"pool.ntp.org:123", "pool.ntp.org", 123, true, true},
        {"[::1]:13", "::1", 13, false, true},
        {"::1", "::1", 13, false, true},
        {"", "", 13, false, false},
        {"host:99999", "host", 13, false, false},
        {"host:", "host", 13, false, false},
        {"ntp://", "", 123, true, false},
    };
    for (const Row& r : rows) {
        const ServerAddress a = ParseServer(QString::fromLatin1(r.text));
        EXPECT_EQ(a.valid, r.valid) << r.text;
        if (!r.valid) continue;
        EXPECT_EQ(a.host, QString::fromLatin1(r.host)) << r.text;
        EXPECT_EQ(a.port, r.port) << r.text;
        EXPECT_EQ(a.sntp, r.sntp) << r.text;
    }
}

// An SNTP answer to `request` saying that the server's clock reads `utc`.
QByteArray SntpReply(const QByteArray& request, qint64 utcMicros, quint8 first = 0x24,
                     quint8 stratum = 1) {
    QByteArray reply(48, '\0');
    reply[0] = char(first);  // version 4, server
    reply[1] = char(stratum);
    reply.replace(24, 8, request.mid(40, 8));  // originate: the client's transmit time
    const quint64 ntp = NtpTimestamp(utcMicros);
    for (int at : {32, 40})
        for (int i = 0; i < 8; ++i) reply[at + i] = char((ntp >> (56 - 8 * i)) & 0xFF);
    return reply;
}

const qint64 kEraCentre = NtpEraCentreUtcMicroseconds(Utc(2026, 1, 1, 0, 0, 0));

TEST(Sntp, TheServerTimeIsMovedOnByHalfTheRoundTrip) {
    const qint64 sent = 1'700'000'000'000'000, server = Utc(2026, 12, 8, 14, 5, 6) * 1000000;
    const quint64 sentNtp = NtpTimestamp(sent);
    const QByteArray request = SntpRequest(sentNtp);
    ASSERT_EQ(request.size(), 48);
    EXPECT_EQ(quint8(request[0]), 0x23);

    const SntpAnswer a =
        ReadSntpReply(SntpReply(request, server), sentNtp, sent, sent + 40000, kEraCentre);
    ASSERT_TRUE(a.utcMicroseconds) << a.error;
    EXPECT_NEAR(double(*a.utcMicroseconds), double(server + 20000), 1.0);

    const std::pair<QByteArray, const char*> bad[] = {
        {SntpReply(request, server).left(47), "too short"},
        {SntpReply(SntpRequest(sentNtp + 1), server), "does not answer"},
        {SntpReply(request, server, 0x23), "not a server"},
        {SntpReply(request, server, 0xE4), "not synchronised"},
        {SntpReply(request, server, 0x24, 0), "refused"},
    };
    for (const auto& [reply, why] : bad) {
        const SntpAnswer b = ReadSntpReply(reply, sentNtp, sent, sent + 40000, kEraCentre);
        EXPECT_FALSE(b.utcMicroseconds) << why;
        EXPECT_NE(b.error.find(why), std::string::npos) << b.error;
    }
}

TEST(Sntp, TimestampsAfter2036FallIntoTheNextEra) {
    for (const qint64 utc : {Utc(2026, 12, 8, 14, 5, 6), Utc(2036, 2, 7, 6, 28, 15),
                             Utc(2036, 2, 7, 6, 28, 17), Utc(2040, 1, 1, 0, 0, 0)}) {
        const qint64 micros = utc * 1000000 + 250000;
        EXPECT_NEAR(double(UtcFromNtp(NtpTimestamp(micros), micros - 3600LL * 1000000)),
                    double(micros), 1.0)
            << utc;
    }
    // A reply is read in the era of the build, whatever this computer's clock
    // says: from 58 years before the build to 78 years after it.
    const qint64 built = Utc(2026, 1, 1, 0, 0, 0);
    const qint64 centre = NtpEraCentreUtcMicroseconds(built);
    for (const qint64 utc : {Utc(1968, 1, 1, 0, 0, 0), Utc(1970, 1, 1, 0, 0, 0),
                             Utc(2037, 1, 1, 0, 0, 0), Utc(2100, 1, 1, 0, 0, 0),
                             Utc(2104, 1, 1, 0, 0, 0)}) {
        EXPECT_EQ(UtcFromNtp(NtpTimestamp(utc * 1000000), centre), utc * 1000000) << utc;
        for (const qint64 local : {Utc(1970, 1, 1, 0, 0, 0), Utc(2099, 1, 1, 0, 0, 0)}) {
            const qint64 sent = local * 1000000;
            const QByteArray request = SntpRequest(NtpTimestamp(sent));
            const SntpAnswer a = ReadSntpReply(SntpReply(request, utc * 1000000),
                                               NtpTimestamp(sent), sent, sent, centre);
            ASSERT_TRUE(a.utcMicroseconds) << a.error;
            EXPECT_EQ(*a.utcMicroseconds / 1000000, utc) << utc << " read at " << local;
        }
    }
}

TEST(Daytime, BuildDateBoundsAndTheirTexts) {
    const qint64 built = Utc(2026, 12, 11, 0, 0, 0), day = 86400;
    const std::pair<qint64, const char*> rows[] = {
        {built - 1, "it is before this program was built (2026-12-11)"},
        {built, ""},
        {built + 366 * day, ""},
        {built + 366 * day + 1, "it is more than a year after this program was built (2026-12-11)"},
        {0, "it is before this program was built (2026-12-11)"},
    };
    for (const auto& [utc, why] : rows) EXPECT_EQ(RefusalOf(utc, built), why) << utc;
    EXPECT_EQ(FormatUtc(Utc(2100, 1, 1, 0, 0, 0)), "2100-01-01 00:00:00 UTC");
    EXPECT_EQ(DaytimeFields(kNistReply), "26-12-08 14:05:06");
    EXPECT_EQ(BuildDateUtcSeconds() % day, 0);
    EXPECT_GT(BuildDateUtcSeconds(), Utc(2026, 1, 1, 0, 0, 0));
}

// Servers on 127.0.0.1 at ports the system chose, each behaving in its own way.
class DaytimeServerTest : public ::testing::Test {
protected:
    // Counts the client's pauses and lets a server act between them.
    struct CountingWaiting final : Waiting {
        EventLoopWaiting real;
        std::function<void()> onPause;
        void Pause(int ms) override {
            if (onPause) onPause();
            real.Pause(ms);
        }
        void ProcessEvents() override { real.ProcessEvents(); }
        quint64 CallAfter(int ms, std::function<void()> f) override {
            return real.CallAfter(ms, std::move(f));
        }
        void Cancel(quint64 id) override { real.Cancel(id); }
        void Quit() override { real.Quit(); }
        bool Quitting() const override { return real.Quitting(); }
    };

    // On each connection: `reply` is written (and the connection closed
    // when `close`).
    quint16 Serve(const QByteArray& reply, bool close) {
        EXPECT_TRUE(tcp_.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&tcp_, &QTcpServer::newConnection, [this, reply, close] {
            while (QTcpSocket* s = tcp_.nextPendingConnection()) {
                peer_ = s;
                s->write(reply);
                if (close) s->disconnectFromHost();
            }
        });
        return tcp_.serverPort();
    }
    ServerTime Fetch(const QString& server) { return client_.Fetch(server, {}); }

    CountingWaiting waiting_;
    int timeoutMs_ = 5000;
    NetworkDaytimeClient client_{waiting_, [this] { return timeoutMs_; }};
    QTcpServer tcp_;
    QPointer<QTcpSocket> peer_;
};

TEST_F(DaytimeServerTest, TheNistReplyIsReadUntilTheServerCloses) {
    const quint16 port = Serve(kNistReply, true);
    const ServerTime t = Fetch(QStringLiteral("127.0.0.1:%1").arg(port));
    ASSERT_TRUE(t.ok) << t.error.toStdString();
    EXPECT_EQ(t.text, QByteArray(kNistReply));
    EXPECT_EQ(ConvertDaytime(t.text, 2026).utcSeconds, kNistReplyUtc);
}

TEST_F(DaytimeServerTest, AReplySplitInTwoIsReadWhole) {
    const QByteArray whole(kNistReply);
    const quint16 port = Serve(whole.left(12), false);
    // The rest goes out only once the client has waited with the first part.
    int pausesAfterFirst = 0;
    waiting_.onPause = [&] {
        if (!peer_ || peer_->bytesToWrite() > 0) return;
        if (++pausesAfterFirst == 5) {
            peer_->write(whole.mid(12));
            peer_->disconnectFromHost();
        }
    };
    const ServerTime t = Fetch(QStringLiteral("127.0.0.1:%1").arg(port));
    ASSERT_TRUE(t.ok) << t.error.toStdString();
    EXPECT_GE(pausesAfterFirst, 5);
    EXPECT_EQ(t.text, whole);
}

TEST_F(DaytimeServerTest, ALineEndAfterTheTimeEndsTheReadOfAnOpenConnection) {
    const quint16 port = Serve(kNistReply, false);
    timeoutMs_ = 60000;  // a client that waited for the close would fail the test's time limit
    const ServerTime t = Fetch(QStringLiteral("127.0.0.1:%1").arg(port));
    ASSERT_TRUE(t.ok) << t.error.toStdString();
    EXPECT_EQ(t.text, QByteArray(kNistReply));
}

TEST_F(DaytimeServerTest, SilenceEndsAtTheTimeOutAndGarbageIsNoTime) {
    timeoutMs_ = 300;
    const quint16 silent = Serve(QByteArray(), false);
    const ServerTime none = Fetch(QStringLiteral("127.0.0.1:%1").arg(silent));
    EXPECT_FALSE(none.ok);
    EXPECT_TRUE(none.error.contains(QLatin1String("no whole answer"))) << none.error.toStdString();

    QTcpServer garbage;
    ASSERT_TRUE(garbage.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&garbage, &QTcpServer::newConnection, [&] {
        QTcpSocket* s = garbage.nextPendingConnection();
        s->write(QByteArray(10000, 'x'));
        s->disconnectFromHost();
    });
    timeoutMs_ = 5000;
    const ServerTime t = Fetch(QStringLiteral("127.0.0.1:%1").arg(garbage.serverPort()));
    ASSERT_TRUE(t.ok) << t.error.toStdString();
    EXPECT_LE(t.text.size(), 4096);
    EXPECT_FALSE(ConvertDaytime(t.text, 2026).utcSeconds);
}

TEST_F(DaytimeServerTest, ANameThatIsNoServerIsRefusedBeforeAnyConnection) {
    EXPECT_FALSE(Fetch(QString()).ok);
    EXPECT_FALSE(Fetch(QStringLiteral("host:0")).ok);
}

TEST_F(DaytimeServerTest, SntpAsksTheResponderAndTakesItsTime) {
    QUdpSocket responder;
    ASSERT_TRUE(responder.bind(QHostAddress::LocalHost, 0));
    const qint64 server = Utc(2026, 12, 8, 14, 5, 6) * 1000000;
    QObject::connect(&responder, &QUdpSocket::readyRead, [&] {
        while (responder.hasPendingDatagrams()) {
            const QNetworkDatagram d = responder.receiveDatagram();
            responder.writeDatagram(d.makeReply(SntpReply(d.data(), server)));
        }
    });
    const ServerTime t = Fetch(QStringLiteral("ntp://127.0.0.1:%1").arg(responder.localPort()));
    ASSERT_TRUE(t.ok) << t.error.toStdString();
    ASSERT_TRUE(t.utcMicroseconds);
    // Half the round trip at most, and the round trip is bounded by the time-out.
    EXPECT_GE(*t.utcMicroseconds, server);
    EXPECT_LE(*t.utcMicroseconds, server + qint64(timeoutMs_) * 1000 / 2);
}

// A fetch that brings no time says why, as the system said it.
TEST_F(DaytimeServerTest, FailuresGiveTheSystemsReason) {
    quint16 closed = 0, closedUdp = 0;
    {
        // Ports that were free a moment ago, and are closed now.
        QTcpServer gone;
        ASSERT_TRUE(gone.listen(QHostAddress::LocalHost, 0));
        closed = gone.serverPort();
        QUdpSocket goneUdp;
        ASSERT_TRUE(goneUdp.bind(QHostAddress::LocalHost, 0));
        closedUdp = goneUdp.localPort();
    }
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    QUdpSocket mute;
    ASSERT_TRUE(mute.bind(QHostAddress::LocalHost, 0));
    timeoutMs_ = 1000;
    const std::pair<QString, const char*> rows[] = {
        {QStringLiteral("127.0.0.1:%1").arg(closed), "Connection refused"},
        {QStringLiteral("127.0.0.1:%1").arg(silent.serverPort()), "no whole answer within 1 s"},
        {QStringLiteral("ntp://127.0.0.1:%1").arg(mute.localPort()), "no whole answer within 1 s"},
        {QStringLiteral("ntp://127.0.0.1:%1").arg(closedUdp), "Connection refused"},
        {QStringLiteral("host.invalid"), "not found"},
    };
    for (const auto& [server, why] : rows) {
        const ServerTime t = Fetch(server);
        EXPECT_FALSE(t.ok) << server.toStdString();
        EXPECT_TRUE(t.error.contains(QLatin1String(why), Qt::CaseInsensitive))
            << server.toStdString() << ": " << t.error.toStdString();
    }
}

// Absurd times from real servers are refused with what they sent, and the
// clock is left alone.
TEST_F(DaytimeServerTest, AbsurdTimesFromRealServersAreRefused) {
    testing::UtcZone utc;
    Globals g;
    testing::FakeServices fakes(g);
    testing::FakeClockSetter setter;
    Services services = fakes.Handed();
    services.clockSetter = &setter;

    const quint16 port = Serve("\n40587 70-01-01 00:00:00 00 0 0  0.0 UTC(NIST) *\n", true);
    const QString daytime = QStringLiteral("127.0.0.1:%1").arg(port);
    QUdpSocket responder;
    ASSERT_TRUE(responder.bind(QHostAddress::LocalHost, 0));
    QObject::connect(&responder, &QUdpSocket::readyRead, [&] {
        while (responder.hasPendingDatagrams()) {
            const QNetworkDatagram d = responder.receiveDatagram();
            responder.writeDatagram(d.makeReply(SntpReply(d.data(), Utc(2100, 1, 1, 0, 0, 0) * 1000000)));
        }
    });
    const QString sntp = QStringLiteral("ntp://127.0.0.1:%1").arg(responder.localPort());
    const std::pair<QString, QString> rows[] = {
        {daytime, "2070-01-01 00:00:00 UTC (\"70-01-01 00:00:00\")"},
        {sntp, "2100-01-01 00:00:"},  // not 1963: the next NTP era
    };
    for (const auto& [server, sent] : rows) {
        const ServerTime t = Fetch(server);
        ASSERT_TRUE(t.ok) << t.error.toStdString();
        QStringList told;
        const SynchOutcome o =
            SetClockFrom(services, server, t, [&](const QString& l) { told << l; });
        EXPECT_EQ(o.kind, SynchKind::NotSet);
        EXPECT_TRUE(o.line.startsWith("Error updating system time: the time from " + server + ", " +
                                      sent))
            << o.line.toStdString();
        EXPECT_TRUE(o.line.endsWith("is refused: it is more than a year after this program was "
                                    "built (2026-01-01)."))
            << o.line.toStdString();
        ASSERT_EQ(told.size(), 1);
        EXPECT_TRUE(told[0].startsWith(server + " sent " + sent)) << told[0].toStdString();
    }
    EXPECT_TRUE(setter.set.empty());
}

TEST_F(DaytimeServerTest, AnSntpServerThatNeverAnswersEndsAtTheTimeOut) {
    QUdpSocket mute;
    ASSERT_TRUE(mute.bind(QHostAddress::LocalHost, 0));
    timeoutMs_ = 300;
    const ServerTime t = Fetch(QStringLiteral("ntp://127.0.0.1:%1").arg(mute.localPort()));
    EXPECT_FALSE(t.ok);
    EXPECT_FALSE(t.error.isEmpty());
}

}  // namespace
}  // namespace ringmere::run
