#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "core/alarmfile.h"
#include "core/alarmfile_layout.h"
#include "core/alarmfile_saver.h"
#include "core/fileio.h"
#include "core/globals.h"
#include "core/huge_pages.h"

namespace ringmere {

namespace {

constexpr int kMaxMessageLines = 1000;
// Lists written on one line cannot really be longer than this; a larger
// count is damage and would only flood the user with messages.
constexpr Integer kMaxInlineListCount = 10000;

// An integer, byte or time value that is not a number abandons the reading,
// as every later field would be taken from the wrong line.
struct ReadAbandoned {
    std::string key;
};

// Where the reading is, for what it could not read. Filled as it goes, so it
// holds when the reading is abandoned.
struct Progress {
    Integer alarm = 0;                // being read, 0 outside the alarms
    Integer firstRanOut = 0;          // the first alarm that ran past the end of its file
    const char* lastCount = nullptr;  // the last count read: it sized what was allocated
    bool shared = false;              // reading the shared file of a client
    int sharedMessages = 0;
};

// Counts the messages of the program's own file apart from the shared file's.
class MessageCounter final : public Reporter {
public:
    MessageCounter(Reporter& inner, Progress& progress)
        : inner_(inner), progress_(progress) {}
    void Report(const std::string& message) override {
        if (!progress_.shared)
            ++localMessages;
        else
            ++progress_.sharedMessages;
        inner_.Report(message);
    }
    int localMessages = 0;

private:
    Reporter& inner_;
    Progress& progress_;
};

// A number field's value, as a 32-bit integer with blanks around it and an
// optional sign. Answers through `value`: returned in an optional, the result
// went through memory in a way that stalled every number read.
bool ParseInteger(std::string_view s, long long& value) {
    // Nearly every value is a few digits alone, and nine cannot overflow.
    if (!s.empty() && s.size() <= 9) {
        long long v = 0;
        std::size_t i = 0;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = v * 10 + (s[i] - '0');
        if (i == s.size()) {
            value = v;
            return true;
        }
    }
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    long long v = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc{} || ptr != s.data() + s.size()) return false;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    value = v;
    return true;
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
Line Marker(std::string_view text) {
    Line l;
    l.marker = true;
    const auto dash = text.find('-');
    const auto close = text.find(']');
    if (dash != std::string_view::npos && close != std::string_view::npos && dash < close) {
        if (long long n = 0; ParseInteger(text.substr(dash + 1, close - dash - 1), n) && n > 0)
            l.skip = static_cast<int>(n);
    }
    return l;
}

// Eight bytes at a time: a file of 10,000 alarms is 14 MB.
std::size_t CountLineFeeds(std::string_view text) {
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    constexpr std::uint64_t kFeeds = 0x0A0A0A0A0A0A0A0AULL;
    std::size_t count = 0;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        const std::uint64_t x = word ^ kFeeds;  // a line feed is now a zero byte
        // The high bit of each byte that is zero, with no carry between bytes.
        const std::uint64_t zero = ~(((x & kLow7) + kLow7) | x | kLow7);
        count += static_cast<std::size_t>(((zero >> 7) * 0x0101010101010101ULL) >> 56);
    }
    for (; i < text.size(); ++i) count += text[i] == '\n';
    return count;
}

// The file's text, read line by line without copying: the text is kept once
// and each line is a view into it.
class LineReader {
public:
    LineReader(std::string_view text, Reporter& reporter, Progress& progress, double version)
        : text_(text), reporter_(reporter), progress_(progress), version_(version) {
        // Editors elsewhere start a UTF-8 file with a byte-order mark.
        if (text_.starts_with("\xEF\xBB\xBF")) text_.remove_prefix(3);
        lines_ = CountLineFeeds(text_) + (!text_.empty() && text_.back() != '\n' ? 1 : 0);
    }

