// The current moment comes from here, so that tests can fix it.
#pragma once

#include "core/datetime.h"
#include "core/localzone.h"

namespace ringmere {

class Clock {
public:
    virtual ~Clock() = default;
    // Local time as a day count.
    virtual DateTime Now() const = 0;
    // The same moment in universal time: in the hour the clock shows twice,
    // Now() alone cannot tell the passes apart. A clock that only knows
    // local time gives the first pass.
    virtual Instant NowInstant() const { return InstantOfLocal(Now()); }
};

class SystemClock final : public Clock {
public:
    DateTime Now() const override;
    Instant NowInstant() const override;
};

class FixedClock final : public Clock {
public:
    explicit FixedClock(DateTime now = 0) : now_(now) {}
    DateTime Now() const override { return now_; }
    void Set(DateTime now) { now_ = now; }
    void AdvanceSeconds(double seconds) { now_ += seconds / kSecondsPerDay; }

private:
    DateTime now_;
};

// A fixed moment in universal time, shown in the zone in force.
class InstantClock final : public Clock {
public:
    explicit InstantClock(Instant now) : now_(now) {}
    DateTime Now() const override { return LocalDateTimeOf(now_); }
    Instant NowInstant() const override { return now_; }

private:
    Instant now_;
};

// The program's clock: the system clock unless a test sets another.
const Clock& CurrentClock();
void SetCurrentClock(const Clock* clock);  // nullptr restores the system clock

}  // namespace ringmere
