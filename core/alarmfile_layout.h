// The layout of the alarm file, described once. Each block is a function that
// walks its record's fields in file order with a visitor V; the reader, the
// writer and `ringmere-cli dump` are such visitors, so a new field is one line
// here. R is the record, const when writing.
//
// What a visitor does with each step of a description:
//   Text, MultiLine, Bool, Int, Byte, NonNegativeByte, Time, Date: one field
//     on one line ("key=value"; MultiLine runs on to an "eom1" line). A Text
//     whose record field is named otherwise than its key names it third, for
//     the dump; a number field's Range, when it has one, comes third.
//   Count(key, n): a count line; the list it sizes follows with Numbered (one
//     "stem(k)=value" line per entry).
//   Blocks(countKey, name, tagStem, list, body): a count line, then one block
//     per entry, each after its "tagStem k]" tag; name names the list in the
//     dump. Alarms(countKey, n, table, body): the same for the alarm table,
//     which counts from 1.
//   InlineList(kind, countKey, n, key, list): a count line, then the whole
//     list on one line.
//   Tag(tag): a tag line the reader looks for; reading goes on if it is missing.
//   Block(tag, body): a tag line; the reader skips the body when it is missing.
//   Since(version, marker, body): the body is in files of that version or
//     newer, after the marker line (none when marker is null). After(...):
//     newer only.
//   When(condition, body): the body is there when the condition on fields
//     read before holds. The dump shows every branch.
//   LocalOnly(body): settings of this machine alone; the alarms' shared file
//     has them too, and the reader passes over them there.
//   Group(name, body): no line; the dump nests the body's fields under name.
#pragma once

#include <cstdint>
#include <optional>

#include "core/globals.h"
#include "core/records.h"

