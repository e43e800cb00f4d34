// The actions of a run, behind the one interface the runner calls, and
// what an action sees of the run window it runs in.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "core/clock.h"
#include "core/records.h"
#include "run/desktop.h"
#include "run/services.h"
#include "run/waiting.h"

namespace ringmere::run {

class RunSound;
class SmtpClient;
class RunDialer;
class TFTPThread;

class RunSession {
public:
    virtual ~RunSession() = default;
    // A line in the window's event list and in the activity log.
    virtual void Report(const std::string& line) = 0;
    // A line in the event list only.
    virtual void Show(const std::string& line) = 0;
    // The last line of the event list becomes `line`; not logged.
    virtual void ReplaceLast(const std::string& line) = 0;
    // What the current action was asked did not all happen: a script counts
    // the step as failed. The run goes on as before.
    virtual void MarkFailed() {}
    // Snooze or closing asked the current run to end.
    virtual bool CancelRequested() const = 0;
    virtual int CurrentStep() const = 0;
    virtual int Tag() const = 0;
    virtual QWidget* Window() = 0;
    virtual Waiting& Waiter() = 0;
    virtual const Clock& Time() const = 0;
    virtual RunSound& Sound() = 0;
    // Draws the eye to the window: what is left when no sound plays.
    virtual void Flash() = 0;
    // The dial-up progress text (`lblStatus`); the connect wait reads it.
    virtual std::string DialStatus() const { return {}; }
    virtual void SetDialStatus(const std::string&) {}
    // The entry whose active connection a listing by this window hangs up: the
    // current step's `dialname` in a script, the alarm's otherwise.
    virtual std::string DialName() const { return {}; }
};

enum class Outcome { Continue, EndRun };

class RunActions {
public:
    virtual ~RunActions() = default;
    // `step`: a script step, not the simple sequence; some lines differ.
    virtual void StartSound(RunSession& s, const MusicType& music, bool step) = 0;
    virtual Outcome Dial(RunSession& s, const DialRec& dial) = 0;
    virtual void LaunchPrograms(RunSession& s, const FileLaunch& launch) = 0;
    virtual void LaunchProgram(RunSession& s, const SFileLaunch& launch) = 0;
    virtual void OpenWebPage(RunSession& s, const WebLaunch& web, bool step) = 0;
    virtual Outcome Synchronize(RunSession& s, const SynchronizeRec& synch, bool step) = 0;
    virtual Outcome TransferFtp(RunSession& s, const FTPRecT& ftp) = 0;
    virtual void FileOperation(RunSession& s, const FileOps& op) = 0;
    virtual Outcome SendMessage(RunSession& s, const smtpmessage& mail, bool step) = 0;
    // Snooze and closing: end whatever an action still has going (a dial
    // that is connecting, an FTP transfer).
    virtual void StopAll(RunSession& s) = 0;
};

// Sound, programs, web pages and file operations; dial-up, clock
// synchronisation, FTP and mail report that this build has none yet, and
// the run goes on.
class StandardActions : public RunActions {
public:
    explicit StandardActions(const Services& services);
    ~StandardActions() override;

    void StartSound(RunSession& s, const MusicType& music, bool step) override;
    Outcome Dial(RunSession& s, const DialRec& dial) override;
    void LaunchPrograms(RunSession& s, const FileLaunch& launch) override;
    void LaunchProgram(RunSession& s, const SFileLaunch& launch) override;
    void OpenWebPage(RunSession& s, const WebLaunch& web, bool step) override;
    Outcome Synchronize(RunSession& s, const SynchronizeRec& synch, bool step) override;
    Outcome TransferFtp(RunSession& s, const FTPRecT& ftp) override;
    void FileOperation(RunSession& s, const FileOps& op) override;
    Outcome SendMessage(RunSession& s, const smtpmessage& mail, bool step) override;
    void StopAll(RunSession& s) override;

    // The window's dial-up state, made by its first dial; null without a
    // connections service.
    RunDialer* Dialer(RunSession& s);

private:
    // True when a transfer was under way.
    bool StopFtp();
    // Stops it and says so in the run.
    void CancelFtp(RunSession& s);

    Services services_;
    // The window's SMTP client: its connection stays open between messages.
    std::shared_ptr<SmtpClient> smtp_;
    std::unique_ptr<RunDialer> dialer_;
    // The FTP transfer under way, and whether closing stopped it.
    std::shared_ptr<TFTPThread> ftpWorker_;
    bool ftpAborted_ = false;
    // Expires with the actions: a launch whose handler gives up after the
    // window has gone tells no one.
    std::shared_ptr<char> alive_ = std::make_shared<char>();
};

inline constexpr const char* kDialUnavailable =
    "Dial-up connections are not available in this build.";
inline constexpr const char* kSynchUnavailable =
    "Clock synchronisation is not available in this build.";
inline constexpr const char* kFtpUnavailable = "FTP transfers are not available in this build.";
inline constexpr const char* kFtpReconnectUnavailable =
    "Cannot reconnect: dial-up connections are not available in this build.";
inline constexpr const char* kMailUnavailable = "Sending messages is not available in this build.";

}  // namespace ringmere::run
