#include "run/desktop.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QWidget>
#include <memory>

#include "core/cmdline.h"
#include "widgets/dialogs.h"
#include "widgets/file_text.h"

namespace ringmere::run {

namespace {

constexpr const char* kNoOpener =
    "no program to open it was found. Install the xdg-utils package, and a web browser such as "
    "firefox-esr";

bool IsWebPage(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) return true;
    const QString suffix = QFileInfo(url.path()).suffix().toLower();
    return url.isLocalFile() &&
           (suffix == QLatin1String("html") || suffix == QLatin1String("htm"));
}

}  // namespace

QString XdgOpenFailure(const QUrl& url, int code) {
    const QString status = QStringLiteral(" (xdg-open exit status %1)").arg(code);
    switch (code) {
        case -1:
            return QStringLiteral("xdg-open crashed.");
        case 1:
            return QStringLiteral("xdg-open did not take it") + status + QLatin1Char('.');
        case 2:
            return QStringLiteral("it does not exist") + status + QLatin1Char('.');
        case 3:
            if (IsWebPage(url))
                return QStringLiteral("no web browser was found") + status +
                       QStringLiteral(". Install one, such as the firefox-esr or chromium package.");
            if (url.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) == 0)
                return QStringLiteral("no mail program was found") + status +
                       QStringLiteral(". Install one, such as the thunderbird package.");
            return QStringLiteral("no program that opens it was found") + status +
                   QStringLiteral(". Install one, or choose one with \"xdg-mime default\".");
        case 4:
            return QStringLiteral("the program that opens it failed") + status + QLatin1Char('.');
        default:
            return QStringLiteral("xdg-open failed") + status + QLatin1Char('.');
    }
}

bool SystemDesktop::OpenUrl(const QUrl& url, const OpenFailed& failed) {
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (xdgOpen.isEmpty()) {
        if (QDesktopServices::openUrl(url)) return true;
        if (failed) failed(QString::fromLatin1(kNoOpener) + QLatin1Char('.'));
        return false;
    }
    // Watched to its end, as only its exit status tells that no handler was
    // found. The handler inherits none of our pipes: it must not die of a
    // broken one once we are gone. Unparented, so that quitting never kills a
    // handler xdg-open waits for.
    auto* process = new QProcess;
    process->setProgram(xdgOpen);
    process->setArguments({url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded)});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, url, failed](int code, QProcess::ExitStatus status) {
                         if (failed && (status != QProcess::NormalExit || code != 0))
                             failed(XdgOpenFailure(url, status == QProcess::NormalExit ? code : -1));
                         process->deleteLater();
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, failed](QProcess::ProcessError error) {
                         // Every other error ends in finished().
                         if (error != QProcess::FailedToStart) return;
                         if (failed)
                             failed(QStringLiteral("xdg-open could not be started (%1). Reinstall "
                                                   "the xdg-utils package.")
                                        .arg(process->errorString()));
                         process->deleteLater();
                     });
    process->start();
    return true;
}

bool SystemDesktop::StartDetached(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

QString SystemDesktop::FindExecutable(const QString& name) {
    return QStandardPaths::findExecutable(name);
}

namespace {
QStringList Arguments(const QString& params) {
    QStringList out;
    for (const std::string& word : SplitArguments(widgets::ToFileText(params)))
        out << widgets::FromFileText(word);
    return out;
}

// "https://...", "mailto:...": a scheme of two letters or more, so that a
// Windows drive letter ("c:\x") is not taken for one.
bool HasScheme(const QString& text) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(text).hasMatch();
}

LaunchPlan ForFile(const QFileInfo& file, const QString& params) {
    LaunchPlan plan;
    if (file.isFile() && file.isExecutable()) {
        plan.kind = LaunchPlan::Start;
        plan.program = file.absoluteFilePath();
        plan.arguments = Arguments(params);
    } else if (file.exists()) {
        plan.kind = LaunchPlan::Open;
        plan.url = QUrl::fromLocalFile(file.absoluteFilePath());
    }
    return plan;
}

// Neither a program nor a script: a file that only carries the mark.
bool IsDocument(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file.read(4);
    return !head.startsWith(
               "\x7f"
               "ELF") &&
           !head.startsWith("#!");
}

}  // namespace

