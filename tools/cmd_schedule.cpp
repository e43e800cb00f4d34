// schedule: the schedule table a file gives at a chosen moment.
#include <charconv>
#include <iostream>

#include "core/schedule.h"
#include "tools/cli.h"

namespace ringmere::cli {

namespace {

// No table is anywhere near this long; it only keeps a typo from running
// for minutes.
constexpr int kMaxCount = 100000;

std::optional<int> ParseCount(const std::string& text) {
    int n = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc{} || ptr != text.data() + text.size()) return std::nullopt;
    if (n < 1 || n > kMaxCount) return std::nullopt;
    return n;
}

int PrintSchedule(const std::vector<std::string>& args, const char* command, int count) {
    std::string file;
    std::optional<DateTime> now;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--now" || a == "--count") {
            if (i + 1 >= args.size()) return Fail(a + " needs a value");
            const std::string& value = args[++i];
            if (a == "--now") {
                now = ParseMoment(value);
                if (!now) return Fail("--now takes \"M/d/yyyy hh:mm:ssAM\", not '" + value + "'");
            } else if (const auto n = ParseCount(value)) {
                count = *n;
            } else {
                return Fail("--count takes a whole number from 1 to " + std::to_string(kMaxCount) +
                            ", not '" + value + "'");
            }
        } else if (!a.empty() && a[0] == '-') {
            return Fail("unknown option '" + a + "' (see ringmere-cli " + command + " --help)");
        } else if (file.empty()) {
            file = a;
        } else {
            return Fail(std::string(command) + " takes one FILE (see ringmere-cli " + command +
                        " --help)");
        }
    }
    if (file.empty())
        return Fail(std::string(command) + " takes one FILE (see ringmere-cli " + command +
                    " --help)");

    Globals g;
    StderrReporter reporter;
    const LoadedFile loaded = LoadAsLocalFile(g, file, reporter);
    if (loaded.result == kFileCannotOpen) return Fail("cannot read " + file);
    if (loaded.result != kFileDone) {
        std::cerr << "Nothing shown: the file could not be read to its end.\n";
        return kExitProblems;
    }
    const std::vector<ScheduleEntry> table = now ? ComputeSchedule(g, *now, count)
                                                 : ComputeSchedule(g, CurrentClock().NowInstant(), count);
    std::string out;
    for (std::size_t r = 0; r < table.size(); ++r) {
        out += std::to_string(r + 1);
        out += '\t';
        out += FormatDateTime(table[r].When);
        out += '\t';
        out += g.AlarmTable[table[r].AlarmIndex].AlName;
        out += '\n';
    }
    std::cout << out;
    return loaded.messages == 0 ? kExitOk : kExitProblems;
}

int RunSchedule(const std::vector<std::string>& args) {
    return PrintSchedule(args, "schedule", kScheduleSize);
}

constexpr int kNextCount = 10;

int RunNext(const std::vector<std::string>& args) {
    return PrintSchedule(args, "next", kNextCount);
}

const Register schedule{{
    "schedule",
    "FILE [--now \"M/d/yyyy hh:mm:ssAM\"] [--count N]",
    "Print the schedule table FILE gives: when each alarm goes off next.",
    "FILE is read as 'check' reads it. The table is built as the program builds it\n"
    "after every ring and every change: the next occurrences of all enabled alarms,\n"
    "earliest first, alarms due at the same moment in file order.\n"
    "\n"
    "  --now MOMENT  build the table at MOMENT instead of the current time, e.g.\n"
    "                \"3/12/2004 09:00:00AM\" (the date alone means its midnight)\n"
    "                in the local time zone; a time the clock shows twice is its\n"
    "                first pass\n"
    "  --count N     print N rows instead of the program's 40 (1 to 100000)\n"
    "\n"
    "One row per line: the row number, a tab, the moment (\"3/12/2004 09:00:00AM\"),\n"
    "a tab and the alarm's name.\n"
    "Exit status: 0 no messages, 1 the reader reported messages (the table is still\n"
    "printed when the file was read to its end), 2 bad arguments or FILE cannot be read.\n",
    RunSchedule,
}};

const Register next{{
    "next",
    "FILE [--count N] [--now \"M/d/yyyy hh:mm:ssAM\"]",
    "Print the next activations of all alarms in FILE, earliest first.",
    "The rows 'schedule' prints, 10 unless --count says (1 to 100000): the row number,\n"
    "a tab, the moment (\"3/12/2004 09:00:00AM\"), a tab and the alarm's name.\n"
    "  --now MOMENT  from MOMENT instead of the current time\n"
    "Exit status: 0 no messages, 1 the reader reported messages, 2 bad arguments or\n"
    "FILE cannot be read.\n",
    RunNext,
}};

}  // namespace

}  // namespace ringmere::cli
