#include "platform/file_settings_store.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

#include "core/fileio.h"
#include "core/text.h"
#include "platform/paths.h"

namespace ringmere {

namespace {

const char kHeader[] =
    "; Ringmere machine-local settings. Each value is \"name\"=type:data, with the types\r\n"
    "; dword (32-bit number, hexadecimal), hex (bytes), sz and expand_sz (texts).\r\n";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendHexByte(std::string& out, unsigned char b) {
    static const char digits[] = "0123456789abcdef";
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
}

// Quotes and backslashes are escaped, control bytes written as \xHH; every
// other byte, UTF-8 or not, stays as it is.
std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (b < 0x20 || b == 0x7F) {
            out += "\\x";
            AppendHexByte(out, b);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
    return out;
}

// Reads a quoted text at the front of `s` and removes it from `s`.
std::optional<std::string> Unquote(std::string_view& s, std::string& why) {
    if (s.empty() || s.front() != '"') {
        why = "a quoted text was expected";
        return std::nullopt;
    }
    std::string out;
    std::size_t i = 1;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return out;
        }
        if (c != '\\') {
            out.push_back(c);
            ++i;
            continue;
        }
        if (i + 1 >= s.size()) break;
        const char e = s[i + 1];
        if (e == '"' || e == '\\') {
            out.push_back(e);
            i += 2;
        } else if (e == 'x' && i + 3 < s.size() && HexDigit(s[i + 2]) >= 0 &&
                   HexDigit(s[i + 3]) >= 0) {
            out.push_back(static_cast<char>(HexDigit(s[i + 2]) * 16 + HexDigit(s[i + 3])));
            i += 4;
        } else {
            why = std::string("unknown escape \\") + e;
            return std::nullopt;
        }
    }
    why = "the quoted text is not closed";
    return std::nullopt;
}

std::string FormatValue(const RegValue& v) {
    switch (v.type) {
        case RegType::Number: {
            char buf[16];
            std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(v.number));
            return buf;
        }
        case RegType::Binary: {
            std::string out = "hex:";
            for (std::size_t i = 0; i < v.data.size(); ++i) {
                if (i) out.push_back(',');
                AppendHexByte(out, static_cast<unsigned char>(v.data[i]));
            }
            return out;
        }
        case RegType::ExpandString:
            return "expand_sz:" + Quote(v.data);
        case RegType::String:
            break;
    }
    return "sz:" + Quote(v.data);
}

std::optional<RegValue> ParseValue(std::string_view type, std::string_view data, std::string& why) {
    if (type == "dword") {
        data = TrimBlanks(data);
        if (data.empty() || data.size() > 8) {
            why = "a dword needs 1 to 8 hexadecimal digits";
            return std::nullopt;
        }
        std::uint32_t n = 0;
        for (char c : data) {
            if (HexDigit(c) < 0) {
                why = "a dword needs 1 to 8 hexadecimal digits";
                return std::nullopt;
            }
            n = n * 16 + static_cast<std::uint32_t>(HexDigit(c));
        }
        return RegValue::Number(n);
    }
    if (type == "hex") {
        std::string bytes;
        data = TrimBlanks(data);
        while (!data.empty()) {
            const auto comma = data.find(',');
            const std::string_view item = TrimBlanks(data.substr(0, comma));
            if (item.empty() || item.size() > 2 || HexDigit(item[0]) < 0 ||
                (item.size() == 2 && HexDigit(item[1]) < 0)) {
                why = "bytes are written as two hexadecimal digits separated by commas";
                return std::nullopt;
            }
            bytes.push_back(static_cast<char>(
                item.size() == 1 ? HexDigit(item[0]) : HexDigit(item[0]) * 16 + HexDigit(item[1])));
            if (comma == std::string_view::npos) break;
            data.remove_prefix(comma + 1);
            if (TrimBlanks(data).empty()) {
                why = "the byte list ends with a comma";
                return std::nullopt;
            }
        }
        return RegValue::Bytes(std::move(bytes));
    }
    if (type == "sz" || type == "expand_sz") {
        auto text = Unquote(data, why);
        if (!text) return std::nullopt;
        if (!TrimBlanks(data).empty()) {
            why = "text follows the closing quote";
            return std::nullopt;
        }
        RegValue v = RegValue::Text(std::move(*text));
        if (type == "expand_sz") v.type = RegType::ExpandString;
        return v;
    }
    why = "unknown value type \"" + std::string(type) + "\"";
    return std::nullopt;
}

bool HasControlByte(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

}  // namespace

std::string FormatSettingsStore(const MemorySettingsStore& store) {
    std::string out = kHeader;
    for (const MemorySettingsStore::Key& key : store.Keys()) {
        out += "\r\n[" + key.path + "]\r\n";
        for (const MemorySettingsStore::Value& v : key.values)
            out += Quote(v.name) + "=" + FormatValue(v.value) + "\r\n";
    }
    return out;
}