bool ShellOpenFile(Desktop& desktop, widgets::DialogService& dialogs, const QString& path,
                   QWidget* owner) {
    const QString box = QStringLiteral("Error starting player program.");
    if (!path.isEmpty()) {
        const QString full = QFileInfo(path).absoluteFilePath();
        // A failure during the call gets the box below; one told later, its own.
        const auto later = std::make_shared<bool>(false);
        const QPointer<QWidget> guard(owner);
        const bool started = desktop.OpenUrl(
            QUrl::fromLocalFile(full), [&dialogs, guard, hadOwner = owner != nullptr, box, full,
                                        later](const QString& why) {
                if (!*later || (hadOwner && !guard)) return;
                dialogs.Message(guard, widgets::BoxKind::Warning,
                                box + QStringLiteral("\n\nCould not open ") + full +
                                    QStringLiteral(": ") + why);
            });
        *later = true;
        if (started) return true;
    }
    dialogs.Message(owner, widgets::BoxKind::Warning, box);
    return false;
}

LaunchPlan PlanLaunch(Desktop& desktop, const QString& app, const QString& params) {
    if (app.trimmed().isEmpty()) return {};
    if (HasScheme(app)) {
        LaunchPlan plan;
        plan.kind = LaunchPlan::Open;
        plan.url = QUrl(app);
        if (!plan.url.isValid()) return {};
        return plan;
    }
    if (app.contains(QLatin1Char('/'))) return ForFile(QFileInfo(app), params);
    const QString found = desktop.FindExecutable(app);
    if (!found.isEmpty()) {
        LaunchPlan plan;
        plan.kind = LaunchPlan::Start;
        plan.program = found;
        plan.arguments = Arguments(params);
        return plan;
    }
    // A bare name that is no program on PATH may still be a file here.
    return ForFile(QFileInfo(app), params);
}

LaunchPlan PlanWebPage(Desktop& desktop, const QString& text, bool newWindow) {
    // An address that starts with "-", blanks before it or not, would reach the
    // browser as an option; no web address starts so.
    const QString url = text.trimmed();
    if (url.isEmpty() || url.startsWith(QLatin1Char('-'))) return {};
    LaunchPlan plan;
    if (newWindow) {
        const QString browser = desktop.FindExecutable(QStringLiteral("x-www-browser"));
        if (!browser.isEmpty()) {
            plan.kind = LaunchPlan::Start;
            plan.program = browser;
            plan.arguments = {QStringLiteral("--new-window"), url};
            return plan;
        }
    }
    plan.url = QUrl::fromUserInput(url);
    if (!plan.url.isValid()) return {};
    plan.kind = LaunchPlan::Open;
    return plan;
}

bool Execute(Desktop& desktop, const LaunchPlan& plan, const OpenFailed& failed) {
    const auto fail = [&](const char* why) {
        if (failed) failed(QString::fromLatin1(why));
        return false;
    };
    switch (plan.kind) {
        case LaunchPlan::Nothing:
            return fail("no program, file or address of that name was found.");
        case LaunchPlan::Open:
            return desktop.OpenUrl(plan.url, failed);
        case LaunchPlan::Start:
            if (desktop.StartDetached(plan.program, plan.arguments)) return true;
            if (IsDocument(plan.program))
                return desktop.OpenUrl(QUrl::fromLocalFile(plan.program), failed);
            return fail("the program could not be started.");
    }
    return false;
}

QString PlanTarget(const LaunchPlan& plan) {
    static const QRegularExpression needsQuotes(QStringLiteral("[\\s'\"\\\\]"));
    switch (plan.kind) {
        case LaunchPlan::Nothing:
            return {};
        case LaunchPlan::Open:
            return plan.url.isLocalFile() ? plan.url.toLocalFile() : plan.url.toString();
        case LaunchPlan::Start: {
            // As a shell would take them back: each argument stays one.
            QString out = plan.program;
            for (QString a : plan.arguments) {
                if (a.isEmpty() || a.contains(needsQuotes))
                    a = QLatin1Char('\'') + a.replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
                        QLatin1Char('\'');
                out += QLatin1Char(' ') + a;
            }
            return out;
        }
    }
    return {};
}

}  // namespace ringmere::run
