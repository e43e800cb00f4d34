#include "ui/AddEvent.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
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

#include "core/alarmtable.h"
#include "core/clock.h"
#include "core/datetime.h"
#include "core/script_list.h"
#include "run/actions.h"
#include "run/desktop.h"
#include "run/dialup.h"
#include "run/mail.h"
#include "run/timesync.h"
#include "ui/actionkit.h"
#include "ui_AddEvent.h"
#include "widgets/dialogs.h"
#include "widgets/file_text.h"
#include "widgets/form_text.h"
#include "widgets/updown.h"

namespace ringmere::ui {

using widgets::BoxKind;
using widgets::ShownText;
using widgets::StoredText;
using UiForm = Ui::TfrmAddEvent;

namespace {

// The kinds in the order of evtype, with their choice and page.
struct Kind {
    QRadioButton* UiForm::*choice;
    QWidget* UiForm::*page;
};
const Kind kKinds[] = {
    {&UiForm::rbMusic, &UiForm::Music},     {&UiForm::rbDialup, &UiForm::Dialup},
    {&UiForm::rbLaunchFile, &UiForm::File}, {&UiForm::rbLaunchWeb, &UiForm::Web},
    {&UiForm::rbEmail, &UiForm::Page},      {&UiForm::rbSleep, &UiForm::Sleep},
    {&UiForm::rbSynch, &UiForm::SynchP},    {&UiForm::rbFTP, &UiForm::FTP},
    {&UiForm::rbRepeat, &UiForm::Repeat},   {&UiForm::rbFileOp, &UiForm::FileOp},
};

// Fields holding a text of the step as typed.
struct TextField {
    QLineEdit* UiForm::*edit;
    std::string StepForm::*value;
};
const TextField kTextFields[] = {
    {&UiForm::teMP3, &StepForm::mp3file},
    {&UiForm::teWav, &StepForm::wavfile},
    {&UiForm::teRepeat, &StepForm::repeatSeconds},
    {&UiForm::teTrack, &StepForm::track},
    {&UiForm::teRedial, &StepForm::redial},
    {&UiForm::teApp1, &StepForm::app1},
    {&UiForm::teParam1, &StepForm::param1},
    {&UiForm::teWeb1, &StepForm::url1},
    {&UiForm::teFrom, &StepForm::from},
    {&UiForm::teSubject, &StepForm::subject},
    {&UiForm::teSleep, &StepForm::seconds},
    {&UiForm::teFTPServer, &StepForm::ftpserver},
    {&UiForm::teFTPPort, &StepForm::ftpport},
    {&UiForm::teFTPUser, &StepForm::ftpuser},
    {&UiForm::teFTPPass, &StepForm::ftppass},
    {&UiForm::teFTPPath, &StepForm::ftppath},
    {&UiForm::teLocalFile, &StepForm::ftplocalfile},
    {&UiForm::teRetries, &StepForm::ftpmaxretry},
    {&UiForm::teRDelay, &StepForm::ftpdelay},
    {&UiForm::teReconnect, &StepForm::ftpmaxrecon},
    {&UiForm::teReconDelay, &StepForm::ftprecondelay},
    {&UiForm::teRepNum, &StepForm::repnum},
    {&UiForm::teCopyFrom, &StepForm::copyFrom},
    {&UiForm::teCopyTo, &StepForm::copyTo},
    {&UiForm::teMoveFrom, &StepForm::moveFrom},
    {&UiForm::teMoveTo, &StepForm::moveTo},
    {&UiForm::teDeleteFile, &StepForm::deleteFile},
};

struct Tick {
    QCheckBox* UiForm::*box;
    bool StepForm::*value;
};
const Tick kTicks[] = {
    {&UiForm::chkOpenNew, &StepForm::opennew},
    {&UiForm::chkPassive, &StepForm::ftppassive},
    {&UiForm::chkFTPRetry, &StepForm::ftpretry},
    {&UiForm::chkFTPReconnect, &StepForm::ftpreconnect},
};

// A set of choices and the number each stores; the first is taken for a
// number that is none of them (the form only holds known ones).
struct Choice {
    QRadioButton* UiForm::*button;
    Byte value;
};
struct ChoiceSet {
    Byte StepForm::*value;
    std::vector<Choice> choices;
};
const ChoiceSet kChoiceSets[] = {
    {&StepForm::muType,
     {{&UiForm::rbMp3, kMusicMp3}, {&UiForm::rbWav, kMusicWave}, {&UiForm::rbCD, kMusicCd}}},
    {&StepForm::wavtype,
     {{&UiForm::rbOnce, kWavOnce},
      {&UiForm::rbRepeat1, kWavUntilStopped},
      {&UiForm::rbRepeatM, kWavForSeconds}}},
    {&StepForm::tracktype,
     {{&UiForm::rbSelectedTrack, kCdListedTrack}, {&UiForm::rbRandomTrack, kCdRandomTrack}}},
    {&StepForm::ftptransfertype,
     {{&UiForm::rbSingleFile, kFtpSingleFile}, {&UiForm::rbAllFiles, kFtpAllFiles}}},
    {&StepForm::reptype,
     {{&UiForm::rbRepeatTimes, kRepeatTimes}, {&UiForm::rbRepeatStop, kRepeatUntilStopped}}},
    {&StepForm::fop,
     {{&UiForm::rbFileCopy, kFopCopy},
      {&UiForm::rbFileMove, kFopMove},
      {&UiForm::rbFileDelete, kFopDelete}}},
};

struct Arrows {
    widgets::UpDown* UiForm::*arrows;
    QLineEdit* UiForm::*field;
    FieldRange range;
};
const Arrows kArrows[] = {
    {&UiForm::UpDown1, &UiForm::teRepeat, kStepWavSecondsRange},
    {&UiForm::UpDown2, &UiForm::teTrack, kStepTrackRange},
    {&UiForm::UpDown3, &UiForm::teRedial, kStepRedialRange},
    {&UiForm::UpDown4, &UiForm::teSleep, kStepSleepRange},
    {&UiForm::UpDown5, &UiForm::teRepNum, kStepRepeatCountRange},
    {&UiForm::UpDown6, &UiForm::teRetries, kStepRetriesRange},
    {&UiForm::UpDown7, &UiForm::teRDelay, kStepRetryDelayRange},
    {&UiForm::UpDown8, &UiForm::teReconnect, kStepRetriesRange},
    {&UiForm::UpDown11, &UiForm::teReconDelay, kStepRetryDelayRange},
};

QString DriveEntry(const QString& letter) {
    return letter + QStringLiteral(": ") + run::CdDevicePath(letter);
}

bool SameDrive(const QString& a, const QString& b) {
    return !a.isEmpty() && !b.isEmpty() && a.at(0).toUpper() == b.at(0).toUpper();
}

}  // namespace

TfrmAddEvent::TfrmAddEvent(Globals& g, const Services& services, QWidget* owner)
    : QDialog(owner),
      g_(g),
      services_(services),
      ui_(std::make_unique<UiForm>()),
      adding_(g.AddingStep),
      index_(g.StepIndex) {
    ui_->setupUi(this);
    auto* u = ui_.get();
    players_ = std::make_unique<TestPlayers>(
        services, TestControls::Of(u),
        [this](BoxKind kind, const QString& text) { Box(kind, text); });
    for (const Arrows& a : kArrows) {
        (u->*a.arrows)->SetBuddy(u->*a.field);
        (u->*a.arrows)->SetRange(a.range.min, a.range.max);
        (u->*a.arrows)->setFixedHeight((u->*a.field)->sizeHint().height());
    }
    u->pcPage->setCurrentWidget(u->tsConfiguration);
    u->pcFTP->setCurrentIndex(0);
    u->pcFileOps->setCurrentIndex(0);

    const Integer count = StepCount(g.WorkScript);
    // Nothing to edit there: the step is added instead.
    if (!adding_ && (index_ < 1 || index_ > count)) adding_ = true;
    viewOnly_ = IsClientMode(g);
    u->rbRepeat->setEnabled(RepeatAllowed(count, index_));
    lastTarget_ = LastRepeatTarget(count, index_, adding_);
    FillRepeatTargets();

    Connect();
    if (adding_) {
        Load(NewStepForm(g.Settings));
    } else {
        Load(LoadStepForm(g.WorkScript.Items[std::size_t(index_ - 1)], g.Settings));
        if (!viewOnly_) setWindowTitle(QStringLiteral("Edit Alarm"));
    }
    ApplyClientMode();

    adjustSize();
    if (owner) move(widgets::PlaceOver(owner->window(), frameGeometry().size(), true));
}

TfrmAddEvent::~TfrmAddEvent() = default;

void TfrmAddEvent::Connect() {
    auto* u = ui_.get();
    for (QAbstractButton* b : findChildren<QAbstractButton*>())
        if (qobject_cast<QRadioButton*>(b) || qobject_cast<QCheckBox*>(b))
            connect(b, &QAbstractButton::toggled, this, [this] { ApplyRules(); });
    connect(u->rbDialup, &QRadioButton::toggled, this, [this](bool on) {
        if (on) FillConnections(ui_->cbConnections, loaded_.dialname, dialListLoaded_);
    });
    connect(u->chkFTPReconnect, &QCheckBox::toggled, this, [this](bool on) {
        if (on) FillConnections(ui_->cbFConnections, loaded_.ftpdialname, reconnectListLoaded_);
    });
    connect(u->lstSteps, &QListWidget::currentRowChanged, this, [this] { ShowTargetName(); });
    connect(u->BitBtn1, &QPushButton::clicked, this, &TfrmAddEvent::BitBtn1Click);
    connect(u->BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    ConnectBrowsing(services_.dialogs, this, this, BrowseControls::Of(u));

    connect(u->btnMP3Test, &QPushButton::clicked, this, [this] {
        run::ShellOpenFile(services_.desktop, services_.dialogs, ui_->teMP3->text(), this);
    });
    players_->Connect(this);
    connect(u->Button12, &QPushButton::clicked, this, [this] { TestApplication(); });
    connect(u->Button13, &QPushButton::clicked, this, [this] { TestWebSite(); });
    connect(u->frmAddAttach, &QPushButton::clicked, this, [this] { AddAttachment(); });
    connect(u->btnRemove, &QPushButton::clicked, this, [this] { RemoveAttachment(); });

    connect(u->Button7, &QPushButton::clicked, this, [this] { TestDial(true); });
    connect(u->Button8, &QPushButton::clicked, this, [this] { TestDial(false); });
    // A successful send keeps the editor open: the step is not stored by it.
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
        run::InteractiveSynchronize(services_, ui_->cboTimeServer->currentText().trimmed(), this);
    });
}

