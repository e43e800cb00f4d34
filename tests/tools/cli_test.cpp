// ringmere-cli as a user runs it: a real process, its exit status and output.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out, err;
};

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void Spit(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary);
    out << text;
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/ringmere-cli-test-XXXXXX";
        dir_ = mkdtemp(tmpl);
    }
    void TearDown() override { fs::remove_all(dir_); }

    Result Run(const std::vector<std::string>& args) {
        std::string cmd = RINGMERE_CLI;
        for (const std::string& a : args) cmd += " '" + a + "'";
        cmd += " >" + (dir_ / "out").string() + " 2>" + (dir_ / "err").string();
        const int raw = std::system(cmd.c_str());
        Result r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = Slurp(dir_ / "out");
        r.err = Slurp(dir_ / "err");
        return r;
    }

    // The sample, with its AlarmFile line pointing where the program would
    // write it from this directory, so a rewrite can match byte for byte.
    fs::path SampleHere() {
        std::string text = Slurp(fs::path(RINGMERE_TEST_DATA) / "sample/alfile.ini");
        const std::string key = "AlarmFile=";
        const auto at = text.find(key);
        const auto end = text.find("\r\n", at);
        text.replace(at + key.size(), end - at - key.size(), (dir_ / "alfile.ini").string());
        Spit(dir_ / "alfile.ini", text);
        return dir_ / "alfile.ini";
    }

    fs::path dir_;
};

int Lines(const std::string& s) {
    int n = 0;
    for (char c : s) n += c == '\n';
    return n;
}

TEST_F(Cli, CheckReportsEveryMessageAndSetsTheExitStatus) {
    const fs::path good = SampleHere();
    Result r = Run({"check", good.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");

    std::string text = Slurp(good);
    const auto at = text.find("AlStartDate=");
    text.replace(at, text.find("\r\n", at) - at, "AlStartDate=13/45/2004");
    Spit(dir_ / "broken.ini", text);
    r = Run({"check", (dir_ / "broken.ini").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error converting date value: 13/45/2004\n");
}

TEST_F(Cli, ErrorsAreOneLineWithStatusTwo) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"check", (dir_ / "missing.ini").string()},
             {"dump", (dir_ / "missing.ini").string()},
             {"rewrite", (dir_ / "missing.ini").string(), (dir_ / "out.ini").string()},
             {"frobnicate"},
             {"check"},
             {"rewrite", "only-one"},
         }) {
        SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
        const Result r = Run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(Lines(r.err), 1) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir_ / "out.ini"));
}

