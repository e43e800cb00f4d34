#include "run/connections_nm.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QMetaObject>
#include <algorithm>

#include "run/waiting.h"

namespace ringmere::run {

namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kManager = QStringLiteral("org.freedesktop.NetworkManager");
const QString kSettingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
const QString kSettings = QStringLiteral("org.freedesktop.NetworkManager.Settings");
const QString kProfile = QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
const QString kActive = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString kDevice = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString kIp4Config = QStringLiteral("org.freedesktop.NetworkManager.IP4Config");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

constexpr int kCallTimeoutMs = 5000;
constexpr int kTick = 100;
constexpr int kHangUpTicks = 50;
constexpr std::size_t kMostListed = 100;

// NMActiveConnectionState
constexpr uint kActivating = 1;
constexpr uint kActivated = 2;
constexpr uint kDeactivating = 3;
constexpr uint kDeactivated = 4;

constexpr int kFailureBase = 1000;  // + NetworkManager's reason
constexpr int kServiceGone = 999;

const char* const kServiceGoneText = "NetworkManager left the system bus.";

// Handles come back from callers; a malformed one must not reach the bus.
bool ValidPath(const QString& path) {
    if (!path.startsWith(QLatin1Char('/'))) return false;
    if (path.size() > 1 && path.endsWith(QLatin1Char('/'))) return false;
    if (path.contains(QLatin1String("//"))) return false;
    return std::all_of(path.begin(), path.end(), [](QChar c) {
        return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
               (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
               (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_') ||
               c == QLatin1Char('/');
    });
}

QVariant Unwrapped(const QVariant& v) {
    return v.userType() == qMetaTypeId<QDBusVariant>() ? v.value<QDBusVariant>().variant() : v;
}

QList<QDBusObjectPath> Paths(const QVariant& v) {
    if (v.userType() == qMetaTypeId<QDBusArgument>() &&
        v.value<QDBusArgument>().currentSignature() != QLatin1String("ao"))
        return {};
    return qdbus_cast<QList<QDBusObjectPath>>(v);
}

// connection.id of a profile's settings (a{sa{sv}}).
QString ProfileId(const QDBusArgument& arg) {
    QString id;
    arg.beginMap();
    while (!arg.atEnd()) {
        QString group;
        QVariantMap values;
        arg.beginMapEntry();
        arg >> group >> values;
        arg.endMapEntry();
        if (group == QLatin1String("connection"))
            id = Unwrapped(values.value(QStringLiteral("id"))).toString();
    }
    arg.endMap();
    return id;
}

int StatusOf(uint state) {
    switch (state) {
        case kActivating: return kDialConnectingDevice;
        case kActivated: return kDialConnected;
        case kDeactivating:
        case kDeactivated: return kDialDisconnected;
        default: return 0;
    }
}

}  // namespace

std::string ActivationFailureText(uint reason) {
    switch (reason) {
        case 0: return "The connection failed for an unknown reason.";
        case 1: return "The connection was closed.";
        case 2: return "The connection was closed by the user.";
        case 3: return "The device was disconnected.";
        case 4: return "The service providing the connection stopped.";
        case 5: return "The connection's IP configuration was invalid.";
        case 6: return "The connection attempt timed out.";
        case 7: return "The service providing the connection did not start in time.";
        case 8: return "The service providing the connection failed to start.";
        case 9: return "The connection's secrets were not provided.";
        case 10: return "Logging on to the server failed.";
        case 11: return "The connection was deleted.";
        case 12: return "A connection this one depends on failed.";
        case 13: return "The connection's device could not be created.";
        case 14: return "The connection's device disappeared.";
        default: return "The connection failed (reason " + std::to_string(reason) + ").";
    }
}

NmConnections::NmConnections(const QDBusConnection& bus, Waiting& waiting, QObject* parent)
    : QObject(parent), bus_(bus), waiting_(waiting) {
    bus_.connect(kService, QString(), kActive, QStringLiteral("StateChanged"), this,
                 SLOT(OnStateChanged(uint, uint, QDBusMessage)));
    watcher_ = new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForUnregistration,
                                       this);
    connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this,
            &NmConnections::OnServiceGone);
}

NmConnections::~NmConnections() {
    bus_.disconnect(kService, QString(), kActive, QStringLiteral("StateChanged"), this,
                    SLOT(OnStateChanged(uint, uint, QDBusMessage)));
}

NmConnections::Reply NmConnections::Call(const QString& path, const QString& interface,
                                         const QString& method, const QVariantList& args) {
    Reply r;
    if (!bus_.isConnected()) {
        r.unavailable = true;
        r.error = QStringLiteral("There is no system bus.");
        return r;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, path, interface, method);
    call.setArguments(args);
    // Asking is no reason to start NetworkManager.
    call.setAutoStartService(false);
    r.message = bus_.call(call, QDBus::Block, kCallTimeoutMs);
    if (r.message.type() == QDBusMessage::ReplyMessage) {
        r.ok = true;
        return r;
    }
    const QString name = r.message.errorName();
    r.unavailable = name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
                    name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
                    name == QLatin1String("org.freedesktop.DBus.Error.Disconnected");
    r.error = r.message.errorMessage().isEmpty() ? name : r.message.errorMessage();
    return r;
}

