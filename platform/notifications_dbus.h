// Desktop notifications over D-Bus (org.freedesktop.Notifications). The bus is
// the caller's: the program passes the session bus, tests a private one.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <map>

#include "platform/notifications.h"

namespace ringmere {

class DbusNotifications final : public QObject, public DesktopNotifications {
    Q_OBJECT

public:
    // `icon`: an icon name of the theme or a file path; `replyTimeoutMs`
    // bounds the wait for the server's answer to Notify.
    DbusNotifications(const QDBusConnection& bus, QString appName, QString icon,
                      int replyTimeoutMs = 5000, QObject* parent = nullptr);
    ~DbusNotifications() override;

    int Show(const Notification& notification, NotificationEvents events) override;
    void Close(int ticket) override;

private slots:
    void OnActionInvoked(uint id, const QString& key);
    void OnNotificationClosed(uint id, uint reason);

private:
    struct Entry {
        NotificationEvents events;
        uint id = 0;  // the server's, once it answered
    };
    void Answered(int ticket, uint id, const QString& error);
    void CloseOnServer(uint id);
    std::map<int, Entry>::iterator ById(uint id);

    QDBusConnection bus_;
    QString appName_;
    QString icon_;
    int replyTimeoutMs_;
    int next_ = 1;
    std::map<int, Entry> entries_;
};

}  // namespace ringmere
