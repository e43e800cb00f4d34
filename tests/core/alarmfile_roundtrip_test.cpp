// Random records written and read back. The layout cannot hold a few texts
// exactly; the writer changes them as little as it can, and each change is
// applied to the expected record here, next to the text that needs it:
// - a line break in a single-line text becomes one space;
// - a multi-line text whose first line is empty starts with one space;
// - a further line of a multi-line text that reads "eom1" gets a space after it;
// - a multi-line text keeps at most 1000 lines: the ones after the thousandth
//   join it, each after a space;
// - a port or download interval out of its range reads as the default.
// The generator fills only what the layout carries for a record's kind (a
// step's own block, a rule's fields of its type, a simple alarm's actions or
// a scripted alarm's steps), as the editors do.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "core/alarmfile.h"
#include "core/globals.h"
#include "tests/core/alarmfile_testing.h"

namespace ringmere {
namespace {

using testing::ScratchDir;
using Messages = std::vector<std::string>;

class Generator {
public:
    explicit Generator(std::uint32_t seed) : rng_(seed) {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    bool Chance(int percent) { return Below(100) < percent; }
    bool Flag() { return Below(2) == 1; }

    Integer Int() {
        switch (Below(6)) {
            case 0:
                return INT32_MIN;
            case 1:
                return INT32_MAX;
            case 2:
                return 0;
            case 3:
                return Below(100);
            default:
                return std::uniform_int_distribution<Integer>(INT32_MIN, INT32_MAX)(rng_);
        }
    }
    Byte AnyByte() { return static_cast<Byte>(Below(256)); }
    DateTime Date() { return EncodeDate(1753, 1, 1) + Below(3000000 - 25000); }
    DateTime Time() { return FromDaySecond(0, Below(kSecondsPerDay)); }

    // One line of text, none of the pieces a line break.
    std::string Line() {
        static const char* const kPieces[] = {
            "a",
            "Z",
            "0",
            "9",
            " ",
            "[",
            "]",
            "=",
            "-",
            ",",
            ";",
            "/",
            "\\",
            ":",
            ".",
            "\t",
            "eom1",
            "x=y",
            "[Alarm 1]",
            "[sw140-3]",
            "[sw129]",
            "[Event 2]",
            "AlName=",
            "Version=2.10",
            "\xC3\xA9",                  // é in UTF-8
            "\xE6\x97\xA5\xE6\x9C\xAC",  // 日本 in UTF-8
            "\x80",
            "\x93\x94",
            "\xE9",
            "\xFF",  // Windows-1252: €, quotes, é, ÿ
        };
        std::string out;
        for (int n = Below(7); n > 0; --n) out += kPieces[Below(std::size(kPieces))];
        return out;
    }

    // A single-line text; sometimes with line breaks, which the file turns
    // into spaces.
    void Text(std::string& written, std::string& expected) {
        written = expected = Line();
        if (!Chance(10)) return;
        static const char* const kBreaks[] = {"\r\n", "\n", "\r"};
        const std::string more = Line();
        written += kBreaks[Below(3)] + more;
        expected += " " + more;
    }

    // A multi-line text with CR LF between its lines, as messages are held.
    void MultiLine(std::string& written, std::string& expected) {
        std::vector<std::string> lines;
        for (int n = Below(6); n > 0; --n) {
            switch (Below(6)) {
                case 0:
                    lines.push_back("");
                    break;
                case 1:
                    lines.push_back("eom1");
                    break;
                default:
                    lines.push_back(Line());
            }
        }
        written.clear();
        expected.clear();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i > 0) {
                written += "\r\n";
                expected += "\r\n";
            }
            written += lines[i];
            if (i == 0 && lines[0].empty() && lines.size() > 1)
                expected += " ";
            else if (i > 0 && lines[i] == "eom1")
                expected += "eom1 ";
            else
                expected += lines[i];
        }
    }

    template <class T>
    void Same(T& written, T& expected, T value) {
        written = expected = value;
    }

    std::vector<Integer> Digits(int maxCount) {
        std::vector<Integer> v(static_cast<std::size_t>(Below(maxCount + 1)));
        for (Integer& d : v) d = Below(10);
        return v;
    }

