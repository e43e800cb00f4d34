// The periodic reload of the shared alarm file in both client modes
// (`tmWebCheck`), with the web client's up-to-date check and status texts.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "core/alarmfile.h"
#include "core/globals.h"
#include "core/settings_store.h"
#include "run/services.h"

namespace ringmere::net {

inline const char* const kChecking = "Checking configuration file on web server.";
inline const char* const kUpToDate = "Configuration up to date.";
inline const char* const kDownloading = "Downloading new configuration file on web server.";
inline const char* const kDownloaded = "Configuration file downloaded successfully from web server.";
inline const char* const kDownloadFailed = "Download of configuration from web server failed.";
// How long the passing status texts stay.
inline constexpr int kStatusShownMs = 10000;

// What the reload needs of the main window; start-up fills it in.
struct ReloadView {
    // `ms` 0: the text stays until another replaces it.
    std::function<void(const QString& text, int ms)> status;
    // Refills the alarm list, rebuilds the schedule table, refills its view.
    std::function<void()> refill;
    // When the shared alarms were last found current; empty outside the
    // client modes and before the first reload.
    std::function<void(const QString& text)> refreshed;
};

// The validators of the web file taken last, kept in the settings store so
// that a restart does not download an unchanged file again. They are the
// server's own texts and are only ever compared for equality: a server
// clock in the future or a date no parser reads cannot freeze the reload.
struct WebValidators {
    std::string url;
    std::string etag;
    std::string lastModified;
    bool operator==(const WebValidators&) const = default;
};
inline constexpr const char* kWebValidatorsKey = "\\Software\\Ringmere\\WebClient";
WebValidators LoadWebValidators(const SettingsStore& store);
void SaveWebValidators(SettingsStore& store, const WebValidators& v);
// Why the file at `url` need not be downloaded after `head`, or empty: it is
// to be downloaded.
std::string UnchangedBecause(const WebValidators& last, const std::string& url,
                             const HttpHead& head);

// Milliseconds between reloads for an interval in minutes: kept to the
// dialog's range (1 to 2400), so no value can make a tight loop against the
// server or overflow.
std::int64_t ReloadPeriodMs(std::int64_t minutes);

class SharedFileReload : public QObject {
    Q_OBJECT

public:
    SharedFileReload(Globals& g, const Services& services, QObject* parent = nullptr);

    void SetView(ReloadView view);
    // Start-up in a client mode: the first reload 5 seconds later, whether
    // automatic reloads are on or not. `offline`: the start-up download
    // failed and the kept copy was read; the status says so.
    void StartAfterStartup(bool offline);
    void Stop() { tmWebCheck_.stop(); }
    // A mode was set or kept (the network dialog, the set-up wizard): in a
    // client mode with automatic reloads the timer runs again, with
    // `freshInterval` set anew first.
    void Resume(bool freshInterval);
    // One tick of the timer.
    void Tick();
    // "Reload Now": one reload at once, then the timer as after a tick.
    void ReloadNow();

    // One reload. It never opens a box: it runs in the background, and a box
    // would hold every later reload until it is answered. Why a file was not
    // taken goes to the status bar and, once, to the log.
    enum class Outcome { Taken, Unchanged, Failed };
    Outcome Reload();
    bool Reloading() const { return reloading_; }

    QTimer& Timer() { return tmWebCheck_; }
    // True while a reload must wait: an editor, the network dialog or any
    // other modal window is open. Tests may replace it.
    std::function<bool()> busy;
    // A deferred tick is tried again this much later.
    static constexpr int kDeferMs = 5000;

private:
    void Run();
    Outcome ReloadWeb();
    Outcome ReadShared(AlarmFileDownloader* fetched, const QString& what);
    void Status(const char* text, int ms);
    void Status(const QString& text, int ms);
    void Failed(const std::string& why);
    // Into the log, unless it was the last line logged here: an outage or
    // an unchanged file is told once, not at every check.
    void LogOnce(const std::string& text);
    void Refreshed();

    Globals& g_;
    Services services_;
    ReloadView view_;
    QTimer tmWebCheck_;
    bool reloading_ = false;
    std::string lastLogged_;
    bool failureShown_ = false;
};

// ReadAlarmFile; a download it takes over leaves its validators in `store`,
// so that the next check does not fetch the same file again.
int ReadAlarmFileKeepingValidators(Globals& g, ReadOptions options, Reporter& reporter,
                                   AlarmFileDownloader* downloader, SettingsStore& store);

// Start-up's read of the alarm file. A web client whose download fails
// reads the copy kept from its last good download; `offline` tells so. A
// download that is taken over leaves its validators in `store`.
int ReadAlarmFileAtStart(Globals& g, Reporter& reporter, AlarmFileDownloader* downloader,
                         bool& offline, SettingsStore& store);

}  // namespace ringmere::net
