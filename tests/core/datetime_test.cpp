#include "core/datetime.h"

#include <gtest/gtest.h>

namespace ringmere {
namespace {

TEST(DateTime, CalendarRoundTrip) {
    struct Case {
        int y, m, d;
        double serial;
    } cases[] = {
        {1899, 12, 30, 0},     {1900, 1, 1, 2},         {2000, 2, 29, 36585}, {2004, 3, 7, 38053},
        {1600, 3, 1, -109511}, {9999, 12, 31, 2958465}, {1, 1, 1, -693593},   {2026, 12, 9, 46365},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serial);
        ASSERT_TRUE(TryEncodeDate(c.y, c.m, c.d));
        EXPECT_EQ(*TryEncodeDate(c.y, c.m, c.d), c.serial);
        EXPECT_EQ(DecodeDate(c.serial), (CivilDate{c.y, c.m, c.d}));
    }
    // Every day of four centuries decodes back to itself.
    for (double d = -36522; d < 110000; d += 1) {
        const CivilDate c = DecodeDate(d);
        ASSERT_EQ(*TryEncodeDate(c.year, c.month, c.day), d);
    }
}

TEST(DateTime, InvalidDatesAreRefused) {
    EXPECT_FALSE(TryEncodeDate(2001, 2, 29));
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29));
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29));
    EXPECT_FALSE(TryEncodeDate(2004, 13, 1));
    EXPECT_FALSE(TryEncodeDate(2004, 4, 31));
    EXPECT_FALSE(TryEncodeDate(0, 1, 1));
}

TEST(DateTime, WeekdaysCountFromSunday) {
    EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7);  // Saturday
    EXPECT_EQ(DayOfWeek(EncodeDate(2004, 3, 7)), 1);    // Sunday
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 9)), 4);   // Wednesday
    EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 29)), 6);
    EXPECT_EQ(DayOfWeek(-1.75), 6);  // 29/12/1899 18:00: before the epoch the time counts forwards
}

TEST(DateTime, LongTimeForm) {
    struct Case {
        int h, m, s;
        const char* text;
    } cases[] = {
        {0, 0, 0, "12:00:00AM"}, {12, 0, 0, "12:00:00PM"},   {21, 5, 0, "09:05:00PM"},
        {9, 5, 7, "09:05:07AM"}, {23, 59, 59, "11:59:59PM"}, {13, 0, 1, "01:00:01PM"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const DateTime t = EncodeTime(c.h, c.m, c.s);
        EXPECT_EQ(FormatLongTime(t), c.text);
        ASSERT_TRUE(ParseLongTime(c.text));
        EXPECT_EQ(FormatLongTime(*ParseLongTime(c.text)), c.text);
        EXPECT_NEAR(*ParseLongTime(c.text), t, 1e-12);
    }
}

TEST(DateTime, FormattingRoundsToTheNearestSecond) {
    // Ten o'clock reached by adding quarter hours in floating point.
    DateTime t = 0;
    for (int i = 0; i < 40; ++i) t += 15.0 / 1440.0;
    EXPECT_EQ(FormatLongTime(t), "10:00:00AM");
    EXPECT_EQ(FormatLongTime(EncodeTime(9, 59, 59, 600)), "10:00:00AM");
    EXPECT_EQ(FormatLongTime(EncodeTime(9, 59, 59, 400)), "09:59:59AM");
    // Rounding past midnight moves the date too.
    EXPECT_EQ(FormatDateTime(EncodeDate(2004, 3, 7) + EncodeTime(23, 59, 59, 700)),
              "3/8/2004 12:00:00AM");
    EXPECT_EQ(FormatShortDate(EncodeDate(2004, 3, 7)), "3/7/2004");
    // The year always has four digits, so an early year reads back as itself.
    EXPECT_EQ(FormatShortDate(EncodeDate(50, 3, 7)), "3/7/0050");
    EXPECT_EQ(FormatShortDate(*ParseShortDate("3/7/0050")), "3/7/0050");
}

TEST(DateTime, ParsesHandWrittenTimes) {
    struct Case {
        const char* text;
        const char* expect;  // nullptr: refused
    } cases[] = {
        {"9:05 PM", "09:05:00PM"},
        {"21:05", "09:05:00PM"},
        {"09:05:00pm", "09:05:00PM"},
        {" 09:05:00AM ", "09:05:00AM"},
        {"12:30:00AM", "12:30:00AM"},
        {"00:00:00", "12:00:00AM"},
        {"", nullptr},
        {"13:00:00PM", nullptr},
        {"24:00:00", nullptr},
        {"10:60:00", nullptr},
        {"10", nullptr},
        {"10:00:00XM", nullptr},
        {"abc", nullptr},
        {"10:00:00AMX", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto t = ParseLongTime(c.text);
        if (!c.expect) {
            EXPECT_FALSE(t);
        } else {
            ASSERT_TRUE(t);
            EXPECT_EQ(FormatLongTime(*t), c.expect);
        }
    }
}

TEST(DateTime, ParsesShortDates) {
    struct Case {
        const char* text;
        const char* expect;
    } cases[] = {
        {"3/7/2004", "3/7/2004"},
        {"03/07/2004", "3/7/2004"},
        {"12/31/9999", "12/31/9999"},
        {"2/29/2001", nullptr},
        {"13/1/2004", nullptr},
        {"3-7-2004", nullptr},
        {"", nullptr},
        {"3/7", nullptr},
        {"3/7/2004x", nullptr},
        {"3/7/04", "3/7/2004"},
        {"3/7/99", "3/7/1999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto d = ParseShortDate(c.text);
        if (!c.expect) {
            EXPECT_FALSE(d);
        } else {
            ASSERT_TRUE(d);
            EXPECT_EQ(FormatShortDate(*d), c.expect);
        }
    }
}

}  // namespace
}  // namespace ringmere
