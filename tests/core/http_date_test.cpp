#include "core/http_date.h"

#include <gtest/gtest.h>

namespace ringmere {
namespace {

TEST(HttpDate, ThreeFormsInUtcAndNothingElse) {
    const DateTime expected = EncodeDate(1994, 11, 6) + EncodeTime(8, 49, 37);
    for (const char* text : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                             "Sun Nov  6 08:49:37 1994", "  Sun, 06 Nov 1994 08:49:37 GMT "}) {
        const auto d = ParseHttpDate(text);
        ASSERT_TRUE(d) << text;
        EXPECT_NEAR(*d, expected, 0.1 / kSecondsPerDay) << text;
    }
    // Two-digit years of the 2000s.
    ASSERT_TRUE(ParseHttpDate("Monday, 27-Oct-25 01:30:00 GMT"));
    EXPECT_NEAR(*ParseHttpDate("Monday, 27-Oct-25 01:30:00 GMT"),
                EncodeDate(2025, 10, 27) + EncodeTime(1, 30, 0), 0.1 / kSecondsPerDay);
    for (const char* bad :
         {"", "yesterday", "Sun, 06 Nov 1994 08:49:37 PST", "Sun, 31 Feb 1994 08:49:37 GMT",
          "Sun, 06 Nov 1994 24:00:00 GMT", "Sun, 06 Foo 1994 08:49:37 GMT",
          "Sun, 06 Nov 94 08:49:37 GMT", "Sunday, 06-Nov-1994 08:49:37 GMT",
          "Sun Nov  6 08:49 1994", "Sun, 06 Nov 1994 08:49:37"})
        EXPECT_FALSE(ParseHttpDate(bad)) << bad;
}

}  // namespace
}  // namespace ringmere
