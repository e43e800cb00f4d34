#include <string>
#include <string_view>
#include <vector>

#include "core/alarmfile.h"
#include "core/fileio.h"
#include "core/globals.h"

namespace ringmere {

namespace {

class FileText {
public:
    void Line(std::string_view line) {
        text_.append(line);
        text_.append("\r\n");
    }

    // Single-line values cannot hold a line break: it would start a new line
    // of the file and shift every later field, so it becomes a space.
    void Text(std::string_view key, std::string_view value) {
        text_.append(key);
        text_.push_back('=');
        for (std::size_t i = 0; i < value.size(); ++i) {
            const char c = value[i];
            if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') continue;  // one break
            text_.push_back(c == '\r' || c == '\n' ? ' ' : c);
        }
        text_.append("\r\n");
    }

    void Bool(std::string_view key, bool value) { Text(key, value ? "0" : "1"); }
    void Int(std::string_view key, long long value) { Text(key, std::to_string(value)); }
    void Time(std::string_view key, DateTime value) { Text(key, FormatLongTime(value)); }
    void Date(std::string_view key, DateTime value) { Text(key, FormatShortDate(value)); }

    template <class T>
    void NumberList(std::string_view key, const std::vector<T>& list, Integer count) {
        std::string value;
        for (Integer i = 0; i < count; ++i) {
            if (i > 0) value.push_back(',');
            value.append(std::to_string(static_cast<std::size_t>(i) < list.size() ? list[i] : 0));
        }
        Text(key, value);
    }

    // The text runs on over further lines and ends with "eom1". Two texts the
    // reader could not tell apart get the smallest visible change: an empty
    // first line becomes one space (an empty value means "no more lines"),
    // and a line that reads "eom1" gets a trailing space.
    void MultiLine(std::string_view key, std::string_view value) {
        if (value.empty()) {
            Text(key, "");
            return;
        }
        std::vector<std::string_view> lines;
        std::size_t start = 0;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] != '\r' && value[i] != '\n') continue;
            lines.push_back(value.substr(start, i - start));
            if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
            start = i + 1;
        }
        lines.push_back(value.substr(start));
        // The reader takes at most 1000 lines after the first, "eom1" among
        // them; later lines join the thousandth, each after a space, or they
        // would be read as the fields that follow.
        constexpr std::size_t kMaxLines = 1000;
        std::string joined;
        if (lines.size() > kMaxLines) {
            for (std::size_t i = kMaxLines - 1; i < lines.size(); ++i) {
                if (i >= kMaxLines) joined.push_back(' ');
                joined.append(lines[i]);
            }
            lines.resize(kMaxLines - 1);
            lines.push_back(joined);
        }
        text_.append(key);
        text_.push_back('=');
        text_.append(lines[0].empty() ? std::string_view(" ") : lines[0]);
        text_.append("\r\n");
        for (std::size_t i = 1; i < lines.size(); ++i) {
            text_.append(lines[i]);
            if (lines[i] == "eom1") text_.push_back(' ');
            text_.append("\r\n");
        }
        Line("eom1");
    }

    template <class T>
    void Numbered(std::string_view stem, Integer index, const T& value) {
        std::string key(stem);
        key += std::to_string(index);
        key.push_back(')');
        if constexpr (std::is_same_v<T, std::string>)
            Text(key, value);
        else if constexpr (std::is_floating_point_v<T>)
            Date(key, value);
        else
            Int(key, value);
    }

    std::string Take() { return std::move(text_); }

private:
    std::string text_;
};

template <class T>
T EntryOrZero(const std::vector<T>& list, Integer k) {  // k from 1
    return k >= 1 && static_cast<std::size_t>(k) <= list.size() ? list[k - 1] : T{};
}

void WriteMailHeader(FileText& f, const SettingsRec& s) {
    f.Bool("UseSMTP", s.UseSMTP);
    f.Text("SMTP Server", s.SMTPServer);
    f.Line("[sw201-2]");
    f.Text("SMTP User", s.SMTPUser);
    f.Text("SMTP Pass", s.SMTPPass);
    f.Text("ReplyTo", s.ReplyTo);
}