    void SetVersion(double v) { version_ = v; }
    bool AtLeast(double gate) const { return version_ >= gate; }
    bool Above(double gate) const { return version_ > gate; }
    std::size_t Remaining() const { return lines_ - read_; }
    bool AtEnd() const { return read_ >= lines_; }
    // A read went past the end of the file: what was read last is not whole.
    bool RanOut() const { return ranOut_; }

    // Past the end every line reads as empty. A line ends at LF; a CR before
    // it is dropped, so CRLF and LF alone both read.
    std::string_view Next() {
        if (AtEnd()) {
            ranOut_ = true;
            return {};
        }
        const std::size_t end = text_.find('\n', at_);
        return Take(end == std::string_view::npos ? text_.size() : end);
    }

    // The next line as a key line or a marker, into l. Filled in place: the
    // reader takes a line a field, and a copy of the whole struct costs more.
    void NextLine(Line& l) {
        const std::string_view line = Next();
        // memchr must not see the null pointer of an empty line past the end.
        const void* eq = line.empty() ? nullptr : std::memchr(line.data(), '=', line.size());
        const std::size_t keyLength =
            eq ? static_cast<std::size_t>(static_cast<const char*>(eq) - line.data()) : line.size();
        // Only the key is searched: values are most of the text.
        if (keyLength > 0 && std::memchr(line.data(), '[', keyLength)) {
            l = Marker(line);
            return;
        }
        l.marker = false;
        l.skip = 0;
        l.key = line.substr(0, keyLength);
        l.value = eq ? line.substr(keyLength + 1) : line;
    }

    // Passes over n lines, stopping at the end.
    void Skip(std::size_t n) {
        for (; n > 0 && !AtEnd(); --n) Next();
        if (n > 0) ranOut_ = true;
    }

    bool FindTag(std::string_view tag) {
        while (!AtEnd())
            if (Next() == tag) return true;
        ranOut_ = true;
        reporter_.Report("Error reading alarm file.  Tag, " + std::string(tag) + " not found.");
        return false;
    }

    // The layout is positional: the next line's value is taken whatever its
    // key. Returns false when the line is a marker or tag without a count.
    bool Key(Line& l) {
        NextLine(l);
        while (l.marker && l.skip > 0) {
            Skip(static_cast<std::size_t>(l.skip) - 1);
            NextLine(l);
        }
        return !l.marker;
    }

    void Text(std::string& field) {
        Line l;
        if (Key(l)) field.assign(l.value);
    }

    void Bool(bool& field) {
        Line l;
        if (Key(l)) field = l.value == "0";
    }

    long long Number(const char* key) {
        Line l;
        if (!Key(l)) return kKeep;
        long long n = 0;
        if (!ParseInteger(l.value, n)) throw ReadAbandoned{key};
        return n;
    }

    void Int(const char* key, Integer& field, const layout::Range& range) {
        const long long n = Number(key);
        if (n == kKeep) return;
        field = static_cast<Integer>(n >= range.lo && n <= range.hi ? n : Checked(key, n, range));
    }

    void Byte8(const char* key, Byte& field, const layout::Range& range) {
        const long long n = Number(key);
        if (n == kKeep) return;
        field = static_cast<Byte>(n >= range.lo && n <= range.hi ? n : Checked(key, n, range));
    }

    // A value outside its range is reported; the value to keep is returned.
    long long Checked(std::string_view key, long long n, const layout::Range& range) {
        if (n >= range.lo && n <= range.hi) return n;
        std::string message = "Damaged value in the alarm file: ";
        message.append(key);
        message += "=" + std::to_string(n);
        if (range.instead) message += " (read as " + std::to_string(*range.instead) + ")";
        reporter_.Report(message);
        return range.instead.value_or(n);
    }

