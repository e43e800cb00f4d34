// The periodic reload of both client modes, against a real web server and a
// shared folder.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <filesystem>

#include "core/alarmfile.h"
#include "core/fileio.h"
#include "net/http_downloader.h"
#include "net/shared_reload.h"
#include "tests/net/net_testing.h"
#include "tests/run/fake_services.h"

namespace ringmere::net {
namespace {

namespace fs = std::filesystem;
using testing::MakeNewer;
using testing::ScratchDir;
using testing::ServerText;
using testing::WebServer;
using testing::WriteText;

// A client's program folder, its local file naming `shared`, and a reload
// over fake services with the real downloader.
class ClientFolder {
public:
    ClientFolder(const std::string& mode, const std::string& shared, bool automatic = true)
        : fakes(g) {
        g.ProgramDir = dir.dir();
        SetDefaultSettings(g);
        g.ResetAlarmTable(0);
        g.Settings.UserMode = mode;
        g.Settings.AlarmFile = shared;
        g.Settings.dldInterval = 1;
        g.Settings.dldAlarmFile = automatic;
        g.Settings.enablelogging = true;
        SilentReporter quiet;
        EXPECT_EQ(WriteAlarmFile(g, g.LocalAlarmFilePath(), quiet), kFileDone);
        EXPECT_TRUE(fakes.log.Open(quiet));
        reload.busy = [this] { return busy; };
        reload.SetView({.status =
                            [this](const QString& text, int ms) {
                                statuses << text;
                                lastMs = ms;
                            },
                        .refill = [this] { ++refills; },
                        .refreshed = [this](const QString& text) { refreshed = text; }});
    }
    std::string FirstName() const { return g.AlarmCount > 0 ? g.AlarmTable[1].AlName : ""; }
    // Log lines holding `part`.
    int Logged(const std::string& part) const {
        const std::string log = ringmere::testing::ReadText(dir.file("allog.txt"));
        int n = 0;
        for (std::size_t at = log.find(part); at != std::string::npos; at = log.find(part, at + 1))
            ++n;
        return n;
    }
    std::string WebCopy() const { return dir.file("webtmp.ini"); }
    Services WithWeb(Services s) {
        s.downloader = &web;
        return s;
    }

