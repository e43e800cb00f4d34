// The reader against hand-made files of every layout version, and against
// broken files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include "core/alarmfile.h"
#include "core/globals.h"
#include "tests/core/alarmfile_testing.h"

namespace ringmere {
namespace {

using testing::Date;
using testing::ReadDataFile;
using testing::RemoveLine;
using testing::ReplaceLine;
using testing::ScratchDir;
using testing::Time;
using testing::ToLfOnly;
using Messages = std::vector<std::string>;

std::string TagMissing(std::string_view tag) {
    return "Error reading alarm file.  Tag, " + std::string(tag) + " not found.";
}

std::string InputError(std::string_view key) {
    return "Error Reading Input File: " + std::string(key);
}

// Values set before reading, so that a block the file lacks shows as kept.
void Preset(Globals& g) {
    SettingsRec& s = g.Settings;
    s.SMTPUser = "kept.user";
    s.SMTPPass = "kept.pass";
    s.dldAlarmFile = true;
    s.dldInterval = 99;
    s.allowWake = false;
    s.enablelogging = false;
    s.monthBackColor = s.textColor = s.titleBackColor = s.titleTextColor = s.trailingTextColor = 7;
    ExRec kept;
    kept.ExType = 1;
    kept.ExDayCnt = 1;
    kept.ExDays = {Date(1999, 9, 9)};
    g.GlobalExceptions = {1, {kept}};
}

struct ReadOutcome {
    std::unique_ptr<Globals> g = std::make_unique<Globals>();
    int result = 0;
    Messages messages;
};

ReadOutcome ReadText(const std::string& text,
                     const std::function<void(Globals&)>& before = Preset) {
    ScratchDir dir;
    ReadOutcome out;
    testing::Prepare(*out.g, dir);
    if (before) before(*out.g);
    CollectingReporter reporter;
    out.result = testing::ReadLocalText(*out.g, dir, text, reporter);
    out.messages = reporter.messages;
    // The scratch directory is gone with the read; its name stays comparable.
    out.g->ProgramDir = "<dir>/";
    std::string& file = out.g->Settings.AlarmFile;
    if (file.rfind(dir.dir(), 0) == 0) file = "<dir>/" + file.substr(dir.dir().size());
    return out;
}

void ExpectSameRecords(const Globals& actual, const Globals& expected) {
    EXPECT_EQ(actual.Settings, expected.Settings);
    EXPECT_EQ(actual.GlobalExceptions, expected.GlobalExceptions);
    EXPECT_EQ(actual.AlarmCount, expected.AlarmCount);
    ASSERT_EQ(actual.AlarmTable.size(), expected.AlarmTable.size());
    for (std::size_t i = 0; i < actual.AlarmTable.size(); ++i)
        EXPECT_EQ(actual.AlarmTable[i], expected.AlarmTable[i]) << "alarm " << i;
    EXPECT_EQ(actual.FileVersion, expected.FileVersion);
}

// Which blocks a file of each version holds, from the gate table.
struct VersionCase {
    const char* file;
    double version;
    bool userPass, dld, logging, colours, globalRules, flash, xMonths, minWindow, rules, params,
        attach, synch, ftp, passive, retry, repeat, fileOp;
    int steps;
};

// clang-format off
const VersionCase kVersions[] = {
    // file          version  usr    dld    log    col    gRul   flash  xMon   minW   rules  param  att    synch  ftp    pasv   retry  rep    fop   steps
    {"v0.92.ini",  0.92,  false, false, false, false, false, false, false, false, false, false, false, false, false, false, false, false, false, 2},
    {"v0.93.ini",  0.93,  false, false, false, false, false, false, false, false, false, false, true,  false, false, false, false, false, false, 2},
    {"v1.02.ini",  1.02,  false, false, false, false, false, false, false, false, false, true,  true,  true,  false, false, false, false, false, 3},
    {"v1.2.ini",   1.2,   false, false, false, false, false, false, false, true,  false, true,  true,  true,  true,  false, false, false, false, 4},
    {"v1.29.ini",  1.29,  false, false, false, false, true,  false, false, true,  true,  true,  true,  true,  true,  false, false, true,  false, 5},
    {"v1.3.ini",   1.3,   false, false, false, false, true,  false, false, true,  true,  true,  true,  true,  true,  false, false, true,  false, 5},
    {"v1.4.ini",   1.4,   false, false, false, false, true,  true,  false, true,  true,  true,  true,  true,  true,  false, false, true,  false, 5},
    {"v1.401.ini", 1.401, false, true,  false, false, true,  true,  false, true,  true,  true,  true,  true,  true,  true,  false, true,  false, 5},
    {"v1.5.ini",   1.5,   false, true,  true,  false, true,  true,  false, true,  true,  true,  true,  true,  true,  true,  true,  true,  true,  6},
    {"v2.01.ini",  2.01,  true,  true,  true,  false, true,  true,  false, true,  true,  true,  true,  true,  true,  true,  true,  true,  true,  6},
    {"v2.02.ini",  2.02,  true,  true,  true,  true,  true,  true,  false, true,  true,  true,  true,  true,  true,  true,  true,  true,  true,  6},
    {"v2.10.ini",  2.1,   true,  true,  true,  true,  true,  true,  true,  true,  true,  true,  true,  true,  true,  true,  true,  true,  true,  6},
};
// clang-format on

std::string VersionFile(const char* name) {
    return ReadDataFile(std::string("versions/") + name);
}

TEST(AlarmFileReader, FilesOfEveryVersion) {
    for (const VersionCase& v : kVersions) {
        SCOPED_TRACE(v.file);
        const ReadOutcome r = ReadText(VersionFile(v.file));
        ASSERT_EQ(r.result, kFileDone);
        EXPECT_EQ(r.messages, Messages{});
        const Globals& g = *r.g;
        EXPECT_DOUBLE_EQ(g.FileVersion, v.version);

        // Header
        const SettingsRec& s = g.Settings;
        EXPECT_FALSE(s.UseSMTP);
        EXPECT_EQ(s.SMTPServer, "mail.v");
        EXPECT_EQ(s.SMTPUser, v.userPass ? "user.v" : "kept.user");
        EXPECT_EQ(s.SMTPPass, v.userPass ? "pass.v" : "kept.pass");
        EXPECT_EQ(s.ReplyTo, "reply@v");
        EXPECT_EQ(s.UserMode, "Single");
        EXPECT_EQ(s.AlarmFile, "<dir>/alfile.ini");  // "Single" drops the file's AlarmFile line
        EXPECT_EQ(s.dldAlarmFile, !v.dld);
        EXPECT_EQ(s.dldInterval, v.dld ? 15 : 99);
        EXPECT_EQ(s.allowWake, v.dld);
        EXPECT_EQ(s.enablelogging, v.logging);
        const SettingsRec defaults;
        EXPECT_EQ(s.monthBackColor, v.colours ? 1 : defaults.monthBackColor);
        EXPECT_EQ(s.textColor, v.colours ? 2 : defaults.textColor);
        EXPECT_EQ(s.titleBackColor, v.colours ? 3 : defaults.titleBackColor);
        EXPECT_EQ(s.titleTextColor, v.colours ? 4 : defaults.titleTextColor);
        EXPECT_EQ(s.trailingTextColor, v.colours ? 5 : defaults.trailingTextColor);
        if (v.globalRules) {
            ExRec weekly;
            weekly.ExType = 2;
            weekly.ExWeekdayNum = 1;
            weekly.ExWeekDays = {1};
            EXPECT_EQ(g.GlobalExceptions, (ExList{1, {weekly}}));
        } else {
            EXPECT_EQ(g.GlobalExceptions.Items.at(0).ExDays,
                      std::vector<DateTime>{Date(1999, 9, 9)});
        }

        ASSERT_EQ(g.AlarmCount, 2);
        ASSERT_EQ(g.AlarmTable.size(), 4u);
        EXPECT_EQ(g.AlarmTable[3], AlRec{});

        // Simple alarm
        const AlRec& a = g.AlarmTable[1];
        EXPECT_EQ(a.AlName, "Simple");
        EXPECT_EQ(a.AlMessage, "Hello\r\nWorld");
        EXPECT_TRUE(a.AlHideWindow);
        EXPECT_EQ(a.AlFlashWindow, v.flash);
        EXPECT_EQ(a.AlSnooze, v.flash);
        EXPECT_EQ(a.snoozeming, v.flash ? 9 : 0);
        EXPECT_TRUE(a.enabled);
        EXPECT_EQ(a.mtype, 0);
        const TimeRec& t = a.Schedule;
        EXPECT_EQ(t.AlType, 7);
        EXPECT_EQ(t.AlTime, Time(21, 5));
        EXPECT_EQ(t.AlStartDate, Date(2004, 3, 7));
        EXPECT_EQ(t.AlEndType, 3);
        EXPECT_EQ(t.AlXTimes, 1);
        EXPECT_EQ(t.AlEndDate, Date(2005, 3, 7));
        EXPECT_EQ(t.AlEndTime, Time(6, 0));
        EXPECT_EQ(t.AlWeekdaynum, 2);
        EXPECT_EQ(t.AlWeekdays, (std::vector<Integer>{3, 5}));
        EXPECT_EQ(t.AlMDay, 2);
        EXPECT_EQ(t.AlDayCount, 1);
        EXPECT_EQ(t.AlDays, std::vector<DateTime>{Date(2004, 6, 1)});
        EXPECT_EQ(t.AlXMin, 11);
        EXPECT_EQ(t.AlXHours, 12);
        EXPECT_EQ(t.AlXDays, 13);
        EXPECT_EQ(t.AlXYears, 14);
        EXPECT_EQ(t.AlXWeeks, 15);
        EXPECT_EQ(t.AlXMonths, v.xMonths ? 16 : 0);
        EXPECT_EQ(t.AlMType, 2);
        EXPECT_EQ(t.AlMonthdaynum, 2);
        EXPECT_EQ(t.AlMonthDays, (std::vector<Integer>{10, 20}));
        EXPECT_EQ(t.AlMWeekdaynum, 1);
        EXPECT_EQ(t.AlMWeekdays, std::vector<Integer>{4});
        EXPECT_EQ(t.AlMWeekDWNum, 1);
        EXPECT_EQ(t.AlMWeekDW, std::vector<Integer>{5});
        EXPECT_EQ(a.AlMinWindow, v.minWindow);
        if (v.rules) {
            EXPECT_EQ(a.Exceptions.Count, 1);
            ASSERT_EQ(a.Exceptions.Items.size(), 1u);
            EXPECT_EQ(a.Exceptions.Items[0].ExType, 0);
            EXPECT_EQ(a.Exceptions.Items[0].ExTStart, Time(1, 0));
            EXPECT_EQ(a.Exceptions.Items[0].ExTEnd, Time(2, 0));
        } else {
            EXPECT_EQ(a.Exceptions, ExList{});
        }
        EXPECT_EQ(a.Music->MuType, 1);
        EXPECT_EQ(a.Music->Mp3, (MP3Rec{"a.mp3", 1}));
        EXPECT_EQ(a.Music->Wav, (WavRec{"b.wav", 2, 20}));
        EXPECT_EQ(a.Music->Cd, (CDRec{"E", 1, 3}));
        EXPECT_EQ(*a.Dial, (DialRec{true, true, "Dial", 4}));
        EXPECT_EQ(a.Launch->app1, "app.one");
        EXPECT_EQ(a.Launch->app2, "app.two");
        EXPECT_EQ(a.Launch->app3, "app.three");
        EXPECT_EQ(a.Launch->param1, v.params ? "p.one" : "");
        EXPECT_EQ(a.Launch->param2, v.params ? "p.two" : "");
        EXPECT_EQ(a.Launch->param3, v.params ? "p.three" : "");
        EXPECT_EQ(*a.Web, (WebLaunch{"http://v/", true}));
        EXPECT_TRUE(a.Mail->sendmessage);
        EXPECT_EQ(a.Mail->servername, "srv");
        EXPECT_EQ(a.Mail->username, "usr");
        EXPECT_EQ(a.Mail->from, "f@v");
        EXPECT_EQ(a.Mail->mto, "t@v");
        EXPECT_EQ(a.Mail->subject, "Subj");
        EXPECT_EQ(a.Mail->msg, "Body");
        EXPECT_EQ(a.Mail->nAttach, v.attach ? 1 : 0);
        EXPECT_EQ(a.Mail->Attachment, v.attach ? Messages{"att.one"} : Messages{});
        EXPECT_EQ(*a.Synch, v.synch ? (SynchronizeRec{true, "time.v"}) : SynchronizeRec{});
        const FTPRecT& f = *a.Ftp;
        EXPECT_EQ(f.ftpenabled, v.ftp);
        EXPECT_EQ(f.ftpserver, v.ftp ? "ftp.v" : "");
        EXPECT_EQ(f.ftpport, v.ftp ? 2100 : 0);
        EXPECT_EQ(f.ftplocalfile, v.ftp ? "local.v" : "");
        EXPECT_EQ(f.ftppath, v.ftp ? "remote.v" : "");
        EXPECT_EQ(f.ftpuser, v.ftp ? "fu" : "");
        EXPECT_EQ(f.ftppass, v.ftp ? "fp" : "");
        EXPECT_EQ(f.ftpupload, v.ftp);
        EXPECT_EQ(f.ftpascmode, v.ftp);
        EXPECT_EQ(f.ftppassive, v.passive);
        EXPECT_EQ(f.ftpretry, v.retry);
        EXPECT_EQ(f.ftpmaxretry, v.retry ? 6 : 0);
        EXPECT_EQ(f.ftpdelay, v.retry ? 7 : 0);
        EXPECT_EQ(f.ftpreconnect, v.retry);
        EXPECT_EQ(f.ftpdialname, v.retry ? "rd" : "");
        EXPECT_EQ(f.ftpmaxrecon, v.retry ? 8 : 0);
        EXPECT_EQ(f.ftprecondelay, v.retry ? 9 : 0);
        EXPECT_EQ(f.ftptransfertype, v.retry ? 1 : 0);
        EXPECT_EQ(*a.FileOp, v.fileOp ? (FileOps{3, "", "", "gone.v"}) : FileOps{});
        EXPECT_EQ(a.Events, AlEventList{});

        // Scripted alarm
        const AlRec& b = g.AlarmTable[2];
        EXPECT_EQ(b.AlName, "Script");
        EXPECT_EQ(b.AlMessage, "");
        EXPECT_FALSE(b.AlHideWindow);
        EXPECT_EQ(b.AlFlashWindow, false);
        EXPECT_EQ(b.AlSnooze, v.flash);
        EXPECT_EQ(b.snoozeming, v.flash ? 4 : 0);
        EXPECT_FALSE(b.enabled);
        EXPECT_EQ(b.mtype, 1);
        EXPECT_EQ(b.Schedule.AlTime, Time(12, 30));
        EXPECT_EQ(b.Schedule.AlStartDate, Date(1999, 12, 31));
        EXPECT_EQ(b.Schedule.AlXDays, 2);
        EXPECT_EQ(b.Schedule.AlXMonths, v.xMonths ? 3 : 0);
        EXPECT_EQ(b.Schedule.AlDays, std::vector<DateTime>{});
        EXPECT_EQ(b.AlMinWindow, false);
        if (v.rules) {
            ExRec dates;
            dates.ExType = 1;
            dates.ExDayCnt = 1;
            dates.ExDays = {Date(2000, 1, 1)};
            dates.ExSelType = 1;
            dates.ExTStart = Time(3, 0);
            dates.ExTEnd = Time(16, 0);
            EXPECT_EQ(b.Exceptions, (ExList{1, {dates}}));
        } else {
            EXPECT_EQ(b.Exceptions, ExList{});
        }
        EXPECT_EQ(*b.Music, MusicType{});
        EXPECT_EQ(b.Events.Count, v.steps);
        ASSERT_EQ(b.Events.Items.size(), static_cast<std::size_t>(v.steps));
        const auto& e = b.Events.Items;
        EXPECT_EQ(e[0].evname, "Launch");
        EXPECT_EQ(e[0].evtype, kStepLaunch);
        EXPECT_EQ(*e[0].Launch, (SFileLaunch{"s.app", v.params ? "s.param" : ""}));
        EXPECT_EQ(e[1].evname, "Mail");
        EXPECT_EQ(e[1].evtype, kStepMail);
        EXPECT_EQ(e[1].Mail->msg, "Line A\r\nLine B");
        EXPECT_EQ(e[1].Mail->subject, "ssub");
        EXPECT_EQ(e[1].Mail->Attachment, v.attach ? (Messages{"s.att1", "s.att2"}) : Messages{});
        if (v.synch) {
            EXPECT_EQ(*e[2].Synch, (SynchronizeRec{true, "s.time"}));
        }
        if (v.ftp) {
            const FTPRecT& sf = *e[3].Ftp;
            EXPECT_EQ(e[3].evtype, kStepFtp);
            EXPECT_TRUE(sf.ftpenabled);
            EXPECT_EQ(sf.ftpserver, "s.ftp");
            EXPECT_EQ(sf.ftpport, 990);
            EXPECT_EQ(sf.ftplocalfile, "s.local");
            EXPECT_EQ(sf.ftppath, "s.remote");
            EXPECT_EQ(sf.ftpuser, "s.user");
            EXPECT_EQ(sf.ftppass, "s.pass");
            EXPECT_FALSE(sf.ftpupload);
            EXPECT_TRUE(sf.ftpascmode);
            EXPECT_EQ(sf.ftppassive, v.passive);
            EXPECT_EQ(sf.ftpretry, v.retry);
            EXPECT_EQ(sf.ftpmaxretry, v.retry ? 2 : 0);
            EXPECT_EQ(sf.ftpdelay, v.retry ? 3 : 0);
            EXPECT_EQ(sf.ftpreconnect, v.retry);
            EXPECT_EQ(sf.ftpdialname, v.retry ? "s.dial" : "");
            EXPECT_EQ(sf.ftpmaxrecon, v.retry ? 4 : 0);
            EXPECT_EQ(sf.ftprecondelay, v.retry ? 5 : 0);
            EXPECT_EQ(sf.ftptransfertype, v.retry ? 1 : 0);
        }
        if (v.repeat) {
            EXPECT_EQ(e[4].evtype, kStepRepeat);
            EXPECT_EQ(e[4].Repeat, (RepeatRec{1, 1, 7}));
        }
        if (v.fileOp) {
            EXPECT_EQ(e[5].evname, "Copy");
            EXPECT_EQ(*e[5].FileOp, (FileOps{2, "s.from", "s.to", ""}));
        }
    }
}

TEST(AlarmFileReader, LineFeedsAloneReadTheSameAsCrlf) {
    for (const VersionCase& v : kVersions) {
        SCOPED_TRACE(v.file);
        const std::string crlf = VersionFile(v.file);
        const ReadOutcome a = ReadText(crlf);
        const std::string lf = ToLfOnly(crlf);
        ASSERT_EQ(lf.find('\r'), std::string::npos);
        const ReadOutcome b = ReadText(lf);
        EXPECT_EQ(b.result, kFileDone);
        EXPECT_EQ(b.messages, Messages{});
        ExpectSameRecords(*b.g, *a.g);

        // Both kinds in one file, and no line end after the last line.
        std::string mixed;
        bool toggle = false;
        for (char c : lf) {
            if (c == '\n' && (toggle = !toggle)) mixed.push_back('\r');
            mixed.push_back(c);
        }
        mixed.pop_back();
        const ReadOutcome m = ReadText(mixed);
        EXPECT_EQ(m.result, kFileDone);
        EXPECT_EQ(m.messages, Messages{});
        ExpectSameRecords(*m.g, *a.g);
    }
}

TEST(AlarmFileReader, ByteOrderMarkIsSkipped) {
    for (const VersionCase& v : kVersions) {
        SCOPED_TRACE(v.file);
        const std::string text = VersionFile(v.file);
        const ReadOutcome marked = ReadText("\xEF\xBB\xBF" + text);
        EXPECT_EQ(marked.result, kFileDone);
        EXPECT_EQ(marked.messages, Messages{});
        ExpectSameRecords(*marked.g, *ReadText(text).g);
    }
}

// --- How lines are read ----------------------------------------------------

TEST(AlarmFileReader, MarkerWithCountTakesTheLastOfItsLines) {
    // Version 1.3: the flash and snooze group is not expected, so a key read
    // meets the marker.
    const std::string base = VersionFile("v1.3.ini");
    const ReadOutcome clean = ReadText(base);

    const ReadOutcome r = ReadText(
        ReplaceLine(base, "enabled=0", "[sw140-3]\r\nAlFlashWindow=0\r\nAlSnooze=1\r\nenabled=0"));
    EXPECT_EQ(r.result, kFileDone);
    EXPECT_EQ(r.messages, Messages{});
    ExpectSameRecords(*r.g, *clean.g);
    EXPECT_FALSE(r.g->AlarmTable[1].AlFlashWindow);
    EXPECT_TRUE(r.g->AlarmTable[1].enabled);

    // The last line may be a marker itself.
    const ReadOutcome nested =
        ReadText(ReplaceLine(base, "enabled=0", "[swA-1]\r\n[swB-2]\r\nx=1\r\nenabled=0"));
    EXPECT_EQ(nested.messages, Messages{});
    ExpectSameRecords(*nested.g, *clean.g);
}

TEST(AlarmFileReader, MarkerWithoutCountFailsTheReadAndIsConsumed) {
    const ReadOutcome r = ReadText(
        ReplaceLine(VersionFile("v1.3.ini"), "app3=app.three", "[note]\r\napp3=app.three"));
    EXPECT_EQ(r.result, kFileDone);
    EXPECT_EQ(r.messages, Messages{});
    const FileLaunch& l = *r.g->AlarmTable[1].Launch;
    EXPECT_EQ(l.app2, "app.two");
    EXPECT_EQ(l.app3, "");  // kept
    EXPECT_EQ(l.param1, "app.three");
    EXPECT_EQ(l.param2, "p.one");
    EXPECT_EQ(l.param3, "p.two");
    EXPECT_EQ(r.g->AlarmTable[1].Web->url1, "http://v/");  // found again by its tag
    // Markers whose count is not a number have none.
    for (const char* marker : {"[sw140-x]", "[sw140-0]", "[sw140]", "[x]-3"}) {
        SCOPED_TRACE(marker);
        const ReadOutcome m = ReadText(ReplaceLine(VersionFile("v1.3.ini"), "app3=app.three",
                                                   std::string(marker) + "\r\napp3=app.three"));
        EXPECT_EQ(m.g->AlarmTable[1].Launch->param1, "app.three");
    }
}

TEST(AlarmFileReader, KeysAreNotCompared) {
    const std::string base = VersionFile("v2.10.ini");
    const ReadOutcome clean = ReadText(base);
    std::string renamed = ReplaceLine(base, "AlMonthDays=10,20", "AlMonthdays=10,20");
    renamed = ReplaceLine(renamed, "AlName=Simple", "Name=Simple");
    renamed = ReplaceLine(renamed, "enabled=0", "disabled=0");
    renamed = ReplaceLine(renamed, "ftpport=2100", "port=2100");
    const ReadOutcome r = ReadText(renamed);
    EXPECT_EQ(r.messages, Messages{});
    ExpectSameRecords(*r.g, *clean.g);
}

TEST(AlarmFileReader, MultiLineTextNeedsItsOwnKey) {
    // Under another key only the first line is taken; the next lines are
    // then read as the following fields.
    const ReadOutcome r =
        ReadText(ReplaceLine(VersionFile("v2.10.ini"), "AlMessage=Hello", "Message=Hello"));
    EXPECT_EQ(r.result, kFileDone);
    EXPECT_EQ(r.messages, Messages{});
    EXPECT_EQ(r.g->AlarmTable[1].AlMessage, "Hello");
    EXPECT_FALSE(r.g->AlarmTable[1].AlHideWindow);  // read from "World"
    EXPECT_EQ(r.g->AlarmTable[1].snoozeming, 9);    // its marker is searched
}

TEST(AlarmFileReader, ValuesMayHoldBracketsAfterTheirKey) {
    const std::string base = VersionFile("v2.10.ini");
    std::string text = ReplaceLine(base, "AlName=Simple", "AlName=Backup [daily]");
    text = ReplaceLine(text, "AlMessage=Hello", "AlMessage=[Alarm 2]");
    text = ReplaceLine(text, "World", "[sw140-3]");
    text = ReplaceLine(text, "app1=app.one", "app1=[sw140-3]");
    text = ReplaceLine(text, "url1=http://v/", "url1=http://v/?a=[1]");
    text = ReplaceLine(text, "evname=Launch", "evname=[Event 2]");
    const ReadOutcome r = ReadText(text);
    EXPECT_EQ(r.result, kFileDone);
    EXPECT_EQ(r.messages, Messages{});
    const AlRec& a = r.g->AlarmTable[1];
    EXPECT_EQ(a.AlName, "Backup [daily]");
    EXPECT_EQ(a.AlMessage, "[Alarm 2]\r\n[sw140-3]");
    EXPECT_EQ(a.Launch->app1, "[sw140-3]");
    EXPECT_EQ(a.Launch->app2, "app.two");
    EXPECT_EQ(a.Web->url1, "http://v/?a=[1]");
    EXPECT_EQ(r.g->AlarmTable[2].Events.Items.at(0).evname, "[Event 2]");
    EXPECT_EQ(r.g->AlarmTable[2].Events.Items.at(0).Launch->app1, "s.app");
}

TEST(AlarmFileReader, Version201KeepsDefaultColoursWhateverTheFileHolds) {
    const ReadOutcome r = ReadText(ReplaceLine(
        VersionFile("v2.01.ini"), "enablelogging=0",
        "enablelogging=0\r\n[sw202-5]\r\nmonthBackColor=1\r\ntextColor=2\r\ntitleBackColor=3\r\n"
        "titleTextColor=4\r\ntrailingTextColor=5"));
    EXPECT_EQ(r.result, kFileDone);
    EXPECT_EQ(r.messages, Messages{});
    const SettingsRec defaults;
    EXPECT_EQ(r.g->Settings.monthBackColor, defaults.monthBackColor);
    EXPECT_EQ(r.g->Settings.textColor, defaults.textColor);
    EXPECT_EQ(r.g->Settings.titleBackColor, defaults.titleBackColor);
    EXPECT_EQ(r.g->Settings.titleTextColor, defaults.titleTextColor);
    EXPECT_EQ(r.g->Settings.trailingTextColor, defaults.trailingTextColor);
    EXPECT_EQ(r.g->AlarmTable[1].AlName, "Simple");
}

TEST(AlarmFileReader, NumbersAndVersionForms) {
    const std::string base = VersionFile("v2.10.ini");
    struct Case {
        const char* from;
        const char* to;
        std::function<void(const Globals&)> check;
    } cases[] = {
        {"AlXMin=11", "AlXMin=2147483647",
         [](const Globals& g) { EXPECT_EQ(g.AlarmTable[1].Schedule.AlXMin, 2147483647); }},
        {"AlXHours=12", "AlXHours=999999999",
         [](const Globals& g) { EXPECT_EQ(g.AlarmTable[1].Schedule.AlXHours, 999999999); }},
        {"AlXHours=12", "AlXHours= +0000000012 ",
         [](const Globals& g) { EXPECT_EQ(g.AlarmTable[1].Schedule.AlXHours, 12); }},
        {"AlXWeeks=15", "AlXWeeks=0",  // older files: every week
         [](const Globals& g) { EXPECT_EQ(g.AlarmTable[1].Schedule.AlXWeeks, 0); }},
        {"AlMonthDays=10,20", "AlMonthDays=31,+1",
         [](const Globals& g) {
             EXPECT_EQ(g.AlarmTable[1].Schedule.AlMonthDays, (std::vector<Integer>{31, 1}));
         }},
        {"Version=2.10", "Version=2.1",
         [](const Globals& g) { EXPECT_DOUBLE_EQ(g.FileVersion, 2.1); }},
        {"AlTime=09:05:00PM", "AlTime=12:00:00AM",
         [](const Globals& g) { EXPECT_EQ(g.AlarmTable[1].Schedule.AlTime, 0); }},
        {"AlEndTime=06:00:00AM", "AlEndTime=12:00:01PM",
         [](const Globals& g) { EXPECT_EQ(g.AlarmTable[1].Schedule.AlEndTime, Time(12, 0, 1)); }},
        {"AlStartDate=3/7/2004", "AlStartDate=12/31/9999",
         [](const Globals& g) {
             EXPECT_EQ(g.AlarmTable[1].Schedule.AlStartDate, Date(9999, 12, 31));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        const ReadOutcome r = ReadText(ReplaceLine(base, c.from, c.to));
        EXPECT_EQ(r.result, kFileDone);
        EXPECT_EQ(r.messages, Messages{});
        c.check(*r.g);
    }
}

// --- Broken files ----------------------------------------------------------

TEST(AlarmFileReaderFailures, MissingFile) {
    ScratchDir dir;
    Globals g;
    testing::Prepare(g, dir);
    Preset(g);
    const Globals before = g;
    CollectingReporter reporter;
    EXPECT_EQ(ReadAlarmFile(g, {.followClient = true}, reporter), kFileCannotOpen);
    EXPECT_EQ(reporter.messages, Messages{});
    ExpectSameRecords(g, before);
    // A directory in its place cannot be opened either.
    std::filesystem::create_directory(dir.file("alfile.ini"));
    EXPECT_EQ(ReadAlarmFile(g, {.followClient = true}, reporter), kFileCannotOpen);
    EXPECT_EQ(reporter.messages, Messages{});
}

TEST(AlarmFileReaderFailures, InvalidFirstLineChangesNothing) {
    const std::string body =
        VersionFile("v2.10.ini").substr(std::string("[Alarm Info]\r\n").size());
    for (const std::string first : {"[Alarm Info] ", " [Alarm Info]", "[alarm info]",
                                    "\xEF\xBB[Alarm Info]", "", "Version=2.10"}) {
        SCOPED_TRACE(first);
        const auto before = [](Globals& g) {
            Preset(g);
            g.FileVersion = 1.5;
            g.AlarmCount = 1;
            g.ResetAlarmTable(1);
            g.AlarmTable[1].AlName = "old";
        };
        const ReadOutcome r = ReadText(first + "\r\n" + body, before);
        EXPECT_EQ(r.result, kFileInvalid);
        EXPECT_EQ(r.messages, Messages{"Error: Invalid alarm file"});
        ReadOutcome untouched = ReadText("", nullptr);
        before(*untouched.g);
        ExpectSameRecords(*r.g, *untouched.g);
    }
    const ReadOutcome empty = ReadText("");
    EXPECT_EQ(empty.result, kFileInvalid);
    EXPECT_EQ(empty.messages, Messages{"Error: Invalid alarm file"});
}

TEST(AlarmFileReaderFailures, VersionNotANumberKeepsTheOldVersion) {
    for (const char* bad : {"Version=abc", "Version=", "Version=2.10a", "Version=1.2.9"}) {
        SCOPED_TRACE(bad);
        // A fresh start has version 0: the 0.92 layout reads cleanly.
        const ReadOutcome old =
            ReadText(ReplaceLine(VersionFile("v0.92.ini"), "Version=0.92", bad));
        EXPECT_EQ(old.result, kFileDone);
        EXPECT_EQ(old.messages, Messages{"Error retrieving version number."});
        EXPECT_EQ(old.g->FileVersion, 0);
        ReadOutcome clean = ReadText(VersionFile("v0.92.ini"));
        clean.g->FileVersion = 0;
        ExpectSameRecords(*old.g, *clean.g);

        // A re-read keeps the version of the last read.
        const auto was21 = [](Globals& g) {
            Preset(g);
            g.FileVersion = 2.1;
        };
        const ReadOutcome again =
            ReadText(ReplaceLine(VersionFile("v2.10.ini"), "Version=2.10", bad), was21);
        EXPECT_EQ(again.result, kFileDone);
        EXPECT_EQ(again.messages, Messages{"Error retrieving version number."});
        ExpectSameRecords(*again.g, *ReadText(VersionFile("v2.10.ini")).g);
    }
}

TEST(AlarmFileReaderFailures, VersionWithACommaIsReadAsDecimal) {
    const ReadOutcome r =
        ReadText(ReplaceLine(VersionFile("v1.29.ini"), "Version=1.29", "Version=1,29"));
    EXPECT_EQ(r.result, kFileDone);
    EXPECT_EQ(r.messages, Messages{});
    EXPECT_DOUBLE_EQ(r.g->FileVersion, 1.29);
    ExpectSameRecords(*r.g, *ReadText(VersionFile("v1.29.ini")).g);
}

// The file up to the fifth step of the scripted alarm, with a sixth step of
// the given lines appended.
std::string WithLastStep(const std::vector<std::string>& lines) {
    std::string text = VersionFile("v2.10.ini");
    text = text.substr(0, text.find("[Event 6]\r\n"));
    text += "[Event 6]\r\n[Event Info]\r\nevname=last\r\n";
    for (const std::string& l : lines) text += l + "\r\n";
    return text;
}

TEST(AlarmFileReaderFailures, MissingTagOfTheLastStep) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        int result;
        Messages messages;
        std::function<void(AlEvent&)> expect;  // changes to a fresh step
    } cases[] = {
        {"sound without CD",
         {"evtype=0", "[Music Settings]", "MuType=1", "[MP3 Rec]", "mp3file=m", "mp3ptype=1",
          "[Wav Rec]", "wavfile=w", "wavtype=1", "reptimes=5", "cddrive=E", "tracktype=1",
          "cdtrack=3"},
         kFileDone,
         {TagMissing("[CD Rec]")},
         [](AlEvent& e) {
             e.evtype = 0;
             e.Music->MuType = 1;
             e.Music->Mp3 = {"m", 1};
             e.Music->Wav = {"w", 1, 5};
         }},
        {"dial-up",
         {"evtype=1", "usedialup=0", "dialname=d", "redialattempts=2", "connectm=0"},
         kFileDone,
         {TagMissing("[DialUp Settings]")},
         [](AlEvent& e) { e.evtype = 1; }},
        {"program",
         {"evtype=2", "app1=a", "param1=p"},
         kFileDone,
         {TagMissing("[File Launch]")},
         [](AlEvent& e) { e.evtype = 2; }},
        {"web page",
         {"evtype=3", "url1=u", "opennew=0"},
         kFileDone,
         {TagMissing("[Web Launch]")},
         [](AlEvent& e) { e.evtype = 3; }},
        {"mail",
         {"evtype=4", "sendmessage=0", "servername=s", "username=u", "from=f", "mto=t", "subject=s",
          "msg=m", "eom1", "[Attachments]", "nAttach=1", "Attachment(1)=x"},
         kFileDone,
         {TagMissing("[smtp]")},
         [](AlEvent& e) { e.evtype = 4; }},
        {"sleep",
         {"evtype=5", "sseconds=5"},
         kFileDone,
         {TagMissing("[sleep]")},
         [](AlEvent& e) { e.evtype = 5; }},
        // The later kinds read on at the end of the file.
        {"synch",
         {"evtype=6", "dosynch=0", "synchserver=t"},
         kFileDone,
         {TagMissing("[Synch]")},
         [](AlEvent& e) { e.evtype = 6; }},
        {"ftp",
         {"evtype=7", "ftpenabled=0", "ftpserver=s", "ftpport=21"},
         kFileInvalid,
         {TagMissing("[FTP]"), InputError("ftpport")},
         [](AlEvent& e) { e.evtype = 7; }},
        {"repeat",
         {"evtype=8", "reptype=1", "stepnum=1", "repnum=2"},
         kFileInvalid,
         {TagMissing("[REPEAT]"), InputError("reptype")},
         [](AlEvent& e) { e.evtype = 8; }},
        {"file operation",
         {"evtype=9", "[sw150-1]", "fop=3", "[sw150-1]", "fdel=x"},
         kFileInvalid,
         {TagMissing("[fileop]"), InputError("fop")},
         [](AlEvent& e) { e.evtype = 9; }},
    };
    const ReadOutcome clean = ReadText(VersionFile("v2.10.ini"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ReadOutcome r = ReadText(WithLastStep(c.lines));
        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(r.messages, c.messages);
        ASSERT_EQ(r.g->AlarmTable[2].Events.Items.size(), 6u);
        AlEvent want;
        want.evname = "last";
        c.expect(want);
        EXPECT_EQ(r.g->AlarmTable[2].Events.Items[5], want);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(r.g->AlarmTable[2].Events.Items[i], clean.g->AlarmTable[2].Events.Items[i]);
        EXPECT_EQ(r.g->AlarmTable[1], clean.g->AlarmTable[1]);
    }
}

TEST(AlarmFileReaderFailures, MissingTagOfASimpleAlarmsBlock) {
    // One simple alarm in the 1.02 layout: after a missing tag every later
    // search fails, and nothing but texts and booleans is left to read.
    std::string base = VersionFile("v1.02.ini");
    base =
        ReplaceLine(base.substr(0, base.find("[Alarm 2]\r\n")), "Alarm Count=2", "Alarm Count=1");
    const ReadOutcome clean = ReadText(base);
    ASSERT_EQ(clean.messages, Messages{});
    const AlRec& full = clean.g->AlarmTable[1];

    const ReadOutcome noCd = ReadText(RemoveLine(base, "[CD Rec]"));
    EXPECT_EQ(noCd.result, kFileDone);
    EXPECT_EQ(noCd.messages, (Messages{TagMissing("[CD Rec]"), TagMissing("[DialUp Settings]"),
                                       TagMissing("[File Launch]"), TagMissing("[Web Launch]"),
                                       TagMissing("[smtp]"), TagMissing("[Synch]")}));
    AlRec want = full;
    want.Music->Cd = {};
    want.Dial = {};
    want.Launch = {};
    want.Web = {};
    want.Mail = {};
    want.Synch = {};
    EXPECT_EQ(noCd.g->AlarmTable[1], want);

    const ReadOutcome noWeb = ReadText(RemoveLine(base, "[Web Launch]"));
    EXPECT_EQ(noWeb.result, kFileDone);
    EXPECT_EQ(noWeb.messages,
              (Messages{TagMissing("[Web Launch]"), TagMissing("[smtp]"), TagMissing("[Synch]")}));
    want = full;
    want.Web = {};
    want.Mail = {};
    want.Synch = {};
    EXPECT_EQ(noWeb.g->AlarmTable[1], want);
}

TEST(AlarmFileReaderFailures, MissingAlarmHeader) {
    struct Case {
        const char* file;
        Messages messages;
    } cases[] = {
        {"v2.10.ini",
         {TagMissing("[Alarm 2]"), "Error reading Alarm Header", TagMissing("[sw140-3]"),
          InputError("snoozeming")}},
        {"v0.92.ini", {TagMissing("[Alarm 2]"), "Error reading Alarm Header", InputError("mtype")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string base = VersionFile(c.file);
        const ReadOutcome clean = ReadText(base);
        const ReadOutcome r = ReadText(ReplaceLine(base, "[Alarm 2]", "[Alarm 9]"));
        EXPECT_EQ(r.result, kFileInvalid);
        EXPECT_EQ(r.messages, c.messages);
        EXPECT_EQ(r.g->AlarmCount, 2);
        ASSERT_EQ(r.g->AlarmTable.size(), 4u);
        EXPECT_EQ(r.g->AlarmTable[1], clean.g->AlarmTable[1]);
        EXPECT_EQ(r.g->AlarmTable[2], AlRec{});
        EXPECT_EQ(r.g->Settings, clean.g->Settings);
    }
}

TEST(AlarmFileReaderFailures, InvalidDatesKeepTheFieldAndReadOn) {
    struct Case {
        const char* from;
        const char* to;
        std::function<void(Globals&)> reset;  // the field as a fresh record has it
    } cases[] = {
        {"AlStartDate=3/7/2004", "AlStartDate=2/30/2004",
         [](Globals& g) { g.AlarmTable[1].Schedule.AlStartDate = 0; }},
        {"AlEndDate=3/7/2005",
         "AlEndDate=", [](Globals& g) { g.AlarmTable[1].Schedule.AlEndDate = 0; }},
        {"AlDays(1)=6/1/2004", "AlDays(1)=6/31/2004",
         [](Globals& g) { g.AlarmTable[1].Schedule.AlDays[0] = 0; }},
        {"ExDays(1)=1/1/2000", "ExDays(1)=yesterday",
         [](Globals& g) { g.AlarmTable[2].Exceptions.Items[0].ExDays[0] = 0; }},
        {"AlEndDate=12/30/1899", "AlEndDate=13/1/2000",
         [](Globals& g) { g.AlarmTable[2].Schedule.AlEndDate = 0; }},
    };
    const std::string base = VersionFile("v2.10.ini");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        const ReadOutcome r = ReadText(ReplaceLine(base, c.from, c.to));
        EXPECT_EQ(r.result, kFileDone);
        const std::string value = std::string(c.to).substr(std::string(c.to).find('=') + 1);
        EXPECT_EQ(r.messages, Messages{"Error converting date value: " + value});
        ReadOutcome want = ReadText(base);
        c.reset(*want.g);
        ExpectSameRecords(*r.g, *want.g);
    }
}

TEST(AlarmFileReaderFailures, BadListEntriesKeepTheirValue) {
    struct Case {
        const char* from;
        const char* to;
        const char* message;
        std::function<void(TimeRec&)> reset;
    } cases[] = {
        {"AlWeekdays=3,5", "AlWeekdays=3,x", "Error reading weekday string",
         [](TimeRec& t) {
             t.AlWeekdays = {3, 0};
         }},
        {"AlWeekdays=3,5", "AlWeekdays=?,5", "Error reading weekday string",
         [](TimeRec& t) {
             t.AlWeekdays = {0, 5};
         }},
        {"AlWeekdays=3,5", "AlWeekdays=3", "Error reading weekday string",
         [](TimeRec& t) {
             t.AlWeekdays = {3, 0};
         }},
        {"AlMonthDays=10,20", "AlMonthDays=1x,20", "Error reading weekday string",
         [](TimeRec& t) {
             t.AlMonthDays = {0, 20};
         }},
        {"AlMonthDays=10,20", "AlMonthDays=10", "Error reading weekday string",
         [](TimeRec& t) {
             t.AlMonthDays = {10, 0};
         }},
        {"AlMWeekdays=4", "AlMWeekdays=Wed", "Error reading weekday string",
         [](TimeRec& t) { t.AlMWeekdays = {0}; }},
        {"AlMWeekDW=5", "AlMWeekDW=L", "Error reading week number string",
         [](TimeRec& t) { t.AlMWeekDW = {0}; }},
    };
    const std::string base = VersionFile("v2.10.ini");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        const ReadOutcome r = ReadText(ReplaceLine(base, c.from, c.to));
        EXPECT_EQ(r.result, kFileDone);
        EXPECT_EQ(r.messages, Messages{c.message});
        ReadOutcome want = ReadText(base);
        c.reset(want.g->AlarmTable[1].Schedule);
        ExpectSameRecords(*r.g, *want.g);
    }
}

TEST(AlarmFileReaderFailures, BadNumberAbandonsTheReading) {
    const std::string base = VersionFile("v2.10.ini");
    const ReadOutcome clean = ReadText(base);
    struct Case {
        const char* from;
        const char* to;
        const char* key;
        int alarm;  // the alarm being read at the fault, 0 before "Alarm Count"
    } cases[] = {
        {"AlXDays=13", "AlXDays=13x", "AlXDays", 1},
        {"snoozeming=9", "snoozeming=", "snoozeming", 1},
        {"AlTime=09:05:00PM", "AlTime=21:05 tonight", "AlTime", 1},
        {"AlEndTime=06:00:00AM", "AlEndTime=", "AlEndTime", 1},
        {"AlDayCount=1", "AlDayCount=-1", "AlDayCount", 1},
        {"nAttach=1", "nAttach=-2", "nAttach", 1},
        {"AlWeekdaynum=2", "AlWeekdaynum=20000", "AlWeekdaynum", 1},
        {"ftpport=2100", "ftpport=99999999999", "ftpport", 1},
        {"ftpport=2100", "ftpport=2147483648", "ftpport", 1},
        {"ftpport=2100", "ftpport=12 3", "ftpport", 1},
        {"ExTStart=01:00:00AM", "ExTStart=1 am", "ExTStart", 1},
        {"Event Count=6", "Event Count=99999", "Event Count", 2},
        {"Event Count=6", "Event Count=-1", "Event Count", 2},
        {"ftpmaxretry=2", "ftpmaxretry=2.5", "ftpmaxretry", 2},
        {"repnum=7", "repnum=seven", "repnum", 2},
        {"dldInterval=15", "dldInterval=fifteen", "dldInterval", 0},
        {"ExWeekDays(1)=1", "ExWeekDays(1)=Sun", "ExWeekDays", 0},
        {"Alarm Count=2", "Alarm Count=two", "Alarm Count", 0},
        {"Alarm Count=2", "Alarm Count=5000", "Alarm Count", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        const auto before = [](Globals& g) {
            Preset(g);
            g.AlarmCount = 1;
            g.ResetAlarmTable(1);
            g.AlarmTable[1].AlName = "from the last read";
        };
        const ReadOutcome r = ReadText(ReplaceLine(base, c.from, c.to), before);
        EXPECT_EQ(r.result, kFileInvalid);
        EXPECT_EQ(r.messages, Messages{InputError(c.key)});
        const Globals& g = *r.g;
        EXPECT_EQ(g.Settings.SMTPServer, "mail.v");  // read before the fault
        if (c.alarm == 0) {
            EXPECT_EQ(g.AlarmCount, 1);
            EXPECT_EQ(g.AlarmTable[1].AlName, "from the last read");
            continue;
        }
        EXPECT_EQ(g.GlobalExceptions, clean.g->GlobalExceptions);
        EXPECT_EQ(g.AlarmCount, 2);
        ASSERT_EQ(g.AlarmTable.size(), 4u);
        if (c.alarm == 1) {
            EXPECT_EQ(g.AlarmTable[1].AlName, "Simple");
            EXPECT_EQ(g.AlarmTable[2], AlRec{}) << "later alarms are fresh";
        } else {
            EXPECT_EQ(g.AlarmTable[1], clean.g->AlarmTable[1]);
            EXPECT_EQ(g.AlarmTable[2].AlName, "Script");
        }
        EXPECT_EQ(g.AlarmTable[3], AlRec{});
    }
}

// One message a value, naming it; the value is kept where the program bounds
// it at its use, and replaced where nothing does.
TEST(AlarmFileReaderFailures, OutOfRangeValuesAreReported) {
    const std::string base = VersionFile("v2.10.ini");
    struct Case {
        const char* from;
        const char* to;
        Messages messages;
        std::function<void(const Globals&)> check;
    } cases[] = {
        {"snoozeming=9",
         "snoozeming=-2147483648",
         {"Damaged value in the alarm file: snoozeming=-2147483648"},
         [](const Globals& g) { EXPECT_EQ(g.AlarmTable[1].snoozeming, INT32_MIN); }},
        {"AlType=7",
         "AlType=9",
         {"Damaged value in the alarm file: AlType=9"},
         [](const Globals& g) { EXPECT_EQ(g.AlarmTable[1].Schedule.AlType, 9); }},
        {"AlXDays=13",
         "AlXDays=-1",
         {"Damaged value in the alarm file: AlXDays=-1"},
         [](const Globals& g) { EXPECT_EQ(g.AlarmTable[1].Schedule.AlXDays, -1); }},
        {"AlWeekdays=3,5",
         "AlWeekdays=0,8",
         {"Damaged value in the alarm file: AlWeekdays=0",
          "Damaged value in the alarm file: AlWeekdays=8"},
         [](const Globals& g) {
             EXPECT_EQ(g.AlarmTable[1].Schedule.AlWeekdays, (std::vector<Integer>{0, 8}));
         }},
        {"AlMonthDays=10,20",
         "AlMonthDays=32,-4",
         {"Damaged value in the alarm file: AlMonthDays=32",
          "Damaged value in the alarm file: AlMonthDays=-4"},
         [](const Globals& g) {
             EXPECT_EQ(g.AlarmTable[1].Schedule.AlMonthDays, (std::vector<Integer>{32, -4}));
         }},
        {"AlMWeekDW=5",
         "AlMWeekDW=6",
         {"Damaged value in the alarm file: AlMWeekDW=6"},
         [](const Globals& g) {
             EXPECT_EQ(g.AlarmTable[1].Schedule.AlMWeekDW, std::vector<Integer>{6});
         }},
        {"ftpport=2100",
         "ftpport=-1",
         {"Damaged value in the alarm file: ftpport=-1 (read as 21)"},
         [](const Globals& g) { EXPECT_EQ(g.AlarmTable[1].Ftp->ftpport, 21); }},
        {"ftpport=990",
         "ftpport=65536",
         {"Damaged value in the alarm file: ftpport=65536 (read as 21)"},
         [](const Globals& g) { EXPECT_EQ(g.AlarmTable[2].Events.Items[3].Ftp->ftpport, 21); }},
        {"dldInterval=15",
         "dldInterval=0",
         {"Damaged value in the alarm file: dldInterval=0 (read as 30)"},
         [](const Globals& g) { EXPECT_EQ(g.Settings.dldInterval, 30); }},
        // A negative file operation is none, and nothing more is read.
        {"fop=3",
         "fop=-1",
         {"Damaged value in the alarm file: fop=-1 (read as 0)"},
         [](const Globals& g) { EXPECT_EQ(*g.AlarmTable[1].FileOp, FileOps{}); }},
        {"evtype=6",
         "evtype=10",
         {"Damaged value in the alarm file: evtype=10"},
         [](const Globals& g) { EXPECT_EQ(g.AlarmTable[2].Events.Items[2].evtype, 10); }},
        {"stepnum=1",
         "stepnum=-3",
         {"Damaged value in the alarm file: stepnum=-3"},
         [](const Globals& g) { EXPECT_EQ(g.AlarmTable[2].Events.Items[4].Repeat.stepnum, -3); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        const ReadOutcome r = ReadText(ReplaceLine(base, c.from, c.to));
        EXPECT_EQ(r.result, kFileDone);
        EXPECT_EQ(r.messages, c.messages);
        c.check(*r.g);
        EXPECT_EQ(r.g->AlarmTable[2].AlName, "Script");  // the rest is read
    }
}

// A count the rest of the file cannot hold, although it has a line for each
// entry, is damage: it would make millions of records.
TEST(AlarmFileReaderFailures, CountsBeyondWhatTheFileCanHold) {
    const std::string base = VersionFile("v2.10.ini");
    const std::string blanks = [] {
        std::string b;
        for (int i = 0; i < 3000; ++i) b += "\r\n";
        return b;
    }();
    struct Case {
        const char* line;  // its first occurrence
        const char* key;
        int alarm;  // FirstDamagedAlarm
    } cases[] = {
        {"gExCnt=1", "gExCnt", 0},
        {"Alarm Count=2", "Alarm Count", 0},
        {"ExCnt=1", "ExCnt", 1},
        {"Event Count=6", "Event Count", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        std::string text = base;
        const std::size_t at = text.find(std::string("\n") + c.line + "\r\n");
        ASSERT_NE(at, std::string::npos);
        const std::size_t end = at + 1 + std::strlen(c.line) + 2;
        text = text.substr(0, at + 1) + c.key + "=2500\r\n" + blanks + text.substr(end);
        const ReadOutcome r = ReadText(text);
        EXPECT_EQ(r.result, kFileInvalid);
        EXPECT_EQ(r.messages, Messages{InputError(c.key)});
        EXPECT_TRUE(r.g->AlarmFileDamaged);
        EXPECT_EQ(r.g->FirstDamagedAlarm, c.alarm);
        EXPECT_LE(r.g->AlarmTable.size(), 4u);
    }
}

// What could not be read is marked for the first save and the table; a
// clean read clears the marks of the last one.
TEST(AlarmFileReaderFailures, DamageIsMarked) {
    const std::string base = VersionFile("v2.10.ini");
    const std::string cut = base.substr(0, base.find("evtype=7"));
    struct Case {
        const char* what;
        std::string text;
        bool damaged;
        int firstDamaged;
    } cases[] = {
        {"clean", base, false, 0},
        {"a bad date, read on", ReplaceLine(base, "AlStartDate=12/31/1999", "AlStartDate=x"), true,
         0},
        {"a damaged value", ReplaceLine(base, "AlType=7", "AlType=9"), true, 0},
        {"a bad header number", ReplaceLine(base, "dldInterval=15", "dldInterval=x"), true, 0},
        {"abandoned in alarm 1", ReplaceLine(base, "AlXDays=13", "AlXDays=x"), true, 1},
        {"abandoned in alarm 2", ReplaceLine(base, "stepnum=1", "stepnum=x"), true, 2},
        {"alarm 2's tag missing", ReplaceLine(base, "[Alarm 2]", "[Alarm two]"), true, 2},
        {"cut in alarm 2", cut, true, 2},
        {"not an alarm file", "[Alarm]\r\n", true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ReadOutcome r = ReadText(c.text, [](Globals& g) {
            Preset(g);
            g.AlarmFileDamaged = true;  // from an earlier read
            g.FirstDamagedAlarm = 7;
        });
        EXPECT_EQ(r.g->AlarmFileDamaged, c.damaged);
        EXPECT_EQ(r.g->FirstDamagedAlarm, c.firstDamaged);
        if (c.firstDamaged == 2) {
            EXPECT_EQ(r.g->AlarmTable[1], ReadText(base).g->AlarmTable[1]);
        }
    }
}

// A file that is there but cannot be read must not be written over unseen; a
// missing one may be made.
TEST(AlarmFileReaderFailures, AFileThatCannotBeReadIsNotClean) {
    ScratchDir dir;
    Globals g;
    testing::Prepare(g, dir);
    CollectingReporter reporter;
    EXPECT_EQ(ReadAlarmFile(g, {.followClient = true}, reporter), kFileCannotOpen);
    EXPECT_FALSE(g.AlarmFileDamaged);
    testing::WriteText(dir.file("alfile.ini"), "");
    std::filesystem::resize_file(dir.file("alfile.ini"), (std::uintmax_t{512} << 20) + 1);  // sparse
    EXPECT_EQ(ReadAlarmFile(g, {.followClient = true}, reporter), kFileCannotOpen);
    EXPECT_TRUE(g.AlarmFileDamaged);
}

TEST(AlarmFileReaderFailures, AbandonedAlarmKeepsWhatWasReadBeforeTheFault) {
    const ReadOutcome r =
        ReadText(ReplaceLine(VersionFile("v2.10.ini"), "AlXDays=13", "AlXDays=x"));
    EXPECT_EQ(r.result, kFileInvalid);
    const AlRec& a = r.g->AlarmTable[1];
    EXPECT_EQ(a.AlMessage, "Hello\r\nWorld");
    EXPECT_EQ(a.snoozeming, 9);
    EXPECT_EQ(a.Schedule.AlWeekdays, (std::vector<Integer>{3, 5}));
    EXPECT_EQ(a.Schedule.AlXHours, 12);
    EXPECT_EQ(a.Schedule.AlXDays, 0);
    EXPECT_EQ(a.Schedule.AlXYears, 0);
    EXPECT_EQ(a.Schedule.AlMonthDays, std::vector<Integer>{});
    EXPECT_EQ(*a.Music, MusicType{});
    EXPECT_EQ(a.Exceptions, ExList{});
}

std::string NumberedLines(const char* stem, int from, int to) {
    std::string out;
    for (int i = from; i <= to; ++i) out += stem + std::to_string(i) + "\r\n";
    return out;
}

TEST(AlarmFileReaderFailures, MessageOfMoreThanAThousandLines) {
    const std::string base = VersionFile("v2.10.ini");
    // "AlMessage=L0", L1 to Ln, then the file's own "World" and "eom1".
    const auto withLines = [&](int n) {
        std::string lines = NumberedLines("L", 1, n);
        lines.resize(lines.size() - 2);  // ReplaceLine ends it
        return ReplaceLine(base, "AlMessage=Hello", "AlMessage=L0\r\n" + lines);
    };
    // 999 further lines, then "eom1" as the thousandth.
    std::string text = withLines(998);
    ReadOutcome r = ReadText(text);
    EXPECT_EQ(r.result, kFileDone);
    EXPECT_EQ(r.messages, Messages{});
    std::string want = "L0";
    for (int i = 1; i <= 998; ++i) want += "\r\nL" + std::to_string(i);
    want += "\r\nWorld";
    EXPECT_EQ(r.g->AlarmTable[1].AlMessage, want);
    EXPECT_TRUE(r.g->AlarmTable[1].AlHideWindow);

    // One more line: the thousandth further line is not "eom1", so reading
    // stops there and goes on with the line after it.
    text = withLines(999);
    r = ReadText(text);
    EXPECT_EQ(r.result, kFileDone);
    EXPECT_EQ(r.messages, Messages{InputError("AlMessage")});
    want = "L0";
    for (int i = 1; i <= 999; ++i) want += "\r\nL" + std::to_string(i);
    want += "\r\nWorld";
    EXPECT_EQ(r.g->AlarmTable[1].AlMessage, want);
    EXPECT_FALSE(r.g->AlarmTable[1].AlHideWindow);  // taken from the "eom1" line
    EXPECT_EQ(r.g->AlarmTable[1].snoozeming, 9);    // its marker is found again
    EXPECT_EQ(r.g->AlarmTable[2].AlName, "Script");

    // The same for a mail body.
    text = ReplaceLine(base, "msg=Body", "msg=B0\r\n" + NumberedLines("B", 1, 1000) + "x");
    r = ReadText(text);
    EXPECT_EQ(r.messages, Messages{InputError("msg")});
    EXPECT_EQ(r.g->AlarmTable[1].Mail->Attachment, Messages{"att.one"});
}

TEST(AlarmFileReaderFailures, MessageRunningToTheEndOfTheFile) {
    // In the last alarm: a file cut short in its first alarm cannot hold its
    // count, and is abandoned there.
    std::string text = VersionFile("v2.10.ini");
    text = text.substr(0, text.find("AlMessage=\r\n")) + "AlMessage=Hello\r\nWorld\r\n";
    const ReadOutcome r = ReadText(text);
    EXPECT_EQ(r.result, kFileInvalid);  // "snoozeming" is empty
    ASSERT_FALSE(r.messages.empty());
    EXPECT_EQ(r.messages.front(), InputError("AlMessage"));
    EXPECT_EQ(r.messages.back(), InputError("snoozeming"));
    EXPECT_EQ(r.g->AlarmTable[2].AlMessage, "Hello\r\nWorld");
    EXPECT_EQ(r.g->FirstDamagedAlarm, 2);
}

}  // namespace
}  // namespace ringmere
