#include "core/activitylog.h"

#include <cerrno>
#include <cstring>

namespace ringmere {

ActivityLog::ActivityLog(const Globals& g, const Clock* clock) : g_(g), clock_(clock) {}

ActivityLog::~ActivityLog() {
    Close();
}

std::string ActivityLog::Path() const {
    return g_.ProgramDir + kLogFileName;
}

bool ActivityLog::Open(Reporter& reporter) {
    Close();
    file_ = std::fopen(Path().c_str(), "ab");
    if (!file_) {
        reporter.Report("Error appending log");
        return false;
    }
    // Unbuffered: every entry reaches the system as it is written, so the file
    // is complete however the program ends.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    partialLine_ = false;
    return true;
}

void ActivityLog::Close() {
    if (!file_) return;
    std::fclose(file_);
    file_ = nullptr;
}

bool ActivityLog::WriteAll(const std::string& text) {
    errno = 0;
    const std::size_t written = std::fwrite(text.data(), 1, text.size(), file_);
    if (written == text.size() && std::fflush(file_) == 0) return true;
    if (written > 0) partialLine_ = true;
    std::clearerr(file_);
    return false;
}

void ActivityLog::Append(std::string_view message, Reporter& reporter) {
    const DateTime now = (clock_ ? *clock_ : CurrentClock()).Now();
    if (!g_.Settings.enablelogging || !file_) return;

    // The day as the lines show it, so a date line never disagrees with the
    // time printed under it.
    const auto today = SplitToSecond(now).day;
    int count = entryCount_;
    bool dateLine = false;
    if (!anyEntry_) {
        dateLine = true;
    } else if (SplitToSecond(lastLogTime_).day != today) {
        dateLine = true;
        count = 0;
    } else if (count >= kLogEntriesPerDateLine) {
        dateLine = true;
        count = 0;
    }

    std::string text;
    if (partialLine_) text += "\r\n";
    if (dateLine) text += FormatShortDate(now) + "\r\n";
    text += FormatLongTime(now);
    text += " - ";
    text += message;
    text += "\r\n";

    if (!WriteAll(text)) {
        // Nothing of this entry counts as written, so the next one brings its
        // date line again; the run window goes on either way.
        if (!failing_) {
            const int err = errno;
            reporter.Report(std::string("Error appending log: ") +
                            (err ? std::strerror(err) : "write failed"));
        }
        failing_ = true;
        return;
    }
    failing_ = false;
    partialLine_ = false;
    anyEntry_ = true;
    lastLogTime_ = now;
    entryCount_ = count + 1;
}

}  // namespace ringmere
