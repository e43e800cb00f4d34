#include "net/netconfig.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/alarmtable.h"
#include "net/modepages.h"
#include "net/shared_reload.h"
#include "widgets/dialogs.h"
#include "widgets/file_text.h"

namespace ringmere::net {

using widgets::BoxKind;
using widgets::FromFileText;

TfrmNetConfig::TfrmNetConfig(Globals& g, const Services& services, SharedFileReload* reload,
                             QWidget* parent)
    : QDialog(parent),
      g_(g),
      services_(services),
      reload_(reload),
      modes_(new ModePages(g, services, ModePages::Host::Dialog, this)) {
    setObjectName(QStringLiteral("frmNetConfig"));
    setWindowTitle(QStringLiteral("Network Configuration"));
    if (reload_) reload_->Stop();
    if (g_.Settings.UserMode.empty()) g_.Settings.UserMode = "Single";
    modes_->Load(g_.Settings);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(modes_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &TfrmNetConfig::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TfrmNetConfig::reject);
    layout->addWidget(buttons);
    adjustSize();
    if (parent) move(widgets::PlaceOver(parent, size()));
}

void TfrmNetConfig::Warn(const QString& text) {
    services_.dialogs.Message(this, BoxKind::Warning, text);
}

void TfrmNetConfig::Browse() {
    modes_->Browse();
}

void TfrmNetConfig::CreateConfigurationFile() {
    modes_->CreateConfigurationFile();
}

bool TfrmNetConfig::ApplySingleOrServer(const char* mode, bool reuseDownload) {
    SettingsRec& s = g_.Settings;
    if (s.UserMode == mode) return true;  // nothing changes, nothing is written
    const std::string local = g_.LocalAlarmFilePath();
    CollectingReporter read;
    s.AlarmFile = local;
    const int result =
        ReadAlarmFile(g_, {.reuseDownload = reuseDownload}, read, services_.downloader);
    s.UserMode = mode;
    s.AlarmFile = local;
    CollectingReporter written;
    const int saved = SaveAlarmFile(g_, local, written);
    QString problems;
    if (result != kFileDone) {
        problems = QStringLiteral("The alarm file could not be read; the alarms shown are those "
                                  "held before.");
        if (!read.messages.empty()) problems += "\n" + JoinedMessages(read.messages);
    }
    if (saved != kFileDone)
        problems +=
            (problems.isEmpty() ? QString() : QStringLiteral("\n")) +
            QStringLiteral("The new mode could not be saved to %1.").arg(FromFileText(local)) +
            (written.messages.empty() ? QString() : "\n" + JoinedMessages(written.messages));
    if (!problems.isEmpty()) Warn(problems);
    return true;
}

bool TfrmNetConfig::ApplyClient() {
    const std::optional<ModePages::ClientChoice> choice = modes_->CheckedClientChoice();
    if (!choice) return false;
    const bool web = choice->web;
    SettingsRec& s = g_.Settings;
    // In a client mode the alarms in memory are the server's: the local file
    // keeps its own.
    const bool wasClient = IsClientMode(g_);
    const std::string mode = web ? "WClient" : "Client";
    const auto set = [&] {
        s.dldInterval = choice->minutes;
        s.AlarmFile = choice->location;
        s.UserMode = mode;
        s.dldAlarmFile = choice->automatic;
    };
    set();
    CollectingReporter written;
    const int saved = SaveOwnFile(g_, wasClient, written);
    CollectingReporter read;
    const int result = ReadAlarmFileKeepingValidators(g_, {.followClient = true}, read,
                                                      services_.downloader, services_.settings);
    set();  // also when the local file did not take them
    QString problems;
    if (saved != kFileDone)
        problems = QStringLiteral("The new mode could not be saved to %1; it holds until the "
                                  "program ends.")
                       .arg(FromFileText(g_.LocalAlarmFilePath())) +
                   (written.messages.empty() ? QString() : "\n" + JoinedMessages(written.messages));
    if (result != kFileDone) {
        QString why = JoinedMessages(read.messages);
        if (web && services_.downloader && !services_.downloader->LastError().empty())
            why += (why.isEmpty() ? QString() : QStringLiteral("\n")) +
                   QString::fromStdString(services_.downloader->LastError());
        problems += (problems.isEmpty() ? QString() : QStringLiteral("\n")) +
                    QStringLiteral("The shared alarm file could not be read; the alarms shown are "
                                   "those held before, and the next reload tries again.") +
                    (why.isEmpty() ? QString() : "\n" + why);
    }
    if (!problems.isEmpty()) Warn(problems);
    return true;
}

void TfrmNetConfig::accept() {
    bool close = true;
    switch (modes_->Chosen()) {
        case ModePages::kSingle:
            close = ApplySingleOrServer("Single", false);
            break;
        case ModePages::kServer:
            close = ApplySingleOrServer("Server", true);
            break;
        default:
            close = ApplyClient();
    }
    if (!close) return;
    if (reload_) reload_->Resume(/*freshInterval=*/true);
    QDialog::accept();
}

void TfrmNetConfig::reject() {
    if (reload_) reload_->Resume(/*freshInterval=*/false);
    QDialog::reject();
}

bool OpenNetConfig(Globals& g, const Services& services, SharedFileReload& reload,
                   QWidget* owner) {
    if (reload.Reloading()) {
        services.dialogs.Message(owner, BoxKind::Information,
                                 QStringLiteral("The shared alarm file is being reloaded. Please "
                                                "try again in a moment."));
        return false;
    }
    TfrmNetConfig dialog(g, services, &reload, owner);
    return widgets::ExecOverOwner(dialog) == QDialog::Accepted;
}

}  // namespace ringmere::net
