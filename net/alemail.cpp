#include "net/alemail.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "net/emailpart.h"
#include "widgets/dialogs.h"
#include "widgets/settings_save.h"

namespace ringmere::net {

Tfrmemail::Tfrmemail(Globals& g, const Services& services, QWidget* owner)
    : QDialog(owner), g_(g), services_(services), part_(new EmailPart(true, services, this)) {
    setObjectName(QStringLiteral("Tfrmemail"));
    setWindowTitle(QStringLiteral("email Settings"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(part_);
    layout->addLayout(buttons);

    part_->Load(g_.Settings);
    connect(ok, &QPushButton::clicked, this, &Tfrmemail::Ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    adjustSize();
    if (owner) move(widgets::PlaceOver(owner, frameGeometry().size()));
}

void Tfrmemail::Ok() {
    part_->Store(g_.Settings);
    widgets::SaveSettingsTelling(g_, services_.dialogs, this, frameGeometry().topLeft());
    accept();
}

void OpenEmailSettings(Globals& g, const Services& services, QWidget* owner) {
    Tfrmemail dialog(g, services, owner);
    widgets::ExecOverOwner(dialog);
}

}  // namespace ringmere::net
