#include "app/startup.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDateTime>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>

#include "app/bus_interface.h"
#include "app/net_wiring.h"
#include "core/activitylog.h"
#include "core/alarmfile.h"
#include "core/fileio.h"
#include "core/globals.h"
#include "core/schedule.h"
#include "core/settings.h"
#include "platform/autostart_entry.h"
#include "platform/file_settings_store.h"
#include "platform/notifications_dbus.h"
#include "platform/paths.h"
#include "platform/power_events.h"
#include "platform/single_instance.h"
#include "platform/system.h"
#include "platform/termination.h"
#include "platform/wake_thread.h"
#include "run/activealarm.h"
#include "run/daytime.h"
#include "run/connections_nm.h"
#include "run/desktop.h"
#include "run/mail.h"
#include "run/ftp_client.h"
#include "run/services.h"
#include "run/sound.h"
#include "run/waiting.h"
#include "net/alemail.h"
#include "net/alstartup.h"
#include "ui/addoptions.h"
#include "net/http_downloader.h"
#include "net/shared_reload.h"
#include "ui/alarm.h"
#include "ui/alarmset.h"
#include "ui/outside_changes.h"
#include "widgets/background_save.h"
#include "widgets/dialogs.h"
#include "widgets/keyboard_hints.h"
#include "widgets/window_count.h"

namespace ringmere::app {

bool StartsHidden(const QStringList& arguments) {
    for (const QString& a : arguments)
        if (a.toLower() == QLatin1String("startup")) return true;
    return false;
}

namespace {

// For bench/startup.sh and the start-up tests: when RINGMERE_STARTUP_PROBE
// names a file, the moment the event loop first runs (ms since the epoch),
// the resident memory and the number of shown windows are written there.
void ArmStartupProbe() {
    const QString path = qEnvironmentVariable("RINGMERE_STARTUP_PROBE");
    if (path.isEmpty()) return;
    QTimer::singleShot(0, [path] {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        QString rss;
        QFile status(QStringLiteral("/proc/self/status"));
        if (status.open(QIODevice::ReadOnly))
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("VmRSS:")) rss = QString::fromLatin1(line.mid(6)).simplified();
        int shown = 0;
        QString boxes;
        for (const QWidget* w : QApplication::topLevelWidgets()) {
            shown += w->isVisible();
            if (const auto* box = qobject_cast<const QMessageBox*>(w); box && box->isVisible())
                boxes += QStringLiteral("box=") + box->text().replace(QLatin1Char('\n'), ' ') +
                         QLatin1Char('\n');
        }
        QFile out(path);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write((QStringLiteral("loop_ms=%1\nrss=%2\n").arg(now).arg(rss) + boxes +
                       QStringLiteral("shown=%1\n").arg(shown))
                          .toUtf8());
    });
}

// The services of the running program; one set, made here and handed to
// every window.
struct ProgramServices {
    explicit ProgramServices(Globals& g)
        : log(g, &clock),
          mail(run::NewSystemMailSender(g.Settings)),
          daytime(waiting, [&g] {
              // The options may change it while the program runs.
              return std::clamp<int>(g.Settings.TimeServerTO, 5, 30) * 1000;
          }) {}

    Services Handed() {
        Services s{.clock = clock,
                   .dialogs = *dialogs,
                   .waiting = waiting,
                   .log = log,
                   .desktop = desktop,
                   .sound = sound,
                   .settings = *settings};
        s.mail = mail.get();
        s.daytime = &daytime;
        s.clockSetter = clockSetter.get();
        s.connections = &connections;
        s.ftp = &ftp;
        s.downloader = &web;
        s.save = &save;
        s.notifications = &notifications;
        return s;
    }

