#include <charconv>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "core/alarmfile.h"
#include "core/fileio.h"
#include "core/globals.h"

namespace ringmere {

namespace {

constexpr std::string_view kInfoTag = "[Alarm Info]";
constexpr int kMaxMessageLines = 1000;
// Lists written on one line cannot really be longer than this; a larger
// count is damage and would only flood the user with messages.
constexpr Integer kMaxInlineListCount = 10000;

// An integer, byte or time value that is not a number abandons the reading,
// as every later field would be taken from the wrong line.
struct ReadAbandoned {
    std::string key;
};

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::size_t stop = end;
        if (stop > start && text[stop - 1] == '\r') --stop;  // CRLF, or LF alone
        lines.emplace_back(text, start, stop - start);
        start = end + 1;
    }
    return lines;
}

std::optional<long long> ParseInteger(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    long long v = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc{} || ptr != s.data() + s.size()) return std::nullopt;
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return v;
}

std::optional<double> ParseVersion(std::string value) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        double v = 0;
        const char* end = value.data() + value.size();
        const auto [ptr, ec] = std::from_chars(value.data(), end, v);
        if (!value.empty() && ec == std::errc{} && ptr == end && std::isfinite(v)) return v;
        // Files written where the decimal separator is a comma.
        for (char& c : value)
            if (c == ',') c = '.';
    }
    return std::nullopt;
}

struct Line {
    bool marker = false;  // contains "[" where a key line cannot
    int skip = 0;         // the marker's count, 0 when it has none
    std::string_view key;
    std::string_view value;
};

// A line is a marker or tag when it holds "[" before any "=". Markers and
// tags of the layout never hold "=", and keys never hold "[", so this reads
// every file of the layout as before while a value such as
// "AlName=Backup [daily]" stays a value.
Line Classify(std::string_view text) {
    Line l;
    const auto eq = text.find('=');
    const auto bracket = text.find('[');
    if (bracket != std::string_view::npos && (eq == std::string_view::npos || bracket < eq)) {
        l.marker = true;
        const auto dash = text.find('-');
        const auto close = text.find(']');
        if (dash != std::string_view::npos && close != std::string_view::npos && dash < close) {
            if (auto n = ParseInteger(text.substr(dash + 1, close - dash - 1)); n && *n > 0)
                l.skip = static_cast<int>(*n);
        }
        return l;
    }
    if (eq == std::string_view::npos) {
        l.key = l.value = text;
    } else {
        l.key = text.substr(0, eq);
        l.value = text.substr(eq + 1);
    }
    return l;
}

class LineReader {
public:
    LineReader(std::vector<std::string> lines, Reporter& reporter, double version)
        : lines_(std::move(lines)), reporter_(reporter), version_(version) {}

    void SetVersion(double v) { version_ = v; }
    bool AtLeast(double gate) const { return version_ >= gate; }
    bool Above(double gate) const { return version_ > gate; }
    std::size_t Remaining() const { return lines_.size() - pos_; }

    // Past the end every line reads as empty.
    const std::string& Next() {
        static const std::string kEmpty;
        return pos_ < lines_.size() ? lines_[pos_++] : kEmpty;
    }

    bool FindTag(std::string_view tag) {
        while (pos_ < lines_.size())
            if (lines_[pos_++] == tag) return true;
        reporter_.Report("Error reading alarm file.  Tag, " + std::string(tag) + " not found.");
        return false;
    }

    // The layout is positional: the next line's value is taken whatever its
    // key. Returns false when the line is a marker or tag without a count.
    bool Key(Line& out) {
        Line l = Classify(Next());
        while (l.marker && l.skip > 0) {
            const int n = l.skip;
            std::string_view last;
            for (int i = 0; i < n; ++i) last = Next();
            l = Classify(last);
        }
        if (l.marker) return false;
        out = l;
        return true;
    }

    void Text(std::string& field) {
        Line l;
        if (Key(l)) field = std::string(l.value);
    }

    void Bool(bool& field) {
        Line l;
        if (Key(l)) field = l.value == "0";
    }

    long long Number(const char* key) {
        Line l;
        if (!Key(l)) return kKeep;
        const auto n = ParseInteger(l.value);
        if (!n) throw ReadAbandoned{key};
        return *n;
    }

