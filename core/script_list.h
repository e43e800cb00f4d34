// The alarm editor's list of script steps as pure rules: deleting and moving
// steps, keeping every repeat step pointed at an earlier step, and which of
// the list's buttons may be used. The window only shows the result.
#pragma once

#include <string>

#include "core/records.h"

namespace ringmere {

// The name a repeat step to `stepnum` carries in the list.
std::string RepeatName(Integer stepnum);

// What the list's buttons allow with step `selected` (from 1; 0 for none)
// of `script`. "Add Event" is allowed outside client mode whatever is
// selected.
struct ScriptButtons {
    bool add = false;
    bool edit = false;
    bool remove = false;
    bool up = false;
    bool down = false;
    bool operator==(const ScriptButtons&) const = default;
};
ScriptButtons ScriptButtonStates(const AlEventList& script, Integer selected, bool clientMode);

// Each operation below returns the step to select afterwards (from 1), or 0
// when the script is empty; it does nothing (and returns `k` unchanged when
// it is a step) for a `k` it cannot apply to.
//
// After each, the script never starts with a repeat step (one that would is
// removed), and repeat steps follow the steps they point at: a target that
// moved is followed, a deleted target passes to the step after it, and a
// target that would come at or after its repeat step becomes the step just
// before it. A repeat step whose target changes is renamed to match.

// Removes step k; the first step is selected.
Integer DeleteStep(AlEventList& script, Integer k);
// Swaps steps k - 1 and k; selects where step k went.
Integer MoveStepUp(AlEventList& script, Integer k);
// Swaps steps k and k + 1; selects where step k went.
Integer MoveStepDown(AlEventList& script, Integer k);

// The number of steps the list holds: Count, never more than Items holds.
Integer StepCount(const AlEventList& script);

}  // namespace ringmere
