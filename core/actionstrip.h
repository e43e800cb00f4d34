// What the alarm list shows of an alarm's actions: the strip of small icons
// and the description of the action under the mouse.
#pragma once

#include <string>
#include <vector>

#include "core/records.h"

namespace ringmere {

enum class ActionIcon {
    kSoundFile,
    kAudioCd,
    kDialup,
    kLaunch,
    kWebPage,
    kMail,
    kSleep,
    kTimeSync,
    kFtp,
    kFileOp,
};

// The icons of the strip, left to right.
std::vector<ActionIcon> ActionStrip(const AlRec& alarm);

// The hint over slot `slot` (from 0) of the strip; empty when there is
// nothing to describe. Lines are separated by "\r", as the list shows them.
// A simple alarm's slots are its actions present in strip order; a script's
// slot k is step k + 1, repeat steps included although they have no icon.
std::string ActionHint(const AlRec& alarm, int slot);

// The slot under x (pixels from the list's left edge), given the widths of
// the three columns before the strip; slots are 18 pixels wide.
int ActionSlotAt(int x, int columnsBeforeStrip);

}  // namespace ringmere
