// The repeat step of a script: whether it jumps back, and where to.
#pragma once

#include <optional>

#include "core/records.h"

namespace ringmere {

// `counter` is the repeat step's own count in the current run. Returns the
// step to run next after a jump, or nothing to go on with the next step.
// A counted repeat that lets the script pass resets its counter, so an
// enclosing repeat runs it again with a fresh count. A target before step
// 1 (from a damaged file) jumps to step 1.
std::optional<Integer> RepeatJump(const RepeatRec& rule, Integer& counter);

}  // namespace ringmere
