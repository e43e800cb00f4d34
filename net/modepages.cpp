#include "net/modepages.h"

#include <QDir>

#include "core/alarmfile.h"
#include "net/same_file.h"
#include "ui_modepages.h"
#include "widgets/dialogs.h"
#include "widgets/file_text.h"

namespace ringmere::net {

using widgets::BoxKind;
using widgets::FromFileText;
using widgets::ToFileText;

namespace {

const char* const kModeNames[] = {"Single", "Server", "Client", "WClient"};

QString Filter() {
    return QStringLiteral("Configuration Files (*.ini)");
}

QString OwnFileRefused() {
    return QStringLiteral(
        "Warning: Invalid file. This file is the local configuration file. Please select file "
        "on the network directory.");
}

QString ProposedName() {
    return QDir::home().filePath(QStringLiteral("alfile.ini"));
}

}  // namespace

QString JoinedMessages(const std::vector<std::string>& messages) {
    QStringList out;
    for (const std::string& m : messages) out << FromFileText(m);
    return out.join(QLatin1Char('\n'));
}

ModePages::ModePages(Globals& g, const Services& services, Host host, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::ModePages>()), g_(g), services_(services) {
    ui_->setupUi(this);
    for (auto [field, arrows] : {std::pair{ui_->teFileDelay, ui_->udFileDelay},
                                 std::pair{ui_->teWebDelay, ui_->udWebDelay}}) {
        arrows->SetBuddy(field);
        arrows->SetRange(kMinInterval, kMaxInterval);
        field->setText(QStringLiteral("30"));
    }
    const auto followWebUpdate = [this](bool on) {
        for (QWidget* w :
             {static_cast<QWidget*>(ui_->teWebDelay), static_cast<QWidget*>(ui_->udWebDelay),
              static_cast<QWidget*>(ui_->lblWebDelay)})
            w->setEnabled(on);
    };
    connect(ui_->chkWebUpdate, &QCheckBox::toggled, this, followWebUpdate);
    ui_->chkFileUpdate->setChecked(true);
    ui_->chkWebUpdate->setChecked(true);
    followWebUpdate(true);
    for (QRadioButton* mode : {ui_->rbSingle, ui_->rbServer, ui_->rbClient, ui_->rbWebClient})
        connect(mode, &QRadioButton::toggled, this, &ModePages::ShowModePage);
    ShowModePage();

    const bool wizard = host == Host::Wizard;
    ui_->btnCreate->setText(wizard ? QStringLiteral("Create File...")
                                   : QStringLiteral("Create Configuration File..."));
    ui_->btnBrowseWeb->setVisible(wizard);
    connect(ui_->btnCreate, &QPushButton::clicked, this, &ModePages::CreateConfigurationFile);
    connect(ui_->btnBrowse, &QPushButton::clicked, this, &ModePages::Browse);
    connect(ui_->btnBrowseWeb, &QPushButton::clicked, this, [this] {
        if (Browse()) ui_->rbClient->setChecked(true);
    });
}

ModePages::~ModePages() = default;

void ModePages::Load(const SettingsRec& s) {
    int mode = kSingle;
    for (int m = 0; m < 4; ++m)
        if (s.UserMode == kModeNames[m]) mode = m;
    const QString minutes = QString::number(s.dldInterval);
    if (mode == kClient) {
        ui_->teLoc->setText(FromFileText(s.AlarmFile));
        ui_->chkFileUpdate->setChecked(s.dldAlarmFile);
        ui_->teFileDelay->setText(minutes);
    } else if (mode == kWebClient) {
        ui_->teURL->setText(FromFileText(s.AlarmFile));
        ui_->chkWebUpdate->setChecked(s.dldAlarmFile);
        ui_->teWebDelay->setText(minutes);
    }
    QRadioButton* buttons[] = {ui_->rbSingle, ui_->rbServer, ui_->rbClient, ui_->rbWebClient};
    buttons[mode]->setChecked(true);
}

ModePages::Mode ModePages::Chosen() const {
    return ui_->rbServer->isChecked()      ? kServer
           : ui_->rbClient->isChecked()    ? kClient
           : ui_->rbWebClient->isChecked() ? kWebClient
                                           : kSingle;
}

void ModePages::ShowModePage() {
    QWidget* pages[] = {ui_->Single, ui_->Server, ui_->Client, ui_->WebClient};
    ui_->nbModes->setCurrentWidget(pages[Chosen()]);
}

std::optional<ModePages::ClientChoice> ModePages::CheckedClientChoice() {
    const bool web = Chosen() == kWebClient;
    const QString location = (web ? ui_->teURL : ui_->teLoc)->text().trimmed();
    if (location.isEmpty()) {
        Warn(web ? QStringLiteral("Alarm file URL required for web client setup")
                 : QStringLiteral("Alarm file location required for client setup"));
        return std::nullopt;
    }
    bool number = false;
    const int minutes = (web ? ui_->teWebDelay : ui_->teFileDelay)->text().trimmed().toInt(&number);
    if (!number) {
        Warn(QStringLiteral("Web check interval not a number value"));
        return std::nullopt;
    }
    // Both would be the one file: the client's header over its own alarms.
    if (!web && SameFile(ToFileText(location), g_.LocalAlarmFilePath())) {
        Warn(OwnFileRefused());
        return std::nullopt;
    }
    return ClientChoice{.web = web,
                        .location = ToFileText(location),
                        .minutes = static_cast<Integer>(minutes),
                        .automatic = (web ? ui_->chkWebUpdate : ui_->chkFileUpdate)->isChecked()};
}

bool ModePages::Browse() {
    const QString name =
        services_.dialogs.OpenFileName(window(), QStringLiteral("Open"), ProposedName(), Filter());
    if (name.isEmpty()) return false;
    if (SameFile(ToFileText(name), g_.LocalAlarmFilePath())) {
        Warn(OwnFileRefused());
        return false;
    }
    ui_->teLoc->setText(name);
    return true;
}

void ModePages::CreateConfigurationFile() {
    const QString shared = ui_->teRemLoc->text().trimmed();
    if (shared.isEmpty()) {
        Warn(QStringLiteral("Alarm file location required for client setup"));
        return;
    }
    const QString name = services_.dialogs.SaveFileName(window(), QStringLiteral("Save As"),
                                                        ProposedName(), Filter());
    if (name.isEmpty()) return;
    // By identity: another spelling or a link of the server's own file
    // would otherwise replace every alarm with "Alarm Count=0".
    if (SameFile(ToFileText(name), g_.LocalAlarmFilePath())) {
        Warn(
            QStringLiteral("Warning: Please select a different file name.\r\n"
                           "The selected file is the configuration for the server program"));
        return;
    }
    CollectingReporter said;
    if (WriteClientConfigFile(g_, ToFileText(name), ToFileText(shared), said) == kFileDone) {
        services_.dialogs.Message(window(), BoxKind::Information,
                                  QStringLiteral("File successfully saved."),
                                  boxCorner ? boxCorner() : std::nullopt);
        return;
    }
    const QString why = JoinedMessages(said.messages);
    Warn(QStringLiteral("Unable to save file.") + (why.isEmpty() ? QString() : "\n" + why));
}

void ModePages::Warn(const QString& text) {
    services_.dialogs.Message(window(), BoxKind::Warning, text,
                              boxCorner ? boxCorner() : std::nullopt);
}

}  // namespace ringmere::net