    void Int(const char* key, Integer& field) {
        if (const long long n = Number(key); n != kKeep) field = static_cast<Integer>(n);
    }

    void Byte8(const char* key, Byte& field) {
        if (const long long n = Number(key); n != kKeep) field = static_cast<Byte>(n);
    }

    // A count that sizes a list: a negative count, or one larger than the
    // file could hold, is damage.
    void Count(const char* key, Integer& field, bool oneLinePerEntry) {
        const long long n = Number(key);
        if (n == kKeep) return;
        const long long limit =
            oneLinePerEntry ? static_cast<long long>(Remaining()) : kMaxInlineListCount;
        if (n < 0 || n > limit) throw ReadAbandoned{key};
        field = static_cast<Integer>(n);
    }

    void Time(const char* key, DateTime& field) {
        Line l;
        if (!Key(l)) return;
        const auto t = ParseLongTime(l.value);
        if (!t) throw ReadAbandoned{key};
        field = *t;
    }

    void Date(DateTime& field) {
        Line l;
        if (!Key(l)) return;
        if (const auto d = ParseShortDate(l.value))
            field = *d;
        else
            reporter_.Report("Error converting date value: " + std::string(l.value));
    }

    void MultiLine(std::string_view key, std::string& field) {
        Line l;
        if (!Key(l)) return;
        field = std::string(l.value);
        if (l.key != key || l.value.empty()) return;
        for (int n = 0; n < kMaxMessageLines; ++n) {
            if (pos_ >= lines_.size()) break;
            const std::string& line = lines_[pos_++];
            if (line == "eom1") return;
            field += "\r\n";
            field += line;
        }
        reporter_.Report("Error Reading Input File: " + std::string(key));
    }

    Reporter& reporter() { return reporter_; }

private:
    static constexpr long long kKeep = INT64_MIN;
    std::vector<std::string> lines_;
    std::size_t pos_ = 0;
    Reporter& reporter_;
    double version_;
};

template <class T>
void SizeList(std::vector<T>& list, Integer count) {
    list.resize(static_cast<std::size_t>(count < 0 ? 0 : count));
}

// Weekday and week lists hold one digit per entry: entry n is the character
// at position 2n-1 of the text.
void DecodeDigitList(const std::string& text, std::vector<Integer>& list, Reporter& reporter,
                     const char* message) {
    for (std::size_t n = 0; n < list.size(); ++n) {
        const std::size_t at = 2 * n;
        if (at >= text.size()) {
            reporter.Report(message);  // the rest is missing: one message is enough
            return;
        }
        const char c = text[at];
        if (c >= '0' && c <= '9')
            list[n] = c - '0';
        else
            reporter.Report(message);
    }
}

void DecodeMonthDays(const std::string& text, std::vector<Integer>& list, Reporter& reporter) {
    std::size_t start = 0;
    for (std::size_t n = 0; n < list.size(); ++n) {
        if (start > text.size()) {
            reporter.Report("Error reading weekday string");
            return;
        }
        std::size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        if (const auto v = ParseInteger(std::string_view(text).substr(start, end - start)))
            list[n] = static_cast<Integer>(*v);
        else
            reporter.Report("Error reading weekday string");
        start = end + 1;
    }
}

void ReadRuleBody(LineReader& r, ExRec& rule) {
    r.Byte8("ExType", rule.ExType);
    if (rule.ExType == 0) {
        r.Time("ExTStart", rule.ExTStart);
        r.Time("ExTEnd", rule.ExTEnd);
    } else if (rule.ExType == 1) {
        r.Count("ExDayCnt", rule.ExDayCnt, true);
        SizeList(rule.ExDays, rule.ExDayCnt);
        for (DateTime& d : rule.ExDays) r.Date(d);
        r.Byte8("ExSelType", rule.ExSelType);
        if (rule.ExSelType == 1) {
            r.Time("ExTStart", rule.ExTStart);
            r.Time("ExTEnd", rule.ExTEnd);
        }
    } else if (rule.ExType == 2) {
        r.Count("ExWeekdayNum", rule.ExWeekdayNum, true);
        SizeList(rule.ExWeekDays, rule.ExWeekdayNum);
        for (Integer& w : rule.ExWeekDays) r.Int("ExWeekDays", w);
    }
}

