// The e-mail part shared by the set-up wizard's second page and the e-mail
// settings dialog: the method, the SMTP server and the reply-to address.
#pragma once

#include <QWidget>
#include <memory>

#include "core/globals.h"

namespace Ui {
class EmailPart;
}

namespace ringmere::net {

class EmailPart : public QWidget {
    Q_OBJECT

public:
    // The wizard goes without the login boxes.
    explicit EmailPart(bool withLogin, QWidget* parent = nullptr);
    ~EmailPart() override;

    // The radio button and its page from UseSMTP, the boxes from the settings.
    void Load(const SettingsRec& s);
    // Only what the chosen method shows is stored: with MAPI the SMTP values
    // stay as they were. No field is checked.
    void Store(SettingsRec& s) const;

private:
    void ShowMethodPage();

    std::unique_ptr<Ui::EmailPart> ui_;
    bool withLogin_;
    SettingsRec loaded_;  // unchanged texts are stored as they were read
};

}  // namespace ringmere::net
