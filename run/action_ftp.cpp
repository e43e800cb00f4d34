// FTP transfers: the run's action.
#include "run/actions.h"

namespace ringmere::run {

Outcome StandardActions::TransferFtp(RunSession& s, const FTPRecT&) {
    s.Report(kFtpUnavailable);
    return Outcome::Continue;
}

}  // namespace ringmere::run
