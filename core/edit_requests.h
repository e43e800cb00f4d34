// What each editor is opened on and what its caller does with the result.
// An editor works on its own copies and hands back what OK made of them;
// only the caller changes its list, so Cancel never has anything to undo.
#pragma once

#include "core/records.h"

namespace ringmere {

// The alarm editor: a new alarm, a change to alarm `index`, or a new alarm
// that starts as a copy of alarm `index` (positions from 1).
struct AlarmEditRequest {
    enum class Mode { Add, Edit, Duplicate };
    Mode mode = Mode::Add;
    Integer index = 0;  // unused when adding
    bool operator==(const AlarmEditRequest&) const = default;
};

// The step editor over the alarm editor's working script: step `index`
// (from 1) is changed or shown, or, when adding, is the step selected, which
// bounds the steps a new repeat may go back to.
struct StepEditRequest {
    AlEventList script;
    Integer index = 0;
    bool adding = false;
};

// The rule editor over a caller's rule list: rule `index` (from 1) is
// changed or shown, or a new rule is made.
struct ExceptionEditRequest {
    ExList rules;
    Integer index = 0;
    bool adding = false;
};

// Whether the request names a step or rule that is there to change.
bool NamesStep(const StepEditRequest& request);
bool NamesRule(const ExceptionEditRequest& request);

// Puts the editor's result where the request said: over step `index` when
// it named one, otherwise appended. Returns the step's number.
Integer PutStep(AlEventList& script, const StepEditRequest& request, AlEvent step);
// Appends when adding, else replaces rule `index`; returns the rule's
// number, or 0 (nothing stored) when the request named no rule.
Integer PutRule(ExList& rules, const ExceptionEditRequest& request, ExRec rule);

}  // namespace ringmere