    // A count that sizes a list: a negative count, or one larger than the
    // rest of the file could hold at `linesPerEntry` lines an entry, is
    // damage. 0 lines an entry: a list written on one line.
    void Count(const char* key, Integer& field, std::size_t linesPerEntry) {
        const long long n = Number(key);
        if (n == kKeep) return;
        const long long limit = linesPerEntry == 0
                                    ? kMaxInlineListCount
                                    : static_cast<long long>(Remaining() / linesPerEntry);
        if (n < 0 || n > limit) throw ReadAbandoned{key};
        progress_.lastCount = key;
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
        field.assign(l.value);
        if (l.key != key || l.value.empty()) return;
        for (int n = 0; n < kMaxMessageLines; ++n) {
            if (AtEnd()) break;
            const std::string_view line = Next();
            if (line == "eom1") return;
            field += "\r\n";
            field += line;
        }
        reporter_.Report("Error Reading Input File: " + std::string(key));
    }

    Reporter& reporter() { return reporter_; }
    Progress& progress() { return progress_; }
    double version() const { return version_; }

private:
    // Ends the current line at `end` (its LF, or the end of the text).
    std::string_view Take(std::size_t end) {
        std::size_t stop = end;
        if (stop > at_ && text_[stop - 1] == '\r') --stop;
        const std::string_view line = text_.substr(at_, stop - at_);
        at_ = end + 1;
        ++read_;
        return line;
    }

    static constexpr long long kKeep = INT64_MIN;
    std::string_view text_;
    std::size_t at_ = 0;     // where the next line starts
    std::size_t lines_ = 0;  // in the whole text
    std::size_t read_ = 0;
    bool ranOut_ = false;
    Reporter& reporter_;
    Progress& progress_;
    double version_;
};

template <class T>
void SizeList(std::vector<T>& list, Integer count) {
    list.resize(static_cast<std::size_t>(count < 0 ? 0 : count));
}

// Weekday and week lists hold one digit per entry: entry n is the character
// at position 2n-1 of the text.
void DecodeDigitList(const std::string& text, std::vector<Integer>& list, LineReader& r,
                     const char* key, const layout::Range& range, const char* message) {
    Reporter& reporter = r.reporter();
    for (std::size_t n = 0; n < list.size(); ++n) {
        const std::size_t at = 2 * n;
        if (at >= text.size()) {
            reporter.Report(message);  // the rest is missing: one message is enough
            return;
        }
        const char c = text[at];
        if (c >= '0' && c <= '9')
            list[n] = static_cast<Integer>(r.Checked(key, c - '0', range));
        else
            reporter.Report(message);
    }
}

void DecodeMonthDays(const std::string& text, std::vector<Integer>& list, LineReader& r,
                     const char* key, const layout::Range& range) {
    Reporter& reporter = r.reporter();
    std::size_t start = 0;
    for (std::size_t n = 0; n < list.size(); ++n) {
        if (start > text.size()) {
            reporter.Report("Error reading weekday string");
            return;
        }
        std::size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        if (long long v = 0; ParseInteger(std::string_view(text).substr(start, end - start), v))
            list[n] = static_cast<Integer>(r.Checked(key, v, range));
        else
            reporter.Report("Error reading weekday string");
        start = end + 1;
    }
}

// Walks a layout description for the fewest lines its record can take in a
// file of a given version that is read to its end: every line up to its last
// number field outside a condition. Each line the reader takes is a line of
// the file, or it has run past the end (or a tag was missing, which reads to
// the end), and a number past the end abandons the reading. So a count of
// entries that need more lines than are left cannot be right.
class MinimumLines {
public:
    explicit MinimumLines(double version) : version_(version) {}
    std::size_t Lines() const { return std::max<std::size_t>(numbered_, 1); }

