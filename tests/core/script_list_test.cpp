// The script step list's rules: deleting and moving steps keeps the script
// runnable, and the buttons follow the selected step.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "core/script_list.h"

namespace ringmere {
namespace {

// A step known by its tag (kept in app1, which no operation touches).
AlEvent Plain(const std::string& tag) {
    AlEvent e;
    e.evtype = kStepSleep;
    e.evname = tag;
    e.Launch->app1 = tag;
    return e;
}

AlEvent Repeat(const std::string& tag, Integer target) {
    AlEvent e;
    e.evtype = kStepRepeat;
    e.evname = RepeatName(target);
    e.Launch->app1 = tag;
    e.Repeat.stepnum = target;
    return e;
}

AlEventList Script(std::vector<AlEvent> steps) {
    return {Integer(steps.size()), std::move(steps)};
}

// "a b r1>1" style: tags, and each repeat step's target.
std::string Shape(const AlEventList& s) {
    std::string out;
    for (const AlEvent& e : s.Items) {
        if (!out.empty()) out += ' ';
        out += e.Launch->app1;
        if (e.evtype == kStepRepeat) {
            out += '>' + std::to_string(e.Repeat.stepnum);
            EXPECT_EQ(e.evname, RepeatName(e.Repeat.stepnum)) << e.Launch->app1;
        }
    }
    return out;
}

TEST(ScriptList, DeleteAndMoveKeepRepeatStepsPointingBack) {
    struct Case {
        const char* what;
        std::vector<AlEvent> steps;
        std::function<Integer(AlEventList&)> op;
        const char* shape;
        Integer selected;
    };
    const Case cases[] = {
        {"deleting step 1 drops the repeat that would lead",
         {Plain("s"), Repeat("r", 1), Plain("p")},
         [](auto& s) { return DeleteStep(s, 1); },
         "p",
         1},
        {"deleting a repeat's target points it at the step before it",
         {Plain("p"), Plain("s"), Repeat("r", 2)},
         [](auto& s) { return DeleteStep(s, 2); },
         "p r>1",
         1},
        {"deleting before a target keeps pointing at the same step",
         {Plain("a"), Plain("b"), Plain("c"), Repeat("r", 3)},
         [](auto& s) { return DeleteStep(s, 1); },
         "b c r>2",
         1},
        {"deleting the last step empties the script",
         {Plain("a")},
         [](auto& s) { return DeleteStep(s, 1); },
         "",
         0},
        {"moving step 1 below a repeat drops that repeat",
         {Plain("s"), Repeat("r", 1), Plain("p")},
         [](auto& s) { return MoveStepDown(s, 1); },
         "s p",
         1},
        {"moving a repeat above its target points it before itself",
         {Plain("a"), Plain("b"), Repeat("r", 2)},
         [](auto& s) { return MoveStepUp(s, 3); },
         "a r>1 b",
         2},
        {"moving a target up is followed by its repeat",
         {Plain("a"), Plain("b"), Plain("c"), Repeat("r", 3)},
         [](auto& s) { return MoveStepUp(s, 3); },
         "a c b r>2",
         2},
        {"moving down swaps and selects the moved step",
         {Plain("a"), Plain("b"), Plain("c")},
         [](auto& s) { return MoveStepDown(s, 2); },
         "a c b",
         3},
        {"moving the last step down does nothing",
         {Plain("a"), Plain("b")},
         [](auto& s) { return MoveStepDown(s, 2); },
         "a b",
         2},
        {"moving a repeat up into first place drops it",
         {Plain("a"), Repeat("r", 1), Plain("b")},
         [](auto& s) { return MoveStepUp(s, 2); },
         "a b",
         1},
    };
    for (const Case& c : cases) {
        AlEventList s = Script(c.steps);
        const Integer selected = c.op(s);
        EXPECT_EQ(Shape(s), c.shape) << c.what;
        EXPECT_EQ(selected, c.selected) << c.what;
        EXPECT_EQ(s.Count, Integer(s.Items.size())) << c.what;
    }
}

TEST(ScriptList, ButtonsFollowTheSelectedStep) {
    const AlEventList three = Script({Plain("a"), Repeat("r", 1), Plain("b")});
    struct Case {
        AlEventList script;
        Integer selected;
        bool client;
        ScriptButtons expected;  // add, edit, remove, up, down
    };
    const Case cases[] = {
        {Script({}), 0, false, {true, false, false, false, false}},
        {Script({Plain("a")}), 1, false, {true, true, true, false, false}},
        {three, 1, false, {true, true, true, false, true}},
        {three, 2, false, {true, true, true, false, true}},  // a repeat never leads
        {three, 3, false, {true, true, true, true, false}},
        {three, 3, true, {false, true, false, false, false}},
        {three, 4, false, {true, false, false, false, false}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScriptButtonStates(c.script, c.selected, c.client), c.expected)
            << "selected " << c.selected << (c.client ? " client" : "");
}

// Random edits as a user could make them through the buttons, and a few no
// button allows: after each the script is runnable and the selection real.
TEST(ScriptList, RandomEditsKeepTheScriptRunnable) {
    std::mt19937 rng(1407);
    auto below = [&](int n) { return int(rng() % unsigned(n)); };
    for (int round = 0; round < 200; ++round) {
        AlEventList s;
        Integer selected = 0;
        int tags = 0;
        for (int op = 0; op < 40; ++op) {
            const AlEventList before = s;
            const Integer n = StepCount(s);
            const ScriptButtons buttons = ScriptButtonStates(s, selected, false);
            const int choice = below(5);
            std::string what;
            if (choice <= 1 || n == 0) {
                const std::string tag = "t" + std::to_string(++tags);
                // The step editor offers a repeat only with a step to go back to.
                const bool repeat = n > 0 && below(3) == 0;
                s.Items.push_back(repeat ? Repeat(tag, 1 + below(n)) : Plain(tag));
                s.Count = n + 1;
                selected = s.Count;
                what = "add";
            } else {
                const Integer k = below(4) == 0 ? 1 + below(n) : selected;
                if (choice == 2) {
                    selected = DeleteStep(s, k);
                    what = "delete " + std::to_string(k);
                } else if (choice == 3) {
                    const bool allowed = k == selected && buttons.up;
                    selected = MoveStepUp(s, k);
                    what = "up " + std::to_string(k);
                    if (allowed) {
                        EXPECT_EQ(StepCount(s), n) << what << " lost a step";
                    }
                } else {
                    selected = MoveStepDown(s, k);
                    what = "down " + std::to_string(k);
                }
            }
            SCOPED_TRACE(Shape(before) + " | " + what + " -> " + Shape(s));
            const Integer count = StepCount(s);
            ASSERT_EQ(count, Integer(s.Items.size()));
            if (count > 0) {
                EXPECT_NE(s.Items[0].evtype, kStepRepeat);
                ASSERT_GE(selected, 1);
                ASSERT_LE(selected, count);
            } else {
                EXPECT_EQ(selected, 0);
            }
            for (Integer p = 1; p <= count; ++p) {
                const AlEvent& e = s.Items[std::size_t(p - 1)];
                if (e.evtype != kStepRepeat) continue;
                EXPECT_GE(e.Repeat.stepnum, 1);
                EXPECT_LT(e.Repeat.stepnum, p);
                // A target still before its repeat step is still the same step.
                for (const AlEvent& old : before.Items) {
                    if (old.Launch->app1 != e.Launch->app1) continue;
                    const std::string target =
                        before.Items[std::size_t(old.Repeat.stepnum - 1)].Launch->app1;
                    for (Integer q = 1; q < p; ++q) {
                        if (s.Items[std::size_t(q - 1)].Launch->app1 == target) {
                            EXPECT_EQ(e.Repeat.stepnum, q) << e.Launch->app1;
                        }
                    }
                }
            }
            const ScriptButtons after = ScriptButtonStates(s, selected, false);
            EXPECT_EQ(after.edit, count > 0);
            EXPECT_EQ(after.up,
                      selected > 1 && !(selected == 2 && s.Items[1].evtype == kStepRepeat));
            EXPECT_EQ(after.down, selected >= 1 && selected < count);
            if (HasFailure()) return;
        }
    }
}

}  // namespace
}  // namespace ringmere