void TfrmAddEvent::TestDial(bool dial) {
    DialTestClick(services_, dialTest_, ui_->cbConnections, ui_->teRedial, ui_->Status, dial,
                  [this](BoxKind kind, const QString& text) { Box(kind, text); });
}

void TfrmAddEvent::ApplyClientMode() {
    if (!viewOnly_) return;
    auto* u = ui_.get();
    for (QWidget* w : {static_cast<QWidget*>(u->rgEventType), u->tsConfiguration, u->tsMessage,
                       static_cast<QWidget*>(u->gbMusic), static_cast<QWidget*>(u->pnDialup),
                       static_cast<QWidget*>(u->pnApplication), static_cast<QWidget*>(u->Button12),
                       static_cast<QWidget*>(u->pnWeb), static_cast<QWidget*>(u->Button13),
                       static_cast<QWidget*>(u->pnSleep)})
        w->setEnabled(false);
    u->BitBtn2->hide();
    setWindowTitle(QStringLiteral("View Event (Client Mode)"));
}

void TfrmAddEvent::ApplyRules() {
    auto* u = ui_.get();
    for (const Kind& k : kKinds)
        if ((u->*k.choice)->isChecked()) u->Notebook1->setCurrentWidget(u->*k.page);
    const bool synch = u->rbSynch->isChecked();
    if (synch)
        players_->StartClock();
    else
        players_->StopClock();

    u->nbMusic->setCurrentWidget(u->rbWav->isChecked()  ? u->Wav
                                 : u->rbCD->isChecked() ? u->CD
                                                        : u->MP3);
    u->teRepeat->setEnabled(u->rbRepeatM->isChecked());
    u->teTrack->setEnabled(u->rbSelectedTrack->isChecked());
    for (QWidget* w : {u->teRetries, u->teRDelay}) w->setEnabled(u->chkFTPRetry->isChecked());
    for (QWidget* w :
         {static_cast<QWidget*>(u->cbFConnections), static_cast<QWidget*>(u->teReconnect),
          static_cast<QWidget*>(u->teReconDelay)})
        w->setEnabled(u->chkFTPReconnect->isChecked());
    const bool all = u->rbAllFiles->isChecked();
    u->lblLocalFile->setText(all ? QStringLiteral("Local Directory:")
                                 : QStringLiteral("Local File:"));
    u->lblFTPPath->setText(all ? QStringLiteral("Remote Directory:")
                               : QStringLiteral("Remote File:"));
    u->teRepNum->setEnabled(u->rbRepeatTimes->isChecked());
    u->pcFileOps->setCurrentWidget(u->rbFileMove->isChecked()     ? u->tsMove
                                   : u->rbFileDelete->isChecked() ? u->tsDelete
                                                                  : u->tsCopy);
}