    template <class... A>
    void Text(A&&...) {
        ++lines_;
    }
    template <class... A>
    void MultiLine(A&&...) {
        ++lines_;
    }
    template <class... A>
    void Bool(A&&...) {
        ++lines_;
    }
    template <class... A>
    void Date(A&&...) {
        ++lines_;
    }
    template <class... A>
    void Int(A&&...) {
        Number();
    }
    template <class... A>
    void Byte(A&&...) {
        Number();
    }
    template <class... A>
    void NonNegativeByte(A&&...) {
        Number();
    }
    template <class... A>
    void Time(A&&...) {
        Number();
    }
    template <class... A>
    void Count(A&&...) {
        Number();
    }
    template <class... A>
    void Numbered(A&&...) {}  // may be empty
    template <class... A>
    void InlineList(A&&...) {
        Number();
        ++lines_;
    }
    template <class... A>
    void Blocks(A&&...) {
        Number();
    }  // the entries may be none
    void Tag(const char*) { ++lines_; }
    template <class Body>
    void Block(const char*, Body body) {
        ++lines_;
        body();
    }
    template <class Body>
    void Since(double version, const char* marker, Body body) {
        if (version_ < version) return;
        lines_ += marker != nullptr;
        body();
    }
    template <class Body>
    void After(double version, const char* marker, Body body) {
        if (version_ <= version) return;
        lines_ += marker != nullptr;
        body();
    }
    template <class Body>
    void When(bool, Body) {}
    template <class Body>
    void LocalOnly(Body body) {
        body();
    }
    template <class Body>
    void Group(const char*, Body body) {
        body();
    }

private:
    void Number() { numbered_ = ++lines_; }
    double version_;
    std::size_t lines_ = 0;
    std::size_t numbered_ = 0;  // lines up to the last number field
};

// Walks a layout description (core/alarmfile_layout.h), reading each field
// from the next line into the records.
class Reader {
public:
    explicit Reader(LineReader& lines) : r_(lines) {}

    // The shared file of a client: its settings of this machine are read
    // past, not kept.
    void SkipLocalOnly() { skipLocal_ = true; }

    void Text(const char*, std::string& field, const char* = nullptr) {
        Into(field, [&](auto& f) { r_.Text(f); });
    }
    void MultiLine(const char* key, std::string& field) {
        Into(field, [&](auto& f) { r_.MultiLine(key, f); });
    }
    void Bool(const char*, bool& field) {
        Into(field, [&](auto& f) { r_.Bool(f); });
    }
    void Int(const char* key, Integer& field, const layout::Range& range = layout::kAnyValue) {
        Into(field, [&](auto& f) { r_.Int(key, f, range); });
    }
    void Byte(const char* key, ringmere::Byte& field,
              const layout::Range& range = layout::kAnyValue) {
        Into(field, [&](auto& f) { r_.Byte8(key, f, range); });
    }
    // A negative value reads as 0; others keep their low byte.
    void NonNegativeByte(const char* key, ringmere::Byte& field, const layout::Range& range) {
        Into(field, [&](auto& f) {
            Integer n = f;
            r_.Int(key, n, layout::Range{INT32_MIN, range.hi});
            if (n < 0) r_.Checked(key, n, layout::Range{0, range.hi, 0});
            f = n < 0 ? 0 : static_cast<ringmere::Byte>(n);
        });
    }
    void Time(const char* key, DateTime& field) {
        Into(field, [&](auto& f) { r_.Time(key, f); });
    }
    void Date(const char*, DateTime& field) {
        Into(field, [&](auto& f) { r_.Date(f); });
    }
    void Count(const char* key, Integer& field) { r_.Count(key, field, 1); }

    template <class T>
    void Numbered(const char* stem, std::vector<T>& list, Integer count) {
        SizeList(list, count);
        for (T& entry : list) {
            if constexpr (std::is_same_v<T, std::string>) {
                r_.Text(entry);
            } else if constexpr (std::is_floating_point_v<T>) {
                r_.Date(entry);
            } else {
                const std::string_view s(stem);
                r_.Int(std::string(s.substr(0, s.size() - 1)).c_str(), entry, layout::kAnyValue);
            }
        }
    }

    void InlineList(layout::ListKind kind, const char* countKey, Integer& count, const char* key,
                    std::vector<Integer>& list) {
        r_.Count(countKey, count, 0);
        SizeList(list, count);
        std::string text;
        r_.Text(text);
        const layout::Range range = layout::EntryRange(kind);
        switch (kind) {
            case layout::ListKind::kWeekdayDigits:
                return DecodeDigitList(text, list, r_, key, range, "Error reading weekday string");
            case layout::ListKind::kWeekDigits:
                return DecodeDigitList(text, list, r_, key, range,
                                       "Error reading week number string");
            case layout::ListKind::kMonthDayNumbers:
                return DecodeMonthDays(text, list, r_, key, range);
        }
    }

