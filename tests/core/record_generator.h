// Random alarm files: records filled with what the layout carries for each
// kind, and the record each reads back as. Shared by the file round trip and
// the editors' round trip.
#pragma once

#include <cstdint>
#include <random>

#include "core/globals.h"
#include "tests/core/alarmfile_testing.h"

namespace ringmere::testing {

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
                Sound(*w.Music, *e.Music);
                break;
            case kStepDialup:
                Dial(*w.Dial, *e.Dial);
                break;
            case kStepLaunch:
                Text(w.Launch->app1, e.Launch->app1);
                Text(w.Launch->param1, e.Launch->param1);
                break;
            case kStepWeb:
                Web(*w.Web, *e.Web);
                break;
            case kStepMail:
                Mail(*w.Mail, *e.Mail);
                break;
            case kStepSleep:
                Same(w.sseconds, e.sseconds, Int());
                break;
            case kStepSynch:
                Synch(*w.Synch, *e.Synch);
                break;
            case kStepFtp:
                Ftp(*w.Ftp, *e.Ftp);
                break;
            case kStepRepeat:
                Same(w.Repeat.stepnum, e.Repeat.stepnum, Int());
                Same(w.Repeat.reptype, e.Repeat.reptype, AnyByte());
                Same(w.Repeat.repnum, e.Repeat.repnum, Int());
                break;
            case kStepFileOp:
                FileOp(*w.FileOp, *e.FileOp);
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
        Sound(*w.Music, *e.Music);
        Dial(*w.Dial, *e.Dial);
        Text(w.Launch->app1, e.Launch->app1);
        Text(w.Launch->param1, e.Launch->param1);
        Text(w.Launch->app2, e.Launch->app2);
        Text(w.Launch->param2, e.Launch->param2);
        Text(w.Launch->app3, e.Launch->app3);
        Text(w.Launch->param3, e.Launch->param3);
        Web(*w.Web, *e.Web);
        Mail(*w.Mail, *e.Mail);
        Ftp(*w.Ftp, *e.Ftp);
        Synch(*w.Synch, *e.Synch);
        FileOp(*w.FileOp, *e.FileOp);
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
inline void Generate(Generator& gen, const ScratchDir& dir, Pair& p) {
    for (Globals* g : {&p.written, &p.expected}) Prepare(*g, dir);
    gen.Header(p.written.Settings, p.expected.Settings);
    gen.Rules(p.written.GlobalExceptions, p.expected.GlobalExceptions);
    const int n = gen.Below(6);
    for (Globals* g : {&p.written, &p.expected}) {
        g->AlarmCount = n;
        g->ResetAlarmTable(n);
    }
    for (int a = 1; a <= n; ++a) gen.Alarm(p.written.AlarmTable[a], p.expected.AlarmTable[a]);
}

}  // namespace ringmere::testing
