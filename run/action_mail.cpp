// Sending mail and pages: the run's action.
#include "run/actions.h"
#include "run/mail.h"

namespace ringmere::run {

Outcome StandardActions::SendMessage(RunSession& s, const smtpmessage& mail, bool step) {
    MailSender* sender = services_.mail;
    if (!sender) {
        s.Report(kMailUnavailable);
        return Outcome::Continue;
    }
    const bool useSmtp = sender->Settings().UseSMTP;
    if (!step || useSmtp) s.Report(kSendingMessage);
    if (!step) s.Waiter().ProcessEvents();
    Outcome outcome = Outcome::Continue;
    SendMail(*sender, smtp_, mail, s.Waiter(), [&s] { return s.CancelRequested(); },
             [&](MailEvent event, const std::string& text) {
                 switch (event) {
                     case MailEvent::MissingAttachment:
                         s.MarkFailed();
                         return s.Report(kMissingAttachment + text);
                     case MailEvent::ConnectFailed:
                         outcome = Outcome::EndRun;
                         s.Report(kUnableToConnect);
                         if (!text.empty()) s.Report(text);
                         return;
                     case MailEvent::LoginRefused:
                         outcome = Outcome::EndRun;
                         return s.Report(text);
                     case MailEvent::SendFailed:
                         outcome = Outcome::EndRun;
                         if (!step) {
                             s.Report(kErrorSending);
                             if (!text.empty()) s.Report(text);
                             return;
                         }
                         if (!text.empty()) s.Report(text);
                         services_.dialogs.Message(
                             s.Window(), widgets::BoxKind::Warning,
                             QString::fromStdString(WithReason(kErrorSending, text)));
                         return;
                     case MailEvent::LocalFailed:
                         s.MarkFailed();
                         if (!text.empty()) s.Report(text);
                         return s.Report(kLocalFailed);
                     case MailEvent::Sent:
                         if (!useSmtp) return s.Report(kLocalSent);
                         if (!step) s.Report(kSentSuccessfully);
                         return;
                     case MailEvent::Cancelled:
                         // Nothing was ended: the recipients got no message.
                         outcome = Outcome::EndRun;
                         return s.Report(kSendingCancelled);
                 }
             });
    return outcome;
}

}  // namespace ringmere::run