    void Rule(ExRec& w, ExRec& e) {
        const int kind = Below(10);
        const Byte type = kind < 3 ? 0 : kind < 6 ? 1 : kind < 9 ? 2 : AnyByte();
        Same(w.ExType, e.ExType, type);
        if (type == 0) {
            Same(w.ExTStart, e.ExTStart, Time());
            Same(w.ExTEnd, e.ExTEnd, Time());
        } else if (type == 1) {
            std::vector<DateTime> days(static_cast<std::size_t>(Below(5)));
            for (DateTime& d : days) d = Date();
            Same(w.ExDayCnt, e.ExDayCnt, static_cast<Integer>(days.size()));
            Same(w.ExDays, e.ExDays, days);
            const Byte sel = Chance(90) ? static_cast<Byte>(Below(2)) : AnyByte();
            Same(w.ExSelType, e.ExSelType, sel);
            if (sel == 1) {
                Same(w.ExTStart, e.ExTStart, Time());
                Same(w.ExTEnd, e.ExTEnd, Time());
            }
        } else if (type == 2) {
            std::vector<Integer> days(static_cast<std::size_t>(Below(8)));
            for (Integer& d : days) d = Chance(80) ? 1 + Below(7) : Int();
            Same(w.ExWeekdayNum, e.ExWeekdayNum, static_cast<Integer>(days.size()));
            Same(w.ExWeekDays, e.ExWeekDays, days);
        }
    }

    void Rules(ExList& w, ExList& e) {
        const int n = Below(4);
        w.Items.resize(n);
        e.Items.resize(n);
        Same(w.Count, e.Count, n);
        for (int k = 0; k < n; ++k) Rule(w.Items[k], e.Items[k]);
    }

    void Sound(MusicType& w, MusicType& e) {
        Same(w.MuType, e.MuType, AnyByte());
        Text(w.Mp3.mp3file, e.Mp3.mp3file);
        Same(w.Mp3.mp3ptype, e.Mp3.mp3ptype, AnyByte());
        Text(w.Wav.wavfile, e.Wav.wavfile);
        Same(w.Wav.wavtype, e.Wav.wavtype, AnyByte());
        Same(w.Wav.reptimes, e.Wav.reptimes, Int());
        Text(w.Cd.cddrive, e.Cd.cddrive);
        Same(w.Cd.tracktype, e.Cd.tracktype, AnyByte());
        Same(w.Cd.cdtrack, e.Cd.cdtrack, Int());
    }

    void Dial(DialRec& w, DialRec& e) {
        Same(w.usedialup, e.usedialup, Flag());
        Same(w.connectm, e.connectm, Flag());
        Text(w.dialname, e.dialname);
        Same(w.redialattempts, e.redialattempts, Int());
    }

    void Web(WebLaunch& w, WebLaunch& e) {
        Text(w.url1, e.url1);
        Same(w.opennew, e.opennew, Flag());
    }

    void Mail(smtpmessage& w, smtpmessage& e) {
        Same(w.sendmessage, e.sendmessage, Flag());
        Text(w.servername, e.servername);
        Text(w.username, e.username);
        Text(w.from, e.from);
        Text(w.mto, e.mto);
        Text(w.subject, e.subject);
        MultiLine(w.msg, e.msg);
        const int n = Below(5);
        w.Attachment.resize(n);
        e.Attachment.resize(n);
        Same(w.nAttach, e.nAttach, n);
        for (int k = 0; k < n; ++k) Text(w.Attachment[k], e.Attachment[k]);
    }

    void Synch(SynchronizeRec& w, SynchronizeRec& e) {
        Same(w.dosynch, e.dosynch, Flag());
        Text(w.synchserver, e.synchserver);
    }

