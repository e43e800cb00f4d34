#include "core/activitylog.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/fileio.h"

namespace ringmere {
namespace {

namespace fs = std::filesystem;

class ActivityLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "ringmere-log-XXXXXX").string();
        dir_ = mkdtemp(tmpl.data());
        g_.ProgramDir = dir_ + "/";
        SetDefaultSettings(g_);
        g_.Settings.enablelogging = true;
        clock_.Set(EncodeDate(2024, 3, 9) + EncodeTime(8, 0, 0));
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string LogText() const { return ReadWholeFile(dir_ + "/allog.txt").value_or("<none>"); }

    // The file's lines, each of which must end with CR LF.
    std::vector<std::string> Lines() const {
        const std::string text = LogText();
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < text.size()) {
            const auto end = text.find("\r\n", start);
            EXPECT_NE(end, std::string::npos) << "unterminated line in:\n" << text;
            if (end == std::string::npos) break;
            lines.push_back(text.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

    // Indexes (1-based, counting entries only) of the entries preceded by a date line.
    std::vector<int> EntriesAfterDateLines() const {
        std::vector<int> result;
        int entry = 0;
        bool pendingDate = false;
        for (const std::string& line : Lines()) {
            if (line.find(" - ") == std::string::npos) {
                pendingDate = true;
                continue;
            }
            ++entry;
            if (pendingDate) result.push_back(entry);
            pendingDate = false;
        }
        return result;
    }

    std::string dir_;
    Globals g_;
    FixedClock clock_;
    CollectingReporter reporter_;
};

TEST_F(ActivityLogTest, EntryLinesReadTimeDashMessageUnderADateLine) {
    ActivityLog log(g_, &clock_);
    ASSERT_TRUE(log.Open(reporter_));
    log.Append("Alarm1 executing.", reporter_);
    clock_.Set(EncodeDate(2024, 3, 9) + EncodeTime(21, 5, 7));
    log.Append("Alarm Completed.", reporter_);
    EXPECT_EQ(LogText(),
              "3/9/2024\r\n"
              "08:00:00AM - Alarm1 executing.\r\n"
              "09:05:07PM - Alarm Completed.\r\n");
    EXPECT_TRUE(reporter_.messages.empty());
}

TEST_F(ActivityLogTest, DateLinesStandBeforeEveryTwentiethEntry) {
    const struct {
        int entries;
        std::vector<int> dated;
    } cases[] = {
        {1, {1}}, {20, {1}}, {21, {1, 21}}, {40, {1, 21}}, {45, {1, 21, 41}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entries);
        fs::remove(dir_ + "/allog.txt");
        ActivityLog log(g_, &clock_);
        ASSERT_TRUE(log.Open(reporter_));
        for (int i = 1; i <= c.entries; ++i) {
            log.Append("entry " + std::to_string(i), reporter_);
            clock_.AdvanceSeconds(1);
        }
        EXPECT_EQ(EntriesAfterDateLines(), c.dated);
        EXPECT_EQ(static_cast<int>(Lines().size()), c.entries + static_cast<int>(c.dated.size()));
    }
}

TEST_F(ActivityLogTest, NewDayBringsADateLineAndRestartsTheCount) {
    ActivityLog log(g_, &clock_);
    ASSERT_TRUE(log.Open(reporter_));
    clock_.Set(EncodeDate(2024, 12, 31) + EncodeTime(23, 59, 40));
    for (int i = 0; i < 15; ++i) {
        log.Append("late", reporter_);
        clock_.AdvanceSeconds(1);
    }
    clock_.Set(EncodeDate(2024, 12, 31) + EncodeTime(23, 59, 58));
    log.Append("last of the year", reporter_);
    clock_.Set(EncodeDate(2025, 1, 1) + EncodeTime(0, 0, 5));
    for (int i = 0; i < 21; ++i) {
        log.Append("early", reporter_);
        clock_.AdvanceSeconds(1);
    }
    // Day one: entries 1 to 16. Day two starts at 17 and counts 20 from there.
    EXPECT_EQ(EntriesAfterDateLines(), (std::vector<int>{1, 17, 37}));
    const std::vector<std::string> lines = Lines();
    ASSERT_GE(lines.size(), 19u);
    EXPECT_EQ(lines[0], "12/31/2024");
    EXPECT_EQ(lines[16], "11:59:58PM - last of the year");
    EXPECT_EQ(lines[17], "1/1/2025");
    EXPECT_EQ(lines[18], "12:00:05AM - early");
}

TEST_F(ActivityLogTest, TheDayChangesWhereThePrintedTimeDoes) {
    ActivityLog log(g_, &clock_);
    ASSERT_TRUE(log.Open(reporter_));
    clock_.Set(EncodeDate(2024, 3, 9) + EncodeTime(23, 59, 58));
    log.Append("a", reporter_);
    // Half a second before midnight prints as midnight of the next day.
    clock_.Set(EncodeDate(2024, 3, 9) + EncodeTime(23, 59, 59, 600));
    log.Append("b", reporter_);
    EXPECT_EQ(LogText(), "3/9/2024\r\n11:59:58PM - a\r\n3/10/2024\r\n12:00:00AM - b\r\n");
}

TEST_F(ActivityLogTest, EachRunStartsWithADateLineAndAppends) {
    {
        ActivityLog first(g_, &clock_);
        ASSERT_TRUE(first.Open(reporter_));
        first.Append("first run", reporter_);
    }
    clock_.AdvanceSeconds(60);
    ActivityLog second(g_, &clock_);
    ASSERT_TRUE(second.Open(reporter_));
    second.Append("second run", reporter_);
    EXPECT_EQ(LogText(),
              "3/9/2024\r\n08:00:00AM - first run\r\n"
              "3/9/2024\r\n08:01:00AM - second run\r\n");
}

TEST_F(ActivityLogTest, SwitchingLoggingOffAndOnAppendsToTheSameFile) {
    ActivityLog log(g_, &clock_);
    ASSERT_TRUE(log.Open(reporter_));
    for (int i = 0; i < 19; ++i) log.Append("before", reporter_);

    g_.Settings.enablelogging = false;
    log.Close();
    EXPECT_FALSE(log.IsOpen());
    log.Append("while off", reporter_);
    const std::string kept = LogText();

    g_.Settings.enablelogging = true;
    ASSERT_TRUE(log.Open(reporter_));
    log.Append("after 20", reporter_);
    log.Append("after 21", reporter_);
    const std::string text = LogText();
    ASSERT_EQ(text.substr(0, kept.size()), kept);
    EXPECT_EQ(text.find("while off"), std::string::npos);
    // The count of the run goes on across the switch.
    EXPECT_EQ(text.substr(kept.size()),
              "08:00:00AM - after 20\r\n3/9/2024\r\n08:00:00AM - after 21\r\n");
    EXPECT_TRUE(reporter_.messages.empty());
}

TEST_F(ActivityLogTest, NothingIsWrittenWhileLoggingIsOff) {
    g_.Settings.enablelogging = false;
    ActivityLog log(g_, &clock_);
    ASSERT_TRUE(log.Open(reporter_));  // creates the file empty
    log.Append("x", reporter_);
    EXPECT_EQ(LogText(), "");
    EXPECT_EQ(log.LogEntryCount(), 0);
}

TEST_F(ActivityLogTest, AFileThatCannotBeOpenedIsReportedAndAppendsDoNothing) {
    g_.ProgramDir = dir_ + "/missing/";
    ActivityLog log(g_, &clock_);
    EXPECT_FALSE(log.Open(reporter_));
    EXPECT_EQ(reporter_.messages, std::vector<std::string>{"Error appending log"});
    log.Append("lost", reporter_);
    log.Append("lost", reporter_);
    EXPECT_EQ(reporter_.messages.size(), 1u);
    EXPECT_TRUE(g_.Settings.enablelogging);
    EXPECT_FALSE(fs::exists(dir_ + "/missing"));
}

TEST_F(ActivityLogTest, AppendsToALogNeverOpenedDoNothing) {
    ActivityLog log(g_, &clock_);
    log.Append("x", reporter_);
    EXPECT_FALSE(fs::exists(dir_ + "/allog.txt"));
    EXPECT_TRUE(reporter_.messages.empty());
}

TEST_F(ActivityLogTest, AFullDiskIsReportedOnce) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    fs::create_symlink("/dev/full", dir_ + "/allog.txt");
    ActivityLog log(g_, &clock_);
    ASSERT_TRUE(log.Open(reporter_));
    for (int i = 0; i < 3; ++i) log.Append("x", reporter_);
    ASSERT_EQ(reporter_.messages.size(), 1u);
    EXPECT_EQ(reporter_.messages[0].rfind("Error appending log: ", 0), 0u);
    EXPECT_EQ(log.LogEntryCount(), 0);
}

// Lowers the file size limit so that writes past `bytes` fail, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = old_;
        lower.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &lower) == 0;
    }
    ~FileSizeLimit() { Lift(); }
    void Lift() {
        if (lifted_) return;
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
        lifted_ = true;
    }
    bool ok() const { return ok_; }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
    bool ok_ = false;
    bool lifted_ = false;
};

