#include "core/fileio.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/alarmfile.h"
#include "core/globals.h"
#include "core/report.h"

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

TEST(FileIo, OnlyRegularFilesAreReadAndTheRefusalSaysWhy) {
    Scratch dir;
    std::string error;
    ASSERT_EQ(WriteFileAtomically((dir.path / "f").string(), "a\r\nb", error), kWriteDone);
    fs::create_symlink("f", dir.path / "link");
    fs::create_symlink("none", dir.path / "dangling");
    ASSERT_EQ(mkfifo((dir.path / "pipe").c_str(), 0600), 0);
    { std::ofstream(dir.path / "huge"); }
    fs::resize_file(dir.path / "huge", (std::uintmax_t{512} << 20) + 1);  // sparse
    const std::string d = dir.path.string() + "/";

    struct Case {
        std::string path;
        bool exists;      // FileExists
        const char* why;  // in the refusal; nullptr: read
    };
    const Case cases[] = {
        {d + "f", true, nullptr},
        {d + "link", true, nullptr},
        {d + "none", false, "No such file"},
        {d + "dangling", false, "No such file"},
        {dir.path.string(), false, "a directory"},
        {d + "pipe", false, "a named pipe (FIFO), not a regular file"},  // would block for ever
        {"/dev/zero", false, "a character device"},                      // would never end
        {d + "huge", true, "larger than 512 MiB"},
        {"/proc/self/mem", true, "Input/output error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FileExists(c.path), c.exists);
        std::string why;
        const auto text = ReadWholeFile(c.path, why);
        if (c.why == nullptr) {
            EXPECT_EQ(text, "a\r\nb");
        } else {
            EXPECT_FALSE(text);
            EXPECT_NE(why.find(c.why), std::string::npos) << why;
        }
    }
}

TEST(FileIo, TemporaryFileIsTheOwnersAloneUntilItIsComplete) {
    Scratch dir;
    const fs::path file = dir.path / "alfile.ini";
    { std::ofstream(file) << "old"; }
    fs::permissions(file, fs::perms(0644));
    std::string seen;
    mode_t modeSeen = 0;
    SetBeforeReplaceHookForTests([&](const std::string& temporary) {
        seen = temporary;
        struct stat st {};
        stat(temporary.c_str(), &st);
        modeSeen = st.st_mode & 07777;
    });
    std::string error;
    EXPECT_EQ(WriteFileAtomically(file.string(), "new", error), kWriteDone) << error;
    SetBeforeReplaceHookForTests({});
    const std::string prefix = (dir.path / ".alfile.ini.ringmere-tmp-").string();
    EXPECT_EQ(seen.substr(0, prefix.size()), prefix);
    EXPECT_EQ(seen.size(), prefix.size() + 6);
    EXPECT_EQ(modeSeen, 0600u) << std::oct << modeSeen;
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0644));
    EXPECT_FALSE(fs::exists(seen));
}

TEST(FileIo, StaleTemporaryFilesOfTheSameFileGoAtTheNextWrite) {
    Scratch dir;
    const fs::path file = dir.path / "alfile.ini";
    const auto plant = [&](const char* name) {
        std::ofstream(dir.path / name) << "secret";
        return dir.path / name;
    };
    const fs::path stale = plant(".alfile.ini.ringmere-tmp-Ab3xZ9");
    const fs::path busy = plant(".alfile.ini.ringmere-tmp-Busy00");
    const std::vector<fs::path> kept = {
        busy,
        plant(".other.ini.ringmere-tmp-Ab3xZ9"),  // another file's
        plant(".alfile.ini.ringmere-tmp-toolong"),
        plant("alfile.ini.Ab3xZ9"),
    };
    fs::create_symlink(busy, dir.path / ".alfile.ini.ringmere-tmp-Link00");
    // A write in progress in another process holds its lock.
    const int fd = ::open(busy.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);

    std::string error;
    ASSERT_EQ(WriteFileAtomically(file.string(), "new", error), kWriteDone) << error;
    ::close(fd);
    EXPECT_FALSE(fs::exists(stale));
    for (const fs::path& p : kept) EXPECT_TRUE(fs::exists(p)) << p;
    EXPECT_TRUE(fs::is_symlink(dir.path / ".alfile.ini.ringmere-tmp-Link00"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), {}), 6);
}

TEST(FileIo, AReadOnlyFileIsNotReplaced) {
    Scratch dir;
    const fs::path file = dir.path / "alfile.ini";
    { std::ofstream(file) << "old"; }
    fs::create_symlink("alfile.ini", dir.path / "link");
    for (const mode_t mode : {0444, 0400, 0000}) {
        fs::permissions(file, fs::perms(mode));
        for (const char* name : {"alfile.ini", "link"}) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(mode));
            std::string error;
            EXPECT_EQ(WriteFileAtomically((dir.path / name).string(), "new", error), kWriteFailed);
            EXPECT_NE(error.find("read-only"), std::string::npos) << error;
            fs::permissions(file, fs::perms(0600));
            EXPECT_EQ(ReadWholeFile(file.string()), "old");
            fs::permissions(file, fs::perms(mode));
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), {}), 2);
}