void TfrmAddEvent::Load(const StepForm& form) {
    auto* u = ui_.get();
    loaded_ = form;
    // Before the kind and ticks: they may fill their lists now.
    ShowStoredConnection(u->cbConnections, form.dialname, dialListLoaded_);
    ShowStoredConnection(u->cbFConnections, form.ftpdialname, reconnectListLoaded_);
    const std::size_t kind = std::min<std::size_t>(form.kind, std::size(kKinds) - 1);
    (u->*kKinds[kind].choice)->setChecked(true);
    for (const TextField& f : kTextFields) (u->*f.edit)->setText(ShownText(form.*f.value));
    for (const Tick& t : kTicks) (u->*t.box)->setChecked(form.*t.value);
    for (const ChoiceSet& set : kChoiceSets) {
        const auto it = std::find_if(set.choices.begin(), set.choices.end(),
                                     [&](const Choice& c) { return c.value == form.*set.value; });
        (u->*(it != set.choices.end() ? *it : set.choices.front()).button)->setChecked(true);
    }
    (form.connect ? u->rbConnect : u->rbDisconnect)->setChecked(true);
    (form.ftpupload ? u->rbUpload : u->rbDownload)->setChecked(true);
    (form.ftpascmode ? u->rbASCII : u->rbBinary)->setChecked(true);

    FillDrives();
    if (!services_.connections) u->Status->setText(QString::fromLatin1(run::kDialUnavailable));
    LookUpServer(form.synchserver);

    u->MessageText->setPlainText(ShownText(form.msg));
    u->ListBox1->clear();
    for (const std::string& a : form.attachments) {
        auto* row = new QListWidgetItem(ShownText(a), u->ListBox1);
        row->setData(Qt::UserRole, QByteArray::fromStdString(a));
    }
    if (u->ListBox1->count() > 0) u->ListBox1->setCurrentRow(0);
    u->btnRemove->setEnabled(u->ListBox1->count() > 0);
    u->teToo->setEditText(ShownText(form.mto));
    PopulateEmailList();

    u->lstSteps->setCurrentRow(-1);
    const QList<QListWidgetItem*> found =
        u->lstSteps->findItems(QString::fromStdString(form.target), Qt::MatchExactly);
    if (!form.target.empty() && !found.isEmpty()) u->lstSteps->setCurrentItem(found.first());
    ShowTargetName();
    ApplyRules();
}

