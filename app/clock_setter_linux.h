// The program's own clock setter. It is compiled into the ringmere program
// alone, never into a library that a test links: no test can move the
// machine's clock, whoever runs it.
#pragma once

#include "run/daytime.h"
#include "run/waiting.h"

namespace ringmere::app {

// systemd-timedated over the system bus; where there is no timedated,
// clock_settime(CLOCK_REALTIME). A refusal by timedated or polkit stands.
class SystemClockSetter final : public run::ClockSetter {
public:
    explicit SystemClockSetter(run::Waiting& waiting) : waiting_(waiting) {}

protected:
    run::ClockResult Apply(qint64 utcMicroseconds) override;

private:
    run::Waiting& waiting_;
};

}  // namespace ringmere::app
