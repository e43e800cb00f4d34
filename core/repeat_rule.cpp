#include "core/repeat_rule.h"

#include <algorithm>

namespace ringmere {

std::optional<Integer> RepeatJump(const RepeatRec& rule, Integer& counter) {
    const Integer target = std::max<Integer>(1, rule.stepnum);
    if (rule.reptype == kRepeatUntilStopped) {
        // Counts on, but never wraps over into a negative number.
        if (counter < 2147483647) ++counter;
        return target;
    }
    if (counter < rule.repnum) {
        ++counter;
        return target;
    }
    counter = 0;
    return std::nullopt;
}

}  // namespace ringmere
