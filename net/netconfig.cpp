#include "net/netconfig.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <filesystem>
#include <system_error>

#include "core/alarmtable.h"
#include "net/shared_reload.h"
#include "widgets/dialogs.h"
#include "widgets/updown.h"

namespace ringmere::net {

using widgets::BoxKind;
using widgets::FromFileText;
using widgets::ToFileText;

namespace {

enum Mode { kSingle, kServer, kClient, kWebClient };

const char* const kModeNames[] = {"Single", "Server", "Client", "WClient"};

QString Joined(const std::vector<std::string>& messages) {
    QString text;
    for (const std::string& m : messages)
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + FromFileText(m);
    return text;
}

QLabel* Wrapped(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

// A number field with its arrows, 1 to 2400.
QWidget* DelayField(QLineEdit*& field, const char* name) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    field = new QLineEdit;
    field->setObjectName(QLatin1String(name));
    field->setMaximumWidth(80);
    auto* arrows = new widgets::UpDown;
    arrows->SetBuddy(field);
    arrows->SetRange(1, 2400);
    layout->addWidget(field);
    layout->addWidget(arrows);
    layout->addStretch();
    return row;
}

std::optional<Integer> ParseMinutes(const QString& text) {
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok) return std::nullopt;
    return static_cast<Integer>(n);
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    if (a.empty() || b.empty()) return false;
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) return true;
    // One of them not there yet: the same spelling once resolved.
    std::error_code ea, eb;
    const fs::path ca = fs::weakly_canonical(a, ea);
    const fs::path cb = fs::weakly_canonical(b, eb);
    return !ea && !eb && ca == cb;
}

TfrmNetConfig::TfrmNetConfig(Globals& g, const Services& services, SharedFileReload* reload,
                             QWidget* parent)
    : QDialog(parent), g_(g), services_(services), reload_(reload) {
    setObjectName(QStringLiteral("frmNetConfig"));
    setWindowTitle(QStringLiteral("Network Configuration"));
    if (reload_) reload_->Stop();
    BuildPages();

    SettingsRec& s = g_.Settings;
    if (s.UserMode.empty()) s.UserMode = "Single";
    int mode = kSingle;
    for (int m = 0; m < 4; ++m)
        if (s.UserMode == kModeNames[m]) mode = m;
    const QString minutes = QString::number(s.dldInterval);
    if (mode == kClient) {
        teLoc_->setText(FromFileText(s.AlarmFile));
        chkFileUpdate_->setChecked(s.dldAlarmFile);
        teFileDelay_->setText(minutes);
    } else if (mode == kWebClient) {
        teURL_->setText(FromFileText(s.AlarmFile));
        chkWebUpdate_->setChecked(s.dldAlarmFile);
        teWebDelay_->setText(minutes);
    }
    modes_[mode]->setChecked(true);
    ShowMode(mode);
    adjustSize();
    if (parent) move(widgets::PlaceOver(parent, size()));
}

