// Dial-up connections: the run's action.
#include "run/actions.h"

namespace ringmere::run {

Outcome StandardActions::Dial(RunSession& s, const DialRec&) {
    s.Report(kDialUnavailable);
    return Outcome::Continue;
}

}  // namespace ringmere::run
