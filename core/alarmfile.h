// The alarm file "alfile.ini": writer, reader and the start-up upgrade.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/datetime.h"
#include "core/report.h"

namespace ringmere {

struct Globals;

// Results of the alarm file routines.
enum AlarmFileResult : int {
    kFileDone = 0,
    kFileInvalid = -1,      // invalid content, reading abandoned, or a failed download
    kFileCannotOpen = -2,   // a file could not be opened or created
    kFileWriteFailed = -3,  // an input/output error while writing; the old file is kept
};

// The dates of a HEAD answer, in UTC; 0 when the header is missing or unreadable.
struct HttpHead {
    DateTime date = 0;          // Date: the server's clock
    DateTime lastModified = 0;  // Last-Modified
    // The validators as sent, byte for byte; empty when the server sent none.
    std::string etag;
    std::string lastModifiedText;
    // 304 Not Modified: the server still has the ETag the request named.
    bool notModified = false;
};

// Web client: fetches the shared alarm file. The real client lives in net/.
class AlarmFileDownloader {
public:
    virtual ~AlarmFileDownloader() = default;
    virtual bool Head(const std::string& url, HttpHead& head) = 0;
    virtual bool Get(const std::string& url, std::string& body) = 0;
    // A HEAD with If-None-Match: `etag`. One that cannot send it asks plainly.
    virtual bool HeadIfNoneMatch(const std::string& url, const std::string& etag, HttpHead& head) {
        (void)etag;
        return Head(url, head);
    }
    // Why the last request failed, for the user; never holds a password.
    virtual std::string LastError() const { return {}; }
};

// What this program last read from or wrote to its own alarm file (a hash of
// the bytes, 0 before the first), so that a save can tell another program
// (ringmere-cli) changed the file meanwhile. Shared by a table's copies.
struct OwnFileStamp {
    std::atomic<std::uint64_t> hash{0};
};
std::uint64_t StampOf(std::string_view text);

// Writes the whole file in the current layout ("Version=2.10"), under the
// file's lock (TakeFileLock).
int WriteAlarmFile(const Globals& g, const std::string& path, Reporter& reporter);

// Writes the program's own alarm file after a change. After a read that was
// not clean the original is first kept aside (KeepDamagedCopy) and the
// reporter told where; when no copy can be kept nothing is written.
int SaveAlarmFile(Globals& g, const std::string& path, Reporter& reporter);

// One change of the table that can be made again on the file as another
// program left it, finding its alarm by name: false when that alarm is gone.
using TableChange = std::function<bool(Globals&)>;

// Saves the program's own file after `change` was made to g. When another
// program changed the file since this one last read or wrote it, the file is
// read again under the lock, the change made to what it holds, and that is
// written and becomes g's table (its alarms and global rules; g's settings
// stay); `reread` then says so. When the change cannot be made there (its
// alarm was deleted meanwhile) or the file cannot be read cleanly, nothing is
// written and the reporter is told.
int SaveAlarmChange(Globals& g, const TableChange& change, Reporter& reporter, bool& reread);

// Saves this computer's settings (options, e-mail settings, global rules)
// into its own file ProgramDir + "alfile.ini", never into a shared one. In
// client modes the alarms and global rules in memory are the server's: the
// file keeps its own alarm section and rules, and only the header changes.
int SaveSettingsFile(Globals& g, Reporter& reporter);
// The same with the choice made by the caller: `keepFileAlarms` keeps the
// file's own alarms and rules, otherwise those in memory are written.
int SaveOwnFile(Globals& g, bool keepFileAlarms, Reporter& reporter);

// The small file handed to client machines ("Version=2.01", no alarms).
int WriteClientConfigFile(const Globals& g, const std::string& path,
                          const std::string& sharedAlarmFile, Reporter& reporter);

// The whole file text as WriteAlarmFile writes it.
std::string FormatAlarmFile(const Globals& g);
std::string FormatClientConfigFile(const Globals& g, const std::string& sharedAlarmFile);

// Which file a read takes the alarms from.
struct ReadOptions {
    // In "Client" mode, the shared file's; without it the local file's. A
    // web client always takes the downloaded file's.
    bool followClient = false;
    // A web client reads its kept copy "webtmp.ini" when there is one
    // instead of downloading.
    bool reuseDownload = false;
};

// Reads ProgramDir + "alfile.ini" into g, and in client modes the alarms
// from the shared file. `downloader` may be null outside "WClient" mode.
// The shared file is read into a scratch state, taken over only when it was
// read to its end: a file caught half-written leaves the alarms, the global
// rules and the mail settings as they were. A download becomes "webtmp.ini"
// (readable by its owner only) and sets WebFileDate to the HEAD answer's
// Date only after such a read; a copy that cannot be written gives
// kFileWriteFailed and nothing is taken over.
int ReadAlarmFile(Globals& g, ReadOptions options, Reporter& reporter,
                  AlarmFileDownloader* downloader = nullptr);

// Reads ProgramDir + "alfile.ini" with its own alarms and rules, in every
// mode: nothing is downloaded and no shared file is read.
int ReadOwnAlarmFile(Globals& g, Reporter& reporter);

// Start-up, right after the first read: a file older than 1.4 switches wake
// on and is rewritten in the current layout. A file that was read with any
// message is left alone: rewriting it would make a misread permanent, or
// drop the alarms after the point where reading was abandoned. It is written
// at the next save. Returns true when the file was rewritten.
bool UpgradeOldAlarmFile(Globals& g, int readResult, bool readWasClean, Reporter& reporter);

}  // namespace ringmere
