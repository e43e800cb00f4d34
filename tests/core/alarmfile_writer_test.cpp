// The writer against hand-written files, and its edge cases.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "core/alarmfile.h"
#include "core/globals.h"
#include "tests/core/alarmfile_testing.h"
#include "tests/core/rules_testing.h"

namespace ringmere {
namespace {

using fixtures::DatesRule;
using fixtures::WeekdaysRule;
using fixtures::WindowRule;

using testing::Crlf;
using testing::CrlfLines;
using testing::Date;
using testing::ReadDataFile;
using testing::ReadText;
using testing::ScratchDir;
using testing::Time;
using testing::WriteText;

ExList Rules(std::vector<ExRec> rules) {
    ExList l;
    l.Count = static_cast<Integer>(rules.size());
    l.Items = std::move(rules);
    return l;
}

AlEvent Step(const char* name, Byte kind) {
    AlEvent e;
    e.evname = name;
    e.evtype = kind;
    return e;
}

// The records of tests/data/golden/full.ini. Fields the layout does not
// carry (actions of a scripted alarm, other kinds' records of a step, the
// script of a simple alarm, rule fields of other rule types) hold values
// too, so that writing them would show.
Globals GoldenGlobals() {
    Globals g;
    g.ProgramDir = "/opt/ringmere/";
    SetDefaultSettings(g);
    SettingsRec& s = g.Settings;
    s.UseSMTP = true;
    s.SMTPServer = "mail.example.org";
    s.SMTPUser = "alice";
    s.SMTPPass = "s3cret";
    s.ReplyTo = "alice@example.org";
    s.UserMode = "Server";
    s.AlarmFile = "/srv/ringmere/alfile.ini";
    s.dldAlarmFile = false;
    s.dldInterval = 45;
    s.allowWake = true;
    s.enablelogging = true;
    s.monthBackColor = kColorWindow;
    s.textColor = 255;
    s.titleBackColor = 65280;
    s.titleTextColor = kColorWindowText;
    s.trailingTextColor = kColorWhite;
    s.TimeServerTO = 99;  // registry values never reach the file
    s.autoserver = "not.in.file";

    ExRec daily = WindowRule(Time(22, 0), Time(6, 30));
    daily.ExSelType = 1;  // not carried by a daily rule
    daily.ExDayCnt = 1;
    daily.ExDays = {Date(2000, 1, 1)};
    g.GlobalExceptions =
        Rules({daily, DatesRule({Date(2024, 12, 25), Date(2025, 1, 1)}, 1, Time(8, 0), Time(12, 0)),
               WeekdaysRule({1, 7})});

    g.AlarmCount = 2;
    g.ResetAlarmTable(2);

    AlRec& a = g.AlarmTable[1];
    a.AlName = "Morning call";
    a.AlMessage = "Wake up\r\nTime for work";
    a.AlHideWindow = true;
    a.AlFlashWindow = false;
    a.AlSnooze = true;
    a.snoozeming = 10;
    a.enabled = true;
    a.mtype = 0;
    TimeRec& t = a.Schedule;
    t.AlType = 1;
    t.AlTime = Time(7, 15);
    t.AlStartDate = Date(2004, 3, 7);
    t.AlEndType = 3;
    t.AlEndDate = Date(2025, 12, 31);
    t.AlEndTime = Time(23, 59, 59);
    t.AlWeekdaynum = 3;
    t.AlWeekdays = {2, 4, 6};
    t.AlXWeeks = 1;
    a.AlMinWindow = false;
    ExRec dates = DatesRule({Date(2024, 7, 4)}, 0);
    dates.ExTStart = Time(1, 0);  // not carried with ExSelType 0
    dates.ExWeekdayNum = 1;
    dates.ExWeekDays = {3};
    a.Exceptions = Rules({dates});
    a.Music->MuType = 1;
    a.Music->Mp3 = {"/music/a.mp3", 1};
    a.Music->Wav = {"/sounds/bell.wav", 2, 30};
    a.Music->Cd = {"D", 1, 4};
    *a.Dial = {true, true, "ISP", 3};
    *a.Launch = {"/usr/bin/backup", "--all", "/usr/bin/report", "", "", "-q"};
    *a.Web = {"https://example.org/news", false};
    a.Mail->sendmessage = true;
    a.Mail->servername = "smtp.old";
    a.Mail->username = "bob";
    a.Mail->from = "alice@example.org";
    a.Mail->mto = "bob@example.org;carol@example.org";
    a.Mail->subject = "Morning";
    a.Mail->msg = "Line one\r\nLine two\r\nLine three";
    a.Mail->nAttach = 2;
    a.Mail->Attachment = {"/tmp/a.txt", "/tmp/b.txt"};
    *a.Synch = {true, "time.example.org"};
    FTPRecT& f = *a.Ftp;
    f.ftpenabled = true;
    f.ftpserver = "ftp.example.org";
    f.ftppath = "/pub/in";
    f.ftplocalfile = "/home/alice/out.txt";
    f.ftpport = 21;
    f.ftpuser = "anon";
    f.ftppass = "pw";
    f.ftpupload = true;
    f.ftpascmode = false;
    f.ftppassive = true;
    f.ftpretry = true;
    f.ftpmaxretry = 5;
    f.ftpdelay = 60;
    f.ftpreconnect = false;
    f.ftpdialname = "ISP2";
    f.ftpmaxrecon = 2;
    f.ftprecondelay = 30;
    f.ftptransfertype = 1;
    *a.FileOp = {1, "/a", "/b", "/c"};
    // A simple alarm keeps a script it once had; it is not written.
    a.Events.Count = 1;
    a.Events.Items = {Step("left over", kStepSleep)};

    AlRec& b = g.AlarmTable[2];
    b.AlName = "Nightly script";
    b.AlHideWindow = false;
    b.AlFlashWindow = true;
    b.AlSnooze = false;
    b.snoozeming = 5;
    b.enabled = false;
    b.mtype = 1;
    TimeRec& u = b.Schedule;
    u.AlType = 3;
    u.AlTime = Time(23, 30);
    u.AlStartDate = Date(2024, 1, 15);
    u.AlEndType = 1;
    u.AlXTimes = 2;
    u.AlMDay = 7;
    u.AlDayCount = 2;
    u.AlDays = {Date(2024, 2, 29), Date(2024, 10, 5)};
    u.AlXMin = 15;
    u.AlXHours = 2;
    u.AlXDays = 3;
    u.AlXYears = 4;
    u.AlXWeeks = 5;
    u.AlXMonths = 6;
    u.AlMType = 3;
    u.AlMonthdaynum = 3;
    u.AlMonthDays = {1, 15, 31};
    u.AlMWeekdaynum = 2;
    u.AlMWeekdays = {2, 6};
    u.AlMWeekDWNum = 2;
    u.AlMWeekDW = {1, 5};
    b.AlMinWindow = true;
    b.Exceptions = Rules({WindowRule(Time(0, 0), Time(1, 0)), WeekdaysRule({4})});
    // A scripted alarm's own action records are not written.
    b.Music->Mp3.mp3file = "/not/written.mp3";
    b.Web->url1 = "http://not.written/";

    std::vector<AlEvent> steps;
    AlEvent sound = Step("Play bell", kStepSound);
    sound.Music->MuType = 2;
    sound.Music->Wav = {"/w.wav", 0, 1};
    sound.Music->Cd = {"E", 0, 7};
    sound.Web->url1 = "http://not.written/";
    steps.push_back(sound);
    AlEvent dial = Step("Connect", kStepDialup);
    *dial.Dial = {true, false, "Work", 2};
    steps.push_back(dial);
    AlEvent launch = Step("Run tool", kStepLaunch);
    *launch.Launch = {"/bin/tool", "-x y"};
    steps.push_back(launch);
    AlEvent web = Step("Open site", kStepWeb);
    *web.Web = {"http://a.example/", true};
    steps.push_back(web);
    AlEvent mail = Step("Send report", kStepMail);
    mail.Mail->sendmessage = true;
    mail.Mail->from = "a@x";
    mail.Mail->mto = "b@x";
    mail.Mail->subject = "Report";
    mail.Mail->msg = "Done";
    mail.Mail->nAttach = 1;
    mail.Mail->Attachment = {"/var/log/r.log"};
    steps.push_back(mail);
    AlEvent sleep = Step("Sleep 30", kStepSleep);
    sleep.sseconds = 30;
    sleep.Synch->synchserver = "not.written";
    steps.push_back(sleep);
    AlEvent synch = Step("Sync clock", kStepSynch);
    *synch.Synch = {true, "time.nist.gov"};
    steps.push_back(synch);
    AlEvent ftp = Step("Download", kStepFtp);
    FTPRecT& sf = *ftp.Ftp;
    sf.ftpenabled = true;
    sf.ftpserver = "ftp2";
    sf.ftpport = 2121;
    sf.ftplocalfile = "/l";
    sf.ftppath = "/r";
    sf.ftpuser = "u";
    sf.ftppass = "p";
    sf.ftpupload = false;
    sf.ftpascmode = true;
    sf.ftppassive = false;
    sf.ftpretry = false;
    sf.ftpreconnect = true;
    sf.ftpdialname = "D";
    sf.ftpmaxrecon = 1;
    sf.ftprecondelay = 10;
    sf.ftptransfertype = 0;
    steps.push_back(ftp);
    AlEvent repeat = Step("Repeat", kStepRepeat);
    repeat.Repeat = {2, 0, 3};
    steps.push_back(repeat);
    AlEvent none = Step("Nothing", kStepFileOp);
    *none.FileOp = {0, "/not", "/written", "/either"};
    steps.push_back(none);
    AlEvent copy = Step("Copy", kStepFileOp);
    *copy.FileOp = {1, "/x", "/y", "/not-written"};
    steps.push_back(copy);
    AlEvent del = Step("Delete", kStepFileOp);
    *del.FileOp = {3, "/not", "/written", "/tmp/old"};
    steps.push_back(del);
    b.Events.Count = static_cast<Integer>(steps.size());
    b.Events.Items = std::move(steps);
    return g;
}

// Shows the first differing line, which a whole-text comparison buries.
void ExpectSameLines(const std::string& actual, const std::string& expected) {
    const auto a = CrlfLines(actual);
    const auto e = CrlfLines(expected);
    for (std::size_t i = 0; i < std::min(a.size(), e.size()); ++i)
        ASSERT_EQ(a[i], e[i]) << "line " << i + 1;
    EXPECT_EQ(a.size(), e.size());
    EXPECT_EQ(actual, expected);
}

TEST(AlarmFileWriter, GoldenLayoutOfEveryBlock) {
    ExpectSameLines(FormatAlarmFile(GoldenGlobals()), ReadDataFile("golden/full.ini"));
}

TEST(AlarmFileWriter, WriteAlarmFileWritesTheFormattedText) {
    ScratchDir dir;
    CollectingReporter reporter;
    const Globals g = GoldenGlobals();
    ASSERT_EQ(WriteAlarmFile(g, dir.file("alfile.ini"), reporter), kFileDone);
    EXPECT_EQ(ReadText(dir.file("alfile.ini")), ReadDataFile("golden/full.ini"));
    EXPECT_TRUE(reporter.messages.empty());
}

TEST(AlarmFileWriter, GoldenFileReadsBackToItsRecords) {
    ScratchDir dir;
    Globals g;
    testing::Prepare(g, dir);
    CollectingReporter reporter;
    ASSERT_EQ(testing::ReadLocalText(g, dir, ReadDataFile("golden/full.ini"), reporter), kFileDone);
    EXPECT_TRUE(reporter.messages.empty());
    EXPECT_DOUBLE_EQ(g.FileVersion, 2.1);

    // What the layout does not carry comes back fresh.
    Globals want = GoldenGlobals();
    ExRec& daily = want.GlobalExceptions.Items[0];
    daily.ExSelType = 0;
    daily.ExDayCnt = 0;
    daily.ExDays.clear();
    ExRec& dates = want.AlarmTable[1].Exceptions.Items[0];
    dates.ExTStart = 0;
    dates.ExWeekdayNum = 0;
    dates.ExWeekDays.clear();
    want.AlarmTable[1].FileOp->fdel.clear();
    want.AlarmTable[1].Events = {};
    want.AlarmTable[2].Music = {};
    want.AlarmTable[2].Web = {};
    auto& steps = want.AlarmTable[2].Events.Items;
    steps[0].Web = {};
    steps[5].Synch = {};
    steps[9].FileOp = {};
    steps[10].FileOp->fdel.clear();
    steps[11].FileOp->ffrom.clear();
    steps[11].FileOp->fto.clear();

    EXPECT_EQ(g.GlobalExceptions, want.GlobalExceptions);
    ASSERT_EQ(g.AlarmCount, 2);
    ASSERT_EQ(g.AlarmTable.size(), 4u);  // slot 0, two alarms, the spare
    EXPECT_EQ(g.AlarmTable[1], want.AlarmTable[1]);
    EXPECT_EQ(g.AlarmTable[2].Events.Count, 12);
    for (std::size_t i = 0; i < steps.size() && i < g.AlarmTable[2].Events.Items.size(); ++i)
        EXPECT_EQ(g.AlarmTable[2].Events.Items[i], steps[i]) << "step " << i + 1;
    EXPECT_EQ(g.AlarmTable[2], want.AlarmTable[2]);
    EXPECT_EQ(g.AlarmTable[3], AlRec{});
    // Header values; a "Server" file does not take its AlarmFile line.
    const SettingsRec& s = g.Settings;
    const SettingsRec& w = want.Settings;
    EXPECT_EQ(s.UseSMTP, w.UseSMTP);
    EXPECT_EQ(s.SMTPServer, w.SMTPServer);
    EXPECT_EQ(s.SMTPUser, w.SMTPUser);
    EXPECT_EQ(s.SMTPPass, w.SMTPPass);
    EXPECT_EQ(s.ReplyTo, w.ReplyTo);
    EXPECT_EQ(s.UserMode, "Server");
    EXPECT_EQ(s.AlarmFile, dir.file("alfile.ini"));
    EXPECT_EQ(s.dldAlarmFile, w.dldAlarmFile);
    EXPECT_EQ(s.dldInterval, w.dldInterval);
    EXPECT_EQ(s.allowWake, w.allowWake);
    EXPECT_EQ(s.enablelogging, w.enablelogging);
    EXPECT_EQ(s.monthBackColor, w.monthBackColor);
    EXPECT_EQ(s.textColor, w.textColor);
    EXPECT_EQ(s.titleBackColor, w.titleBackColor);
    EXPECT_EQ(s.titleTextColor, w.titleTextColor);
    EXPECT_EQ(s.trailingTextColor, w.trailingTextColor);
    EXPECT_EQ(s.TimeServerTO, 30);
}

TEST(AlarmFileWriter, EmptyTableWithDefaultSettings) {
    Globals g;
    g.ProgramDir = "/opt/ringmere/";
    SetDefaultSettings(g);
    const std::string text = FormatAlarmFile(g);
    ExpectSameLines(text, ReadDataFile("golden/empty.ini"));
    EXPECT_EQ(CrlfLines(text).back(), "Alarm Count=0");
}

TEST(AlarmFileWriter, ClientConfigurationFile) {
    Globals g = GoldenGlobals();  // alarms and global rules stay out of it
    SettingsRec& s = g.Settings;
    s.UseSMTP = false;
    s.SMTPServer = "smtp.corp";
    s.SMTPUser = "u1";
    s.SMTPPass = "p1";
    s.ReplyTo = "r@corp";
    s.UserMode = "Server";
    s.AlarmFile = "/opt/ringmere/alfile.ini";
    s.dldAlarmFile = true;
    s.dldInterval = 10;
    s.allowWake = false;
    s.enablelogging = false;
    s.monthBackColor = 1;
    s.textColor = 2;
    s.titleBackColor = 3;
    s.titleTextColor = 4;
    s.trailingTextColor = 5;
    const std::string expected = ReadDataFile("golden/client.ini");
    ExpectSameLines(FormatClientConfigFile(g, "/mnt/server/alfile.ini"), expected);

    ScratchDir dir;
    CollectingReporter reporter;
    EXPECT_EQ(WriteClientConfigFile(g, dir.file("client.ini"), "/mnt/server/alfile.ini", reporter),
              kFileDone);
    EXPECT_EQ(ReadText(dir.file("client.ini")), expected);
    EXPECT_EQ(WriteClientConfigFile(g, dir.file("no/such/dir/client.ini"), "x", reporter),
              kFileCannotOpen);
    EXPECT_TRUE(reporter.messages.empty());
}

// One alarm in an otherwise empty file; returns its lines from the tag on.
std::vector<std::string> AlarmLines(const AlRec& alarm) {
    Globals g;
    g.ProgramDir = "/p/";
    SetDefaultSettings(g);
    g.AlarmCount = 1;
    g.ResetAlarmTable(1);
    g.AlarmTable[1] = alarm;
    auto lines = CrlfLines(FormatAlarmFile(g));
    const auto tag = std::find(lines.begin(), lines.end(), "[Alarm 1]");
    EXPECT_NE(tag, lines.end());
    return {tag, lines.end()};
}

// The lines after the first line equal to `from`, `n` of them.
std::vector<std::string> LinesAfter(const std::vector<std::string>& lines, std::string_view from,
                                    std::size_t n) {
    const auto at = std::find(lines.begin(), lines.end(), from);
    if (at == lines.end()) {
        ADD_FAILURE() << "no line " << from;
        return {};
    }
    const auto begin = at + 1;
    const auto end = static_cast<std::size_t>(lines.end() - begin) < n ? lines.end() : begin + n;
    return {begin, end};
}

using Lines = std::vector<std::string>;

TEST(AlarmFileWriter, MessageForms) {
    struct Case {
        const char* name;
        std::string message;
        Lines lines;  // from the AlMessage line to the AlHideWindow line
    } cases[] = {
        {"empty", "", {"AlMessage=", "AlHideWindow=1"}},
        {"one line", "a", {"AlMessage=a", "eom1", "AlHideWindow=1"}},
        {"two lines", "a\r\nb", {"AlMessage=a", "b", "eom1", "AlHideWindow=1"}},
        {"line end last", "a\r\n", {"AlMessage=a", "", "eom1", "AlHideWindow=1"}},
        {"empty first line", "\r\nb", {"AlMessage= ", "b", "eom1", "AlHideWindow=1"}},
        {"only a line break", "\r\n", {"AlMessage= ", "", "eom1", "AlHideWindow=1"}},
        {"an eom1 line", "a\r\neom1\r\nc", {"AlMessage=a", "eom1 ", "c", "eom1", "AlHideWindow=1"}},
        {"eom1 first", "eom1", {"AlMessage=eom1", "eom1", "AlHideWindow=1"}},
        {"LF alone", "a\nb", {"AlMessage=a", "b", "eom1", "AlHideWindow=1"}},
        {"CR alone", "a\rb", {"AlMessage=a", "b", "eom1", "AlHideWindow=1"}},
        {"brackets and equals",
         "[Alarm 2]\r\n[sw140-3]\r\nx=y",
         {"AlMessage=[Alarm 2]", "[sw140-3]", "x=y", "eom1", "AlHideWindow=1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AlRec a;
        a.AlMessage = c.message;
        const Lines lines = AlarmLines(a);
        ASSERT_GE(lines.size(), 1 + c.lines.size());
        EXPECT_EQ(Lines(lines.begin() + 2, lines.begin() + 2 + c.lines.size()), c.lines);
    }
}

TEST(AlarmFileWriter, MailBodyIsMultiLine) {
    AlRec a;
    a.Mail->msg = "x\r\n\r\ny";
    EXPECT_EQ(LinesAfter(AlarmLines(a), "subject=", 6),
              (Lines{"msg=x", "", "y", "eom1", "[Attachments]", "nAttach=0"}));
    a.Mail->msg.clear();
    EXPECT_EQ(LinesAfter(AlarmLines(a), "subject=", 2), (Lines{"msg=", "[Attachments]"}));
}

TEST(AlarmFileWriter, SingleLineTextsLoseTheirLineBreaks) {
    AlRec a;
    a.AlName = "one\r\ntwo\nthree\rfour";
    a.Launch->app1 = "Backup [daily]";
    a.Launch->param1 = "a=b";
    const Lines lines = AlarmLines(a);
    EXPECT_EQ(lines[1], "AlName=one two three four");
    EXPECT_EQ(LinesAfter(lines, "[File Launch]", 4)[0], "app1=Backup [daily]");
    EXPECT_EQ(LinesAfter(lines, "[File Launch]", 4)[3], "param1=a=b");
}

TEST(AlarmFileWriter, BooleansAreInverted) {
    AlRec on;
    on.AlHideWindow = on.AlFlashWindow = on.AlSnooze = on.enabled = on.AlMinWindow = true;
    AlRec off;
    const Lines a = AlarmLines(on);
    const Lines b = AlarmLines(off);
    for (const char* key :
         {"AlHideWindow", "AlFlashWindow", "AlSnooze", "enabled", "AlMinWindow"}) {
        SCOPED_TRACE(key);
        EXPECT_NE(std::find(a.begin(), a.end(), std::string(key) + "=0"), a.end());
        EXPECT_NE(std::find(b.begin(), b.end(), std::string(key) + "=1"), b.end());
    }
}

TEST(AlarmFileWriter, NumberLists) {
    struct Case {
        std::vector<Integer> list;
        Integer count;
        const char* value;
    } cases[] = {
        {{2, 4, 6}, 3, "2,4,6"}, {{}, 0, ""},
        {{7}, 1, "7"},           {{1, 2}, 4, "1,2,0,0"},  // a count beyond the list writes zeros
        {{1, 2, 3}, 2, "1,2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        AlRec a;
        a.Schedule.AlWeekdaynum = c.count;
        a.Schedule.AlWeekdays = c.list;
        a.Schedule.AlMonthdaynum = c.count;
        a.Schedule.AlMonthDays = c.list;
        a.Schedule.AlMWeekdaynum = c.count;
        a.Schedule.AlMWeekdays = c.list;
        a.Schedule.AlMWeekDWNum = c.count;
        a.Schedule.AlMWeekDW = c.list;
        const Lines lines = AlarmLines(a);
        const std::string n = std::to_string(c.count);
        EXPECT_EQ(LinesAfter(lines, "AlEndTime=12:00:00AM", 2),
                  (Lines{"AlWeekdaynum=" + n, std::string("AlWeekdays=") + c.value}));
        EXPECT_EQ(LinesAfter(lines, "AlMType=0", 6),
                  (Lines{"AlMonthdaynum=" + n, std::string("AlMonthDays=") + c.value,
                         "AlMWeekdaynum=" + n, std::string("AlMWeekdays=") + c.value,
                         "AlMWeekDWNum=" + n, std::string("AlMWeekDW=") + c.value}));
    }
}

TEST(AlarmFileWriter, CountsBeyondTheirListsWriteEmptyEntries) {
    AlRec a;
    a.Schedule.AlDayCount = 2;
    a.Schedule.AlDays = {Date(2004, 3, 7)};
    a.Mail->nAttach = 2;
    a.Mail->Attachment = {"x"};
    a.Exceptions.Count = 1;  // no rule in the list: a fresh one
    const Lines lines = AlarmLines(a);
    EXPECT_EQ(LinesAfter(lines, "[Alarm Days]", 3),
              (Lines{"AlDays(1)=3/7/2004", "AlDays(2)=12/30/1899", "[sw120]"}));
    EXPECT_EQ(LinesAfter(lines, "[Attachments]", 3),
              (Lines{"nAttach=2", "Attachment(1)=x", "Attachment(2)="}));
    EXPECT_EQ(LinesAfter(lines, "ExCnt=1", 4),
              (Lines{"[Except 1]", "ExType=0", "ExTStart=12:00:00AM", "ExTEnd=12:00:00AM"}));
}

TEST(AlarmFileWriter, TimesAndDates) {
    struct Case {
        DateTime time;
        const char* text;
    } times[] = {
        {Time(0, 0), "12:00:00AM"},         {Time(0, 0, 1), "12:00:01AM"},
        {Time(9, 5), "09:05:00AM"},         {Time(12, 0), "12:00:00PM"},
        {Time(21, 5), "09:05:00PM"},        {Time(23, 59, 59), "11:59:59PM"},
        {Time(10, 0) - 1e-9, "10:00:00AM"},
    };
    for (const Case& c : times) {
        SCOPED_TRACE(c.text);
        AlRec a;
        a.Schedule.AlTime = c.time;
        EXPECT_EQ(AlarmLines(a)[11], std::string("AlTime=") + c.text);
    }
    struct DateCase {
        DateTime date;
        const char* text;
    } dates[] = {
        {Date(2004, 3, 7), "3/7/2004"},
        {Date(2024, 12, 25), "12/25/2024"},
        {Date(1899, 12, 30), "12/30/1899"},
        {Date(9999, 12, 31), "12/31/9999"},
    };
    for (const DateCase& c : dates) {
        SCOPED_TRACE(c.text);
        AlRec a;
        a.Schedule.AlStartDate = c.date;
        EXPECT_EQ(AlarmLines(a)[12], std::string("AlStartDate=") + c.text);
    }
}

TEST(AlarmFileWriter, SimpleAlarmWithNothingOnWritesAllEightBlocks) {
    const Lines lines = AlarmLines(AlRec{});
    const Lines expected = {
        "[Alarm 1]", "AlName=", "AlMessage=", "AlHideWindow=1", "[sw140-3]", "AlFlashWindow=1",
        "AlSnooze=1", "snoozeming=0", "enabled=1", "mtype=0", "AlType=0", "AlTime=12:00:00AM",
        "AlStartDate=12/30/1899", "AlEndType=0", "AlXTimes=0", "AlEndDate=12/30/1899",
        "AlEndTime=12:00:00AM", "AlWeekdaynum=0", "AlWeekdays=", "AlMDay=0", "AlDayCount=0",
        "AlXMin=0", "AlXHours=0", "AlXDays=0", "AlXYears=0", "AlXWeeks=0", "AlXMonths=0",
        "AlMType=0", "AlMonthdaynum=0", "AlMonthDays=", "AlMWeekdaynum=0",
        "AlMWeekdays=", "AlMWeekDWNum=0", "AlMWeekDW=", "[Alarm Days]", "[sw120]", "AlMinWindow=1",
        "[sw129]", "ExCnt=0",
        // Sound
        "[Music Settings]", "MuType=0", "[MP3 Rec]", "mp3file=", "mp3ptype=0", "[Wav Rec]",
        "wavfile=", "wavtype=0", "reptimes=0", "[CD Rec]", "cddrive=", "tracktype=0", "cdtrack=0",
        // Dial-up
        "[DialUp Settings]", "usedialup=1", "dialname=", "redialattempts=0", "connectm=1",
        // Programs
        "[File Launch]", "app1=", "app2=", "app3=", "param1=", "param2=", "param3=",
        // Web page
        "[Web Launch]", "url1=", "opennew=1",
        // Mail
        "[smtp]", "sendmessage=1",
        "servername=", "username=", "from=", "mto=", "subject=", "msg=", "[Attachments]",
        "nAttach=0",
        // Synchronisation
        "[Synch]", "dosynch=1", "synchserver=",
        // FTP
        "[FTP]", "ftpenabled=1", "ftpserver=", "ftpport=0",
        "ftplocalfile=", "ftppath=", "ftpuser=", "ftppass=", "ftpupload=1", "ftpascmode=1",
        "[sw141-1]", "ftppassive=1", "[sw150-8]", "ftpretry=1", "ftpmaxretry=0", "ftpdelay=0",
        "ftpreconnect=1", "ftpdialname=", "ftpmaxrecon=0", "ftprecondelay=0", "ftptransfertype=0",
        // File operation
        "[sw150-1]", "[fileop]", "fop=0"};
    EXPECT_EQ(lines, expected);
}

TEST(AlarmFileWriter, FileOperationForms) {
    struct Case {
        Byte fop;
        Lines tail;
    } cases[] = {
        {0, {"[sw150-1]", "[fileop]", "fop=0"}},
        {1, {"[sw150-1]", "[fileop]", "fop=1", "[sw150-2]", "ffrom=F", "fto=T"}},
        {2, {"[sw150-1]", "[fileop]", "fop=2", "[sw150-2]", "ffrom=F", "fto=T"}},
        {3, {"[sw150-1]", "[fileop]", "fop=3", "[sw150-1]", "fdel=D"}},
        {4, {"[sw150-1]", "[fileop]", "fop=4"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fop));
        AlRec simple;
        *simple.FileOp = {c.fop, "F", "T", "D"};
        const Lines s = AlarmLines(simple);
        ASSERT_GE(s.size(), c.tail.size());
        EXPECT_EQ(Lines(s.end() - c.tail.size(), s.end()), c.tail);

        // As the only step of a script: nothing follows the block.
        AlRec script;
        script.mtype = 1;
        AlEvent e = Step("op", kStepFileOp);
        e.FileOp = simple.FileOp;
        script.Events = {1, {e}};
        Lines expected = {"Event Count=1", "[Event 1]", "[Event Info]", "evname=op", "evtype=9"};
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        const Lines t = AlarmLines(script);
        ASSERT_GE(t.size(), expected.size());
        EXPECT_EQ(Lines(t.end() - expected.size(), t.end()), expected);
    }
}

TEST(AlarmFileWriter, StepOfUnknownKindHasNoBlock) {
    AlRec a;
    a.mtype = 1;
    AlEvent odd = Step("odd", 10);
    odd.sseconds = 5;
    odd.Music->MuType = 1;
    a.Events = {2, {odd, Step("next", kStepSleep)}};
    const Lines lines = AlarmLines(a);
    EXPECT_EQ(LinesAfter(lines, "ExCnt=0", 10),
              (Lines{"Event Count=2", "[Event 1]", "[Event Info]", "evname=odd", "evtype=10",
                     "[Event 2]", "[Event Info]", "evname=next", "evtype=5", "[sleep]"}));
}

TEST(AlarmFileWriter, AnyNonZeroMtypeWritesTheScript) {
    AlRec a;
    a.mtype = 2;
    a.Events = {0, {}};
    const Lines lines = AlarmLines(a);
    EXPECT_EQ(lines.back(), "Event Count=0");
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "[Music Settings]"), lines.end());
}

TEST(AlarmFileWriter, AlarmCountBeyondTheTableWritesEmptyAlarms) {
    Globals g;
    g.ProgramDir = "/p/";
    SetDefaultSettings(g);
    g.ResetAlarmTable(1);
    g.AlarmTable[1].AlName = "first";
    g.AlarmCount = 4;  // table holds slots 0 to 2 only
    const Lines lines = CrlfLines(FormatAlarmFile(g));
    EXPECT_EQ(LinesAfter(lines, "[Alarm 1]", 1), Lines{"AlName=first"});
    EXPECT_EQ(LinesAfter(lines, "[Alarm 2]", 1), Lines{"AlName="});
    EXPECT_EQ(LinesAfter(lines, "[Alarm 4]", 1), Lines{"AlName="});
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "[Music Settings]"), 4);
}

// --- Atomic replacement --------------------------------------------------

TEST(AlarmFileWriterFiles, MissingDirectoryGivesCannotCreate) {
    ScratchDir dir;
    CollectingReporter reporter;
    EXPECT_EQ(WriteAlarmFile(GoldenGlobals(), dir.file("none/alfile.ini"), reporter),
              kFileCannotOpen);
    EXPECT_TRUE(reporter.messages.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("none")));
}

