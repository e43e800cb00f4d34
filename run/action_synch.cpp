// Clock synchronisation from a time server: the run's action, and the
// operations that the main window and the editors share with it.
#include <QWidget>
#include <set>

#include "core/datetime.h"
#include "run/actions.h"
#include "run/timesync.h"
#include "widgets/dialogs.h"
#include "widgets/file_text.h"

namespace ringmere::run {

using widgets::BoxKind;

ServerTime FetchTime(const Services& services, const QString& server,
                     const std::function<bool()>& cancelled) {
    if (!services.daytime) {
        ServerTime t;
        t.error = QString::fromLatin1(kSynchUnavailableInteractive);
        return t;
    }
    return services.daytime->Fetch(server, cancelled);
}

SynchOutcome SetClockFrom(const Services& services, const ServerTime& time) {
    if (!services.clockSetter)
        return {SynchKind::Unavailable, QString::fromLatin1(kSynchUnavailable)};
    const QString failed = QStringLiteral("Error updating system time: ");
    qint64 micros = 0;
    if (time.utcMicroseconds) {
        micros = *time.utcMicroseconds;
    } else {
        const Conversion c = ConvertDaytime(time.text, DecodeDate(services.clock.Now()).year);
        if (!c.utcSeconds) return {SynchKind::NotSet, failed + QString::fromStdString(c.error)};
        micros = *c.utcSeconds * 1000000;
    }
    const ClockResult r = services.clockSetter->Set(micros);
    if (!r.ok) return {SynchKind::NotSet, failed + r.error};
    return {SynchKind::Updated, QStringLiteral("System time updated.")};
}

void InteractiveSynchronize(const Services& services, const QString& server, QWidget* owner,
                            const std::function<void(const QString&)>& status,
                            const std::function<bool()>& cancelled) {
    // A second click while the first waits for its server would open a
    // second fetch and a second box: the first one answers for both.
    static std::set<const QWidget*> underWay;
    if (!underWay.insert(owner).second) return;
    struct Done {
        const QWidget* owner;
        ~Done() { underWay.erase(owner); }
    } done{owner};

    const auto tell = [&](const QString& text) {
        if (status) status(text);
    };
    const auto box = [&](BoxKind kind, const QString& text) {
        const QWidget* window = owner ? owner->window() : nullptr;
        services.dialogs.Message(
            owner, kind, text,
            window ? std::optional(window->frameGeometry().topLeft()) : std::nullopt);
    };
    if (!services.daytime || !services.clockSetter) {
        box(BoxKind::Warning, QString::fromLatin1(kSynchUnavailableInteractive));
        return;
    }
    if (server.trimmed().isEmpty()) {
        box(BoxKind::Warning, QStringLiteral("Please select or enter a time server first."));
        return;
    }
    tell(QStringLiteral("Retrieving Time From Server..."));
    const ServerTime time = FetchTime(services, server.trimmed(), cancelled);
    tell(QString());
    if (!time.ok) {
        if (cancelled && cancelled()) return;
        box(BoxKind::Warning, QStringLiteral("Unable to retrieve time from server. Please use a "
                                             "different time server."));
        return;
    }
    const SynchOutcome outcome = SetClockFrom(services, time);
    box(outcome.kind == SynchKind::Updated ? BoxKind::Information : BoxKind::Warning, outcome.line);
}

Outcome StandardActions::Synchronize(RunSession& s, const SynchronizeRec& synch, bool step) {
    if (!services_.daytime || !services_.clockSetter) {
        s.Report(kSynchUnavailable);
        return Outcome::Continue;
    }
    s.Report("Synchronizing System Time...");
    const ServerTime time = FetchTime(services_, widgets::FromFileText(synch.synchserver),
                                      [&s] { return s.CancelRequested(); });
    if (s.CancelRequested()) return Outcome::EndRun;
    if (!time.ok) {
        s.Report(step ? "Unable to retrieve time from server."
                      : "Unable to retrieve time from server. Please use a different time server.");
        return Outcome::EndRun;
    }
    const SynchOutcome set = SetClockFrom(services_, time);
    s.Report(set.line.toStdString());
    if (set.kind != SynchKind::Updated) s.MarkFailed();
    return Outcome::Continue;
}

}  // namespace ringmere::run
