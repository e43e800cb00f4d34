// One FTP transfer attempt on a thread of its own, watched by the run
// window: the worker publishes status texts, a result code and its end; the
// window polls them and may ask it to stop.
#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/records.h"

namespace ringmere::run {

// Result codes of a worker.
inline constexpr int kFtpSucceeded = 0;
inline constexpr int kFtpConnectFailed = -1;
inline constexpr int kFtpDirectoryFailed = -2;
inline constexpr int kFtpUploadFailed = -3;
inline constexpr int kFtpDownloadFailed = -4;  // also listing, and no local files

// What keeps a silent or crawling server from holding a transfer, and what
// else a transfer trusts.
struct FtpLimits {
    int connectTimeoutMs = 30000;   // until logged in
    int responseTimeoutMs = 60000;  // for every reply of the server, and its connecting
                                    // back in active mode
    int lowSpeedSeconds = 60;       // a transfer below 1 byte a second this long fails
    // Certificates trusted for "ftps://" hosts beside the system's.
    std::string caFile;
};

// A worker's status text; `progress` for a byte count, which is told by where
// it comes from, never by its words (an error may speak of bytes too).
struct StatusText {
    std::string text;
    bool progress = false;
};

// `ftppath` split at its last "/"; without one the directory is empty.
struct RemotePath {
    std::string directory;
    std::string file;
};
RemotePath SplitRemotePath(const std::string& path);

// Whether a name from a server's name list may become a local file name:
// one that holds "/", "\" or "..", or is absolute, could write outside the
// local directory; control characters have no business in it either.
bool SafeListedName(const std::string& name);

class TFTPThread {
public:
    // Starts a worker on its own copy of `settings`; null when the thread
    // cannot be made.
    static std::unique_ptr<TFTPThread> Start(const FTPRecT& settings, const FtpLimits& limits);
    // Aborts a worker still running and waits for its end.
    ~TFTPThread();
    TFTPThread(const TFTPThread&) = delete;
    TFTPThread& operator=(const TFTPThread&) = delete;

    // The status texts published since the last call, oldest first; runs of
    // progress texts ("N bytes.") arrive as their newest.
    std::vector<StatusText> TakeStatus();
    // The same, the texts alone.
    std::vector<std::string> TakeStatusTexts();
    int ResultCode() const;
    // Once true, every status text of the worker has been published.
    bool Finished() const;
    // Waits up to `ms` for a status text other than progress, or the end.
    void WaitForNews(int ms);
    // Stops the transfer at its next poll (a tenth of a second), in any
    // phase, however silent the server.
    void Abort();
    // Waits for the thread's end; false when it cannot be waited for.
    bool Join();

    struct Shared;

private:
    TFTPThread() = default;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace ringmere::run
