// The activity log "allog.txt" in the program folder: one entry line per
// event a run window reports, under date lines, only ever appended to.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "core/clock.h"
#include "core/globals.h"
#include "core/report.h"

namespace ringmere {

inline constexpr const char* kLogFileName = "allog.txt";
inline constexpr int kLogEntriesPerDateLine = 20;

class ActivityLog {
public:
    // Entries take their time from `clock`, or from CurrentClock() when null.
    explicit ActivityLog(const Globals& g, const Clock* clock = nullptr);
    ~ActivityLog();
    ActivityLog(const ActivityLog&) = delete;
    ActivityLog& operator=(const ActivityLog&) = delete;

    // Opens ProgramDir + "allog.txt" for appending, creating it when missing.
    // Reports "Error appending log" and returns false when it cannot.
    bool Open(Reporter& reporter);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    // Writes one entry when logging is on and the file is open, with a date
    // line first on the run's first entry, on a new day and after every 20
    // entries. A failed write is reported once, until a write succeeds again.
    void Append(std::string_view message, Reporter& reporter);

    std::string Path() const;
    DateTime LastLogTime() const { return lastLogTime_; }
    int LogEntryCount() const { return entryCount_; }

private:
    bool WriteAll(const std::string& text);

    const Globals& g_;
    const Clock* clock_;
    std::FILE* file_ = nullptr;
    bool anyEntry_ = false;  // this run has written an entry
    DateTime lastLogTime_ = 0;
    int entryCount_ = 0;
    bool failing_ = false;      // the last write failed and was reported
    bool partialLine_ = false;  // a failed write may have left half a line
};

}  // namespace ringmere