    void Ftp(FTPRecT& w, FTPRecT& e) {
        Same(w.ftpenabled, e.ftpenabled, Flag());
        Text(w.ftpserver, e.ftpserver);
        Text(w.ftppath, e.ftppath);
        Text(w.ftplocalfile, e.ftplocalfile);
        w.ftpport = Int();  // a port no server can have reads as 21
        e.ftpport = w.ftpport >= 0 && w.ftpport <= 65535 ? w.ftpport : 21;
        Text(w.ftpuser, e.ftpuser);
        Text(w.ftppass, e.ftppass);
        Same(w.ftpupload, e.ftpupload, Flag());
        Same(w.ftpascmode, e.ftpascmode, Flag());
        Same(w.ftppassive, e.ftppassive, Flag());
        Same(w.ftpretry, e.ftpretry, Flag());
        Same(w.ftpmaxretry, e.ftpmaxretry, Int());
        Same(w.ftpdelay, e.ftpdelay, Int());
        Same(w.ftpreconnect, e.ftpreconnect, Flag());
        Text(w.ftpdialname, e.ftpdialname);
        Same(w.ftpmaxrecon, e.ftpmaxrecon, Int());
        Same(w.ftprecondelay, e.ftprecondelay, Int());
        Same(w.ftptransfertype, e.ftptransfertype, AnyByte());
    }

    void FileOp(FileOps& w, FileOps& e) {
        const Byte fop = Chance(90) ? static_cast<Byte>(Below(4)) : AnyByte();
        Same(w.fop, e.fop, fop);
        if (fop == 1 || fop == 2) {
            Text(w.ffrom, e.ffrom);
            Text(w.fto, e.fto);
        } else if (fop == 3) {
            Text(w.fdel, e.fdel);
        }
    }

    void Step(AlEvent& w, AlEvent& e) {
        Text(w.evname, e.evname);
        const Byte kind = Chance(95) ? static_cast<Byte>(Below(10)) : AnyByte();
        Same(w.evtype, e.evtype, kind);
        switch (kind) {
            case kStepSound:
                Sound(w.Music, e.Music);
                break;
            case kStepDialup:
                Dial(w.Dial, e.Dial);
                break;
            case kStepLaunch:
                Text(w.Launch.app1, e.Launch.app1);
                Text(w.Launch.param1, e.Launch.param1);
                break;
            case kStepWeb:
                Web(w.Web, e.Web);
                break;
            case kStepMail:
                Mail(w.Mail, e.Mail);
                break;
            case kStepSleep:
                Same(w.sseconds, e.sseconds, Int());
                break;
            case kStepSynch:
                Synch(w.Synch, e.Synch);
                break;
            case kStepFtp:
                Ftp(w.Ftp, e.Ftp);
                break;
            case kStepRepeat:
                Same(w.Repeat.stepnum, e.Repeat.stepnum, Int());
                Same(w.Repeat.reptype, e.Repeat.reptype, AnyByte());
                Same(w.Repeat.repnum, e.Repeat.repnum, Int());
                break;
            case kStepFileOp:
                FileOp(w.FileOp, e.FileOp);
                break;
            default:
                break;  // a kind the program does not know: nothing else
        }
    }

