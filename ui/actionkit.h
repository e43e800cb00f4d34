// What the simple set's action tabs and the step editor share: the same
// controls behave the same in both.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "core/globals.h"
#include "run/services.h"
#include "run/sound.h"
#include "run/waiting.h"
#include "widgets/dialogs.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QObject;
class QPushButton;
class QRadioButton;
class QWidget;

namespace ringmere {
namespace run {
class Desktop;
class DialTest;
class SmtpClient;
}  // namespace run

namespace ui {

inline constexpr const char* kAllFiles = "All Files (*)";

// Chooses the entry equal to `stored`; a text the list lacks is shown as it
// is, never replaced by another entry, so saving keeps it.
void SelectStoredText(QComboBox* list, const std::string& stored);
// A connection list the service has not filled: the stored name only.
void KeepStoredEntry(QComboBox* list, const std::string& stored);
// A connection list's first need: the system's connections after what it
// holds, the choice kept (the first entry when there was none). False when
// the build has no connections; when they cannot be listed, the warning is
// shown centred on the screen.
bool AddSystemConnections(const Services& services, QComboBox* list);
// Shows the stored name in a connection list: alone until the list is
// filled, chosen among the entries after (first when the system lacks it).
void ShowStoredConnection(QComboBox* list, const std::string& stored, bool filled);
// The "To:" list: every recipient of the table's alarms and mail steps,
// once, sorted; the text shown stays.
void FillRecipients(QComboBox* to, const Globals& g);

void AddAttachmentRow(widgets::DialogService& dialogs, QWidget* owner, QListWidget* list,
                      QPushButton* remove);
// Removes the selected row, nothing when none; "Remove File" follows.
void RemoveAttachmentRow(QListWidget* list, QPushButton* remove);

// A file dialog starting where the field points, when that folder exists.
void BrowseFileInto(widgets::DialogService& dialogs, QWidget* owner, QLineEdit* field,
                    const QString& dir, const QString& filter);
void BrowseFolderInto(widgets::DialogService& dialogs, QWidget* owner, QLineEdit* field);

// "Test Web Site Launch": false when the page could not be opened.
bool OpenWebPageTest(run::Desktop& desktop, const QString& url, bool newWindow);

// The browse buttons both editors name alike, with their fields.
struct BrowseControls {
    QPushButton* mp3Browse;
    QLineEdit* mp3;
    QPushButton* wavBrowse;
    QLineEdit* wav;
    QPushButton* app1Browse;
    QLineEdit* app1;
    QPushButton* copyFromBrowse;
    QLineEdit* copyFrom;
    QPushButton* copyToBrowse;
    QLineEdit* copyTo;
    QPushButton* moveFromBrowse;
    QLineEdit* moveFrom;
    QPushButton* moveToBrowse;
    QLineEdit* moveTo;
    QPushButton* deleteBrowse;
    QLineEdit* deleteFile;
    QPushButton* ftpLocal;
    QLineEdit* localFile;
    QRadioButton* allFiles;

    template <class Form>
    static BrowseControls Of(Form* u) {
        return {u->btnMP3Browse,    u->teMP3,       u->btnWavBrowse,        u->teWav,
                u->btnApp1Browse,   u->teApp1,      u->btnCopyFromBrowse,   u->teCopyFrom,
                u->btnCopyToBrowse, u->teCopyTo,    u->btnMoveFromBrowse,   u->teMoveFrom,
                u->btnMoveToBrowse, u->teMoveTo,    u->btnDeleteFileBrowse, u->teDeleteFile,
                u->btnFTPLocal,     u->teLocalFile, u->rbAllFiles};
    }
};
// File dialogs over `owner` for each browse button: waves start in the
// system's sounds, the rest at home; the destination of a wildcard source
// and the local side of an all-files transfer are folders.
void ConnectBrowsing(widgets::DialogService& dialogs, QObject* context, QWidget* owner,
                     const BrowseControls& c);

// A message box over the window the controls are in.
using ShowBox = std::function<void(widgets::BoxKind, const QString&)>;

// The controls of the wave and CD tests and the time page's clock; both
// editors name them alike.
struct TestControls {
    QLineEdit* wav;
    QRadioButton* once;
    QRadioButton* forSeconds;
    QLineEdit* seconds;
    QPushButton* playWav;
    QPushButton* stopWav;
    QComboBox* drive;
    QRadioButton* randomTrack;
    QLineEdit* track;
    QPushButton* playCd;
    QPushButton* stopCd;
    QLabel* time;

    template <class Form>
    static TestControls Of(Form* u) {
        return {u->teWav,    u->rbOnce,   u->rbRepeatM,        u->teRepeat,
                u->btnPlay1, u->btnStop1, u->RzDriveComboBox1, u->rbRandomTrack,
                u->teTrack,  u->btnPlay2, u->btnStop2,         u->lblTime};
    }
};

// The wave and CD players behind the Play and Stop buttons, and the clock
// ticking on the time page. Sounds stop when this goes.
class TestPlayers {
public:
    TestPlayers(const Services& services, const TestControls& controls, ShowBox box);
    ~TestPlayers();
    TestPlayers(const TestPlayers&) = delete;
    TestPlayers& operator=(const TestPlayers&) = delete;

    // Play and Stop answer their buttons while `context` lives.
    void Connect(QObject* context);
    void PlayWav();
    void StopWav();
    void PlayCd();
    void StopCd();
    // Shows the time now and every second after, until StopClock.
    void StartClock();
    void StopClock();
    // The controls are destroyed while the sounds may still play: from now
    // on they are not touched, and the timers stay still.
    void ControlsGone();

private:
    void ShowTime();

    const Services services_;
    TestControls c_;
    ShowBox box_;
    bool gone_ = false;
    std::unique_ptr<run::FilePlayer> filePlayer_;
    std::unique_ptr<run::LoopPlayer> loopPlayer_;
    std::unique_ptr<run::CdPlayer> cdPlayer_;
    run::WaitTimer wavTimer_;
    run::WaitTimer clockTimer_;
};

// "Dial" (`dial`) or "Hang Up" of the connection shown; `test` is made on
// first use and reports into `status`.
void DialTestClick(const Services& services, std::unique_ptr<run::DialTest>& test,
                   QComboBox* connection, QLineEdit* redial, QLabel* status, bool dial,
                   const ShowBox& box);

// The message fields of an alarm's or a step's form, as shown.
template <class Form>
smtpmessage TestMessage(const Form& form) {
    smtpmessage mail;
    mail.sendmessage = true;
    mail.from = form.from;
    mail.mto = form.mto;
    mail.subject = form.subject;
    mail.msg = form.msg;
    mail.Attachment = form.attachments;
    mail.nAttach = Integer(form.attachments.size());
    return mail;
}
// "Send Test Message": every box the send brings, in order.
void SendTestMessageClick(const Services& services, std::shared_ptr<run::SmtpClient>& smtp,
                          const smtpmessage& mail, const ShowBox& box);

}  // namespace ui
}  // namespace ringmere