void ReadRules(LineReader& r, ExList& rules, const char* countKey, const std::string& tagStem) {
    r.Count(countKey, rules.Count, true);
    rules.Items.assign(static_cast<std::size_t>(rules.Count), ExRec{});
    for (Integer k = 1; k <= rules.Count; ++k) {
        r.FindTag(tagStem + std::to_string(k) + "]");
        ReadRuleBody(r, rules.Items[k - 1]);
    }
}

// Returns false when the block's first tag is missing.
bool ReadSound(LineReader& r, MusicType& m) {
    r.FindTag("[Music Settings]");
    r.Byte8("MuType", m.MuType);
    r.FindTag("[MP3 Rec]");
    r.Text(m.Mp3.mp3file);
    r.Byte8("mp3ptype", m.Mp3.mp3ptype);
    r.FindTag("[Wav Rec]");
    r.Text(m.Wav.wavfile);
    r.Byte8("wavtype", m.Wav.wavtype);
    r.Int("reptimes", m.Wav.reptimes);
    if (!r.FindTag("[CD Rec]")) return false;
    r.Text(m.Cd.cddrive);
    r.Byte8("tracktype", m.Cd.tracktype);
    r.Int("cdtrack", m.Cd.cdtrack);
    return true;
}

void ReadDialupLines(LineReader& r, DialRec& d) {
    r.Bool(d.usedialup);
    r.Text(d.dialname);
    r.Int("redialattempts", d.redialattempts);
    r.Bool(d.connectm);
}

void ReadWebLines(LineReader& r, WebLaunch& w) {
    r.Text(w.url1);
    r.Bool(w.opennew);
}

void ReadMailLines(LineReader& r, smtpmessage& m) {
    r.Bool(m.sendmessage);
    r.Text(m.servername);
    r.Text(m.username);
    r.Text(m.from);
    r.Text(m.mto);
    r.Text(m.subject);
    r.MultiLine("msg", m.msg);
    if (!r.Above(0.92)) return;
    r.FindTag("[Attachments]");
    r.Count("nAttach", m.nAttach, true);
    SizeList(m.Attachment, m.nAttach);
    for (std::string& path : m.Attachment) r.Text(path);
}

void ReadSynch(LineReader& r, SynchronizeRec& s) {
    if (!r.AtLeast(1.02)) return;
    r.FindTag("[Synch]");
    r.Bool(s.dosynch);
    r.Text(s.synchserver);
}

void ReadFtp(LineReader& r, FTPRecT& t) {
    if (!r.AtLeast(1.2)) return;
    r.FindTag("[FTP]");
    r.Bool(t.ftpenabled);
    r.Text(t.ftpserver);
    r.Int("ftpport", t.ftpport);
    r.Text(t.ftplocalfile);
    r.Text(t.ftppath);
    r.Text(t.ftpuser);
    r.Text(t.ftppass);
    r.Bool(t.ftpupload);
    r.Bool(t.ftpascmode);
    if (r.AtLeast(1.401)) {
        r.FindTag("[sw141-1]");
        r.Bool(t.ftppassive);
    }
    if (r.AtLeast(1.5)) {
        r.FindTag("[sw150-8]");
        r.Bool(t.ftpretry);
        r.Int("ftpmaxretry", t.ftpmaxretry);
        r.Int("ftpdelay", t.ftpdelay);
        r.Bool(t.ftpreconnect);
        r.Text(t.ftpdialname);
        r.Int("ftpmaxrecon", t.ftpmaxrecon);
        r.Int("ftprecondelay", t.ftprecondelay);
        r.Byte8("ftptransfertype", t.ftptransfertype);
    }
}

void ReadFileOp(LineReader& r, FileOps& o) {
    if (!r.AtLeast(1.5)) return;
    r.FindTag("[sw150-1]");
    r.FindTag("[fileop]");
    Integer fop = o.fop;
    r.Int("fop", fop);
    o.fop = fop < 0 ? 0 : static_cast<Byte>(fop);
    if (o.fop == 1 || o.fop == 2) {
        r.FindTag("[sw150-2]");
        r.Text(o.ffrom);
        r.Text(o.fto);
    } else if (o.fop == 3) {
        r.FindTag("[sw150-1]");
        r.Text(o.fdel);
    }
}

