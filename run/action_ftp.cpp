// FTP transfers: the run's action. The window watches a worker thread
// (run/ftpthread.h), turns its status texts into lines, and retries.
#include "run/actions.h"
#include "run/dialup.h"

#include <algorithm>

#include "run/ftp_client.h"
#include "run/ftpthread.h"

namespace ringmere::run {

namespace {

// A run of progress texts keeps to one line, which only its first writes
// to the log.
void ShowStatus(RunSession& s, const StatusText& status, StatusText& lastShown) {
    if (status.text.empty() ||
        (status.text == lastShown.text && status.progress == lastShown.progress))
        return;
    if (status.progress && lastShown.progress)
        s.ReplaceLast(status.text);
    else
        s.Report(status.text);
    lastShown = status;
}

}  // namespace

Outcome StandardActions::TransferFtp(RunSession& s, const FTPRecT& ftp) {
    if (!services_.ftp) {
        s.Report(kFtpUnavailable);
        return Outcome::Continue;
    }
    FtpClient& client = *services_.ftp;
    // A step waits in ticks of 50 ms, a simple alarm in ticks of 20 ms.
    const int tick = s.CurrentStep() > 0 ? 50 : 20;

    // The watch keeps its own hold on the worker: closing the window
    // releases ftpWorker_ while this loop is still on the stack.
    std::shared_ptr<TFTPThread> worker = client.StartWorker(ftp);
    if (!worker) {
        s.Report("Error creating thread.");
        return Outcome::EndRun;
    }
    ftpWorker_ = worker;
    ftpAborted_ = false;
    StatusText lastShown;
    int retries = 0;
    for (;;) {
        for (;;) {
            s.Waiter().ProcessEvents();
            if (s.CancelRequested()) {
                CancelFtp(s);
                return Outcome::EndRun;
            }
            // Finished first: once it is set, every text is there to take.
            const bool finished = worker->Finished();
            for (const StatusText& status : worker->TakeStatus()) ShowStatus(s, status, lastShown);
            if (finished) break;
            worker->WaitForNews(tick);
        }
        if (worker->ResultCode() == kFtpSucceeded || !ftp.ftpretry || ftpAborted_ ||
            retries >= ftp.ftpmaxretry)
            break;

        s.Report("Retrying FTP in " + std::to_string(ftp.ftpdelay) + " seconds.");
        ftpWorker_.reset();
        if (!worker->Join()) {
            s.Report("Error closing FTP thread.");
            return Outcome::EndRun;
        }
        worker.reset();
        const long long ticks = (std::max<long long>(ftp.ftpdelay, 0) + 1) * 1000 / tick;
        for (long long i = 0; i < ticks; ++i) {
            s.Waiter().Pause(tick);
            if (s.CancelRequested()) return Outcome::EndRun;
        }
        if (ftp.ftpreconnect) {
            // The window's own dial-up state, so its redials count with its dials.
            if (RunDialer* dialer = Dialer(s))
                dialer->Reconnect(ftp.ftpdialname, ftp.ftpmaxrecon, ftp.ftprecondelay);
            else if (client.reconnect)
                client.reconnect(s, {ftp.ftpdialname, ftp.ftpmaxrecon, ftp.ftprecondelay});
            else
                s.Report(kFtpReconnectUnavailable);
            if (s.CancelRequested()) return Outcome::EndRun;
        }
        worker = client.StartWorker(ftp);
        if (!worker) {
            s.Report("Error creating FTP thread.");
            return Outcome::EndRun;
        }
        ftpWorker_ = worker;
        lastShown = {};
        ++retries;
    }
    ftpWorker_.reset();
    worker->Join();
    if (worker->ResultCode() != kFtpSucceeded && !ftpAborted_) s.MarkFailed();
    return s.CancelRequested() ? Outcome::EndRun : Outcome::Continue;
}

// Closing or snoozing: the transfer stops within a poll of the worker, so
// waiting for its end here is short.
bool StandardActions::StopFtp() {
    if (!ftpWorker_) return false;
    ftpWorker_->Abort();
    ftpWorker_->Join();
    ftpAborted_ = true;
    ftpWorker_.reset();
    return true;
}

void StandardActions::CancelFtp(RunSession& s) {
    if (StopFtp()) s.Report("Transfer cancelled.");
}

}  // namespace ringmere::run
