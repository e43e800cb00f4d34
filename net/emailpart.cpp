#include "net/emailpart.h"

#include "ui_emailpart.h"
#include "widgets/form_text.h"

namespace ringmere::net {

using widgets::ShownText;
using widgets::StoredText;

EmailPart::EmailPart(bool withLogin, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::EmailPart>()), withLogin_(withLogin) {
    ui_->setupUi(this);
    ui_->pnLogin->setVisible(withLogin);
    ui_->rbMAPI->setChecked(true);
    ShowMethodPage();
    connect(ui_->rbSMTP, &QRadioButton::toggled, this, &EmailPart::ShowMethodPage);
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
