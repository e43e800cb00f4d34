// dump: the settings, global rules and alarms of a file as JSON.
#include <algorithm>
#include <climits>
#include <iostream>
#include <string_view>
#include <type_traits>
#include <utility>

#include <nlohmann/json.hpp>

#include "core/alarmfile_layout.h"
#include "core/fileio.h"
#include "core/text.h"
#include "tools/cli.h"

namespace ringmere::cli {

namespace {

using Json = nlohmann::ordered_json;

// Walks a layout description (core/alarmfile_layout.h) into JSON: every field
// of each record whichever the file holds, nested as the records are. Texts
// that are not UTF-8 are shown as Windows-1252.
class Dumper {
public:
    explicit Dumper(Json& root) : at_(&root) {}

    // After an abandoned read the alarms after the one being read are blank
    // records, not the file's.
    void ShowAlarmsUpTo(Integer last) { lastAlarm_ = last; }

    void Text(const char* key, const std::string& v, const char* field = nullptr) {
        Put(field ? field : key, ToDisplayUtf8(v));
    }
    void MultiLine(const char* key, const std::string& v) { Put(key, ToDisplayUtf8(v)); }
    void Bool(const char* key, bool v) { Put(key, v); }
    void Int(const char* key, Integer v, const layout::Range& = layout::kAnyValue) { Put(key, v); }
    void Byte(const char* key, ringmere::Byte v, const layout::Range& = layout::kAnyValue) {
        Put(key, v);
    }
    void NonNegativeByte(const char* key, ringmere::Byte v,
                         const layout::Range& = layout::kAnyValue) {
        Put(key, v);
    }
    void Time(const char* key, DateTime v) { Put(key, FormatLongTime(v)); }
    void Date(const char* key, DateTime v) { Put(key, FormatShortDate(v)); }
    void Count(const char* key, Integer v) { Put(key, v); }

    // "AlDays(" lists as "AlDays".
    template <class T>
    void Numbered(const char* stem, const std::vector<T>& list, Integer) {
        Json out = Json::array();
        for (const T& entry : list) {
            if constexpr (std::is_same_v<T, std::string>)
                out.push_back(ToDisplayUtf8(entry));
            else if constexpr (std::is_floating_point_v<T>)
                out.push_back(FormatShortDate(entry));
            else
                out.push_back(entry);
        }
        const std::string_view s(stem);
        Put(std::string(s.substr(0, s.size() - 1)), std::move(out));
    }

    void InlineList(layout::ListKind, const char* countKey, Integer count, const char* key,
                    const std::vector<Integer>& list) {
        Put(countKey, count);
        Put(key, list);
    }

    template <class List, class Body>
    void Blocks(const char* countKey, const char* name, const char*, const List& list, Body body) {
        Put(countKey, list.Count);
        Json items = Json::array();
        for (const auto& item : list.Items) items.push_back(Object([&] { body(item); }));
        Put(name, std::move(items));
    }

    // The dump has always called the alarm count "AlarmCount".
    template <class Body>
    void Alarms(const char*, Integer count, const std::vector<AlRec>& table, Body body) {
        Put("AlarmCount", count);
        Json alarms = Json::array();
        const Integer last = std::min(count, lastAlarm_);
        for (Integer a = 1; a <= last && static_cast<std::size_t>(a) < table.size(); ++a)
            alarms.push_back(Object([&] { body(table[a]); }));
        Put("Alarms", std::move(alarms));
    }

    void Tag(const char*) {}
    template <class Body>
    void Block(const char*, Body body) {
        body();
    }
    template <class Body>
    void Since(double, const char*, Body body) {
        body();
    }
    template <class Body>
    void After(double, const char*, Body body) {
        body();
    }
    template <class Body>
    void When(bool, Body body) {
        body();
    }
    template <class Body>
    void LocalOnly(Body body) {
        body();
    }
    template <class Body>
    void Group(const char* name, Body body) {
        Put(name, Object(body));
    }

private:
    template <class T>
    void Put(const std::string& key, T&& value) {
        (*at_)[key] = std::forward<T>(value);
    }

    template <class Body>
    Json Object(Body body) {
        Json object = Json::object();
        Json* outer = std::exchange(at_, &object);
        body();
        at_ = outer;
        return object;
    }

    Json* at_;
    Integer lastAlarm_ = INT32_MAX;
};

int RunDump(const std::vector<std::string>& args) {
    if (args.size() != 1) return Fail("dump takes one FILE (see ringmere-cli dump --help)");
    Globals g;
    StderrReporter reporter;
    const LoadedFile loaded = LoadAsLocalFile(g, args[0], reporter);
    if (loaded.result != kFileDone && ExplainSilentFailure(g, args[0], loaded) == kExitError)
        return kExitError;
    Json out = {{"FileVersion", g.FileVersion}, {"Settings", Json::object()}};
    Dumper settings(out["Settings"]);
    layout::HeaderFields(settings, g.Settings);
    layout::LocalSettingsFields(settings, g.Settings);
    Dumper body(out);
    if (loaded.result != kFileDone) body.ShowAlarmsUpTo(g.FirstDamagedAlarm);
    layout::RulesAndAlarmsFields(body, g);
    std::cout << out.dump(2) << '\n';
    return loaded.result == kFileDone && loaded.messages == 0 ? kExitOk : kExitProblems;
}

const Register dump{{
    "dump",
    "FILE",
    "Print the settings, global rules and alarms read from FILE as JSON.",
    "FILE is read as by 'check'. Field names are those of the alarm file; dates are\n"
    "\"M/d/yyyy\" and times \"hh:mm:ssAM/PM\". Texts that are not UTF-8 are shown as\n"
    "Windows-1252. Reader messages go to stderr. When the reading was abandoned, the\n"
    "alarms end with the one being read then, holding what was read of it.\n"
    "Exit status: 0 no messages, 1 messages, 2 FILE cannot be read.\n",
    RunDump,
}};

}  // namespace

}  // namespace ringmere::cli