namespace ringmere::layout {

// How an InlineList is spelled and what the reader says when it is damaged.
enum class ListKind {
    kWeekdayDigits,    // "2,4,6": one digit per entry
    kWeekDigits,       // the same, for week numbers
    kMonthDayNumbers,  // "1,15,31"
};

// The values a number field can mean. The reader reports a value outside as
// damaged and keeps it as stored where the program bounds it at its use (so
// a file read and written again keeps it), or reads `instead` where nothing
// does. The ranges admit every value the editors and older files write.
struct Range {
    long long lo;
    long long hi;
    std::optional<long long> instead = std::nullopt;
};
inline constexpr Range kAnyValue{INT64_MIN, INT64_MAX};
inline constexpr Range kNonNegative{0, INT32_MAX};  // counts, periods, durations
inline constexpr Range kAtLeastOne{1, INT32_MAX};
constexpr Range Codes(long long last) {  // a coded byte: 0 to its last code
    return {0, last};
}

// The values of one entry of an InlineList.
constexpr Range EntryRange(ListKind kind) {
    switch (kind) {
        case ListKind::kWeekdayDigits:
            return {1, 7};  // Sunday to Saturday
        case ListKind::kWeekDigits:
            return {1, 5};  // 5 = the last week
        case ListKind::kMonthDayNumbers:
            return {1, 31};
    }
    return kAnyValue;
}

// Every file starts with this tag and a "Version=" line. The writer writes the
// current layout; a client's configuration file says 2.01.
inline constexpr const char* kInfoTag = "[Alarm Info]";
inline constexpr const char* kCurrentVersion = "2.10";
inline constexpr const char* kClientConfigVersion = "2.01";

// From "[Alarm Info]" to the download settings: the part every file has.
template <class V, class S>
void HeaderFields(V& v, S& s) {
    v.Bool("UseSMTP", s.UseSMTP);
    v.Text("SMTP Server", s.SMTPServer, "SMTPServer");
    v.Since(2.01, "[sw201-2]", [&] {
        v.Text("SMTP User", s.SMTPUser, "SMTPUser");
        v.Text("SMTP Pass", s.SMTPPass, "SMTPPass");
    });
    v.Text("ReplyTo", s.ReplyTo);
    v.LocalOnly([&] {
        v.Text("UserMode", s.UserMode);
        v.Text("AlarmFile", s.AlarmFile);
        v.Since(1.401, "[sw140-3]", [&] {
            v.Bool("dldAlarmFile", s.dldAlarmFile);
            v.Int("dldInterval", s.dldInterval, Range{1, INT32_MAX, 30});
            v.Bool("allowWake", s.allowWake);
        });
    });
}

// The rest of the header: read from the local file only.
template <class V, class S>
void LocalSettingsFields(V& v, S& s) {
    v.Since(1.5, "[sw150-1]", [&] { v.Bool("enablelogging", s.enablelogging); });
    v.Since(2.02, "[sw202-5]", [&] {
        v.Int("monthBackColor", s.monthBackColor);
        v.Int("textColor", s.textColor);
        v.Int("titleBackColor", s.titleBackColor);
        v.Int("titleTextColor", s.titleTextColor);
        v.Int("trailingTextColor", s.trailingTextColor);
    });
}

template <class V, class R>
void RuleFields(V& v, R& rule) {
    v.Byte("ExType", rule.ExType, Codes(kExWeekdays));
    v.When(rule.ExType == kExDailyWindow, [&] {
        v.Time("ExTStart", rule.ExTStart);
        v.Time("ExTEnd", rule.ExTEnd);
    });
    v.When(rule.ExType == kExDates, [&] {
        v.Count("ExDayCnt", rule.ExDayCnt);
        v.Numbered("ExDays(", rule.ExDays, rule.ExDayCnt);
        v.Byte("ExSelType", rule.ExSelType, Codes(kExWindowOnDates));
        v.When(rule.ExSelType == kExWindowOnDates, [&] {
            v.Time("ExTStart", rule.ExTStart);
            v.Time("ExTEnd", rule.ExTEnd);
        });
    });
    v.When(rule.ExType == kExWeekdays, [&] {
        v.Count("ExWeekdayNum", rule.ExWeekdayNum);
        v.Numbered("ExWeekDays(", rule.ExWeekDays, rule.ExWeekdayNum);
    });
}

template <class V, class R>
void MusicFields(V& v, R& m) {
    v.Tag("[Music Settings]");
    v.Byte("MuType", m.MuType, Codes(kMusicSilent));
    v.Group("Mp3", [&] {
        v.Tag("[MP3 Rec]");
        v.Text("mp3file", m.Mp3.mp3file);
        v.Byte("mp3ptype", m.Mp3.mp3ptype, Codes(kSystemPlayer));
    });
    v.Group("Wav", [&] {
        v.Tag("[Wav Rec]");
        v.Text("wavfile", m.Wav.wavfile);
        v.Byte("wavtype", m.Wav.wavtype, Codes(kWavForSeconds));
        v.Int("reptimes", m.Wav.reptimes, kNonNegative);
    });
    v.Group("Cd", [&] {
        v.Block("[CD Rec]", [&] {
            v.Text("cddrive", m.Cd.cddrive);
            v.Byte("tracktype", m.Cd.tracktype, Codes(kCdRandomTrack));
            v.Int("cdtrack", m.Cd.cdtrack, kNonNegative);
        });
    });
}

template <class V, class R>
void DialFields(V& v, R& d) {
    v.Block("[DialUp Settings]", [&] {
        v.Bool("usedialup", d.usedialup);
        v.Text("dialname", d.dialname);
        v.Int("redialattempts", d.redialattempts, kNonNegative);
        v.Bool("connectm", d.connectm);
    });
}

// A simple alarm launches up to three programs...
template <class V, class R>
void LaunchFields(V& v, R& l) {
    v.Block("[File Launch]", [&] {
        v.Text("app1", l.app1);
        v.Text("app2", l.app2);
        v.Text("app3", l.app3);
        v.After(0.93, nullptr, [&] {
            v.Text("param1", l.param1);
            v.Text("param2", l.param2);
            v.Text("param3", l.param3);
        });
    });
}

// ...a step one.
template <class V, class R>
void StepLaunchFields(V& v, R& l) {
    v.Block("[File Launch]", [&] {
        v.Text("app1", l.app1);
        v.After(0.93, nullptr, [&] { v.Text("param1", l.param1); });
    });
}

template <class V, class R>
void WebFields(V& v, R& w) {
    v.Block("[Web Launch]", [&] {
        v.Text("url1", w.url1);
        v.Bool("opennew", w.opennew);
    });
}

template <class V, class R>
void MailFields(V& v, R& m) {
    v.Block("[smtp]", [&] {
        v.Bool("sendmessage", m.sendmessage);
        v.Text("servername", m.servername);
        v.Text("username", m.username);
        v.Text("from", m.from);
        v.Text("mto", m.mto);
        v.Text("subject", m.subject);
        v.MultiLine("msg", m.msg);
        v.After(0.92, "[Attachments]", [&] {
            v.Count("nAttach", m.nAttach);
            v.Numbered("Attachment(", m.Attachment, m.nAttach);
        });
    });
}

template <class V, class R>
void SynchFields(V& v, R& s) {
    v.Since(1.02, "[Synch]", [&] {
        v.Bool("dosynch", s.dosynch);
        v.Text("synchserver", s.synchserver);
    });
}

template <class V, class R>
void FtpFields(V& v, R& t) {
    v.Since(1.2, "[FTP]", [&] {
        v.Bool("ftpenabled", t.ftpenabled);
        v.Text("ftpserver", t.ftpserver);
        v.Int("ftpport", t.ftpport, Range{0, 65535, 21});
        v.Text("ftplocalfile", t.ftplocalfile);
        v.Text("ftppath", t.ftppath);
        v.Text("ftpuser", t.ftpuser);
        v.Text("ftppass", t.ftppass);
        v.Bool("ftpupload", t.ftpupload);
        v.Bool("ftpascmode", t.ftpascmode);
        v.Since(1.401, "[sw141-1]", [&] { v.Bool("ftppassive", t.ftppassive); });
        v.Since(1.5, "[sw150-8]", [&] {
            v.Bool("ftpretry", t.ftpretry);
            v.Int("ftpmaxretry", t.ftpmaxretry, kNonNegative);
            v.Int("ftpdelay", t.ftpdelay, kNonNegative);
            v.Bool("ftpreconnect", t.ftpreconnect);
            v.Text("ftpdialname", t.ftpdialname);
            v.Int("ftpmaxrecon", t.ftpmaxrecon, kNonNegative);
            v.Int("ftprecondelay", t.ftprecondelay, kNonNegative);
            v.Byte("ftptransfertype", t.ftptransfertype, Codes(kFtpAllFiles));
        });
    });
}

template <class V, class R>
void FileOpFields(V& v, R& o) {
    v.Since(1.5, "[sw150-1]", [&] {
        v.Tag("[fileop]");
        v.NonNegativeByte("fop", o.fop, Codes(kFopDelete));
        v.When(o.fop == kFopCopy || o.fop == kFopMove, [&] {
            v.Tag("[sw150-2]");
            v.Text("ffrom", o.ffrom);
            v.Text("fto", o.fto);
        });
        v.When(o.fop == kFopDelete, [&] {
            v.Tag("[sw150-1]");
            v.Text("fdel", o.fdel);
        });
    });
}

template <class V, class R>
void RepeatFields(V& v, R& r) {
    v.Since(1.29, "[REPEAT]", [&] {
        v.Byte("reptype", r.reptype, Codes(kRepeatUntilStopped));
        v.Int("stepnum", r.stepnum, kNonNegative);
        v.Int("repnum", r.repnum, kNonNegative);
    });
}

// One step of a scripted alarm, after its "[Event k]" tag. An unknown kind
// has no block.
template <class V, class R>
void StepFields(V& v, R& e) {
    v.Tag("[Event Info]");
    v.Text("evname", e.evname);
    v.Byte("evtype", e.evtype, Codes(kStepFileOp));
    v.When(e.evtype == kStepSound, [&] { v.Group("Music", [&] { MusicFields(v, *e.Music); }); });
    v.When(e.evtype == kStepDialup, [&] { v.Group("Dial", [&] { DialFields(v, *e.Dial); }); });
    v.When(e.evtype == kStepLaunch,
           [&] { v.Group("Launch", [&] { StepLaunchFields(v, *e.Launch); }); });
    v.When(e.evtype == kStepWeb, [&] { v.Group("Web", [&] { WebFields(v, *e.Web); }); });
    v.When(e.evtype == kStepMail, [&] { v.Group("Mail", [&] { MailFields(v, *e.Mail); }); });
    v.When(e.evtype == kStepSleep,
           [&] { v.Block("[sleep]", [&] { v.Int("sseconds", e.sseconds, kNonNegative); }); });
    v.When(e.evtype == kStepSynch, [&] { v.Group("Synch", [&] { SynchFields(v, *e.Synch); }); });
    v.When(e.evtype == kStepFtp, [&] { v.Group("Ftp", [&] { FtpFields(v, *e.Ftp); }); });
    v.When(e.evtype == kStepRepeat, [&] { v.Group("Repeat", [&] { RepeatFields(v, e.Repeat); }); });
    v.When(e.evtype == kStepFileOp,
           [&] { v.Group("FileOp", [&] { FileOpFields(v, *e.FileOp); }); });
}

template <class V, class R>
void ScheduleFields(V& v, R& t) {
    v.Byte("AlType", t.AlType, Codes(kEveryXMonths));
    v.Time("AlTime", t.AlTime);
    v.Date("AlStartDate", t.AlStartDate);
    v.Byte("AlEndType", t.AlEndType);
    v.Int("AlXTimes", t.AlXTimes);
    v.Date("AlEndDate", t.AlEndDate);
    v.Time("AlEndTime", t.AlEndTime);
    v.InlineList(ListKind::kWeekdayDigits, "AlWeekdaynum", t.AlWeekdaynum, "AlWeekdays",
                 t.AlWeekdays);
    v.Int("AlMDay", t.AlMDay);
    v.Count("AlDayCount", t.AlDayCount);
    v.Int("AlXMin", t.AlXMin, kNonNegative);
    v.Int("AlXHours", t.AlXHours, kNonNegative);
    v.Int("AlXDays", t.AlXDays, kNonNegative);
    v.Int("AlXYears", t.AlXYears, kNonNegative);
    v.Int("AlXWeeks", t.AlXWeeks, kNonNegative);  // 0 counts as 1
    v.Since(2.1, nullptr, [&] { v.Int("AlXMonths", t.AlXMonths, kNonNegative); });
    v.Byte("AlMType", t.AlMType, Codes(kWeekdaysOfWeeks));
    v.InlineList(ListKind::kMonthDayNumbers, "AlMonthdaynum", t.AlMonthdaynum, "AlMonthDays",
                 t.AlMonthDays);
    v.InlineList(ListKind::kWeekdayDigits, "AlMWeekdaynum", t.AlMWeekdaynum, "AlMWeekdays",
                 t.AlMWeekdays);
    v.InlineList(ListKind::kWeekDigits, "AlMWeekDWNum", t.AlMWeekDWNum, "AlMWeekDW", t.AlMWeekDW);
    v.Tag("[Alarm Days]");
    v.Numbered("AlDays(", t.AlDays, t.AlDayCount);
}

// One alarm, after its "[Alarm k]" tag.
template <class V, class R>
void AlarmFields(V& v, R& a) {
    v.Text("AlName", a.AlName);
    v.MultiLine("AlMessage", a.AlMessage);
    v.Bool("AlHideWindow", a.AlHideWindow);
    v.Since(1.4, "[sw140-3]", [&] {
        v.Bool("AlFlashWindow", a.AlFlashWindow);
        v.Bool("AlSnooze", a.AlSnooze);
        v.Int("snoozeming", a.snoozeming, kNonNegative);
    });
    v.Bool("enabled", a.enabled);
    v.Byte("mtype", a.mtype);
    v.Group("Schedule", [&] { ScheduleFields(v, a.Schedule); });
    v.Since(1.2, "[sw120]", [&] { v.Bool("AlMinWindow", a.AlMinWindow); });
    v.Since(1.29, "[sw129]", [&] {
        v.Blocks("ExCnt", "Exceptions", "[Except ", a.Exceptions,
                 [&](auto& rule) { RuleFields(v, rule); });
    });
    v.When(a.mtype != kSimpleAlarm, [&] {
        v.Blocks("Event Count", "Events", "[Event ", a.Events,
                 [&](auto& step) { StepFields(v, step); });
    });
    v.When(a.mtype == kSimpleAlarm, [&] {
        v.Group("Music", [&] { MusicFields(v, *a.Music); });
        v.Group("Dial", [&] { DialFields(v, *a.Dial); });
        v.Group("Launch", [&] { LaunchFields(v, *a.Launch); });
        v.Group("Web", [&] { WebFields(v, *a.Web); });
        v.Group("Mail", [&] { MailFields(v, *a.Mail); });
        v.Group("Synch", [&] { SynchFields(v, *a.Synch); });
        v.Group("Ftp", [&] { FtpFields(v, *a.Ftp); });
        v.Group("FileOp", [&] { FileOpFields(v, *a.FileOp); });
    });
}

// After the header: the global rules, then the alarms ("[Alarm k]" blocks of
// the table, which counts from 1).
template <class V, class G>
void RulesAndAlarmsFields(V& v, G& g) {
    v.Since(1.29, "[sw129]", [&] {
        v.Blocks("gExCnt", "GlobalExceptions", "[gExcept ", g.GlobalExceptions,
                 [&](auto& rule) { RuleFields(v, rule); });
    });
    v.Alarms("Alarm Count", g.AlarmCount, g.AlarmTable,
             [&](auto& alarm) { AlarmFields(v, alarm); });
}

}  // namespace ringmere::layout
