// Network connections over NetworkManager on the system bus: the entries are
// its connection profiles, a dial activates one, and a handle is the path of
// an active connection.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <vector>

#include "run/connections.h"

class QDBusServiceWatcher;

namespace ringmere::run {

class Waiting;

// Why NetworkManager ended an activation, as the user reads it; `reason` is
// its NMActiveConnectionStateReason.
std::string ActivationFailureText(uint reason);

class NmConnections final : public QObject, public NetworkConnections {
    Q_OBJECT

public:
    // The program passes QDBusConnection::systemBus(); tests a private bus.
    // Hang-up waits go through `waiting`.
    NmConnections(const QDBusConnection& bus, Waiting& waiting, QObject* parent = nullptr);
    ~NmConnections() override;

    bool ListEntries(std::vector<std::string>& entries, std::string& error) override;
    DialStarted DialEntry(const std::string& entry, Progress progress) override;
    void Detach(quint64 ticket) override;
    bool ListActiveConnections(std::vector<ActiveConnection>& active,
                               std::string& error) override;
    bool HangUpConnection(const std::string& handle) override;
    ConnectionAddresses QueryAddresses(const std::string& handle) override;

private slots:
    void OnStateChanged(uint state, uint reason, const QDBusMessage& message);
    void OnServiceGone();

private:
    struct Listener {
        quint64 ticket;
        QString handle;
        Progress progress;
    };
    struct Reply {
        QDBusMessage message;
        bool ok = false;
        bool unavailable = false;
        QString error;
    };
    Reply Call(const QString& path, const QString& interface, const QString& method,
               const QVariantList& args = {});
    QVariant Property(const QString& path, const QString& interface, const QString& name,
                      bool* ok = nullptr);
    // The profiles by path and name; false with `r` saying why.
    bool Profiles(std::vector<std::pair<QString, QString>>& out, Reply& r);
    bool ActivePaths(QList<QString>& out, Reply& r);
    // Hands a report to the listeners of `handle` (or to `ticket` alone).
    void Deliver(const QString& handle, quint64 ticket, const DialProgress& p, bool final);
    void DeliverState(const QString& handle, quint64 ticket, uint state, uint reason);

    QDBusConnection bus_;
    Waiting& waiting_;
    QDBusServiceWatcher* watcher_ = nullptr;
    std::vector<Listener> listeners_;
    quint64 nextTicket_ = 1;
};

}  // namespace ringmere::run