QVariant NmConnections::Property(const QString& path, const QString& interface,
                                 const QString& name, bool* ok) {
    const Reply r = Call(path, kProperties, QStringLiteral("Get"), {interface, name});
    if (ok) *ok = r.ok && r.message.signature() == QLatin1String("v");
    if (!r.ok || r.message.arguments().isEmpty()) return {};
    return Unwrapped(r.message.arguments().constFirst());
}

bool NmConnections::Profiles(std::vector<std::pair<QString, QString>>& out, Reply& r) {
    r = Call(kSettingsPath, kSettings, QStringLiteral("ListConnections"));
    if (!r.ok) return false;
    for (const QDBusObjectPath& p : Paths(r.message.arguments().value(0))) {
        if (out.size() >= kMostListed) break;
        const Reply s = Call(p.path(), kProfile, QStringLiteral("GetSettings"));
        if (!s.ok || s.message.signature() != QLatin1String("a{sa{sv}}")) continue;
        const QString id = ProfileId(s.message.arguments().constFirst().value<QDBusArgument>());
        if (!id.isEmpty()) out.emplace_back(p.path(), id);
    }
    return true;
}

bool NmConnections::ActivePaths(QList<QString>& out, Reply& r) {
    r = Call(kManagerPath, kProperties, QStringLiteral("Get"),
             {kManager, QStringLiteral("ActiveConnections")});
    if (!r.ok) return false;
    for (const QDBusObjectPath& p : Paths(Unwrapped(r.message.arguments().value(0))))
        out << p.path();
    return true;
}

bool NmConnections::ListEntries(std::vector<std::string>& entries, std::string& error) {
    std::vector<std::pair<QString, QString>> profiles;
    Reply r;
    if (!Profiles(profiles, r)) {
        error = r.error.toStdString();
        return false;
    }
    for (const auto& profile : profiles) entries.push_back(profile.second.toStdString());
    return true;
}

DialStarted NmConnections::DialEntry(const std::string& entry, Progress progress) {
    DialStarted d;
    const auto fail = [&d](const Reply& r) {
        d.result = r.unavailable ? DialStarted::Unavailable : DialStarted::Failed;
        d.error = r.unavailable ? "NetworkManager is not on the system bus." : r.error.toStdString();
        return d;
    };
    std::vector<std::pair<QString, QString>> profiles;
    Reply r;
    if (!Profiles(profiles, r)) return fail(r);
    const QString name = QString::fromStdString(entry);
    const auto found = std::find_if(profiles.begin(), profiles.end(),
                                    [&](const auto& p) { return p.second == name; });
    if (found == profiles.end()) {
        d.result = DialStarted::Failed;
        d.error = "There is no network connection named \"" + entry + "\".";
        return d;
    }
    const QString profile = found->first;

    // A profile that is up or on its way up is followed, not brought up again.
    QString handle;
    uint state = kDeactivated;
    QList<QString> active;
    if (ActivePaths(active, r)) {
        for (const QString& path : active) {
            if (Property(path, kActive, QStringLiteral("Connection")).value<QDBusObjectPath>().path() !=
                profile)
                continue;
            bool ok = false;
            const uint s = Property(path, kActive, QStringLiteral("State"), &ok).toUInt();
            if (ok && (s == kActivating || s == kActivated)) {
                handle = path;
                state = s;
                break;
            }
        }
    }
    if (handle.isEmpty()) {
        const QDBusObjectPath any(QStringLiteral("/"));
        r = Call(kManagerPath, kManager, QStringLiteral("ActivateConnection"),
                 {QVariant::fromValue(QDBusObjectPath(profile)), QVariant::fromValue(any),
                  QVariant::fromValue(any)});
        if (!r.ok) return fail(r);
        handle = r.message.arguments().value(0).value<QDBusObjectPath>().path();
        if (!ValidPath(handle) || handle == QLatin1String("/")) {
            d.result = DialStarted::Failed;
            d.error = "NetworkManager did not start the connection.";
            return d;
        }
        bool ok = false;
        state = Property(handle, kActive, QStringLiteral("State"), &ok).toUInt();
        // Gone already: the report of why, if one came, is delivered first.
        if (!ok) state = kDeactivated;
    }

    const quint64 ticket = nextTicket_++;
    listeners_.push_back({ticket, handle, std::move(progress)});
    // Reports come from the event loop, never from inside this call.
    QMetaObject::invokeMethod(
        this, [this, handle, ticket, state] { DeliverState(handle, ticket, state, 0); },
        Qt::QueuedConnection);
    d.result = DialStarted::Started;
    d.handle = handle.toStdString();
    d.ticket = ticket;
    return d;
}

void NmConnections::Detach(quint64 ticket) {
    listeners_.erase(std::remove_if(listeners_.begin(), listeners_.end(),
                                    [ticket](const Listener& l) { return l.ticket == ticket; }),
                     listeners_.end());
}

