#include "run/mail.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRandomGenerator>
#include <algorithm>
#include <optional>

#include "core/text.h"
#include "run/actions.h"
#include "run/mail_text.h"
#include "run/services.h"
#include "widgets/file_text.h"

namespace ringmere::run {

namespace {

// Bigger files are refused rather than read whole into memory.
constexpr qint64 kMaxAttachment = 64 * 1024 * 1024;

std::optional<MailPart> ReadAttachment(const std::string& path) {
    const QString name = widgets::FromFileText(path);
    const QFileInfo info(name);
    if (name.isEmpty() || !info.isFile() || info.size() > kMaxAttachment) return std::nullopt;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    static const QMimeDatabase types;
    return MailPart{info.fileName().toStdString(),
                    types.mimeTypeForFile(info, QMimeDatabase::MatchExtension).name().toStdString(),
                    data.toStdString()};
}

std::string RandomHex(int bytes) {
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < bytes; ++i) {
        const quint32 v = QRandomGenerator::system()->bounded(256u);
        out += hex[v >> 4];
        out += hex[v & 15];
    }
    return out;
}

}  // namespace

std::string WithReason(const std::string& text, const std::string& reason) {
    return reason.empty() ? text : text + "\n\n" + reason;
}

void SendMail(MailSender& sender, std::shared_ptr<SmtpClient>& smtp, const smtpmessage& mail,
              Waiting& waiting, const CancelCheck& cancelled,
              const std::function<void(MailEvent, const std::string&)>& onEvent) {
    const bool useSmtp = sender.Settings().UseSMTP;
    MailContent content;
    Envelope envelope;
    bool usable = true;

    if (!TrimBlanks(mail.from).empty()) {
        const auto from = ParseMailbox(mail.from);
        usable = from.has_value();
        if (from) content.from = *from;
    }
    envelope.from = content.from.address;
    std::vector<std::string> pieces;
    if (useSmtp) {
        pieces = SplitAddressList(SplitRecipientsForSMTP(mail.mto));
    } else {
        SplitRecipientsForMAPI(mail.mto, pieces);
        pieces.erase(std::remove(pieces.begin(), pieces.end(), std::string()), pieces.end());
    }
    for (const std::string& piece : pieces) {
        const auto to = ParseMailbox(piece);
        if (!to) {
            usable = false;
            continue;
        }
        content.to.push_back(*to);
        envelope.to.push_back(to->address);
    }
    if (envelope.to.empty()) usable = false;

    content.subject = useSmtp ? mail.subject : CutCharacters(mail.subject, 255);
    content.body = mail.msg;
    const std::size_t count =
        std::min<std::size_t>(std::max<Integer>(mail.nAttach, 0), mail.Attachment.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (auto part = ReadAttachment(mail.Attachment[i]))
            content.attachments.push_back(std::move(*part));
        else
            onEvent(MailEvent::MissingAttachment, mail.Attachment[i]);
    }
    if (!usable) {
        onEvent(useSmtp ? MailEvent::SendFailed : MailEvent::LocalFailed, {});
        return;
    }

    content.date = QDateTime::currentDateTime().toString(Qt::RFC2822Date).toStdString();
    const std::size_t at = content.from.address.rfind('@');
    const std::string domain =
        at == std::string::npos ? "ringmere.localhost" : content.from.address.substr(at + 1);
    content.messageId = RandomHex(12) + "." +
                        std::to_string(QDateTime::currentMSecsSinceEpoch()) + "@" + domain;
    content.boundary = "=_" + RandomHex(12);
    const std::string data = BuildMime(content);

    if (useSmtp) {
        if (!smtp) smtp = sender.NewSmtpClient();
        const SendResult sent = smtp->Send(envelope, data, waiting, cancelled);
        switch (sent.status) {
            case SendStatus::Sent:
                return onEvent(MailEvent::Sent, {});
            case SendStatus::ConnectFailed:
                return onEvent(MailEvent::ConnectFailed, sent.reason);
            case SendStatus::LoginRefused:
                return onEvent(MailEvent::LoginRefused, sent.reason);
            case SendStatus::SendFailed:
                return onEvent(MailEvent::SendFailed, sent.reason);
            case SendStatus::Cancelled:
                return onEvent(MailEvent::Cancelled, {});
        }
        return;
    }
    const LocalMailResult local = sender.SendLocal(envelope, data, waiting, cancelled);
    if (local.status == SendStatus::Sent)
        onEvent(MailEvent::Sent, {});
    else if (local.status == SendStatus::Cancelled)
        onEvent(MailEvent::Cancelled, {});
    else
        onEvent(MailEvent::LocalFailed, local.error);
}

TestMessageBoxes SendTestMessage(const Services& services, std::shared_ptr<SmtpClient>& smtp,
                                 const smtpmessage& mail, const CancelCheck& cancelled) {
    using widgets::BoxKind;
    TestMessageBoxes out;
    auto box = [&](BoxKind kind, const std::string& text) { out.boxes.push_back({kind, text}); };
    if (!services.mail) {
        box(BoxKind::Warning, kMailUnavailable);
        return out;
    }
    const bool useSmtp = services.mail->Settings().UseSMTP;
    if (!useSmtp && TrimBlanks(mail.mto).empty()) {
        box(BoxKind::Warning, kNoName);
        return out;
    }
    SendMail(*services.mail, smtp, mail, services.waiting, cancelled,
             [&](MailEvent event, const std::string& text) {
                 switch (event) {
                     case MailEvent::MissingAttachment:
                         return box(BoxKind::Warning, kMissingAttachment + text);
                     case MailEvent::ConnectFailed:
                         return box(BoxKind::Warning, WithReason(kUnableToConnect, text));
                     case MailEvent::LoginRefused:
                         return box(BoxKind::Warning, text);
                     case MailEvent::SendFailed:
                         return box(BoxKind::Warning, WithReason(kErrorSending, text));
                     case MailEvent::LocalFailed:
                         if (!text.empty()) box(BoxKind::Warning, text);
                         return box(BoxKind::Warning, kLocalFailedBox);
                     case MailEvent::Sent:
                         if (useSmtp) return box(BoxKind::Confirmation, kSentSuccessfully);
                         out.localSent = true;
                         return box(BoxKind::Information, kLocalSentBox);
                     case MailEvent::Cancelled:
                         return;
                 }
             });
    return out;
}

}  // namespace ringmere::run
