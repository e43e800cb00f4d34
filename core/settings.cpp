#include "core/settings.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/fileio.h"
#include "core/text.h"

namespace ringmere {

namespace {

// The system's own text for an unknown value type.
constexpr const char* kCannotWriteKey = "The configuration registry key could not be written.";

// Decimal, optionally signed, or hexadecimal after "0x" or "$". Anything from
// -2147483648 to 4294967295 fits 32 bits.
std::optional<std::uint32_t> ParseNumber32(std::string_view text) {
    text = TrimBlanks(text);
    bool negative = false;
    int base = 10;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    std::uint64_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n, base);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if (negative) {
        if (n > 2147483648u) return std::nullopt;
        return static_cast<std::uint32_t>(-static_cast<std::int64_t>(n));
    }
    if (n > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<std::uint32_t>(n);
}

std::string LittleEndian32(std::uint32_t n) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
    return bytes;
}

std::optional<RegValue> ConvertValue(const RegValue& value, RegType to, std::string& error) {
    if (value.type == to) return value;
    RegValue out;
    out.type = to;
    switch (to) {
        case RegType::String:
        case RegType::ExpandString:
            out.data = value.type == RegType::Number
                           ? std::to_string(static_cast<std::int32_t>(value.number))
                           : value.data;
            return out;
        case RegType::Binary:
            out.data = value.type == RegType::Number ? LittleEndian32(value.number) : value.data;
            return out;
        case RegType::Number:
            if (value.type == RegType::Binary) {
                if (value.data.size() != 4) {
                    error = "A binary value of " + std::to_string(value.data.size()) +
                            " bytes is not a 32-bit number.";
                    return std::nullopt;
                }
                for (int i = 0; i < 4; ++i)
                    out.number |= static_cast<std::uint32_t>(static_cast<unsigned char>(
                                      value.data[static_cast<std::size_t>(i)]))
                                  << (8 * i);
                return out;
            }
            if (const auto n = ParseNumber32(value.data)) {
                out.number = *n;
                return out;
            }
            error = "\"" + value.data + "\" is not a 32-bit number.";
            return std::nullopt;
    }
    error = kCannotWriteKey;
    return std::nullopt;
}

std::optional<std::int32_t> ReadNumber(const SettingsStore& store, std::string_view key,
                                       std::string_view name) {
    const auto v = store.ReadValue(key, name);
    if (!v || v->type != RegType::Number) return std::nullopt;
    return static_cast<std::int32_t>(v->number);
}

std::optional<std::string> ReadText(const SettingsStore& store, std::string_view key,
                                    std::string_view name) {
    const auto v = store.ReadValue(key, name);
    if (!v || (v->type != RegType::String && v->type != RegType::ExpandString)) return std::nullopt;
    return v->data;
}

std::optional<double> ReadDouble(const SettingsStore& store, std::string_view key,
                                 std::string_view name) {
    const auto v = store.ReadValue(key, name);
    if (!v || v->type != RegType::Binary || v->data.size() != sizeof(double)) return std::nullopt;
    double d = 0;
    std::memcpy(&d, v->data.data(), sizeof d);
    // A time of day that is not a number would poison every later schedule.
    if (!std::isfinite(d)) return std::nullopt;
    return d;
}

RegValue Flag(bool b) {
    return RegValue::Number(b ? 1 : 0);
}
RegValue Int(std::int32_t n) {
    return RegValue::Number(static_cast<std::uint32_t>(n));
}

RegValue DoubleBytes(double d) {
    std::string bytes(sizeof d, '\0');
    std::memcpy(bytes.data(), &d, sizeof d);
    return RegValue::Bytes(std::move(bytes));
}

// A sectioned settings file read as the old installations read theirs: names
// ignore letter case, the first of repeated entries counts, lines that are
// neither a section nor a "key=value" are passed over.
class IniFile {
public:
    explicit IniFile(std::string_view text) {
        if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
        std::string section;
        while (!text.empty()) {
            const auto eol = text.find('\n');
            std::string_view line = TrimBlanks(text.substr(0, eol));
            text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
            if (line.empty() || line.front() == ';') continue;
            if (line.front() == '[') {
                const auto close = line.find(']');
                section = std::string(
                    TrimBlanks(line.substr(1, close == line.npos ? line.npos : close - 1)));
                continue;
            }
            const auto eq = line.find('=');
            if (eq == std::string_view::npos) continue;
            std::string_view value = TrimBlanks(line.substr(eq + 1));
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front())
                value = value.substr(1, value.size() - 2);
            entries_.push_back(
                {section, std::string(TrimBlanks(line.substr(0, eq))), std::string(value)});
        }
    }

