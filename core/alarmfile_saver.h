// Writes the alarm file on a thread of its own: with 100,000 alarms the
// editor's OK would otherwise wait seconds for 130 MB to be formatted and
// reach the disk. The table in memory stays the truth; each write takes a
// copy of it when it is asked for. A write asked for while another runs waits
// for it, and of those waiting only the latest is written.
//
// Every other write and every read of an alarm file (SaveAlarmFile,
// WriteAlarmFile, ReadAlarmFile and the rest) first waits until no saver has
// a write left, so an older copy never lands over a newer file and nothing
// reads a file that is about to change.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/alarmfile.h"
#include "core/report.h"

namespace ringmere {

struct Globals;

class AlarmFileSaver {
public:
    struct Outcome {
        std::string path;
        int result = kFileDone;
        std::vector<std::string> messages;  // what the writer said
    };

    // `ended` is called on the saver's thread after each write, before Wait
    // returns for it.
    explicit AlarmFileSaver(std::function<void(const Outcome&)> ended);
    ~AlarmFileSaver();  // after every write asked for
    AlarmFileSaver(const AlarmFileSaver&) = delete;
    AlarmFileSaver& operator=(const AlarmFileSaver&) = delete;

    // After a read that was not clean the original is kept first, here and
    // now, as SaveAlarmFile does; when it cannot be, nothing is written and
    // false returned (the reporter was told). Otherwise the write of the
    // table as it is now is queued.
    bool Save(Globals& g, const std::string& path, Reporter& reporter);
    // Returns once every write asked for has ended.
    void Wait();

private:
    struct Job;
    void Run();

    std::function<void(const Outcome&)> ended_;
    std::unique_ptr<Job> pending_;
    bool writing_ = false;
    bool stopping_ = false;
    std::condition_variable wake_;
    std::thread worker_;
};

// The first step of SaveAlarmFile: after a read that was not clean, keeps the
// original aside and tells the reporter where. False when no copy could be
// kept (told too): nothing may then write over the file.
bool KeepDamagedOriginal(Globals& g, const std::string& path, Reporter& reporter);

// Returns once no saver has a write left. On a saver's own thread it returns
// at once.
void WaitForBackgroundSaves();

}  // namespace ringmere