void ReadStep(LineReader& r, AlEvent& e, Integer number) {
    r.FindTag("[Event " + std::to_string(number) + "]");
    r.FindTag("[Event Info]");
    r.Text(e.evname);
    r.Byte8("evtype", e.evtype);
    switch (e.evtype) {
        case kStepSound:
            ReadSound(r, e.Music);
            break;
        case kStepDialup:
            if (r.FindTag("[DialUp Settings]")) ReadDialupLines(r, e.Dial);
            break;
        case kStepLaunch:
            if (!r.FindTag("[File Launch]")) break;
            r.Text(e.Launch.app1);
            if (r.Above(0.93)) r.Text(e.Launch.param1);
            break;
        case kStepWeb:
            if (r.FindTag("[Web Launch]")) ReadWebLines(r, e.Web);
            break;
        case kStepMail:
            if (r.FindTag("[smtp]")) ReadMailLines(r, e.Mail);
            break;
        case kStepSleep:
            if (r.FindTag("[sleep]")) r.Int("sseconds", e.sseconds);
            break;
        case kStepSynch:
            ReadSynch(r, e.Synch);
            break;
        case kStepFtp:
            ReadFtp(r, e.Ftp);
            break;
        case kStepRepeat:
            if (!r.AtLeast(1.29)) break;
            r.FindTag("[REPEAT]");
            r.Byte8("reptype", e.Repeat.reptype);
            r.Int("stepnum", e.Repeat.stepnum);
            r.Int("repnum", e.Repeat.repnum);
            break;
        case kStepFileOp:
            ReadFileOp(r, e.FileOp);
            break;
        default:
            break;
    }
}

void ReadSimpleActions(LineReader& r, AlRec& a) {
    ReadSound(r, a.Music);  // a missing "[CD Rec]" only skips the CD lines
    if (r.FindTag("[DialUp Settings]")) ReadDialupLines(r, a.Dial);
    if (r.FindTag("[File Launch]")) {
        r.Text(a.Launch.app1);
        r.Text(a.Launch.app2);
        r.Text(a.Launch.app3);
        if (r.Above(0.93)) {
            r.Text(a.Launch.param1);
            r.Text(a.Launch.param2);
            r.Text(a.Launch.param3);
        }
    }
    if (r.FindTag("[Web Launch]")) ReadWebLines(r, a.Web);
    if (r.FindTag("[smtp]")) ReadMailLines(r, a.Mail);
    ReadSynch(r, a.Synch);
    ReadFtp(r, a.Ftp);
    ReadFileOp(r, a.FileOp);
}

