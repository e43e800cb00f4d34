// The running program on the user's session bus (org.ringmere.Ringmere1,
// described in app/org.ringmere.Ringmere1.xml). Every call is one of the main
// window's own commands; what the window would say in a box comes back as
// the call's error.
#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>

#include "core/clock.h"
#include "core/globals.h"

namespace ringmere::ui {
class TfrmAlMain;
}

namespace ringmere::app {

inline constexpr const char* kBusName = "org.ringmere.Ringmere";
inline constexpr const char* kBusPath = "/org/ringmere/Ringmere";

struct BusAlarm {
    int number = 0;
    bool enabled = false;
    QString name;
    QString next;  // "" for none
};
struct BusActivation {
    QString when;
    QString name;
};
QDBusArgument& operator<<(QDBusArgument& out, const BusAlarm& a);
const QDBusArgument& operator>>(const QDBusArgument& in, BusAlarm& a);
QDBusArgument& operator<<(QDBusArgument& out, const BusActivation& a);
const QDBusArgument& operator>>(const QDBusArgument& in, BusActivation& a);

// A moment as the interface gives it: local "yyyy-MM-ddTHH:mm:ss".
QString IsoMoment(DateTime when);

class BusInterface : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.ringmere.Ringmere1")

public:
    // `reloadShared` is the shared file's reload of the client modes.
    BusInterface(Globals& g, ui::TfrmAlMain& window, const Clock& clock,
                 std::function<QString()> reloadOwn, std::function<void()> reloadShared,
                 QObject* parent = nullptr);

    // Puts the object and the name on `bus`; why not, or empty.
    QString Publish(QDBusConnection bus);

public slots:
    Q_SCRIPTABLE QList<ringmere::app::BusAlarm> ListAlarms();
    Q_SCRIPTABLE QList<ringmere::app::BusActivation> NextActivations(int count);
    Q_SCRIPTABLE void SetEnabled(const QString& name, bool enabled);
    Q_SCRIPTABLE void RunNow(const QString& name);
    Q_SCRIPTABLE void SkipNext(const QString& name);
    Q_SCRIPTABLE int AddAlarm(const QVariantMap& fields);
    Q_SCRIPTABLE void Reload();

signals:
    Q_SCRIPTABLE void AlarmStarted(const QString& name, const QString& when);

private:
    // The alarm's position, or 0 with the caller told.
    int Find(const QString& name);
    void Fail(const char* error, const QString& text);

    Globals& g_;
    ui::TfrmAlMain& window_;
    const Clock& clock_;
    std::function<QString()> reloadOwn_;
    std::function<void()> reloadShared_;
};

}  // namespace ringmere::app

Q_DECLARE_METATYPE(ringmere::app::BusAlarm)
Q_DECLARE_METATYPE(ringmere::app::BusActivation)
