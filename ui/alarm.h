// The main window: the alarm list, the schedule view, the tray icon and the
// commands that reach every other window.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "core/clock.h"
#include "core/edit_requests.h"
#include "core/globals.h"
#include "core/late_alarms.h"
#include "platform/power_events.h"
#include "run/services.h"
#include "run/waiting.h"

class QLabel;
class QMenu;
class QPushButton;
class QSystemTrayIcon;

namespace Ui {
class TfrmAlMain;
}

namespace ringmere::ui {

class AlarmListModel;
class ScheduleModel;
class Tfrmgexcept;
class TimeSyncPage;

// What the main window calls on the rest of the program besides its
// services. Start-up fills these in; tests put their own.
struct MainWindowHooks {
    // Creates and shows the run window of alarm `index` with `title` above
    // its message. Unset: the run window over the main window's services.
    std::function<void(int index, const QString& title)> openRunWindow;
    // Opens the alarm editor on `request`, modal; the position of the alarm
    // it saved, or nothing. Unset while the editor is not part of the program.
    std::function<std::optional<Integer>(QWidget* owner, const AlarmEditRequest& request)>
        openEditor;
    // Ends the program.
    std::function<void()> quit;
    // The wake-up thread: starts one that wakes the computer before
    // `target`; false when it cannot be created. Stopping waits for it.
    std::function<bool(DateTime target)> startWakeThread;
    std::function<void()> stopWakeThread;
    // Whether the desktop has a notification area. Unset: asks the desktop.
    std::function<bool()> trayAvailable;
    // Options > "Additional Options..." and "email Settings...", modal; an
    // item whose hook is unset stays disabled.
    std::function<void(QWidget* owner)> openAdditionalOptions;
    std::function<void(QWidget* owner)> openEmailSettings;
    // The set-up wizard, modal; run by the first showing when there was no
    // alarm file. Unset: nothing runs and nothing is written.
    std::function<void(QWidget* owner)> runStartupWizard;
    // Options > "Network Configuration..." (net/); true when it ended with
    // OK. Unset: the item stays disabled.
    std::function<bool(QWidget* owner)> openNetConfig;
    // File > "Reload Now": the shared file's reload at once, in client modes
    // only. Unset: the item stays disabled.
    std::function<void()> reloadNow;
};

class TfrmAlMain : public QMainWindow {
    Q_OBJECT

public:
    TfrmAlMain(Globals& g, const Services& services, MainWindowHooks hooks = {},
               QWidget* parent = nullptr);
    ~TfrmAlMain() override;

    void LoadList();
    // Fills the schedule view from the schedule table.
    void LoadScheduleView();
    // After the alarm table changed: the list, the schedule table and its view.
    void Refill();
    // After the clock or an alarm's state changed: the schedule table and its view.
    void RebuildSchedule();
    // Enables the commands for the page shown, the mode, the alarm count and
    // the selected row; the one place that decides them.
    void UpdateCommands();
    // One tick of the check timer.
    void CheckAlarms();
    void ActivateAlarm(int slot);
    // Shows the window in its normal state, in front (tray icon and menu).
    void ShowMainWindow();
    // The first showing's hook: runs the set-up wizard when there was no
    // alarm file, then reads the file it wrote and refills the lists.
    void FirstShowing();

    // Before a suspend, arms the wake-up thread for the first entry; on
    // resume or a failed suspend, stops it. Never refuses the suspend.
    void PowerEvent(int code);
    bool WakeThreadRunning() const { return wakeRunning_; }
    // The wake-up thread ended by itself (its timer fired).
    void WakeThreadEnded() { wakeRunning_ = false; }

    // The end of the desktop session: the next close lets the window close.
    void SessionEnding();
    // Exit command: save the placement and end the program.
    void ExitProgram();

    // Commands (also reached through the actions).
    void DeleteSelectedAlarm();
    void TestSelectedAlarm();
    void SetAlarmEnabled(int row, bool enabled);
    void ShowPage(int item);
    void ViewLogFile();
    void HelpContents();
    // Options > "Global Exceptions...": the list opens and this returns.
    void OpenGlobalExceptions();

    TimeSyncPage& TimeSync() const { return *timeSync_; }
    // The Time Sync page's "Update System Time", one tick of its daily
    // synchronisation's timer, and whether that timer runs.
    void UpdateSystemTime();
    void SynchTimerTick();
    bool SynchTimerActive() const;

    QTimer& AlarmCheck() { return alarmCheck_; }
    const AlarmCheckLoop& CheckLoop() const { return checkLoop_; }
    // Missed alarms not yet looked at, as their log lines; the status-bar
    // entry opens them.
    QStringList UnseenMissed() const { return unseenMissed_; }
    void ShowMissedAlarms();
    // The selected alarm's position, 0 when no alarm row is selected.
    int SelectedRow() const;
    QString ActionHintAt(const QPoint& viewportPos) const;
    void SetStatusText(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The parts of building the window, in the order the constructor takes them.
    void SetUpViews();
    void SetUpIcons(bool sideBarGradient);
    void SetUpOverlays();
    void ShowModeHints(bool client);
    void SetUpMenus();
    void ConnectCommands();
    void SetUpCheckTimer();
    void FillAndStart();
    void SetUpTimeSync();

    void SetUpTray();
    void StartAlarmCheck();
    // Opens the run window of alarm `index`, titled.
    void OpenRun(int index, const QString& lateNote = QString());
    // The log lines and the notice of what a check found late or missed.
    void TellLateAndMissed(const CheckOutcome& outcome);
    // Keeps the last check moment in the settings store, once a minute or
    // at once with `now`.
    void KeepLastCheck(bool now);
    void StopWakeThread();
    void ApplyPlacement();
    void SavePlacement(bool fromExit);
    void PlaceOverlays();
    // A record that could not be read whole: it can be deleted, nothing else.
    bool Damaged(int row) const;
    // Writes the table; false (and the user told) when the file did not take it.
    bool SaveAlarms();
    // Edit and duplicate act on `row`, or on the selected row when 0.
    void OpenEditor(AlarmEditRequest::Mode mode, int row = 0);
    void OpenWithDesktop(const QString& path);
    QPoint BoxCorner() const;
    bool ClientMode() const;

    std::unique_ptr<Ui::TfrmAlMain> ui_;
    Globals& g_;
    Services services_;
    const Clock& clock_;
    MainWindowHooks hooks_;
    QTimer alarmCheck_;
    AlarmCheckLoop checkLoop_;
    QStringList unseenMissed_;
    QPushButton* missedNotice_ = nullptr;
    Moment keptMinute_ = -1;
    TimeSyncPage* timeSync_ = nullptr;
    QLabel* pnNoAlarms_ = nullptr;
    QLabel* pnNoAlarms2_ = nullptr;
    QMenu* popupMenu2_ = nullptr;  // the alarm list's context menu
    QMenu* popupMenu1_ = nullptr;  // the tray icon's menu
    QSystemTrayIcon* tray_ = nullptr;
    AlarmListModel* alarmList_ = nullptr;
    ScheduleModel* schedule_ = nullptr;
    QPointer<Tfrmgexcept> globalExceptions_;
    bool sessionEnding_ = false;
    bool exiting_ = false;
    bool shownOnce_ = false;
    bool hintShown_ = false;
    bool wakeRunning_ = false;
    int page_ = 0;
};

// The full path of a page of the help shipped with the program.
QString HelpPage(const QString& page);

}  // namespace ringmere::ui