TEST(AlarmFileWriterFiles, DirectoryInTheWayGivesCannotCreate) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.file("alfile.ini"));
    CollectingReporter reporter;
    EXPECT_EQ(WriteAlarmFile(GoldenGlobals(), dir.file("alfile.ini"), reporter), kFileCannotOpen);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("alfile.ini")));
}

// Root may write anywhere, so the write is tried from a child process that
// has given up root.
TEST(AlarmFileWriterFiles, UnwritableDirectoryGivesCannotCreateAndKeepsTheOldFile) {
    ScratchDir dir;
    const std::string path = dir.file("alfile.ini");
    WriteText(path, "old contents\r\n");
    chmod(dir.path().c_str(), 0555);
    const Globals g = GoldenGlobals();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && setuid(65534) != 0) _exit(100);
        SilentReporter silent;
        _exit(WriteAlarmFile(g, path, silent) == kFileCannotOpen ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(ReadText(path), "old contents\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(AlarmFileWriterFiles, WriteErrorReportsAndKeepsTheOldFile) {
    ScratchDir dir;
    const std::string path = dir.file("alfile.ini");
    WriteText(path, "old contents\r\n");
    const Globals g = GoldenGlobals();
    CollectingReporter reporter;

    // A file size limit makes the write fail part way.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = WriteAlarmFile(g, path, reporter);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(result, kFileWriteFailed);
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_NE(reporter.messages[0].find("alfile.ini"), std::string::npos) << reporter.messages[0];
    EXPECT_EQ(ReadText(path), "old contents\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "the temporary file was left behind";
}

TEST(AlarmFileWriterFiles, ReplacesTheOldFileWhole) {
    ScratchDir dir;
    const std::string path = dir.file("alfile.ini");
    WriteText(path, std::string(100000, 'x'));  // longer than the new text
    CollectingReporter reporter;
    ASSERT_EQ(WriteAlarmFile(GoldenGlobals(), path, reporter), kFileDone);
    EXPECT_EQ(ReadText(path), ReadDataFile("golden/full.ini"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(AlarmFileWriterFiles, WritingThroughALinkReplacesItsTarget) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.file("real"));
    const std::string target = dir.file("real/shared.ini");
    WriteText(target, "old\r\n");
    std::filesystem::create_symlink("real/shared.ini", dir.file("alfile.ini"));
    CollectingReporter reporter;
    ASSERT_EQ(WriteAlarmFile(GoldenGlobals(), dir.file("alfile.ini"), reporter), kFileDone);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("alfile.ini")));
    EXPECT_EQ(ReadText(target), ReadDataFile("golden/full.ini"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("real")), {}), 1);
}

TEST(AlarmFileWriterFiles, KeepsThePermissionsOfTheOldFile) {
    ScratchDir dir;
    const std::string path = dir.file("alfile.ini");
    for (mode_t mode : {0640, 0604, 0600}) {
        SCOPED_TRACE(mode);
        WriteText(path, "old\r\n");
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
        CollectingReporter reporter;
        ASSERT_EQ(WriteAlarmFile(GoldenGlobals(), path, reporter), kFileDone);
        struct stat st {};
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
    }
}

}  // namespace
}  // namespace ringmere
