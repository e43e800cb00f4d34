// What the run window asks of the desktop: opening a file or an address
// with the program the desktop associates with it, and starting a program
// directly. Nothing here ever goes through a shell.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

class QWidget;

namespace ringmere::widgets {
class DialogService;
}

namespace ringmere::run {

class Desktop {
public:
    virtual ~Desktop() = default;
    // The desktop's handler for the address (a local file opens in its
    // associated program); false when it could not be started.
    virtual bool OpenUrl(const QUrl& url) = 0;
    // Starts `program` with exactly these arguments, detached.
    virtual bool StartDetached(const QString& program, const QStringList& arguments) = 0;
    // The full path of an executable found on PATH, or empty.
    virtual QString FindExecutable(const QString& name) = 0;
};

class SystemDesktop final : public Desktop {
public:
    bool OpenUrl(const QUrl& url) override;
    bool StartDetached(const QString& program, const QStringList& arguments) override;
    QString FindExecutable(const QString& name) override;
};

// Opens a file with its associated program. On failure shows "Error
// starting player program." over `owner` and returns false. The main
// window's log viewer uses it too.
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
// file so) is opened as a document instead.
bool Execute(Desktop& desktop, const LaunchPlan& plan);

}  // namespace ringmere::run
