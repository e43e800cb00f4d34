#include "run/desktop.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include "core/cmdline.h"
#include "widgets/dialogs.h"
#include "widgets/file_text.h"

namespace ringmere::run {

bool SystemDesktop::OpenUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
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
    if (!path.isEmpty() && desktop.OpenUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())))
        return true;
    dialogs.Message(owner, widgets::BoxKind::Warning,
                    QStringLiteral("Error starting player program."));
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

bool Execute(Desktop& desktop, const LaunchPlan& plan) {
    switch (plan.kind) {
        case LaunchPlan::Nothing:
            return false;
        case LaunchPlan::Open:
            return desktop.OpenUrl(plan.url);
        case LaunchPlan::Start:
            if (desktop.StartDetached(plan.program, plan.arguments)) return true;
            if (IsDocument(plan.program)) return desktop.OpenUrl(QUrl::fromLocalFile(plan.program));
            return false;
    }
    return false;
}

}  // namespace ringmere::run
