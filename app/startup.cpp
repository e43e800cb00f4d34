#include "app/startup.h"

#include <QApplication>
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
#include "platform/system.h"
#include "ui/alarm.h"
#include "ui/dialogs.h"

namespace ringmere::app {

bool StartsHidden(const QStringList& arguments) {
    for (const QString& a : arguments)
        if (a.toLower() == QLatin1String("startup")) return true;
    return false;
}

namespace {

// For bench/startup.sh: when RINGMERE_STARTUP_PROBE names a file, the
// moment the event loop first runs (ms since the epoch) and the resident
// memory (kB) are written there.
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
        QFile out(path);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(QStringLiteral("loop_ms=%1\nrss=%2\n").arg(now).arg(rss).toUtf8());
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
    hooks.openWithDesktop = OpenWithDesktop;
    hooks.saveSettings = [&] {
        ui::MessageBoxReporter quiet;
        SaveRegistrySettings(g, *store, quiet);
    };
    hooks.quit = [] { QApplication::quit(); };
    ui::TfrmAlMain window(g, CurrentClock(), hooks);

    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&](QSessionManager&) { window.SessionEnding(); });

    if (StartsHidden(QApplication::arguments())) {
        ui::SetVisibleWindowCount(0);
        if (IsNTPlatform()) TrimWorkingSet();
    } else {
        ui::SetVisibleWindowCount(1);
        window.show();
    }
    ArmStartupProbe();
    const int status = QApplication::exec();
    ProgramLog().Close();
    return status;
}

}  // namespace ringmere::app