    ScratchDir dir;
    Globals g;
    run::testing::FakeServices fakes;
    HttpDownloader web{{.timeoutMs = 5000, .totalMs = 20000}};
    Services services = WithWeb(fakes.Handed());
    SharedFileReload reload{g, services};
    QStringList statuses;
    int lastMs = -1;
    int refills = 0;
    QString refreshed;
    bool busy = false;
};

class WebClient : public ::testing::Test {
protected:
    WebClient() { WriteText(served, ServerText("First")); }
    void StartUp() {
        CollectingReporter said;
        bool offline = true;
        ASSERT_EQ(ReadAlarmFileAtStart(c.g, said, &c.web, offline, c.fakes.settings), kFileDone);
        EXPECT_FALSE(offline);
        EXPECT_EQ(c.FirstName(), "First");
    }
    ScratchDir site;
    std::string served = site.file("alfile.ini");
    WebServer server{served};
    ClientFolder c{"WClient", server.Url("/alfile.ini")};
};

TEST_F(WebClient, ChecksThenDownloadsOnlyANewerFile) {
    StartUp();
    EXPECT_EQ(fs::status(c.WebCopy()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    // Unchanged: a HEAD, no GET, nothing refilled.
    c.reload.Tick();
    EXPECT_EQ(c.statuses, (QStringList{kChecking, kUpToDate}));
    EXPECT_EQ(c.lastMs, kStatusShownMs);
    EXPECT_EQ(c.refills, 0);
    EXPECT_EQ(c.reload.Timer().interval(), 50000);  // one minute less the 10 seconds
    EXPECT_TRUE(c.reload.Timer().isActive());

    WriteText(served, ServerText("Second"));
    MakeNewer(served);
    c.statuses.clear();
    c.reload.Tick();
    EXPECT_EQ(c.statuses, (QStringList{kChecking, kDownloading, kDownloaded}));
    EXPECT_EQ(c.refills, 1);
    EXPECT_EQ(c.FirstName(), "Second");
    EXPECT_EQ(ringmere::testing::ReadText(c.WebCopy()), ServerText("Second") + "\r\n");

    // The Last-Modified just read is the date now kept.
    c.statuses.clear();
    c.reload.Tick();
    EXPECT_EQ(c.statuses, (QStringList{kChecking, kUpToDate}));
}

TEST_F(WebClient, FailuresKeepTheAlarmsAndTheCopyAndTheTimerRuns) {
    StartUp();
    const std::string copy = ringmere::testing::ReadText(c.WebCopy());
    struct Case {
        const char* path;
        bool copyIsFolder;  // "webtmp.ini" cannot be written
        bool downloaded;    // and then refused
    } cases[] = {{"/missing", false, false},
                 {"/redirect", false, false},
                 {"/short", false, false},
                 {"/garbage", false, true},
                 {"/alfile.ini", true, true}};
    for (const Case& cs : cases) {
        SCOPED_TRACE(cs.path);
        c.g.Settings.AlarmFile = server.Url(cs.path);
        c.fakes.settings.Clear();  // nothing taken from there yet
        if (cs.copyIsFolder) {
            fs::remove(c.WebCopy());
            fs::create_directory(c.WebCopy());
        }
        c.statuses.clear();
        c.reload.Tick();
        ASSERT_FALSE(c.statuses.isEmpty());
        if (cs.downloaded)
            EXPECT_TRUE(c.statuses.back().contains(" was not taken over: "))
                << c.statuses.back().toStdString();
        else
            EXPECT_EQ(c.statuses.back(), kDownloadFailed);
        EXPECT_TRUE(c.fakes.dialogs.shown.isEmpty());
        EXPECT_EQ(c.FirstName(), "First");
        EXPECT_EQ(c.refills, 0);
        EXPECT_TRUE(c.reload.Timer().isActive());
        if (!cs.copyIsFolder) {
            EXPECT_EQ(ringmere::testing::ReadText(c.WebCopy()), copy);
        }
    }
}

TEST_F(WebClient, OfflineStartUsesTheKeptCopy) {
    StartUp();
    ClientFolder later{"WClient", server.Url("/missing")};
    fs::copy_file(c.WebCopy(), later.WebCopy());
    CollectingReporter said;
    bool offline = false;
    EXPECT_EQ(ReadAlarmFileAtStart(later.g, said, &later.web, offline, later.fakes.settings),
              kFileDone);
    EXPECT_TRUE(offline);
    EXPECT_EQ(later.FirstName(), "First");
    later.reload.StartAfterStartup(offline);
    EXPECT_EQ(later.statuses, (QStringList{kDownloadFailed}));
    EXPECT_EQ(later.reload.Timer().interval(), 5000);
}

TEST_F(WebClient, ReloadWaitsWhileAWindowIsOpen) {
    StartUp();
    WriteText(served, ServerText("Second"));
    MakeNewer(served);
    c.busy = true;
    c.reload.Tick();
    EXPECT_TRUE(c.statuses.isEmpty());
    EXPECT_EQ(c.FirstName(), "First");
    EXPECT_EQ(c.reload.Timer().interval(), SharedFileReload::kDeferMs);
    c.busy = false;
    c.reload.Tick();
    EXPECT_EQ(c.FirstName(), "Second");
}

// A server whose validators the test sets ("/headers"), and its requests.
class Validators : public ::testing::Test {
protected:
    Validators() { WriteText(served, ServerText("First")); }
    void Serve(const std::string& name, const std::string& headersJson) {
        WriteText(served, ServerText(name));
        WriteText(served + ".headers", headersJson);
    }
    void StartUp() {
        CollectingReporter said;
        bool offline = true;
        ASSERT_EQ(ReadAlarmFileAtStart(c.g, said, &c.web, offline, c.fakes.settings), kFileDone);
        EXPECT_EQ(c.FirstName(), "First");
    }
    QStringList Tick() {
        c.statuses.clear();
        c.reload.Tick();
        return c.statuses;
    }
    QJsonObject Stats() {
        std::string body;
        EXPECT_TRUE(c.web.Get(server.Url("/stats"), body)) << c.web.LastError();
        return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
    }
    ScratchDir site;
    std::string served = site.file("alfile.ini");
    WebServer server{served};
    ClientFolder c{"WClient", server.Url("/headers")};
};

// Only a change of what the server said last counts, never the local clock
// nor whether a date can be read.
TEST_F(Validators, DownloadOnlyWhenTheServersValidatorChanged) {
    const std::string date = R"("Last-Modified": "Wed, 09 Dec 2026 10:00:00 GMT")";
    const std::string later = R"("Last-Modified": "Thu, 10 Dec 2026 10:00:00 GMT")";
    struct Case {
        const char* what;
        std::string first, second;  // the JSON of the headers
        bool downloaded;
    } cases[] = {
        {"future date", R"({"Last-Modified": "Fri, 01 Jan 2100 00:00:00 GMT"})", "{" + date + "}",
         true},
        {"garbage date", R"({"Last-Modified": "yesterday"})", R"({"Last-Modified": "today"})",
         true},
        {"ETag change", R"({"ETag": "\"a\"", )" + date + "}", R"({"ETag": "\"b\"", )" + date + "}",
         true},
        {"same ETag", R"({"ETag": "\"a\"", )" + date + "}", R"({"ETag": "\"a\"", )" + later + "}",
         false},
        {"no validators", "{}", "{}", true},
    };
    for (const Case& cs : cases) {
        SCOPED_TRACE(cs.what);
        c.fakes.settings.Clear();
        Serve("First", cs.first);
        StartUp();
        const int gets = Stats()["GET"].toInt();
        const int refills = c.refills;
        const bool validators = cs.first != "{}";

        Serve("Second", cs.second);
        Tick();
        EXPECT_EQ(c.FirstName(), cs.downloaded ? "Second" : "First");
        EXPECT_EQ(Stats()["GET"].toInt(), gets + (cs.downloaded ? 1 : 0));
        EXPECT_EQ(c.refills, refills + (cs.downloaded ? 1 : 0));

        // Nothing changed since: no download where the server gave a
        // validator, and a file that stays the same is not taken again.
        const QStringList again = Tick();
        const QStringList expected = validators ? QStringList{kChecking, kUpToDate}
                                                : QStringList{kChecking, kDownloading, kUpToDate};
        EXPECT_EQ(again, expected);
        Tick();
        EXPECT_EQ(c.refills, refills + (cs.downloaded ? 1 : 0));
        const QJsonObject stats = Stats();
        if (cs.first.find("ETag") != std::string::npos) {
            EXPECT_EQ(stats["if_none_match"].toString().toStdString(),
                      cs.downloaded ? "\"b\"" : "\"a\"");
        }
        // Each decision to skip is logged once, not at every check.
        EXPECT_EQ(c.Logged(" was not downloaded: "), validators ? 1 : 0);
        EXPECT_TRUE(c.fakes.dialogs.shown.isEmpty());
        fs::remove(c.dir.file("allog.txt"));
        SilentReporter quiet;
        c.fakes.log.Close();
        c.fakes.log.Open(quiet);
    }
}

