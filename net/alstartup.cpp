#include "net/alstartup.h"

#include <QDir>
#include <QIcon>
#include <QUrl>
#include <algorithm>

#include "core/alarmfile.h"
#include "core/fileio.h"
#include "net/emailpart.h"
#include "net/same_file.h"
#include "ui_alstartup.h"
#include "widgets/dialogs.h"

// Resources of a static library are registered by hand.
static void InitNetResources() {
    Q_INIT_RESOURCE(net);
}

namespace ringmere::net {

using widgets::BoxKind;
using widgets::FromFileText;
using widgets::ToFileText;

namespace {

constexpr int kMinInterval = 1;
constexpr int kMaxInterval = 2400;
const char* const kFilter = "Configuration Files (*.ini)";

QString Joined(const std::vector<std::string>& lines) {
    QStringList out;
    for (const std::string& l : lines) out << FromFileText(l);
    return out.join(QLatin1Char('\n'));
}

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
      email_(new EmailPart(false, this)) {
    InitNetResources();
    ui_->setupUi(this);
    ui_->emailLayout->addWidget(email_);
    ui_->emailLayout->addStretch();
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

    const SettingsRec& s = g_.Settings;
    for (auto [field, arrows] : {std::pair{ui_->teFileDelay, ui_->udFileDelay},
                                 std::pair{ui_->teWebDelay, ui_->udWebDelay}}) {
        arrows->SetBuddy(field);
        arrows->SetRange(kMinInterval, kMaxInterval);
        field->setText(QString::number(s.dldInterval));
    }
    ui_->chkFileUpdate->setChecked(s.dldAlarmFile);
    ui_->chkWebUpdate->setChecked(s.dldAlarmFile);
    const auto followWebUpdate = [this](bool on) {
        ui_->teWebDelay->setEnabled(on);
        ui_->udWebDelay->setEnabled(on);
        ui_->lblWebDelay->setEnabled(on);
    };
    followWebUpdate(s.dldAlarmFile);
    connect(ui_->chkWebUpdate, &QCheckBox::toggled, this, followWebUpdate);
    for (QRadioButton* mode : {ui_->rbSingle, ui_->rbServer, ui_->rbClient, ui_->rbWebClient})
        connect(mode, &QRadioButton::toggled, this, &TfrmAStartUp::ShowModePage);
    ShowModePage();

    connect(ui_->btnNext, &QPushButton::clicked, this, &TfrmAStartUp::Next);
    connect(ui_->btnPrevious, &QPushButton::clicked, this, &TfrmAStartUp::Previous);
    connect(ui_->btnFinish, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->btnCreateFile, &QPushButton::clicked, this, &TfrmAStartUp::CreateClientFile);
    connect(ui_->btnBrowse, &QPushButton::clicked, this, &TfrmAStartUp::Browse);
    connect(ui_->btnBrowseWeb, &QPushButton::clicked, this, &TfrmAStartUp::BrowseFromWebPage);
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

void TfrmAStartUp::ShowModePage() {
    QWidget* page = ui_->rbServer->isChecked()      ? ui_->Server
                    : ui_->rbClient->isChecked()    ? ui_->Client
                    : ui_->rbWebClient->isChecked() ? ui_->WebClient
                                                    : ui_->Single;
    ui_->nbModes->setCurrentWidget(page);
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
    if (ui_->rbClient->isChecked() || ui_->rbWebClient->isChecked())
        return BecomeClient(ui_->rbWebClient->isChecked());
    failures_.clear();
    s.AlarmFile = g_.LocalAlarmFilePath();
    s.UserMode = ui_->rbServer->isChecked() ? "Server" : "Single";
    WriteLocalFile();
    return true;
}

bool TfrmAStartUp::BecomeClient(bool web) {
    const QString location = (web ? ui_->teURL : ui_->teLoc)->text().trimmed();
    if (location.isEmpty()) {
        Warn(web ? QStringLiteral("Alarm file URL required for web client setup")
                 : QStringLiteral("Alarm file location required for client setup"));
        return false;
    }
    bool number = false;
    const int minutes = (web ? ui_->teWebDelay : ui_->teFileDelay)->text().trimmed().toInt(&number);
    if (!number) {
        Warn(QStringLiteral("Web check interval not a number value"));
        return false;
    }
    failures_.clear();
    SettingsRec& s = g_.Settings;
    // Below a minute the reload would run without a pause.
    s.dldInterval = std::clamp(minutes, kMinInterval, kMaxInterval);
    s.AlarmFile = ToFileText(location);
    s.UserMode = web ? "WClient" : "Client";
    s.dldAlarmFile = (web ? ui_->chkWebUpdate : ui_->chkFileUpdate)->isChecked();
    if (WriteLocalFile()) ReadSharedFile(web);
    return true;
}

bool TfrmAStartUp::WriteLocalFile() {
    const std::string path = g_.LocalAlarmFilePath();
    CollectingReporter said;
    if (SaveAlarmFile(g_, path, said) == kFileDone) return true;
    QString why = Joined(said.messages);
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
    if (ReadAlarmFile(scratch, true, false, said, services_.downloader) == kFileDone) {
        g_ = std::move(scratch);
        return;
    }
    QString what = web ? QStringLiteral("The alarm file could not be downloaded from %1.")
                       : QStringLiteral("The shared alarm file %1 could not be read.");
    what = what.arg(Shown(g_.Settings.AlarmFile, web));
    if (!said.messages.empty()) what += QLatin1Char('\n') + Joined(said.messages);
    failures_ << what +
                     QStringLiteral("\nThe mode is set; Ringmere reads the file again at its "
                                    "next reload or start.");
}

void TfrmAStartUp::FillFinishPage() {
    if (failures_.isEmpty()) {
        ui_->lblFinishTitle->setText(QStringLiteral("Configuration Complete"));
        ui_->lblFinishText->setText(QStringLiteral(
            "The Ringmere startup configuration is now complete.  To begin using Ringmere, "
            "click on the finish button.  In the main Ringmere window, click on Add Alarm to "
            "begin adding your custom alarms and scripts."));
        return;
    }
    ui_->lblFinishTitle->setText(QStringLiteral("Configuration Not Complete"));
    const bool written = FileExists(g_.LocalAlarmFilePath());
    ui_->lblFinishText->setText(
        failures_.join(QStringLiteral("\n\n")) +
        (written ? QStringLiteral("\n\nClick on the finish button to close the wizard.")
                 : QStringLiteral("\n\nClick on the finish button to close the wizard; it runs "
                                  "again at the next start while there is no alarm file.")));
}

void TfrmAStartUp::CreateClientFile() {
    const QString shared = ui_->teRemLoc->text().trimmed();
    if (shared.isEmpty()) {
        Warn(QStringLiteral("Alarm file location required for client setup"));
        return;
    }
    const QString name = services_.dialogs.SaveFileName(
        this, QStringLiteral("Save Client Configuration"),
        QDir::homePath() + QStringLiteral("/alfile.ini"), QString::fromLatin1(kFilter));
    if (name.isEmpty()) return;
    if (SameFile(name.toStdString(), g_.LocalAlarmFilePath())) {
        Warn(QStringLiteral("Warning: Please select a different file name.\r\n"
                            "The selected file is the configuration for the server program"));
        return;
    }
    SilentReporter quiet;
    if (WriteClientConfigFile(g_, name.toStdString(), ToFileText(shared), quiet) == kFileDone)
        services_.dialogs.Message(this, BoxKind::Information,
                                  QStringLiteral("File successfully saved."), Corner());
    else
        Warn(QStringLiteral("Unable to save file."));
}

bool TfrmAStartUp::Browse() {
    const QString name = services_.dialogs.OpenFileName(
        this, QStringLiteral("Configuration File Location"),
        QDir::homePath() + QStringLiteral("/alfile.ini"), QString::fromLatin1(kFilter));
    if (name.isEmpty()) return false;
    if (SameFile(name.toStdString(), g_.LocalAlarmFilePath())) {
        Warn(QStringLiteral("Warning: Invalid file. This file is the local configuration file. "
                            "Please select file on the network directory."));
        return false;
    }
    ui_->teLoc->setText(name);
    return true;
}

void TfrmAStartUp::BrowseFromWebPage() {
    if (Browse()) ui_->rbClient->setChecked(true);
}

void TfrmAStartUp::Warn(const QString& text) {
    services_.dialogs.Message(this, BoxKind::Warning, text, Corner());
}

QPoint TfrmAStartUp::Corner() const {
    return frameGeometry().topLeft();
}

void RunStartupWizard(Globals& g, const Services& services, QWidget* owner) {
    TfrmAStartUp wizard(g, services, owner);
    wizard.exec();
}

}  // namespace ringmere::net
