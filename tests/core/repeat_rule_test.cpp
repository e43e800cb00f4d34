// The repeat step's counter: how often it jumps, and its reset.
#include "core/repeat_rule.h"

#include <gtest/gtest.h>

namespace ringmere {
namespace {

RepeatRec Rule(Integer stepnum, Byte reptype, Integer repnum) {
    RepeatRec r;
    r.stepnum = stepnum;
    r.reptype = reptype;
    r.repnum = repnum;
    return r;
}

// The sequence of decisions of one repeat step passed `passes` times.
std::vector<std::optional<Integer>> Decisions(const RepeatRec& rule, int passes) {
    Integer counter = 0;
    std::vector<std::optional<Integer>> out;
    for (int i = 0; i < passes; ++i) out.push_back(RepeatJump(rule, counter));
    return out;
}

TEST(RepeatRuleTest, CountedRepeatJumpsRepnumTimesThenResets) {
    using D = std::vector<std::optional<Integer>>;
    const struct {
        RepeatRec rule;
        int passes;
        D expected;
    } cases[] = {
        {Rule(1, 0, 2), 6, {1, 1, std::nullopt, 1, 1, std::nullopt}},
        {Rule(3, 0, 1), 4, {3, std::nullopt, 3, std::nullopt}},
        {Rule(2, 0, 0), 2, {std::nullopt, std::nullopt}},
        {Rule(2, 0, -5), 2, {std::nullopt, std::nullopt}},
        {Rule(0, 0, 1), 2, {1, std::nullopt}},  // damaged target: step 1
        {Rule(-7, 1, 0), 2, {1, 1}},
        {Rule(4, 1, 3), 5, {4, 4, 4, 4, 4}},  // until stopped ignores repnum
    };
    for (const auto& c : cases) EXPECT_EQ(Decisions(c.rule, c.passes), c.expected);
}

TEST(RepeatRuleTest, UntilStoppedCounterNeverOverflows) {
    Integer counter = 2147483646;
    const RepeatRec rule = Rule(1, 1, 0);
    EXPECT_EQ(RepeatJump(rule, counter), 1);
    EXPECT_EQ(RepeatJump(rule, counter), 1);
    EXPECT_EQ(counter, 2147483647);
}

}  // namespace
}  // namespace ringmere
