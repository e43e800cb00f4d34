// Clock synchronisation from a time server: the run's action.
#include "run/actions.h"

namespace ringmere::run {

Outcome StandardActions::Synchronize(RunSession& s, const SynchronizeRec&, bool) {
    s.Report(kSynchUnavailable);
    return Outcome::Continue;
}

}  // namespace ringmere::run
