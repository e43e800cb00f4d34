#include "run/mail_text.h"

#include <algorithm>
#include <cctype>

#include "core/text.h"

namespace ringmere::run {

namespace {

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}

// Trimmed as the recipient lists have always been: every character up to
// and including the blank goes at either end, line ends too.
std::string_view Trim(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

std::string Blanked(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (IsControl(static_cast<unsigned char>(c))) c = ' ';
    return out;
}

bool IsPlainAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 && u < 0x7f;
    });
}

// Encoded words of at most 45 bytes of text each (60 of base64, 75 in all
// with the charset), never cutting a UTF-8 sequence.
std::vector<std::string> EncodedWords(std::string_view text) {
    const bool utf8 = IsValidUtf8(text);
    const std::string head = utf8 ? "=?UTF-8?B?" : "=?windows-1252?B?";
    std::vector<std::string> words;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = std::min(text.size(), pos + 45);
        if (utf8)
            while (end < text.size() && end > pos + 1 &&
                   (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
                --end;
        words.push_back(head + Base64(text.substr(pos, end - pos)) + "?=");
        pos = end;
    }
    return words;
}

bool NeedsEncoding(std::string_view s) {
    return !IsPlainAscii(s) || s.find("=?") != std::string_view::npos;
}

std::string Join(const std::vector<std::string>& parts, std::string_view sep) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out += sep;
        out += parts[i];
    }
    return out;
}

std::string Quoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string FormatMailbox(const Mailbox& m) {
    const std::string name = std::string(Trim(Blanked(m.name)));
    if (name.empty()) return m.address;
    std::string shown;
    if (NeedsEncoding(name)) {
        shown = EncodeHeaderText(name);
    } else {
        const bool atoms = std::all_of(name.begin(), name.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) ||
                   std::string_view(" !#$%&'*+-/=?^_`{|}~").find(c) != std::string_view::npos;
        });
        shown = atoms ? name : Quoted(name);
    }
    return shown + " <" + m.address + ">";
}

// One line ending: CRLF, whatever the text used.
std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.emplace_back();
        } else {
            lines.back() += c;
        }
    }
    return lines;
}

std::string QuotedPrintable(const std::vector<std::string>& lines) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        std::size_t width = 0;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const auto c = static_cast<unsigned char>(line[i]);
            const bool last = i + 1 == line.size();
            std::string token;
            if ((c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last))
                token = std::string(1, char(c));
            else
                token = {'=', hex[c >> 4], hex[c & 15]};
            if (width + token.size() > 75) {
                out += "=\r\n";
                width = 0;
            }
            out += token;
            width += token.size();
        }
        if (n + 1 < lines.size()) out += "\r\n";
    }
    return out;
}

std::string Base64Lines(std::string_view data) {
    const std::string flat = Base64(data);
    std::string out;
    for (std::size_t i = 0; i < flat.size(); i += 76) out += flat.substr(i, 76) + "\r\n";
    return out;
}

std::string ParameterValue(std::string_view key, std::string_view value, bool extended) {
    const std::string v = Blanked(value);
    if (!NeedsEncoding(v)) return std::string(key) + "=" + Quoted(v);
    if (!extended) return std::string(key) + "=\"" + Join(EncodedWords(v), " ") + "\"";
    // RFC 2231
    std::string out = std::string(key) + "*=" + (IsValidUtf8(v) ? "UTF-8''" : "windows-1252''");
    static const char* hex = "0123456789ABCDEF";
    for (char ch : v) {
        const auto c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) || std::string_view("!#$&+-.^_`|~").find(ch) != std::string_view::npos)
            out += ch;
        else
            out += {'%', hex[c >> 4], hex[c & 15]};
    }
    return out;
}

std::string SafeContentType(const std::string& type) {
    const bool ok = !type.empty() && std::all_of(type.begin(), type.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.' || c == '+' ||
               c == '-';
    });
    return ok ? type : "application/octet-stream";
}

}  // namespace

std::string SplitRecipientsForSMTP(const std::string& text) {
    std::string out = text;
    std::replace(out.begin(), out.end(), ';', ',');
    return out;
}

int SplitRecipientsForMAPI(const std::string& text, std::vector<std::string>& list) {
    int added = 0;
    std::string_view rest = text;
    for (std::size_t semi; (semi = rest.find(';')) != std::string_view::npos;) {
        list.emplace_back(Trim(rest.substr(0, semi)));
        ++added;
        rest.remove_prefix(semi + 1);
    }
    list.emplace_back(Trim(rest));
    return added + 1;
}

std::vector<std::string> SplitAddressList(std::string_view text) {
    std::vector<std::string> pieces;
    std::string piece;
    bool quoted = false;
    auto flush = [&] {
        const std::string_view t = Trim(piece);
        if (!t.empty()) pieces.emplace_back(t);
        piece.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '\\' && i + 1 < text.size()) {
            piece += c;
            piece += text[++i];
            continue;
        }
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted) {
            flush();
            continue;
        }
        piece += c;
    }
    flush();
    return pieces;
}

