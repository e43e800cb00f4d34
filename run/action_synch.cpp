// Clock synchronisation from a time server: the run's action, and the
// operations that the main window and the editors share with it.
#include <QDateTime>
#include <QWidget>
#include <cmath>
#include <cstdlib>
#include <set>

#include "core/activitylog.h"
#include "core/clock.h"
#include "core/datetime.h"
#include "core/report.h"
#include "run/actions.h"
#include "run/timesync.h"
#include "widgets/dialogs.h"
#include "widgets/file_text.h"

namespace ringmere::run {

using widgets::BoxKind;

namespace {

const char* const kNotUpdated = "Error updating system time: ";
const char* const kNoTime =
    "Unable to retrieve time from server. Please use a different time server.";
// Beside a clock that could not be set: what it takes.
const char* const kSettingNeeds =
    "Setting the clock needs the administrator's permission: allow it when the system asks "
    "(systemd-timedated), or give the program the CAP_SYS_TIME capability.";

qint64 FloorDiv(qint64 a, qint64 b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

// This computer's clock, as UTC microseconds.
qint64 UtcMicrosecondsOf(DateTime local) {
    const CivilDate d = DecodeDate(local);
    const int ms = int(std::min<long long>(std::llround(TimeOf(local) * kSecondsPerDay * 1000.0),
                                           kSecondsPerDay * 1000LL - 1));
    const QDateTime t(QDate(d.year, d.month, d.day), QTime::fromMSecsSinceStartOfDay(ms),
                      Qt::LocalTime);
    return t.toMSecsSinceEpoch() * 1000;
}

// "3 h 2 min 5 s", "12.5 s".
QString Span(qint64 micros) {
    micros = std::llabs(micros);
    if (micros < 60 * 1000000LL) return QString::number(double(micros) / 1e6, 'f', 1) + " s";
    const qint64 s = (micros + 500000) / 1000000;
    QStringList parts;
    if (const qint64 days = s / kSecondsPerDay)
        parts << QStringLiteral("%1 %2").arg(days).arg(days == 1 ? "day" : "days");
    if (const qint64 h = s / 3600 % 24) parts << QStringLiteral("%1 h").arg(h);
    if (const qint64 m = s / 60 % 60) parts << QStringLiteral("%1 min").arg(m);
    if (const qint64 rest = s % 60) parts << QStringLiteral("%1 s").arg(rest);
    return parts.join(QLatin1Char(' '));
}

// How far this computer's clock is from the server's.
QString Offset(qint64 serverMinusLocal) {
    if (std::llabs(serverMinusLocal) < 50000) return QStringLiteral("this computer's clock agrees");
    return QStringLiteral("this computer's clock is %1 %2")
        .arg(Span(serverMinusLocal), serverMinusLocal > 0 ? "behind" : "ahead");
}

int YearOf(qint64 utcSeconds) {
    return QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::UTC).date().year();
}

void Log(const Services& services, const QString& line) {
    SilentReporter quiet;
    services.log.Append(widgets::ToFileText(line), quiet);
}

}  // namespace

ServerTime FetchTime(const Services& services, const QString& server,
                     const std::function<bool()>& cancelled) {
    if (!services.daytime) {
        ServerTime t;
        t.error = QString::fromLatin1(kSynchUnavailableInteractive);
        return t;
    }
    return services.daytime->Fetch(server, cancelled);
}

QString NoTimeLine(const QString& server, const ServerTime& time) {
    return QStringLiteral("No time from %1: %2.")
        .arg(server, time.error.isEmpty() ? QStringLiteral("no answer") : time.error);
}

ReadAnswer ReadServerAnswer(const Services& services, const QString& server,
                            const ServerTime& time) {
    ReadAnswer r;
    r.readAt = services.clock.Now();
    const qint64 built =
        services.clockSetter ? services.clockSetter->builtUtcSeconds : BuildDateUtcSeconds();
    qint64 micros = 0;
    QString written;  // a daytime reply's own fields beside the time read from them
    if (time.utcMicroseconds) {
        micros = *time.utcMicroseconds;
    } else {
        const Conversion c = ConvertDaytime(time.text, YearOf(built));
        if (!c.utcSeconds) {
            r.refused = kNotUpdated + QString::fromStdString(c.error);
            return r;
        }
        micros = *c.utcSeconds * 1000000;
        written = QStringLiteral(" (\"%1\")").arg(QString::fromLatin1(DaytimeFields(time.text)));
    }
    const qint64 seconds = FloorDiv(micros, 1000000);
    const QString when = QString::fromStdString(FormatUtc(seconds)) + written;
    r.sent = QStringLiteral("%1 sent %2; %3.")
                 .arg(server, when, Offset(micros - UtcMicrosecondsOf(r.readAt)));
    const std::string why = RefusalOf(seconds, built);
    if (!why.empty()) {
        r.refused = kNotUpdated + QStringLiteral("the time from %1, %2, is refused: %3.")
                                      .arg(server, when, QString::fromStdString(why));
        return r;
    }
    r.utcMicroseconds = micros;
    return r;
}

SynchOutcome SetClockTo(const Services& services, const ReadAnswer& answer) {
    if (!services.clockSetter)
        return {SynchKind::Unavailable, QString::fromLatin1(kSynchUnavailable)};
    if (!answer.utcMicroseconds) return {SynchKind::NotSet, answer.refused};
    const qint64 passed =
        std::max<qint64>(0, std::llround((services.clock.Now() - answer.readAt) *
                                         kSecondsPerDay * 1e6));
    const ClockResult r = services.clockSetter->Set(*answer.utcMicroseconds + passed);
    if (!r.ok) return {SynchKind::NotSet, kNotUpdated + r.error, r.denied};
    return {SynchKind::Updated, QStringLiteral("System time updated.")};
}

SynchOutcome SetClockFrom(const Services& services, const QString& server,
                          const ServerTime& time,
                          const std::function<void(const QString&)>& tell) {
    if (!services.clockSetter)
        return {SynchKind::Unavailable, QString::fromLatin1(kSynchUnavailable)};
    const ReadAnswer answer = ReadServerAnswer(services, server, time);
    if (!answer.sent.isEmpty() && tell) tell(answer.sent);
    return SetClockTo(services, answer);
}

void InteractiveSynchronize(const Services& services, const QString& server, QWidget* owner,
                            const std::function<void(const QString&)>& status,
                            const std::function<bool()>& cancelled, SynchConfirm confirm) {
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
        return services.dialogs.Message(
            owner, kind, text,
            window ? std::optional(window->frameGeometry().topLeft()) : std::nullopt);
    };
    if (!services.daytime || !services.clockSetter) {
        box(BoxKind::Warning, QString::fromLatin1(kSynchUnavailableInteractive));
        return;
    }
    const QString name = server.trimmed();
    if (name.isEmpty()) {
        box(BoxKind::Warning, QStringLiteral("Please select or enter a time server first."));
        return;
    }
    tell(QStringLiteral("Retrieving Time From Server..."));
    const ServerTime time = FetchTime(services, name, cancelled);
    tell(QString());
    if (!time.ok) {
        if (cancelled && cancelled()) return;
        const QString why = NoTimeLine(name, time);
        Log(services, why);
        box(BoxKind::Warning, QString::fromLatin1(kNoTime) + QStringLiteral("\n\n") + why);
        return;
    }
    const ReadAnswer answer = ReadServerAnswer(services, name, time);
    if (!answer.sent.isEmpty()) Log(services, answer.sent);
    if (!answer.utcMicroseconds) {
        Log(services, answer.refused);
        box(BoxKind::Warning, answer.refused);
        return;
    }
    if (confirm == SynchConfirm::AskFirst &&
        box(BoxKind::Confirmation,
            answer.sent + QStringLiteral("\n\nSet this computer's clock to that time?")) !=
            widgets::Answer::Ok)
        return;
    const SynchOutcome outcome = SetClockTo(services, answer);
    Log(services, outcome.line);
    if (outcome.kind == SynchKind::Updated)
        box(BoxKind::Information, outcome.line);
    else
        box(BoxKind::Warning,
            outcome.denied ? outcome.line + QStringLiteral("\n\n") + QString::fromLatin1(kSettingNeeds)
                           : outcome.line);
}

Outcome StandardActions::Synchronize(RunSession& s, const SynchronizeRec& synch, bool step) {
    if (!services_.daytime || !services_.clockSetter) {
        s.Report(kSynchUnavailable);
        return Outcome::Continue;
    }
    s.Report("Synchronizing System Time...");
    const QString server = widgets::FromFileText(synch.synchserver);
    const ServerTime time =
        FetchTime(services_, server, [&s] { return s.CancelRequested(); });
    if (s.CancelRequested()) return Outcome::EndRun;
    if (!time.ok) {
        s.Report(widgets::ToFileText(NoTimeLine(server, time)));
        s.Report(step ? "Unable to retrieve time from server." : kNoTime);
        return Outcome::EndRun;
    }
    const SynchOutcome outcome = SetClockFrom(
        services_, server, time, [&s](const QString& line) { s.Report(widgets::ToFileText(line)); });
    s.Report(widgets::ToFileText(outcome.line));
    if (outcome.kind != SynchKind::Updated) s.MarkFailed();
    return Outcome::Continue;
}

}  // namespace ringmere::run
