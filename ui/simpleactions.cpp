#include "ui/simpleactions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <algorithm>

#include "core/clock.h"
#include "core/datetime.h"
#include "run/actions.h"
#include "run/desktop.h"
#include "run/dialup.h"
#include "run/mail.h"
#include "run/timesync.h"
#include "ui/actionkit.h"
#include "ui_simpleactions.h"
#include "widgets/dialogs.h"
#include "widgets/file_text.h"
#include "widgets/form_text.h"
#include "widgets/updown.h"

namespace ringmere::ui {

using widgets::BoxKind;
using widgets::ShownText;
using widgets::StoredText;
using UiForm = Ui::SimpleActionTabs;

namespace {

// Fields holding a text of the record as typed.
struct TextField {
    QLineEdit* UiForm::*edit;
    std::string ActionsForm::*value;
};
const TextField kTextFields[] = {
    {&UiForm::teMP3, &ActionsForm::mp3file},
    {&UiForm::teWav, &ActionsForm::wavfile},
    {&UiForm::teRepeat, &ActionsForm::repeatSeconds},
    {&UiForm::teTrack, &ActionsForm::track},
    {&UiForm::teRedial, &ActionsForm::redial},
    {&UiForm::teApp1, &ActionsForm::app1},
    {&UiForm::teParam1, &ActionsForm::param1},
    {&UiForm::teApp2, &ActionsForm::app2},
    {&UiForm::teParam2, &ActionsForm::param2},
    {&UiForm::teApp3, &ActionsForm::app3},
    {&UiForm::teParam3, &ActionsForm::param3},
    {&UiForm::teWeb1, &ActionsForm::url1},
    {&UiForm::teFTPServer, &ActionsForm::ftpserver},
    {&UiForm::teFTPPort, &ActionsForm::ftpport},
    {&UiForm::teFTPPath, &ActionsForm::ftppath},
    {&UiForm::teLocalFile, &ActionsForm::ftplocalfile},
    {&UiForm::teFTPUser, &ActionsForm::ftpuser},
    {&UiForm::teFTPPass, &ActionsForm::ftppass},
    {&UiForm::teRetries, &ActionsForm::ftpmaxretry},
    {&UiForm::teRDelay, &ActionsForm::ftpdelay},
    {&UiForm::teReconnect, &ActionsForm::ftpmaxrecon},
    {&UiForm::teReconDelay, &ActionsForm::ftprecondelay},
    {&UiForm::teCopyFrom, &ActionsForm::copyFrom},
    {&UiForm::teCopyTo, &ActionsForm::copyTo},
    {&UiForm::teMoveFrom, &ActionsForm::moveFrom},
    {&UiForm::teMoveTo, &ActionsForm::moveTo},
    {&UiForm::teDeleteFile, &ActionsForm::deleteFile},
    {&UiForm::teFrom, &ActionsForm::from},
    {&UiForm::teSubject, &ActionsForm::subject},
};

struct Tick {
    QCheckBox* UiForm::*box;
    bool ActionsForm::*value;
};
const Tick kTicks[] = {
    {&UiForm::chkOpenNew, &ActionsForm::opennew},
    {&UiForm::chkEnableFTP, &ActionsForm::ftpenabled},
    {&UiForm::chkPassive, &ActionsForm::ftppassive},
    {&UiForm::chkFTPRetry, &ActionsForm::ftpretry},
    {&UiForm::chkFTPReconnect, &ActionsForm::ftpreconnect},
    {&UiForm::chkSendMessage, &ActionsForm::sendmessage},
    {&UiForm::cbSynchTime1, &ActionsForm::dosynch},
};

// A set of choices and the number each stores; a stored number that is
// none of them chooses `fallback`.
struct Choice {
    QRadioButton* UiForm::*button;
    Byte value;
};
struct ChoiceSet {
    Byte ActionsForm::*value;
    std::vector<Choice> choices;
    Byte fallback;
};
const ChoiceSet kChoiceSets[] = {
    {&ActionsForm::muType,
     {{&UiForm::rbMp3, kMusicMp3},
      {&UiForm::rbWav, kMusicWave},
      {&UiForm::rbCD, kMusicCd},
      {&UiForm::rbSilent, kMusicSilent}},
     kMusicSilent},
    {&ActionsForm::wavtype,
     {{&UiForm::rbOnce, kWavOnce},
      {&UiForm::rbRepeat1, kWavUntilStopped},
      {&UiForm::rbRepeatM, kWavForSeconds}},
     kWavForSeconds},
    {&ActionsForm::tracktype,
     {{&UiForm::rbSelectedTrack, kCdListedTrack}, {&UiForm::rbRandomTrack, kCdRandomTrack}},
     kCdRandomTrack},
    {&ActionsForm::ftptransfertype,
     {{&UiForm::rbSingleFile, kFtpSingleFile}, {&UiForm::rbAllFiles, kFtpAllFiles}},
     kFtpSingleFile},
    {&ActionsForm::fop,
     {{&UiForm::rbNoOp, kFopNone},
      {&UiForm::rbFileCopy, kFopCopy},
      {&UiForm::rbFileMove, kFopMove},
      {&UiForm::rbFileDelete, kFopDelete}},
     kFopNone},
};

struct Arrows {
    widgets::UpDown* UiForm::*arrows;
    QLineEdit* UiForm::*field;
    int min, max;
};
const Arrows kArrows[] = {
    {&UiForm::UpDown1, &UiForm::teRepeat, 1, 60},
    {&UiForm::UpDown2, &UiForm::teTrack, 1, 30},
    {&UiForm::UpDown3, &UiForm::teRedial, 0, 10},
    {&UiForm::UpDown6, &UiForm::teRetries, 0, 1000},
    {&UiForm::UpDown7, &UiForm::teRDelay, 0, 300},
    {&UiForm::UpDown8, &UiForm::teReconnect, 0, 1000},
    {&UiForm::UpDown11, &UiForm::teReconDelay, 0, 300},
};

// Which controls a tick or choice enables; `whenChecked` false: enabled
// while the trigger is not checked. The controls are named one by one, not
// through a panel: number fields and their arrows keep each other's state.
struct RuleText {
    const char* trigger;
    bool whenChecked;
    std::vector<const char*> targets;
};
const RuleText kRules[] = {
    {"rbRepeatM", true, {"teRepeat"}},
    {"rbSelectedTrack", true, {"teTrack"}},
    {"rbNone", false, {"lblConnection", "cbConnections", "lblRedial", "teRedial"}},
    {"chkEnableFTP",
     true,
     {"teFTPServer", "teFTPPort", "teLocalFile", "teFTPPath", "teFTPUser", "teFTPPass", "rbUpload",
      "rbDownload", "rbASCII", "rbBinary", "btnFTPLocal", "chkPassive", "rbSingleFile",
      "rbAllFiles"}},
    {"chkFTPRetry", true, {"teRetries", "teRDelay"}},
    {"chkFTPReconnect", true, {"cbFConnections", "teReconnect", "teReconDelay"}},
    {"chkSendMessage", true, {"teFrom", "teToo", "teSubject", "MessageText", "btSendMessage"}},
    {"cbSynchTime1", true, {"cboTimeServer", "btnSynchTime1"}},
};

QString DriveEntry(const QString& letter) {
    return letter + QStringLiteral(": ") + run::CdDevicePath(letter);
}

bool SameDrive(const QString& a, const QString& b) {
    return !a.isEmpty() && !b.isEmpty() && a.at(0).toUpper() == b.at(0).toUpper();
}

}  // namespace

struct SimpleActionTabs::Rule {
    QAbstractButton* trigger;
    bool whenChecked;
    std::vector<QWidget*> targets;
};

SimpleActionTabs::SimpleActionTabs(Globals& g, const Services& services, QWidget* editor)
    : QObject(editor),
      g_(g),
      services_(services),
      editor_(editor),
      holder_(std::make_unique<QWidget>()),
      ui_(std::make_unique<UiForm>()) {
    ui_->setupUi(holder_.get());
    auto* u = ui_.get();
    players_ = std::make_unique<TestPlayers>(
        services, TestControls::Of(u),
        [this](BoxKind kind, const QString& text) { Box(kind, text); });

    for (const RuleText& r : kRules) {
        Rule rule{
            holder_->findChild<QAbstractButton*>(QLatin1String(r.trigger)), r.whenChecked, {}};
        Q_ASSERT(rule.trigger);
        for (const char* t : r.targets) {
            QWidget* w = holder_->findChild<QWidget*>(QLatin1String(t));
            Q_ASSERT(w);
            rule.targets.push_back(w);
        }
        rules_.push_back(std::move(rule));
    }
    for (const Arrows& a : kArrows) {
        (u->*a.arrows)->SetBuddy(u->*a.field);
        (u->*a.arrows)->SetRange(a.min, a.max);
        // Two stacked arrows stand taller than the field they belong to.
        (u->*a.arrows)->setFixedHeight((u->*a.field)->sizeHint().height());
    }

    // The editor shows the pages in its own tab control; until it takes them
    // they stay with the hidden holder.
    while (u->tabPages->count() > 0) {
        QWidget* page = u->tabPages->widget(0);
        pages_.append({page, u->tabPages->tabText(0)});
        u->tabPages->removeTab(0);
        page->setParent(holder_.get());
        page->installEventFilter(this);
        connect(page, &QObject::destroyed, this, [this] { players_->ControlsGone(); });
    }

    const QList<QAbstractButton*> triggers = holder_->findChildren<QAbstractButton*>();
    for (QAbstractButton* b : triggers)
        if (qobject_cast<QRadioButton*>(b) || qobject_cast<QCheckBox*>(b))
            connect(b, &QAbstractButton::toggled, this, [this] { ApplyRules(); });
    connect(u->rbCD, &QRadioButton::toggled, this, [this](bool on) {
        if (on) SelectStoredDrive();
    });
    connect(u->chkFTPReconnect, &QCheckBox::toggled, this, [this](bool on) {
        if (on) ReconnectTicked();
    });

    ConnectBrowsing(services_.dialogs, this, editor_, BrowseControls::Of(u));
    for (const auto& [button, field] :
         {std::pair{u->btnApp2Browse, u->teApp2}, {u->btnApp3Browse, u->teApp3}})
        connect(button, &QPushButton::clicked, this, [this, field] {
            BrowseFileInto(services_.dialogs, editor_, field, QDir::homePath(),
                           QString::fromLatin1(kAllFiles));
        });

    connect(u->btnMP3Test, &QPushButton::clicked, this, [this] {
        run::ShellOpenFile(services_.desktop, services_.dialogs, ui_->teMP3->text(), editor_);
    });
    players_->Connect(this);
    connect(u->Button12, &QPushButton::clicked, this, [this] { TestApplications(); });
    connect(u->Button13, &QPushButton::clicked, this, [this] { TestWebSite(); });
    connect(u->frmAddAttach, &QPushButton::clicked, this, [this] { AddAttachment(); });
    connect(u->btnRemove, &QPushButton::clicked, this, [this] { RemoveAttachment(); });

    connect(u->Button7, &QPushButton::clicked, this, [this] { TestDial(true); });
    connect(u->Button8, &QPushButton::clicked, this, [this] { TestDial(false); });
    connect(u->btSendMessage, &QPushButton::clicked, this, [this] {
        SendTestMessageClick(services_, smtp_, TestMessage(Form()),
                             [this](BoxKind kind, const QString& text) { Box(kind, text); });
    });
    connect(u->btnSynchTime1, &QPushButton::clicked, this, [this] {
        if (!services_.daytime) {
            Warn(QStringLiteral(
                "Setting the clock from a time server is not available in this build yet."));
            return;
        }
        run::InteractiveSynchronize(services_, ui_->cboTimeServer->currentText().trimmed(),
                                    editor_);
    });

    ApplyRules();
}

// The pages may be gone already: the players stop their sounds themselves.
SimpleActionTabs::~SimpleActionTabs() = default;

QList<QPair<QWidget*, QString>> SimpleActionTabs::Pages() const {
    return pages_;
}

void SimpleActionTabs::ApplyRules() {
    auto* u = ui_.get();
    for (const Rule& r : rules_) {
        const bool on = r.trigger->isChecked() == r.whenChecked;
        for (QWidget* w : r.targets) w->setEnabled(on);
    }
    QWidget* sound = u->rbMp3->isChecked()   ? u->MP3
                     : u->rbWav->isChecked() ? u->Wav
                     : u->rbCD->isChecked()  ? u->CD
                                             : u->Silent;
    u->Notebook1->setCurrentWidget(sound);
    QWidget* op = u->rbFileCopy->isChecked()     ? u->tsCopy
                  : u->rbFileMove->isChecked()   ? u->tsMove
                  : u->rbFileDelete->isChecked() ? u->tsDelete
                                                 : u->tsNoOp;
    u->pcFileOps->setCurrentWidget(op);
    const bool all = u->rbAllFiles->isChecked();
    u->lblLocalFile->setText(all ? QStringLiteral("Local Directory:")
                                 : QStringLiteral("Local File:"));
    u->lblFTPPath->setText(all ? QStringLiteral("Remote Directory:")
                               : QStringLiteral("Remote File:"));
}

void SimpleActionTabs::Load(const ActionsForm& form) {
    auto* u = ui_.get();
    loaded_ = form;
    // Before the ticks: a tick may fill its list now.
    ShowStoredConnection(u->cbConnections, form.dialname, dialListLoaded_);
    ShowStoredConnection(u->cbFConnections, form.ftpdialname, reconnectListLoaded_);
    for (const TextField& f : kTextFields) (u->*f.edit)->setText(ShownText(form.*f.value));
    for (const Tick& t : kTicks) (u->*t.box)->setChecked(form.*t.value);
    for (const ChoiceSet& set : kChoiceSets) {
        const auto it = std::find_if(set.choices.begin(), set.choices.end(),
                                     [&](const Choice& c) { return c.value == form.*set.value; });
        const Byte chosen = it != set.choices.end() ? it->value : set.fallback;
        for (const Choice& c : set.choices)
            if (c.value == chosen) (u->*c.button)->setChecked(true);
    }
    (form.ftpupload ? u->rbUpload : u->rbDownload)->setChecked(true);
    (form.ftpascmode ? u->rbASCII : u->rbBinary)->setChecked(true);
    (form.dial == DialChoice::Connect      ? u->rbConnect
     : form.dial == DialChoice::Disconnect ? u->rbDisconnect
                                           : u->rbNone)
        ->setChecked(true);

    FillDrives();
    LookUpServer(form.synchserver);

    u->MessageText->setPlainText(ShownText(form.msg));
    u->ListBox1->clear();
    for (const std::string& a : form.attachments) {
        auto* row = new QListWidgetItem(ShownText(a), u->ListBox1);
        row->setData(Qt::UserRole, QByteArray::fromStdString(a));
    }
    u->btnRemove->setEnabled(u->ListBox1->count() > 0);
    if (u->ListBox1->count() > 0) u->ListBox1->setCurrentRow(0);

    u->teToo->setEditText(ShownText(form.mto));
    PopulateEmailList();
    ApplyRules();
}

ActionsForm SimpleActionTabs::Form() const {
    const auto* u = ui_.get();
    ActionsForm form = loaded_;
    for (const TextField& f : kTextFields)
        form.*f.value = StoredText((u->*f.edit)->text(), loaded_.*f.value);
    for (const Tick& t : kTicks) form.*t.value = (u->*t.box)->isChecked();
    for (const ChoiceSet& set : kChoiceSets)
        for (const Choice& c : set.choices)
            if ((u->*c.button)->isChecked()) form.*set.value = c.value;
    form.ftpupload = u->rbUpload->isChecked();
    form.ftpascmode = u->rbASCII->isChecked();
    form.dial = u->rbConnect->isChecked()      ? DialChoice::Connect
                : u->rbDisconnect->isChecked() ? DialChoice::Disconnect
                                               : DialChoice::None;

    // The letter is what is stored: a drive shown under another name is the
    // loaded one.
    const QString drive = u->RzDriveComboBox1->currentText();
    const QString loadedDrive = QString::fromStdString(loaded_.cddrive);
    form.cddrive = drive.isEmpty() || SameDrive(drive, loadedDrive) ? loaded_.cddrive
                                                                    : drive.left(1).toStdString();
    form.dialname = StoredText(u->cbConnections->currentText(), loaded_.dialname);
    form.ftpdialname = StoredText(u->cbFConnections->currentText(), loaded_.ftpdialname);
    form.synchserver = StoredText(u->cboTimeServer->currentText(), loaded_.synchserver);
    form.mto = StoredText(u->teToo->currentText(), loaded_.mto);
    form.msg = StoredText(u->MessageText->toPlainText(), loaded_.msg);
    form.attachments.clear();
    for (int i = 0; i < u->ListBox1->count(); ++i) {
        const QListWidgetItem* row = u->ListBox1->item(i);
        form.attachments.push_back(
            StoredText(row->text(), row->data(Qt::UserRole).toByteArray().toStdString()));
    }
    return form;
}

void SimpleActionTabs::SetClientMode(bool client) {
    auto* u = ui_.get();
    for (QWidget* w : {u->tsMusical, u->tsDialUp, u->tsFileLaunching, u->tsInternet,
                       u->tsConfiguration, u->tsMessage})
        w->setEnabled(!client);
}

void SimpleActionTabs::ShowInnerTab(FormTab tab) {
    auto* u = ui_.get();
    switch (tab) {
        case FormTab::FtpRetry:
            u->pcFTP->setCurrentWidget(u->tsRetry);
            [[fallthrough]];
        case FormTab::Ftp:
            u->pcFileWeb->setCurrentWidget(u->tsFTP);
            break;
        case FormTab::FileWeb:
            u->pcFileWeb->setCurrentWidget(u->tsFileOps);
            break;
        default:
            break;
    }
}

void SimpleActionTabs::StopTests() {
    players_->StopWav();
    players_->StopCd();
    if (dialTest_) dialTest_->Close();
}

void SimpleActionTabs::TestDial(bool dial) {
    DialTestClick(services_, dialTest_, ui_->cbConnections, ui_->teRedial, ui_->Status, dial,
                  [this](BoxKind kind, const QString& text) { Box(kind, text); });
}

bool SimpleActionTabs::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        if (watched == ui_->tsDialUp) DialUpShown();
        if (watched == ui_->tsTimeSynch) players_->StartClock();
    } else if (event->type() == QEvent::Hide && watched == ui_->tsTimeSynch) {
        players_->StopClock();
    }
    return QObject::eventFilter(watched, event);
}

