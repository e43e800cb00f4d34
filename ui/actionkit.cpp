#include "ui/actionkit.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <algorithm>
#include <utility>

#include "core/step_form.h"
#include "run/desktop.h"
#include "run/dialup.h"
#include "run/mail.h"
#include "widgets/dialogs.h"
#include "widgets/file_text.h"
#include "widgets/form_text.h"

namespace ringmere::ui {

using widgets::ShownText;

void SelectStoredText(QComboBox* list, const std::string& stored) {
    const QString shown = ShownText(stored);
    const int found = list->findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found >= 0) {
        list->setCurrentIndex(found);
        return;
    }
    list->setCurrentIndex(-1);
    list->setEditText(shown);
}

void KeepStoredEntry(QComboBox* list, const std::string& stored) {
    list->clear();
    if (!stored.empty()) list->addItem(ShownText(stored));
}

bool AddSystemConnections(const Services& services, QComboBox* list) {
    if (!services.connections) return false;
    std::vector<std::string> entries;
    if (!run::ListDialEntries(services.connections, entries)) {
        services.dialogs.Message(nullptr, widgets::BoxKind::Warning,
                                 QString::fromLatin1(run::kNoConnectionsWarning));
        return true;
    }
    for (const std::string& entry : entries) {
        const QString name = ShownText(entry);
        if (list->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
            list->addItem(name);
    }
    return true;
}

void ShowStoredConnection(QComboBox* list, const std::string& stored, bool filled) {
    if (!filled) {
        KeepStoredEntry(list, stored);
        return;
    }
    const QString shown = ShownText(stored);
    if (shown.isEmpty()) {
        list->setCurrentIndex(-1);
        return;
    }
    int found = list->findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found < 0) list->insertItem(found = 0, shown);
    list->setCurrentIndex(found);
}

void FillRecipients(QComboBox* to, const Globals& g) {
    const QString shown = to->currentText();
    to->clear();
    auto insert = [to](const std::string& mto) {
        const QString text = ShownText(mto);
        if (text.isEmpty()) return;
        int i = 0;
        for (; i < to->count(); ++i) {
            const QString entry = to->itemText(i);
            if (QString::localeAwareCompare(entry, text) >= 0) {
                if (entry == text) return;
                break;
            }
        }
        to->insertItem(i, text);
    };
    const Integer last = std::min<Integer>(g.AlarmCount, Integer(g.AlarmTable.size()) - 1);
    for (Integer a = 1; a <= last; ++a) {
        const AlRec& alarm = g.AlarmTable[std::size_t(a)];
        if (alarm.mtype != kSimpleAlarm) {
            for (const AlEvent& step : alarm.Events.Items)
                if (step.evtype == kStepMail) insert(step.Mail->mto);
        } else if (alarm.Mail->sendmessage) {
            insert(alarm.Mail->mto);
        }
    }
    to->setCurrentIndex(-1);
    to->setEditText(shown);
}

void AddAttachmentRow(widgets::DialogService& dialogs, QWidget* owner, QListWidget* list,
                      QPushButton* remove) {
    const QString path = dialogs.OpenFileName(owner, QStringLiteral("Add File"), QDir::homePath(),
                                              QString::fromLatin1(kAllFiles));
    if (path.isEmpty()) return;
    list->addItem(path);
    remove->setEnabled(true);
}

void RemoveAttachmentRow(QListWidget* list, QPushButton* remove) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty()) return;
    delete selected.first();
    if (list->count() == 0) remove->setEnabled(false);
}

void BrowseFileInto(widgets::DialogService& dialogs, QWidget* owner, QLineEdit* field,
                    const QString& dir, const QString& filter) {
    const QFileInfo current(field->text());
    const QString start =
        !field->text().isEmpty() && current.dir().exists() ? current.dir().path() : dir;
    const QString chosen = dialogs.OpenFileName(owner, QStringLiteral("Open"), start, filter);
    if (!chosen.isEmpty()) field->setText(chosen);
}

void BrowseFolderInto(widgets::DialogService& dialogs, QWidget* owner, QLineEdit* field) {
    const QString chosen =
        dialogs.ExistingDirectory(owner, QStringLiteral("Select Folder"), QDir::homePath());
    if (!chosen.isEmpty()) field->setText(chosen);
}

bool OpenWebPageTest(run::Desktop& desktop, const QString& url, bool newWindow,
                     const run::OpenFailed& failed) {
    return run::Execute(desktop, run::PlanWebPage(desktop, url, newWindow), failed);
}

// ------------------------------------------------------------ test players

namespace {

void EnablePlayer(QPushButton* play, QPushButton* stop, bool playing) {
    play->setEnabled(!playing);
    stop->setEnabled(playing);
}

}  // namespace

TestPlayers::TestPlayers(const Services& services, const TestControls& controls, ShowBox box)
    : services_(services),
      c_(controls),
      box_(std::move(box)),
      filePlayer_(services.sound.NewFilePlayer()),
      loopPlayer_(services.sound.NewLoopPlayer()),
      cdPlayer_(services.sound.NewCdPlayer()),
      wavTimer_(services.waiting, [this] {
          wavTimer_.Stop();
          loopPlayer_->Stop();
          if (!gone_) EnablePlayer(c_.playWav, c_.stopWav, false);
      }) {
    filePlayer_->OnFailure([this](const QString& why) { PlayFailed(why); });
    loopPlayer_->OnFailure([this](const QString& why) { PlayFailed(why); });
    cdPlayer_->OnFailure([this](const QString& why) {
        if (gone_) return;
        EnablePlayer(c_.playCd, c_.stopCd, false);
        box_(widgets::BoxKind::Warning, QStringLiteral("Unable to play CD: %1").arg(why));
    });
    EnablePlayer(c_.playWav, c_.stopWav, false);
    EnablePlayer(c_.playCd, c_.stopCd, false);
}