StepForm TfrmAddEvent::Form() const {
    const auto* u = ui_.get();
    StepForm form = loaded_;
    for (std::size_t k = 0; k < std::size(kKinds); ++k)
        if ((u->*kKinds[k].choice)->isChecked()) form.kind = Byte(k);
    for (const TextField& f : kTextFields)
        form.*f.value = StoredText((u->*f.edit)->text(), loaded_.*f.value);
    for (const Tick& t : kTicks) form.*t.value = (u->*t.box)->isChecked();
    for (const ChoiceSet& set : kChoiceSets)
        for (const Choice& c : set.choices)
            if ((u->*c.button)->isChecked()) form.*set.value = c.value;
    form.connect = u->rbConnect->isChecked();
    form.ftpupload = u->rbUpload->isChecked();
    form.ftpascmode = u->rbASCII->isChecked();

    // The letter is what is stored: a drive shown under another name is the
    // loaded one.
    const QString drive = u->RzDriveComboBox1->currentText();
    form.cddrive = drive.isEmpty() || SameDrive(drive, QString::fromStdString(loaded_.cddrive))
                       ? loaded_.cddrive
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
    const QListWidgetItem* target = u->lstSteps->currentItem();
    form.target = target && target->isSelected() ? target->text().toStdString() : std::string();
    return form;
}