    void Alarm(AlRec& w, AlRec& e) {
        Text(w.AlName, e.AlName);
        MultiLine(w.AlMessage, e.AlMessage);
        Same(w.AlHideWindow, e.AlHideWindow, Flag());
        Same(w.AlMinWindow, e.AlMinWindow, Flag());
        Same(w.AlFlashWindow, e.AlFlashWindow, Flag());
        Same(w.AlSnooze, e.AlSnooze, Flag());
        Same(w.snoozeming, e.snoozeming, Int());
        Same(w.enabled, e.enabled, Flag());
        const Byte mtype = Chance(90) ? static_cast<Byte>(Below(2)) : AnyByte();
        Same(w.mtype, e.mtype, mtype);

        TimeRec& t = w.Schedule;
        TimeRec& u = e.Schedule;
        Same(t.AlType, u.AlType, AnyByte());
        Same(t.AlTime, u.AlTime, Time());
        Same(t.AlMDay, u.AlMDay, Int());
        std::vector<DateTime> days(static_cast<std::size_t>(Below(6)));
        for (DateTime& d : days) d = Date();
        Same(t.AlDayCount, u.AlDayCount, static_cast<Integer>(days.size()));
        Same(t.AlDays, u.AlDays, days);
        const std::vector<Integer> weekdays = Digits(7);
        Same(t.AlWeekdaynum, u.AlWeekdaynum, static_cast<Integer>(weekdays.size()));
        Same(t.AlWeekdays, u.AlWeekdays, weekdays);
        Same(t.AlStartDate, u.AlStartDate, Date());
        Same(t.AlEndType, u.AlEndType, AnyByte());
        Same(t.AlXTimes, u.AlXTimes, Int());
        Same(t.AlEndDate, u.AlEndDate, Date());
        Same(t.AlEndTime, u.AlEndTime, Time());
        Same(t.AlXMin, u.AlXMin, Int());
        Same(t.AlXHours, u.AlXHours, Int());
        Same(t.AlXDays, u.AlXDays, Int());
        Same(t.AlXYears, u.AlXYears, Int());
        Same(t.AlXWeeks, u.AlXWeeks, Int());
        Same(t.AlXMonths, u.AlXMonths, Int());
        Same(t.AlMType, u.AlMType, AnyByte());
        std::vector<Integer> monthDays(static_cast<std::size_t>(Below(6)));
        for (Integer& d : monthDays) d = Chance(80) ? 1 + Below(31) : Int();
        Same(t.AlMonthdaynum, u.AlMonthdaynum, static_cast<Integer>(monthDays.size()));
        Same(t.AlMonthDays, u.AlMonthDays, monthDays);
        const std::vector<Integer> mWeekdays = Digits(7);
        Same(t.AlMWeekdaynum, u.AlMWeekdaynum, static_cast<Integer>(mWeekdays.size()));
        Same(t.AlMWeekdays, u.AlMWeekdays, mWeekdays);
        const std::vector<Integer> weeks = Digits(5);
        Same(t.AlMWeekDWNum, u.AlMWeekDWNum, static_cast<Integer>(weeks.size()));
        Same(t.AlMWeekDW, u.AlMWeekDW, weeks);

        Rules(w.Exceptions, e.Exceptions);
        if (mtype != 0) {
            const int n = Below(13);
            w.Events.Items.resize(n);
            e.Events.Items.resize(n);
            Same(w.Events.Count, e.Events.Count, n);
            for (int k = 0; k < n; ++k) Step(w.Events.Items[k], e.Events.Items[k]);
            return;
        }
        Sound(w.Music, e.Music);
        Dial(w.Dial, e.Dial);
        Text(w.Launch.app1, e.Launch.app1);
        Text(w.Launch.param1, e.Launch.param1);
        Text(w.Launch.app2, e.Launch.app2);
        Text(w.Launch.param2, e.Launch.param2);
        Text(w.Launch.app3, e.Launch.app3);
        Text(w.Launch.param3, e.Launch.param3);
        Web(w.Web, e.Web);
        Mail(w.Mail, e.Mail);
        Ftp(w.Ftp, e.Ftp);
        Synch(w.Synch, e.Synch);
        FileOp(w.FileOp, e.FileOp);
    }

