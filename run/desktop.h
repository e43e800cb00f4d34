// What the run window asks of the desktop: opening a file or an address
// with the program the desktop associates with it, and starting a program
// directly. Nothing here ever goes through a shell.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class QWidget;

namespace ringmere::widgets {
class DialogService;
}

namespace ringmere::run {

// Why an address, a file or a program could not be opened, and what to
// install, as the user reads it ("no web browser was found (...). Install
// ..."): the caller says what it was.
using OpenFailed = std::function<void(const QString& why)>;

class Desktop {
public:
    virtual ~Desktop() = default;
    // The desktop's handler for the address (a local file opens in its
    // associated program). When it cannot open it, `failed` (may be empty) is
    // called once: during the call, and then the result is false, or later,
    // when the handler has started and given up (no browser installed).
    virtual bool OpenUrl(const QUrl& url, const OpenFailed& failed) = 0;
    // Starts `program` with exactly these arguments, detached.
    virtual bool StartDetached(const QString& program, const QStringList& arguments) = 0;
    // The full path of an executable found on PATH, or empty.
    virtual QString FindExecutable(const QString& name) = 0;
};

// Opens through xdg-open, whose exit status says whether a handler was
// found; without it, through Qt's own choice of handler.
class SystemDesktop final : public Desktop {
public:
    bool OpenUrl(const QUrl& url, const OpenFailed& failed) override;
    bool StartDetached(const QString& program, const QStringList& arguments) override;
    QString FindExecutable(const QString& name) override;
};

// What xdg-open's exit status `code` says about opening `url` (-1: it
// crashed), and what to install.
QString XdgOpenFailure(const QUrl& url, int code);

// Opens a file with its associated program. On failure shows "Error
// starting player program." over `owner` and returns false (a handler
// that gives up later shows why). The main window's log viewer uses it too.
bool ShellOpenFile(Desktop& desktop, widgets::DialogService& dialogs, const QString& path,
                   QWidget* owner);

// What opening a program, document or address comes to.
struct LaunchPlan {
    enum Kind { Nothing, Start, Open };
    Kind kind = Nothing;
    QString program;  // Start
    QStringList arguments;
    QUrl url;  // Open
};

// `app` is an executable (a path, or a name found on PATH), a document or
// folder (opened with its program; `params` then have no place to go), or
// an address with a scheme ("https://", "mailto:"). Anything else, such as
// a program that does not exist, comes to Nothing.
LaunchPlan PlanLaunch(Desktop& desktop, const QString& app, const QString& params);

// A web page: in a new browser window through x-www-browser when one is
// asked for and the desktop has it, otherwise the desktop's handling of
// the address.
LaunchPlan PlanWebPage(Desktop& desktop, const QString& url, bool newWindow);

// Carries a plan out; false when nothing started. A file that is marked
// executable but cannot be started (a document on a disk that marks every
// file so) is opened as a document instead. Whenever it fails, now (also for
// Nothing) or once a handler has given up, `failed` is told why, once.
bool Execute(Desktop& desktop, const LaunchPlan& plan, const OpenFailed& failed = {});

// What a plan started, for the run's line: the program with its arguments,
// the file's path or the address.
QString PlanTarget(const LaunchPlan& plan);

}  // namespace ringmere::run
