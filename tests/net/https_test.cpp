// The web client over HTTPS against a real server on 127.0.0.1 with a
// certificate made for the test: refused while nothing trusts it, and used as
// plain HTTP once the downloader is given it.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <memory>

#include "core/alarmfile.h"
#include "net/http_downloader.h"
#include "net/shared_reload.h"
#include "tests/net/net_testing.h"
#include "tests/run/fake_services.h"

namespace ringmere::net {
namespace {

using ringmere::testing::ReadText;
using testing::MakeNewer;
using testing::ScratchDir;
using testing::ServerText;
using testing::WebServer;
using testing::WriteText;

class Https : public ::testing::Test {
protected:
    Https() {
        WriteText(served, ServerText("First"));
        g.ProgramDir = folder.dir();
        SetDefaultSettings(g);
        g.ResetAlarmTable(0);
        g.Settings.UserMode = "WClient";
        g.Settings.AlarmFile = server.Url("/alfile.ini");
        g.Settings.dldInterval = 1;
        g.Settings.dldAlarmFile = true;
        g.Settings.enablelogging = true;
        SilentReporter quiet;
        EXPECT_EQ(WriteAlarmFile(g, g.LocalAlarmFilePath(), quiet), kFileDone);
        EXPECT_TRUE(fakes.log.Open(quiet));
    }

    // Starts the client on `web`: whether it read its kept copy instead.
    bool Start(HttpDownloader& web) {
        Services services = fakes.Handed();
        services.downloader = &web;
        reload = std::make_unique<SharedFileReload>(g, services);
        reload->busy = [] { return false; };
        reload->SetView({.status = [this](const QString& text, int) { statuses << text; },
                         .refill = nullptr,
                         .refreshed = nullptr});
        CollectingReporter said;
        bool offline = false;
        EXPECT_EQ(ReadAlarmFileAtStart(g, said, &web, offline, fakes.settings), kFileDone);
        return offline;
    }
    QStringList Tick() {
        statuses.clear();
        reload->Tick();
        return statuses;
    }
    std::string FirstName() const { return g.AlarmCount > 0 ? g.AlarmTable[1].AlName : ""; }
    // Requests the server answered, by method.
    QJsonObject Stats() {
        std::string body;
        EXPECT_TRUE(trusting.Get(server.Url("/stats"), body)) << trusting.LastError();
        return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
    }

    ScratchDir site, certs, folder;
    std::string served = site.file("alfile.ini");
    WebServer server{served, certs.path()};
    HttpDownloader trusting{{.timeoutMs = 5000, .totalMs = 20000, .caFile = certs.file("cert.pem")}};
    Globals g;
    run::testing::FakeServices fakes{g};
    std::unique_ptr<SharedFileReload> reload;
    QStringList statuses;
};

TEST_F(Https, UntrustedCertificateIsRefusedAndTheKeptCopyStays) {
    const std::string copy = folder.file("webtmp.ini");
    WriteText(copy, ServerText("Kept"));
    HttpDownloader untrusting{{.timeoutMs = 5000, .totalMs = 20000}};
    HttpHead head;
    EXPECT_FALSE(untrusting.Head(server.Url("/alfile.ini"), head));
    const std::string why = untrusting.LastError();
    EXPECT_NE(why.find("certificate could not be verified"), std::string::npos) << why;
    EXPECT_NE(why.find("self-signed"), std::string::npos) << why;

    EXPECT_TRUE(Start(untrusting));
    EXPECT_EQ(Tick(), (QStringList{kChecking, kDownloadFailed}));
    EXPECT_EQ(FirstName(), "Kept");
    EXPECT_EQ(ReadText(copy), ServerText("Kept"));
    const std::string log = ReadText(folder.file("allog.txt"));
    EXPECT_NE(log.find(std::string(kDownloadFailed) + " " + why), std::string::npos) << log;
    // Not a byte of a request went over the refused connection.
    const QJsonObject stats = Stats();
    EXPECT_EQ(stats["HEAD"].toInt(), 0);
    EXPECT_EQ(stats["GET"].toInt(), 0);
}

TEST_F(Https, TrustedCertificateChecksThenDownloadsOnlyANewerFile) {
    EXPECT_FALSE(Start(trusting));
    EXPECT_EQ(FirstName(), "First");
    EXPECT_EQ(Tick(), (QStringList{kChecking, kUpToDate}));
    EXPECT_EQ(FirstName(), "First");
    QJsonObject stats = Stats();
    EXPECT_EQ(stats["HEAD"].toInt(), 2);  // start-up's and the tick's
    EXPECT_EQ(stats["GET"].toInt(), 1);   // start-up's only

    WriteText(served, ServerText("Second"));
    MakeNewer(served);
    EXPECT_EQ(Tick(), (QStringList{kChecking, kDownloading, kDownloaded}));
    EXPECT_EQ(FirstName(), "Second");
    EXPECT_EQ(ReadText(folder.file("webtmp.ini")), ServerText("Second") + "\r\n");
}

}  // namespace
}  // namespace ringmere::net
