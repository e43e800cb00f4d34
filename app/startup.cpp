#include "app/startup.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDateTime>
#include <QDesktopServices>
#include <QFile>
#include <QTimer>
#include <QUrl>
#include <memory>

#include "core/activitylog.h"
#include "core/alarmfile.h"
#include "core/fileio.h"
#include "core/globals.h"
#include "core/settings.h"
#include "platform/autostart_entry.h"
#include "platform/file_settings_store.h"
#include "platform/paths.h"
#include "platform/power_events.h"
#include "platform/single_instance.h"
#include "platform/system.h"
#include "platform/termination.h"
#include "platform/wake_thread.h"
#include "run/activealarm.h"
#include "ui/alarm.h"
#include "ui/dialogs.h"

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
        for (const QWidget* w : QApplication::topLevelWidgets()) shown += w->isVisible();
        QFile out(path);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(QStringLiteral("loop_ms=%1\nrss=%2\nshown=%3\n")
                          .arg(now)
                          .arg(rss)
                          .arg(shown)
                          .toUtf8());
    });
}

bool OpenWithDesktop(const QString& target) {
    const QUrl url =
        target.contains(QLatin1String("://")) ? QUrl(target) : QUrl::fromLocalFile(target);
    return QDesktopServices::openUrl(url);
}

}  // namespace

int RunProgram(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ringmere"));
    QApplication::setQuitOnLastWindowClosed(false);

    // One copy per user: a second start shows the running copy's window.
    SingleInstance instance;
    if (instance.AnotherCopyRunning()) return 0;
    if (!instance.Listen() && instance.AnotherCopyRunning()) return 0;

    Globals& g = G();
    ui::MessageBoxReporter boxes;
    g.ProgramDir = ResolveProgramDir(boxes);

    std::unique_ptr<SettingsStore> store = OpenUserSettingsStore(boxes);
    LoadStartupSettings(g, *store, LocalSettingsFilePath(), boxes);
    g.VersionText = kVersionText;

    if (FileExists(g.LocalAlarmFilePath())) {
        CountingReporter counted(boxes);
        const int read = ReadAlarmFile(g, true, false, counted, nullptr);
        UpgradeOldAlarmFile(g, read, counted.count == 0, boxes);
    } else {
        g.NoAlarmFile = true;
    }

    if (g.Settings.enablelogging) ProgramLog().Open(boxes);
    DesktopAutoStartEntry autostart(AutoStartFilePath());
    RegisterAutoStart(g.Settings, autostart, ProgramFilePath(), boxes);

    ui::MainWindowHooks hooks;
    const QString activationProbe = qEnvironmentVariable("RINGMERE_ACTIVATION_PROBE");
    hooks.openRunWindow = [&g, activationProbe](int index) {
        QWidget* window = run::OpenRunWindow(g, index);
        // For bench/activation_delay.py: when each run window was shown.
        if (window && !activationProbe.isEmpty()) {
            QFile probe(activationProbe);
            if (probe.open(QIODevice::WriteOnly | QIODevice::Append))
                probe.write(QStringLiteral("%1 %2\n")
                                .arg(index)
                                .arg(QDateTime::currentMSecsSinceEpoch())
                                .toUtf8());
        }
        return window;
    };
    hooks.openWithDesktop = OpenWithDesktop;
    hooks.saveSettings = [&] {
        ui::MessageBoxReporter quiet;
        SaveRegistrySettings(g, *store, quiet);
    };
    hooks.quit = [] { QApplication::quit(); };
    std::unique_ptr<WakeThread> wake;
    ui::TfrmAlMain* mainWindow = nullptr;
    hooks.startWakeThread = [&](DateTime target) {
        wake = std::make_unique<WakeThread>(target);
        switch (wake->Start()) {
            case WakeThread::Outcome::NoThread:
                return false;
            case WakeThread::Outcome::NotSet: {
                // Not worth ending the program for: alarms still run while awake.
                const std::string text = "Wake-up timer not set: " + wake->ErrorText();
                mainWindow->SetStatusText(QString::fromStdString(text));
                SilentReporter quiet;
                ProgramLog().Append(text, quiet);
                mainWindow->WakeThreadEnded();
                return true;
            }
            case WakeThread::Outcome::NoTimer:
                mainWindow->WakeThreadEnded();
                return true;
            default:
                return true;
        }
    };
    hooks.stopWakeThread = [&] { wake.reset(); };
    ui::TfrmAlMain window(g, CurrentClock(), hooks);
    mainWindow = &window;
    QObject::connect(&instance, &SingleInstance::showRequested, &window,
                     &ui::TfrmAlMain::ShowMainWindow);

    // Directly connected: the system sleeps once the handler has returned.
    PowerEvents power(QDBusConnection::systemBus());
    QObject::connect(&power, &PowerEvents::powerEvent, &window, &ui::TfrmAlMain::PowerEvent,
                     Qt::DirectConnection);
    if (!power.Available() && g.Settings.allowWake)
        window.SetStatusText(QStringLiteral("Wake from standby is not available: ") +
                             power.ErrorText());

    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&](QSessionManager&) { window.SessionEnding(); });

    HandleTerminationSignals([&window] { window.ExitProgram(); });

    if (StartsHidden(QApplication::arguments())) {
        ui::SetVisibleWindowCount(0);
        if (IsNTPlatform()) TrimWorkingSet();
    } else {
        ui::SetVisibleWindowCount(1);
        window.show();
    }
    ArmStartupProbe();
    const int status = QApplication::exec();
    wake.reset();
    ProgramLog().Close();
    return status;
}

}  // namespace ringmere::app
