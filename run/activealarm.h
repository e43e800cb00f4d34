// The run window of an alarm: it shows the alarm's name, its message and
// the lines of its runs, performs the alarm's actions (the simple sequence
// or the script), and offers Snooze and Close.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <set>
#include <string>

#include "core/activitylog.h"
#include "core/clock.h"
#include "core/globals.h"
#include "run/actions.h"
#include "run/desktop.h"
#include "run/runsound.h"
#include "run/services.h"
#include "run/sound.h"
#include "run/waiting.h"

namespace Ui {
class TfrmActiveAlarm;
}

namespace ringmere::run {

// 10 pixels from the left of the screen, its bottom 50 pixels above the
// screen's bottom.
QPoint RunWindowPosition(const QRect& screen, const QSize& frame);

class TfrmActiveAlarm final : public QWidget, public RunSession {
    Q_OBJECT

public:
    // Runs a copy of alarm `alarmIndex` as it is now, so that the alarm
    // table may change (an alarm deleted, the file reloaded) while the
    // window is open.
    TfrmActiveAlarm(const Globals& g, int alarmIndex, const Services& services,
                    QWidget* parent = nullptr);
    ~TfrmActiveAlarm() override;

    // RunSession
    void Report(const std::string& line) override;
    void Show(const std::string& line) override;
    void ReplaceLast(const std::string& line) override;
    void MarkFailed() override { stepFailed_ = true; }
    bool CancelRequested() const override { return cancelRequested_; }
    int CurrentStep() const override { return currentStep_; }
    int Tag() const override { return tag_; }
    QWidget* Window() override { return this; }
    Waiting& Waiter() override { return services_.waiting; }
    const Clock& Time() const override { return services_.clock; }
    RunSound& Sound() override { return *sound_; }
    std::string DialStatus() const override;
    void SetDialStatus(const std::string& text) override;
    std::string DialName() const override;

    // The handlers of the window's buttons and timers.
    void afTimerTimer();
    void btnSnoozeClick();
    void tmSnoozeTimer();
    void tmFlashTimer();

    // The line above the message; the run's start replaces it with the name.
    void SetTitle(const QString& text);
    QStringList EventLines() const;
    // A runner or a snooze pause of this window is on the stack.
    bool IsBusy() const { return busy_ > 0; }
    bool IsSnoozing() const { return tmSnooze_.IsActive(); }
    bool IsFlashing() const { return tmFlash_.IsActive(); }
    bool FlashOn() const { return flashOn_; }
    bool IsClosed() const { return closed_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class BusyScope;
    void Log(const std::string& line);
    void Wait(int ms);
    bool Stopped(quint64 run) const;
    bool RunSimple(quint64 run);
    bool RunScript(quint64 run);
    bool RunStep(quint64 run, const AlEvent& step);
    void Complete(quint64 run, const std::string& line);
    void StopFlash();
    void Place();
    void Leave();

    std::unique_ptr<Ui::TfrmActiveAlarm> ui_;
    const AlRec alarm_;
    const int tag_;
    Services services_;
    std::unique_ptr<RunActions> actions_;
    std::unique_ptr<RunSound> sound_;
    std::unique_ptr<Reporter> logErrors_;
    WaitTimer afTimer_;
    WaitTimer tmFlash_;
    WaitTimer tmSnooze_;

    int currentStep_ = 0;
    bool stepFailed_ = false;
    std::set<int> failedSteps_;  // of this run, each step once however often it ran
    bool cancelRequested_ = false;
    quint64 runId_ = 0;  // a run that finds another started after it ends
    int busy_ = 0;
    long long pauses_ = 0;
    bool shownOnce_ = false;
    bool counted_ = false;
    bool closed_ = false;
    bool deletePending_ = false;
    bool flashOn_ = false;
};

// A script's closing line: "Script Completed.", or with how many of its steps
// failed ("Script Completed with 2 failed steps.").
std::string ScriptCompleted(int failedSteps);

// The main window's hook: creates and shows the run window of alarm
// `alarmIndex` (its position in the alarm table), titled `title` unless that
// is empty; null for an index that names no alarm. The window deletes
// itself after it closes.
// A `lateNote` ("Late by 2 h 55 min") goes into the window's caption.
QWidget* OpenRunWindow(const Globals& g, int alarmIndex, const Services& services,
                       const QString& title = QString(), const QString& lateNote = QString());

}  // namespace ringmere::run
