// What the action pages share beyond one page: stored-text and connection
// lists, recipients, attachments, browsing, the test players, dial and mail.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "core/globals.h"
#include "run/desktop.h"
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

// "Test Web Site Launch": false when the page could not be opened; why goes
// to `failed`, now or once the desktop's handler has given up.
bool OpenWebPageTest(run::Desktop& desktop, const QString& url, bool newWindow,
                     const run::OpenFailed& failed);

// A message box over the window the controls are in.
using ShowBox = std::function<void(widgets::BoxKind, const QString&)>;

// The controls of the wave and CD tests.
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
};

// The wave and CD players behind the Play and Stop buttons. Sounds stop
// when this goes.
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
    // The controls are destroyed while the sounds may still play: from now
    // on they are not touched, and the timer stays still.
    void ControlsGone();

private:
    // A sound that started and then failed: the same box as a failed start.
    void PlayFailed(const QString& why);

    const Services services_;
    TestControls c_;
    ShowBox box_;
    bool gone_ = false;
    std::unique_ptr<run::FilePlayer> filePlayer_;
    std::unique_ptr<run::LoopPlayer> loopPlayer_;
    std::unique_ptr<run::CdPlayer> cdPlayer_;
    run::WaitTimer wavTimer_;
    QString playing_;  // the wave file last started
};

// "Dial" (`dial`) or "Hang Up" of the connection shown; `test` is made on
// first use and reports into `status`.
void DialTestClick(const Services& services, std::unique_ptr<run::DialTest>& test,
                   QComboBox* connection, QLineEdit* redial, QLabel* status, bool dial,
                   const ShowBox& box);

// "Send Test Message": every box the send brings, in order.
void SendTestMessageClick(const Services& services, std::shared_ptr<run::SmtpClient>& smtp,
                          const smtpmessage& mail, const ShowBox& box);

}  // namespace ui
}  // namespace ringmere
