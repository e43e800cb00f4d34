// The program's FTP service (Services::ftp): it makes the transfer workers
// and, when a retry wants the Internet link back, asks the dial-up side.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/records.h"
#include "run/ftpthread.h"

namespace ringmere::run {

class RunSession;

// What a retry asks of the dial-up side: bring entry `entry` back when its
// link is down, with `maxRedials` redials `redialPause` seconds apart.
struct FtpReconnectRequest {
    std::string entry;
    int maxRedials = 0;
    int redialPause = 0;
};

class FtpClient {
public:
    virtual ~FtpClient() = default;
    // Null when no thread could be made.
    virtual std::unique_ptr<TFTPThread> StartWorker(const FTPRecT& settings) {
        return TFTPThread::Start(settings, limits);
    }

    FtpLimits limits;
    // Reports into `s` and returns once the link is up, the dial has failed
    // for good or `s` was cancelled. Null while the program has no dial-up
    // connections: a retry then reports that it cannot reconnect.
    std::function<void(RunSession& s, const FtpReconnectRequest& request)> reconnect;
};

}  // namespace ringmere::run