// ------------------------------------------------------------------ lists

void SimpleActionTabs::FillDrives() {
    QComboBox* list = ui_->RzDriveComboBox1;
    list->clear();
    for (const QString& letter : run::CdDriveLetters()) list->addItem(DriveEntry(letter));
    SelectStoredDrive();
}

void SimpleActionTabs::SelectStoredDrive() {
    QComboBox* list = ui_->RzDriveComboBox1;
    const QString stored = widgets::FromFileText(loaded_.cddrive);
    if (stored.isEmpty()) {
        list->setCurrentIndex(list->count() > 0 ? 0 : -1);
        return;
    }
    for (int i = 0; i < list->count(); ++i)
        if (SameDrive(list->itemText(i), stored)) {
            list->setCurrentIndex(i);
            return;
        }
    // A drive this machine does not have keeps its letter.
    list->addItem(stored);
    list->setCurrentIndex(list->count() - 1);
}

void SimpleActionTabs::DialUpShown() {
    if (dialListLoaded_) return;
    dialListLoaded_ = true;
    if (!AddSystemConnections(services_, ui_->cbConnections))
        ui_->Status->setText(QString::fromLatin1(run::kDialUnavailable));
}

void SimpleActionTabs::ReconnectTicked() {
    if (reconnectListLoaded_) return;
    reconnectListLoaded_ = true;
    KeepStoredEntry(ui_->cbFConnections, loaded_.ftpdialname);
    AddSystemConnections(services_, ui_->cbFConnections);
}

