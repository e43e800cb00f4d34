#include "core/edit_requests.h"

#include <algorithm>

#include "core/script_list.h"

namespace ringmere {

namespace {

// Count and Items may disagree in a damaged file: the smaller one holds.
template <class List>
Integer Held(const List& list) {
    return std::clamp<Integer>(list.Count, 0, Integer(list.Items.size()));
}

// Keeps the first `keep` entries, then adds `item` after them.
template <class List, class Item>
Integer Append(List& list, Integer keep, Item item) {
    list.Items.resize(std::size_t(keep));
    list.Items.push_back(std::move(item));
    list.Count = Integer(list.Items.size());
    return list.Count;
}

}  // namespace

bool NamesStep(const StepEditRequest& request) {
    return !request.adding && request.index >= 1 && request.index <= StepCount(request.script);
}

bool NamesRule(const ExceptionEditRequest& request) {
    return !request.adding && request.index >= 1 && request.index <= Held(request.rules);
}

Integer PutStep(AlEventList& script, const StepEditRequest& request, AlEvent step) {
    if (NamesStep(request) && request.index <= StepCount(script)) {
        script.Items[std::size_t(request.index - 1)] = std::move(step);
        return request.index;
    }
    return Append(script, StepCount(script), std::move(step));
}

Integer PutRule(ExList& rules, const ExceptionEditRequest& request, ExRec rule) {
    // A count past the items grows the list to it, as the rule lists always have.
    if (request.adding) return Append(rules, std::max<Integer>(rules.Count, 0), std::move(rule));
    if (!NamesRule(request) || request.index > Held(rules)) return 0;
    rules.Items[std::size_t(request.index - 1)] = std::move(rule);
    return request.index;
}

}  // namespace ringmere
