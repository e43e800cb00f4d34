// Parameter splitting: what a shell would make of the words, without ever
// running one.
#include "core/cmdline.h"

#include <gtest/gtest.h>

namespace ringmere {
namespace {

using Words = std::vector<std::string>;

TEST(SplitArgumentsTest, Table) {
    const struct {
        const char* text;
        Words words;
    } cases[] = {
        {"", {}},
        {"   \t ", {}},
        {"-v file.txt", {"-v", "file.txt"}},
        {"  a   b  ", {"a", "b"}},
        {"\"my file.txt\"", {"my file.txt"}},
        {"'my file.txt'", {"my file.txt"}},
        {"my\\ file.txt", {"my file.txt"}},
        {"a;b", {"a;b"}},
        {"a ; rm -rf /", {"a", ";", "rm", "-rf", "/"}},
        {"$(reboot) `id` *", {"$(reboot)", "`id`", "*"}},
        {"'$HOME' \"$HOME\"", {"$HOME", "$HOME"}},
        {"\"say \\\"hi\\\"\"", {"say \"hi\""}},
        {"\"keep \\n\"", {"keep \\n"}},
        {"'single \\ stays'", {"single \\ stays"}},
        {"pre\"mid dle\"post", {"premid dlepost"}},
        {"\"\" ''", {"", ""}},
        {"\"open quote", {"open quote"}},
        {"'open single", {"open single"}},
        {"trailing\\", {"trailing\\"}},
        {"one\\\ntwo", {"onetwo"}},
        {"line1\nline2", {"line1", "line2"}},
        {"ä \"ö ü\"", {"ä", "ö ü"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitArguments(c.text), c.words) << c.text;
}

}  // namespace
}  // namespace ringmere