void SimpleActionTabs::LookUpServer(const std::string& server) {
    SelectStoredText(ui_->cboTimeServer, server);
}

void SimpleActionTabs::PopulateEmailList() {
    FillRecipients(ui_->teToo, g_);
}

// ------------------------------------------------------------------ tests

void SimpleActionTabs::TestApplications() {
    auto* u = ui_.get();
    const std::pair<QLineEdit*, QLineEdit*> programs[] = {
        {u->teApp1, u->teParam1}, {u->teApp2, u->teParam2}, {u->teApp3, u->teParam3}};
    for (const auto& [app, params] : programs) {
        if (app->text().isEmpty()) continue;
        run::Desktop& desktop = services_.desktop;
        if (!run::Execute(desktop, run::PlanLaunch(desktop, app->text(), params->text())))
            Warn(QStringLiteral("Unable to start %1.").arg(app->text()));
    }
}

void SimpleActionTabs::TestWebSite() {
    const QString url = ui_->teWeb1->text();
    if (url.isEmpty()) return;
    if (!OpenWebPageTest(services_.desktop, url, ui_->chkOpenNew->isChecked()))
        Warn(QStringLiteral("Unable to open %1.").arg(url));
}

// ------------------------------------------------------------ attachments

void SimpleActionTabs::AddAttachment() {
    AddAttachmentRow(services_.dialogs, editor_, ui_->ListBox1, ui_->btnRemove);
}

void SimpleActionTabs::RemoveAttachment() {
    RemoveAttachmentRow(ui_->ListBox1, ui_->btnRemove);
}

// ------------------------------------------------------------------ boxes

void SimpleActionTabs::Warn(const QString& text) {
    Box(BoxKind::Warning, text);
}

void SimpleActionTabs::Box(BoxKind kind, const QString& text) {
    if (editor_)
        services_.dialogs.Message(editor_, kind, text,
                                  editor_->window()->frameGeometry().topLeft());
    else
        services_.dialogs.Message(nullptr, kind, text);
}

}  // namespace ringmere::ui