void TfrmAddEvent::BitBtn1Click() {
    if (viewOnly_) {
        reject();
        return;
    }
    const StepForm form = Form();
    const StepFiles files{[](const std::string& path) {
        const QFileInfo info(QString::fromStdString(path));
        return info.exists() && !info.isDir();
    }};
    for (const StepProblem& p : CheckStepForm(form, lastTarget_, files)) {
        services_.dialogs.Message(this, BoxKind::Warning, widgets::FromFileText(p.message),
                                  BoxCorner());
        if (p.tab == StepTab::FtpRetry) ui_->pcFTP->setCurrentWidget(ui_->tsRetry);
        if (p.stops) return;
    }
    // Converted and checked: only now does the script change.
    AlEventList& script = g_.WorkScript;
    if (adding_) {
        AlEvent step;
        StoreStep(form, step);
        script.Items.resize(std::size_t(StepCount(script)));
        script.Items.push_back(std::move(step));
        script.Count = Integer(script.Items.size());
        g_.StepIndex = script.Count;
    } else {
        StoreStep(form, script.Items[std::size_t(index_ - 1)]);
        g_.StepIndex = index_;
    }
    accept();
}

void TfrmAddEvent::done(int result) {
    players_->StopWav();
    players_->StopCd();
    if (dialTest_) dialTest_->Close();
    players_->StopClock();
    QDialog::done(result);
}

// ------------------------------------------------------------------ lists

void TfrmAddEvent::FillRepeatTargets() {
    QListWidget* list = ui_->lstSteps;
    list->clear();
    for (Integer k = 1; k <= lastTarget_; ++k) list->addItem(QString::number(k));
}

void TfrmAddEvent::ShowTargetName() {
    const QListWidgetItem* item = ui_->lstSteps->currentItem();
    const Integer k = item ? item->text().toInt() : 0;
    const AlEventList& script = g_.WorkScript;
    ui_->lblTargetName->setText(k >= 1 && k <= StepCount(script)
                                    ? ShownText(script.Items[std::size_t(k - 1)].evname)
                                    : QString());
}

void TfrmAddEvent::FillDrives() {
    QComboBox* list = ui_->RzDriveComboBox1;
    list->clear();
    for (const QString& letter : run::CdDriveLetters()) list->addItem(DriveEntry(letter));
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

// Each connection list is filled from the system once, on first need.
void TfrmAddEvent::FillConnections(QComboBox* list, const std::string& stored, bool& filled) {
    if (filled) return;
    filled = true;
    KeepStoredEntry(list, stored);
    AddSystemConnections(services_, list);
}

void TfrmAddEvent::LookUpServer(const std::string& server) {
    SelectStoredText(ui_->cboTimeServer, server);
}

void TfrmAddEvent::PopulateEmailList() {
    FillRecipients(ui_->teToo, g_);
}

// ------------------------------------------------------------------ tests

void TfrmAddEvent::TestApplication() {
    const QString app = ui_->teApp1->text();
    if (app.isEmpty()) return;
    run::Desktop& desktop = services_.desktop;
    if (!run::Execute(desktop, run::PlanLaunch(desktop, app, ui_->teParam1->text())))
        Warn(QStringLiteral("Unable to start %1.").arg(app));
}

void TfrmAddEvent::TestWebSite() {
    const QString url = ui_->teWeb1->text();
    if (url.isEmpty()) return;
    if (!OpenWebPageTest(services_.desktop, url, ui_->chkOpenNew->isChecked()))
        Warn(QStringLiteral("Unable to open %1.").arg(url));
}

// ------------------------------------------------------------ attachments

void TfrmAddEvent::AddAttachment() {
    AddAttachmentRow(services_.dialogs, this, ui_->ListBox1, ui_->btnRemove);
}

void TfrmAddEvent::RemoveAttachment() {
    RemoveAttachmentRow(ui_->ListBox1, ui_->btnRemove);
}

// ------------------------------------------------------------------ boxes

void TfrmAddEvent::Warn(const QString& text) {
    Box(BoxKind::Warning, text);
}

void TfrmAddEvent::Box(BoxKind kind, const QString& text) {
    services_.dialogs.Message(this, kind, text, BoxCorner());
}

QPoint TfrmAddEvent::BoxCorner() const {
    return frameGeometry().topLeft();
}

}  // namespace ringmere::ui