    SystemClock clock;
    std::unique_ptr<widgets::DialogService> dialogs = widgets::NewSystemDialogs();
    run::EventLoopWaiting waiting;
    ActivityLog log;
    run::SystemDesktop desktop;
    run::QtSoundBackend sound;
    run::NmConnections connections{QDBusConnection::systemBus(), waiting};
    std::unique_ptr<SettingsStore> settings;  // opened once the program folder is known
    std::unique_ptr<run::MailSender> mail;
    run::NetworkDaytimeClient daytime;
    std::unique_ptr<run::ClockSetter> clockSetter;  // none: the clock is not set
    run::FtpClient ftp;  // reconnects go through the window's dial-up state
    net::HttpDownloader web;
    widgets::BackgroundSave save{*dialogs};
    // The launcher's id names the installed icon too.
    DbusNotifications notifications{QDBusConnection::sessionBus(),
                                    QStringLiteral("Ringmere"),
                                    QGuiApplication::desktopFileName().isEmpty()
                                        ? QStringLiteral("ringmere")
                                        : QGuiApplication::desktopFileName()};
};

// The settings, then the alarm file (rewritten when its layout is old).
// `offline`: a web client read its kept copy, the download having failed.
void LoadSettingsAndAlarms(Globals& g, SettingsStore& store, Reporter& boxes,
                           AlarmFileDownloader* web, bool& offline) {
    LoadStartupSettings(g, store, LocalSettingsFilePath(), boxes);
    g.VersionText = ProgramVersionText();
    if (FileExists(g.LocalAlarmFilePath())) {
        CountingReporter counted(boxes);
        const int read = net::ReadAlarmFileAtStart(g, counted, web, offline, store);
        UpgradeOldAlarmFile(g, read, counted.count == 0, boxes);
    } else {
        g.NoAlarmFile = true;
        // A new installation logs from the first run: what ran before the
        // user finds the option is kept. A file's own setting always wins.
        g.Settings.enablelogging = true;
    }
}

// For bench/activation_delay.py: when RINGMERE_ACTIVATION_PROBE names a
// file, each run window's alarm and the moment it was shown are appended.
std::function<void(int, const QString&)> RunWindowOpener(const Globals& g,
                                                        const Services& services) {
    const QString probe = qEnvironmentVariable("RINGMERE_ACTIVATION_PROBE");
    if (probe.isEmpty()) return nullptr;
    return [&g, services, probe](int index, const QString& title) {
        if (run::OpenRunWindow(g, index, services, title)) {
            QFile out(probe);
            if (out.open(QIODevice::WriteOnly | QIODevice::Append))
                out.write(QStringLiteral("%1 %2\n")
                              .arg(index)
                              .arg(QDateTime::currentMSecsSinceEpoch())
                              .toUtf8());
        }
    };
}

// Arms the wake-up thread before a suspend. A timer that cannot be set is
// not worth ending the program for: alarms still run while the computer is
// awake, so it is noted in the status bar and the log.
class WakeControl {
public:
    explicit WakeControl(ActivityLog& log) : log_(log) {}

    bool Start(ui::TfrmAlMain& window, const ScheduleEntry& first) {
        thread_ = std::make_unique<WakeThread>(first.When, first.Utc - kUnixEpochSeconds);
        switch (thread_->Start()) {
            case WakeThread::Outcome::NoThread:
                return false;
            case WakeThread::Outcome::NotSet: {
                const std::string text = "Wake-up timer not set: " + thread_->ErrorText();
                window.SetStatusText(QString::fromStdString(text));
                SilentReporter quiet;
                log_.Append(text, quiet);
                window.WakeThreadEnded();
                return true;
            }
            case WakeThread::Outcome::NoTimer:
                window.WakeThreadEnded();
                return true;
            default:
                return true;
        }
    }
    void Stop() { thread_.reset(); }

private:
    ActivityLog& log_;
    std::unique_ptr<WakeThread> thread_;
};

ui::MainWindowHooks MainHooks(Globals& g, const Services& services, WakeControl& wake,
                              ui::TfrmAlMain*& window) {
    ui::MainWindowHooks hooks;
    hooks.openRunWindow = RunWindowOpener(g, services);
    hooks.quit = [] { QApplication::quit(); };
    hooks.startWakeThread = [&wake, &window](const ScheduleEntry& first) {
        return wake.Start(*window, first);
    };
    hooks.stopWakeThread = [&wake] { wake.Stop(); };
    hooks.openEditor = [&g, services](QWidget* owner, const AlarmEditRequest& request) {
        return ui::OpenAlarmEditor(g, services, request, owner);
    };
    hooks.openEmailSettings = [&g, services](QWidget* owner) {
        net::OpenEmailSettings(g, services, owner);
    };
    return hooks;
}

}  // namespace

