// Sending mail and pages: the run's action.
#include "run/actions.h"

namespace ringmere::run {

Outcome StandardActions::SendMessage(RunSession& s, const smtpmessage&, bool) {
    s.Report(kMailUnavailable);
    return Outcome::Continue;
}

}  // namespace ringmere::run
