#include "net/emailpart.h"

#include <QPointer>

#include "run/mail.h"
#include "ui_emailpart.h"
#include "widgets/form_text.h"

namespace ringmere::net {

using widgets::ShownText;
using widgets::StoredText;

namespace {

// What is known without asking the server: the client takes TLS when the
// server offers it, and sends the login in clear text when it does not.
const char* kTlsUnknown =
    "The user name and password are sent encrypted only when the server offers TLS; "
    "without it they go over the network in clear text.  Check Server asks the server.";

QString TlsNote(const run::TlsCheck& check) {
    switch (check.offer) {
        case run::TlsOffer::FromTheStart:
            return QStringLiteral("TLS from the start: the user name and password are sent "
                                  "encrypted.");
        case run::TlsOffer::StartTls:
            return QStringLiteral("The server offers TLS (STARTTLS): the user name and password "
                                  "are sent encrypted.");
        case run::TlsOffer::None:
            return QStringLiteral("This server offers no TLS: the user name and password are "
                                  "sent in clear text.  Ask your provider for a TLS port and "
                                  "enter smtps://host or host:465.");
        case run::TlsOffer::Unknown:
            break;
    }
    return QStringLiteral("The server could not be checked: ") + QString::fromStdString(check.reason);
}

}  // namespace

EmailPart::EmailPart(bool withLogin, const Services& services, QWidget* parent)
    : QWidget(parent),
      ui_(std::make_unique<Ui::EmailPart>()),
      withLogin_(withLogin),
      services_(services) {
    ui_->setupUi(this);
    ui_->pnLogin->setVisible(withLogin);
    const bool local = services_.mail && services_.mail->LocalMailInstalled();
    (local ? ui_->rbMAPI : ui_->rbSMTP)->setChecked(true);
    ShowMethodPage();
    ui_->lblTlsNote->setText(QString::fromLatin1(kTlsUnknown));
    connect(ui_->rbSMTP, &QRadioButton::toggled, this, &EmailPart::ShowMethodPage);
    connect(ui_->btnCheckTls, &QPushButton::clicked, this, &EmailPart::CheckServer);
    // A check said something of the server it asked, not of a new one.
    connect(ui_->teHost, &QLineEdit::textEdited, this,
            [this] { ui_->lblTlsNote->setText(QString::fromLatin1(kTlsUnknown)); });
}

void EmailPart::CheckServer() {
    if (!services_.mail) {
        ui_->lblTlsNote->setText(QStringLiteral("Checking the server is not available in this build."));
        return;
    }
    const std::string server = StoredText(ui_->teHost->text(), loaded_.SMTPServer);
    ui_->btnCheckTls->setEnabled(false);
    ui_->lblTlsNote->setText(QStringLiteral("Asking the server..."));
    QPointer<EmailPart> alive(this);
    const run::TlsCheck check =
        services_.mail->CheckTls(server, services_.waiting, [alive] { return !alive; });
    if (!alive) return;
    ui_->btnCheckTls->setEnabled(true);
    ui_->lblTlsNote->setText(TlsNote(check));
}

EmailPart::~EmailPart() = default;

void EmailPart::ShowMethodPage() {
    ui_->nbMethod->setCurrentWidget(ui_->rbSMTP->isChecked() ? ui_->SMTP : ui_->MAPI);
}

void EmailPart::Load(const SettingsRec& s) {
    loaded_ = s;
    (s.UseSMTP ? ui_->rbSMTP : ui_->rbMAPI)->setChecked(true);
    ShowMethodPage();
    ui_->teHost->setText(ShownText(s.SMTPServer));
    ui_->teSMTPUser->setText(ShownText(s.SMTPUser));
    ui_->teSMTPPass->setText(ShownText(s.SMTPPass));
    ui_->teReply->setText(ShownText(s.ReplyTo));
    ui_->teReplyToM->setText(ShownText(s.ReplyTo));
}

void EmailPart::Store(SettingsRec& s) const {
    if (!ui_->rbSMTP->isChecked()) {
        s.UseSMTP = false;
        s.ReplyTo = StoredText(ui_->teReplyToM->text(), loaded_.ReplyTo);
        return;
    }
    s.UseSMTP = true;
    s.SMTPServer = StoredText(ui_->teHost->text(), loaded_.SMTPServer);
    if (withLogin_) {
        s.SMTPUser = StoredText(ui_->teSMTPUser->text(), loaded_.SMTPUser);
        s.SMTPPass = StoredText(ui_->teSMTPPass->text(), loaded_.SMTPPass);
    }
    s.ReplyTo = StoredText(ui_->teReply->text(), loaded_.ReplyTo);
}

}  // namespace ringmere::net
