// Client modes, the web client's download, and the start-up upgrade.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/alarmfile.h"
#include "core/globals.h"
#include "tests/core/alarmfile_testing.h"

namespace ringmere {
namespace {

using testing::Date;
using testing::ReadDataFile;
using testing::ReadText;
using testing::ReplaceLine;
using testing::ScratchDir;
using testing::WriteText;
using Messages = std::vector<std::string>;

std::string VersionFile(const char* name) {
    return ReadDataFile(std::string("versions/") + name);
}

// A server file whose mail settings differ from every local file's.
std::string ServerFile(const char* version = "v2.10.ini") {
    return ReplaceLine(VersionFile(version), "UseSMTP=1", "UseSMTP=0");
}

// The alarm table of a file read on its own, in "Single" mode.
std::vector<AlRec> AlarmsOf(const std::string& text) {
    ScratchDir dir;
    Globals g;
    testing::Prepare(g, dir);
    CollectingReporter reporter;
    EXPECT_EQ(testing::ReadLocalText(g, dir, text, reporter), kFileDone);
    EXPECT_EQ(reporter.messages, Messages{});
    return g.AlarmTable;
}

// What the last read left behind, so that an abandoned read shows.
void OldAlarms(Globals& g) {
    g.AlarmCount = 1;
    g.ResetAlarmTable(1);
    g.AlarmTable[1].AlName = "from the last read";
}

TEST(AlarmFileClient, ClientFollowsTheSharedFile) {
    ScratchDir dir;
    const std::string shared = dir.file("server/alfile.ini");
    std::filesystem::create_directory(dir.file("server"));
    WriteText(shared, ServerFile());
    // A client set up from a configuration file: version 2.01, no alarms.
    const std::string local =
        ReplaceLine(ReadDataFile("golden/client.ini"), "AlarmFile=/mnt/server/alfile.ini",
                    "AlarmFile=" + shared);

    Globals g;
    testing::Prepare(g, dir);
    OldAlarms(g);
    CollectingReporter reporter;
    ASSERT_EQ(testing::ReadLocalText(g, dir, local, reporter, /*followClient=*/true), kFileDone);
    EXPECT_EQ(reporter.messages, Messages{});

    // Alarms and global rules come from the shared file, read by its own
    // version: the 2.10 gate of AlXMonths is open although the local file is 2.01.
    EXPECT_EQ(g.AlarmTable, AlarmsOf(ServerFile()));
    EXPECT_EQ(g.AlarmTable[1].Schedule.AlXMonths, 16);
    EXPECT_EQ(g.AlarmCount, 2);
    EXPECT_EQ(g.GlobalExceptions.Count, 1);
    EXPECT_DOUBLE_EQ(g.FileVersion, 2.01);

    const SettingsRec& s = g.Settings;
    // Mail settings from the shared file.
    EXPECT_TRUE(s.UseSMTP);
    EXPECT_EQ(s.SMTPServer, "mail.v");
    EXPECT_EQ(s.SMTPUser, "user.v");
    EXPECT_EQ(s.SMTPPass, "pass.v");
    EXPECT_EQ(s.ReplyTo, "reply@v");
    // Everything else from the local file.
    EXPECT_EQ(s.UserMode, "Client");
    EXPECT_EQ(s.AlarmFile, shared);
    EXPECT_TRUE(s.dldAlarmFile);  // the shared file says false
    EXPECT_EQ(s.dldInterval, 10);
    EXPECT_FALSE(s.allowWake);
    EXPECT_FALSE(s.enablelogging);
    const SettingsRec defaults;  // 2.01: the colours are not read
    EXPECT_EQ(s.monthBackColor, defaults.monthBackColor);
    EXPECT_EQ(s.trailingTextColor, defaults.trailingTextColor);
}

// The shared file may start with a byte-order mark too. Its damage marks
// the alarms, but not the local file, which is the only one ever written.
TEST(AlarmFileClient, SharedFileMarkAndDamage) {
    ScratchDir dir;
    const std::string shared = dir.file("shared.ini");
    const std::string local =
        ReplaceLine(ReadDataFile("golden/client.ini"), "AlarmFile=/mnt/server/alfile.ini",
                    "AlarmFile=" + shared);
    struct Case {
        std::string text;
        int result;
        int firstDamaged;
        bool quiet;
    } cases[] = {
        {"\xEF\xBB\xBF" + ServerFile(), kFileDone, 0, true},
        // Abandoned: nothing of it is taken over, so no alarm is marked.
        {ReplaceLine(ServerFile(), "repnum=7", "repnum=x"), kFileInvalid, 0, false},
        {ReplaceLine(ServerFile(), "AlType=7", "AlType=8"), kFileDone, 0, false},
    };
    for (const Case& c : cases) {
        WriteText(shared, c.text);
        Globals g;
        testing::Prepare(g, dir);
        g.AlarmFileDamaged = true;
        CollectingReporter reporter;
        EXPECT_EQ(testing::ReadLocalText(g, dir, local, reporter), c.result);
        EXPECT_EQ(reporter.messages.empty(), c.quiet);
        EXPECT_FALSE(g.AlarmFileDamaged);
        EXPECT_EQ(g.FirstDamagedAlarm, c.firstDamaged);
        if (c.result == kFileDone) {
            EXPECT_EQ(g.AlarmTable[2], AlarmsOf(ServerFile())[2]);
        }
    }
}

TEST(AlarmFileClient, SharedFileIsReadByItsOwnGates) {
    struct Case {
        const char* file;
        bool userPass;  // the shared file has the 2.01 user and password lines
        int steps;
    } cases[] = {
        {"v0.92.ini", false, 2},
        {"v1.29.ini", false, 5},
        // A 1.4 header has no download block: searching its marker would
        // find the first alarm's.
        {"v1.4.ini", false, 5},
        {"v1.401.ini", false, 5},
        {"v1.5.ini", false, 6},
        {"v2.01.ini", true, 6},
        {"v2.10.ini", true, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ScratchDir dir;
        const std::string shared = dir.file("shared.ini");
        WriteText(shared, ServerFile(c.file));
        std::string local =
            ReplaceLine(VersionFile("v2.10.ini"), "UserMode=Single", "UserMode=Client");
        local = ReplaceLine(local, "AlarmFile=/shared/ignored.ini", "AlarmFile=" + shared);
        local = ReplaceLine(local, "SMTP User=user.v", "SMTP User=local.user");
        local = ReplaceLine(local, "AlName=Simple", "AlName=Local");

        Globals g;
        testing::Prepare(g, dir);
        CollectingReporter reporter;
        ASSERT_EQ(testing::ReadLocalText(g, dir, local, reporter, true), kFileDone);
        EXPECT_EQ(reporter.messages, Messages{});
        EXPECT_EQ(g.AlarmTable, AlarmsOf(ServerFile(c.file)));
        EXPECT_EQ(g.AlarmTable[2].Events.Count, c.steps);
        EXPECT_TRUE(g.Settings.UseSMTP);
        EXPECT_EQ(g.Settings.SMTPUser, c.userPass ? "user.v" : "local.user");
        EXPECT_EQ(g.Settings.dldInterval, 15);
        EXPECT_EQ(g.Settings.monthBackColor, 1);
        EXPECT_DOUBLE_EQ(g.FileVersion, 2.1);

        // Not following: the local file's own alarms and mail settings.
        Globals h;
        testing::Prepare(h, dir);
        CollectingReporter again;
        ASSERT_EQ(ReadAlarmFile(h, {.followClient = false}, again), kFileDone);
        EXPECT_EQ(again.messages, Messages{});
        EXPECT_EQ(h.AlarmTable[1].AlName, "Local");
        EXPECT_EQ(h.AlarmTable[2].Events.Count, 6);
        EXPECT_FALSE(h.Settings.UseSMTP);
        EXPECT_EQ(h.Settings.SMTPUser, "local.user");
        EXPECT_EQ(h.Settings.UserMode, "Client");
        EXPECT_EQ(h.Settings.AlarmFile, shared);
    }
}

TEST(AlarmFileClient, SingleAndServerDropTheAlarmFileLine) {
    for (const char* mode : {"Single", "Server", "client", ""}) {
        SCOPED_TRACE(mode);
        ScratchDir dir;
        Globals g;
        testing::Prepare(g, dir);
        CollectingReporter reporter;
        ASSERT_EQ(testing::ReadLocalText(g, dir,
                                         ReplaceLine(VersionFile("v2.10.ini"), "UserMode=Single",
                                                     std::string("UserMode=") + mode),
                                         reporter),
                  kFileDone);
        EXPECT_EQ(reporter.messages, Messages{});
        EXPECT_EQ(g.Settings.UserMode, mode);
        EXPECT_EQ(g.Settings.AlarmFile, dir.file("alfile.ini"));
        EXPECT_EQ(g.AlarmTable[1].AlName, "Simple");
    }
}

// The line is read before the download settings; a fault there must not leave
// the file's path in place of the program's own.
TEST(AlarmFileClient, AbandonedReadKeepsTheOwnAlarmFileOutsideClientModes) {
    ScratchDir dir;
    Globals g;
    testing::Prepare(g, dir);
    CollectingReporter reporter;
    const std::string text =
        ReplaceLine(VersionFile("v2.10.ini"), "dldInterval=15", "dldInterval=x");
    EXPECT_EQ(testing::ReadLocalText(g, dir, text, reporter), kFileInvalid);
    EXPECT_EQ(reporter.messages, Messages{"Error Reading Input File: dldInterval"});
    EXPECT_EQ(g.Settings.AlarmFile, dir.file("alfile.ini"));
}

TEST(AlarmFileClient, SharedFileMissingOrInvalid) {
    ScratchDir dir;
    const std::string shared = dir.file("shared.ini");
    const std::string local =
        ReplaceLine(ReadDataFile("golden/client.ini"), "AlarmFile=/mnt/server/alfile.ini",
                    "AlarmFile=" + shared);
    {
        Globals g;
        testing::Prepare(g, dir);
        OldAlarms(g);
        CollectingReporter reporter;
        EXPECT_EQ(testing::ReadLocalText(g, dir, local, reporter), kFileCannotOpen);
        EXPECT_EQ(reporter.messages, Messages{});
        EXPECT_EQ(g.Settings.SMTPServer, "smtp.corp");  // the local header was read
        EXPECT_EQ(g.AlarmTable[1].AlName, "from the last read");
    }
    {
        WriteText(shared, "<html>Not here</html>\r\n");
        Globals g;
        testing::Prepare(g, dir);
        OldAlarms(g);
        CollectingReporter reporter;
        EXPECT_EQ(testing::ReadLocalText(g, dir, local, reporter), kFileInvalid);
        EXPECT_EQ(reporter.messages, Messages{"Error: Invalid alarm file"});
        EXPECT_EQ(g.AlarmTable[1].AlName, "from the last read");
    }
}

// --- Web client --------------------------------------------------------------

class FakeDownloader final : public AlarmFileDownloader {
public:
    bool Head(const std::string& url, HttpHead& head) override {
        ++heads;
        urls.push_back(url);
        if (!headOk) return false;
        head.date = date;
        return true;
    }
    bool Get(const std::string& url, std::string& body) override {
        ++gets;
        urls.push_back(url);
        if (!getOk || bodies.empty()) return false;
        body = bodies[std::min<std::size_t>(gets - 1, bodies.size() - 1)];
        return true;
    }

    bool headOk = true;
    bool getOk = true;
    DateTime date = Date(2024, 5, 6) + 0.5;
    std::vector<std::string> bodies;  // one per GET, the last one repeated
    int heads = 0;
    int gets = 0;
    std::vector<std::string> urls;
};

constexpr const char* kUrl = "http://server.example/ringmere/alfile.ini";

class AlarmFileWebClient : public ::testing::Test {
protected:
    void SetUp() override {
        std::string local =
            ReplaceLine(ReadDataFile("golden/client.ini"), "UserMode=Client", "UserMode=WClient");
        local = ReplaceLine(local, "AlarmFile=/mnt/server/alfile.ini",
                            std::string("AlarmFile=") + kUrl);
        WriteText(dir.file("alfile.ini"), local);
        testing::Prepare(g, dir);
        OldAlarms(g);
        g.WebFileDate = Date(2000, 1, 1);
    }

    int Read(bool reuseDownload) {
        return ReadAlarmFile(g, {.reuseDownload = reuseDownload}, reporter, &web);
    }
    std::string WebCopy() const { return dir.file("webtmp.ini"); }

    ScratchDir dir;
    Globals g;
    CollectingReporter reporter;
    FakeDownloader web;
};

TEST_F(AlarmFileWebClient, DownloadsAndReadsTheCopy) {
    web.bodies = {ServerFile()};
    ASSERT_EQ(Read(false), kFileDone);
    EXPECT_EQ(reporter.messages, Messages{});
    EXPECT_EQ(web.heads, 1);
    EXPECT_EQ(web.gets, 1);
    EXPECT_EQ(web.urls, (Messages{kUrl, kUrl}));
    EXPECT_EQ(g.WebFileDate, web.date);
    EXPECT_EQ(ReadText(WebCopy()), ServerFile() + "\r\n");
    EXPECT_EQ(g.AlarmTable, AlarmsOf(ServerFile()));
    EXPECT_TRUE(g.Settings.UseSMTP);  // the server's mail settings
    EXPECT_EQ(g.Settings.SMTPUser, "user.v");
    EXPECT_EQ(g.Settings.UserMode, "WClient");
    EXPECT_EQ(g.Settings.AlarmFile, kUrl);
    EXPECT_EQ(g.Settings.dldInterval, 10);
}

TEST_F(AlarmFileWebClient, ReusesAnExistingCopy) {
    WriteText(WebCopy(), ServerFile("v1.5.ini"));
    web.bodies = {ServerFile()};
    ASSERT_EQ(Read(true), kFileDone);
    EXPECT_EQ(reporter.messages, Messages{});
    EXPECT_EQ(web.heads + web.gets, 0);
    EXPECT_EQ(g.WebFileDate, Date(2000, 1, 1));
    EXPECT_EQ(g.AlarmTable, AlarmsOf(ServerFile("v1.5.ini")));

    // Without reuse the copy is fetched again.
    ASSERT_EQ(Read(false), kFileDone);
    EXPECT_EQ(web.heads, 1);
    EXPECT_EQ(ReadText(WebCopy()), ServerFile() + "\r\n");
    EXPECT_EQ(g.AlarmTable, AlarmsOf(ServerFile()));
}

TEST_F(AlarmFileWebClient, ReuseWithoutACopyDownloads) {
    web.bodies = {ServerFile()};
    ASSERT_EQ(Read(true), kFileDone);
    EXPECT_EQ(web.gets, 1);
    EXPECT_EQ(g.AlarmTable, AlarmsOf(ServerFile()));
}

TEST_F(AlarmFileWebClient, FailedHeadKeepsTheSettingsAndAlarms) {
    web.headOk = false;
    web.bodies = {ServerFile()};
    EXPECT_EQ(Read(false), kFileInvalid);
    EXPECT_EQ(reporter.messages, Messages{});
    EXPECT_EQ(web.gets, 0);
    EXPECT_FALSE(std::filesystem::exists(WebCopy()));
    EXPECT_EQ(g.WebFileDate, Date(2000, 1, 1));
    EXPECT_EQ(g.AlarmTable[1].AlName, "from the last read");
    EXPECT_EQ(g.AlarmCount, 1);
    // The local file's settings were read.
    EXPECT_EQ(g.Settings.UserMode, "WClient");
    EXPECT_EQ(g.Settings.SMTPServer, "smtp.corp");
    EXPECT_EQ(g.Settings.dldInterval, 10);
}

TEST_F(AlarmFileWebClient, FailedGetKeepsTheSettingsAlarmsAndOldCopy) {
    WriteText(WebCopy(), "old copy\r\n");
    web.getOk = false;
    EXPECT_EQ(Read(false), kFileInvalid);
    EXPECT_EQ(reporter.messages, Messages{});
    EXPECT_EQ(web.heads, 1);
    EXPECT_EQ(web.gets, 1);
    EXPECT_EQ(ReadText(WebCopy()), "old copy\r\n");
    EXPECT_EQ(g.AlarmTable[1].AlName, "from the last read");
    EXPECT_EQ(g.Settings.SMTPServer, "smtp.corp");
}

TEST_F(AlarmFileWebClient, NotAnAlarmFileIsFetchedOnceMore) {
    web.bodies = {"<html><body>Proxy error</body></html>"};
    EXPECT_EQ(Read(false), kFileInvalid);
    EXPECT_EQ(reporter.messages, Messages{"Error: Invalid alarm file"});
    EXPECT_EQ(web.heads, 2);
    EXPECT_EQ(web.gets, 2);
    EXPECT_EQ(g.AlarmTable[1].AlName, "from the last read");
}

TEST_F(AlarmFileWebClient, SecondFetchMayBeAnAlarmFile) {
    web.bodies = {"<html>busy</html>", ServerFile()};
    EXPECT_EQ(Read(false), kFileDone);
    EXPECT_EQ(reporter.messages, Messages{});
    EXPECT_EQ(web.gets, 2);
    EXPECT_EQ(g.AlarmTable, AlarmsOf(ServerFile()));
}

TEST_F(AlarmFileWebClient, InvalidReusedCopyIsFetchedAfresh) {
    WriteText(WebCopy(), "truncated\r\n");
    web.bodies = {ServerFile()};
    EXPECT_EQ(Read(true), kFileDone);
    EXPECT_EQ(reporter.messages, Messages{});
    EXPECT_EQ(web.heads, 1);
    EXPECT_EQ(web.gets, 1);
    EXPECT_EQ(g.AlarmTable, AlarmsOf(ServerFile()));
}

TEST_F(AlarmFileWebClient, NoDownloaderIsAFailedDownload) {
    EXPECT_EQ(ReadAlarmFile(g, {.followClient = true}, reporter, nullptr), kFileInvalid);
    EXPECT_EQ(reporter.messages, Messages{});
    EXPECT_EQ(g.AlarmTable[1].AlName, "from the last read");
}

// --- Start-up upgrade ----------------------------------------------------------

struct UpgradeRun {
    int result = 0;
    Messages messages;
    bool upgraded = false;
    std::string before, after;  // the file's text
    bool allowWake = false;
    std::vector<AlRec> alarms;
};

UpgradeRun ReadAndUpgrade(const ScratchDir& dir, const std::string& text,
                          const char* name = "alfile.ini") {
    UpgradeRun run;
    Globals g;
    testing::Prepare(g, dir);
    g.LocalFileName = name;
    WriteText(dir.file(name), text);
    run.before = text;
    CollectingReporter reporter;
    run.result = ReadAlarmFile(g, {.followClient = true}, reporter);
    run.messages = reporter.messages;
    run.upgraded = UpgradeOldAlarmFile(g, run.result, reporter.messages.empty(), reporter);
    run.after = ReadText(dir.file(name));
    run.allowWake = g.Settings.allowWake;
    run.alarms = g.AlarmTable;
    return run;
}

TEST(AlarmFileUpgrade, OldFilesAreRewrittenInTheCurrentLayout) {
    for (const char* file : {"v1.3.ini", "v0.92.ini", "v1.29.ini"}) {
        SCOPED_TRACE(file);
        ScratchDir dir;
        const UpgradeRun run = ReadAndUpgrade(dir, VersionFile(file));
        ASSERT_EQ(run.result, kFileDone);
        EXPECT_TRUE(run.upgraded);
        EXPECT_TRUE(run.allowWake);
        EXPECT_EQ(run.after.rfind("[Alarm Info]\r\nVersion=2.10\r\n", 0), 0u);
        EXPECT_NE(run.after.find("\r\nallowWake=0\r\n"), std::string::npos);

        // Read again, the new file holds the same alarms.
        Globals g;
        testing::Prepare(g, dir);
        CollectingReporter reporter;
        ASSERT_EQ(ReadAlarmFile(g, {.followClient = true}, reporter), kFileDone);
        EXPECT_EQ(reporter.messages, Messages{});
        EXPECT_DOUBLE_EQ(g.FileVersion, 2.1);
        EXPECT_TRUE(g.Settings.allowWake);
        EXPECT_EQ(g.AlarmTable, run.alarms);
    }
}

TEST(AlarmFileUpgrade, FilesFromVersion14OnAreLeftAlone) {
    for (const char* file : {"v1.4.ini", "v1.401.ini", "v2.01.ini", "v2.10.ini"}) {
        SCOPED_TRACE(file);
        ScratchDir dir;
        const UpgradeRun run = ReadAndUpgrade(dir, VersionFile(file));
        EXPECT_FALSE(run.upgraded);
        EXPECT_EQ(run.after, run.before);
    }
    ScratchDir dir;
    EXPECT_FALSE(ReadAndUpgrade(dir, VersionFile("v1.4.ini")).allowWake);
}

TEST(AlarmFileUpgrade, FileReadWithMessagesOrAbandonedIsLeftAlone) {
    struct Case {
        const char* from;
        const char* to;
        int result;
    } cases[] = {
        {"AlStartDate=3/7/2004", "AlStartDate=3/32/2004", kFileDone},
        {"AlWeekdays=3,5", "AlWeekdays=3,?", kFileDone},
        {"AlXDays=13", "AlXDays=?", kFileInvalid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        ScratchDir dir;
        const UpgradeRun run =
            ReadAndUpgrade(dir, ReplaceLine(VersionFile("v1.3.ini"), c.from, c.to));
        EXPECT_EQ(run.result, c.result);
        EXPECT_EQ(run.messages.size(), 1u);
        EXPECT_FALSE(run.upgraded);
        EXPECT_EQ(run.after, run.before);
    }
}

TEST(AlarmFileUpgrade, MissingFileIsNotCreated) {
    ScratchDir dir;
    Globals g;
    testing::Prepare(g, dir);
    CollectingReporter reporter;
    const int result = ReadAlarmFile(g, {.followClient = true}, reporter);
    EXPECT_EQ(result, kFileCannotOpen);
    EXPECT_FALSE(UpgradeOldAlarmFile(g, result, true, reporter));
    EXPECT_FALSE(std::filesystem::exists(dir.file("alfile.ini")));
}

TEST(AlarmFileUpgrade, RewritesTheFileThatWasRead) {
    ScratchDir dir;
    const UpgradeRun run = ReadAndUpgrade(dir, VersionFile("v1.3.ini"), "other.ini");
    EXPECT_TRUE(run.upgraded);
    EXPECT_EQ(run.after.rfind("[Alarm Info]\r\nVersion=2.10\r\n", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir.file("alfile.ini")));
}

}  // namespace
}  // namespace ringmere