// A bad file met by a background check opens no box, keeps the last good
// copy, and the checks go on: the next good file is taken.
TEST_F(Validators, ABadFileIsLoggedAndTheNextGoodOneTaken) {
    const std::string good = ServerText("Good");
    std::string bomb = good;
    bomb.replace(bomb.find("Alarm Count=2"), 13, "Alarm Count=2000000000");
    std::string noise;
    for (int i = 0; i < 4096; ++i) noise += char((i * 7919 + 13) % 256);
    struct Case {
        const char* what;
        std::string body;
    } cases[] = {{"random bytes", noise}, {"count bomb", bomb}, {"no header", "Version=2.10\r\n"}};
    Serve("First", R"({"ETag": "\"0\""})");
    StartUp();
    const std::string copy = ringmere::testing::ReadText(c.WebCopy());
    int etag = 0;
    for (const Case& cs : cases) {
        SCOPED_TRACE(cs.what);
        const std::string headers = R"({"ETag": "\")" + std::to_string(++etag) + R"(\""})";
        WriteText(served, cs.body);
        WriteText(served + ".headers", headers);
        const QStringList said = Tick();
        ASSERT_FALSE(said.isEmpty());
        const std::string refused =
            "The alarm file downloaded from " + server.Url("/headers") + " was not taken over: ";
        EXPECT_TRUE(said.back().startsWith(QString::fromStdString(refused)))
            << said.back().toStdString();
        // Logged; the same refusal at the next check is not logged again.
        const int logged = c.Logged(said.back().toStdString());
        EXPECT_GE(logged, 1);
        EXPECT_EQ(Tick().back(), said.back());
        EXPECT_EQ(c.Logged(said.back().toStdString()), logged);
        EXPECT_TRUE(c.fakes.dialogs.shown.isEmpty());
        EXPECT_EQ(c.FirstName(), "First");
        EXPECT_EQ(ringmere::testing::ReadText(c.WebCopy()), copy);
        EXPECT_TRUE(c.reload.Timer().isActive());
    }
    Serve("Good", R"({"ETag": "\"good\""})");
    EXPECT_EQ(Tick(), (QStringList{kChecking, kDownloading, kDownloaded}));
    EXPECT_EQ(c.FirstName(), "Good");
    EXPECT_TRUE(c.fakes.dialogs.shown.isEmpty());
}