std::optional<Mailbox> ParseMailbox(std::string_view piece) {
    const std::string_view t = Trim(piece);
    if (std::any_of(t.begin(), t.end(), [](char c) { return IsControl(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    Mailbox m;
    std::string_view address = t;
    if (!t.empty() && t.back() == '>') {
        const std::size_t open = t.rfind('<');
        if (open == std::string_view::npos) return std::nullopt;
        address = t.substr(open + 1, t.size() - open - 2);
        std::string_view name = Trim(t.substr(0, open));
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
            name = name.substr(1, name.size() - 2);
            for (std::size_t i = 0; i < name.size(); ++i) {
                if (name[i] == '\\' && i + 1 < name.size()) ++i;
                m.name += name[i];
            }
        } else {
            m.name = std::string(name);
        }
    }
    if (address.empty()) return std::nullopt;
    for (char ch : address) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= ' ' || c == 0x7f || std::string_view("<>,;\"()\\").find(ch) != std::string_view::npos)
            return std::nullopt;
    }
    m.address = std::string(address);
    return m;
}

std::optional<SmtpServer> ParseSmtpServer(std::string_view text) {
    std::string_view rest = Trim(text);
    auto starts = [&](std::string_view prefix) {
        if (rest.size() < prefix.size()) return false;
        for (std::size_t i = 0; i < prefix.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(rest[i])) != prefix[i]) return false;
        rest.remove_prefix(prefix.size());
        return true;
    };
    bool tls = false;
    if (starts("smtps://"))
        tls = true;
    else
        starts("smtp://");
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);

    std::string_view host = rest;
    std::string_view port;
    bool hasPort = false;
    bool v6 = false;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        host = rest.substr(1, close - 1);
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return std::nullopt;
            port = after.substr(1);
            hasPort = true;
        }
        v6 = true;
    } else if (const std::size_t colon = rest.find(':'); colon != std::string_view::npos) {
        if (rest.find(':', colon + 1) == std::string_view::npos) {
            host = rest.substr(0, colon);
            port = rest.substr(colon + 1);
            hasPort = true;
        } else {
            v6 = true;  // a bare IPv6 address
        }
    }
    if (host.empty()) return std::nullopt;
    for (char ch : host) {
        const auto c = static_cast<unsigned char>(ch);
        const bool ok = std::isalnum(c) || c >= 0x80 || ch == '-' || ch == '.' || ch == '_' ||
                        (v6 && (ch == ':' || ch == '%'));
        if (!ok) return std::nullopt;
    }
    int number = tls ? 465 : 25;
    if (hasPort) {
        if (port.empty() || port.size() > 5) return std::nullopt;
        number = 0;
        for (char c : port) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
            number = number * 10 + (c - '0');
        }
        if (number < 1 || number > 65535) return std::nullopt;
    }
    SmtpServer s;
    s.implicitTls = tls || number == 465;
    s.url = std::string(s.implicitTls ? "smtps://" : "smtp://") +
            (v6 ? "[" + std::string(host) + "]" : std::string(host)) + ":" + std::to_string(number);
    return s;
}

std::string Base64(std::string_view data) {
    static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        const unsigned v = unsigned(static_cast<unsigned char>(data[i])) << 16 |
                           unsigned(static_cast<unsigned char>(data[i + 1])) << 8 |
                           static_cast<unsigned char>(data[i + 2]);
        out += {abc[v >> 18], abc[(v >> 12) & 63], abc[(v >> 6) & 63], abc[v & 63]};
    }
    if (i < data.size()) {
        unsigned v = unsigned(static_cast<unsigned char>(data[i])) << 16;
        if (i + 1 < data.size()) v |= unsigned(static_cast<unsigned char>(data[i + 1])) << 8;
        out += {abc[v >> 18], abc[(v >> 12) & 63]};
        out += i + 1 < data.size() ? abc[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string EncodeHeaderText(std::string_view text) {
    const std::string s = Blanked(text);
    return NeedsEncoding(s) ? Join(EncodedWords(s), "\r\n ") : s;
}

std::string CutCharacters(const std::string& text, std::size_t count) {
    if (!IsValidUtf8(text)) return text.substr(0, count);
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (chars++ == count) return text.substr(0, i);
    }
    return text;
}

std::string BuildMime(const MailContent& m) {
    const std::vector<std::string> lines = Lines(m.body);
    const bool seven = std::all_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.size() <= 998 && std::all_of(l.begin(), l.end(), [](char c) {
                   const auto u = static_cast<unsigned char>(c);
                   return u != 0 && u < 0x80;
               });
    });
    const std::string body = seven ? Join(lines, "\r\n") : QuotedPrintable(lines);
    const std::string textHeaders =
        std::string("Content-Type: text/plain; charset=") +
        (IsValidUtf8(m.body) ? "UTF-8" : "windows-1252") +
        "\r\nContent-Transfer-Encoding: " + (seven ? "7bit" : "quoted-printable") + "\r\n";

    std::string out = "Date: " + Blanked(m.date) + "\r\n";
    if (!m.from.address.empty()) out += "From: " + FormatMailbox(m.from) + "\r\n";
    std::vector<std::string> to;
    for (const Mailbox& r : m.to) to.push_back(FormatMailbox(r));
    if (!to.empty()) out += "To: " + Join(to, ",\r\n ") + "\r\n";
    out += "Subject: " + EncodeHeaderText(m.subject) + "\r\n";
    out += "Message-ID: <" + Blanked(m.messageId) + ">\r\n";
    out += "MIME-Version: 1.0\r\n";
    if (m.attachments.empty()) return out + textHeaders + "\r\n" + body + "\r\n";

    std::string boundary = m.boundary.empty() ? "=_part" : m.boundary;
    while (body.find(boundary) != std::string::npos) boundary += "_";
    out += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    out += "This is a multi-part message in MIME format.\r\n";
    out += "--" + boundary + "\r\n" + textHeaders + "\r\n" + body + "\r\n";
    for (const MailPart& part : m.attachments) {
        out += "--" + boundary + "\r\n";
        out += "Content-Type: " + SafeContentType(part.contentType) + "; " +
               ParameterValue("name", part.fileName, false) + "\r\n";
        out += "Content-Disposition: attachment; " +
               ParameterValue("filename", part.fileName, true) + "\r\n";
        out += "Content-Transfer-Encoding: base64\r\n\r\n";
        out += Base64Lines(part.data);
    }
    return out + "--" + boundary + "--\r\n";
}

}  // namespace ringmere::run