    // The header fields of the settings; the rest keep their defaults.
    void Header(SettingsRec& w, SettingsRec& e) {
        Same(w.UseSMTP, e.UseSMTP, Flag());
        Text(w.SMTPServer, e.SMTPServer);
        Text(w.SMTPUser, e.SMTPUser);
        Text(w.SMTPPass, e.SMTPPass);
        Text(w.ReplyTo, e.ReplyTo);
        static const char* const kModes[] = {"Single", "Server", "Client"};
        if (Chance(80)) {
            Same(w.UserMode, e.UserMode, std::string(kModes[Below(3)]));
        } else {
            w.UserMode = e.UserMode = Line();
            if (w.UserMode == "WClient") w.UserMode = e.UserMode = "Single";
        }
        std::string file, fileRead;
        Text(file, fileRead);
        w.AlarmFile = file;
        if (e.UserMode == "Client") e.AlarmFile = fileRead;  // kept otherwise
        Same(w.dldAlarmFile, e.dldAlarmFile, Flag());
        w.dldInterval = Int();  // so does an interval below a minute, as 30
        e.dldInterval = w.dldInterval >= 1 ? w.dldInterval : 30;
        Same(w.allowWake, e.allowWake, Flag());
        Same(w.enablelogging, e.enablelogging, Flag());
        Same(w.monthBackColor, e.monthBackColor, Int());
        Same(w.textColor, e.textColor, Int());
        Same(w.titleBackColor, e.titleBackColor, Int());
        Same(w.titleTextColor, e.titleTextColor, Int());
        Same(w.trailingTextColor, e.trailingTextColor, Int());
    }

private:
    std::mt19937 rng_;
};

struct Pair {
    Globals written, expected;
};

// `expected` is what a fresh Globals of `dir` reads back.
void Generate(Generator& gen, const ScratchDir& dir, Pair& p) {
    for (Globals* g : {&p.written, &p.expected}) testing::Prepare(*g, dir);
    gen.Header(p.written.Settings, p.expected.Settings);
    gen.Rules(p.written.GlobalExceptions, p.expected.GlobalExceptions);
    const int n = gen.Below(6);
    for (Globals* g : {&p.written, &p.expected}) {
        g->AlarmCount = n;
        g->ResetAlarmTable(n);
    }
    for (int a = 1; a <= n; ++a) gen.Alarm(p.written.AlarmTable[a], p.expected.AlarmTable[a]);
}

void ExpectReadsBack(const Pair& p, const ScratchDir& dir) {
    // The text WriteAlarmFile writes, without its flush to disk, which only
    // slows a few hundred rounds down.
    testing::WriteText(dir.file("alfile.ini"), FormatAlarmFile(p.written));
    CollectingReporter reporter;
    Globals g;
    testing::Prepare(g, dir);
    ASSERT_EQ(ReadAlarmFile(g, /*followClient=*/false, false, reporter), kFileDone);
    // Values out of their range are reported and still read back.
    bool replaced = false;
    for (const std::string& m : reporter.messages) {
        EXPECT_EQ(m.rfind("Damaged value in the alarm file: ", 0), 0u) << m;
        replaced = replaced || m.find("(read as ") != std::string::npos;
    }
    EXPECT_DOUBLE_EQ(g.FileVersion, 2.1);
    EXPECT_EQ(g.Settings, p.expected.Settings);
    EXPECT_EQ(g.GlobalExceptions, p.expected.GlobalExceptions);
    ASSERT_EQ(g.AlarmCount, p.expected.AlarmCount);
    ASSERT_EQ(g.AlarmTable.size(), p.expected.AlarmTable.size());
    for (std::size_t a = 0; a < g.AlarmTable.size(); ++a) {
        const AlRec& got = g.AlarmTable[a];
        const AlRec& want = p.expected.AlarmTable[a];
        if (got == want) continue;
        // Narrow the report down to the part that differs.
        EXPECT_EQ(got.AlName, want.AlName) << "alarm " << a;
        EXPECT_EQ(got.AlMessage, want.AlMessage) << "alarm " << a;
        EXPECT_EQ(got.Schedule, want.Schedule) << "alarm " << a;
        EXPECT_EQ(got.Exceptions, want.Exceptions) << "alarm " << a;
        for (std::size_t k = 0; k < got.Events.Items.size() && k < want.Events.Items.size(); ++k)
            EXPECT_EQ(got.Events.Items[k], want.Events.Items[k]) << "alarm " << a << " step " << k;
        EXPECT_EQ(got, want) << "alarm " << a;
    }
    // A client's file keeps its AlarmFile line, so the whole file comes out
    // as it went in.
    if (g.Settings.UserMode == "Client" && !replaced) {
        EXPECT_EQ(FormatAlarmFile(g), testing::ReadText(dir.file("alfile.ini")));
    }
}

TEST(AlarmFileRoundTrip, RandomRecords) {
    Generator gen(20240607);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ScratchDir dir;
        Pair p;
        Generate(gen, dir, p);
        ExpectReadsBack(p, dir);
        if (HasFailure()) break;
    }
}