TEST(ReloadPeriod, KeptToTheDialogsRange) {
    const std::int64_t cases[][2] = {{-5, 50000},       {0, 50000},       {1, 50000},
                                     {30, 1790000},     {2400, 143990000}, {5000, 143990000},
                                     {INT32_MAX, 143990000}};
    for (const auto& c : cases) EXPECT_EQ(ReloadPeriodMs(c[0]), c[1]) << c[0];
}

// "Client": the shared file on a folder both computers see.
TEST(FileClient, FollowsAtomicReplacesAndKeepsAlarmsOverAHalfWrittenFile) {
    ScratchDir share;
    const std::string shared = share.file("alfile.ini");
    WriteText(shared, ServerText("First"));
    ClientFolder c{"Client", shared, /*automatic=*/false};
    c.reload.Tick();
    EXPECT_EQ(c.FirstName(), "First");
    EXPECT_EQ(c.refills, 1);
    EXPECT_FALSE(c.reload.Timer().isActive());  // automatic reloads off

    std::string error;
    ASSERT_EQ(WriteFileAtomically(shared, ServerText("Second"), error), kWriteDone);
    c.reload.Tick();
    EXPECT_EQ(c.FirstName(), "Second");

    const std::string whole = ServerText("Third");
    WriteText(shared, whole.substr(0, whole.size() * 2 / 3));
    c.reload.Tick();
    EXPECT_EQ(c.FirstName(), "Second");
    EXPECT_EQ(c.g.AlarmCount, 2);
    EXPECT_EQ(c.refills, 2);
    // Said in the status bar and the log, never in a box that would hold
    // every later reload.
    EXPECT_TRUE(c.fakes.dialogs.shown.isEmpty());
    const std::string refused = "The shared alarm file " + shared + " was not taken over: ";
    ASSERT_EQ(c.statuses.size(), 1);
    EXPECT_TRUE(c.statuses[0].startsWith(QString::fromStdString(refused)))
        << c.statuses[0].toStdString();
    EXPECT_EQ(c.Logged(refused), 1);

    // A missing file is told once per outage, however many checks find it so.
    const std::string missing = "The shared alarm file " + shared + " cannot be found";
    fs::remove(shared);
    c.statuses.clear();
    c.reload.Tick();
    c.reload.Tick();
    EXPECT_EQ(c.statuses.size(), 2);
    EXPECT_TRUE(c.statuses.back().startsWith(QString::fromStdString(missing)));
    EXPECT_EQ(c.Logged(missing), 1);
    EXPECT_EQ(c.FirstName(), "Second");
    ASSERT_EQ(WriteFileAtomically(shared, ServerText("Fourth"), error), kWriteDone);
    c.reload.Tick();
    EXPECT_EQ(c.FirstName(), "Fourth");
    EXPECT_EQ(c.statuses.back(), "");  // the outage's text goes
    EXPECT_TRUE(c.refreshed.startsWith("Shared alarms refreshed: ")) << c.refreshed.toStdString();
    fs::remove(shared);
    c.reload.Tick();
    EXPECT_EQ(c.Logged(missing), 2);  // a new outage
    EXPECT_TRUE(c.fakes.dialogs.shown.isEmpty());
}

}  // namespace
}  // namespace ringmere::net
