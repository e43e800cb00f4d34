#include "core/records.h"

namespace ringmere {

namespace {

template <class R>
void ShrinkActions(R& r) {
    r.Music.Shrink();
    r.Dial.Shrink();
    r.Launch.Shrink();
    r.Web.Shrink();
    r.Mail.Shrink();
    r.Synch.Shrink();
    r.Ftp.Shrink();
    r.FileOp.Shrink();
}

}  // namespace

void ShrinkParts(AlEvent& step) {
    ShrinkActions(step);
}

void ShrinkParts(AlRec& alarm) {
    ShrinkActions(alarm);
    for (AlEvent& step : alarm.Events.Items) ShrinkParts(step);
}

}  // namespace ringmere
