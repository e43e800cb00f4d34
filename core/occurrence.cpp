#include "core/occurrence.h"

#include <algorithm>

#include "core/exception_rules.h"
#include "core/huge_pages.h"

namespace ringmere {

namespace {

constexpr Moment kLatestBase = AtSecond(kLatestBaseDay, 0);
constexpr Moment kLatestEntry = AtSecond(kLatestEntryDay, 0);
constexpr std::int64_t kLastYear = 9999;

// Listed month days are measured against these lengths: a listed 29th never
// occurs in February, leap year or not.
constexpr int kListedDayMonthLength[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) {
    return -FloorDiv(-a, b);
}

template <class T>
std::size_t Used(const std::vector<T>& list, Integer count) {
    return count <= 0 ? 0 : std::min(list.size(), static_cast<std::size_t>(count));
}

// Set bits of the values lo..hi found in the first `count` entries.
std::uint32_t ValueBits(const std::vector<Integer>& list, Integer count, int lo, int hi) {
    std::uint32_t bits = 0;
    const std::size_t n = Used(list, count);
    for (std::size_t i = 0; i < n; ++i)
        if (list[i] >= lo && list[i] <= hi) bits |= 1u << list[i];
    return bits;
}

// A list given in any order, with repeats or stray values, is used as the
// ascending list of its distinct valid values.
std::uint8_t FillList(std::uint32_t bits, int lo, int hi, std::array<std::uint8_t, 31>& out) {
    std::uint8_t n = 0;
    for (int v = lo; v <= hi; ++v)
        if (bits & (1u << v)) out[n++] = static_cast<std::uint8_t>(v);
    return n;
}

Integer AtLeastOne(Integer x) {
    return x < 1 ? 1 : x;
}

std::int64_t MonthIndexOfDay(std::int64_t day) {
    const CivilDate c = CivilOf(day);
    return MonthIndex(c.year, c.month);
}

std::int64_t FirstDayOfMonthIndex(std::int64_t index) {
    return DayNumber(YearOfMonthIndex(index), MonthOfMonthIndex(index), 1);
}

std::int64_t LastDayOfMonthIndex(std::int64_t index) {
    const std::int64_t y = YearOfMonthIndex(index);
    const int m = MonthOfMonthIndex(index);
    return DayNumber(y, m, DaysInMonth(y, m));
}

// A day of month that the month lacks becomes its last day (31 January plus
// one month is the end of February; 29 February in other years the 28th).
std::int64_t ClampedDay(std::int64_t year, int month, int day) {
    return DayNumber(year, month, std::min(day, DaysInMonth(year, month)));
}

}  // namespace

OccurrenceCursors::OccurrenceCursors(const Globals& g, DateTime now)
    : OccurrenceCursors(g, kNoInstant) {
    if (const auto m = ToMomentCeil(now)) SetNow(zone_.UtcOf(*m));
}

OccurrenceCursors::OccurrenceCursors(const Globals& g, Instant now) : g_(g) {
    // Outside the years 1 to 9999, give or take a day: nothing.
    constexpr std::int64_t kFirstMs = AtSecond(DayNumber(1, 1, 1) - 1, 0) * 1000;
    constexpr std::int64_t kLastMs = AtSecond(DayNumber(9999, 12, 31) + 2, 0) * 1000;
    if (now.utcMs >= kFirstMs && now.utcMs <= kLastMs) SetNow(FloorDiv(now.utcMs + 999, 1000));
    const std::size_t slots = g.AlarmTable.size();
    const std::int64_t usable = slots == 0 ? 0 : static_cast<std::int64_t>(slots) - 1;
    count_ = static_cast<Integer>(std::clamp<std::int64_t>(g.AlarmCount, 0, usable));
    ReserveLarge(cursors_, static_cast<std::size_t>(count_) + 1);
    ReserveLarge(plans_, static_cast<std::size_t>(count_) + 1);
    cursors_.resize(static_cast<std::size_t>(count_) + 1);
    plans_.resize(static_cast<std::size_t>(count_) + 1);
}

void OccurrenceCursors::SetNow(UtcMoment utc) {
    now_ = zone_.LocalOf(utc);
    nowValid_ = ToMoment(FromMoment(now_)).has_value();
    if (!nowValid_) return;
    nowUtc_ = utc;
    today_ = DayOfMoment(now_);
    timeNow_ = SecondOfDay(now_);
}

void OccurrenceCursors::InitCursors() {
    rules_.Clear();
    dates_.clear();
    global_ = rules_.Add(g_.GlobalExceptions);
    for (Integer a = 1; a <= count_; ++a) InitOne(a);
}

void OccurrenceCursors::InitOne(Integer alarm) {
    const AlRec& rec = g_.AlarmTable[alarm];
    const TimeRec& t = rec.Schedule;
    Cursor& c = cursors_[alarm];
    Plan& p = plans_[alarm];
    c = Cursor{};
    p.kind = Kind::kNone;
    p.hasEnd = false;
    p.firstDate = p.dateCount = 0;

    const auto startDate = ToMoment(t.AlStartDate);
    if (!startDate) return End(c);
    p.startDay = DayOfMoment(*startDate);
    p.time = TimeOfDaySeconds(t.AlTime);
    p.start = AtSecond(p.startDay, p.time);

    // Every kind but the grids rings at its time of day only: a daily window,
    // its own or a global one, that holds that time leaves it nothing, and
    // the search need not try a thousand candidates to find that out.
    p.own = rules_.Add(rec.Exceptions);
    if (t.AlType != kEveryXMinutes && t.AlType != kEveryXHours &&
        (rules_.WindowHolds(p.own, p.time) || rules_.WindowHolds(global_, p.time)))
        return End(c);
    if (!rec.enabled || !nowValid_) return End(c);
    // A record the reader could not read whole may hold any mix of its own
    // fields and defaults: it must not run.
    if (g_.FirstDamagedAlarm > 0 && alarm >= g_.FirstDamagedAlarm) return End(c);

    if (t.AlEndType == kEndOnce) {
        p.kind = Kind::kOnce;
        if (zone_.UtcOf(p.start) < nowUtc_) return End(c);
        c.Base = p.start;
        return;
    }
    if (t.AlEndType == kEndAtDate) {
        const auto endDate = ToMoment(t.AlEndDate);
        if (!endDate) return End(c);
        p.hasEnd = true;
        p.end = zone_.UtcOf(AtSecond(DayOfMoment(*endDate), TimeOfDaySeconds(t.AlEndTime)));
    }
    // Listed dates keep every date, even those before the start date.
    p.notBefore = t.AlType == kSelectedDates ? nowUtc_ : std::max(nowUtc_, zone_.UtcOf(p.start));
    InitRepeating(rec, p, c);
}

void OccurrenceCursors::InitRepeating(const AlRec& rec, Plan& p, Cursor& c) {
    switch (rec.Schedule.AlType) {
        case kEveryXDays:
            return InitDays(rec, p, c);
        case kEveryXMinutes:
        case kEveryXHours:
            return InitGrid(rec, p, c);
        case kEveryXYears:
            return InitYears(rec, p, c);
        case kEveryXMonths:
            return InitMonths(rec, p, c);
        case kMonthly:
            return InitMonthly(rec, p, c);
        case kWeekly:
            return InitWeekly(rec, p, c);
        case kSelectedDates:
            return InitDates(rec, p, c);
        default:
            return End(c);
    }
}

void OccurrenceCursors::InitDays(const AlRec& rec, Plan& p, Cursor& c) {
    const TimeRec& t = rec.Schedule;
    const std::int64_t sd = p.startDay;
    const bool passedToday = Passed(today_, p.time);
    p.kind = Kind::kDays;
    p.period = AtLeastOne(t.AlXDays);
    if (today_ > sd) {
        const std::int64_t d = (today_ - sd) % p.period;
        p.anchor = d != 0 ? today_ + (p.period - d) : today_;
        c.Step = d == 0 && passedToday ? 1 : 0;
    } else {
        p.anchor = sd;
        c.Step = today_ == sd && passedToday ? 1 : 0;
    }
    c.Base = AtSecond(p.anchor, p.time);
}

void OccurrenceCursors::InitGrid(const AlRec& rec, Plan& p, Cursor& c) {
    const TimeRec& t = rec.Schedule;
    const std::int64_t sd = p.startDay;
    p.kind = Kind::kGrid;
    p.period =
        static_cast<std::int64_t>(AtLeastOne(t.AlType == kEveryXMinutes ? t.AlXMin : t.AlXHours)) *
        (t.AlType == kEveryXMinutes ? 60 : 3600);
    const UtcMoment s = zone_.UtcOf(p.start);
    if (today_ > sd)  // the first grid point strictly after Now
        c.Base = s + (FloorDiv(nowUtc_ - s, p.period) + 1) * p.period;
    else if (today_ == sd && nowUtc_ > s)  // the first one not before Now
        c.Base = s + CeilDiv(nowUtc_ - s, p.period) * p.period;
    else
        c.Base = s;
}

void OccurrenceCursors::InitYears(const AlRec& rec, Plan& p, Cursor& c) {
    const TimeRec& t = rec.Schedule;
    const std::int64_t sd = p.startDay;
    const bool passedToday = Passed(today_, p.time);
    p.kind = Kind::kYears;
    p.period = AtLeastOne(t.AlXYears);
    const CivilDate s = CivilOf(sd);
    p.month = s.month;
    p.dom = s.day;
    const std::int64_t year = CivilOf(today_).year;
    if (today_ > sd && year > s.year) {
        const std::int64_t r = (year - s.year) % p.period;
        if (r != 0) {
            p.anchor = year + p.period - r;
        } else {
            p.anchor = year;
            const std::int64_t day = ClampedDay(year, p.month, p.dom);
            c.Step = day < today_ || (day == today_ && passedToday) ? 1 : 0;
        }
    } else {
        p.anchor = s.year;
        c.Step = today_ > sd || (today_ == sd && passedToday) ? 1 : 0;
    }
    c.Base = AtSecond(ClampedDay(p.anchor, p.month, p.dom), p.time);
}

void OccurrenceCursors::InitMonths(const AlRec& rec, Plan& p, Cursor& c) {
    const TimeRec& t = rec.Schedule;
    const std::int64_t sd = p.startDay;
    // The cycle runs from the start month (start month + k months): counted
    // from the current month it would restart at every rebuild, and a
    // rebuild follows every ring.
    p.kind = Kind::kMonths;
    p.period = AtLeastOne(t.AlXMonths);
    const CivilDate s = CivilOf(sd);
    p.dom = s.day;
    p.anchor = MonthIndex(s.year, s.month);
    const std::int64_t months = MonthIndexOfDay(today_) - p.anchor;
    c.Step = months > 0 ? CeilDiv(months, p.period) : 0;
    c.Base = p.start;
}

void OccurrenceCursors::InitWeekly(const AlRec& rec, Plan& p, Cursor& c) {
    const TimeRec& t = rec.Schedule;
    const std::int64_t sd = p.startDay;
    const std::uint32_t bits = ValueBits(t.AlWeekdays, t.AlWeekdaynum, 1, 7);
    p.listCount = FillList(bits, 1, 7, p.list);
    if (p.listCount == 0 || rules_.WeekdaysTaken(p.own, bits) ||
        rules_.WeekdaysTaken(global_, bits))
        return End(c);
    p.kind = Kind::kWeekly;
    p.period = AtLeastOne(t.AlXWeeks);
    // With a cycle of several weeks, Base is the start of the cycle that
    // holds today, not the next one: the rest of this cycle's week still
    // belongs to the schedule.
    std::int64_t base = sd;
    if (today_ > sd)
        base = p.period == 1 ? today_ : sd + 7 * p.period * FloorDiv(today_ - sd, 7 * p.period);
    const int w = WeekdayOf(base);
    c.ListPos = 0;
    for (int i = 0; i < p.listCount && c.ListPos == 0; ++i)
        if (p.list[i] >= w) c.ListPos = i + 1;
    if (c.ListPos == 0) {
        c.ListPos = 1;
        c.WeekShift = 1;
    }
    p.anchor = base - (w - 1);  // the Sunday of Base's week
    c.Base = AtSecond(base, p.time);
}

void OccurrenceCursors::InitDates(const AlRec& rec, Plan& p, Cursor&) {
    const TimeRec& t = rec.Schedule;
    p.kind = Kind::kDates;
    const std::size_t n = Used(t.AlDays, t.AlDayCount);
    const auto first = dates_.size();
    for (std::size_t i = 0; i < n; ++i)
        if (const auto d = ToMoment(t.AlDays[i])) dates_.push_back(DayOfMoment(*d));
    std::sort(dates_.begin() + first, dates_.end());
    dates_.erase(std::unique(dates_.begin() + first, dates_.end()), dates_.end());
    p.firstDate = first;
    p.dateCount = dates_.size() - first;
}

void OccurrenceCursors::InitMonthly(const AlRec& rec, Plan& p, Cursor& c) {
    const TimeRec& t = rec.Schedule;
    const std::int64_t sd = p.startDay;
    const std::int64_t later = std::max(today_, p.startDay);
    switch (t.AlMType) {
        case kFirstDay:
            p.kind = Kind::kFirstDay;
            p.anchor = MonthIndexOfDay(later);
            c.Base = AtSecond(FirstDayOfMonthIndex(p.anchor), p.time);
            return;
        case kLastDay:
            p.kind = Kind::kLastDay;
            p.anchor = MonthIndexOfDay(today_ > sd ? today_ : sd);
            c.Base = AtSecond(LastDayOfMonthIndex(p.anchor), p.time);
            return;
        case kListedMonthDays: {
            const std::uint32_t bits = ValueBits(t.AlMonthDays, t.AlMonthdaynum, 1, 31);
            p.listCount = FillList(bits, 1, 31, p.list);
            if (p.listCount == 0) return End(c);
            p.kind = Kind::kMonthDays;
            p.anchor = MonthIndexOfDay(later);
            const int d = CivilOf(later).day;
            c.ListPos = 0;
            for (int i = 0; i < p.listCount && c.ListPos == 0; ++i)
                if (p.list[i] >= d) c.ListPos = i + 1;
            if (c.ListPos == 0) {
                c.ListPos = 1;
                c.Step = 1;
            }
            c.Base = AtSecond(FirstDayOfMonthIndex(p.anchor), p.time);
            return;
        }
        case kWeekdaysOfWeeks: {
            const std::uint32_t days = ValueBits(t.AlMWeekdays, t.AlMWeekdaynum, 1, 7);
            p.weeks = static_cast<std::uint8_t>(ValueBits(t.AlMWeekDW, t.AlMWeekDWNum, 1, 5));
            p.listCount = FillList(days, 1, 7, p.list);
            if (p.listCount == 0 || p.weeks == 0 || rules_.WeekdaysTaken(p.own, days) ||
                rules_.WeekdaysTaken(global_, days))
                return End(c);
            p.kind = Kind::kWeeksWeekdays;
            p.anchor = later - (WeekdayOf(later) - 1);
            c.ListPos = 1;
            c.Base = AtSecond(later, p.time);
            return;
        }
        default:
            return End(c);
    }
}

OccurrenceCursors::Formed OccurrenceCursors::Form(const Plan& p, const Cursor& c,
                                                  Moment& out) const {
    std::int64_t day = 0;
    switch (p.kind) {
        case Kind::kDays:
            day = p.anchor + p.period * c.Step;
            break;
        case Kind::kGrid:
            out = c.Base + p.period * c.Step;
            return Formed::kCandidate;
        case Kind::kWeekly:
            day = p.anchor + p.list[c.ListPos - 1] - 1 + 7 * (p.period * c.Step + c.WeekShift);
            break;
        case Kind::kWeeksWeekdays: {
            day = p.anchor + p.list[c.ListPos - 1] - 1 + 7 * c.Step;
            if (day > kLatestEntryDay) return Formed::kExhausted;
            const CivilDate d = CivilOf(day);
            const bool listedWeek = p.weeks & (1u << ((d.day - 1) / 7 + 1));
            const bool lastSeven =
                (p.weeks & (1u << 5)) && d.day > DaysInMonth(d.year, d.month) - 7;
            if (!listedWeek && !lastSeven) return Formed::kSkip;
            break;
        }
        case Kind::kFirstDay:
        case Kind::kLastDay:
        case Kind::kMonthDays: {
            const std::int64_t index = p.anchor + c.Step;
            const std::int64_t y = YearOfMonthIndex(index);
            if (y > kLastYear) return Formed::kExhausted;
            const int m = MonthOfMonthIndex(index);
            if (p.kind == Kind::kFirstDay) {
                day = DayNumber(y, m, 1);
            } else if (p.kind == Kind::kLastDay) {
                day = DayNumber(y, m, DaysInMonth(y, m));
            } else {
                const int listed = p.list[c.ListPos - 1];
                if (listed > kListedDayMonthLength[m - 1]) return Formed::kSkip;
                day = DayNumber(y, m, listed);
            }
            break;
        }
        case Kind::kYears: {
            const std::int64_t y = p.anchor + p.period * c.Step;
            if (y > kLastYear) return Formed::kExhausted;
            day = ClampedDay(y, p.month, p.dom);
            break;
        }
        case Kind::kMonths: {
            const std::int64_t index = p.anchor + p.period * c.Step;
            const std::int64_t y = YearOfMonthIndex(index);
            if (y > kLastYear) return Formed::kExhausted;
            day = ClampedDay(y, MonthOfMonthIndex(index), p.dom);
            break;
        }
        case Kind::kDates:
            if (c.Step < 0 || static_cast<std::size_t>(c.Step) >= p.dateCount)
                return Formed::kExhausted;
            day = dates_[p.firstDate + static_cast<std::size_t>(c.Step)];
            break;
        case Kind::kNone:
        case Kind::kOnce:
            return Formed::kExhausted;
    }
    if (day > kLatestEntryDay) return Formed::kExhausted;
    out = AtSecond(day, p.time);
    return Formed::kCandidate;
}

void OccurrenceCursors::MoveOn(const Plan& p, Cursor& c) const {
    switch (p.kind) {
        case Kind::kWeekly:
        case Kind::kMonthDays:
        case Kind::kWeeksWeekdays:
            if (++c.ListPos > p.listCount) {
                c.ListPos = 1;
                ++c.Step;
            }
            return;
        default:
            ++c.Step;
            return;
    }
}

void OccurrenceCursors::ComputeCandidate(Integer alarm) {
    if (alarm < 1 || alarm > count_) return;
    Cursor& c = cursors_[alarm];
    const Plan& p = plans_[alarm];
    if (c.Base > kLatestBase) {
        c.Candidate = c.Base;
        return;
    }
    if (p.kind == Kind::kOnce) {
        const UtcMoment utc = zone_.UtcOf(c.Base);
        const Moment local = zone_.LocalOf(utc);
        const bool ok = !c.Done && rules_.Allowed(global_, p.own, local);
        c.Candidate = ok ? local : kNoOccurrence;
        c.CandidateUtc = ok ? utc : kNoOccurrence;
        return;
    }
    int tries = kLongPeriodTries;
    if (p.kind == Kind::kDays || p.kind == Kind::kGrid) tries = kShortPeriodTries;
    if (p.kind == Kind::kDates) tries = static_cast<int>(p.dateCount);
    for (int i = 0; i < tries; ++i) {
        Moment formed = 0;
        const Formed f = Form(p, c, formed);
        if (f == Formed::kExhausted) break;
        if (f == Formed::kSkip) {
            MoveOn(p, c);
            continue;
        }
        // Formed as the local clock reads (a grid: in real time). A local time
        // the clock skips comes out later by the jump, as the clock shows it.
        const UtcMoment utc = p.kind == Kind::kGrid ? formed : zone_.UtcOf(formed);
        const Moment m = zone_.LocalOf(utc);
        if (utc < p.notBefore) {
            MoveOn(p, c);
            continue;
        }
        if (m > kLatestEntry || (p.hasEnd && utc > p.end)) break;
        Moment through = m;
        if (rules_.Allowed(global_, p.own, m, &through)) {
            c.Candidate = m;
            c.CandidateUtc = utc;
            return;
        }
        // A short grid steps over the whole excluded stretch in one try: a
        // weekend without an every-minute alarm is 2880 rejections, more
        // than the search allows, and the alarm would end for good. The
        // stretch is measured in real time; its end, read as the first pass
        // of a repeated hour, may lie before `utc`, and then the clock's
        // own difference holds.
        if (p.kind == Kind::kGrid && through > m) {
            UtcMoment end = zone_.UtcOf(through);
            if (end < utc) end = utc + (through - m);
            c.Step += (end - utc) / p.period + 1;
        } else
            MoveOn(p, c);
    }
    End(c);
}

void OccurrenceCursors::AdvanceCursor(Integer alarm) {
    if (alarm < 1 || alarm > count_) return;
    Cursor& c = cursors_[alarm];
    Plan& p = plans_[alarm];
    if (p.kind == Kind::kOnce) {
        c.Done = true;
        return;
    }
    if (c.Candidate > kLatestEntry) return;
    // An alarm never yields the same moment twice.
    p.notBefore = std::max(p.notBefore, c.CandidateUtc + 1);
    MoveOn(p, c);
}

bool OccurrenceCursors::HasCandidate(Integer alarm) const {
    if (alarm < 1 || alarm > count_) return false;
    const Moment m = cursors_[alarm].Candidate;
    return m != 0 && m <= kLatestEntry;
}

}  // namespace ringmere
