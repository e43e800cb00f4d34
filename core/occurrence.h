// When alarms occur: a cursor per alarm that yields its future occurrences
// one at a time, in time order, skipping those the end rule or an exception
// rule takes out. Nothing is kept between schedule builds; each build starts
// again from the current moment.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/exception_rules.h"
#include "core/globals.h"
#include "core/localzone.h"
#include "core/moment.h"

namespace ringmere {

// Schedule kinds (AlType) and monthly kinds (AlMType).
// Older names of the AlType and AlMType values.
using RepeatKind = AlType;
using MonthlyKind = AlMType;

// Sentinel dates as day numbers.
inline constexpr std::int64_t kNoOccurrenceDay = DayNumber(9999, 12, 31);
inline constexpr std::int64_t kLatestBaseDay = DayNumber(9999, 12, 30);
inline constexpr std::int64_t kLatestEntryDay = DayNumber(9998, 12, 31);
inline constexpr Moment kNoOccurrence = AtSecond(kNoOccurrenceDay, 0);

// Candidates tried per computation before an alarm counts as ending.
inline constexpr int kShortPeriodTries = 1999;  // days, minutes, hours
inline constexpr int kLongPeriodTries = 999;    // weeks, months, years

struct Cursor {
    Moment Base = 0;        // start of the alarm's sequence; kNoOccurrence when it has ended
    Moment Candidate = 0;   // next occurrence; kNoOccurrence when there is none
    UtcMoment CandidateUtc = 0;  // the same in universal time
    std::int64_t Step = 0;  // periods after Base (or the position in the date list)
    Integer ListPos = 0;    // position in the weekday or month-day list, from 1
    Integer WeekShift = 0;  // weekly: 1 when the first cycle week is the one after Base's
    bool Done = false;      // individual alarms: the occurrence was taken
};

// The cursors of every alarm of `g`, at one moment. `g` must outlive this
// and stay unchanged while it is used.
class OccurrenceCursors {
public:
    // Moments that lie before `now` in real time are past, whatever the
    // local clock shows; a local `now` in a repeated hour is its first pass.
    OccurrenceCursors(const Globals& g, Instant now);
    OccurrenceCursors(const Globals& g, DateTime now);

    Integer AlarmCount() const { return count_; }
    bool NowIsValid() const { return nowValid_; }

    // The initial step for every alarm.
    void InitCursors();
    // Sets the alarm's Candidate from its cursor, stepping over candidates
    // that lie before Now or the start, or that the end rule or an exception
    // rule rejects. Calling it again without AdvanceCursor changes nothing.
    void ComputeCandidate(Integer alarm);
    // Moves on from the candidate just taken into the table.
    void AdvanceCursor(Integer alarm);

    const Cursor& CursorOf(Integer alarm) const { return cursors_[alarm]; }
    // Whether the alarm has a candidate that may enter the table.
    bool HasCandidate(Integer alarm) const;
    DateTime Candidate(Integer alarm) const { return FromMoment(cursors_[alarm].Candidate); }

private:
    enum class Kind : std::uint8_t {
        kNone,
        kOnce,
        kDays,
        kGrid,  // minutes and hours
        kWeekly,
        kFirstDay,
        kLastDay,
        kMonthDays,
        kWeeksWeekdays,
        kYears,
        kMonths,
        kDates,
    };
    enum class Formed : std::uint8_t { kCandidate, kSkip, kExhausted };

    // What InitCursors derives from the alarm's record.
    struct Plan {
        Kind kind = Kind::kNone;
        bool hasEnd = false;
        int time = 0;                // AlTime, seconds of the day
        int month = 0;               // years: the start date's month
        int dom = 0;                 // years and months: the start date's day of month
        std::uint8_t listCount = 0;  // weekdays or month days, ascending, distinct
        std::uint8_t weeks = 0;      // bit k: week k of the month is listed (5 = last)
        std::int64_t startDay = 0;
        Moment start = 0;         // AlStartDate at AlTime
        UtcMoment end = 0;        // AlEndDate at AlEndTime
        UtcMoment notBefore = 0;  // no candidate may lie earlier
        // Days, weeks, months, years, or seconds for the grid. Grids count
        // real time (their Base is universal); the rest, the local calendar.
        std::int64_t period = 1;
        std::int64_t anchor = 0;  // day, month index or year the steps count from
        CompiledRules::SetId own = 0;
        std::array<std::uint8_t, 31> list{};
        std::size_t firstDate = 0;  // selected dates: dates_[firstDate] onwards
        std::size_t dateCount = 0;
    };

    void SetNow(UtcMoment utc);
    void InitOne(Integer alarm);
    void InitRepeating(const AlRec& rec, Plan& p, Cursor& c);
    // One for each repeating kind: the plan and the first cursor.
    void InitDays(const AlRec& rec, Plan& p, Cursor& c);
    void InitGrid(const AlRec& rec, Plan& p, Cursor& c);
    void InitYears(const AlRec& rec, Plan& p, Cursor& c);
    void InitMonths(const AlRec& rec, Plan& p, Cursor& c);
    void InitMonthly(const AlRec& rec, Plan& p, Cursor& c);
    void InitWeekly(const AlRec& rec, Plan& p, Cursor& c);
    void InitDates(const AlRec& rec, Plan& p, Cursor& c);
    Formed Form(const Plan& p, const Cursor& c, Moment& out) const;
    void MoveOn(const Plan& p, Cursor& c) const;
    void End(Cursor& c) const { c.Base = c.Candidate = c.CandidateUtc = kNoOccurrence; }
    // Whether `day` at `time` (local) lies before now in real time.
    bool Passed(std::int64_t day, int time) { return zone_.UtcOf(AtSecond(day, time)) < nowUtc_; }

    const Globals& g_;
    Integer count_ = 0;
    bool nowValid_ = false;
    Moment now_ = 0;  // local
    UtcMoment nowUtc_ = 0;
    LocalZone zone_;
    std::int64_t today_ = 0;
    int timeNow_ = 0;
    std::vector<Cursor> cursors_;  // slot 0 unused, like the alarm table
    std::vector<Plan> plans_;
    std::vector<std::int64_t> dates_;  // per alarm: ascending, distinct day numbers
    CompiledRules rules_;
    CompiledRules::SetId global_ = 0;
};

}  // namespace ringmere