TEST_F(Cli, AFileThatCannotBeReadIsNamedWithTheReason) {
    ASSERT_EQ(mkfifo((dir_ / "pipe").c_str(), 0600), 0);
    Spit(dir_ / "huge", "");
    fs::resize_file(dir_ / "huge", (std::uintmax_t{512} << 20) + 1);  // sparse
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::string d = dir_.string() + "/";
    const Case cases[] = {
        {{"check", d + "pipe"},
         "cannot read " + d + "pipe: it is a named pipe (FIFO), not a regular file"},
        {{"check", "/dev/null"},
         "cannot read /dev/null: it is a character device, not a regular file"},
        {{"check", "/proc/self/mem"}, "cannot read /proc/self/mem: Input/output error"},
        {{"check", d + "huge"}, "cannot read " + d + "huge: it is larger than 512 MiB"},
        {{"check", d + "none"}, "cannot read " + d + "none: No such file or directory"},
        {{"rewrite", d + "pipe", d + "out.ini"}, "cannot read " + d + "pipe: it is a named pipe"},
        {{"rewrite", SampleHere().string(), d + "no/out.ini"},
         "cannot create " + d + "no/out.ini: No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1]);
        const Result r = Run(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        EXPECT_EQ(Lines(r.err), 1) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir_ / "out.ini"));
}

TEST_F(Cli, HelpForTheToolAndEachCommand) {
    Result r = Run({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* command : {"check", "rewrite", "dump", "list", "add", "enable", "disable",
                                "delete", "rename", "next"}) {
        EXPECT_NE(r.out.find(command), std::string::npos) << command;
        const Result own = Run({command, "--help"});
        EXPECT_EQ(own.status, 0) << command;
        EXPECT_NE(own.out.find(std::string("Usage: ringmere-cli ") + command), std::string::npos);
    }
}

TEST_F(Cli, RewriteOfACurrentFileIsByteForByte) {
    const fs::path in = SampleHere();
    const Result r = Run({"rewrite", in.string(), (dir_ / "out.ini").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slurp(dir_ / "out.ini"), Slurp(in));
}

// The rewritten file holds the passwords as the original does.
TEST_F(Cli, RewriteLeavesItsOutputToTheOwner) {
    const mode_t oldMask = umask(022);
    const fs::path in = SampleHere();
    const fs::path out = dir_ / "out.ini";
    const struct {
        int before;  // -1: no file yet
        mode_t after;
        int status;
    } cases[] = {{-1, 0600, 0}, {0644, 0600, 0}, {0600, 0600, 0}, {0400, 0400, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before);
        std::error_code ec;
        fs::remove(out, ec);
        if (c.before >= 0) {
            Spit(out, "old");
            fs::permissions(out, fs::perms(c.before));
        }
        const Result r = Run({"rewrite", in.string(), out.string()});
        EXPECT_EQ(r.status, c.status) << r.err;
        struct stat st {};
        ASSERT_EQ(stat(out.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.after) << std::oct << (st.st_mode & 07777);
    }
    umask(oldMask);
}

TEST_F(Cli, RewriteUpgradesAnOldFile) {
    // A version 1.3 file: no download block, no per-alarm snooze block.
    const std::string old =
        "[Alarm Info]\r\nVersion=1.3\r\nUseSMTP=0\r\nSMTP Server=mail\r\nReplyTo=\r\n"
        "UserMode=Single\r\nAlarmFile=x\r\n[sw129]\r\ngExCnt=0\r\nAlarm Count=0\r\n";
    Spit(dir_ / "alfile.ini", old);
    const Result r = Run({"rewrite", (dir_ / "alfile.ini").string(), (dir_ / "new.ini").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string out = Slurp(dir_ / "new.ini");
    EXPECT_NE(out.find("\r\nVersion=2.10\r\n"), std::string::npos);
    EXPECT_NE(out.find("\r\nallowWake=0\r\n"), std::string::npos);  // true, inverted
    EXPECT_NE(out.find("\r\nSMTP Server=mail\r\n"), std::string::npos);
    EXPECT_EQ(Slurp(dir_ / "alfile.ini"), old);  // the source is never touched
}

TEST_F(Cli, RewriteRefusesAFileReadOnlyInPart) {
    std::string text = Slurp(SampleHere());
    const auto at = text.find("snoozeming=");
    text.replace(at, text.find("\r\n", at) - at, "snoozeming=five");
    Spit(dir_ / "alfile.ini", text);
    const Result r = Run({"rewrite", (dir_ / "alfile.ini").string(), (dir_ / "out.ini").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error Reading Input File: snoozeming"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "out.ini"));
}

TEST_F(Cli, DumpShowsTheRecordsAsJson) {
    const Result r = Run({"dump", SampleHere().string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["AlarmCount"], 4);
    EXPECT_EQ(json["gExCnt"], 1);
    EXPECT_EQ(json["GlobalExceptions"][0]["ExDays"][0], "12/25/2026");
    const auto& first = json["Alarms"][0];
    EXPECT_EQ(first["AlName"], "Morning stand-up");
    EXPECT_EQ(first["AlMessage"], "Stand-up in the big room\r\nBring the sprint board");
    EXPECT_EQ(first["Schedule"]["AlTime"], "09:30:00AM");
    EXPECT_EQ(first["Schedule"]["AlWeekdays"], nlohmann::json({2, 3, 4, 5, 6}));
    EXPECT_EQ(first["enabled"], true);
    const auto& script = json["Alarms"][2];
    EXPECT_EQ(script["AlName"], "Nightly backup [scripted]");
    EXPECT_EQ(script["Events"].size(), 4u);
    EXPECT_EQ(script["Events"][3]["Repeat"]["stepnum"], 2);
}

// Only what was read, with the message that says why the rest is missing.
TEST_F(Cli, DumpAfterAnAbandonedReadShowsWhatWasRead) {
    const std::string sample = Slurp(SampleHere());
    const auto replaced = [&](const std::string& after, const std::string& from,
                              const std::string& to) {
        std::string text = sample;
        const auto at = text.find(from, text.find(after));
        text.replace(at, from.size(), to);
        return text;
    };
    struct Case {
        std::string text;
        std::string err;
        std::size_t alarms;
    } cases[] = {
        {replaced("[Alarm 2]", "AlXDays=", "AlXDays=x"), "Error Reading Input File: AlXDays\n", 2},
        {replaced("", "Alarm Count=4", "Alarm Count=6"), "Error reading Alarm Header\n", 5},
        {replaced("", "UserMode=Single", "UserMode=WClient"), "Error: no downloaded copy", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        Spit(dir_ / "alfile.ini", c.text);
        const Result r = Run({"dump", (dir_ / "alfile.ini").string()});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        const auto json = nlohmann::json::parse(r.out);
        EXPECT_EQ(json["Alarms"].size(), c.alarms);
    }
}

TEST_F(Cli, DumpShowsOldEightBitTextsAsWindows1252) {
    std::string text = Slurp(SampleHere());
    const auto at = text.find("AlName=Morning stand-up");
    text.replace(at, std::string("AlName=Morning stand-up").size(), "AlName=Caf\xE9 \x80");
    Spit(dir_ / "alfile.ini", text);
    const Result r = Run({"dump", (dir_ / "alfile.ini").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["Alarms"][0]["AlName"], "Caf\xC3\xA9 \xE2\x82\xAC");
}

}  // namespace

namespace {

// The line `list` prints for the alarm called `name`.
std::string ListLine(const std::string& list, const std::string& name) {
    const auto at = list.find("\t" + name + "\t");
    if (at == std::string::npos) return "(none)";
    const auto start = list.rfind('\n', at);
    const auto begin = start == std::string::npos ? 0 : start + 1;
    return list.substr(begin, list.find('\n', at) - begin);
}

}  // namespace

TEST_F(Cli, AddMakesTheAlarmThatListAndNextShow) {
    const std::string file = SampleHere().string();
    struct Case {
        std::string name;
        std::vector<std::string> options;
        std::string rest;  // its list line from --now 1/1/2030 10:00:00AM after the name
    };
    // 1/1/2030 is a Tuesday.
    const Case cases[] = {
        {"Once", {"--at", "2030-01-01 09:30"}, "simple\t-"},
        {"Later", {"--at", "2030-01-02 07:05:09"}, "simple\t1/2/2030 07:05:09AM"},
        {"Two hours", {"--at", "2030-01-01 09:30", "--every", "2", "hours"},
         "simple\t1/1/2030 11:30:00AM"},
        {"Three days", {"--at", "2029-12-31 10:00", "--every", "3 days"},
         "simple\t1/3/2030 10:00:00AM"},
        {"Weekend", {"--at", "2030-01-01 08:00", "--weekdays", "fri,sun"},
         "simple\t1/4/2030 08:00:00AM"},
        {"Fortnight", {"--at", "2029-12-24 08:00", "--every", "2", "weeks"},
         "simple\t1/7/2030 08:00:00AM"},
        {"Ended", {"--at", "2029-12-01 09:00", "--every", "1", "days", "--until", "2029-12-31"},
         "simple\t-"},
        // The last day counts whole.
        {"Last day", {"--at", "2029-12-01 11:00", "--every", "1", "months", "--until", "2030-01-01"},
         "simple\t1/1/2030 11:00:00AM"},
        {"Off", {"--at", "2030-01-02 09:00", "--disabled"}, "simple\t-"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        std::vector<std::string> args{"add", file, "--name", cases[i].name};
        args.insert(args.end(), cases[i].options.begin(), cases[i].options.end());
        const Result r = Run(args);
        ASSERT_EQ(r.status, 0) << cases[i].name << ": " << r.err;
        EXPECT_EQ(r.out, std::to_string(5 + i) + "\n");
    }
    const Result list = Run({"list", file, "--now", "1/1/2030 10:00:00AM"});
    ASSERT_EQ(list.status, 0) << list.err;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(ListLine(list.out, cases[i].name),
                  std::to_string(5 + i) + (cases[i].name == "Off" ? "\toff\t" : "\ton\t") +
                      cases[i].name + "\t" + cases[i].rest);
    EXPECT_EQ(Run({"check", file}).status, 0);

    const Result next = Run({"next", file, "--count", "2", "--now", "1/1/2030 10:00:00AM"});
    const Result schedule = Run({"schedule", file, "--count", "2", "--now", "1/1/2030 10:00:00AM"});
    EXPECT_EQ(next.out, schedule.out);
    EXPECT_EQ(Lines(next.out), 2);

    const auto json =
        nlohmann::json::parse(Run({"list", file, "--json", "--now", "1/1/2030 10:00:00AM"}).out);
    ASSERT_EQ(json.size(), 4 + std::size(cases));
    EXPECT_EQ(json[6]["number"], 7);
    EXPECT_EQ(json[6]["name"], "Two hours");
    EXPECT_EQ(json[6]["next"], "2030-01-01T11:30:00");
    EXPECT_EQ(json[6]["kind"], "simple");
    EXPECT_TRUE(json[12]["next"].is_null());
    EXPECT_EQ(json[12]["enabled"], false);
}

TEST_F(Cli, EnableDisableRenameAndDeleteChangeOneAlarm) {
    const std::string file = SampleHere().string();
    auto listed = [&] { return Run({"list", file, "--now", "1/1/2030"}).out; };
    const std::string before = listed();
    std::string renamed = ListLine(before, "Pay the rent");
    renamed.replace(renamed.find("Pay the rent"), 12, "Rent");
    struct Step {
        std::vector<std::string> args;
        std::string name, line;  // the line of `name` afterwards
    };
    const Step steps[] = {
        {{"disable", file, "Dentist"}, "Dentist", "4\toff\tDentist\tsimple\t-"},
        {{"enable", file, "4"}, "Dentist", ListLine(before, "Dentist")},
        {{"rename", file, "2", "Rent"}, "Rent", renamed},
        {{"delete", file, "Morning stand-up"}, "Morning stand-up", "(none)"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.args[0]);
        const Result r = Run(s.args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(ListLine(listed(), s.name), s.line);
    }
    EXPECT_EQ(ListLine(listed(), "Rent").substr(0, 2), "1\t");
    EXPECT_EQ(Lines(listed()), 3);
    EXPECT_EQ(Run({"check", file}).status, 0);
}

TEST_F(Cli, ABadEditChangesNothing) {
    const std::string file = SampleHere().string();
    std::string clientFile = Slurp(file);
    clientFile.replace(clientFile.find("UserMode=Single"), 15, "UserMode=Client");
    Spit(dir_ / "client.ini", clientFile);
    std::string damaged = Slurp(file);
    const auto start = damaged.find("AlStartDate=");
    damaged.replace(start, damaged.find("\r\n", start) - start, "AlStartDate=13/45/2004");
    Spit(dir_ / "damaged.ini", damaged);
    const std::string client = (dir_ / "client.ini").string();
    const std::string bad = (dir_ / "damaged.ini").string();
    const std::vector<std::string> at{"--at", "2030-01-01 09:00"};
    auto add = [&](std::vector<std::string> more) {
        std::vector<std::string> args{"add", file, "--name", "New"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    struct Case {
        std::vector<std::string> args;
        std::string err;
        int lines = 1;
    };
    const Case cases[] = {
        {add({"--at", "2030-01-01 09:00", "--every", "0", "minutes"}),
         "Number of minutes should be between 1 and 250."},
        {add({"--at", "2030-01-01 09:00", "--every", "x", "hours"}), "Invalid number of hours."},
        {add({"--at", "2030-01-01 09:00", "--every", "2", "fortnights"}), "--every takes minutes"},
        {add({"--at", "2030-01-01 09:00", "--every", "60", "weeks"}),
         "Number of weeks should be between 3 and 52."},
        {add({"--at", "2030-01-01 09:00", "--weekdays", ""}),
         "Warning: No days of week selected. Please select at least one day of the week."},
        {add({"--at", "2030-01-01 09:00", "--weekdays", "mon,fun"}), "--weekdays takes days"},
        {add({"--at", "2030-01-01 09:00", "--sound", ""}), "Warning: No MP3 File Selected."},
        {add({"--at", "2030-02-30 09:00"}), "--at takes"},
        {add({"--at", "2030-01-01 24:00"}), "--at takes"},
        {add({"--at", "2030-01-01"}), "--at takes"},
        {add({"--at", "2030-01-01 09:00", "--until", "2030-01-05"}), "--until needs --every"},
        {add({}), "add needs --at"},
        {{"add", file, "--at", "2030-01-01 09:00"}, "add needs --name"},
        {{"add", file, "--name", "Dentist", "--at", "2030-01-01 09:00"},
         "Alarm name is already being used by another alarm."},
        {{"rename", file, "Dentist", "Pay the rent"},
         "Alarm name is already being used by another alarm."},
        {{"rename", file, "Dentist", ""}, "NEWNAME is empty"},
        {{"disable", file, "Nobody"}, "no alarm is named or numbered 'Nobody'"},
        {{"delete", file, "5"}, "no alarm is named or numbered '5'"},
        {{"enable", client, "1"}, "is a client's file"},
        {{"disable", bad, "1"}, "could not be read cleanly", 2},  // after the reader's message
        {{"enable", file}, "enable takes FILE and NAME_OR_NUMBER"},
    };
    const std::string original = Slurp(file);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        const Result r = Run(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        EXPECT_EQ(Lines(r.err), c.lines) << r.err;
    }
    EXPECT_EQ(Slurp(file), original);
    EXPECT_EQ(Slurp(client), clientFile);
    EXPECT_EQ(Slurp(bad), damaged);
}

TEST_F(Cli, AWriterWaitsForTheLockThenGivesUp) {
    const std::string file = SampleHere().string();
    ASSERT_EQ(Run({"disable", file, "1"}).status, 0);
    struct stat st {};
    ASSERT_EQ(stat((file + ".lock").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    const std::string original = Slurp(file);
    const int fd = open((file + ".lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    const Result r = Run({"enable", file, "1"});
    close(fd);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("stayed locked for 5 seconds"), std::string::npos) << r.err;
    EXPECT_EQ(Slurp(file), original);
    EXPECT_EQ(Run({"enable", file, "1"}).status, 0);
}
