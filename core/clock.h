// The current moment comes from here, so that tests can fix it.
#pragma once

#include "core/datetime.h"

namespace ringmere {

class Clock {
public:
    virtual ~Clock() = default;
    // Local time as a day count.
    virtual DateTime Now() const = 0;
};

class SystemClock final : public Clock {
public:
    DateTime Now() const override;
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

// The program's clock: the system clock unless a test sets another.
const Clock& CurrentClock();
void SetCurrentClock(const Clock* clock);  // nullptr restores the system clock

}  // namespace ringmere
