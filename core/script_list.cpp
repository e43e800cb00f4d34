#include "core/script_list.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace ringmere {

namespace {

bool IsRepeat(const AlEvent& step) {
    return step.evtype == kStepRepeat;
}

// Puts the steps in `order` (old numbers from 1, in their new order; a
// number left out is dropped) and re-points the repeat steps. Returns the
// new number of old step `follow`, 0 when it was dropped.
Integer Rearrange(AlEventList& script, const std::vector<Integer>& order, Integer follow) {
    const Integer oldCount = StepCount(script);
    std::vector<Integer> newNumber(std::size_t(oldCount) + 2, 0);
    std::vector<AlEvent> steps;
    steps.reserve(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        newNumber[std::size_t(order[i])] = Integer(i + 1);
        steps.push_back(script.Items[std::size_t(order[i] - 1)]);
    }
    // A dropped step's place passes to the first kept step after it.
    Integer next = Integer(steps.size()) + 1;
    std::vector<Integer> target(std::size_t(oldCount) + 1, 0);
    for (Integer old = oldCount; old >= 1; --old) {
        if (newNumber[std::size_t(old)] != 0) next = newNumber[std::size_t(old)];
        target[std::size_t(old)] = next;
    }
    for (std::size_t i = 0; i < steps.size(); ++i) {
        AlEvent& step = steps[i];
        if (!IsRepeat(step)) continue;
        const Integer at = Integer(i + 1);
        const Integer was = step.Repeat.stepnum;
        Integer now = was >= 1 && was <= oldCount ? target[std::size_t(was)] : was;
        if (now >= at) now = at - 1;
        if (now != was) {
            step.Repeat.stepnum = now;
            step.evname = RepeatName(now);
        }
    }
    script.Items = std::move(steps);
    script.Count = Integer(script.Items.size());
    return follow >= 1 && follow <= oldCount ? newNumber[std::size_t(follow)] : 0;
}

std::vector<Integer> AllBut(Integer count, Integer dropped) {
    std::vector<Integer> order;
    for (Integer k = 1; k <= count; ++k)
        if (k != dropped) order.push_back(k);
    return order;
}

// A script never starts with a repeat step: there is nothing before it to
// go back to.
Integer DropLeadingRepeats(AlEventList& script, Integer follow) {
    while (StepCount(script) > 0 && IsRepeat(script.Items[0]))
        follow = Rearrange(script, AllBut(StepCount(script), 1), follow);
    return follow;
}

Integer Swap(AlEventList& script, Integer first, Integer moved) {
    std::vector<Integer> order = AllBut(StepCount(script), 0);
    std::swap(order[std::size_t(first - 1)], order[std::size_t(first)]);
    Integer at = Rearrange(script, order, moved);
    at = DropLeadingRepeats(script, at);
    if (StepCount(script) == 0) return 0;
    return at != 0 ? at : 1;
}

}  // namespace

std::string RepeatName(Integer stepnum) {
    return "Repeat to step " + std::to_string(stepnum);
}

Integer StepCount(const AlEventList& script) {
    return std::clamp<Integer>(script.Count, 0, Integer(script.Items.size()));
}

ScriptButtons ScriptButtonStates(const AlEventList& script, Integer selected, bool clientMode) {
    ScriptButtons b;
    b.add = !clientMode;
    const Integer n = StepCount(script);
    if (selected < 1 || selected > n) return b;
    b.edit = true;
    if (clientMode) return b;
    b.remove = true;
    if (n >= 2) {
        b.up = selected > 1;
        b.down = selected < n;
    }
    // A repeat step never moves up into the first place.
    if (selected == 2 && IsRepeat(script.Items[1])) b.up = false;
    return b;
}

Integer DeleteStep(AlEventList& script, Integer k) {
    const Integer n = StepCount(script);
    if (k < 1 || k > n) return k;
    Rearrange(script, AllBut(n, k), 0);
    DropLeadingRepeats(script, 0);
    return StepCount(script) > 0 ? 1 : 0;
}

Integer MoveStepUp(AlEventList& script, Integer k) {
    if (k < 2 || k > StepCount(script)) return k;
    return Swap(script, k - 1, k);
}

Integer MoveStepDown(AlEventList& script, Integer k) {
    if (k < 1 || k >= StepCount(script)) return k;
    return Swap(script, k, k);
}

}  // namespace ringmere
