// Sending mail and pages: straight to an SMTP server, or through the local
// mail system (the sendmail interface), as the mail settings choose. The
// network and the mail program work off the user-interface thread; the
// caller waits in short pauses of the waiting service, so that windows
// and the check timer go on while a message is on its way.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/globals.h"
#include "run/waiting.h"
#include "widgets/dialogs.h"

namespace ringmere {
struct Services;
}

namespace ringmere::run {

// Bare addresses for the server or the mail program.
struct Envelope {
    std::string from;
    std::vector<std::string> to;
};

// LoginRefused: the server turned the user name and password down; a
// second try with the same login would only be turned down again.
enum class SendStatus { Sent, ConnectFailed, LoginRefused, SendFailed, Cancelled };

struct SendResult {
    SendStatus status = SendStatus::SendFailed;
    // A failure's cause as a sentence: the server's reply or the system's
    // reason. Never holds the password.
    std::string reason;
};

// What a server said about TLS before any login.
enum class TlsOffer { FromTheStart, StartTls, None, Unknown };
struct TlsCheck {
    TlsOffer offer = TlsOffer::Unknown;
    std::string reason;  // Unknown: why the server could not be asked
};

// Answers true once the caller no longer wants the result (a Snooze, a
// closed window); the send under way is then abandoned.
using CancelCheck = std::function<bool()>;

// One SMTP client: a run window or an editor has its own, and its
// connection stays open between the messages it sends.
class SmtpClient {
public:
    virtual ~SmtpClient() = default;
    // Connects (a failed connect is tried once more on a fresh
    // connection), then sends `data` to the envelope's recipients. A
    // cancel drops the connection at once and never ends the message.
    virtual SendResult Send(const Envelope& envelope, const std::string& data, Waiting& waiting,
                            const CancelCheck& cancelled) = 0;
};

struct LocalMailResult {
    SendStatus status = SendStatus::SendFailed;
    int code = 0;       // the mail program's exit status
    std::string error;  // when the program could not be run
};

class MailSender {
public:
    virtual ~MailSender() = default;
    // The mail settings as they are now.
    virtual const SettingsRec& Settings() const = 0;
    virtual std::unique_ptr<SmtpClient> NewSmtpClient() = 0;
    // Hands the message to the local mail system.
    virtual LocalMailResult SendLocal(const Envelope& envelope, const std::string& data,
                                      Waiting& waiting, const CancelCheck& cancelled) = 0;
    // Whether the local mail program is there to be run.
    virtual bool LocalMailInstalled() const = 0;
    // Greets the server named by `serverText` (as the settings hold it)
    // and asks for TLS, sending no login.
    virtual TlsCheck CheckTls(const std::string& serverText, Waiting& waiting,
                              const CancelCheck& cancelled) = 0;
};

struct MailOptions {
    std::string sendmail = "/usr/sbin/sendmail";
    int connectTimeoutMs = 30000;
    int sendTimeoutMs = 120000;  // a whole send, and a run of the mail program
    std::string caFile;          // certificates to trust instead of the system's
    int quitBoundMs = 5000;      // the longest the program's end waits for a send
};

// libcurl for SMTP, the sendmail program for local mail. `settings` must
// outlive the sender.
std::unique_ptr<MailSender> NewSystemMailSender(const SettingsRec& settings,
                                                MailOptions options = {});

// What a send said, in the order it happened.
enum class MailEvent {
    MissingAttachment,  // text: the path
    ConnectFailed,      // text: why, or empty
    LoginRefused,       // text: the line that says so, with the server's reply
    SendFailed,         // text: why, or empty
    LocalFailed,  // text: why the mail program did not run, or empty
    Sent,
    Cancelled,
};

// Sends `mail` as the settings choose. `smtp` is the caller's own client,
// made when null. `onEvent` hears every missing attachment, then the
// outcome.
void SendMail(MailSender& sender, std::shared_ptr<SmtpClient>& smtp, const smtpmessage& mail,
              Waiting& waiting, const CancelCheck& cancelled,
              const std::function<void(MailEvent, const std::string&)>& onEvent);

// A box's text and, below it, why.
std::string WithReason(const std::string& text, const std::string& reason);

// The editors' "Send Test Message": the message boxes to show, in order.
// After a send through the local mail system the last one is the success
// box; the step editor closes itself instead of showing it (`localSent`).
struct TestMessageBoxes {
    struct Box {
        widgets::BoxKind kind;
        std::string text;
    };
    std::vector<Box> boxes;
    bool localSent = false;
};
TestMessageBoxes SendTestMessage(const Services& services, std::shared_ptr<SmtpClient>& smtp,
                                 const smtpmessage& mail, const CancelCheck& cancelled = {});

inline constexpr const char* kSendingMessage = "Sending message...";
inline constexpr const char* kSendingCancelled = "Sending cancelled.";
inline constexpr const char* kUnableToConnect =
    "Unable to connect to SMTP server.  Check your SMTP server settings.";
inline constexpr const char* kErrorSending = "Error sending message.";
inline constexpr const char* kMissingAttachment = "Error finding attachment: ";
inline constexpr const char* kSentSuccessfully = "Message was sent successfully.";
inline constexpr const char* kLocalSent = "Message was sent successfully";
// The run line, kept as logs have it; the editors' boxes say what happened.
inline constexpr const char* kLocalFailed = "MAPI Sendmail failed.";
inline constexpr const char* kLocalFailedBox =
    "The system's mail program (sendmail) could not send the message.";
inline constexpr const char* kLocalSentBox =
    "The message was handed to the system's mail program (sendmail).";
inline constexpr const char* kNoName = "There must be at least one name in the To box.";

}  // namespace ringmere::run
