#include "platform/autostart_entry.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include <unistd.h>

#include "core/fileio.h"
#include "platform/paths.h"

namespace ringmere {

namespace {

// Characters that make an Exec argument need quotes.
bool NeedsQuotes(std::string_view arg) {
    if (arg.empty()) return true;
    for (char c : arg)
        if (std::string_view(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos)
            return true;
    return false;
}

// Desktop-file texts escape backslashes and line breaks.
std::string EscapeString(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string UnescapeString(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out.push_back(s[i]);
            continue;
        }
        switch (s[++i]) {
            case 's':
                out.push_back(' ');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case '\\':
                out.push_back('\\');
                break;
            default:
                out.push_back('\\');
                out.push_back(s[i]);
        }
    }
    return out;
}

std::string ExecArgument(std::string_view arg) {
    std::string quoted;
    if (NeedsQuotes(arg)) {
        quoted = "\"";
        for (char c : arg) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') quoted.push_back('\\');
            quoted.push_back(c);
        }
        quoted.push_back('"');
    } else {
        quoted = arg;
    }
    // "%" starts a field code.
    std::string out;
    for (char c : quoted) {
        out.push_back(c);
        if (c == '%') out.push_back('%');
    }
    return out;
}

}  // namespace

std::string DesktopExecLine(const std::string& program, const std::string& argument) {
    return EscapeString(ExecArgument(program) + " " + ExecArgument(argument));
}

namespace {

// The value of `wanted` in the main group; nothing when the key is absent.
std::optional<std::string> MainGroupValue(const std::string& text, std::string_view wanted) {
    std::string_view rest = text;
    bool inMainGroup = false;
    while (!rest.empty()) {
        const auto eol = rest.find('\n');
        std::string_view line = rest.substr(0, eol);
        rest = eol == std::string_view::npos ? std::string_view{} : rest.substr(eol + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup) continue;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view key = line.substr(0, eq);
        while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
        if (key != wanted) continue;
        std::string_view value = line.substr(eq + 1);
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        return UnescapeString(value);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> DesktopAutoStartEntry::Read() const {
    const auto text = ReadWholeFile(path_);
    if (!text) return std::nullopt;
    return MainGroupValue(*text, "Exec").value_or(std::string());
}

bool DesktopAutoStartEntry::DisabledByUser() const {
    const auto text = ReadWholeFile(path_);
    if (!text) return false;
    return MainGroupValue(*text, "Hidden") == "true" ||
           MainGroupValue(*text, "X-GNOME-Autostart-enabled") == "false";
}

bool DesktopAutoStartEntry::Write(const std::string& program, const std::string& argument,
                                  std::string& error) {
    const std::string text =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Ringmere\n"
        "Comment=Alarms and scheduled tasks\n"
        "Exec=" +
        DesktopExecLine(program, argument) +
        "\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    const auto slash = path_.find_last_of('/');
    if (slash != std::string::npos && !MakeDirectories(path_.substr(0, slash), error)) return false;
    return WriteFileAtomically(path_, text, error) == kWriteDone;
}

bool DesktopAutoStartEntry::Remove(std::string& error) {
    if (::unlink(path_.c_str()) == 0 || errno == ENOENT) return true;
    error = path_ + ": " + std::strerror(errno);
    return false;
}

}  // namespace ringmere
