#include "run/activealarm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QTextCursor>
#include <algorithm>

#include "core/repeat_rule.h"
#include "ui_activealarm.h"
#include "widgets/dialogs.h"
#include "widgets/file_text.h"
#include "widgets/palette_colours.h"
#include "widgets/window_count.h"

namespace ringmere::run {

namespace {

constexpr int kTick = 100;
constexpr int kAfInterval = 50;
constexpr int kCentredCloseLeft = 96;

int ClampMs(qint64 ms) {
    return int(std::clamp<qint64>(ms, 0, 0x7fffffff));
}

// Green, light or dark as the palette needs it.
QString TitleStyle(const QWidget& w) {
    return QStringLiteral("color: %1;").arg(widgets::ReadableGreen(w.palette()).name());
}

// The title inverted while the window flashes.
QString FlashStyle(const QWidget& w) {
    return QStringLiteral("color: %1; background: %2;")
        .arg(w.palette().color(QPalette::Window).name(),
             widgets::ReadableGreen(w.palette()).name());
}

QString Display(const std::string& text) {
    QString s = widgets::FromFileText(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

}  // namespace

std::string ScriptCompleted(int failedSteps) {
    if (failedSteps == 0) return "Script Completed.";
    return "Script Completed with " + std::to_string(failedSteps) +
           (failedSteps == 1 ? " failed step." : " failed steps.");
}

// Holds the window while a handler that waits is on the stack: a close in
// the meantime destroys the window only once the handler has returned.
class BusyScope {
public:
    explicit BusyScope(TfrmActiveAlarm* w) : w_(w) { ++w_->busy_; }
    ~BusyScope() {
        if (--w_->busy_ == 0 && w_->deletePending_) w_->deleteLater();
    }

private:
    TfrmActiveAlarm* w_;
};

QPoint RunWindowPosition(const QRect& screen, const QSize& frame) {
    return {screen.left() + 10, screen.top() + screen.height() - 50 - frame.height()};
}

TfrmActiveAlarm::TfrmActiveAlarm(const Globals& g, int alarmIndex, const Services& services,
                                 QWidget* parent)
    : QWidget(parent),
      ui_(std::make_unique<Ui::TfrmActiveAlarm>()),
      alarm_(alarmIndex >= 0 && alarmIndex < int(g.AlarmTable.size()) ? g.AlarmTable[alarmIndex]
                                                                      : AlRec{}),
      tag_(alarmIndex),
      services_(services),
      actions_(std::make_unique<StandardActions>(services)),
      logErrors_(std::make_unique<widgets::MessageBoxReporter>(services.dialogs, this)),
      afTimer_(services.waiting, [this] { afTimerTimer(); }),
      tmFlash_(services.waiting, [this] { tmFlashTimer(); }),
      tmSnooze_(services.waiting, [this] { tmSnoozeTimer(); }) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    ui_->mediaplayer1->setVisible(false);
    ui_->MediaPlayer2->setVisible(false);
    sound_ = std::make_unique<RunSound>(
        *this, services_,
        PlayerPanel{ui_->mediaplayer1, ui_->mediaplayer1Play, ui_->mediaplayer1Stop},
        PlayerPanel{ui_->MediaPlayer2, ui_->MediaPlayer2Play, ui_->MediaPlayer2Stop});
    afTimer_.SetInterval(kAfInterval);
    tmFlash_.SetInterval(1000);

    connect(ui_->btnSnooze, &QPushButton::clicked, this, [this] { btnSnoozeClick(); });
    connect(ui_->btnClose, &QPushButton::clicked, this, [this] { close(); });
    ui_->lblAlAct->setStyleSheet(TitleStyle(*this));
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, ui_->btnClose,
            &QPushButton::click);
    connect(ui_->mediaplayer1Play, &QToolButton::clicked, this, [this] { sound_->PlayFile(); });
    connect(ui_->mediaplayer1Stop, &QToolButton::clicked, this, [this] { sound_->StopFile(); });
    connect(ui_->MediaPlayer2Play, &QToolButton::clicked, this, [this] { sound_->PlayCd(); });
    connect(ui_->MediaPlayer2Stop, &QToolButton::clicked, this, [this] { sound_->StopAll(); });
    Place();
}

TfrmActiveAlarm::~TfrmActiveAlarm() {
    Leave();
}

void TfrmActiveAlarm::Place() {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s) return;
    move(RunWindowPosition(s->geometry(), frameGeometry().size()));
}

void TfrmActiveAlarm::Show(const std::string& line) {
    ui_->memEvent->appendPlainText(Display(line));
}

void TfrmActiveAlarm::ReplaceLast(const std::string& line) {
    QTextCursor cursor = ui_->memEvent->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(Display(line));
}

void TfrmActiveAlarm::Log(const std::string& line) {
    services_.log.Append(line, *logErrors_);
}

void TfrmActiveAlarm::Report(const std::string& line) {
    Show(line);
    Log(line);
}

std::string TfrmActiveAlarm::DialStatus() const {
    return ui_->lblStatus->text().toStdString();
}

void TfrmActiveAlarm::SetDialStatus(const std::string& text) {
    ui_->lblStatus->setText(QString::fromStdString(text));
}