    const std::string* Find(std::string_view section, std::string_view key) const {
        for (const Entry& e : entries_)
            if (SameName(e.section, section) && SameName(e.key, key)) return &e.value;
        return nullptr;
    }

private:
    struct Entry {
        std::string section, key, value;
    };
    std::vector<Entry> entries_;
};

std::optional<bool> ParseBool(std::string_view text) {
    text = TrimBlanks(text);
    for (const char* t : {"true", "yes", "on"})
        if (SameName(text, t)) return true;
    for (const char* f : {"false", "no", "off"})
        if (SameName(text, f)) return false;
    if (const auto n = ParseNumber32(text)) return *n != 0;
    return std::nullopt;
}

}  // namespace

void ReadRegistryString(const SettingsStore& store, std::string_view key, std::string_view name,
                        std::string& value) {
    if (auto text = ReadText(store, key, name)) value = std::move(*text);
}

bool WriteRegistryValue(SettingsStore& store, std::string_view key, std::string_view name,
                        const RegValue& value, int typeCode, std::string& error) {
    if (typeCode < 0 || typeCode > 4) {
        error = kCannotWriteKey;
        return false;
    }
    if (!store.CreateKey(key, error)) return false;
    RegType type = static_cast<RegType>(typeCode);
    if (typeCode == 0) {
        const auto old = store.ReadValue(key, name);
        type = old ? old->type : value.type;
    }
    const auto converted = ConvertValue(value, type, error);
    return converted && store.WriteValue(key, name, *converted, error);
}

bool DeleteRegistryValue(SettingsStore& store, std::string_view key, std::string_view name,
                         std::string& error) {
    return store.CreateKey(key, error) && store.DeleteValue(key, name, error);
}

void LoadRegistrySettings(Globals& g, SettingsStore& store) {
    SettingsRec& s = g.Settings;
    std::string ignored;
    store.CreateKey(kSettingsKey, ignored);
    if (const auto n = ReadNumber(store, kSettingsKey, "AutoStart")) s.AutoStart = *n != 0;
    // The time synchronisation values came in one release: the first one
    // missing means the rest were never written either.
    do {
        const auto timeout = ReadNumber(store, kSettingsKey, "TimeServerTO");
        if (!timeout) break;
        s.TimeServerTO = *timeout;
        const auto synch = ReadNumber(store, kSettingsKey, "autosynch");
        if (!synch) break;
        s.autosynch = *synch != 0;
        const auto time = ReadDouble(store, kSettingsKey, "autotime");
        if (!time) break;
        s.autotime = *time;
        auto server = ReadText(store, kSettingsKey, "autoserver");
        if (!server) break;
        s.autoserver = std::move(*server);
    } while (false);

    store.CreateKey(kSettingsMainKey, ignored);
    const struct {
        const char* name;
        Integer* field;
    } placement[] = {{"Status", &s.Status},
                     {"Height", &s.Height},
                     {"Width", &s.Width},
                     {"Left", &s.Left},
                     {"Top", &s.Top}};
    for (const auto& p : placement)
        if (const auto n = ReadNumber(store, kSettingsMainKey, p.name)) *p.field = *n;
    if (const auto n = ReadNumber(store, kSettingsMainKey, "dispevdesc")) s.dispevdesc = *n != 0;
}

bool SaveRegistrySettings(const Globals& g, SettingsStore& store, Reporter& reporter) {
    const SettingsRec& s = g.Settings;
    const struct {
        const char* key;
        const char* name;
        RegValue value;
    } values[] = {
        {kSettingsKey, "AutoStart", Flag(s.AutoStart)},
        {kSettingsKey, "TimeServerTO", Int(s.TimeServerTO)},
        {kSettingsKey, "autosynch", Flag(s.autosynch)},
        {kSettingsKey, "autotime", DoubleBytes(s.autotime)},
        {kSettingsKey, "autoserver", RegValue::Text(s.autoserver)},
        {kSettingsMainKey, "Status", Int(s.Status)},
        {kSettingsMainKey, "Height", Int(s.Height)},
        {kSettingsMainKey, "Width", Int(s.Width)},
        {kSettingsMainKey, "Left", Int(s.Left)},
        {kSettingsMainKey, "Top", Int(s.Top)},
    };
    std::string error;
    for (const char* key : {kSettingsKey, kSettingsMainKey}) {
        if (!store.CreateKey(key, error)) {
            reporter.Report(std::string("Could not create the settings key ") + key + ": " + error);
            return false;
        }
    }
    for (const auto& v : values) {
        if (!store.WriteValue(v.key, v.name, v.value, error)) {
            reporter.Report(std::string("Could not save the setting \"") + v.name + "\": " + error);
            return false;
        }
    }
    store.WriteValue(kSettingsMainKey, "dispevdesc", Flag(s.dispevdesc), error);
    return true;
}

