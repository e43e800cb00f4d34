#include "net/alstartup.h"

#include <QIcon>
#include <QUrl>
#include <algorithm>

#include "core/activitylog.h"
#include "core/alarmfile.h"
#include "core/alarmtable.h"
#include "core/fileio.h"
#include "net/emailpart.h"
#include "net/modepages.h"
#include "net/shared_reload.h"
#include "ui_alstartup.h"
#include "widgets/dialogs.h"
#include "widgets/file_text.h"

// Resources of a static library are registered by hand.
static void InitNetResources() {
    Q_INIT_RESOURCE(net);
}

namespace ringmere::net {

using widgets::FromFileText;

namespace {

// A web address as it may be shown: without a user name or password.
QString Shown(const std::string& location, bool web) {
    const QString text = FromFileText(location);
    return web ? QUrl(text).toString(QUrl::RemoveUserInfo) : text;
}

}  // namespace

TfrmAStartUp::TfrmAStartUp(Globals& g, const Services& services, QWidget* owner)
    : QDialog(owner),
      ui_(std::make_unique<Ui::TfrmAStartUp>()),
      g_(g),
      services_(services),
      email_(new EmailPart(false, services, this)),
      modes_(new ModePages(g, services, ModePages::Host::Wizard, this)) {
    InitNetResources();
    ui_->setupUi(this);
    ui_->emailLayout->addWidget(email_);
    ui_->emailLayout->addStretch();
    // The previous mode is not looked at: the pages start as they are made.
    modes_->boxCorner = [this] { return std::optional(Corner()); };
    ui_->networkLayout->addWidget(modes_);
    ui_->imgSide->setPixmap(QIcon(QStringLiteral(":/net/ringmere.svg")).pixmap(96, 96));
    QFont title = ui_->lblSideTitle->font();
    title.setPointSizeF(title.pointSizeF() * 1.6);
    title.setBold(true);
    ui_->lblSideTitle->setFont(title);
    for (QLabel* heading : {ui_->lblWelcomeTitle, ui_->lblEmailTitle, ui_->lblNetworkTitle,
                            ui_->lblFinishTitle}) {
        QFont f = heading->font();
        f.setPointSizeF(f.pointSizeF() * 1.3);
        f.setBold(true);
        heading->setFont(f);
    }
    ui_->lblVersion->setText(QString::fromStdString(g_.VersionText));
    ui_->lblVersion->setWordWrap(true);

    connect(ui_->btnNext, &QPushButton::clicked, this, &TfrmAStartUp::Next);
    connect(ui_->btnPrevious, &QPushButton::clicked, this, &TfrmAStartUp::Previous);
    connect(ui_->btnFinish, &QPushButton::clicked, this, &QDialog::accept);
    ShowPage(kWelcome);
    move(50, 50);
}

TfrmAStartUp::~TfrmAStartUp() = default;

int TfrmAStartUp::Page() const {
    return ui_->nbPages->currentIndex();
}

void TfrmAStartUp::ShowPage(int page) {
    ui_->nbPages->setCurrentIndex(page);
    ui_->btnPrevious->setEnabled(page != kWelcome);
    ui_->btnNext->setVisible(page != kFinish);
    ui_->btnFinish->setVisible(page == kFinish);
    (page == kFinish ? ui_->btnFinish : ui_->btnNext)->setDefault(true);
}

void TfrmAStartUp::Next() {
    switch (Page()) {
        case kWelcome:
            ShowPage(kEmail);
            return;
        case kEmail:
            // Kept until the mode is chosen, and written with it.
            email_->Store(g_.Settings);
            ShowPage(kNetwork);
            return;
        case kNetwork:
            if (!NetworkNext()) return;
            FillFinishPage();
            ShowPage(kFinish);
            return;
        default:
            return;
    }
}

void TfrmAStartUp::Previous() {
    if (Page() > kWelcome) ShowPage(Page() - 1);
}

bool TfrmAStartUp::NetworkNext() {
    SettingsRec& s = g_.Settings;
    const ModePages::Mode mode = modes_->Chosen();
    std::optional<ModePages::ClientChoice> client;
    if (mode == ModePages::kClient || mode == ModePages::kWebClient) {
        client = modes_->CheckedClientChoice();
        if (!client) return false;
    }
    failures_.clear();
    if (!client) {
        s.AlarmFile = g_.LocalAlarmFilePath();
        s.UserMode = mode == ModePages::kServer ? "Server" : "Single";
        WriteLocalFile();
        return true;
    }
    // Below a minute the reload would run without a pause.
    s.dldInterval =
        std::clamp<Integer>(client->minutes, ModePages::kMinInterval, ModePages::kMaxInterval);
    s.AlarmFile = client->location;
    s.UserMode = client->web ? "WClient" : "Client";
    s.dldAlarmFile = client->automatic;
    if (WriteLocalFile()) ReadSharedFile(client->web);
    return true;
}

bool TfrmAStartUp::WriteLocalFile() {
    const std::string path = g_.LocalAlarmFilePath();
    CollectingReporter said;
    if (SaveAlarmFile(g_, path, said) == kFileDone) return true;
    QString why = JoinedMessages(said.messages);
    if (why.isEmpty()) why = QStringLiteral("the file could not be written.");
    failures_ << QStringLiteral("The settings were not saved in %1: %2")
                     .arg(FromFileText(path), why);
    return false;
}

// The shared alarms, taken over only from a read that went through; the
// main window reads again when the wizard closes.
void TfrmAStartUp::ReadSharedFile(bool web) {
    Globals scratch = g_;
    CollectingReporter said;
    if (ReadAlarmFileKeepingValidators(scratch, {.followClient = true}, said, services_.downloader,
                                       services_.settings) == kFileDone) {
        g_ = std::move(scratch);
        return;
    }
    QString what = web ? QStringLiteral("The alarm file could not be downloaded from %1.")
                       : QStringLiteral("The shared alarm file %1 could not be read.");
    what = what.arg(Shown(g_.Settings.AlarmFile, web));
    if (!said.messages.empty()) what += QLatin1Char('\n') + JoinedMessages(said.messages);
    failures_ << what +
                     QStringLiteral("\nThe mode is set; Ringmere reads the file again at its "
                                    "next reload or start.");
}

// Where the record of the first runs is, before the user ever looks for it.
QString TfrmAStartUp::LogNote() const {
    if (!g_.Settings.enablelogging)
        return QStringLiteral("Logging is off. To keep a log of what the alarms do, check Enable "
                              "Logging under Options > Additional Options.");
    return QStringLiteral("Ringmere logs what the alarms do in %1 (Options > View Log File). "
                          "Logging can be turned off under Options > Additional Options.")
        .arg(FromFileText(services_.log.Path()));
}

void TfrmAStartUp::FillFinishPage() {
    if (failures_.isEmpty()) {
        ui_->lblFinishTitle->setText(QStringLiteral("Configuration Complete"));
        // A client's Add Alarm is disabled: its alarms are the server's.
        ui_->lblFinishText->setText(
            (IsClientMode(g_)
                 ? QStringLiteral("The Ringmere startup configuration is now complete.  To begin "
                                  "using Ringmere, click on the finish button.  The alarms come "
                                  "from the shared alarm file and are changed on the server; "
                                  "File > Reload Now in the main Ringmere window reads it again "
                                  "at once.\n\n")
                 : QStringLiteral(
                       "The Ringmere startup configuration is now complete.  To begin using "
                       "Ringmere, click on the finish button.  In the main Ringmere window, "
                       "click on Add Alarm to begin adding your custom alarms and scripts.\n\n")) +
            LogNote());
        return;
    }
    ui_->lblFinishTitle->setText(QStringLiteral("Configuration Not Complete"));
    const bool written = FileExists(g_.LocalAlarmFilePath());
    ui_->lblFinishText->setText(
        failures_.join(QStringLiteral("\n\n")) + QStringLiteral("\n\n") + LogNote() +
        (written ? QStringLiteral("\n\nClick on the finish button to close the wizard.")
                 : QStringLiteral("\n\nClick on the finish button to close the wizard; it runs "
                                  "again at the next start while there is no alarm file.")));
}

void TfrmAStartUp::CreateClientFile() {
    modes_->CreateConfigurationFile();
}

bool TfrmAStartUp::Browse() {
    return modes_->Browse();
}

QPoint TfrmAStartUp::Corner() const {
    return frameGeometry().topLeft();
}

void RunStartupWizard(Globals& g, const Services& services, QWidget* owner) {
    TfrmAStartUp wizard(g, services, owner);
    widgets::ExecOverOwner(wizard);
}

}  // namespace ringmere::net
