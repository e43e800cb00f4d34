#include "core/late_alarms.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "core/alarmtable.h"
#include "core/clock.h"
#include "core/occurrence.h"
#include "core/schedule.h"

namespace ringmere {

namespace {

constexpr double kHalfSecond = 0.5 / kSecondsPerDay;

// The whole second at or before `now`; a value a hair under a whole second
// (day counts are doubles) counts as that second.
std::optional<Moment> FloorSecond(DateTime now) {
    const std::optional<Moment> nearest = ToMoment(now);
    if (!nearest) return std::nullopt;
    const double behind = (FromMoment(*nearest) - now) * kSecondsPerDay;
    return behind > 0.001 ? *nearest - 1 : *nearest;
}

std::string Plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::int64_t AlarmCheckLoop::LimitSeconds() const {
    if (lateLimit_ == kNoLateLimit) return std::numeric_limits<std::int64_t>::max();
    return std::max<std::int64_t>(std::int64_t{lateLimit_} * 60, kOnTimeSeconds);
}

void AlarmCheckLoop::Begin(DateTime now, std::optional<DateTime> lastCheck) {
    begun_ = true;
    const std::optional<Moment> n = FloorSecond(now);
    // An occurrence at the very moment of the start is still to come.
    const Moment start = n ? (FromMoment(*n) == now ? *n - 1 : *n) : 0;
    handled_ = start;
    waiting_.clear();
    tableFrom_.reset();
    lastStart_.reset();
    const std::optional<Moment> last = lastCheck ? FloorSecond(*lastCheck) : std::nullopt;
    if (!last) return;
    if (*last < start) {
        handled_ = *last;
        notRunning_ = true;
    } else if (*last - start <= kLongestSetBack) {
        // The clock went back while the program was stopped.
        handled_ = *last;
    }
}

bool AlarmCheckLoop::TableCovers(const Globals& g, Moment to) const {
    if (!tableFrom_ || *tableFrom_ > handled_) return false;
    const Integer count = std::clamp<Integer>(g.ScheduleCount, 0, kScheduleSlots);
    if (count < kScheduleSize) return true;
    const std::optional<Moment> last = ToMoment(g.ScheduleTable[count].When);
    return last && *last > to;
}

// Per alarm (from 1): its occurrences after `from` up to `to`.
std::vector<AlarmCheckLoop::Found> AlarmCheckLoop::Collect(const Globals& g, Moment from,
                                                           Moment to) const {
    const std::int64_t limit = LimitSeconds();
    const auto onTime = [&](Moment m) { return to - m <= limit; };
    std::vector<Found> found(static_cast<std::size_t>(std::max<Integer>(g.AlarmCount, 0)) + 1);
    const auto note = [&](Integer a, Moment m) {
        Found& f = found[static_cast<std::size_t>(a)];
        if (f.times == 0) f.first = m;
        ++f.times;
        if (onTime(m)) {
            if (f.onTime == 0) f.firstOnTime = m;
            ++f.onTime;
        }
    };
    if (TableCovers(g, to)) {
        for (Integer i = 1; i <= g.ScheduleCount && i <= kScheduleSlots; ++i) {
            const ScheduleEntry& e = g.ScheduleTable[i];
            const std::optional<Moment> m = ToMoment(e.When);
            if (!m || *m <= from) continue;
            if (*m > to) break;
            if (e.AlarmIndex >= 1 && e.AlarmIndex <= g.AlarmCount) note(e.AlarmIndex, *m);
        }
        return found;
    }
    // A long gap: each alarm's occurrences one by one, counted up to a
    // bound; past it, only those still within the late limit are looked at.
    OccurrenceCursors cursors(g, FromMoment(from) + kHalfSecond);
    if (!cursors.NowIsValid()) return found;
    cursors.InitCursors();
    std::vector<Integer> cut;
    for (Integer a = 1; a <= cursors.AlarmCount() && a <= g.AlarmCount; ++a) {
        cursors.ComputeCandidate(a);
        while (cursors.HasCandidate(a) && cursors.CursorOf(a).Candidate <= to) {
            if (found[static_cast<std::size_t>(a)].times == kMaxCountedOccurrences) {
                found[static_cast<std::size_t>(a)].atLeast = true;
                cut.push_back(a);
                break;
            }
            note(a, cursors.CursorOf(a).Candidate);
            cursors.AdvanceCursor(a);
            cursors.ComputeCandidate(a);
        }
    }
    if (cut.empty() || limit == std::numeric_limits<std::int64_t>::max()) {
        // No limit: the first occurrence counted is the run's.
        return found;
    }
    OccurrenceCursors recent(g, FromMoment(std::max(from, to - limit - 1)) + kHalfSecond);
    recent.InitCursors();
    for (Integer a : cut) {
        Found& f = found[static_cast<std::size_t>(a)];
        f.onTime = 0;
        recent.ComputeCandidate(a);
        while (recent.HasCandidate(a) && recent.CursorOf(a).Candidate <= to) {
            const Moment m = recent.CursorOf(a).Candidate;
            if (onTime(m)) {
                if (f.onTime == 0) f.firstOnTime = m;
                ++f.onTime;
            }
            recent.AdvanceCursor(a);
            recent.ComputeCandidate(a);
        }
    }
    return found;
}

CheckOutcome AlarmCheckLoop::Check(const Globals& g, DateTime now) {
    CheckOutcome out;
    const std::optional<Moment> n = FloorSecond(now);
    if (!n) return out;
    if (!begun_) Begin(now, std::nullopt);

    if (*n < handled_) {
        if (handled_ - *n > kLongestSetBack) {
            out.SetBackFrom = handled_;
            out.SetBackTooFar = true;
            handled_ = *n;
            setBack_ = false;
            out.Rebuild = true;
        } else if (!setBack_) {
            out.SetBackFrom = handled_;
            setBack_ = true;
        }
    } else if (*n > handled_) {
        setBack_ = false;
        const Moment gap = *n - handled_;
        out.Cause = asleep_       ? GapCause::kAsleep
                    : notRunning_ ? GapCause::kNotRunning
                    : gap >= 60   ? GapCause::kClockForward
                                  : GapCause::kHeldUp;
        const std::vector<Found> found = Collect(g, handled_, *n);
        std::vector<DueRun> runs;
        for (std::size_t a = 1; a < found.size(); ++a) {
            const Found& f = found[a];
            if (f.times == 0) continue;
            out.Rebuild = true;
            const std::string& name = g.AlarmTable[a].AlName;
            const int missed = f.times - f.onTime;
            if (missed > 0 || f.atLeast)
                out.Missed.push_back({static_cast<Integer>(a), name, f.first,
                                      f.atLeast ? kMaxCountedOccurrences : missed, f.atLeast});
            if (f.onTime == 0) continue;
            const auto same = std::find_if(waiting_.begin(), waiting_.end(), [&](const DueRun& r) {
                return r.AlarmIndex == static_cast<Integer>(a);
            });
            if (same != waiting_.end()) {
                same->Times += f.onTime;
                continue;
            }
            runs.push_back({static_cast<Integer>(a), name, f.firstOnTime, f.onTime, 0});
        }
        std::sort(runs.begin(), runs.end(), [](const DueRun& x, const DueRun& y) {
            return x.First != y.First ? x.First < y.First : x.AlarmIndex < y.AlarmIndex;
        });
        for (DueRun& r : runs) {
            r.LateSeconds = *n - r.First;
            if (r.LateSeconds >= kOnTimeSeconds || r.Times > 1) out.Late.push_back(r);
            waiting_.push_back(std::move(r));
        }
        handled_ = *n;
        asleep_ = false;
        notRunning_ = false;
    }
    // One batch a second, however often the timer ticks.
    if (lastStart_ && *lastStart_ == *n) return out;
    if (!waiting_.empty()) lastStart_ = *n;
    while (!waiting_.empty() && static_cast<int>(out.Start.size()) < kMaxStartsPerCheck) {
        DueRun r = std::move(waiting_.front());
        waiting_.pop_front();
        r.LateSeconds = std::max<std::int64_t>(0, *n - r.First);
        out.Start.push_back(std::move(r));
    }
    return out;
}

void AlarmCheckLoop::Rebuild(Globals& g) {
    BuildSchedule(g, FixedClock(FromMoment(handled_) + kHalfSecond));
    tableFrom_ = handled_;
}

void AlarmCheckLoop::AlarmsChanged(const Globals& g) {
    std::erase_if(waiting_, [&](const DueRun& r) {
        return r.AlarmIndex < 1 || r.AlarmIndex > g.AlarmCount ||
               static_cast<std::size_t>(r.AlarmIndex) >= g.AlarmTable.size() ||
               !g.AlarmTable[r.AlarmIndex].enabled || g.AlarmTable[r.AlarmIndex].AlName != r.Name;
    });
    tableFrom_.reset();
}

std::string MissedMomentText(Moment m) {
    const CivilDate d = CivilOf(DayOfMoment(m));
    const int s = SecondOfDay(m);
    const int hour = s / 3600;
    char text[48];
    std::snprintf(text, sizeof text, "%d/%d/%d %d:%02d:%02d %s", d.month, d.day, d.year,
                  hour % 12 == 0 ? 12 : hour % 12, s / 60 % 60, s % 60, hour < 12 ? "AM" : "PM");
    return text;
}

std::string MissedLine(const MissedAlarm& m) {
    std::string line = "Missed: " + m.Name + " at " + MissedMomentText(m.First);
    if (m.Times > 1 || m.AtLeast)
        line += " (" + std::string(m.AtLeast ? "at least " : "") + std::to_string(m.Times) +
                " times)";
    return line;
}

std::string LatenessText(std::int64_t seconds) {
    if (seconds < 60) return std::to_string(std::max<std::int64_t>(seconds, 0)) + " s";
    const std::int64_t minutes = seconds / 60;
    const std::int64_t days = minutes / 1440, hours = minutes / 60 % 24, mins = minutes % 60;
    std::string text;
    const auto part = [&](std::int64_t v, const char* unit) {
        if (!text.empty()) text += ' ';
        text += std::to_string(v) + " " + unit;
    };
    if (days > 0) part(days, "d");
    if (hours > 0) part(hours, "h");
    if (mins > 0 || text.empty()) part(mins, "min");
    return text;
}

std::string LateLine(const DueRun& r) {
    std::string line =
        "Late by " + LatenessText(r.LateSeconds) + ": " + r.Name + " at " + MissedMomentText(r.First);
    if (r.Times > 1) line += " (" + std::to_string(r.Times) + " times)";
    return line;
}

std::string MissedNotice(std::size_t alarms, GapCause cause) {
    const char* why = "";
    switch (cause) {
        case GapCause::kAsleep: why = "while the computer was asleep"; break;
        case GapCause::kNotRunning: why = "while Ringmere was not running"; break;
        case GapCause::kClockForward: why = "when the clock was set forward"; break;
        case GapCause::kHeldUp: why = "while Ringmere was held up"; break;
    }
    return Plural(alarms, "alarm was", "alarms were") + " missed " + why;
}

std::string LastCheckText(DateTime value) {
    const std::optional<Moment> m = FloorSecond(value);
    if (!m) return {};
    const CivilDate d = CivilOf(DayOfMoment(*m));
    const int s = SecondOfDay(*m);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
                  s / 3600, s / 60 % 60, s % 60);
    return text;
}

std::optional<DateTime> ParseLastCheck(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) !=
        6)
        return std::nullopt;
    if (h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0) return std::nullopt;
    const std::optional<DateTime> day = TryEncodeDate(y, mo, d);
    if (!day) return std::nullopt;
    return *day + EncodeTime(h, mi, s);
}

}  // namespace ringmere
