#include "ui/timesync_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <cmath>

#include "core/activitylog.h"
#include "core/clock.h"
#include "core/report.h"
#include "core/settings.h"
#include "run/timesync.h"
#include "widgets/dialogs.h"
#include "widgets/file_text.h"
#include "widgets/time_fields.h"

namespace ringmere::ui {

using widgets::BoxKind;

namespace {
const char* const kNoServer = "Please select or enter a time server first.";

// Hour, minute and second as a clock shows them: cut, not rounded.
int SecondOfDay(DateTime moment) {
    const long long ms = std::llround(TimeOf(moment) * kSecondsPerDay * 1000.0);
    return int(ms / 1000 % kSecondsPerDay);
}
}  // namespace

TimeSyncPage::TimeSyncPage(Globals& g, const Services& services, TimeSyncControls controls,
                           TimeSyncHooks hooks, QWidget* window)
    : QObject(window),
      g_(g),
      services_(services),
      ui_(controls),
      hooks_(std::move(hooks)),
      window_(window),
      timer1_(services.waiting, [this] { ShowClockTime(); }),
      synchTimer_(services.waiting, [this] { SynchTimerTick(); }) {
    timer1_.SetInterval(1000);
    synchTimer_.SetInterval(5000);
    widgets::SelectPartOnClick(ui_.at);
    ShowClockTime();
    timer1_.Start();
    const SettingsRec& s = g_.Settings;
    auto* box = ui_.server;
    {
        const QSignalBlocker quiet1(box), quiet2(ui_.at), quiet3(ui_.daily);
        box->setCurrentIndex(-1);
        if (!s.autoserver.empty()) {
            const QString server = QString::fromStdString(s.autoserver);
            const int at = box->findText(server, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (at >= 0)
                box->setCurrentIndex(at);
            else
                box->setEditText(server);
        }
        const int at = SplitToSecond(s.autotime).second;
        ui_.at->setTime(QTime(at / 3600, at / 60 % 60, at % 60));
        ui_.daily->setChecked(s.autosynch);
    }
    SynchChecked(ui_.daily->isChecked());
    connect(ui_.daily, &QCheckBox::clicked, this, &TimeSyncPage::SynchChecked);
    connect(ui_.at, &QTimeEdit::timeChanged, this, [this] { SynchTimeChanged(); });
    connect(box, &QComboBox::currentTextChanged, this, [this] { ServerChanged(); });
    connect(ui_.now, &QPushButton::clicked, this, &TimeSyncPage::UpdateSystemTime);
}

QString TimeSyncPage::SelectedServer() const {
    return ui_.server->currentText().trimmed();
}

void TimeSyncPage::Warn(const char* text) {
    services_.dialogs.Message(window_, BoxKind::Warning, QString::fromLatin1(text),
                              window_->frameGeometry().topLeft());
}

void TimeSyncPage::SynchChecked(bool checked) {
    if (checked && SelectedServer().isEmpty()) {
        Warn(kNoServer);
        const QSignalBlocker quiet(ui_.daily);
        ui_.daily->setChecked(false);
        checked = false;
    }
    if (checked) {
        ui_.at->setEnabled(true);
        g_.Settings.autosynch = true;
        synchTimer_.Start();
    } else {
        synchTimer_.Stop();
        ui_.at->setEnabled(false);
        g_.Settings.autosynch = false;
    }
    SaveSynchSettings();
}

void TimeSyncPage::SynchTimeChanged() {
    synchTimer_.Stop();
    const QTime t = ui_.at->time();
    g_.Settings.autotime = EncodeTime(t.hour(), t.minute(), t.second());
    SaveSynchSettings();
    synchTimer_.Start();
}

void TimeSyncPage::ServerChanged() {
    const QString server = SelectedServer();
    if (server.isEmpty()) {
        Warn(kNoServer);
        if (ui_.daily->isChecked()) {
            const QSignalBlocker quiet(ui_.daily);
            ui_.daily->setChecked(false);
            SynchChecked(false);
        }
        return;
    }
    g_.Settings.autoserver = server.toStdString();
    SaveSynchSettings();
}

void TimeSyncPage::SaveSynchSettings() {
    widgets::MessageBoxReporter boxes(services_.dialogs, window_);
    SaveRegistrySettings(g_, services_.settings, boxes);
}

void TimeSyncPage::ShowClockTime() {
    ui_.clock->setText(QString::fromStdString(FormatLongTime(services_.clock.Now())));
}

void TimeSyncPage::UpdateSystemTime() {
    // One fetch at a time: a daily tick or a second click waits its turn.
    if (busy_) return;
    busy_ = true;
    ui_.now->setEnabled(false);
    run::InteractiveSynchronize(services_, SelectedServer(), window_, hooks_.status,
                                hooks_.stopping);
    ui_.now->setEnabled(true);
    busy_ = false;
}

void TimeSyncPage::SynchTimerTick() {
    if (busy_) return;
    const int now = SecondOfDay(services_.clock.Now());
    const int at = SplitToSecond(g_.Settings.autotime).second;
    if (now / 60 != at / 60) return;  // hour and minute
    if (now % 60 <= at % 60 || now % 60 >= at % 60 + 10) return;
    synchTimer_.Stop();
    busy_ = true;
    ui_.now->setEnabled(false);
    hooks_.status(QStringLiteral("Retrieving Time From Server..."));
    const QString server = QString::fromStdString(g_.Settings.autoserver);
    const run::ServerTime time = run::FetchTime(services_, server, hooks_.stopping);
    hooks_.status(QString());
    const auto log = [this](const QString& line) {
        SilentReporter quiet;
        services_.log.Append(widgets::ToFileText(line), quiet);
    };
    int pauses = 0;
    if (!time.ok) {
        if (services_.daytime) log(run::NoTimeLine(server, time));
        hooks_.status(services_.daytime ? QStringLiteral("Unable to retrieve time from server. "
                                                         "Try selecting a different time server.")
                                        : QString::fromLatin1(run::kSynchUnavailableInteractive));
        pauses = 300;
    } else {
        const run::SynchOutcome outcome = run::SetClockFrom(services_, server, time, log);
        log(outcome.line);
        hooks_.status(outcome.line);
        pauses = 900;
    }
    // The pauses keep the 9-second window from firing twice on one day.
    for (int i = 0; i < pauses && !hooks_.stopping(); ++i) services_.waiting.Pause(50);
    hooks_.status(QString());
    ui_.now->setEnabled(true);
    busy_ = false;
    // Unchecked meanwhile: the daily synchronisation stays off.
    if (g_.Settings.autosynch) synchTimer_.Start();
}

}  // namespace ringmere::ui
