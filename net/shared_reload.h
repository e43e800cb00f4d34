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
};

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
    // The network dialog ended: in a client mode with automatic reloads the
    // timer runs again, with `freshInterval` set anew first.
    void Resume(bool freshInterval);
    // One reload, read as ReadAlarmFile reads with `options`; the result of
    // ReadAlarmFile, -1 for a failed or unnecessary download.
    int Reload(ReadOptions options);
    // One tick of the timer.
    void Tick();
    bool Reloading() const { return reloading_; }

    QTimer& Timer() { return tmWebCheck_; }
    // True while a reload must wait: an editor, the network dialog or any
    // other modal window is open. Tests may replace it.
    std::function<bool()> busy;
    // A deferred tick is tried again this much later.
    static constexpr int kDeferMs = 5000;

private:
    void Status(const char* text, int ms);
    void Failed(const std::string& why);

    Globals& g_;
    Services services_;
    ReloadView view_;
    QTimer tmWebCheck_;
    bool reloading_ = false;
};

// Start-up's read of the alarm file. A web client whose download fails
// reads the copy kept from its last good download; `offline` tells so.
int ReadAlarmFileAtStart(Globals& g, Reporter& reporter, AlarmFileDownloader* downloader,
                         bool& offline);

}  // namespace ringmere::net
