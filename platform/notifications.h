// Desktop notifications behind one narrow interface: the run window shows a
// simple alarm through it and learns what the user did with it. The Linux
// back-end speaks org.freedesktop.Notifications (platform/notifications_dbus.h).
#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <utility>

namespace ringmere {

struct Notification {
    QString summary;
    QString body;  // plain text: the back-end keeps markup characters as they are
    QList<std::pair<QString, QString>> actions;  // key and label, in button order
};

// What became of one notification. They arrive later from the event loop,
// never from inside Show or Close.
struct NotificationEvents {
    // The server took it (optional).
    std::function<void()> shown;
    // Not shown: no server, an error reply, or no answer in time.
    std::function<void(const QString& reason)> failed;
    std::function<void(const QString& key)> action;
    // Closed by the server or the user (not by Close): 1 expired, 2 dismissed
    // by the user, 3 closed by a call, 4 other.
    std::function<void(unsigned reason)> closed;
};

class DesktopNotifications {
public:
    virtual ~DesktopNotifications() = default;
    // A ticket for Close (never 0).
    virtual int Show(const Notification& notification, NotificationEvents events) = 0;
    // Withdraws the notification; its events stop at once.
    virtual void Close(int ticket) = 0;

    // True the first time a caller asks after a failure: the program says
    // once per run that it falls back, however many alarms do.
    bool FirstFallback() { return !std::exchange(fallbackTold_, true); }

private:
    bool fallbackTold_ = false;
};

}  // namespace ringmere