void WriteHeaderTail(FileText& f, const SettingsRec& s) {
    f.Line("[sw140-3]");
    f.Bool("dldAlarmFile", s.dldAlarmFile);
    f.Int("dldInterval", s.dldInterval);
    f.Bool("allowWake", s.allowWake);
    f.Line("[sw150-1]");
    f.Bool("enablelogging", s.enablelogging);
    f.Line("[sw202-5]");
    f.Int("monthBackColor", s.monthBackColor);
    f.Int("textColor", s.textColor);
    f.Int("titleBackColor", s.titleBackColor);
    f.Int("titleTextColor", s.titleTextColor);
    f.Int("trailingTextColor", s.trailingTextColor);
}

void WriteRuleBody(FileText& f, const ExRec& r) {
    f.Int("ExType", r.ExType);
    if (r.ExType == 0) {
        f.Time("ExTStart", r.ExTStart);
        f.Time("ExTEnd", r.ExTEnd);
    } else if (r.ExType == 1) {
        f.Int("ExDayCnt", r.ExDayCnt);
        for (Integer k = 1; k <= r.ExDayCnt; ++k)
            f.Numbered("ExDays(", k, EntryOrZero(r.ExDays, k));
        f.Int("ExSelType", r.ExSelType);
        if (r.ExSelType == 1) {
            f.Time("ExTStart", r.ExTStart);
            f.Time("ExTEnd", r.ExTEnd);
        }
    } else if (r.ExType == 2) {
        f.Int("ExWeekdayNum", r.ExWeekdayNum);
        for (Integer k = 1; k <= r.ExWeekdayNum; ++k)
            f.Numbered("ExWeekDays(", k, EntryOrZero(r.ExWeekDays, k));
    }
}

void WriteRules(FileText& f, const ExList& rules, std::string_view countKey,
                std::string_view tagStem) {
    f.Int(countKey, rules.Count);
    for (Integer k = 1; k <= rules.Count; ++k) {
        f.Line(std::string(tagStem) + std::to_string(k) + "]");
        WriteRuleBody(f, EntryOrZero(rules.Items, k));
    }
}

void WriteSound(FileText& f, const MusicType& m) {
    f.Line("[Music Settings]");
    f.Int("MuType", m.MuType);
    f.Line("[MP3 Rec]");
    f.Text("mp3file", m.Mp3.mp3file);
    f.Int("mp3ptype", m.Mp3.mp3ptype);
    f.Line("[Wav Rec]");
    f.Text("wavfile", m.Wav.wavfile);
    f.Int("wavtype", m.Wav.wavtype);
    f.Int("reptimes", m.Wav.reptimes);
    f.Line("[CD Rec]");
    f.Text("cddrive", m.Cd.cddrive);
    f.Int("tracktype", m.Cd.tracktype);
    f.Int("cdtrack", m.Cd.cdtrack);
}

void WriteDialup(FileText& f, const DialRec& d) {
    f.Line("[DialUp Settings]");
    f.Bool("usedialup", d.usedialup);
    f.Text("dialname", d.dialname);
    f.Int("redialattempts", d.redialattempts);
    f.Bool("connectm", d.connectm);
}

void WriteWeb(FileText& f, const WebLaunch& w) {
    f.Line("[Web Launch]");
    f.Text("url1", w.url1);
    f.Bool("opennew", w.opennew);
}

void WriteMail(FileText& f, const smtpmessage& m) {
    f.Line("[smtp]");
    f.Bool("sendmessage", m.sendmessage);
    f.Text("servername", m.servername);
    f.Text("username", m.username);
    f.Text("from", m.from);
    f.Text("mto", m.mto);
    f.Text("subject", m.subject);
    f.MultiLine("msg", m.msg);
    f.Line("[Attachments]");
    f.Int("nAttach", m.nAttach);
    for (Integer k = 1; k <= m.nAttach; ++k)
        f.Numbered("Attachment(", k, EntryOrZero(m.Attachment, k));
}

void WriteSynch(FileText& f, const SynchronizeRec& s) {
    f.Line("[Synch]");
    f.Bool("dosynch", s.dosynch);
    f.Text("synchserver", s.synchserver);
}