void TfrmNetConfig::BuildPages() {
    auto* layout = new QVBoxLayout(this);
    auto* usage = new QGroupBox(QStringLiteral("Usage Options"));
    auto* usageLayout = new QVBoxLayout(usage);
    const char* names[] = {"rbSingle", "rbServer", "rbClient", "rbWebClient"};
    const char* captions[] = {"Single User", "Server User (Use Local File)", "Client User",
                              "Web Client User"};
    for (int m = 0; m < 4; ++m) {
        modes_[m] = new QRadioButton(QString::fromLatin1(captions[m]));
        modes_[m]->setObjectName(QLatin1String(names[m]));
        usageLayout->addWidget(modes_[m]);
        connect(modes_[m], &QRadioButton::toggled, this, [this, m](bool on) {
            if (on) ShowMode(m);
        });
    }
    layout->addWidget(usage);

    pages_ = new QStackedWidget;
    pages_->setObjectName(QStringLiteral("Notebook"));
    const auto page = [this](const char* name, const char* group) {
        auto* p = new QWidget;
        p->setObjectName(QLatin1String(name));
        auto* outer = new QVBoxLayout(p);
        auto* box = new QGroupBox(QString::fromLatin1(group));
        outer->addWidget(box);
        outer->addStretch();
        pages_->addWidget(p);
        return new QVBoxLayout(box);
    };

    page("Single", "Single User")->addWidget(new QLabel(QStringLiteral("No extra configuration needed.")));

    QVBoxLayout* server = page("Server", "Server User");
    server->addWidget(new QLabel(QStringLiteral("Save Client Configuration To File:")));
    server->addWidget(Wrapped(QStringLiteral(
        "Optional: This option allows you to create a client configuration file which can be "
        "copied to all client systems in the ringmere directory.")));
    server->addWidget(Wrapped(QStringLiteral(
        "Full path to alarm configuration file (/ringmere/alfile.ini) from client computers.")));
    teRemLoc_ = new QLineEdit;
    teRemLoc_->setObjectName(QStringLiteral("teRemLoc"));
    server->addWidget(teRemLoc_);
    auto* create = new QPushButton(QStringLiteral("Create Configuration File..."));
    create->setObjectName(QStringLiteral("btnCreate"));
    create->setAutoDefault(false);
    connect(create, &QPushButton::clicked, this, &TfrmNetConfig::CreateConfigurationFile);
    server->addWidget(create);
    server->addWidget(Wrapped(QStringLiteral(
        "Note: the shared alarm file, and a client configuration file, hold the SMTP and FTP "
        "passwords in clear text. Keep them where only trusted users can read them, and serve "
        "the file only inside a trusted network.")));

    QVBoxLayout* client = page("Client", "Client");
    client->addWidget(new QLabel(QStringLiteral("Configuration File Location:")));
    auto* locRow = new QHBoxLayout;
    teLoc_ = new QLineEdit;
    teLoc_->setObjectName(QStringLiteral("teLoc"));
    auto* browse = new QPushButton(QStringLiteral("Browse..."));
    browse->setObjectName(QStringLiteral("btnBrowse"));
    browse->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, &TfrmNetConfig::Browse);
    locRow->addWidget(teLoc_);
    locRow->addWidget(browse);
    client->addLayout(locRow);
    client->addWidget(Wrapped(QStringLiteral(
        "Enter the full path of the location of the configuration file on the remote server.")));
    chkFileUpdate_ = new QCheckBox(QStringLiteral("Automatically Load Updates From File Server"));
    chkFileUpdate_->setObjectName(QStringLiteral("chkFileUpdate"));
    chkFileUpdate_->setChecked(true);
    client->addWidget(chkFileUpdate_);
    client->addWidget(new QLabel(QStringLiteral("Number of minutes between loads (1-2400)")));
    client->addWidget(DelayField(teFileDelay_, "teFileDelay"));
    teFileDelay_->setText(QStringLiteral("30"));
    teFileDelay_->setAccessibleName(QStringLiteral("Minutes between loads"));

    QVBoxLayout* web = page("WebClient", "Web Client");
    web->addWidget(new QLabel(QStringLiteral("Configuration File URL:")));
    teURL_ = new QLineEdit;
    teURL_->setObjectName(QStringLiteral("teURL"));
    web->addWidget(teURL_);
    web->addWidget(new QLabel(QStringLiteral("Enter the URL of the configuration file.")));
    web->addWidget(new QLabel(QStringLiteral("Example: http://intranet.example.com/ringmere/alfile.ini")));
    chkWebUpdate_ = new QCheckBox(QStringLiteral("Automatically Check Web Server For Updates"));
    chkWebUpdate_->setObjectName(QStringLiteral("chkWebUpdate"));
    web->addWidget(chkWebUpdate_);
    auto* webDelayLabel = new QLabel(QStringLiteral("Number of minutes between checks (1-2400)"));
    web->addWidget(webDelayLabel);
    QWidget* webDelay = DelayField(teWebDelay_, "teWebDelay");
    web->addWidget(webDelay);
    teWebDelay_->setText(QStringLiteral("30"));
    teWebDelay_->setAccessibleName(QStringLiteral("Minutes between checks"));
    connect(chkWebUpdate_, &QCheckBox::toggled, this, [webDelayLabel, webDelay](bool on) {
        webDelayLabel->setEnabled(on);
        webDelay->setEnabled(on);
    });
    chkWebUpdate_->setChecked(false);
    chkWebUpdate_->setChecked(true);

    layout->addWidget(pages_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &TfrmNetConfig::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TfrmNetConfig::reject);
    layout->addWidget(buttons);
}

void TfrmNetConfig::ShowMode(int mode) {
    pages_->setCurrentIndex(mode);
}

void TfrmNetConfig::Warn(const QString& text) {
    services_.dialogs.Message(this, BoxKind::Warning, text);
}

void TfrmNetConfig::Browse() {
    const QString name = services_.dialogs.OpenFileName(
        this, QStringLiteral("Open"), QStringLiteral("alfile.ini"),
        QStringLiteral("Configuration Files (*.ini)"));
    if (name.isEmpty()) return;
    if (SameFile(ToFileText(name), g_.LocalAlarmFilePath())) {
        Warn(QStringLiteral("Warning: Invalid file. This file is the local configuration file. "
                            "Please select file on the network directory."));
        return;
    }
    teLoc_->setText(name);
}