void TestPlayers::PlayFailed(const QString& why) {
    wavTimer_.Stop();
    if (gone_) return;
    EnablePlayer(c_.playWav, c_.stopWav, false);
    box_(widgets::BoxKind::Warning, QStringLiteral("Unable to play %1: %2").arg(playing_, why));
}

TestPlayers::~TestPlayers() {
    wavTimer_.Stop();
    loopPlayer_->Stop();
    if (filePlayer_->IsPlaying()) filePlayer_->Stop();
    if (cdPlayer_->IsPlaying()) cdPlayer_->Stop();
}

void TestPlayers::Connect(QObject* context) {
    QObject::connect(c_.playWav, &QPushButton::clicked, context, [this] { PlayWav(); });
    QObject::connect(c_.stopWav, &QPushButton::clicked, context, [this] { StopWav(); });
    QObject::connect(c_.playCd, &QPushButton::clicked, context, [this] { PlayCd(); });
    QObject::connect(c_.stopCd, &QPushButton::clicked, context, [this] { StopCd(); });
}

void TestPlayers::ControlsGone() {
    gone_ = true;
    wavTimer_.Stop();
}

void TestPlayers::PlayWav() {
    const QString file = c_.wav->text();
    if (file.trimmed().isEmpty()) {
        box_(widgets::BoxKind::Warning, QStringLiteral("Please select a .wav file"));
        return;
    }
    StopWav();
    playing_ = file;
    EnablePlayer(c_.playWav, c_.stopWav, true);
    bool started;
    QString why;
    if (c_.once->isChecked()) {
        started = filePlayer_->Play(file, [this] {
            if (!gone_) EnablePlayer(c_.playWav, c_.stopWav, false);
        });
        why = filePlayer_->ErrorText();
    } else {
        started = loopPlayer_->Loop(file);
        why = loopPlayer_->ErrorText();
        if (started && c_.forSeconds->isChecked()) {
            const auto seconds = ParseWholeNumber(c_.seconds->text().toStdString());
            wavTimer_.SetInterval(
                int(std::clamp<Integer>(seconds.value_or(1), kStepWavSecondsRange.min,
                                        kStepWavSecondsRange.max)) *
                1000);
            wavTimer_.Start();
        }
    }
    if (!started) {
        EnablePlayer(c_.playWav, c_.stopWav, false);
        box_(widgets::BoxKind::Warning, QStringLiteral("Unable to play %1: %2").arg(file, why));
    }
}

void TestPlayers::StopWav() {
    wavTimer_.Stop();
    loopPlayer_->Stop();
    if (filePlayer_->IsPlaying()) filePlayer_->Stop();
    if (!gone_) EnablePlayer(c_.playWav, c_.stopWav, false);
}

void TestPlayers::PlayCd() {
    const QString letter = c_.drive->currentText().left(1);
    run::CdDrives& drives = services_.sound.Drives();
    if (!run::AudioCDPresent(drives, letter)) {
        box_(widgets::BoxKind::Warning, QStringLiteral("Audio CD not found in selected drive."));
        EnablePlayer(c_.playCd, c_.stopCd, false);
        return;
    }
    const QString device = run::CdDevicePath(letter);
    const int tracks = drives.AudioTracks(device).value_or(0);
    Integer track = 0;
    if (c_.randomTrack->isChecked())
        track = tracks > 0 ? QRandomGenerator::global()->bounded(1, tracks + 1) : 0;
    else
        track = ParseWholeNumber(c_.track->text().toStdString()).value_or(0);
    if (track < 1 || track > tracks || !cdPlayer_->Play(device, int(track))) {
        box_(widgets::BoxKind::Warning, QStringLiteral("Unable to play CD."));
        return;
    }
    EnablePlayer(c_.playCd, c_.stopCd, true);
}

void TestPlayers::StopCd() {
    if (cdPlayer_->IsPlaying()) cdPlayer_->Stop();
    if (!gone_) EnablePlayer(c_.playCd, c_.stopCd, false);
}

// ------------------------------------------------------------ dial and mail

void DialTestClick(const Services& services, std::unique_ptr<run::DialTest>& test,
                   QComboBox* connection, QLineEdit* redial, QLabel* status, bool dial,
                   const ShowBox& box) {
    if (!services.connections) {
        box(widgets::BoxKind::Warning,
            QStringLiteral("Network connections are not available in this build yet."));
        return;
    }
    if (!test)
        test = std::make_unique<run::DialTest>(
            *services.connections,
            [status](const std::string& text) { status->setText(ShownText(text)); },
            [redial] {
                return int(ParseWholeNumber(widgets::ToFileText(redial->text())).value_or(0));
            });
    const std::string entry = widgets::ToFileText(connection->currentText());
    const bool reached = dial ? test->Dial(entry, false) : test->HangUp(entry);
    if (!reached) box(widgets::BoxKind::Warning, QString::fromLatin1(run::kNoConnectionsWarning));
}

void SendTestMessageClick(const Services& services, std::shared_ptr<run::SmtpClient>& smtp,
                          const smtpmessage& mail, const ShowBox& box) {
    if (!services.mail) {
        box(widgets::BoxKind::Warning,
            QStringLiteral("Sending mail is not available in this build yet."));
        return;
    }
    for (const auto& said : run::SendTestMessage(services, smtp, mail).boxes)
        box(said.kind, ShownText(said.text));
}

}  // namespace ringmere::ui