void WriteFtp(FileText& f, const FTPRecT& t) {
    f.Line("[FTP]");
    f.Bool("ftpenabled", t.ftpenabled);
    f.Text("ftpserver", t.ftpserver);
    f.Int("ftpport", t.ftpport);
    f.Text("ftplocalfile", t.ftplocalfile);
    f.Text("ftppath", t.ftppath);
    f.Text("ftpuser", t.ftpuser);
    f.Text("ftppass", t.ftppass);
    f.Bool("ftpupload", t.ftpupload);
    f.Bool("ftpascmode", t.ftpascmode);
    f.Line("[sw141-1]");
    f.Bool("ftppassive", t.ftppassive);
    f.Line("[sw150-8]");
    f.Bool("ftpretry", t.ftpretry);
    f.Int("ftpmaxretry", t.ftpmaxretry);
    f.Int("ftpdelay", t.ftpdelay);
    f.Bool("ftpreconnect", t.ftpreconnect);
    f.Text("ftpdialname", t.ftpdialname);
    f.Int("ftpmaxrecon", t.ftpmaxrecon);
    f.Int("ftprecondelay", t.ftprecondelay);
    f.Int("ftptransfertype", t.ftptransfertype);
}

void WriteFileOp(FileText& f, const FileOps& o) {
    f.Line("[sw150-1]");
    f.Line("[fileop]");
    f.Int("fop", o.fop);
    if (o.fop == 1 || o.fop == 2) {
        f.Line("[sw150-2]");
        f.Text("ffrom", o.ffrom);
        f.Text("fto", o.fto);
    } else if (o.fop == 3) {
        f.Line("[sw150-1]");
        f.Text("fdel", o.fdel);
    }
}

void WriteStep(FileText& f, const AlEvent& e, Integer number) {
    f.Line("[Event " + std::to_string(number) + "]");
    f.Line("[Event Info]");
    f.Text("evname", e.evname);
    f.Int("evtype", e.evtype);
    switch (e.evtype) {
        case kStepSound:
            WriteSound(f, e.Music);
            break;
        case kStepDialup:
            WriteDialup(f, e.Dial);
            break;
        case kStepLaunch:
            f.Line("[File Launch]");
            f.Text("app1", e.Launch.app1);
            f.Text("param1", e.Launch.param1);
            break;
        case kStepWeb:
            WriteWeb(f, e.Web);
            break;
        case kStepMail:
            WriteMail(f, e.Mail);
            break;
        case kStepSleep:
            f.Line("[sleep]");
            f.Int("sseconds", e.sseconds);
            break;
        case kStepSynch:
            WriteSynch(f, e.Synch);
            break;
        case kStepFtp:
            WriteFtp(f, e.Ftp);
            break;
        case kStepRepeat:
            f.Line("[REPEAT]");
            f.Int("reptype", e.Repeat.reptype);
            f.Int("stepnum", e.Repeat.stepnum);
            f.Int("repnum", e.Repeat.repnum);
            break;
        case kStepFileOp:
            WriteFileOp(f, e.FileOp);
            break;
        default:
            break;  // an unknown kind has no block
    }
}

