// The alarm file's lock, and a change saved over a file another program wrote.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>

#include <sys/stat.h>
#include <unistd.h>

#include "core/alarmfile.h"
#include "core/fileio.h"
#include "core/globals.h"

namespace ringmere {
namespace {

class FileLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_.ProgramDir = std::filesystem::temp_directory_path() /
                        ("ringmere-lock-" + std::to_string(::getpid())) / "";
        std::filesystem::create_directories(g_.ProgramDir);
        SetDefaultSettings(g_);
    }
    void TearDown() override { std::filesystem::remove_all(g_.ProgramDir); }

    static void Put(Globals& g, std::vector<std::string> names) {
        g.ResetAlarmTable(static_cast<Integer>(names.size()));
        g.AlarmCount = static_cast<Integer>(names.size());
        for (std::size_t i = 0; i < names.size(); ++i) {
            g.AlarmTable[i + 1].AlName = names[i];
            g.AlarmTable[i + 1].enabled = true;
        }
    }
    std::string File() const { return ReadWholeFile(g_.Settings.AlarmFile).value_or("(none)"); }

    Globals g_;
    SilentReporter quiet_;
};

TEST_F(FileLockTest, TheHoldingThreadTakesItAgainAnotherWaitsThenGivesUp) {
    const std::string path = g_.Settings.AlarmFile;
    std::string error;
    auto held = TakeFileLock(path, error);
    ASSERT_TRUE(held) << error;
    struct stat st {};
    ASSERT_EQ(stat((path + ".lock").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    // Another way to the same file is the same lock.
    const std::string other = g_.ProgramDir + "./alfile.ini";
    EXPECT_TRUE(TakeFileLock(other, error, std::chrono::milliseconds(0))) << error;

    auto elsewhere = [&] {
        std::string why;
        const bool got = TakeFileLock(other, why, std::chrono::milliseconds(50)).has_value();
        return std::pair(got, why);
    };
    auto [got, why] = std::async(std::launch::async, elsewhere).get();
    EXPECT_FALSE(got);
    EXPECT_NE(why.find("stayed locked"), std::string::npos) << why;
    held.reset();
    std::tie(got, why) = std::async(std::launch::async, elsewhere).get();
    EXPECT_TRUE(got) << why;
}

// The window's toggle of "B", saved after another program changed the file.
TEST_F(FileLockTest, AChangeIsMadeAgainOnWhatAnotherProgramWrote) {
    struct Case {
        const char* what;
        std::vector<std::string> outside;  // the other program's alarms; empty: no change
        int result;
        std::vector<std::string> file;  // the names in the file afterwards
        bool reread;
    };
    const Case cases[] = {
        {"nobody else wrote", {}, kFileDone, {"A", "B"}, false},
        {"an alarm was added", {"A", "B", "C"}, kFileDone, {"A", "B", "C"}, true},
        {"an alarm was renamed", {"A2", "B"}, kFileDone, {"A2", "B"}, true},
        {"the toggled alarm was deleted", {"A"}, kFileInvalid, {"A"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Put(g_, {"A", "B"});
        ASSERT_EQ(WriteAlarmFile(g_, g_.Settings.AlarmFile, quiet_), kFileDone);
        if (!c.outside.empty()) {
            Globals other;
            other.ProgramDir = g_.ProgramDir;
            SetDefaultSettings(other);
            Put(other, c.outside);
            std::string error;
            ASSERT_EQ(WriteFileAtomically(g_.Settings.AlarmFile, FormatAlarmFile(other), error),
                      kWriteDone);
        }
        g_.AlarmTable[2].enabled = false;
        const TableChange change = [](Globals& g) {
            for (Integer i = 1; i <= g.AlarmCount; ++i)
                if (g.AlarmTable[i].AlName == "B") {
                    g.AlarmTable[i].enabled = false;
                    return true;
                }
            return false;
        };
        CollectingReporter said;
        bool reread = false;
        EXPECT_EQ(SaveAlarmChange(g_, change, said, reread), c.result);
        EXPECT_EQ(reread, c.reread);
        EXPECT_EQ(said.messages.empty(), c.result == kFileDone);

        Globals after;
        after.ProgramDir = g_.ProgramDir;
        SetDefaultSettings(after);
        ASSERT_EQ(ReadOwnAlarmFile(after, said), kFileDone);
        std::vector<std::string> names;
        for (Integer i = 1; i <= after.AlarmCount; ++i) {
            names.push_back(after.AlarmTable[i].AlName);
            EXPECT_EQ(after.AlarmTable[i].enabled, names.back() != "B") << names.back();
        }
        EXPECT_EQ(names, c.file);
        // The window now holds what the file holds.
        ASSERT_EQ(g_.AlarmCount, after.AlarmCount);
        for (Integer i = 1; i <= g_.AlarmCount; ++i)
            EXPECT_EQ(g_.AlarmTable[i].AlName, after.AlarmTable[i].AlName);
    }
}

}  // namespace
}  // namespace ringmere
