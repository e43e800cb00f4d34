// The check loop's bookkeeping: which occurrences have been dealt with, the
// runs that wait behind the cap of a check, and what a gap in the checks
// (sleep, a stop of the program, a clock set forward) made late or missed.
// Nothing is dropped without a word: an occurrence either starts, possibly
// late and folded with its alarm's other late ones, or is reported missed.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/moment.h"

namespace ringmere {

inline constexpr int kNoLateLimit = -1;
inline constexpr int kDefaultLateLimit = 10;  // minutes
// A check a few seconds behind an occurrence is still on time, even with a
// late limit of 0: the timer and busy run windows slip that much.
inline constexpr int kOnTimeSeconds = 5;
// Missed occurrences of one alarm counted one by one; more are "at least".
inline constexpr int kMaxCountedOccurrences = 10000;
// A clock set back by up to this much does not repeat what already ran;
// further back, the new time is taken as it comes.
inline constexpr Moment kLongestSetBack = kDaySeconds;

enum class GapCause {
    kAsleep,
    kNotRunning,
    kClockForward,
    kHeldUp,  // a check came late with no sleep and no visible clock change
};

struct DueRun {
    Integer AlarmIndex = 0;
    std::string Name;
    Moment First = 0;            // its earliest occurrence this run stands for
    int Times = 1;               // occurrences folded into this run
    std::int64_t LateSeconds = 0;  // at the check that starts it
    bool operator==(const DueRun&) const = default;
};

struct MissedAlarm {
    Integer AlarmIndex = 0;
    std::string Name;
    Moment First = 0;  // the earliest occurrence missed
    int Times = 0;
    bool AtLeast = false;  // counting stopped at kMaxCountedOccurrences
    bool operator==(const MissedAlarm&) const = default;
};

struct CheckOutcome {
    std::vector<DueRun> Start;  // in time order, at most kMaxStartsPerCheck
    std::vector<MissedAlarm> Missed;
    std::vector<DueRun> Late;      // runs decided at this check that start late
    GapCause Cause = GapCause::kHeldUp;  // of Missed and Late
    bool Rebuild = false;          // the schedule table is to be built again
    std::optional<Moment> SetBackFrom;  // the clock went back from here
    bool SetBackTooFar = false;    // ...by more than kLongestSetBack
};

class AlarmCheckLoop {
public:
    // Minutes, or kNoLateLimit.
    void SetLateLimit(int minutes) { lateLimit_ = minutes < 0 ? kNoLateLimit : minutes; }
    int LateLimit() const { return lateLimit_; }

    // Start-up: the last check the previous run of the program stored, if
    // any. Occurrences after it are dealt with by the first check.
    void Begin(DateTime now, std::optional<DateTime> lastCheck);
    // The computer is about to sleep: the next gap is sleep.
    void NoteSleep() { asleep_ = true; }

    CheckOutcome Check(const Globals& g, DateTime now);

    // Builds g's schedule table from the first moment not yet dealt with.
    void Rebuild(Globals& g);
    // The alarm table changed: waiting runs of alarms that are gone or
    // disabled are dropped; the table is to be built again.
    void AlarmsChanged(const Globals& g);

    // Every occurrence up to this moment has been dealt with.
    Moment Handled() const { return handled_; }
    std::size_t Waiting() const { return waiting_.size(); }

private:
    struct Found {
        Moment first = 0;
        int times = 0;
        bool atLeast = false;
        Moment firstOnTime = 0;  // earliest within the late limit
        int onTime = 0;
    };
    std::vector<Found> Collect(const Globals& g, Moment from, Moment to) const;
    bool TableCovers(const Globals& g, Moment to) const;
    std::int64_t LimitSeconds() const;

    int lateLimit_ = kDefaultLateLimit;
    Moment handled_ = 0;
    bool begun_ = false;
    bool asleep_ = false;
    bool notRunning_ = false;
    bool setBack_ = false;
    std::optional<Moment> tableFrom_;
    std::optional<Moment> lastStart_;  // the second of the last starts
    std::deque<DueRun> waiting_;
};

// The moment as "M/d/yyyy h:mm:ss AM".
std::string MissedMomentText(Moment m);
// "Missed: NAME at 12/11/2026 3:05:00 PM (3 times)"; the count only when
// more than once.
std::string MissedLine(const MissedAlarm& m);
// "2 h 55 min", "5 min", "40 s", "3 d 2 h 5 min".
std::string LatenessText(std::int64_t seconds);
// "Late by 2 h 55 min: NAME at 12/11/2026 12:05:00 PM (36 times)".
std::string LateLine(const DueRun& r);
// "3 alarms were missed while the computer was asleep".
std::string MissedNotice(std::size_t alarms, GapCause cause);

// The last check moment as the settings store keeps it, "2026-12-11 16:55:42".
std::string LastCheckText(DateTime value);
std::optional<DateTime> ParseLastCheck(const std::string& text);

}  // namespace ringmere