void WriteAlarm(FileText& f, const AlRec& a, Integer number) {
    const TimeRec& t = a.Schedule;
    f.Line("[Alarm " + std::to_string(number) + "]");
    f.Text("AlName", a.AlName);
    f.MultiLine("AlMessage", a.AlMessage);
    f.Bool("AlHideWindow", a.AlHideWindow);
    f.Line("[sw140-3]");
    f.Bool("AlFlashWindow", a.AlFlashWindow);
    f.Bool("AlSnooze", a.AlSnooze);
    f.Int("snoozeming", a.snoozeming);
    f.Bool("enabled", a.enabled);
    f.Int("mtype", a.mtype);
    f.Int("AlType", t.AlType);
    f.Time("AlTime", t.AlTime);
    f.Date("AlStartDate", t.AlStartDate);
    f.Int("AlEndType", t.AlEndType);
    f.Int("AlXTimes", t.AlXTimes);
    f.Date("AlEndDate", t.AlEndDate);
    f.Time("AlEndTime", t.AlEndTime);
    f.Int("AlWeekdaynum", t.AlWeekdaynum);
    f.NumberList("AlWeekdays", t.AlWeekdays, t.AlWeekdaynum);
    f.Int("AlMDay", t.AlMDay);
    f.Int("AlDayCount", t.AlDayCount);
    f.Int("AlXMin", t.AlXMin);
    f.Int("AlXHours", t.AlXHours);
    f.Int("AlXDays", t.AlXDays);
    f.Int("AlXYears", t.AlXYears);
    f.Int("AlXWeeks", t.AlXWeeks);
    f.Int("AlXMonths", t.AlXMonths);
    f.Int("AlMType", t.AlMType);
    f.Int("AlMonthdaynum", t.AlMonthdaynum);
    f.NumberList("AlMonthDays", t.AlMonthDays, t.AlMonthdaynum);
    f.Int("AlMWeekdaynum", t.AlMWeekdaynum);
    f.NumberList("AlMWeekdays", t.AlMWeekdays, t.AlMWeekdaynum);
    f.Int("AlMWeekDWNum", t.AlMWeekDWNum);
    f.NumberList("AlMWeekDW", t.AlMWeekDW, t.AlMWeekDWNum);
    f.Line("[Alarm Days]");
    for (Integer k = 1; k <= t.AlDayCount; ++k) f.Numbered("AlDays(", k, EntryOrZero(t.AlDays, k));
    f.Line("[sw120]");
    f.Bool("AlMinWindow", a.AlMinWindow);
    f.Line("[sw129]");
    WriteRules(f, a.Exceptions, "ExCnt", "[Except ");
    if (a.mtype != 0) {
        f.Int("Event Count", a.Events.Count);
        for (Integer e = 1; e <= a.Events.Count; ++e)
            WriteStep(f, EntryOrZero(a.Events.Items, e), e);
        return;
    }
    WriteSound(f, a.Music);
    WriteDialup(f, a.Dial);
    f.Line("[File Launch]");
    f.Text("app1", a.Launch.app1);
    f.Text("app2", a.Launch.app2);
    f.Text("app3", a.Launch.app3);
    f.Text("param1", a.Launch.param1);
    f.Text("param2", a.Launch.param2);
    f.Text("param3", a.Launch.param3);
    WriteWeb(f, a.Web);
    WriteMail(f, a.Mail);
    WriteSynch(f, a.Synch);
    WriteFtp(f, a.Ftp);
    WriteFileOp(f, a.FileOp);
}

int Store(const std::string& path, const std::string& text, Reporter& reporter) {
    std::string error;
    switch (WriteFileAtomically(path, text, error)) {
        case kWriteDone:
            return kFileDone;
        case kWriteCannotCreate:
            return kFileCannotOpen;
        case kWriteFailed:
            break;
    }
    reporter.Report("I/O error writing the alarm file: " + error);
    return kFileWriteFailed;
}

}  // namespace

std::string FormatAlarmFile(const Globals& g) {
    FileText f;
    const SettingsRec& s = g.Settings;
    f.Line("[Alarm Info]");
    f.Line("Version=2.10");
    WriteMailHeader(f, s);
    f.Text("UserMode", s.UserMode);
    f.Text("AlarmFile", s.AlarmFile);
    WriteHeaderTail(f, s);
    f.Line("[sw129]");
    WriteRules(f, g.GlobalExceptions, "gExCnt", "[gExcept ");
    f.Int("Alarm Count", g.AlarmCount);
    for (Integer a = 1; a <= g.AlarmCount; ++a) {
        static const AlRec kEmpty{};
        const bool present = static_cast<std::size_t>(a) < g.AlarmTable.size();
        WriteAlarm(f, present ? g.AlarmTable[a] : kEmpty, a);
    }
    return f.Take();
}

std::string FormatClientConfigFile(const Globals& g, const std::string& sharedAlarmFile) {
    FileText f;
    const SettingsRec& s = g.Settings;
    f.Line("[Alarm Info]");
    f.Line("Version=2.01");
    WriteMailHeader(f, s);
    f.Text("UserMode", "Client");
    f.Text("AlarmFile", sharedAlarmFile);
    WriteHeaderTail(f, s);
    f.Int("Alarm Count", 0);
    return f.Take();
}

int WriteAlarmFile(const Globals& g, const std::string& path, Reporter& reporter) {
    return Store(path, FormatAlarmFile(g), reporter);
}

int WriteClientConfigFile(const Globals& g, const std::string& path,
                          const std::string& sharedAlarmFile, Reporter& reporter) {
    return Store(path, FormatClientConfigFile(g, sharedAlarmFile), reporter);
}

}  // namespace ringmere
