#include "core/alarmfile_saver.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

#include <unistd.h>

#include "core/fileio.h"
#include "core/globals.h"

namespace ringmere {
namespace {

class AlarmFileSaverTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_.ProgramDir = std::filesystem::temp_directory_path() /
                        ("ringmere-saver-" + std::to_string(::getpid())) / "";
        std::filesystem::create_directories(g_.ProgramDir);
        SetDefaultSettings(g_);
    }
    void TearDown() override { std::filesystem::remove_all(g_.ProgramDir); }

    void Add(const std::string& name) {
        g_.AlarmTable.resize(std::size_t(g_.AlarmCount) + 3);
        g_.AlarmTable[++g_.AlarmCount].AlName = name;
    }
    std::string File() const { return ReadWholeFile(g_.Settings.AlarmFile).value_or("(none)"); }

    Globals g_;
    SilentReporter quiet_;
    std::mutex lock_;
    std::vector<AlarmFileSaver::Outcome> ended_;
    std::function<void(const AlarmFileSaver::Outcome&)> Ended() {
        return [this](const AlarmFileSaver::Outcome& o) {
            const std::lock_guard hold(lock_);
            ended_.push_back(o);
        };
    }
};

// Quick changes in a row: each is written from its own copy, in order, and
// the file ends as the table is; a read or a write of the file after them
// sees the last one, and so does a saver that is done with at once.
TEST_F(AlarmFileSaverTest, QuickSavesEndWithTheLastTableAndOthersWaitForThem) {
    {
        AlarmFileSaver saver(Ended());
        for (const char* name : {"One", "Two", "Three"}) {
            Add(name);
            ASSERT_TRUE(saver.Save(g_, g_.Settings.AlarmFile, quiet_));
        }
        // Changed after the last save: the copy already taken is written.
        g_.AlarmTable[1].AlName = "Changed";
        saver.Wait();
        g_.AlarmTable[1].AlName = "One";
        EXPECT_EQ(File(), FormatAlarmFile(g_));
        ASSERT_FALSE(ended_.empty());
        EXPECT_LE(ended_.size(), 3u);
        for (const auto& o : ended_) EXPECT_EQ(o.result, kFileDone);

        Add("Four");
        ASSERT_TRUE(saver.Save(g_, g_.Settings.AlarmFile, quiet_));
        Globals read;
        read.ProgramDir = g_.ProgramDir;
        SetDefaultSettings(read);
        ASSERT_EQ(ReadOwnAlarmFile(read, quiet_), kFileDone);
        EXPECT_EQ(read.AlarmCount, 4);

        Add("Five");
        ASSERT_TRUE(saver.Save(g_, g_.Settings.AlarmFile, quiet_));
    }
    EXPECT_EQ(File(), FormatAlarmFile(g_));
}

// A write from the saver's copy still knows the program's own file, which
// holds the passwords: an existing readable one is left to its owner.
TEST_F(AlarmFileSaverTest, TheOwnFileIsLeftToItsOwnerFromTheCopyToo) {
    Add("One");
    ASSERT_EQ(WriteAlarmFile(g_, g_.Settings.AlarmFile, quiet_), kFileDone);
    std::filesystem::permissions(g_.Settings.AlarmFile, std::filesystem::perms(0644));
    AlarmFileSaver saver(Ended());
    ASSERT_TRUE(saver.Save(g_, g_.Settings.AlarmFile, quiet_));
    saver.Wait();
    EXPECT_EQ(std::filesystem::status(g_.Settings.AlarmFile).permissions(),
              std::filesystem::perms(0600));
}

// A write that fails is told through `ended` as the file routines say it,
// and the table keeps what it holds.
TEST_F(AlarmFileSaverTest, AFailedWriteIsHandedOn) {
    g_.Settings.AlarmFile = g_.ProgramDir + "missing/alfile.ini";
    Add("One");
    AlarmFileSaver saver(Ended());
    ASSERT_TRUE(saver.Save(g_, g_.Settings.AlarmFile, quiet_));
    saver.Wait();
    ASSERT_EQ(ended_.size(), 1u);
    EXPECT_EQ(ended_[0].result, kFileCannotOpen);
    EXPECT_EQ(ended_[0].path, g_.Settings.AlarmFile);
    EXPECT_EQ(g_.AlarmCount, 1);
}

}  // namespace
}  // namespace ringmere