TEST_F(ActivityLogTest, AFailedWriteIsReportedOnceAndLaterEntriesStillArrive) {
    ActivityLog log(g_, &clock_);
    ASSERT_TRUE(log.Open(reporter_));
    log.Append("one", reporter_);  // "3/9/2024\r\n08:00:00AM - one\r\n": 28 bytes
    ASSERT_EQ(LogText().size(), 28u);
    {
        FileSizeLimit limit(34);  // the next entry stops halfway
        ASSERT_TRUE(limit.ok());
        log.Append("two", reporter_);
        log.Append("three", reporter_);
        limit.Lift();
    }
    EXPECT_EQ(reporter_.messages.size(), 1u);
    log.Append("four", reporter_);
    EXPECT_EQ(LogText(),
              "3/9/2024\r\n08:00:00AM - one\r\n"
              "08:00:\r\n"  // what the failed write left, closed off
              "08:00:00AM - four\r\n");
    EXPECT_EQ(log.LogEntryCount(), 2);

    // A later failure is a new one and is reported again.
    {
        FileSizeLimit limit(0);
        ASSERT_TRUE(limit.ok());
        log.Append("five", reporter_);
    }
    EXPECT_EQ(reporter_.messages.size(), 2u);
}

}  // namespace
}  // namespace ringmere