bool LoadLocalSettingsFile(Globals& g, const std::string& path, Reporter& reporter) {
    const auto text = ReadWholeFile(path);
    if (!text) {
        reporter.Report("Could not read the local settings file " + path + "; it is ignored.");
        return false;
    }
    const IniFile ini(*text);
    SettingsRec& s = g.Settings;
    const auto notUsable = [&](const char* section, const char* key, const std::string& value) {
        reporter.Report(path + ": [" + section + "] " + key + "=" + value +
                        " is not a number; the setting keeps its value.");
    };
    const struct {
        const char* key;
        Integer* field;
    } numbers[] = {{"Status", &s.Status},
                   {"Height", &s.Height},
                   {"Width", &s.Width},
                   {"Left", &s.Left},
                   {"Top", &s.Top}};
    for (const auto& n : numbers) {
        const std::string* value = ini.Find("Main", n.key);
        if (!value) continue;
        if (const auto parsed = ParseNumber32(*value))
            *n.field = static_cast<Integer>(*parsed);
        else
            notUsable("Main", n.key, *value);
    }
    if (const std::string* value = ini.Find("Mail", "ReplyTo")) s.ReplyTo = *value;
    if (const std::string* value = ini.Find("Main", "AutoStart")) {
        if (const auto b = ParseBool(*value))
            s.AutoStart = *b;
        else
            notUsable("Main", "AutoStart", *value);
    }
    return true;
}

bool RegisterAutoStart(SettingsRec& settings, AutoStartEntry& entry, const std::string& programPath,
                       Reporter& reporter) {
    if (entry.DisabledByUser()) {
        settings.AutoStart = false;
        return true;
    }
    const auto current = entry.Read();
    const bool stale =
        current && !current->empty() && current->find(kAutoStartArgument) == std::string::npos;
    if (!stale && !settings.AutoStart) return true;
    if (programPath.empty()) {
        reporter.Report(
            "The program's own path is not known; the start-at-log-on entry is left as it is.");
        return false;
    }
    std::string error;
    if (!entry.Write(programPath, kAutoStartArgument, error)) {
        reporter.Report("Could not write the start-at-log-on entry: " + error);
        return false;
    }
    return true;
}

SettingsOrigin LoadStartupSettings(Globals& g, SettingsStore& store,
                                   const std::string& localSettingsPath, Reporter& reporter) {
    SetDefaultSettings(g);
    if (store.KeyExists(kSettingsKey)) {
        LoadRegistrySettings(g, store);
        return SettingsOrigin::Store;
    }
    SettingsOrigin origin = SettingsOrigin::Defaults;
    if (!localSettingsPath.empty() && FileExists(localSettingsPath)) {
        LoadLocalSettingsFile(g, localSettingsPath, reporter);
        origin = SettingsOrigin::LocalFile;
    }
    SaveRegistrySettings(g, store, reporter);
    return origin;
}

// Late and missed alarms.

int ReadLateLimit(const SettingsStore& store) {
    const std::optional<RegValue> off = store.ReadValue(kSettingsKey, kLateNoLimitValue);
    if (off && off->type == RegType::Number && off->number == 1) return kNoLateLimit;
    const std::optional<RegValue> v = store.ReadValue(kSettingsKey, kLateLimitValue);
    // A week at most: beyond that a number is more likely damage than intent.
    if (v && v->type == RegType::Number && v->number <= 10080) return static_cast<int>(v->number);
    return kDefaultLateLimit;
}

bool SaveLateLimit(SettingsStore& store, int minutes, std::string& error) {
    const bool none = minutes < 0;
    if (!store.WriteValue(kSettingsKey, kLateNoLimitValue, RegValue::Number(none ? 1 : 0), error))
        return false;
    return none || store.WriteValue(kSettingsKey, kLateLimitValue,
                                    RegValue::Number(static_cast<std::uint32_t>(minutes)), error);
}

std::optional<DateTime> ReadLastCheck(const SettingsStore& store) {
    const std::optional<RegValue> v = store.ReadValue(kSettingsKey, kLastCheckValue);
    if (!v || v->type != RegType::String) return std::nullopt;
    return ParseLastCheck(v->data);
}

bool SaveLastCheck(SettingsStore& store, DateTime moment, std::string& error) {
    const std::string text = LastCheckText(moment);
    if (text.empty()) {
        error = "The moment of the last check is not a valid time.";
        return false;
    }
    return store.WriteValue(kSettingsKey, kLastCheckValue, RegValue::Text(text), error);
}

}  // namespace ringmere
