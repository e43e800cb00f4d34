// The program's services: made once by start-up (app/startup.cpp) and handed
// to every window as a constructor argument, so that a test builds any window
// over fakes (tests/run/fake_services.h). Nothing below reaches a service any
// other way.
#pragma once

namespace ringmere {

class ActivityLog;
class AlarmFileDownloader;
class Clock;
class DesktopNotifications;
class SettingsStore;

namespace widgets {
class BackgroundSave;
class DialogService;
}

namespace run {
class Desktop;
class SoundBackend;
class Waiting;
// Services of actions not built yet; their members stay null until then, and
// the actions report that the build has none.
class MailSender;
class FtpClient;
class DaytimeClient;
class NetworkConnections;
class ClockSetter;
}  // namespace run

struct Services {
    const Clock& clock;
    widgets::DialogService& dialogs;
    run::Waiting& waiting;
    ActivityLog& log;
    run::Desktop& desktop;
    run::SoundBackend& sound;
    SettingsStore& settings;
    // The web client's download of the shared alarm file; null outside that mode.
    AlarmFileDownloader* downloader = nullptr;
    run::MailSender* mail = nullptr;
    run::FtpClient* ftp = nullptr;
    run::DaytimeClient* daytime = nullptr;
    run::NetworkConnections* connections = nullptr;
    run::ClockSetter* clockSetter = nullptr;
    // The alarm editor's save on a thread of its own; without it (tests) the
    // file is written before OK returns.
    widgets::BackgroundSave* save = nullptr;
    // The desktop's notifications; without them every alarm shows its run window.
    DesktopNotifications* notifications = nullptr;
};

}  // namespace ringmere