int RunProgram(int argc, char** argv, const ClockSetterMaker& makeClockSetter) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ringmere"));
    QApplication::setQuitOnLastWindowClosed(false);
    const widgets::KeyboardHints keyboardHints;

    // One copy per user: a second start shows the running copy's window.
    SingleInstance instance;
    if (instance.AnotherCopyRunning()) return 0;
    if (!instance.Listen() && instance.AnotherCopyRunning()) return 0;
    // The program runs on without the hand-over; the user hears why, once.
    const QString instanceProblem = instance.IsListening() ? QString() : instance.ErrorText();

    Globals& g = G();
    ProgramServices program(g);
    widgets::MessageBoxReporter boxes(*program.dialogs);
    g.ProgramDir = ResolveProgramDir(boxes);
    program.settings = OpenUserSettingsStore(boxes);
    if (makeClockSetter) program.clockSetter = makeClockSetter(program.waiting);
    const Services services = program.Handed();
    bool offline = false;
    LoadSettingsAndAlarms(g, services.settings, boxes, services.downloader, offline);

    if (g.Settings.enablelogging) services.log.Open(boxes);
    DesktopAutoStartEntry autostart(AutoStartFilePath());
    RegisterAutoStart(g.Settings, autostart, ProgramFilePath(), boxes);

    WakeControl wake(services.log);
    ui::TfrmAlMain* mainWindow = nullptr;
    net::SharedFileReload reload(g, services);
    ui::MainWindowHooks hooks = MainHooks(g, services, wake, mainWindow);
    hooks.openNetConfig = NetConfigHook(g, services, reload);
    hooks.runStartupWizard = StartupWizardHook(g, services, reload);
    hooks.reloadNow = [&reload] { reload.ReloadNow(); };
    hooks.openAdditionalOptions = [&g, services, &autostart](QWidget* owner) {
        ui::OpenAdditionalOptions(g, services, autostart, ProgramFilePath(), owner);
    };
    ui::TfrmAlMain window(g, services, std::move(hooks));
    mainWindow = &window;
    ShowReloadIn(reload, window);
    reload.StartAfterStartup(offline);
    QObject::connect(&instance, &SingleInstance::showRequested, &window,
                     &ui::TfrmAlMain::ShowMainWindow);

    // Other programs may change the alarm file, and scripts reach the
    // program over the user's own session bus (never the system bus).
    ui::AlarmFileFollower follower(g, services, [&window] { window.Refill(); });
    follower.status = [&window](const QString& text) { window.SetStatusText(text); };
    BusInterface bus(
        g, window, services.clock, [&follower] { return follower.Reload(); },
        [&reload] { reload.ReloadNow(); });
    if (const QString why = bus.Publish(QDBusConnection::sessionBus()); !why.isEmpty())
        window.SetStatusText(QStringLiteral("Scripts cannot reach Ringmere on the session bus: ") +
                             why);

    // Directly connected: the system sleeps once the handler has returned.
    PowerEvents power(QDBusConnection::systemBus());
    QObject::connect(&power, &PowerEvents::powerEvent, &window, &ui::TfrmAlMain::PowerEvent,
                     Qt::DirectConnection);
    if (!power.Available() && g.Settings.allowWake)
        window.SetStatusText(QStringLiteral("Wake from standby is not available: ") +
                             power.ErrorText());

    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, [&](QSessionManager&) {
        window.SessionEnding();
        program.save.Finish();
    });

    HandleTerminationSignals([&window] { window.ExitProgram(); });

    if (!instanceProblem.isEmpty())
        // From the event loop, so that the program is up behind the box.
        QTimer::singleShot(0, &window, [&boxes, instanceProblem] {
            boxes.Report(("A second start of Ringmere will not find this one: " + instanceProblem)
                             .toStdString());
        });

    if (StartsHidden(QApplication::arguments())) {
        widgets::SetVisibleWindowCount(0);
        TrimWorkingSet();
    } else {
        widgets::SetVisibleWindowCount(1);
        window.show();
    }
    ArmStartupProbe();
    const int status = QApplication::exec();
    // An edit saved just before quitting is still being written.
    program.save.Finish();
    wake.Stop();
    services.log.Close();
    return status;
}

}  // namespace ringmere::app