    template <class List, class Body>
    void Blocks(const char* countKey, const char*, const char* tagStem, List& list, Body body) {
        Integer n = list.Count;
        r_.Count(countKey, n, LinesPerEntry(list));
        list.Count = 0;
        list.Items.clear();  // then made in place: copying an empty record costs more
        list.Items.resize(static_cast<std::size_t>(n));
        list.Count = n;
        for (Integer k = 1; k <= list.Count; ++k) {
            r_.FindTag(tagStem + std::to_string(k) + "]");
            body(list.Items[k - 1]);
        }
    }

    template <class Body>
    void Alarms(const char* countKey, Integer& count, std::vector<AlRec>& table, Body body) {
        if (!alarmLines_)
            alarmLines_ =
                LinesPerRecord<AlRec>([](auto& v, auto& a) { layout::AlarmFields(v, a); });
        Integer n = count;
        r_.Count(countKey, n, *alarmLines_);
        // As Globals::ResetAlarmTable, with no copies; the count matches the
        // table also when it cannot be made.
        count = 0;
        table.clear();
        try {
            ReserveLarge(table, static_cast<std::size_t>(n) + 2);
            table.resize(static_cast<std::size_t>(n) + 2);
        } catch (const std::bad_alloc&) {
            table.resize(2);
            throw;
        }
        count = n;
        Progress& progress = r_.progress();
        for (Integer a = 1; a <= n; ++a) {
            progress.alarm = a;
            if (!r_.FindTag("[Alarm " + std::to_string(a) + "]"))
                r_.reporter().Report("Error reading Alarm Header");
            body(table[a]);
            ShrinkParts(table[a]);
            if (r_.RanOut() && progress.firstRanOut == 0) progress.firstRanOut = a;
        }
        progress.alarm = 0;
    }

    void Tag(const char* tag) { r_.FindTag(tag); }
    template <class Body>
    void Block(const char* tag, Body body) {
        if (r_.FindTag(tag)) body();
    }
    template <class Body>
    void Since(double version, const char* marker, Body body) {
        if (!r_.AtLeast(version)) return;
        if (marker) r_.FindTag(marker);
        body();
    }
    template <class Body>
    void After(double version, const char* marker, Body body) {
        if (!r_.Above(version)) return;
        if (marker) r_.FindTag(marker);
        body();
    }
    template <class Body>
    void When(bool condition, Body body) {
        if (condition) body();
    }
    template <class Body>
    void LocalOnly(Body body) {
        inLocal_ = true;
        body();
        inLocal_ = false;
    }
    template <class Body>
    void Group(const char*, Body body) {
        body();
    }

private:
    // Reads into a scratch copy when the field is not to be kept.
    template <class T, class Read>
    void Into(T& field, Read read) {
        if (!(skipLocal_ && inLocal_)) return read(field);
        T scratch{};
        read(scratch);
    }

    // The fewest lines an entry of a list takes in this file, its tag
    // included; worked out once a reading.
    template <class Record, class Fields>
    std::size_t LinesPerRecord(Fields fields) const {
        MinimumLines m(r_.version());
        m.Tag("");
        Record record{};
        fields(m, record);
        return m.Lines();
    }
    std::size_t LinesPerEntry(const ExList&) {
        if (!ruleLines_)
            ruleLines_ =
                LinesPerRecord<ExRec>([](auto& v, auto& rule) { layout::RuleFields(v, rule); });
        return *ruleLines_;
    }
    std::size_t LinesPerEntry(const AlEventList&) {
        if (!stepLines_)
            stepLines_ =
                LinesPerRecord<AlEvent>([](auto& v, auto& step) { layout::StepFields(v, step); });
        return *stepLines_;
    }

