// The e-mail part shared by the set-up wizard's second page and the e-mail
// settings dialog: the method, the SMTP server and the reply-to address.
#pragma once

#include <QWidget>
#include <memory>

#include "core/globals.h"
#include "run/services.h"

namespace Ui {
class EmailPart;
}

namespace ringmere::net {

class EmailPart : public QWidget {
    Q_OBJECT

public:
    // The wizard goes without the login boxes. Until Load, the method is
    // the local mail program when one is installed, SMTP otherwise.
    EmailPart(bool withLogin, const Services& services, QWidget* parent = nullptr);
    ~EmailPart() override;

    // The radio button and its page from UseSMTP, the boxes from the settings.
    void Load(const SettingsRec& s);
    // Only what the chosen method shows is stored: with MAPI the SMTP values
    // stay as they were. No field is checked.
    void Store(SettingsRec& s) const;

    // "Check Server": asks the server in the host box whether it takes
    // TLS (no login is sent) and says beside the password what that means.
    void CheckServer();

private:
    void ShowMethodPage();

    std::unique_ptr<Ui::EmailPart> ui_;
    bool withLogin_;
    Services services_;
    SettingsRec loaded_;  // unchanged texts are stored as they were read
};

}  // namespace ringmere::net
