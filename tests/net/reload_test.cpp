// The periodic reload of both client modes, against a real web server and a
// shared folder.
#include <gtest/gtest.h>

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
        SilentReporter quiet;
        EXPECT_EQ(WriteAlarmFile(g, g.LocalAlarmFilePath(), quiet), kFileDone);
        reload.busy = [this] { return busy; };
        reload.SetView({.status =
                            [this](const QString& text, int ms) {
                                statuses << text;
                                lastMs = ms;
                            },
                        .refill = [this] { ++refills; }});
    }
    std::string FirstName() const { return g.AlarmCount > 0 ? g.AlarmTable[1].AlName : ""; }
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
    bool busy = false;
};

class WebClient : public ::testing::Test {
protected:
    WebClient() { WriteText(served, ServerText("First")); }
    void StartUp() {
        CollectingReporter said;
        bool offline = true;
        ASSERT_EQ(ReadAlarmFileAtStart(c.g, said, &c.web, offline), kFileDone);
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
    } cases[] = {{"/missing", false}, {"/redirect", false}, {"/short", false},
                 {"/garbage", false}, {"/alfile.ini", true}};
    for (const Case& cs : cases) {
        SCOPED_TRACE(cs.path);
        c.g.Settings.AlarmFile = server.Url(cs.path);
        c.g.WebFileDate = 0;
        if (cs.copyIsFolder) {
            fs::remove(c.WebCopy());
            fs::create_directory(c.WebCopy());
        }
        c.statuses.clear();
        c.reload.Tick();
        ASSERT_FALSE(c.statuses.isEmpty());
        EXPECT_EQ(c.statuses.back(), kDownloadFailed);
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
    EXPECT_EQ(ReadAlarmFileAtStart(later.g, said, &later.web, offline), kFileDone);
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
    ASSERT_FALSE(c.fakes.dialogs.shown.isEmpty());  // said, not silent
    EXPECT_TRUE(c.statuses.isEmpty());               // no web texts for a file
}

}  // namespace
}  // namespace ringmere::net