void ReadAlarm(LineReader& r, AlRec& a, Integer number) {
    if (!r.FindTag("[Alarm " + std::to_string(number) + "]"))
        r.reporter().Report("Error reading Alarm Header");
    TimeRec& t = a.Schedule;
    Reporter& rep = r.reporter();
    r.Text(a.AlName);
    r.MultiLine("AlMessage", a.AlMessage);
    r.Bool(a.AlHideWindow);
    if (r.AtLeast(1.4)) {
        r.FindTag("[sw140-3]");
        r.Bool(a.AlFlashWindow);
        r.Bool(a.AlSnooze);
        r.Int("snoozeming", a.snoozeming);
    }
    r.Bool(a.enabled);
    r.Byte8("mtype", a.mtype);
    r.Byte8("AlType", t.AlType);
    r.Time("AlTime", t.AlTime);
    r.Date(t.AlStartDate);
    r.Byte8("AlEndType", t.AlEndType);
    r.Int("AlXTimes", t.AlXTimes);
    r.Date(t.AlEndDate);
    r.Time("AlEndTime", t.AlEndTime);
    std::string list;
    r.Count("AlWeekdaynum", t.AlWeekdaynum, false);
    SizeList(t.AlWeekdays, t.AlWeekdaynum);
    r.Text(list);
    DecodeDigitList(list, t.AlWeekdays, rep, "Error reading weekday string");
    r.Int("AlMDay", t.AlMDay);
    r.Count("AlDayCount", t.AlDayCount, true);
    SizeList(t.AlDays, t.AlDayCount);
    r.Int("AlXMin", t.AlXMin);
    r.Int("AlXHours", t.AlXHours);
    r.Int("AlXDays", t.AlXDays);
    r.Int("AlXYears", t.AlXYears);
    r.Int("AlXWeeks", t.AlXWeeks);
    if (r.AtLeast(2.1)) r.Int("AlXMonths", t.AlXMonths);
    r.Byte8("AlMType", t.AlMType);
    r.Count("AlMonthdaynum", t.AlMonthdaynum, false);
    SizeList(t.AlMonthDays, t.AlMonthdaynum);
    list.clear();
    r.Text(list);
    DecodeMonthDays(list, t.AlMonthDays, rep);
    r.Count("AlMWeekdaynum", t.AlMWeekdaynum, false);
    SizeList(t.AlMWeekdays, t.AlMWeekdaynum);
    list.clear();
    r.Text(list);
    DecodeDigitList(list, t.AlMWeekdays, rep, "Error reading weekday string");
    r.Count("AlMWeekDWNum", t.AlMWeekDWNum, false);
    SizeList(t.AlMWeekDW, t.AlMWeekDWNum);
    list.clear();
    r.Text(list);
    DecodeDigitList(list, t.AlMWeekDW, rep, "Error reading week number string");
    r.FindTag("[Alarm Days]");
    for (DateTime& d : t.AlDays) r.Date(d);
    if (r.AtLeast(1.2)) {
        r.FindTag("[sw120]");
        r.Bool(a.AlMinWindow);
    }
    if (r.AtLeast(1.29)) {
        r.FindTag("[sw129]");
        ReadRules(r, a.Exceptions, "ExCnt", "[Except ");
    }
    if (a.mtype != 0) {
        r.Count("Event Count", a.Events.Count, true);
        a.Events.Items.assign(static_cast<std::size_t>(a.Events.Count), AlEvent{});
        for (Integer e = 1; e <= a.Events.Count; ++e) ReadStep(r, a.Events.Items[e - 1], e);
    } else {
        ReadSimpleActions(r, a);
    }
}

// Steps 12 to 18: the global rules and the alarms.
void ReadRulesAndAlarms(LineReader& r, Globals& g) {
    if (r.AtLeast(1.29)) {
        r.FindTag("[sw129]");
        ReadRules(r, g.GlobalExceptions, "gExCnt", "[gExcept ");
    }
    Integer count = g.AlarmCount;
    r.Count("Alarm Count", count, true);
    g.AlarmCount = count;
    g.ResetAlarmTable(count);
    for (Integer a = 1; a <= count; ++a) ReadAlarm(r, g.AlarmTable[a], a);
}

bool IsClientMode(const std::string& mode) {
    return mode == "Client" || mode == "WClient";
}

// ReadOnce asks for one more try with a fresh download.
constexpr int kRetryDownload = 1;

struct ReadState {
    Globals& g;
    bool followClient;
    bool reuseDownload;
    Reporter& reporter;
    AlarmFileDownloader* downloader;
    bool firstAttempt = true;
};