// The alarm file holds the mail and FTP passwords: each file written from it
// is the owner's alone, and a replaced file's permissions are never loosened.
// A shared file keeps what its owner allowed the machines that read it.
TEST(FileIo, EveryWriterOfTheAlarmFileKeepsItFromOtherUsers) {
    const mode_t oldMask = umask(022);
    Scratch dir;
    Globals g;
    g.ProgramDir = dir.path.string() + "/";
    const std::string own = g.LocalAlarmFilePath();
    const std::string shared = (dir.path / "share.ini").string();
    const std::string copy = own + ".damaged";
    using Write = std::function<int()>;
    const Write writeOwn = [&] { SilentReporter r; return WriteAlarmFile(g, own, r); };
    const Write writeShared = [&] { SilentReporter r; return WriteAlarmFile(g, shared, r); };
    const Write writeClient = [&] {
        SilentReporter r;
        return WriteClientConfigFile(g, shared, "/srv/alfile.ini", r);
    };
    const Write saveDamaged = [&] {
        g.AlarmFileDamaged = true;
        SilentReporter r;
        return SaveAlarmFile(g, own, r);
    };
    constexpr int kNone = -1;  // no file before
    const struct {
        const char* writer;
        const Write* write;
        std::string path;
        int before;
        mode_t after;
        int result;
        mode_t copyMode;  // of the damaged copy; 0 none
    } cases[] = {
        {"own", &writeOwn, own, kNone, 0600, kFileDone, 0},
        {"own", &writeOwn, own, 0644, 0600, kFileDone, 0},
        {"own", &writeOwn, own, 0600, 0600, kFileDone, 0},
        {"own", &writeOwn, own, 0640, 0600, kFileDone, 0},
        {"own", &writeOwn, own, 0200, 0200, kFileDone, 0},
        {"own", &writeOwn, own, 0400, 0400, kFileWriteFailed, 0},  // read-only: not replaced
        {"shared", &writeShared, shared, kNone, 0600, kFileDone, 0},
        {"shared", &writeShared, shared, 0644, 0644, kFileDone, 0},
        {"shared", &writeShared, shared, 0600, 0600, kFileDone, 0},
        {"shared", &writeShared, shared, 0400, 0400, kFileWriteFailed, 0},
        {"client set-up", &writeClient, shared, kNone, 0600, kFileDone, 0},
        {"client set-up", &writeClient, shared, 0644, 0644, kFileDone, 0},
        {"damaged", &saveDamaged, own, 0644, 0600, kFileDone, 0600},
        {"damaged", &saveDamaged, own, 0600, 0600, kFileDone, 0600},
        {"damaged", &saveDamaged, own, 0400, 0400, kFileWriteFailed, 0600},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.writer) + " " + std::to_string(c.before));
        for (const std::string& p : {own, shared, copy}) {
            std::error_code ec;
            fs::permissions(p, fs::perms(0600), ec);
            fs::remove(p, ec);
        }
        if (c.before != kNone) {
            { std::ofstream(c.path) << "[Alarm Info]\r\nVersion=2.10\r\n"; }
            fs::permissions(c.path, fs::perms(c.before));
        }
        EXPECT_EQ((*c.write)(), c.result);
        struct stat st {};
        ASSERT_EQ(stat(c.path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.after) << std::oct << (st.st_mode & 07777);
        struct stat cs {};
        const bool copied = stat(copy.c_str(), &cs) == 0;
        EXPECT_EQ(copied, c.copyMode != 0);
        if (copied) {
            EXPECT_EQ(cs.st_mode & 07777, c.copyMode) << std::oct << (cs.st_mode & 07777);
        }
        // Nothing else is left beside them (no temporary file) but the own file's lock.
        int left = 0;
        for (const auto& entry : fs::directory_iterator(dir.path))
            left += entry.path().filename() != "alfile.ini.lock";
        EXPECT_LE(left, 2);
    }
    umask(oldMask);
}

}  // namespace
}  // namespace ringmere

namespace ringmere {
namespace {

// The program tells its own writes from other programs' by their stamps:
// the file it renamed into place is known, through a link too, and a
// rewrite by anyone else (in place or by rename) is not.
TEST(FileIo, OwnWritesAreKnownByTheirStamps) {
    Scratch dir;
    const std::string path = (dir.path / "alfile.ini").string();
    const std::string link = (dir.path / "link.ini").string();
    std::string error;
    ASSERT_EQ(WriteFileAtomically(path, "one\n", error), kWriteDone) << error;
    const FileStamp ours = FileStampOf(path);
    EXPECT_TRUE(WrittenByThisProcess(ours));
    fs::create_symlink(path, link);
    ASSERT_EQ(WriteFileAtomically(link, "two\n", error), kWriteDone) << error;
    EXPECT_TRUE(WrittenByThisProcess(FileStampOf(path)));
    EXPECT_NE(FileStampOf(path), ours);

    std::ofstream(path, std::ios::app) << "more\n";
    EXPECT_FALSE(WrittenByThisProcess(FileStampOf(path)));
    std::ofstream(path + ".x") << "three\n";
    fs::rename(path + ".x", path);
    EXPECT_FALSE(WrittenByThisProcess(FileStampOf(path)));
    EXPECT_EQ(FileStampOf((dir.path / "missing").string()).size, -1);
    EXPECT_FALSE(WrittenByThisProcess(FileStampOf((dir.path / "missing").string())));
}

}  // namespace
}  // namespace ringmere