void NmConnections::Deliver(const QString& handle, quint64 ticket, const DialProgress& p,
                            bool final) {
    std::vector<quint64> tickets;
    for (const Listener& l : listeners_)
        if (ticket != 0 ? l.ticket == ticket : l.handle == handle) tickets.push_back(l.ticket);
    // A handler may dial, detach or wait; each ticket is looked up afresh.
    for (const quint64 t : tickets) {
        const auto it = std::find_if(listeners_.begin(), listeners_.end(),
                                     [t](const Listener& l) { return l.ticket == t; });
        if (it == listeners_.end()) continue;
        const Progress progress = it->progress;
        if (final) listeners_.erase(it);
        if (progress) progress(p);
    }
}

void NmConnections::DeliverState(const QString& handle, quint64 ticket, uint state, uint reason) {
    switch (state) {
        case kActivating:
            Deliver(handle, ticket,
                    {kDialConnectingDevice, DialStateText(kDialConnectingDevice), 0}, false);
            break;
        case kActivated:
            Deliver(handle, ticket, {kDialConnected, DialStateText(kDialConnected), 0}, true);
            break;
        case kDeactivated:
            Deliver(handle, ticket,
                    {kDialDisconnected, ActivationFailureText(reason), kFailureBase + int(reason)},
                    true);
            break;
        default:
            break;  // the next state tells
    }
}

void NmConnections::OnStateChanged(uint state, uint reason, const QDBusMessage& message) {
    DeliverState(message.path(), 0, state, reason);
}

void NmConnections::OnServiceGone() {
    std::vector<quint64> tickets;
    for (const Listener& l : listeners_) tickets.push_back(l.ticket);
    for (const quint64 t : tickets)
        Deliver(QString(), t, {kDialDisconnected, kServiceGoneText, kServiceGone}, true);
}

bool NmConnections::ListActiveConnections(std::vector<ActiveConnection>& active,
                                          std::string& error) {
    QList<QString> paths;
    Reply r;
    if (!ActivePaths(paths, r)) {
        error = r.error.toStdString();
        return false;
    }
    for (const QString& path : paths) {
        if (active.size() >= kMostListed) break;
        const Reply all = Call(path, kProperties, QStringLiteral("GetAll"), {kActive});
        if (!all.ok || all.message.signature() != QLatin1String("a{sv}")) continue;  // gone
        const QVariantMap props = qdbus_cast<QVariantMap>(all.message.arguments().constFirst());
        ActiveConnection c;
        c.handle = path.toStdString();
        c.entry = Unwrapped(props.value(QStringLiteral("Id"))).toString().toStdString();
        c.deviceType = Unwrapped(props.value(QStringLiteral("Type"))).toString().toStdString();
        c.status = StatusOf(Unwrapped(props.value(QStringLiteral("State"))).toUInt());
        c.statusText = DialStateText(c.status);
        const QList<QDBusObjectPath> devices =
            Paths(Unwrapped(props.value(QStringLiteral("Devices"))));
        if (!devices.isEmpty())
            c.deviceName = Property(devices.constFirst().path(), kDevice, QStringLiteral("Interface"))
                               .toString()
                               .toStdString();
        active.push_back(std::move(c));
    }
    return true;
}

bool NmConnections::HangUpConnection(const std::string& handle) {
    const QString path = QString::fromStdString(handle);
    if (!ValidPath(path) || path == QLatin1String("/")) return true;
    Call(kManagerPath, kManager, QStringLiteral("DeactivateConnection"),
         {QVariant::fromValue(QDBusObjectPath(path))});
    for (int tick = 0;; ++tick) {
        QList<QString> paths;
        Reply r;
        // Without NetworkManager there is no connection of its left to wait for.
        if (!ActivePaths(paths, r)) return r.unavailable;
        if (!paths.contains(path)) return true;
        if (tick >= kHangUpTicks) return false;
        waiting_.Pause(kTick);
    }
}

ConnectionAddresses NmConnections::QueryAddresses(const std::string& handle) {
    ConnectionAddresses a;
    const QString path = QString::fromStdString(handle);
    if (!ValidPath(path) || path == QLatin1String("/")) return a;
    bool ok = false;
    const QVariant state = Property(path, kActive, QStringLiteral("State"), &ok);
    if (!ok || state.toUInt() != kActivated) return a;
    const QString config =
        Property(path, kActive, QStringLiteral("Ip4Config")).value<QDBusObjectPath>().path();
    if (!ValidPath(config) || config == QLatin1String("/")) return a;
    const QVariant data = Property(config, kIp4Config, QStringLiteral("AddressData"));
    if (data.userType() == qMetaTypeId<QDBusArgument>()) {
        const QDBusArgument arg = data.value<QDBusArgument>();
        if (arg.currentSignature() == QLatin1String("aa{sv}")) {
            arg.beginArray();
            while (!arg.atEnd()) {
                QVariantMap entry;
                arg >> entry;
                if (a.client.empty())
                    a.client =
                        Unwrapped(entry.value(QStringLiteral("address"))).toString().toStdString();
            }
            arg.endArray();
        }
    }
    a.server = Property(config, kIp4Config, QStringLiteral("Gateway")).toString().toStdString();
    return a;
}

}  // namespace ringmere::run