int ReadOnce(ReadState& st) {
    Globals& g = st.g;
    SettingsRec& s = g.Settings;
    const auto localText = ReadWholeFile(g.LocalAlarmFilePath());
    if (!localText) return kFileCannotOpen;
    LineReader r(SplitLines(*localText), st.reporter, g.FileVersion);
    if (r.Next() != kInfoTag) {
        st.reporter.Report("Error: Invalid alarm file");
        return kFileInvalid;
    }

    Line l;
    if (r.Key(l); const auto v = ParseVersion(std::string(l.value)))
        g.FileVersion = *v;
    else
        st.reporter.Report("Error retrieving version number.");
    r.SetVersion(g.FileVersion);

    r.Bool(s.UseSMTP);
    r.Text(s.SMTPServer);
    if (r.AtLeast(2.01)) {
        r.FindTag("[sw201-2]");
        r.Text(s.SMTPUser);
        r.Text(s.SMTPPass);
    }
    r.Text(s.ReplyTo);
    r.Text(s.UserMode);
    std::string alarmFile;
    r.Text(alarmFile);
    if (IsClientMode(s.UserMode)) s.AlarmFile = alarmFile;
    if (r.AtLeast(1.401)) {
        r.FindTag("[sw140-3]");
        r.Bool(s.dldAlarmFile);
        r.Int("dldInterval", s.dldInterval);
        r.Bool(s.allowWake);
    }
    if (r.AtLeast(1.5)) {
        r.FindTag("[sw150-1]");
        r.Bool(s.enablelogging);
    }
    if (r.AtLeast(2.02)) {
        r.FindTag("[sw202-5]");
        r.Int("monthBackColor", s.monthBackColor);
        r.Int("textColor", s.textColor);
        r.Int("titleBackColor", s.titleBackColor);
        r.Int("titleTextColor", s.titleTextColor);
        r.Int("trailingTextColor", s.trailingTextColor);
    } else {
        const SettingsRec defaults;
        s.monthBackColor = defaults.monthBackColor;
        s.textColor = defaults.textColor;
        s.titleBackColor = defaults.titleBackColor;
        s.titleTextColor = defaults.titleTextColor;
        s.trailingTextColor = defaults.trailingTextColor;
    }

    const bool web = s.UserMode == "WClient";
    if (!web && !(s.UserMode == "Client" && st.followClient)) {
        ReadRulesAndAlarms(r, g);
        return kFileDone;
    }

    const std::string webCopy = g.ProgramDir + "webtmp.ini";
    if (web && !(st.reuseDownload && FileExists(webCopy))) {
        DateTime serverDate = 0;
        std::string body;
        if (!st.downloader || !st.downloader->Head(s.AlarmFile, serverDate)) return kFileInvalid;
        g.WebFileDate = serverDate;
        if (!st.downloader->Get(s.AlarmFile, body)) return kFileInvalid;
        body += "\r\n";
        std::string error;
        if (WriteFileAtomically(webCopy, body, error) != kWriteDone) return kFileInvalid;
    }

    const auto sharedText = ReadWholeFile(web ? webCopy : s.AlarmFile);
    if (!sharedText) return kFileCannotOpen;
    LineReader shared(SplitLines(*sharedText), st.reporter, g.FileVersion);
    if (shared.Next() != kInfoTag) {
        if (web && st.firstAttempt) {
            st.firstAttempt = false;
            st.reuseDownload = false;
            return kRetryDownload;
        }
        st.reporter.Report("Error: Invalid alarm file");
        return kFileInvalid;
    }
    // The shared file's own layout decides which of its blocks are there; a
    // client set up from a 2.01 configuration file reads a 2.10 server file.
    if (shared.Key(l); const auto v = ParseVersion(std::string(l.value))) shared.SetVersion(*v);
    std::string dropped;
    bool droppedFlag = false;
    Integer droppedInt = 0;
    shared.Bool(s.UseSMTP);
    shared.Text(s.SMTPServer);
    if (shared.AtLeast(2.01)) {
        shared.FindTag("[sw201-2]");
        shared.Text(s.SMTPUser);
        shared.Text(s.SMTPPass);
    }
    shared.Text(s.ReplyTo);
    shared.Text(dropped);  // UserMode
    shared.Text(dropped);  // AlarmFile
    if (shared.AtLeast(1.401)) {
        shared.FindTag("[sw140-3]");
        shared.Bool(droppedFlag);
        shared.Int("dldInterval", droppedInt);
        shared.Bool(droppedFlag);
    }
    ReadRulesAndAlarms(shared, g);
    return kFileDone;
}

}  // namespace

int ReadAlarmFile(Globals& g, bool followClient, bool reuseDownload, Reporter& reporter,
                  AlarmFileDownloader* downloader) {
    ReadState st{g, followClient, reuseDownload, reporter, downloader};
    try {
        for (;;) {
            const int result = ReadOnce(st);
            if (result != kRetryDownload) return result;
        }
    } catch (const ReadAbandoned& abandoned) {
        reporter.Report("Error Reading Input File: " + abandoned.key);
        return kFileInvalid;
    }
}

bool UpgradeOldAlarmFile(Globals& g, int readResult, bool readWasClean, Reporter& reporter) {
    if (readResult != kFileDone || !readWasClean || g.FileVersion >= 1.4) return false;
    g.Settings.allowWake = true;
    return WriteAlarmFile(g, g.LocalAlarmFilePath(), reporter) == kFileDone;
}

}  // namespace ringmere
