#include "core/damaged_copy.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "core/alarmfile.h"
#include "core/fileio.h"
#include "core/globals.h"
#include "core/report.h"

namespace ringmere {
namespace {

namespace fs = std::filesystem;

TEST(DamagedCopy, EachCopyGetsANewNameAndKeepsTheBytes) {
    char tmpl[] = "/tmp/ringmere-damaged-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    const std::string file = (dir / "alfile.ini").string();
    const std::string expected[] = {file + ".damaged", file + ".damaged.2", file + ".damaged.3"};
    for (int i = 0; i < 3; ++i) {
        const std::string text = "[Alarm Info]\r\nredialattempts=x " + std::to_string(i) + "\r\n";
        std::ofstream(file, std::ios::binary) << text;
        std::string error;
        const auto copy = KeepDamagedCopy(file, error);
        ASSERT_TRUE(copy) << error;
        EXPECT_EQ(*copy, expected[i]);
        EXPECT_EQ(ReadWholeFile(*copy), text);
        struct stat st {};
        ASSERT_EQ(stat(copy->c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    // The first copy still holds the first original.
    EXPECT_EQ(ReadWholeFile(expected[0]), "[Alarm Info]\r\nredialattempts=x 0\r\n");

    std::string error;
    EXPECT_FALSE(KeepDamagedCopy((dir / "missing.ini").string(), error));
    EXPECT_NE(error.find("missing.ini"), std::string::npos);
    fs::remove_all(dir);
}

TEST(DamagedCopy, TheFirstSaveAfterADamagedReadKeepsTheOriginalOnce) {
    char tmpl[] = "/tmp/ringmere-damaged-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    const std::string file = (dir / "alfile.ini").string();
    const std::string original = "[Alarm Info]\r\nVersion=2.10\r\nUseSMTP=x\r\n";
    std::ofstream(file, std::ios::binary) << original;
    Globals g;
    g.AlarmFileDamaged = true;
    CollectingReporter reporter;
    ASSERT_EQ(SaveAlarmFile(g, file, reporter), kFileDone);
    EXPECT_EQ(ReadWholeFile(file + ".damaged"), original);
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_NE(reporter.messages[0].find(file + ".damaged"), std::string::npos);
    EXPECT_FALSE(g.AlarmFileDamaged);

    // Later saves write over the clean file without another copy.
    ASSERT_EQ(SaveAlarmFile(g, file, reporter), kFileDone);
    EXPECT_FALSE(fs::exists(file + ".damaged.2"));
    EXPECT_EQ(reporter.messages.size(), 1u);

    // No copy, no write: a name with no room left for ".damaged".
    const std::string longName = (dir / std::string(250, 'a')).string();
    std::ofstream(longName, std::ios::binary) << original;
    g.AlarmFileDamaged = true;
    EXPECT_EQ(SaveAlarmFile(g, longName, reporter), kFileCannotOpen);
    EXPECT_EQ(ReadWholeFile(longName), original);
    EXPECT_TRUE(g.AlarmFileDamaged);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace ringmere
