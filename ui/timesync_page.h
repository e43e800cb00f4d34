// The main window's Time Sync page: the time server, the daily
// synchronisation with its timer, "Update System Time" and the clock label.
// Its values are the machine's settings, saved at every change. The controls
// are the main window's; the page owns what they do.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "core/globals.h"
#include "run/services.h"
#include "run/waiting.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTimeEdit;

namespace ringmere::ui {

struct TimeSyncControls {
    QComboBox* server;   // cboTimeServer
    QTimeEdit* at;       // dtSynch
    QCheckBox* daily;    // chkSynch
    QPushButton* now;    // Button1, "Update System Time"
    QLabel* clock;       // lblTime
};

// What the page asks of its window.
struct TimeSyncHooks {
    std::function<void(const QString&)> status;  // the status bar's text
    std::function<bool()> stopping;              // the program is ending
};

class TimeSyncPage : public QObject {
    Q_OBJECT

public:
    // Shows the stored settings and starts the clock label; `window` owns
    // the page and carries its boxes.
    TimeSyncPage(Globals& g, const Services& services, TimeSyncControls controls,
                 TimeSyncHooks hooks, QWidget* window);

    // "Update System Time".
    void UpdateSystemTime();
    // One tick of the daily synchronisation's timer (`SynchTimer`).
    void SynchTimerTick();
    bool SynchTimerActive() const { return synchTimer_.IsActive(); }

private:
    QString SelectedServer() const;
    void SynchChecked(bool checked);
    void SynchTimeChanged();
    void ServerChanged();
    void SaveSynchSettings();
    void ShowClockTime();
    void Warn(const char* text);

    Globals& g_;
    Services services_;
    TimeSyncControls ui_;
    TimeSyncHooks hooks_;
    QWidget* window_;
    run::WaitTimer timer1_;      // the clock label, every second
    run::WaitTimer synchTimer_;  // the daily synchronisation, every 5 seconds
    bool busy_ = false;          // a fetch of this page is under way
};

}  // namespace ringmere::ui