MemorySettingsStore ParseSettingsStore(std::string_view text, std::vector<std::string>& problems) {
    MemorySettingsStore store;
    std::string key;  // empty: no usable section yet
    std::string ignored;
    int lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        const auto eol = text.find('\n');
        const std::string_view line = TrimBlanks(text.substr(0, eol));
        text = eol == std::string_view::npos ? std::string_view{} : text.substr(eol + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        const auto problem = [&](const std::string& why) {
            problems.push_back("line " + std::to_string(lineNo) + ": " + why);
        };
        if (line.front() == '[') {
            key.clear();
            if (line.back() != ']') {
                problem("a section must end with \"]\"");
                continue;
            }
            const std::string path = NormalizeKeyPath(line.substr(1, line.size() - 2));
            if (path.empty() || HasControlByte(path)) {
                problem("the section has no usable key name");
                continue;
            }
            key = path;
            store.CreateKey(key, ignored);
            continue;
        }
        if (key.empty()) {
            problem("a value outside any readable section");
            continue;
        }
        std::string why;
        std::string_view rest = line;
        auto name = Unquote(rest, why);
        if (!name) {
            problem("the value name: " + why);
            continue;
        }
        rest = TrimBlanks(rest);
        const auto colon = rest.find(':');
        if (rest.empty() || rest.front() != '=' || colon == std::string_view::npos) {
            problem("\"" + *name + "\" needs =type:data");
            continue;
        }
        const auto value =
            ParseValue(TrimBlanks(rest.substr(1, colon - 1)), rest.substr(colon + 1), why);
        if (!value) {
            problem("\"" + *name + "\": " + why);
            continue;
        }
        store.WriteValue(key, *name, *value, ignored);
    }
    return store;
}

FileSettingsStore::FileSettingsStore(std::string path, Reporter& reporter)
    : path_(std::move(path)) {
    struct stat st {};
    if (stat(path_.c_str(), &st) != 0) {
        if (errno == ENOENT) return;  // a first start
        refusal_ = path_ + ": " + std::strerror(errno);
    } else if (const auto text = ReadWholeFile(path_)) {
        std::vector<std::string> problems;
        image_ = ParseSettingsStore(*text, problems);
        if (problems.empty()) return;
        std::string message = "The settings file " + path_ + " is damaged: " + problems.front();
        if (problems.size() > 1)
            message += " (and " + std::to_string(problems.size() - 1) + " more unreadable lines)";
        message += ". The unreadable lines are left out";
        std::string error;
        if (WriteFileAtomically(path_ + ".damaged", *text, error) == kWriteDone)
            message += "; the file as it was is kept in " + path_ + ".damaged.";
        else
            message += ", and no copy of the file could be kept: " + error + ".";
        reporter.Report(message);
        return;
    } else {
        refusal_ = path_ + ": the file cannot be read";
    }
    reporter.Report("The settings file " + refusal_ +
                    ". The program starts with its default settings and will not overwrite it.");
}

bool FileSettingsStore::Commit(const MemorySettingsStore& next, std::string& error) {
    if (!refusal_.empty()) {
        error = refusal_;
        return false;
    }
    const auto slash = path_.find_last_of('/');
    if (slash != std::string::npos && !MakeDirectories(path_.substr(0, slash), error)) return false;
    if (WriteFileAtomically(path_, FormatSettingsStore(next), error) != kWriteDone) return false;
    image_ = next;
    return true;
}

bool FileSettingsStore::KeyExists(std::string_view key) const {
    return image_.KeyExists(key);
}

bool FileSettingsStore::CreateKey(std::string_view key, std::string& error) {
    if (HasControlByte(key)) {
        error = "A settings key name cannot hold control characters.";
        return false;
    }
    if (image_.KeyExists(key)) return true;
    MemorySettingsStore next = image_;
    return next.CreateKey(key, error) && Commit(next, error);
}

std::optional<RegValue> FileSettingsStore::ReadValue(std::string_view key,
                                                     std::string_view name) const {
    return image_.ReadValue(key, name);
}

bool FileSettingsStore::WriteValue(std::string_view key, std::string_view name,
                                   const RegValue& value, std::string& error) {
    if (HasControlByte(key)) {
        error = "A settings key name cannot hold control characters.";
        return false;
    }
    if (image_.ReadValue(key, name) == value) return true;
    MemorySettingsStore next = image_;
    return next.WriteValue(key, name, value, error) && Commit(next, error);
}

bool FileSettingsStore::DeleteValue(std::string_view key, std::string_view name,
                                    std::string& error) {
    if (HasControlByte(key)) {
        error = "A settings key name cannot hold control characters.";
        return false;
    }
    if (image_.KeyExists(key) && !image_.ReadValue(key, name)) return true;
    MemorySettingsStore next = image_;
    return next.DeleteValue(key, name, error) && Commit(next, error);
}

std::unique_ptr<SettingsStore> OpenUserSettingsStore(Reporter& reporter) {
    return std::make_unique<FileSettingsStore>(SettingsStorePath(), reporter);
}

}  // namespace ringmere
