// dump: the settings, global rules and alarms of a file as JSON.
#include <iostream>

#include <nlohmann/json.hpp>

#include "core/fileio.h"
#include "core/text.h"
#include "tools/cli.h"

namespace ringmere::cli {

namespace {

using Json = nlohmann::ordered_json;

std::string Str(const std::string& s) {
    return ToDisplayUtf8(s);
}
std::string Date(DateTime d) {
    return FormatShortDate(d);
}
std::string Time(DateTime t) {
    return FormatLongTime(t);
}

Json Dates(const std::vector<DateTime>& list) {
    Json out = Json::array();
    for (DateTime d : list) out.push_back(Date(d));
    return out;
}

Json Rules(const ExList& list) {
    Json out = Json::array();
    for (const ExRec& r : list.Items) {
        out.push_back({{"ExType", r.ExType},
                       {"ExTStart", Time(r.ExTStart)},
                       {"ExTEnd", Time(r.ExTEnd)},
                       {"ExSelType", r.ExSelType},
                       {"ExDayCnt", r.ExDayCnt},
                       {"ExDays", Dates(r.ExDays)},
                       {"ExWeekdayNum", r.ExWeekdayNum},
                       {"ExWeekDays", r.ExWeekDays}});
    }
    return out;
}

Json Music(const MusicType& m) {
    return {{"MuType", m.MuType},
            {"Mp3", {{"mp3file", Str(m.Mp3.mp3file)}, {"mp3ptype", m.Mp3.mp3ptype}}},
            {"Wav",
             {{"wavfile", Str(m.Wav.wavfile)},
              {"wavtype", m.Wav.wavtype},
              {"reptimes", m.Wav.reptimes}}},
            {"Cd",
             {{"cddrive", Str(m.Cd.cddrive)},
              {"tracktype", m.Cd.tracktype},
              {"cdtrack", m.Cd.cdtrack}}}};
}

Json Dial(const DialRec& d) {
    return {{"usedialup", d.usedialup},
            {"connectm", d.connectm},
            {"dialname", Str(d.dialname)},
            {"redialattempts", d.redialattempts}};
}

Json Web(const WebLaunch& w) {
    return {{"url1", Str(w.url1)}, {"opennew", w.opennew}};
}

Json Mail(const smtpmessage& m) {
    Json attachments = Json::array();
    for (const std::string& a : m.Attachment) attachments.push_back(Str(a));
    return {{"sendmessage", m.sendmessage},
            {"servername", Str(m.servername)},
            {"username", Str(m.username)},
            {"from", Str(m.from)},
            {"mto", Str(m.mto)},
            {"subject", Str(m.subject)},
            {"msg", Str(m.msg)},
            {"nAttach", m.nAttach},
            {"Attachment", attachments}};
}

Json Synch(const SynchronizeRec& s) {
    return {{"dosynch", s.dosynch}, {"synchserver", Str(s.synchserver)}};
}

Json Ftp(const FTPRecT& f) {
    return {{"ftpenabled", f.ftpenabled},
            {"ftpserver", Str(f.ftpserver)},
            {"ftppath", Str(f.ftppath)},
            {"ftplocalfile", Str(f.ftplocalfile)},
            {"ftpport", f.ftpport},
            {"ftpuser", Str(f.ftpuser)},
            {"ftppass", Str(f.ftppass)},
            {"ftpupload", f.ftpupload},
            {"ftpascmode", f.ftpascmode},
            {"ftppassive", f.ftppassive},
            {"ftpretry", f.ftpretry},
            {"ftpmaxretry", f.ftpmaxretry},
            {"ftpdelay", f.ftpdelay},
            {"ftpreconnect", f.ftpreconnect},
            {"ftpdialname", Str(f.ftpdialname)},
            {"ftpmaxrecon", f.ftpmaxrecon},
            {"ftprecondelay", f.ftprecondelay},
            {"ftptransfertype", f.ftptransfertype}};
}

Json FileOp(const FileOps& o) {
    return {{"fop", o.fop}, {"ffrom", Str(o.ffrom)}, {"fto", Str(o.fto)}, {"fdel", Str(o.fdel)}};
}

Json Schedule(const TimeRec& t) {
    return {{"AlType", t.AlType},
            {"AlTime", Time(t.AlTime)},
            {"AlMDay", t.AlMDay},
            {"AlDayCount", t.AlDayCount},
            {"AlWeekdaynum", t.AlWeekdaynum},
            {"AlWeekdays", t.AlWeekdays},
            {"AlDays", Dates(t.AlDays)},
            {"AlStartDate", Date(t.AlStartDate)},
            {"AlEndType", t.AlEndType},
            {"AlXTimes", t.AlXTimes},
            {"AlEndDate", Date(t.AlEndDate)},
            {"AlEndTime", Time(t.AlEndTime)},
            {"AlXMin", t.AlXMin},
            {"AlXHours", t.AlXHours},
            {"AlXDays", t.AlXDays},
            {"AlXYears", t.AlXYears},
            {"AlXWeeks", t.AlXWeeks},
            {"AlXMonths", t.AlXMonths},
            {"AlMType", t.AlMType},
            {"AlMonthdaynum", t.AlMonthdaynum},
            {"AlMonthDays", t.AlMonthDays},
            {"AlMWeekdaynum", t.AlMWeekdaynum},
            {"AlMWeekdays", t.AlMWeekdays},
            {"AlMWeekDWNum", t.AlMWeekDWNum},
            {"AlMWeekDW", t.AlMWeekDW}};
}

Json Step(const AlEvent& e) {
    return {{"evname", Str(e.evname)},
            {"evtype", e.evtype},
            {"Music", Music(e.Music)},
            {"Dial", Dial(e.Dial)},
            {"Launch", {{"app1", Str(e.Launch.app1)}, {"param1", Str(e.Launch.param1)}}},
            {"Web", Web(e.Web)},
            {"Mail", Mail(e.Mail)},
            {"sseconds", e.sseconds},
            {"Synch", Synch(e.Synch)},
            {"Ftp", Ftp(e.Ftp)},
            {"Repeat",
             {{"stepnum", e.Repeat.stepnum},
              {"reptype", e.Repeat.reptype},
              {"repnum", e.Repeat.repnum}}},
            {"FileOp", FileOp(e.FileOp)}};
}

Json Alarm(const AlRec& a) {
    Json steps = Json::array();
    for (const AlEvent& e : a.Events.Items) steps.push_back(Step(e));
    const FileLaunch& l = a.Launch;
    return {{"AlName", Str(a.AlName)},
            {"AlMessage", Str(a.AlMessage)},
            {"AlHideWindow", a.AlHideWindow},
            {"AlMinWindow", a.AlMinWindow},
            {"AlFlashWindow", a.AlFlashWindow},
            {"AlSnooze", a.AlSnooze},
            {"snoozeming", a.snoozeming},
            {"mtype", a.mtype},
            {"Schedule", Schedule(a.Schedule)},
            {"Music", Music(a.Music)},
            {"Dial", Dial(a.Dial)},
            {"Launch",
             {{"app1", Str(l.app1)},
              {"param1", Str(l.param1)},
              {"app2", Str(l.app2)},
              {"param2", Str(l.param2)},
              {"app3", Str(l.app3)},
              {"param3", Str(l.param3)}}},
            {"Web", Web(a.Web)},
            {"Mail", Mail(a.Mail)},
            {"Ftp", Ftp(a.Ftp)},
            {"Synch", Synch(a.Synch)},
            {"FileOp", FileOp(a.FileOp)},
            {"enabled", a.enabled},
            {"Event Count", a.Events.Count},
            {"Events", steps},
            {"ExCnt", a.Exceptions.Count},
            {"Exceptions", Rules(a.Exceptions)}};
}

Json Settings(const SettingsRec& s) {
    return {{"UseSMTP", s.UseSMTP},
            {"SMTPServer", Str(s.SMTPServer)},
            {"SMTPUser", Str(s.SMTPUser)},
            {"SMTPPass", Str(s.SMTPPass)},
            {"ReplyTo", Str(s.ReplyTo)},
            {"UserMode", Str(s.UserMode)},
            {"AlarmFile", Str(s.AlarmFile)},
            {"dldAlarmFile", s.dldAlarmFile},
            {"dldInterval", s.dldInterval},
            {"allowWake", s.allowWake},
            {"enablelogging", s.enablelogging},
            {"monthBackColor", s.monthBackColor},
            {"textColor", s.textColor},
            {"titleBackColor", s.titleBackColor},
            {"titleTextColor", s.titleTextColor},
            {"trailingTextColor", s.trailingTextColor}};
}

int RunDump(const std::vector<std::string>& args) {
    if (args.size() != 1) return Fail("dump takes one FILE (see ringmere-cli dump --help)");
    Globals g;
    StderrReporter reporter;
    const LoadedFile loaded = LoadAsLocalFile(g, args[0], reporter);
    if (loaded.result == kFileCannotOpen && !FileExists(g.LocalAlarmFilePath()))
        return Fail("cannot read " + args[0]);
    Json alarms = Json::array();
    for (Integer a = 1; a <= g.AlarmCount; ++a) alarms.push_back(Alarm(g.AlarmTable[a]));
    const Json out = {
        {"FileVersion", g.FileVersion},       {"Settings", Settings(g.Settings)},
        {"gExCnt", g.GlobalExceptions.Count}, {"GlobalExceptions", Rules(g.GlobalExceptions)},
        {"AlarmCount", g.AlarmCount},         {"Alarms", alarms}};
    std::cout << out.dump(2) << '\n';
    return loaded.result == kFileDone && loaded.messages == 0 ? kExitOk : kExitProblems;
}

const Register dump{{
    "dump",
    "FILE",
    "Print the settings, global rules and alarms read from FILE as JSON.",
    "FILE is read as by 'check'. Field names are those of the alarm file; dates are\n"
    "\"M/d/yyyy\" and times \"hh:mm:ssAM/PM\". Texts that are not UTF-8 are shown as\n"
    "Windows-1252. Reader messages go to stderr.\n"
    "Exit status: 0 no messages, 1 messages, 2 FILE cannot be read.\n",
    RunDump,
}};

}  // namespace

}  // namespace ringmere::cli
