#include "platform/notifications_dbus.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace ringmere {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

constexpr uchar kUrgencyCritical = 2;

// Most servers read the body as markup; an alarm's "<" or "&" is text.
QString PlainBody(const QString& text) {
    return text.toHtmlEscaped();
}

QString Reason(const QDBusError& error) {
    const QString message = error.message().trimmed();
    return message.isEmpty() ? error.name() : message;
}

}  // namespace

DbusNotifications::DbusNotifications(const QDBusConnection& bus, QString appName, QString icon,
                                     int replyTimeoutMs, QObject* parent)
    : QObject(parent),
      bus_(bus),
      appName_(std::move(appName)),
      icon_(std::move(icon)),
      replyTimeoutMs_(replyTimeoutMs) {
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(OnActionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(OnNotificationClosed(uint, uint)));
}

DbusNotifications::~DbusNotifications() {
    for (const auto& [ticket, entry] : entries_)
        if (entry.id != 0) CloseOnServer(entry.id);
}

int DbusNotifications::Show(const Notification& n, NotificationEvents events) {
    const int ticket = next_++;
    entries_[ticket] = Entry{std::move(events), 0};

    QStringList actions;
    for (const auto& [key, label] : n.actions) actions << key << label;
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(kUrgencyCritical));
    hints.insert(QStringLiteral("image-path"), icon_);
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("Notify"));
    // Never expires: an alarm waits for the user.
    call << appName_ << uint(0) << icon_ << n.summary << PlainBody(n.body) << actions << hints
         << int(0);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, replyTimeoutMs_), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, ticket](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isError())
                    Answered(ticket, 0, Reason(reply.error()));
                else
                    Answered(ticket, reply.value(), QString());
            });
    return ticket;
}

void DbusNotifications::Answered(int ticket, uint id, const QString& error) {
    const auto it = entries_.find(ticket);
    if (it == entries_.end()) {
        // Closed before the server answered: withdraw what it shows.
        if (error.isEmpty()) CloseOnServer(id);
        return;
    }
    if (error.isEmpty() && id != 0) {
        it->second.id = id;
        if (const auto shown = it->second.events.shown) shown();
        return;
    }
    const auto failed = std::move(it->second.events.failed);
    entries_.erase(it);
    if (failed) failed(error.isEmpty() ? QStringLiteral("the server gave no id") : error);
}

void DbusNotifications::Close(int ticket) {
    const auto it = entries_.find(ticket);
    if (it == entries_.end()) return;
    const uint id = it->second.id;
    entries_.erase(it);
    if (id != 0) CloseOnServer(id);
}

void DbusNotifications::CloseOnServer(uint id) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("CloseNotification"));
    call << id;
    bus_.asyncCall(call, replyTimeoutMs_);
}

std::map<int, DbusNotifications::Entry>::iterator DbusNotifications::ById(uint id) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->second.id == id) return it;
    return entries_.end();
}

void DbusNotifications::OnActionInvoked(uint id, const QString& key) {
    const auto it = ById(id);
    if (it == entries_.end() || !it->second.events.action) return;
    // The handler may close the notification, and with it this entry.
    const auto action = it->second.events.action;
    action(key);
}

void DbusNotifications::OnNotificationClosed(uint id, uint reason) {
    const auto it = ById(id);
    if (it == entries_.end()) return;
    const auto closed = std::move(it->second.events.closed);
    entries_.erase(it);
    if (closed) closed(reason);
}

}  // namespace ringmere