void TfrmNetConfig::CreateConfigurationFile() {
    const QString shared = teRemLoc_->text().trimmed();
    if (shared.isEmpty()) {
        Warn(QStringLiteral("Enter the full path of the alarm file as the client computers see "
                            "it before creating their configuration file."));
        return;
    }
    const QString name = services_.dialogs.SaveFileName(
        this, QStringLiteral("Save As"), QDir::home().filePath(QStringLiteral("alfile.ini")),
        QStringLiteral("Configuration Files (*.ini)"));
    if (name.isEmpty()) return;
    // By identity: another spelling or a link of the server's own file
    // would otherwise replace every alarm with "Alarm Count=0".
    if (SameFile(ToFileText(name), g_.LocalAlarmFilePath())) {
        Warn(QStringLiteral("Warning: Please select a different file name.\r\n"
                            "The selected file is the configuration for the server program"));
        return;
    }
    CollectingReporter said;
    if (WriteClientConfigFile(g_, ToFileText(name), ToFileText(shared), said) == kFileDone) {
        services_.dialogs.Message(this, BoxKind::Information,
                                  QStringLiteral("File successfully saved."));
        return;
    }
    const QString why = Joined(said.messages);
    Warn(QStringLiteral("Unable to save file.") + (why.isEmpty() ? QString() : "\n" + why));
}

bool TfrmNetConfig::ApplySingleOrServer(const char* mode, bool reuseDownload) {
    SettingsRec& s = g_.Settings;
    if (s.UserMode == mode) return true;  // nothing changes, nothing is written
    const std::string local = g_.LocalAlarmFilePath();
    CollectingReporter read;
    s.AlarmFile = local;
    const int result = ReadAlarmFile(g_, false, reuseDownload, read, services_.downloader);
    s.UserMode = mode;
    s.AlarmFile = local;
    CollectingReporter written;
    const int saved = SaveAlarmFile(g_, local, written);
    QString problems;
    if (result != kFileDone) {
        problems = QStringLiteral("The alarm file could not be read; the alarms shown are those "
                                  "held before.");
        if (!read.messages.empty()) problems += "\n" + Joined(read.messages);
    }
    if (saved != kFileDone)
        problems += (problems.isEmpty() ? QString() : QStringLiteral("\n")) +
                    QStringLiteral("The new mode could not be saved to %1.")
                        .arg(FromFileText(local)) +
                    (written.messages.empty() ? QString() : "\n" + Joined(written.messages));
    if (!problems.isEmpty()) Warn(problems);
    return true;
}

bool TfrmNetConfig::ApplyClient(bool web) {
    QLineEdit* location = web ? teURL_ : teLoc_;
    const QString where = location->text().trimmed();
    if (where.isEmpty()) {
        Warn(web ? QStringLiteral("Alarm file URL required for web client setup")
                 : QStringLiteral("Alarm file location required for client setup"));
        return false;
    }
    const auto minutes = ParseMinutes((web ? teWebDelay_ : teFileDelay_)->text());
    if (!minutes) {
        Warn(QStringLiteral("Web check interval not a number value"));
        return false;
    }
    if (!web && SameFile(ToFileText(where), g_.LocalAlarmFilePath())) {
        Warn(QStringLiteral("Warning: Invalid file. This file is the local configuration file. "
                            "Please select file on the network directory."));
        return false;
    }
    SettingsRec& s = g_.Settings;
    // In a client mode the alarms in memory are the server's: the local file
    // keeps its own.
    const bool wasClient = IsClientMode(g_);
    const std::string mode = web ? "WClient" : "Client";
    const std::string address = ToFileText(where);
    const bool automatic = (web ? chkWebUpdate_ : chkFileUpdate_)->isChecked();
    const auto set = [&] {
        s.dldInterval = *minutes;
        s.AlarmFile = address;
        s.UserMode = mode;
        s.dldAlarmFile = automatic;
    };
    set();
    CollectingReporter written;
    const int saved = SaveOwnFile(g_, wasClient, written);
    CollectingReporter read;
    const int result = ReadAlarmFile(g_, true, false, read, services_.downloader);
    set();  // also when the local file did not take them
    QString problems;
    if (saved != kFileDone)
        problems = QStringLiteral("The new mode could not be saved to %1; it holds until the "
                                  "program ends.")
                       .arg(FromFileText(g_.LocalAlarmFilePath())) +
                   (written.messages.empty() ? QString() : "\n" + Joined(written.messages));
    if (result != kFileDone) {
        QString why = Joined(read.messages);
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
    if (modes_[kSingle]->isChecked())
        close = ApplySingleOrServer("Single", false);
    else if (modes_[kServer]->isChecked())
        close = ApplySingleOrServer("Server", true);
    else
        close = ApplyClient(modes_[kWebClient]->isChecked());
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
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace ringmere::net
