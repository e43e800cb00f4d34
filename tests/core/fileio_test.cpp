#include "core/fileio.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <filesystem>

namespace ringmere {
namespace {

namespace fs = std::filesystem;

struct Scratch {
    Scratch() {
        char tmpl[] = "/tmp/ringmere-fileio-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~Scratch() { fs::remove_all(path); }
    fs::path path;
};

TEST(FileIo, ALoopOfLinksIsRefusedAndLeftAsItIs) {
    Scratch dir;
    fs::create_symlink("b", dir.path / "a");
    fs::create_symlink("a", dir.path / "b");
    std::string error;
    EXPECT_EQ(WriteFileAtomically((dir.path / "a").string(), "new", error), kWriteCannotCreate);
    EXPECT_NE(error.find("symbolic links"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_symlink(dir.path / "a"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), {}), 2);
}

TEST(FileIo, OnlyRegularFilesAreRead) {
    Scratch dir;
    std::string error;
    ASSERT_EQ(WriteFileAtomically((dir.path / "f").string(), "a\r\nb", error), kWriteDone);
    EXPECT_EQ(ReadWholeFile((dir.path / "f").string()), "a\r\nb");
    EXPECT_FALSE(ReadWholeFile(dir.path.string()));  // a directory
    EXPECT_FALSE(ReadWholeFile((dir.path / "none").string()));
    ASSERT_EQ(mkfifo((dir.path / "pipe").c_str(), 0600), 0);
    EXPECT_FALSE(ReadWholeFile((dir.path / "pipe").string()));  // would block for ever
    EXPECT_FALSE(ReadWholeFile("/dev/zero"));                   // would never end
}

}  // namespace
}  // namespace ringmere
