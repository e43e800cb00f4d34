// The texts of mail: recipient lists, addresses, the server's address and
// the MIME message itself. Pure functions, so that every rule is tested
// without a server.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ringmere::run {

// A copy of `text` with every ";" replaced by ",".
std::string SplitRecipientsForSMTP(const std::string& text);

// Splits `text` at each ";" and adds every trimmed piece to `list`, the
// last one even when it is empty; returns the number of entries added.
int SplitRecipientsForMAPI(const std::string& text, std::vector<std::string>& list);

// How the SMTP client reads a recipient list: pieces between commas that
// are not inside a double-quoted part, trimmed, empty ones skipped.
std::vector<std::string> SplitAddressList(std::string_view text);

struct Mailbox {
    std::string name;  // display name, may be empty
    std::string address;
    bool operator==(const Mailbox&) const = default;
};

// "ann@example.org", "Ann <ann@example.org>" or "\"Doe, Ann\" <ann@...>".
// Nothing for a text with control characters, or an address with blanks
// or brackets: such a text can only be a mistake or an attempt to add a
// command, a recipient or a header.
std::optional<Mailbox> ParseMailbox(std::string_view piece);

// Where the SMTP server is: "host", "host:port", "[v6]:port",
// "smtp://host[:port]" or "smtps://host[:port]". Port 465 and smtps mean
// TLS from the start; otherwise the port is 25.
struct SmtpServer {
    std::string url;  // for libcurl, e.g. "smtp://mail.example.org:587"
    bool implicitTls = false;
};
std::optional<SmtpServer> ParseSmtpServer(std::string_view text);

struct MailPart {
    std::string fileName;     // UTF-8
    std::string contentType;  // e.g. "application/pdf"
    std::string data;
};

struct MailContent {
    Mailbox from;
    std::vector<Mailbox> to;
    std::string subject;  // as the alarm file keeps it: UTF-8 or Windows-1252
    std::string body;
    std::vector<MailPart> attachments;
    std::string date;       // RFC 5322 date-time
    std::string messageId;  // without the angle brackets
    std::string boundary;   // a random text; lengthened if the body holds it
};

// The whole message with CRLF line ends, ready for DATA or sendmail.
std::string BuildMime(const MailContent& m);

// A header text as one or more RFC 2047 encoded words when it needs them
// (non-ASCII, or "=?"); control characters become blanks first, so that
// no text can end the header line.
std::string EncodeHeaderText(std::string_view text);

std::string Base64(std::string_view data);

// The first `count` characters of a text (code points for UTF-8, bytes
// otherwise).
std::string CutCharacters(const std::string& text, std::size_t count);

}  // namespace ringmere::run
