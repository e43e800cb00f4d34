#include "platform/autostart_entry.h"

#include <filesystem>

#include "core/fileio.h"
#include "core/report.h"
#include "core/settings.h"
#include "platform/paths.h"
#include "tests/platform/temp_environment.h"

namespace ringmere {
namespace {

namespace fs = std::filesystem;

class AutoStart : public testing::TempEnvironment {
protected:
    std::string EntryPath() const { return Path("config/autostart/ringmere.desktop"); }
};

TEST_F(AutoStart, WrittenEntryStartsTheProgramWithStartup) {
    DesktopAutoStartEntry entry(EntryPath());
    EXPECT_FALSE(entry.Read());
    std::string error;
    ASSERT_TRUE(entry.Write("/usr/bin/ringmere", "startup", error)) << error;
    EXPECT_EQ(entry.Read(), "/usr/bin/ringmere startup");
    const std::string text = ReadWholeFile(EntryPath()).value_or("");
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(text.find("\nExec=/usr/bin/ringmere startup\n"), std::string::npos);

    // Written again: still one entry.
    ASSERT_TRUE(entry.Write("/opt/ringmere/bin/ringmere", "startup", error));
    EXPECT_EQ(entry.Read(), "/opt/ringmere/bin/ringmere startup");
}

TEST_F(AutoStart, ExecLinesQuoteAndEscapeWhatDesktopFilesRequire) {
    const struct {
        const char* program;
        const char* exec;  // as the file holds it
    } cases[] = {
        {"/usr/bin/ringmere", "/usr/bin/ringmere startup"},
        {"/home/a b/ringmere", "\"/home/a b/ringmere\" startup"},
        {"/opt/100%/ringmere", "/opt/100%%/ringmere startup"},
        {"/opt/$x/`y`", "\"/opt/\\\\$x/\\\\`y\\\\`\" startup"},
        {"/opt/back\\slash", "\"/opt/back\\\\\\\\slash\" startup"},
        {"/opt/\"q\"", "\"/opt/\\\\\"q\\\\\"\" startup"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        EXPECT_EQ(DesktopExecLine(c.program, "startup"), c.exec);
        DesktopAutoStartEntry entry(EntryPath());
        std::string error;
        ASSERT_TRUE(entry.Write(c.program, "startup", error));
        const std::string text = ReadWholeFile(EntryPath()).value_or("");
        EXPECT_NE(text.find(std::string("\nExec=") + c.exec + "\n"), std::string::npos) << text;
        ASSERT_TRUE(entry.Read());
        EXPECT_NE(entry.Read()->find("startup"), std::string::npos);
    }
}

TEST_F(AutoStart, ReadingFindsTheExecLineOfTheMainGroupOnly) {
    const struct {
        const char* name;
        const char* file;
        std::optional<std::string> data;
    } cases[] = {
        {"installer entry", "[Desktop Entry]\r\nName=Ringmere\r\nExec = /opt/ringmere\r\n",
         std::string("/opt/ringmere")},
        {"escapes", "[Desktop Entry]\nExec=/opt/r\\sm startup\\\\x\n",
         std::string("/opt/r m startup\\x")},
        {"other group first", "[Desktop Action New]\nExec=/other\n[Desktop Entry]\nExec=/mine\n",
         std::string("/mine")},
        {"localised key is not Exec", "[Desktop Entry]\nExec[de]=/de\nTryExec=/t\n", std::string()},
        {"no Exec", "[Desktop Entry]\nName=Ringmere\n", std::string()},
        {"empty file", "", std::string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("config/autostart/ringmere.desktop", c.file);
        EXPECT_EQ(DesktopAutoStartEntry(EntryPath()).Read(), c.data);
    }
}

TEST_F(AutoStart, AnEntryTheUserSwitchedOffStaysOffAndTurnsAutoStartOff) {
    const struct {
        const char* text;
        bool off;
    } cases[] = {
        {"[Desktop Entry]\nExec=/usr/bin/ringmere startup\nHidden=true\n", true},
        {"[Desktop Entry]\nExec=/usr/bin/ringmere startup\nX-GNOME-Autostart-enabled=false\n",
         true},
        {"[Desktop Entry]\nExec=/usr/bin/ringmere startup\nHidden=false\n", false},
        {"[Desktop Entry]\nExec=/usr/bin/ringmere startup\n[Other]\nHidden=true\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        ASSERT_TRUE(MakeDirectories(Path("config/autostart"), error)) << error;
        ASSERT_EQ(WriteFileAtomically(EntryPath(), c.text, error), kWriteDone) << error;
        DesktopAutoStartEntry entry(EntryPath());
        EXPECT_EQ(entry.DisabledByUser(), c.off);

        SettingsRec s;
        s.AutoStart = true;
        CollectingReporter reporter;
        EXPECT_TRUE(RegisterAutoStart(s, entry, "/opt/ringmere/ringmere", reporter));
        EXPECT_EQ(s.AutoStart, !c.off);
        EXPECT_EQ(ReadWholeFile(EntryPath()) == c.text, c.off) << "rewritten against the choice";
    }
}

TEST_F(AutoStart, RemovingDeletesTheFileAndAMissingOneIsFine) {
    DesktopAutoStartEntry entry(EntryPath());
    std::string error;
    EXPECT_TRUE(entry.Remove(error));
    ASSERT_TRUE(entry.Write("/usr/bin/ringmere", "startup", error));
    EXPECT_TRUE(entry.Remove(error));
    EXPECT_FALSE(fs::exists(EntryPath()));
    EXPECT_FALSE(entry.Read());
}

TEST_F(AutoStart, FailuresComeBackAsErrors) {
    WriteFile("config/autostart", "a file where the folder should be");
    DesktopAutoStartEntry entry(EntryPath());
    std::string error;
    EXPECT_FALSE(entry.Write("/usr/bin/ringmere", "startup", error));
    EXPECT_NE(error.find("autostart"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(entry.Remove(error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace ringmere
