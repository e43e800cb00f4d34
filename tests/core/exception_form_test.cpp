#include "core/exception_form.h"

#include <gtest/gtest.h>

#include "tests/core/rules_testing.h"

namespace ringmere {
namespace {

using fixtures::DatesRule;
using fixtures::WeekdaysRule;
using fixtures::WindowRule;

DateTime T(int h, int m) {
    return EncodeTime(h, m, 0);
}

TEST(ExceptionForm, ChecksTakeTheChosenPageOnly) {
    const std::string endFirst = "Warning: End time is before start time";
    ExceptionForm dates;
    dates.dates = {"1/15/2026"};
    ExceptionForm daily;
    daily.type = ExceptionChoice::Daily;
    ExceptionForm weekly;
    weekly.type = ExceptionChoice::Weekly;
    struct Case {
        const char* what;
        ExceptionForm form;
        std::optional<std::string> message;
    } cases[] = {
        {"no date", ExceptionForm{}, "Please select at least one date to exclude"},
        {"a date, all day, times reversed",
         [&] {
             auto f = dates;
             f.datesStart = T(13, 0);
             f.datesEnd = T(11, 0);
             return f;
         }(),
         std::nullopt},
        {"a date, between reversed times",
         [&] {
             auto f = dates;
             f.betweenTimes = true;
             f.datesStart = T(13, 0);
             f.datesEnd = T(11, 0);
             return f;
         }(),
         endFirst},
        {"daily 11:00 PM to 1:00 AM",
         [&] {
             auto f = daily;
             f.dailyStart = T(23, 0);
             f.dailyEnd = T(1, 0);
             return f;
         }(),
         endFirst},
        {"daily 9:00 AM to 9:00 AM",
         [&] {
             auto f = daily;
             f.dailyStart = T(9, 0);
             f.dailyEnd = T(9, 0);
             return f;
         }(),
         std::nullopt},
        {"daily, no dates listed", daily, std::nullopt},
        {"weekly, no day", weekly,
         "Warning: No days of week selected. Please select at least one day of the week."},
        {"weekly, Saturday",
         [&] {
             auto f = weekly;
             f.weekdays[6] = true;
             return f;
         }(),
         std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(CheckExceptionForm(c.form), c.message) << c.what;
}

TEST(ExceptionForm, LoadShowsEachKind) {
    const ExceptionForm daily = LoadExceptionForm(WindowRule(T(8, 30), T(17, 0)));
    EXPECT_EQ(daily.type, ExceptionChoice::Daily);
    EXPECT_EQ(daily.dailyStart, T(8, 30));
    EXPECT_EQ(daily.dailyEnd, T(17, 0));

    // Dates in the record's order; only as many as the count names.
    ExRec dates =
        DatesRule({EncodeDate(2026, 3, 1), EncodeDate(2026, 1, 15), EncodeDate(2026, 2, 1)}, 1,
                  T(9, 0), T(10, 0));
    dates.ExDayCnt = 2;
    const ExceptionForm d = LoadExceptionForm(dates);
    EXPECT_EQ(d.type, ExceptionChoice::SelectedDates);
    EXPECT_EQ(d.dates, (std::vector<std::string>{"3/1/2026", "1/15/2026"}));
    EXPECT_TRUE(d.betweenTimes);
    EXPECT_EQ(d.datesStart, T(9, 0));
    EXPECT_EQ(d.datesEnd, T(10, 0));
    EXPECT_FALSE(LoadExceptionForm(DatesRule({EncodeDate(2026, 3, 1)})).betweenTimes);

    // 1 is Sunday; numbers outside 1-7 are ignored.
    const ExceptionForm w = LoadExceptionForm(WeekdaysRule({1, 7, 0, 9}));
    EXPECT_EQ(w.type, ExceptionChoice::Weekly);
    EXPECT_EQ(w.weekdays, (std::array<bool, 7>{true, false, false, false, false, false, true}));
}

TEST(ExceptionForm, StoreWritesOnlyTheChosenKindsFields) {
    // Selected Dates turned into Daily keeps the dates and the selection.
    ExRec rule = DatesRule({EncodeDate(2026, 1, 15), EncodeDate(2026, 2, 1)}, 1, T(9, 0), T(10, 0));
    ExceptionForm form = LoadExceptionForm(rule);
    form.type = ExceptionChoice::Daily;
    form.dailyStart = T(22, 0);
    form.dailyEnd = T(23, 30);
    ExRec expected = rule;
    expected.ExType = 0;
    expected.ExTStart = T(22, 0);
    expected.ExTEnd = T(23, 30);
    StoreException(form, rule);
    EXPECT_EQ(rule, expected);

    // Weekly: the checked days from Sunday, counted.
    form.type = ExceptionChoice::Weekly;
    form.weekdays = {false, true, false, true, false, false, true};
    StoreException(form, rule);
    EXPECT_EQ(rule.ExType, 2);
    EXPECT_EQ(rule.ExWeekDays, (std::vector<Integer>{2, 4, 7}));
    EXPECT_EQ(rule.ExWeekdayNum, 3);
    EXPECT_EQ(rule.ExTStart, T(22, 0));

    // All Day sets the selection and leaves the times.
    form.type = ExceptionChoice::SelectedDates;
    form.dates = {"12/25/2026"};
    form.betweenTimes = false;
    form.datesStart = T(1, 0);
    StoreException(form, rule);
    EXPECT_EQ(rule.ExType, 1);
    EXPECT_EQ(rule.ExDays, (std::vector<DateTime>{EncodeDate(2026, 12, 25)}));
    EXPECT_EQ(rule.ExDayCnt, 1);
    EXPECT_EQ(rule.ExSelType, 0);
    EXPECT_EQ(rule.ExTStart, T(22, 0));
    EXPECT_EQ(rule.ExWeekDays.size(), 3u);

    form.betweenTimes = true;
    StoreException(form, rule);
    EXPECT_EQ(rule.ExSelType, 1);
    EXPECT_EQ(rule.ExTStart, T(1, 0));
    const ExceptionForm back = LoadExceptionForm(rule);
    EXPECT_EQ(back.dates, form.dates);
    EXPECT_EQ(back.datesStart, T(1, 0));
}

ExList FiveRules() {
    ExList l;
    l.Items = {WindowRule(T(1, 0), T(2, 0)), DatesRule({EncodeDate(2026, 1, 1)}), WeekdaysRule({2}),
               WindowRule(T(4, 0), T(5, 0)), WeekdaysRule({6})};
    l.Count = 5;
    return l;
}

TEST(ExceptionForm, DescriptionsAndDeletion) {
    ExList rules = FiveRules();
    EXPECT_EQ(RuleDescription(rules, 1), "1: Daily");
    EXPECT_EQ(RuleDescription(rules, 2), "2: Selected Dates");
    EXPECT_EQ(RuleDescription(rules, 3), "3: Weekly");

    const ExList before = rules;
    DeleteRule(rules, 2);
    ASSERT_EQ(rules.Count, 4);
    ASSERT_EQ(rules.Items.size(), 4u);
    EXPECT_EQ(rules.Items[0], before.Items[0]);
    for (int k = 2; k <= 4; ++k) EXPECT_EQ(rules.Items[k - 1], before.Items[k]) << k;
    EXPECT_EQ(RuleDescription(rules, 2), "2: Weekly");

    for (Integer outside : {0, 5, -1}) {
        DeleteRule(rules, outside);
        EXPECT_EQ(rules.Count, 4) << outside;
    }
}

}  // namespace
}  // namespace ringmere
