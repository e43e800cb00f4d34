// Every service of the program as a fake, so that a test builds any window in
// one line:
//
//   FakeServices fakes(g);
//   TfrmAlMain window(g, fakes.Handed());
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <map>
#include <memory>

#include "core/activitylog.h"
#include "core/globals.h"
#include "core/settings_store.h"
#include "platform/notifications.h"
#include "run/activealarm.h"
#include "run/services.h"
#include "run_fakes.h"
#include "widgets/dialogs.h"
#include "widgets/window_count.h"

namespace ringmere::run::testing {

// The desktop's notifications: what was shown, and a hand to play the
// server's part (an action, a close, a failure) on the one open.
class FakeNotifications : public DesktopNotifications {
public:
    int Show(const Notification& n, NotificationEvents events) override {
        shown.push_back(n);
        open[++last] = std::move(events);
        return last;
    }
    void Close(int ticket) override {
        if (open.erase(ticket)) ++withdrawn;
    }
    // The server's side, for the notification shown last.
    void Act(const QString& key) { Events().action(key); }
    void CloseByServer(unsigned reason) { Take().closed(reason); }
    void Fail(const QString& reason) { Take().failed(reason); }
    bool Showing() const { return open.count(last) != 0; }

    std::vector<Notification> shown;
    std::map<int, NotificationEvents> open;
    int last = 0;
    int withdrawn = 0;

private:
    NotificationEvents Events() { return open.at(last); }
    NotificationEvents Take() {
        NotificationEvents e = open.at(last);
        open.erase(last);
        return e;
    }
};

class FakeServices {
public:
    // The log writes into g's program folder, at the fake clock's times.
    explicit FakeServices(const Globals& g, DateTime start = StartMoment())
        : clock(start), sound(clock), log(g, &clock) {}

    Services Handed() {
        return Services{.clock = clock,
                        .dialogs = dialogs,
                        .waiting = clock,
                        .log = log,
                        .desktop = desktop,
                        .sound = sound,
                        .settings = settings,
                        .notifications = &notifications};
    }

    FakeWaiting clock;  // also every wait and timer of the windows
    FakeSound sound;
    FakeDesktop desktop;
    widgets::ScriptedDialogs dialogs;
    ActivityLog log;
    MemorySettingsStore settings;
    FakeNotifications notifications;
};

// A program folder with logging on, fake services, and helpers for alarms
// and their run windows.
class RunFixture {
public:
    RunFixture() : fakes(g) {
        g.ProgramDir = QDir(dir.path()).absolutePath().toStdString() + "/";
        SetDefaultSettings(g);
        g.Settings.enablelogging = true;
        g.AlarmCount = 0;
        g.ResetAlarmTable(0);
        SilentReporter silent;
        fakes.log.Open(silent);
        widgets::SetVisibleWindowCount(0);
    }
    ~RunFixture() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<TfrmActiveAlarm*>(w)) w->close();
        Flush();
    }

    int Add(const AlRec& alarm) {
        std::vector<AlRec> keep(g.AlarmTable.begin() + 1, g.AlarmTable.begin() + 1 + g.AlarmCount);
        keep.push_back(alarm);
        g.AlarmCount = Integer(keep.size());
        g.ResetAlarmTable(g.AlarmCount);
        for (std::size_t i = 0; i < keep.size(); ++i) g.AlarmTable[i + 1] = keep[i];
        return g.AlarmCount;
    }
    TfrmActiveAlarm* Open(int index) {
        return static_cast<TfrmActiveAlarm*>(OpenRunWindow(g, index, services));
    }
    TfrmActiveAlarm* Open(const AlRec& alarm) { return Open(Add(alarm)); }

    // Deletes the windows that closed.
    static void Flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    std::string LogText() const {
        QFile f(QString::fromStdString(g.ProgramDir + "allog.txt"));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return f.readAll().toStdString();
    }
    // The messages of the log's entry lines, without their times.
    std::vector<std::string> LogMessages() const {
        std::vector<std::string> out;
        const std::string text = LogText();
        std::size_t pos = 0;
        while (pos < text.size()) {
            const std::size_t end = text.find("\r\n", pos);
            const std::string line =
                text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
            const std::size_t dash = line.find(" - ");
            if (dash == 10) out.push_back(line.substr(dash + 3));
            if (end == std::string::npos) break;
            pos = end + 2;
        }
        return out;
    }

    QTemporaryDir dir;
    Globals g;
    FakeServices fakes;
    Services services = fakes.Handed();
    FakeWaiting& clock = fakes.clock;
    FakeSound& sound = fakes.sound;
    FakeDesktop& desktop = fakes.desktop;
    widgets::ScriptedDialogs& dialogs = fakes.dialogs;
};

}  // namespace ringmere::run::testing
