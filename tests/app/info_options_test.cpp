// `ringmere --help` and `--version` answer without starting; everything else starts.
#include <gtest/gtest.h>
#include <sstream>

#include "app/info_options.h"

namespace ringmere::app {
namespace {

TEST(InfoOptions, AnsweredOnlyWhenAsked) {
    struct Case {
        std::vector<std::string> args;
        const char* begins;  // nullptr: the program starts
    } cases[] = {
        {{"ringmere"}, nullptr},
        {{"ringmere", "startup"}, nullptr},
        {{"ringmere", "-platform", "offscreen"}, nullptr},
        {{"ringmere", "--helpful"}, nullptr},
        {{"--help"}, nullptr},  // the program path is no option
        {{}, nullptr},
        {{"ringmere", "--help"}, "Usage: ringmere [startup]\n"},
        {{"ringmere", "startup", "-h"}, "Usage: ringmere [startup]\n"},
        {{"ringmere", "--version", "--help"}, "Usage: ringmere [startup]\n"},
        {{"ringmere", "--version"}, "ringmere "},
        {{"ringmere", "-platform", "offscreen", "-v"}, "ringmere "},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        const auto status = AnswerInfoOption(c.args, out);
        const std::string label = ::testing::PrintToString(c.args);
        if (!c.begins) {
            EXPECT_FALSE(status) << label;
            EXPECT_EQ(out.str(), "") << label;
            continue;
        }
        EXPECT_EQ(status, 0) << label;
        EXPECT_EQ(out.str().rfind(c.begins, 0), 0u) << label << out.str();
    }
}

}  // namespace
}  // namespace ringmere::app