std::string TfrmActiveAlarm::DialName() const {
    if (alarm_.mtype == kSimpleAlarm) return alarm_.Dial->dialname;
    const auto& steps = alarm_.Events.Items;
    return currentStep_ >= 1 && currentStep_ <= int(steps.size())
               ? steps[std::size_t(currentStep_) - 1].Dial->dialname
               : std::string();
}

void TfrmActiveAlarm::SetTitle(const QString& text) {
    ui_->lblAlAct->setText(text);
}

QStringList TfrmActiveAlarm::EventLines() const {
    const QString text = ui_->memEvent->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void TfrmActiveAlarm::Wait(int ms) {
    ++pauses_;
    services_.waiting.Pause(ms);
}

bool TfrmActiveAlarm::Stopped(quint64 run) const {
    return cancelRequested_ || closed_ || run != runId_;
}

void TfrmActiveAlarm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous() || shownOnce_) return;
    shownOnce_ = true;
    Place();  // now that the frame is known
    afTimer_.Start();
    counted_ = true;
    widgets::ChangeVisibleWindowCount(1);
    if (alarm_.AlMinWindow) setWindowState(windowState() | Qt::WindowMinimized);
}

void TfrmActiveAlarm::afTimerTimer() {
    afTimer_.Stop();
    if (closed_) return;
    BusyScope busy(this);
    const quint64 run = ++runId_;
    cancelRequested_ = false;
    failedSteps_.clear();
    sound_->ClearLoopingSound();

    if (!alarm_.AlSnooze) {
        ui_->btnSnooze->hide();
        ui_->btnClose->move(kCentredCloseLeft, ui_->btnClose->y());
    }
    if (!isVisible()) QWidget::show();
    ui_->lblAlAct->setText(QStringLiteral("Alarm Name: ") + Display(alarm_.AlName));
    Log(alarm_.AlName + " executing.");
    ui_->memAlarm->setPlainText(Display(alarm_.AlMessage));
    services_.waiting.ProcessEvents();
    if (alarm_.AlFlashWindow && !Stopped(run)) tmFlash_.Start();

    const bool script = alarm_.mtype != kSimpleAlarm;
    if (!(script ? RunScript(run) : RunSimple(run))) return;
    Wait(200);
    // A Snooze or Close during the pause leaves the run stopped: the
    // window must neither report completion nor close a snoozing alarm.
    if (Stopped(run)) return;
    Complete(run, script ? ScriptCompleted(int(failedSteps_.size())) : "Alarm Completed.");
}

bool TfrmActiveAlarm::RunSimple(quint64 run) {
    const AlRec& a = alarm_;
    // Nothing new starts in a window the user has closed: no one could stop it.
    actions_->StartSound(*this, *a.Music, false);
    if (a.Dial->usedialup) {
        if (closed_) return false;
        if (actions_->Dial(*this, *a.Dial) == Outcome::EndRun) return false;
        if (a.Dial->connectm && Stopped(run)) return false;
    }
    if (closed_) return false;
    actions_->LaunchPrograms(*this, *a.Launch);
    if (closed_) return false;
    actions_->OpenWebPage(*this, *a.Web, false);
    if (a.Synch->dosynch) {
        if (closed_) return false;
        if (actions_->Synchronize(*this, *a.Synch, false) == Outcome::EndRun) return false;
    }
    if (a.Ftp->ftpenabled) {
        if (closed_) return false;
        if (actions_->TransferFtp(*this, *a.Ftp) == Outcome::EndRun || Stopped(run)) return false;
    }
    if (a.FileOp->fop >= kFopCopy && a.FileOp->fop <= kFopDelete) {
        if (closed_) return false;
        actions_->FileOperation(*this, *a.FileOp);
    }
    if (a.Mail->sendmessage) {
        if (closed_) return false;
        if (actions_->SendMessage(*this, *a.Mail, false) == Outcome::EndRun) return false;
    }
    return true;
}

bool TfrmActiveAlarm::RunScript(quint64 run) {
    const AlEventList& events = alarm_.Events;
    const int count = std::clamp<int>(events.Count, 0, int(events.Items.size()));
    std::vector<Integer> counters(std::size_t(count) + 1, 0);
    long long pausesAtJump = -1;
    int step = 0;
    while (step < count) {
        ++step;
        currentStep_ = step;
        services_.waiting.ProcessEvents();
        if (Stopped(run)) return false;
        const AlEvent& ev = events.Items[std::size_t(step) - 1];
        if (ev.evtype != kStepRepeat) {
            stepFailed_ = false;
            const bool goOn = RunStep(run, ev);
            if (stepFailed_) failedSteps_.insert(step);
            if (!goOn) return false;
            continue;
        }
        const std::optional<Integer> target = RepeatJump(ev.Repeat, counters[std::size_t(step)]);
        if (!target) continue;
        Report("Repeating to step " + std::to_string(*target) + ".");
        step = *target - 1;
        // A loop until stopped with no wait in it would never let the
        // clock move on; give it one tick per pass.
        if (ev.Repeat.reptype == kRepeatUntilStopped) {
            if (pausesAtJump == pauses_) Wait(kTick);
            pausesAtJump = pauses_;
        }
    }
    return true;
}

