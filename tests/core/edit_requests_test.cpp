// Where an accepted step or rule goes: over the one the request named, or
// after the others, whatever a damaged count says.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/edit_requests.h"

namespace ringmere {
namespace {

AlEvent Step(const std::string& name) {
    AlEvent e;
    e.evname = name;
    return e;
}

ExRec Rule(Byte type) {
    ExRec r;
    r.ExType = type;
    return r;
}

TEST(EditRequests, StepsGoOverTheNamedStepOrAfterTheRest) {
    struct Case {
        const char* what;
        Integer count;  // the list's Count over three items
        Integer index;
        bool adding;
        bool named;  // the request names a step to change
        Integer stored;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"adding", 3, 2, true, false, 4, {"a", "b", "c", "new"}},
        {"changing step 2", 3, 2, false, true, 2, {"a", "new", "c"}},
        {"changing a step past the end adds", 3, 4, false, false, 4, {"a", "b", "c", "new"}},
        {"changing step 0 adds", 3, 0, false, false, 4, {"a", "b", "c", "new"}},
        {"a count short of the items", 2, 0, true, false, 3, {"a", "b", "new"}},
        {"a count past the items", 5, 4, false, false, 4, {"a", "b", "c", "new"}},
        {"changing the last step of a short count", 2, 2, false, true, 2, {"a", "new"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AlEventList script{c.count, {Step("a"), Step("b"), Step("c")}};
        const StepEditRequest request{script, c.index, c.adding};
        EXPECT_EQ(NamesStep(request), c.named);
        EXPECT_EQ(PutStep(script, request, Step("new")), c.stored);
        ASSERT_EQ(script.Count, Integer(c.names.size()));
        std::vector<std::string> names;
        for (Integer k = 0; k < script.Count; ++k) names.push_back(script.Items[std::size_t(k)].evname);
        EXPECT_EQ(names, c.names);
    }
}

TEST(EditRequests, RulesGoOverTheNamedRuleOrAreAdded) {
    struct Case {
        const char* what;
        Integer count;  // the list's Count over three items
        Integer index;
        bool adding;
        Integer stored;  // 0: nothing stored
        Integer countAfter;
    };
    const Case cases[] = {
        {"adding", 3, 1, true, 4, 4},
        {"changing rule 3", 3, 3, false, 3, 3},
        {"changing a rule past the end", 3, 4, false, 0, 3},
        {"changing rule 0", 3, 0, false, 0, 3},
        // As the rule editor always did: the list grows to its count first.
        {"adding past a count beyond the items", 4, 0, true, 5, 5},
        {"changing a rule past a short count", 2, 3, false, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExList rules{c.count, {Rule(kExDailyWindow), Rule(kExDates), Rule(kExDailyWindow)}};
        const ExList before = rules;
        const ExceptionEditRequest request{rules, c.index, c.adding};
        EXPECT_EQ(PutRule(rules, request, Rule(kExWeekdays)), c.stored);
        EXPECT_EQ(rules.Count, c.countAfter);
        if (c.stored == 0) {
            EXPECT_EQ(rules, before);
        } else {
            ASSERT_GE(rules.Items.size(), std::size_t(c.stored));
            EXPECT_EQ(rules.Items[std::size_t(c.stored - 1)].ExType, kExWeekdays);
        }
    }
}

}  // namespace
}  // namespace ringmere
