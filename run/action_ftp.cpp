// FTP transfers: the run's action. The window watches a worker thread
// (run/ftpthread.h), turns its status texts into lines, and retries.
#include "run/actions.h"
#include "run/dialup.h"

#include <algorithm>

#include "run/ftp_client.h"
#include "run/ftpthread.h"

namespace ringmere::run {

namespace {

bool IsProgress(const std::string& text) {
    return text.find("bytes") != std::string::npos;
}

// A run of progress texts keeps to one line, which only its first writes
// to the log.
void ShowStatus(RunSession& s, const std::string& text, std::string& lastShown) {
    if (text.empty() || text == lastShown) return;
    if (IsProgress(text) && IsProgress(lastShown))
        s.ReplaceLast(text);
    else
        s.Report(text);
    lastShown = text;
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
    std::string lastShown;
    int retries = 0;
    for (;;) {
        for (;;) {
            s.Waiter().ProcessEvents();
            if (s.CancelRequested()) {
                StopFtp();
                return Outcome::EndRun;
            }
            // Finished first: once it is set, every text is there to take.
            const bool finished = worker->Finished();
            for (const std::string& text : worker->TakeStatusTexts()) ShowStatus(s, text, lastShown);
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
        lastShown.clear();
        ++retries;
    }
    ftpWorker_.reset();
    worker->Join();
    if (worker->ResultCode() != kFtpSucceeded && !ftpAborted_) s.MarkFailed();
    return s.CancelRequested() ? Outcome::EndRun : Outcome::Continue;
}

// Closing or snoozing: the transfer stops within a poll of the worker, so
// waiting for its end here is short.
void StandardActions::StopFtp() {
    if (!ftpWorker_) return;
    ftpWorker_->Abort();
    ftpWorker_->Join();
    ftpAborted_ = true;
    ftpWorker_.reset();
}

}  // namespace ringmere::run
