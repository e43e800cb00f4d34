// The e-mail settings dialog: how mail is sent, the SMTP server and login,
// and the reply-to address.
#pragma once

#include <QDialog>

#include "core/globals.h"
#include "run/services.h"

namespace ringmere::net {

class EmailPart;

class Tfrmemail : public QDialog {
    Q_OBJECT

public:
    // Filled from g.Settings and placed over `owner`.
    Tfrmemail(Globals& g, const Services& services, QWidget* owner);

    // Stores the boxes into g.Settings, saves the settings and closes. A
    // failed save is reported; the dialog closes all the same.
    void Ok();

private:
    Globals& g_;
    Services services_;
    EmailPart* part_;
};

// Options > "email Settings...": the dialog, modal over `owner`.
void OpenEmailSettings(Globals& g, const Services& services, QWidget* owner);

}  // namespace ringmere::net