    LineReader& r_;
    bool skipLocal_ = false;
    bool inLocal_ = false;
    std::optional<std::size_t> alarmLines_, ruleLines_, stepLines_;
};

bool IsClientMode(const std::string& mode) {
    return mode == "Client" || mode == "WClient";
}

// ReadOnce asks for one more try with a fresh download.
constexpr int kRetryDownload = 1;

struct ReadState {
    Globals& g;
    ReadOptions options;
    Reporter& reporter;
    AlarmFileDownloader* downloader;
    Progress& progress;
    bool ownOnly = false;  // the local file's own alarms, whatever the mode
    bool firstAttempt = true;
};

// Only client modes take the shared file's path from the file; other modes
// keep their own, also when reading is abandoned.
class AlarmFileOfClientsOnly {
public:
    explicit AlarmFileOfClientsOnly(SettingsRec& s) : s_(s), own_(std::move(s.AlarmFile)) {
        s_.AlarmFile.clear();
    }
    ~AlarmFileOfClientsOnly() {
        if (!IsClientMode(s_.UserMode)) s_.AlarmFile = std::move(own_);
    }

private:
    SettingsRec& s_;
    std::string own_;
};

// "[Alarm Info]" and the version line; false when the file is not an alarm
// file at all.
bool ReadPreamble(LineReader& r, std::optional<double>& version) {
    if (r.Next() != layout::kInfoTag) return false;
    Line l;
    r.Key(l);
    version = ParseVersion(std::string(l.value));
    return true;
}

int ReadOnce(ReadState& st) {
    Globals& g = st.g;
    SettingsRec& s = g.Settings;
    const auto localText = ReadWholeFile(g.LocalAlarmFilePath());
    if (!localText) return kFileCannotOpen;
    g.OwnFile->hash = StampOf(*localText);
    LineReader r(*localText, st.reporter, st.progress, g.FileVersion);
    std::optional<double> version;
    if (!ReadPreamble(r, version)) {
        st.reporter.Report("Error: Invalid alarm file");
        return kFileInvalid;
    }
    if (version)
        g.FileVersion = *version;
    else
        st.reporter.Report("Error retrieving version number.");
    r.SetVersion(g.FileVersion);

    Reader local(r);
    {
        AlarmFileOfClientsOnly onlyClients(s);
        layout::HeaderFields(local, s);
    }
    layout::LocalSettingsFields(local, s);
    if (!r.AtLeast(2.02)) {  // older files have no colours
        const SettingsRec defaults;
        s.monthBackColor = defaults.monthBackColor;
        s.textColor = defaults.textColor;
        s.titleBackColor = defaults.titleBackColor;
        s.titleTextColor = defaults.titleTextColor;
        s.trailingTextColor = defaults.trailingTextColor;
    }

    const bool web = s.UserMode == "WClient";
    if (st.ownOnly || (!web && !(s.UserMode == "Client" && st.options.followClient))) {
        layout::RulesAndAlarmsFields(local, g);
        return kFileDone;
    }

    st.progress.shared = true;
    const std::string webCopy = g.ProgramDir + "webtmp.ini";
    std::optional<std::string> sharedText;
    HttpHead head;
    const bool download = web && !(st.options.reuseDownload && FileExists(webCopy));
    if (download) {
        std::string body;
        if (!st.downloader || !st.downloader->Head(s.AlarmFile, head)) return kFileInvalid;
        if (!st.downloader->Get(s.AlarmFile, body)) return kFileInvalid;
        body += "\r\n";
        sharedText = std::move(body);
    } else {
        sharedText = ReadWholeFile(web ? webCopy : s.AlarmFile);
        if (!sharedText) return kFileCannotOpen;
    }
    LineReader shared(*sharedText, st.reporter, st.progress, g.FileVersion);
    if (!ReadPreamble(shared, version)) {
        if (web && st.firstAttempt) {
            st.firstAttempt = false;
            st.options.reuseDownload = false;
            return kRetryDownload;
        }
        st.reporter.Report("Error: Invalid alarm file");
        return kFileInvalid;
    }
    // The shared file's own layout decides which of its blocks are there; a
    // client set up from a 2.01 configuration file reads a 2.10 server file.
    if (version) shared.SetVersion(*version);
    Reader server(shared);
    server.SkipLocalOnly();
    // Into a scratch state: the server may be writing the file right now
    // (or a proxy cut the download short), and a part of it must not
    // replace the whole of the last good read.
    Globals next;
    next.Settings = s;
    next.ProgramDir = g.ProgramDir;
    next.FileVersion = g.FileVersion;
    layout::HeaderFields(server, next.Settings);
    layout::RulesAndAlarmsFields(server, next);
    if (shared.RanOut() || st.progress.firstRanOut != 0) {
        st.progress.firstRanOut = 0;
        st.reporter.Report("The shared alarm file ended early (it may be being written); the "
                           "alarms were kept as they were.");
        return kFileInvalid;
    }
    if (download) {
        std::string error;
        if (WriteFileAtomically(webCopy, *sharedText, error, kOwnerOnly) != kWriteDone) {
            st.reporter.Report("The downloaded alarm file could not be kept: " + error);
            return kFileWriteFailed;
        }
        g.WebFileDate = head.date;
    }
    s = std::move(next.Settings);
    g.GlobalExceptions = std::move(next.GlobalExceptions);
    g.AlarmTable = std::move(next.AlarmTable);
    g.AlarmCount = next.AlarmCount;
    return kFileDone;
}

}  // namespace