// The texts the format cannot hold exactly, one by one.
TEST(AlarmFileRoundTrip, SmallestVisibleChanges) {
    struct Case {
        const char* name;
        std::string written;
        std::string expected;
        bool multiLine;
    } cases[] = {
        {"bracket in a name", "Backup [daily]", "Backup [daily]", false},
        {"marker as a name", "[sw140-3]", "[sw140-3]", false},
        {"key and value", "AlName=x", "AlName=x", false},
        {"CR LF", "a\r\nb", "a b", false},
        {"LF", "a\nb", "a b", false},
        {"CR", "a\rb", "a b", false},
        {"two breaks", "a\r\n\r\nb", "a  b", false},
        {"break at the end", "a\r\n", "a ", false},
        {"empty first line", "\r\nb", " \r\nb", true},
        {"only line breaks", "\r\n\r\n", " \r\n\r\n", true},
        {"eom1 line", "a\r\neom1\r\nb", "a\r\neom1 \r\nb", true},
        {"eom1 last", "a\r\neom1", "a\r\neom1 ", true},
        {"eom1 with a space already", "a\r\neom1 ", "a\r\neom1 ", true},
        {"eom1 first", "eom1\r\nb", "eom1\r\nb", true},
        {"LF alone", "a\nb", "a\r\nb", true},
        {"CR alone", "a\rb", "a\r\nb", true},
        {"tags as lines", "[Alarm 2]\r\n[sw129]\r\n[Event Info]",
         "[Alarm 2]\r\n[sw129]\r\n[Event Info]", true},
        {"8-bit bytes", "\x80\r\n\xE9t\xE9", "\x80\r\n\xE9t\xE9", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        Pair p;
        for (Globals* g : {&p.written, &p.expected}) {
            testing::Prepare(*g, dir);
            g->AlarmCount = 2;
            g->ResetAlarmTable(2);
            g->AlarmTable[2].AlName = "after";
            g->AlarmTable[2].enabled = true;
        }
        AlRec& w = p.written.AlarmTable[1];
        AlRec& e = p.expected.AlarmTable[1];
        if (c.multiLine) {
            w.AlMessage = w.Mail.msg = c.written;
            e.AlMessage = e.Mail.msg = c.expected;
        } else {
            w.AlName = w.Launch.app1 = w.Mail.subject = c.written;
            e.AlName = e.Launch.app1 = e.Mail.subject = c.expected;
        }
        w.AlHideWindow = e.AlHideWindow = true;
        w.Mail.nAttach = e.Mail.nAttach = 1;
        w.Mail.Attachment = e.Mail.Attachment = {"after"};
        ExpectReadsBack(p, dir);
    }
}

std::string Lines(int from, int to) {
    std::string out;
    for (int i = from; i <= to; ++i) out += (i > from ? "\r\n" : "") + std::to_string(i);
    return out;
}

TEST(AlarmFileRoundTrip, LongMessages) {
    struct Case {
        int lines;
        std::string expected;
    } cases[] = {
        {999, Lines(1, 999)},
        {1000, Lines(1, 1000)},
        // The lines after the thousandth join it.
        {1001, Lines(1, 999) + "\r\n1000 1001"},
        {1500,
         [] {
             std::string s = Lines(1, 999) + "\r\n1000";
             for (int i = 1001; i <= 1500; ++i) s += " " + std::to_string(i);
             return s;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        ScratchDir dir;
        Pair p;
        for (Globals* g : {&p.written, &p.expected}) {
            testing::Prepare(*g, dir);
            g->AlarmCount = 1;
            g->ResetAlarmTable(1);
            g->AlarmTable[1].AlHideWindow = true;
            g->AlarmTable[1].Mail.subject = "after";
        }
        p.written.AlarmTable[1].AlMessage = p.written.AlarmTable[1].Mail.msg = Lines(1, c.lines);
        p.expected.AlarmTable[1].AlMessage = p.expected.AlarmTable[1].Mail.msg = c.expected;
        ExpectReadsBack(p, dir);
    }
}

}  // namespace
}  // namespace ringmere
