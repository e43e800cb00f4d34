#include "core/exception_rules.h"
#include "tests/core/rules_testing.h"

#include <gtest/gtest.h>

namespace ringmere {
namespace {

using fixtures::DatesRule;
using fixtures::WeekdaysRule;
using fixtures::WindowRule;

DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, s);
}

ExList Rules(std::vector<ExRec> rules) {
    ExList l;
    l.Count = static_cast<Integer>(rules.size());
    l.Items = std::move(rules);
    return l;
}

TEST(ExceptionRules, EachKindExcludesWhatItNames) {
    const ExRec morning = WindowRule(EncodeTime(8, 0, 0), EncodeTime(10, 0, 0));
    const ExRec christmas = DatesRule({EncodeDate(2004, 12, 25)});
    const ExRec mayLunch =
        DatesRule({EncodeDate(2004, 5, 1)}, 1, EncodeTime(12, 0, 0), EncodeTime(13, 0, 0));
    const ExRec weekend = WeekdaysRule({1, 7});
    const ExRec overnight = WindowRule(EncodeTime(22, 0, 0), EncodeTime(6, 0, 0));
    struct Case {
        const char* what;
        const ExRec& rule;
        DateTime moment;
        bool excluded;
    } cases[] = {
        {"window start", morning, At(2004, 3, 10, 8, 0, 0), true},
        {"window end", morning, At(2004, 3, 10, 10, 0, 0), true},
        {"after the window", morning, At(2004, 3, 10, 10, 0, 1), false},
        {"before the window", morning, At(2004, 3, 10, 7, 59, 59), false},
        {"listed date, first second", christmas, At(2004, 12, 25, 0, 0, 0), true},
        {"listed date, last second", christmas, At(2004, 12, 25, 23, 59, 59), true},
        {"the day before", christmas, At(2004, 12, 24, 23, 59, 59), false},
        {"not an anniversary", christmas, At(2005, 12, 25, 9, 0, 0), false},
        {"date window", mayLunch, At(2004, 5, 1, 12, 30, 0), true},
        {"date, outside its window", mayLunch, At(2004, 5, 1, 14, 0, 0), false},
        {"window, other date", mayLunch, At(2004, 5, 2, 12, 30, 0), false},
        {"Saturday", weekend, At(2004, 3, 13, 9, 0, 0), true},
        {"Sunday", weekend, At(2004, 3, 14, 23, 0, 0), true},
        {"Monday", weekend, At(2004, 3, 15, 0, 0, 0), false},
        {"past midnight, late", overnight, At(2004, 3, 10, 23, 0, 0), false},
        {"past midnight, early", overnight, At(2004, 3, 10, 5, 0, 0), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(RuleExcludes(c.rule, c.moment), c.excluded);
    }
}

// A moment reached by adding day fractions is a hair off the second; the
// window's end must still hold it.
TEST(ExceptionRules, WindowEndHoldsAComputedMoment) {
    const ExRec morning = WindowRule(EncodeTime(8, 0, 0), EncodeTime(10, 0, 0));
    DateTime m = EncodeDate(2004, 3, 10) + 9.0 / 24;
    for (int i = 0; i < 4; ++i) m += 15.0 / 1440;
    EXPECT_NE(m, At(2004, 3, 10, 10, 0, 0));  // not exact...
    EXPECT_TRUE(RuleExcludes(morning, m));    // ...and excluded all the same
    EXPECT_FALSE(RuleExcludes(morning, m + 1.0 / 86400));
}

TEST(ExceptionRules, OddRulesExcludeNothingAndDoNotOverrun) {
    ExRec unknown = WindowRule(0, EncodeTime(23, 59, 59));
    unknown.ExType = 7;
    EXPECT_FALSE(RuleExcludes(unknown, At(2004, 3, 10, 12)));

    ExRec oddSelection = DatesRule({EncodeDate(2004, 3, 10)}, 4);
    EXPECT_FALSE(RuleExcludes(oddSelection, At(2004, 3, 10, 12)));

    // Counts beyond the lists, as a damaged record may have.
    ExRec dates = DatesRule({EncodeDate(2004, 3, 10)});
    dates.ExDayCnt = 1000;
    EXPECT_TRUE(RuleExcludes(dates, At(2004, 3, 10, 12)));
    ExRec days = WeekdaysRule({4});
    days.ExWeekdayNum = -3;
    EXPECT_FALSE(RuleExcludes(days, At(2004, 3, 10, 12)));

    Globals g;
    g.GlobalExceptions.Count = 5;  // and no rules at all
    EXPECT_TRUE(OccurrenceAllowed(g, 1, At(2004, 3, 10, 12)));
}

TEST(ExceptionRules, GlobalAndOwnRulesBothApply) {
    Globals g;
    g.ResetAlarmTable(2);
    g.AlarmCount = 2;
    g.GlobalExceptions = Rules({WeekdaysRule({1})});
    g.AlarmTable[2].Exceptions = Rules({WindowRule(EncodeTime(8, 0, 0), EncodeTime(9, 0, 0))});
    const DateTime sunday = At(2004, 3, 14, 12), mondayEight = At(2004, 3, 15, 8, 30);
    EXPECT_FALSE(OccurrenceAllowed(g, 1, sunday));  // an alarm without rules of its own
    EXPECT_FALSE(OccurrenceAllowed(g, 2, sunday));
    EXPECT_TRUE(OccurrenceAllowed(g, 1, mondayEight));
    EXPECT_FALSE(OccurrenceAllowed(g, 2, mondayEight));
    EXPECT_TRUE(OccurrenceAllowed(g, 2, At(2004, 3, 15, 9, 0, 1)));
    // Out of the table only the global rules are left.
    EXPECT_TRUE(OccurrenceAllowed(g, 9, mondayEight));
    EXPECT_FALSE(OccurrenceAllowed(g, -1, sunday));
}

TEST(ExceptionRules, AlwaysExcludedWarnings) {
    TimeRec daily;
    daily.AlType = 0;
    daily.AlEndType = 1;
    daily.AlTime = EncodeTime(9, 0, 0);
    TimeRec once = daily;
    once.AlEndType = 0;
    TimeRec weekend;
    weekend.AlType = 1;
    weekend.AlEndType = 1;
    weekend.AlWeekdaynum = 2;
    weekend.AlWeekdays = {7, 1};
    TimeRec noDays = weekend;
    noDays.AlWeekdaynum = 0;
    TimeRec monthly = daily;
    monthly.AlType = 2;

    const ExList morning = Rules({WindowRule(EncodeTime(8, 0, 0), EncodeTime(10, 0, 0))});
    const ExList endsAtNine = Rules({WindowRule(EncodeTime(8, 0, 0), EncodeTime(9, 0, 0))});
    const ExList afternoon = Rules({WindowRule(EncodeTime(12, 0, 0), EncodeTime(18, 0, 0))});
    const ExList bothDays = Rules({WeekdaysRule({1, 7})});
    const ExList apart = Rules({WeekdaysRule({1}), WeekdaysRule({7})});
    const ExList laterRule = Rules({WeekdaysRule({2}), WeekdaysRule({3, 7, 1})});
    struct Case {
        const char* what;
        const TimeRec& schedule;
        const ExList& rules;
        int result;
    } cases[] = {
        {"time in a window", daily, morning, kTimeAlwaysExcluded},
        {"time at the window's end", daily, endsAtNine, kTimeAlwaysExcluded},
        {"time outside", daily, afternoon, kNotAlwaysExcluded},
        {"individual", once, morning, kNotAlwaysExcluded},
        {"one rule for both days", weekend, bothDays, kWeekdaysAlwaysExcluded},
        {"a later rule covers them", weekend, laterRule, kWeekdaysAlwaysExcluded},
        {"two rules, one day each", weekend, apart, kNotAlwaysExcluded},
        {"no weekdays", noDays, bothDays, kNotAlwaysExcluded},
        {"other kinds", monthly, morning, kNotAlwaysExcluded},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(AlwaysExcluded(c.schedule, c.rules), c.result);
    }
}

}  // namespace
}  // namespace ringmere