bool TfrmActiveAlarm::RunStep(quint64 run, const AlEvent& ev) {
    switch (ev.evtype) {
        case kStepSound:
            actions_->StartSound(*this, *ev.Music, true);
            return true;
        case kStepDialup:
            if (actions_->Dial(*this, *ev.Dial) == Outcome::EndRun) return false;
            return !(ev.Dial->connectm && Stopped(run));
        case kStepLaunch:
            actions_->LaunchProgram(*this, *ev.Launch);
            return true;
        case kStepWeb:
            actions_->OpenWebPage(*this, *ev.Web, true);
            return true;
        case kStepMail:
            return actions_->SendMessage(*this, *ev.Mail, true) == Outcome::Continue;
        case kStepSleep: {
            Report("Sleeping " + std::to_string(ev.sseconds) + " seconds.");
            const long long ticks = std::max<long long>(0, ev.sseconds) * 10;
            for (long long i = 0; i < ticks; ++i) {
                Wait(kTick);
                if (Stopped(run)) return false;
            }
            return true;
        }
        case kStepSynch:
            return actions_->Synchronize(*this, *ev.Synch, true) == Outcome::Continue;
        case kStepFtp:
            return actions_->TransferFtp(*this, *ev.Ftp) == Outcome::Continue && !Stopped(run);
        case kStepFileOp:
            if (ev.FileOp->fop >= kFopCopy && ev.FileOp->fop <= kFopDelete)
                actions_->FileOperation(*this, *ev.FileOp);
            return true;
        default:
            return true;  // an unknown kind from a damaged file does nothing
    }
}

void TfrmActiveAlarm::Complete(quint64 run, const std::string& line) {
    if (alarm_.AlHideWindow && !sound_->LoopingSound()) {
        while (sound_->FilePlaying()) {
            Wait(kTick);
            if (Stopped(run)) return;
        }
        while (sound_->WavTimerRunning()) {
            Wait(kTick);
            if (Stopped(run)) return;
        }
        Report(line);
        close();
        return;
    }
    Report(line);
}

void TfrmActiveAlarm::btnSnoozeClick() {
    if (closed_) return;
    BusyScope busy(this);
    cancelRequested_ = true;
    const std::string minutes =
        std::to_string(alarm_.snoozeming) + (alarm_.snoozeming == 1 ? " minute" : " minutes");
    Show("Snoozing " + minutes + "...");
    Log("Snoozed for " + minutes + ".");
    StopFlash();
    for (int i = 0; i < 10; ++i) Wait(50);
    if (closed_) return;
    sound_->StopAll();
    afTimer_.Stop();
    actions_->StopAll(*this);
    tmSnooze_.SetInterval(ClampMs(qint64(alarm_.snoozeming) * 60000));
    tmSnooze_.Start();
}

void TfrmActiveAlarm::tmSnoozeTimer() {
    tmSnooze_.Stop();
    if (!closed_) afTimer_.Start();
}

// A theme switch while the window is up recolours the title too.
void TfrmActiveAlarm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && ui_ && ui_->lblAlAct)
        ui_->lblAlAct->setStyleSheet(flashOn_ ? FlashStyle(*this) : TitleStyle(*this));
}

void TfrmActiveAlarm::tmFlashTimer() {
    flashOn_ = !flashOn_;
    ui_->lblAlAct->setStyleSheet(flashOn_ ? FlashStyle(*this) : TitleStyle(*this));
    if (flashOn_) QApplication::alert(this, 900);
}

void TfrmActiveAlarm::StopFlash() {
    tmFlash_.Stop();
    if (flashOn_) {
        flashOn_ = false;
        ui_->lblAlAct->setStyleSheet(TitleStyle(*this));
    }
}

void TfrmActiveAlarm::Leave() {
    if (closed_) return;
    closed_ = true;
    cancelRequested_ = true;
    actions_->StopAll(*this);
    sound_->StopAll();
    afTimer_.Stop();
    tmSnooze_.Stop();
    StopFlash();
    if (counted_) {
        counted_ = false;
        widgets::ChangeVisibleWindowCount(-1);
    }
}

void TfrmActiveAlarm::closeEvent(QCloseEvent* event) {
    // Never refused.
    event->accept();
    if (closed_) return;
    Leave();
    Log("Window closed.");
    if (busy_ == 0)
        deleteLater();
    else
        deletePending_ = true;
}

QWidget* OpenRunWindow(const Globals& g, int alarmIndex, const Services& services,
                       const QString& title, const QString& lateNote) {
    if (alarmIndex < 1 || alarmIndex > g.AlarmCount || alarmIndex >= int(g.AlarmTable.size()))
        return nullptr;
    auto* window = new TfrmActiveAlarm(g, alarmIndex, services);
    window->show();
    if (!title.isEmpty()) window->SetTitle(title);
    if (!lateNote.isEmpty()) window->setWindowTitle(window->windowTitle() + QStringLiteral(" - ") + lateNote);
    return window;
}

}  // namespace ringmere::run