namespace {

// `ownOnly`: the local file's own alarms, whatever the mode and the options.
int Read(Globals& g, ReadOptions options, bool ownOnly, Reporter& reporter,
         AlarmFileDownloader* downloader) {
    WaitForBackgroundSaves();
    Progress progress;
    MessageCounter counting(reporter, progress);
    ReadState st{g, options, counting, downloader, progress, ownOnly};
    int result = kFileInvalid;
    bool abandoned = false;
    try {
        do {
            progress.shared = false;
            result = ReadOnce(st);
        } while (result == kRetryDownload);
    } catch (const ReadAbandoned& at) {
        abandoned = true;
        counting.Report("Error Reading Input File: " + at.key);
    } catch (const std::bad_alloc&) {
        // A count the file could hold but memory cannot.
        abandoned = true;
        counting.Report(progress.lastCount
                            ? "Error Reading Input File: " + std::string(progress.lastCount)
                            : std::string("Error reading alarm file: not enough memory"));
    }
    if (abandoned) result = kFileInvalid;
    // A shared file is taken over whole or not at all: the alarms of the
    // last read stay, and so does what was known of them.
    if (!progress.shared || result == kFileDone)
        g.FirstDamagedAlarm = progress.firstRanOut ? progress.firstRanOut
                              : abandoned          ? progress.alarm
                                                   : 0;
    // Only the program's own file is ever written; a client's shared file
    // is not. A file that is there but cannot be read is not clean either.
    g.AlarmFileDamaged =
        counting.localMessages > 0 ||
        (result == kFileCannotOpen && !progress.shared && FileExists(g.LocalAlarmFilePath()));
    return result;
}

}  // namespace

int ReadAlarmFile(Globals& g, ReadOptions options, Reporter& reporter,
                  AlarmFileDownloader* downloader) {
    return Read(g, options, /*ownOnly=*/false, reporter, downloader);
}

int ReadOwnAlarmFile(Globals& g, Reporter& reporter) {
    return Read(g, {}, /*ownOnly=*/true, reporter, nullptr);
}

bool UpgradeOldAlarmFile(Globals& g, int readResult, bool readWasClean, Reporter& reporter) {
    if (readResult != kFileDone || !readWasClean || g.FileVersion >= 1.4) return false;
    g.Settings.allowWake = true;
    return WriteAlarmFile(g, g.LocalAlarmFilePath(), reporter) == kFileDone;
}

}  // namespace ringmere
