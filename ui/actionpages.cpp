#include "ui/actionpages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <algorithm>
#include <tuple>

#include "core/datetime.h"
#include "run/actions.h"
#include "run/desktop.h"
#include "run/dialup.h"
#include "run/mail.h"
#include "run/timesync.h"
#include "widgets/dialogs.h"
#include "widgets/file_text.h"
#include "widgets/form_text.h"
#include "widgets/updown.h"

namespace ringmere::ui {

using widgets::BoxKind;
using widgets::ShownText;
using widgets::StoredText;

namespace {

QString Home() {
    return QDir::homePath();
}

QString AllFiles() {
    return QString::fromLatin1(kAllFiles);
}

void SetText(QLineEdit* field, const std::string& value) {
    field->setText(ShownText(value));
}

// A set of choices and the number each stores; a number that is none of
// them chooses `fallback`.
struct Choices {
    std::vector<std::pair<QRadioButton*, Byte>> buttons;
    Byte fallback;

    void Show(Byte value) const {
        const bool known = std::any_of(buttons.begin(), buttons.end(),
                                       [&](const auto& b) { return b.first && b.second == value; });
        for (const auto& [button, number] : buttons)
            if (button && number == (known ? value : fallback)) button->setChecked(true);
    }
    void Read(Byte& value) const {
        for (const auto& [button, number] : buttons)
            if (button && button->isChecked()) value = number;
    }
};

QString DriveEntry(const QString& letter) {
    return letter + QStringLiteral(": ") + run::CdDevicePath(letter);
}

bool SameDrive(const QString& a, const QString& b) {
    return !a.isEmpty() && !b.isEmpty() && a.at(0).toUpper() == b.at(0).toUpper();
}

}  // namespace

// ------------------------------------------------------------------ base

ActionPage::ActionPage(const PageContext& context) : c_(context) {}

template <class T>
T* ActionPage::Need(const char* name) const {
    T* found = Maybe<T>(name);
    // A form without the control is a build fault: stop here, by name,
    // rather than at a null pointer later.
    if (!found) qFatal("Action page: the form has no control named %s", name);
    return found;
}

template <class T>
T* ActionPage::Maybe(const char* name) const {
    return c_.root->findChild<T*>(QLatin1String(name));
}

void ActionPage::AddRule(const char* trigger, bool whenChecked, std::vector<const char*> targets) {
    auto* button = Maybe<QAbstractButton>(trigger);
    if (!button) return;
    Rule rule{button, whenChecked, {}};
    for (const char* t : targets) rule.targets.push_back(Need(t));
    rules_.push_back(std::move(rule));
    FollowToggles({button});
}

void ActionPage::FollowToggles(std::vector<QAbstractButton*> buttons) {
    for (QAbstractButton* b : buttons)
        if (b) connect(b, &QAbstractButton::toggled, this, [this] { ApplyRules(); });
}

void ActionPage::ApplyRules() {
    for (const Rule& r : rules_) {
        const bool on = r.trigger->isChecked() == r.whenChecked;
        for (QWidget* w : r.targets) w->setEnabled(on);
    }
    ApplyOwnRules();
}

void ActionPage::BrowseFile(QPushButton* button, QLineEdit* field, const QString& dir,
                            const QString& filter) {
    if (!button) return;
    connect(button, &QPushButton::clicked, this, [this, field, dir, filter] {
        BrowseFileInto(c_.services.dialogs, c_.owner, field, dir, filter);
    });
}

void ActionPage::Arrows(const char* arrows, QLineEdit* field, FieldRange range) {
    auto* a = Need<widgets::UpDown>(arrows);
    a->SetBuddy(field);
    a->SetRange(range.min, range.max);
    // Two stacked arrows stand taller than the field they belong to.
    a->setFixedHeight(field->sizeHint().height());
}

void ActionPage::Warn(const QString& text) const {
    c_.box(BoxKind::Warning, text);
}

// ------------------------------------------------------------------ sound

SoundPage::SoundPage(const PageContext& context)
    : ActionPage(context),
      mp3_(Need<QRadioButton>("rbMp3")),
      wav_(Need<QRadioButton>("rbWav")),
      cd_(Need<QRadioButton>("rbCD")),
      silent_(Maybe<QRadioButton>("rbSilent")),
      mp3Page_(Need("MP3")),
      wavPage_(Need("Wav")),
      cdPage_(Need("CD")),
      silentPage_(Maybe("Silent")),
      notebook_(qobject_cast<QStackedWidget*>(mp3Page_->parentWidget())),
      mp3File_(Need<QLineEdit>("teMP3")),
      wavFile_(Need<QLineEdit>("teWav")),
      seconds_(Need<QLineEdit>("teRepeat")),
      track_(Need<QLineEdit>("teTrack")),
      once_(Need<QRadioButton>("rbOnce")),
      untilStopped_(Need<QRadioButton>("rbRepeat1")),
      forSeconds_(Need<QRadioButton>("rbRepeatM")),
      listedTrack_(Need<QRadioButton>("rbSelectedTrack")),
      randomTrack_(Need<QRadioButton>("rbRandomTrack")),
      drive_(Need<QComboBox>("RzDriveComboBox1")) {
    Q_ASSERT(notebook_);
    Arrows("UpDown1", seconds_, kWaveSecondsField.range);
    Arrows("UpDown2", track_, kTrackField.range);
    AddRule("rbRepeatM", true, {"teRepeat"});
    AddRule("rbSelectedTrack", true, {"teTrack"});
    FollowToggles({mp3_, wav_, cd_, silent_});

    players_ = std::make_unique<TestPlayers>(
        c_.services,
        TestControls{wavFile_, once_, forSeconds_, seconds_, Need<QPushButton>("btnPlay1"),
                     Need<QPushButton>("btnStop1"), drive_, randomTrack_, track_,
                     Need<QPushButton>("btnPlay2"), Need<QPushButton>("btnStop2")},
        c_.box);
    players_->Connect(this);

    BrowseFile(Need<QPushButton>("btnMP3Browse"), mp3File_, Home(),
               QStringLiteral("MP3 Audio (*.mp3);;MP3 PlayLists (*.m3u)"));
    BrowseFile(Need<QPushButton>("btnWavBrowse"), wavFile_, QStringLiteral("/usr/share/sounds"),
               QStringLiteral("Wav Files (*.wav)"));
    connect(Need<QPushButton>("btnMP3Test"), &QPushButton::clicked, this, [this] {
        run::ShellOpenFile(c_.services.desktop, c_.services.dialogs, mp3File_->text(), c_.owner);
    });
}

SoundPage::~SoundPage() = default;

void SoundPage::ApplyOwnRules() {
    QWidget* shown = mp3_->isChecked()   ? mp3Page_
                     : wav_->isChecked() ? wavPage_
                     : cd_->isChecked()  ? cdPage_
                     : silentPage_       ? silentPage_
                                         : mp3Page_;
    notebook_->setCurrentWidget(shown);
}

void SoundPage::Load(const SoundForm& form) {
    loaded_ = form;
    SetText(mp3File_, form.mp3file);
    SetText(wavFile_, form.wavfile);
    SetText(seconds_, form.repeatSeconds);
    SetText(track_, form.track);
    Choices{{{mp3_, kMusicMp3}, {wav_, kMusicWave}, {cd_, kMusicCd}, {silent_, kMusicSilent}},
            silent_ ? Byte{kMusicSilent} : Byte{kMusicMp3}}
        .Show(form.muType);
    Choices{{{once_, kWavOnce}, {untilStopped_, kWavUntilStopped}, {forSeconds_, kWavForSeconds}},
            kWavForSeconds}
        .Show(form.wavtype);
    Choices{{{listedTrack_, kCdListedTrack}, {randomTrack_, kCdRandomTrack}}, kCdRandomTrack}.Show(
        form.tracktype);
    FillDrives();
    ApplyRules();
}

void SoundPage::Store(SoundForm& form) const {
    form.mp3file = StoredText(mp3File_->text(), loaded_.mp3file);
    form.wavfile = StoredText(wavFile_->text(), loaded_.wavfile);
    form.repeatSeconds = StoredText(seconds_->text(), loaded_.repeatSeconds);
    form.track = StoredText(track_->text(), loaded_.track);
    Choices{{{mp3_, kMusicMp3}, {wav_, kMusicWave}, {cd_, kMusicCd}, {silent_, kMusicSilent}}, 0}
        .Read(form.muType);
    Choices{{{once_, kWavOnce}, {untilStopped_, kWavUntilStopped}, {forSeconds_, kWavForSeconds}},
            0}
        .Read(form.wavtype);
    Choices{{{listedTrack_, kCdListedTrack}, {randomTrack_, kCdRandomTrack}}, 0}.Read(
        form.tracktype);
    // The letter is what is stored: a drive shown under another name is the
    // loaded one.
    const QString drive = drive_->currentText();
    form.cddrive = drive.isEmpty() || SameDrive(drive, QString::fromStdString(loaded_.cddrive))
                       ? loaded_.cddrive
                       : drive.left(1).toStdString();
}

void SoundPage::StopTests() {
    players_->StopWav();
    players_->StopCd();
}

void SoundPage::ControlsGone() {
    players_->ControlsGone();
}

void SoundPage::FillDrives() {
    drive_->clear();
    for (const QString& letter : run::CdDriveLetters()) drive_->addItem(DriveEntry(letter));
    SelectStoredDrive();
}

void SoundPage::SelectStoredDrive() {
    const QString stored = widgets::FromFileText(loaded_.cddrive);
    if (stored.isEmpty()) {
        drive_->setCurrentIndex(drive_->count() > 0 ? 0 : -1);
        return;
    }
    for (int i = 0; i < drive_->count(); ++i)
        if (SameDrive(drive_->itemText(i), stored)) {
            drive_->setCurrentIndex(i);
            return;
        }
    // A drive this machine does not have keeps its letter.
    drive_->addItem(stored);
    drive_->setCurrentIndex(drive_->count() - 1);
}

// ------------------------------------------------------------------ dial-up

DialPage::DialPage(const PageContext& context)
    : ActionPage(context),
      connection_(Need<QComboBox>("cbConnections")),
      redial_(Need<QLineEdit>("teRedial")),
      status_(Need<QLabel>("Status")),
      connect_(Need<QRadioButton>("rbConnect")),
      disconnect_(Need<QRadioButton>("rbDisconnect")),
      none_(Maybe<QRadioButton>("rbNone")) {
    Arrows("UpDown3", redial_, kRedialField.range);
    AddRule("rbNone", false, {"lblConnection", "cbConnections", "lblRedial", "teRedial"});
    connect(Need<QPushButton>("Button7"), &QPushButton::clicked, this, [this] { TestDial(true); });
    connect(Need<QPushButton>("Button8"), &QPushButton::clicked, this, [this] { TestDial(false); });
}

DialPage::~DialPage() = default;

void DialPage::Load(const DialForm& form, DialChoice choice) {
    loaded_ = form;
    // Before the choice: it may fill the list now.
    ShowStoredConnection(connection_, form.dialname, filled_);
    SetText(redial_, form.redial);
    QRadioButton* chosen = choice == DialChoice::Connect      ? connect_
                           : choice == DialChoice::Disconnect ? disconnect_
                                                              : none_;
    (chosen ? chosen : connect_)->setChecked(true);
    ApplyRules();
}

void DialPage::Store(DialForm& form) const {
    form.dialname = StoredText(connection_->currentText(), loaded_.dialname);
    form.redial = StoredText(redial_->text(), loaded_.redial);
}

DialChoice DialPage::Choice() const {
    return connect_->isChecked()      ? DialChoice::Connect
           : disconnect_->isChecked() ? DialChoice::Disconnect
                                      : DialChoice::None;
}

void DialPage::FillList() {
    if (filled_) return;
    filled_ = true;
    KeepStoredEntry(connection_, loaded_.dialname);
    if (!AddSystemConnections(c_.services, connection_))
        status_->setText(QString::fromLatin1(run::kDialUnavailable));
}

void DialPage::StopTests() {
    if (dialTest_) dialTest_->Close();
}

void DialPage::TestDial(bool dial) {
    DialTestClick(c_.services, dialTest_, connection_, redial_, status_, dial, c_.box);
}

// ------------------------------------------------------------ launch, web

LaunchPage::LaunchPage(const PageContext& context)
    : ActionPage(context),
      web_(Need<QLineEdit>("teWeb1")),
      newWindow_(Need<QCheckBox>("chkOpenNew")) {
    const struct {
        const char *app, *params, *browse;
        std::string LaunchForm::*appValue;
        std::string LaunchForm::*paramsValue;
    } programs[] = {
        {"teApp1", "teParam1", "btnApp1Browse", &LaunchForm::app1, &LaunchForm::param1},
        {"teApp2", "teParam2", "btnApp2Browse", &LaunchForm::app2, &LaunchForm::param2},
        {"teApp3", "teParam3", "btnApp3Browse", &LaunchForm::app3, &LaunchForm::param3},
    };
    for (const auto& p : programs) {
        auto* app = Maybe<QLineEdit>(p.app);
        if (!app) continue;
        programs_.push_back({p.appValue, p.paramsValue, app, Need<QLineEdit>(p.params)});
        BrowseFile(Need<QPushButton>(p.browse), app, Home(), AllFiles());
    }
    connect(Need<QPushButton>("Button12"), &QPushButton::clicked, this,
            [this] { TestApplications(); });
    connect(Need<QPushButton>("Button13"), &QPushButton::clicked, this, [this] { TestWebSite(); });
}

void LaunchPage::Load(const LaunchForm& form) {
    loaded_ = form;
    for (const Program& p : programs_) {
        SetText(p.appField, form.*p.app);
        SetText(p.paramsField, form.*p.params);
    }
    SetText(web_, form.url1);
    newWindow_->setChecked(form.opennew);
}

void LaunchPage::Store(LaunchForm& form) const {
    for (const Program& p : programs_) {
        form.*p.app = StoredText(p.appField->text(), loaded_.*p.app);
        form.*p.params = StoredText(p.paramsField->text(), loaded_.*p.params);
    }
    form.url1 = StoredText(web_->text(), loaded_.url1);
    form.opennew = newWindow_->isChecked();
}

void LaunchPage::TestApplications() const {
    for (const Program& p : programs_) {
        const QString app = p.appField->text();
        if (app.isEmpty()) continue;
        run::Desktop& desktop = c_.services.desktop;
        run::Execute(desktop, run::PlanLaunch(desktop, app, p.paramsField->text()),
                     LaterWarning(QStringLiteral("Unable to start %1: ").arg(app)));
    }
}

void LaunchPage::TestWebSite() const {
    const QString url = web_->text();
    if (url.isEmpty()) return;
    OpenWebPageTest(c_.services.desktop, url, newWindow_->isChecked(),
                    LaterWarning(QStringLiteral("Unable to open %1: ").arg(url)));
}

// A handler may give up after the window has gone: then no one is told.
run::OpenFailed LaunchPage::LaterWarning(const QString& what) const {
    return [page = QPointer<const LaunchPage>(this), what](const QString& why) {
        if (page) page->Warn(what + why);
    };
}

// ------------------------------------------------------------------ mail

MailPage::MailPage(const PageContext& context, const Globals& g)
    : ActionPage(context),
      g_(g),
      from_(Need<QLineEdit>("teFrom")),
      subject_(Need<QLineEdit>("teSubject")),
      to_(Need<QComboBox>("teToo")),
      message_(Need<QPlainTextEdit>("MessageText")),
      attachments_(Need<QListWidget>("ListBox1")),
      remove_(Need<QPushButton>("btnRemove")) {
    AddRule("chkSendMessage", true,
            {"teFrom", "teToo", "teSubject", "MessageText", "btSendMessage"});
    connect(Need<QPushButton>("frmAddAttach"), &QPushButton::clicked, this,
            [this] { AddAttachmentRow(c_.services.dialogs, c_.owner, attachments_, remove_); });
    connect(remove_, &QPushButton::clicked, this,
            [this] { RemoveAttachmentRow(attachments_, remove_); });
    // A successful send keeps the editor open: nothing is stored by it.
    connect(Need<QPushButton>("btSendMessage"), &QPushButton::clicked, this, [this] {
        MailForm shown;
        Store(shown);
        smtpmessage mail;
        mail.sendmessage = true;
        StoreMail(shown, mail);
        SendTestMessageClick(c_.services, smtp_, mail, c_.box);
    });
}

MailPage::~MailPage() = default;

void MailPage::Load(const MailForm& form) {
    loaded_ = form;
    SetText(from_, form.from);
    SetText(subject_, form.subject);
    message_->setPlainText(ShownText(form.msg));
    attachments_->clear();
    for (const std::string& a : form.attachments) {
        auto* row = new QListWidgetItem(ShownText(a), attachments_);
        row->setData(Qt::UserRole, QByteArray::fromStdString(a));
    }
    remove_->setEnabled(attachments_->count() > 0);
    if (attachments_->count() > 0) attachments_->setCurrentRow(0);
    to_->setEditText(ShownText(form.mto));
    FillRecipients(to_, g_);
}

void MailPage::Store(MailForm& form) const {
    form.from = StoredText(from_->text(), loaded_.from);
    form.subject = StoredText(subject_->text(), loaded_.subject);
    form.mto = StoredText(to_->currentText(), loaded_.mto);
    form.msg = StoredText(message_->toPlainText(), loaded_.msg);
    form.attachments.clear();
    for (int i = 0; i < attachments_->count(); ++i) {
        const QListWidgetItem* row = attachments_->item(i);
        form.attachments.push_back(
            StoredText(row->text(), row->data(Qt::UserRole).toByteArray().toStdString()));
    }
}

// ------------------------------------------------------------ time sync

SynchPage::SynchPage(const PageContext& context)
    : ActionPage(context),
      server_(Need<QComboBox>("cboTimeServer")),
      time_(Need<QLabel>("lblTime")),
      clock_(context.services.waiting, [this] { ShowTime(); }) {
    clock_.SetInterval(1000);
    AddRule("cbSynchTime1", true, {"cboTimeServer", "btnSynchTime1"});
    connect(Need<QPushButton>("btnSynchTime1"), &QPushButton::clicked, this, [this] {
        if (!c_.services.daytime) {
            Warn(QStringLiteral(
                "Setting the clock from a time server is not available in this build yet."));
            return;
        }
        // A test: the time is shown, and the clock set only when the user says so.
        run::InteractiveSynchronize(c_.services, server_->currentText().trimmed(), c_.owner, {},
                                    {}, run::SynchConfirm::AskFirst);
    });
}

SynchPage::~SynchPage() {
    clock_.Stop();
}

void SynchPage::Load(const SynchForm& form) {
    loaded_ = form;
    SelectStoredText(server_, form.synchserver);
}

void SynchPage::Store(SynchForm& form) const {
    form.synchserver = StoredText(server_->currentText(), loaded_.synchserver);
}

void SynchPage::StartClock() {
    if (gone_ || clock_.IsActive()) return;
    ShowTime();
    clock_.Start();
}

void SynchPage::StopClock() {
    clock_.Stop();
}

void SynchPage::ControlsGone() {
    gone_ = true;
    clock_.Stop();
}

void SynchPage::ShowTime() {
    if (gone_) return;
    time_->setText(QString::fromStdString(FormatLongTime(c_.services.clock.Now())));
}

// ------------------------------------------------------------------ FTP

FtpPage::FtpPage(const PageContext& context)
    : ActionPage(context),
      passive_(Need<QCheckBox>("chkPassive")),
      retry_(Need<QCheckBox>("chkFTPRetry")),
      reconnect_(Need<QCheckBox>("chkFTPReconnect")),
      single_(Need<QRadioButton>("rbSingleFile")),
      all_(Need<QRadioButton>("rbAllFiles")),
      upload_(Need<QRadioButton>("rbUpload")),
      download_(Need<QRadioButton>("rbDownload")),
      ascii_(Need<QRadioButton>("rbASCII")),
      binary_(Need<QRadioButton>("rbBinary")),
      connection_(Need<QComboBox>("cbFConnections")),
      localLabel_(Need<QLabel>("lblLocalFile")),
      remoteLabel_(Need<QLabel>("lblFTPPath")),
      tabs_(Need<QTabWidget>("pcFTP")),
      retryTab_(Need("tsRetry")) {
    const std::pair<const char*, std::string FtpForm::*> texts[] = {
        {"teFTPServer", &FtpForm::ftpserver},   {"teFTPPort", &FtpForm::ftpport},
        {"teFTPPath", &FtpForm::ftppath},       {"teLocalFile", &FtpForm::ftplocalfile},
        {"teFTPUser", &FtpForm::ftpuser},       {"teFTPPass", &FtpForm::ftppass},
        {"teRetries", &FtpForm::ftpmaxretry},   {"teRDelay", &FtpForm::ftpdelay},
        {"teReconnect", &FtpForm::ftpmaxrecon}, {"teReconDelay", &FtpForm::ftprecondelay},
    };
    for (const auto& [name, value] : texts) texts_.push_back({Need<QLineEdit>(name), value});
    Arrows("UpDown6", Need<QLineEdit>("teRetries"), kRetriesField.range);
    Arrows("UpDown7", Need<QLineEdit>("teRDelay"), kRetryDelayField.range);
    Arrows("UpDown8", Need<QLineEdit>("teReconnect"), kRetriesField.range);
    Arrows("UpDown11", Need<QLineEdit>("teReconDelay"), kRetryDelayField.range);

    AddRule("chkEnableFTP", true,
            {"teFTPServer", "teFTPPort", "teLocalFile", "teFTPPath", "teFTPUser", "teFTPPass",
             "rbUpload", "rbDownload", "rbASCII", "rbBinary", "btnFTPLocal", "chkPassive",
             "rbSingleFile", "rbAllFiles"});
    AddRule("chkFTPRetry", true, {"teRetries", "teRDelay"});
    AddRule("chkFTPReconnect", true, {"cbFConnections", "teReconnect", "teReconDelay"});
    FollowToggles({single_, all_});
    connect(reconnect_, &QCheckBox::toggled, this, [this](bool on) {
        if (on) ReconnectTicked();
    });

    // The local side of an all-files transfer is a folder.
    auto* local = Need<QLineEdit>("teLocalFile");
    connect(Need<QPushButton>("btnFTPLocal"), &QPushButton::clicked, this, [this, local] {
        if (all_->isChecked())
            BrowseFolderInto(c_.services.dialogs, c_.owner, local);
        else
            BrowseFileInto(c_.services.dialogs, c_.owner, local, Home(), AllFiles());
    });
}

void FtpPage::ApplyOwnRules() {
    const bool all = all_->isChecked();
    localLabel_->setText(all ? QStringLiteral("Local Directory:") : QStringLiteral("Local File:"));
    remoteLabel_->setText(all ? QStringLiteral("Remote Directory:")
                              : QStringLiteral("Remote File:"));
}

void FtpPage::Load(const FtpForm& form) {
    loaded_ = form;
    // Before the ticks: the reconnect tick may fill its list now.
    ShowStoredConnection(connection_, form.ftpdialname, filled_);
    for (const Text& t : texts_) SetText(t.field, form.*t.value);
    passive_->setChecked(form.ftppassive);
    retry_->setChecked(form.ftpretry);
    reconnect_->setChecked(form.ftpreconnect);
    Choices{{{single_, kFtpSingleFile}, {all_, kFtpAllFiles}}, kFtpSingleFile}.Show(
        form.ftptransfertype);
    (form.ftpupload ? upload_ : download_)->setChecked(true);
    (form.ftpascmode ? ascii_ : binary_)->setChecked(true);
    ApplyRules();
}

void FtpPage::Store(FtpForm& form) const {
    for (const Text& t : texts_) form.*t.value = StoredText(t.field->text(), loaded_.*t.value);
    form.ftppassive = passive_->isChecked();
    form.ftpretry = retry_->isChecked();
    form.ftpreconnect = reconnect_->isChecked();
    Choices{{{single_, kFtpSingleFile}, {all_, kFtpAllFiles}}, 0}.Read(form.ftptransfertype);
    form.ftpupload = upload_->isChecked();
    form.ftpascmode = ascii_->isChecked();
    form.ftpdialname = StoredText(connection_->currentText(), loaded_.ftpdialname);
}

void FtpPage::ShowRetryTab() {
    tabs_->setCurrentWidget(retryTab_);
}

// The reconnect list is filled from the system once, when first ticked.
void FtpPage::ReconnectTicked() {
    if (filled_) return;
    filled_ = true;
    KeepStoredEntry(connection_, loaded_.ftpdialname);
    AddSystemConnections(c_.services, connection_);
}

// ------------------------------------------------------------ file operation

FileOpPage::FileOpPage(const PageContext& context)
    : ActionPage(context), pages_(Need<QStackedWidget>("pcFileOps")) {
    const struct {
        const char *button, *page;
        Byte fop;
    } choices[] = {
        {"rbNoOp", "tsNoOp", kFopNone},
        {"rbFileCopy", "tsCopy", kFopCopy},
        {"rbFileMove", "tsMove", kFopMove},
        {"rbFileDelete", "tsDelete", kFopDelete},
    };
    for (const auto& c : choices)
        if (auto* button = Maybe<QRadioButton>(c.button)) {
            choices_.push_back({button, c.fop, Need(c.page)});
            FollowToggles({button});
        }

    const std::pair<const char*, std::string FileOpForm::*> texts[] = {
        {"teCopyFrom", &FileOpForm::copyFrom},     {"teCopyTo", &FileOpForm::copyTo},
        {"teMoveFrom", &FileOpForm::moveFrom},     {"teMoveTo", &FileOpForm::moveTo},
        {"teDeleteFile", &FileOpForm::deleteFile},
    };
    for (const auto& [name, value] : texts) texts_.push_back({Need<QLineEdit>(name), value});

    for (const auto& [button, field] : {std::pair{"btnCopyFromBrowse", "teCopyFrom"},
                                        {"btnMoveFromBrowse", "teMoveFrom"},
                                        {"btnDeleteFileBrowse", "teDeleteFile"}})
        BrowseFile(Need<QPushButton>(button), Need<QLineEdit>(field), Home(), AllFiles());
    // The destination of a wildcard source is a folder.
    for (const auto& [button, fromName, toName] :
         {std::tuple{"btnCopyToBrowse", "teCopyFrom", "teCopyTo"},
          std::tuple{"btnMoveToBrowse", "teMoveFrom", "teMoveTo"}}) {
        auto* from = Need<QLineEdit>(fromName);
        auto* to = Need<QLineEdit>(toName);
        connect(Need<QPushButton>(button), &QPushButton::clicked, this, [this, from, to] {
            const QString source = from->text();
            if (source.contains(QLatin1Char('*')) || source.contains(QLatin1Char('?')))
                BrowseFolderInto(c_.services.dialogs, c_.owner, to);
            else
                BrowseFileInto(c_.services.dialogs, c_.owner, to, Home(), AllFiles());
        });
    }
}

void FileOpPage::ApplyOwnRules() {
    // The first choice ("No Operation", or copy in a step) stands for none.
    QWidget* shown = choices_.front().page;
    for (const Choice& c : choices_)
        if (c.button->isChecked()) shown = c.page;
    pages_->setCurrentWidget(shown);
}

void FileOpPage::Load(const FileOpForm& form) {
    loaded_ = form;
    for (const Text& t : texts_) SetText(t.field, form.*t.value);
    Choices choices{{}, choices_.front().fop};
    for (const Choice& c : choices_) choices.buttons.push_back({c.button, c.fop});
    choices.Show(form.fop);
    ApplyRules();
}

void FileOpPage::Store(FileOpForm& form) const {
    for (const Text& t : texts_) form.*t.value = StoredText(t.field->text(), loaded_.*t.value);
    for (const Choice& c : choices_)
        if (c.button->isChecked()) form.fop = c.fop;
}

// ------------------------------------------------------------------ all

ActionPages::ActionPages(const PageContext& context, const Globals& g)
    : sound(context),
      dial(context),
      launch(context),
      mail(context, g),
      synch(context),
      ftp(context),
      fileOp(context) {}

void ActionPages::ApplyRules() {
    for (ActionPage* page :
         std::initializer_list<ActionPage*>{&sound, &dial, &launch, &mail, &synch, &ftp, &fileOp})
        page->ApplyRules();
}

void ActionPages::StopTests() {
    sound.StopTests();
    dial.StopTests();
}

}  // namespace ringmere::ui
