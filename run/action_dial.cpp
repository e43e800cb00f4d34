// Dial-up connections: the run's action.
#include "run/actions.h"
#include "run/dialup.h"

namespace ringmere::run {

StandardActions::StandardActions(const Services& services) : services_(services) {}

StandardActions::~StandardActions() = default;

RunDialer* StandardActions::Dialer(RunSession& s) {
    if (!dialer_ && services_.connections)
        dialer_ = std::make_unique<RunDialer>(*services_.connections, s);
    return dialer_.get();
}

Outcome StandardActions::Dial(RunSession& s, const DialRec& dial) {
    RunDialer* dialer = Dialer(s);
    if (!dialer) {
        s.Report(kDialUnavailable);
        return Outcome::Continue;
    }
    return dial.connectm ? dialer->Connect(dial) : dialer->Disconnect(dial);
}

}  // namespace ringmere::run
