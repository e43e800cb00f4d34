#include "app/bus_interface.h"

#include <QDBusMetaType>

#include "core/alarm_form.h"
#include "core/alarmtable.h"
#include "core/datetime.h"
#include "core/schedule.h"
#include "core/simple_alarm.h"
#include "ui/alarm.h"
#include "widgets/file_text.h"

namespace ringmere::app {

using widgets::FromFileText;
using widgets::ToFileText;

QDBusArgument& operator<<(QDBusArgument& out, const BusAlarm& a) {
    out.beginStructure();
    out << a.number << a.enabled << a.name << a.next;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, BusAlarm& a) {
    in.beginStructure();
    in >> a.number >> a.enabled >> a.name >> a.next;
    in.endStructure();
    return in;
}
QDBusArgument& operator<<(QDBusArgument& out, const BusActivation& a) {
    out.beginStructure();
    out << a.when << a.name;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, BusActivation& a) {
    in.beginStructure();
    in >> a.when >> a.name;
    in.endStructure();
    return in;
}

QString IsoMoment(DateTime when) {
    const CivilDate date = DecodeDate(when);
    const int second = SplitToSecond(when).second;
    return QStringLiteral("%1-%2-%3T%4:%5:%6")
        .arg(date.year, 4, 10, QLatin1Char('0'))
        .arg(date.month, 2, 10, QLatin1Char('0'))
        .arg(date.day, 2, 10, QLatin1Char('0'))
        .arg(second / 3600, 2, 10, QLatin1Char('0'))
        .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(second % 60, 2, 10, QLatin1Char('0'));
}

namespace {

constexpr const char* kNoSuchAlarm = "org.ringmere.Ringmere1.Error.NoSuchAlarm";
constexpr const char* kRefused = "org.ringmere.Ringmere1.Error.Refused";
constexpr const char* kInvalidFields = "org.ringmere.Ringmere1.Error.InvalidFields";
constexpr const char* kInvalidArgs = "org.freedesktop.DBus.Error.InvalidArgs";
// As ringmere-cli schedule: no table is near this long.
constexpr int kMaxActivations = 100000;

}  // namespace

BusInterface::BusInterface(Globals& g, ui::TfrmAlMain& window, const Clock& clock,
                           std::function<QString()> reloadOwn, std::function<void()> reloadShared,
                           QObject* parent)
    : QObject(parent),
      g_(g),
      window_(window),
      clock_(clock),
      reloadOwn_(std::move(reloadOwn)),
      reloadShared_(std::move(reloadShared)) {
    qDBusRegisterMetaType<BusAlarm>();
    qDBusRegisterMetaType<QList<BusAlarm>>();
    qDBusRegisterMetaType<BusActivation>();
    qDBusRegisterMetaType<QList<BusActivation>>();
    connect(&window_, &ui::TfrmAlMain::alarmStarted, this, [this](int index) {
        if (index < 1 || index > g_.AlarmCount) return;
        emit AlarmStarted(FromFileText(g_.AlarmTable[index].AlName), IsoMoment(clock_.Now()));
    });
}

QString BusInterface::Publish(QDBusConnection bus) {
    if (!bus.isConnected()) return bus.lastError().message();
    if (!bus.registerObject(QString::fromLatin1(kBusPath), this,
                            QDBusConnection::ExportScriptableSlots |
                                QDBusConnection::ExportScriptableSignals))
        return QStringLiteral("the object %1 is taken").arg(QString::fromLatin1(kBusPath));
    if (!bus.registerService(QString::fromLatin1(kBusName))) {
        bus.unregisterObject(QString::fromLatin1(kBusPath));
        return bus.lastError().message();
    }
    return {};
}

void BusInterface::Fail(const char* error, const QString& text) {
    sendErrorReply(QString::fromLatin1(error), text);
}

int BusInterface::Find(const QString& name) {
    const std::string wanted = ToFileText(name);
    const Integer usable = g_.FirstDamagedAlarm > 0 ? g_.FirstDamagedAlarm - 1 : g_.AlarmCount;
    for (Integer i = 1; i <= std::min(usable, g_.AlarmCount); ++i)
        if (g_.AlarmTable[i].AlName == wanted) return int(i);
    Fail(kNoSuchAlarm, QStringLiteral("There is no alarm named \"%1\".").arg(name));
    return 0;
}

QList<BusAlarm> BusInterface::ListAlarms() {
    QList<BusAlarm> out;
    const DateTime now = clock_.Now();
    for (Integer i = 1; i <= g_.AlarmCount; ++i) {
        const AlRec& a = g_.AlarmTable[i];
        const bool damaged = g_.FirstDamagedAlarm > 0 && i >= g_.FirstDamagedAlarm;
        QString next;
        if (a.enabled && !damaged)
            if (const auto when = NextOccurrences(a, g_.GlobalExceptions, now, 1); !when.empty())
                next = IsoMoment(when.front());
        out.push_back({int(i), a.enabled, FromFileText(a.AlName), next});
    }
    return out;
}

QList<BusActivation> BusInterface::NextActivations(int count) {
    if (count < 1 || count > kMaxActivations) {
        Fail(kInvalidArgs,
             QStringLiteral("The count must be a whole number from 1 to %1.").arg(kMaxActivations));
        return {};
    }
    QList<BusActivation> out;
    for (const ScheduleEntry& e : ComputeSchedule(g_, clock_.Now(), count))
        out.push_back({IsoMoment(e.When), FromFileText(g_.AlarmTable[e.AlarmIndex].AlName)});
    return out;
}

void BusInterface::SetEnabled(const QString& name, bool enabled) {
    const int row = Find(name);
    if (row == 0) return;
    QString refusal;
    if (!window_.SetAlarmEnabled(row, enabled, &refusal)) Fail(kRefused, refusal);
}

void BusInterface::RunNow(const QString& name) {
    const int row = Find(name);
    if (row == 0) return;
    QString refusal;
    if (!window_.TestAlarm(row, &refusal)) Fail(kRefused, refusal);
}

void BusInterface::SkipNext(const QString& name) {
    const int row = Find(name);
    if (row == 0) return;
    QString refusal;
    if (!window_.SkipNext(row, &refusal)) Fail(kRefused, refusal);
}

int BusInterface::AddAlarm(const QVariantMap& fields) {
    SimpleAlarmFields f;
    const std::pair<const char*, std::optional<std::string>*> optional[] = {
        {"every", &f.every},     {"weekdays", &f.weekdays}, {"until", &f.until},
        {"message", &f.message}, {"sound", &f.sound},       {"run", &f.run}};
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        const QString& key = it.key();
        const QVariant& value = it.value();
        if (key == QLatin1String("disabled")) {
            if (value.typeId() != QMetaType::Bool) {
                Fail(kInvalidFields, QStringLiteral("The field \"disabled\" takes a boolean."));
                return 0;
            }
            f.disabled = value.toBool();
            continue;
        }
        if (value.typeId() != QMetaType::QString) {
            Fail(kInvalidFields, QStringLiteral("The field \"%1\" takes a string.").arg(key));
            return 0;
        }
        const std::string text = ToFileText(value.toString());
        if (key == QLatin1String("name")) {
            f.name = text;
        } else if (key == QLatin1String("at")) {
            f.at = text;
        } else {
            const auto* slot = std::find_if(std::begin(optional), std::end(optional),
                                            [&](const auto& o) { return key == QLatin1String(o.first); });
            if (slot == std::end(optional)) {
                Fail(kInvalidFields, QStringLiteral("There is no field \"%1\".").arg(key));
                return 0;
            }
            *slot->second = text;
        }
    }
    if (IsClientMode(g_)) {
        Fail(kRefused, ui::TfrmAlMain::ClientRefusal());
        return 0;
    }
    SimpleAlarmResult made = MakeSimpleAlarm(f, g_, clock_.Now());
    if (!made.alarm) {
        Fail(kInvalidFields, FromFileText(made.error));
        return 0;
    }
    QString refusal;
    const std::optional<Integer> added = window_.AddAlarm(std::move(*made.alarm), &refusal);
    if (!added) {
        Fail(kRefused, refusal);
        return 0;
    }
    return int(*added);
}

void BusInterface::Reload() {
    if (IsClientMode(g_)) {
        if (reloadShared_) reloadShared_();
        return;
    }
    const QString problem = reloadOwn_ ? reloadOwn_() : QString();
    if (!problem.isEmpty()) Fail(kRefused, problem);
}

}  // namespace ringmere::app
