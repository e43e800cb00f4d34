#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

#include "core/alarmfile.h"
#include "core/alarmfile_layout.h"
#include "core/alarmfile_saver.h"
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

// Walks a layout description (core/alarmfile_layout.h), writing every block
// of the current layout whatever version brought it.
class Writer {
public:
    explicit Writer(FileText& f) : f_(f) {}

    void Text(const char* key, const std::string& v, const char* = nullptr) { f_.Text(key, v); }
    void MultiLine(const char* key, const std::string& v) { f_.MultiLine(key, v); }
    void Bool(const char* key, bool v) { f_.Bool(key, v); }
    void Int(const char* key, Integer v, const layout::Range& = layout::kAnyValue) {
        f_.Int(key, v);
    }
    void Byte(const char* key, ringmere::Byte v, const layout::Range& = layout::kAnyValue) {
        f_.Int(key, v);
    }
    void NonNegativeByte(const char* key, ringmere::Byte v,
                         const layout::Range& = layout::kAnyValue) {
        f_.Int(key, v);
    }
    void Time(const char* key, DateTime v) { f_.Time(key, v); }
    void Date(const char* key, DateTime v) { f_.Date(key, v); }
    void Count(const char* key, Integer v) { f_.Int(key, v); }

    template <class T>
    void Numbered(const char* stem, const std::vector<T>& list, Integer count) {
        for (Integer k = 1; k <= count; ++k) f_.Numbered(stem, k, EntryOrZero(list, k));
    }

    void InlineList(layout::ListKind, const char* countKey, Integer count, const char* key,
                    const std::vector<Integer>& list) {
        f_.Int(countKey, count);
        f_.NumberList(key, list, count);
    }

    template <class List, class Body>
    void Blocks(const char* countKey, const char*, const char* tagStem, const List& list,
                Body body) {
        f_.Int(countKey, list.Count);
        for (Integer k = 1; k <= list.Count; ++k) {
            f_.Line(tagStem + std::to_string(k) + "]");
            static const typename decltype(list.Items)::value_type kEmpty{};
            body(static_cast<std::size_t>(k) <= list.Items.size() ? list.Items[k - 1] : kEmpty);
        }
    }

    template <class Body>
    void Alarms(const char* countKey, Integer count, const std::vector<AlRec>& table, Body body) {
        static const AlRec kEmpty{};
        f_.Int(countKey, count);
        for (Integer a = 1; a <= count; ++a) {
            f_.Line("[Alarm " + std::to_string(a) + "]");
            body(static_cast<std::size_t>(a) < table.size() ? table[a] : kEmpty);
        }
    }

    void Tag(const char* tag) { f_.Line(tag); }
    template <class Body>
    void Block(const char* tag, Body body) {
        f_.Line(tag);
        body();
    }
    template <class Body>
    void Since(double, const char* marker, Body body) {
        if (marker) f_.Line(marker);
        body();
    }
    template <class Body>
    void After(double, const char* marker, Body body) {
        if (marker) f_.Line(marker);
        body();
    }
    template <class Body>
    void When(bool condition, Body body) {
        if (condition) body();
    }
    template <class Body>
    void LocalOnly(Body body) {
        body();
    }
    template <class Body>
    void Group(const char*, Body body) {
        body();
    }

private:
    FileText& f_;
};

bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa {}, sb {};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

int Store(const std::string& path, const std::string& text, FileAccess access,
          Reporter& reporter) {
    std::string error;
    switch (WriteFileAtomically(path, text, error, access)) {
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

std::uint64_t StampOf(std::string_view text) {
    // 0 stands for "nothing known yet".
    const std::uint64_t h = std::hash<std::string_view>{}(text);
    return h == 0 ? 1 : h;
}

std::string FormatAlarmFile(const Globals& g) {
    FileText f;
    f.Line(layout::kInfoTag);
    f.Text("Version", layout::kCurrentVersion);
    Writer w(f);
    layout::HeaderFields(w, g.Settings);
    layout::LocalSettingsFields(w, g.Settings);
    layout::RulesAndAlarmsFields(w, g);
    return f.Take();
}

// A client's file: this machine's settings pointing at the shared file, and
// no rules nor alarms of its own.
std::string FormatClientConfigFile(const Globals& g, const std::string& sharedAlarmFile) {
    FileText f;
    f.Line(layout::kInfoTag);
    f.Text("Version", layout::kClientConfigVersion);
    SettingsRec s = g.Settings;
    s.UserMode = "Client";
    s.AlarmFile = sharedAlarmFile;
    Writer w(f);
    layout::HeaderFields(w, s);
    layout::LocalSettingsFields(w, s);
    w.Alarms("Alarm Count", 0, {}, [](const AlRec&) {});
    return f.Take();
}

int WriteAlarmFile(const Globals& g, const std::string& path, Reporter& reporter) {
    WaitForBackgroundSaves();
    // The file holds the mail and FTP passwords. A shared file is there for
    // other machines to read, so what its owner allowed them stays.
    const bool own = SameFile(path, g.LocalAlarmFilePath());
    const FileAccess access = own ? kOwnerOnly : kNewOwnerOnly;
    // Only the program's own file is changed by others (ringmere-cli).
    std::string error;
    const std::optional<FileLock> lock =
        own ? TakeFileLock(path, error) : std::optional<FileLock>();
    if (own && !lock) {
        reporter.Report("The alarm file was not saved: " + error + ".");
        return kFileWriteFailed;
    }
    const std::string text = FormatAlarmFile(g);
    const int result = Store(path, text, access, reporter);
    if (own && result == kFileDone) g.OwnFile->hash = StampOf(text);
    return result;
}

int WriteClientConfigFile(const Globals& g, const std::string& path,
                          const std::string& sharedAlarmFile, Reporter& reporter) {
    return Store(path, FormatClientConfigFile(g, sharedAlarmFile), kNewOwnerOnly, reporter);
}

}  // namespace ringmere
