// Start-up against real folders: the store file, "ringmere.ini" in a system
// folder and the autostart file, as a fresh program run finds them.
#include <cstring>
#include <filesystem>

#include "core/fileio.h"
#include "core/settings.h"
#include "platform/autostart_entry.h"
#include "platform/file_settings_store.h"
#include "platform/paths.h"
#include "tests/platform/temp_environment.h"

namespace ringmere {
namespace {

namespace fs = std::filesystem;

class StartUp : public testing::TempEnvironment {
protected:
    // One program start: the folder, the store and the settings, in this order.
    SettingsOrigin Start(Globals& g) {
        g.ProgramDir = ResolveProgramDir(reporter_);
        store_ = OpenUserSettingsStore(reporter_);
        return LoadStartupSettings(g, *store_, LocalSettingsFilePath(), reporter_);
    }

    CollectingReporter reporter_;
    std::unique_ptr<SettingsStore> store_;
};

TEST_F(StartUp, FirstStartOnACleanMachine) {
    Globals g;
    EXPECT_EQ(Start(g), SettingsOrigin::Defaults);
    EXPECT_TRUE(reporter_.messages.empty()) << reporter_.messages.front();
    EXPECT_EQ(g.ProgramDir, Path("program/"));
    SettingsRec defaults;
    defaults.AlarmFile = Path("program/alfile.ini");
    EXPECT_EQ(g.Settings, defaults);

    const std::string text = ReadWholeFile(SettingsStorePath()).value_or("");
    EXPECT_NE(text.find("[SOFTWARE\\Ringmere]\r\n\"AutoStart\"=dword:00000001\r\n"
                        "\"TimeServerTO\"=dword:0000001e\r\n\"autosynch\"=dword:00000000\r\n"
                        "\"autotime\"=hex:00,00,00,00,00,00,00,00\r\n\"autoserver\"=sz:\"\"\r\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("[Software\\Ringmere\\Main]\r\n\"Status\"=dword:00000000\r\n"
                        "\"Height\"=dword:00000190\r\n\"Width\"=dword:000001b8\r\n"
                        "\"Left\"=dword:00000032\r\n\"Top\"=dword:00000032\r\n"
                        "\"dispevdesc\"=dword:00000001\r\n"),
              std::string::npos)
        << text;

    // AutoStart is on by default, so the entry appears when the main window is made.
    DesktopAutoStartEntry entry(AutoStartFilePath());
    EXPECT_TRUE(RegisterAutoStart(g.Settings, entry, ProgramFilePath(), reporter_));
    EXPECT_EQ(entry.Read(), ProgramFilePath() + " startup");

    Globals second;
    EXPECT_EQ(Start(second), SettingsOrigin::Store);
    EXPECT_EQ(second.Settings, defaults);
}

TEST_F(StartUp, LocalSettingsFileWithoutAStoreIsCarriedOverOnce) {
    WriteFile("etc2/ringmere.ini",
              "[Main]\r\nStatus=1\r\nHeight=500\r\nWidth=700\r\nLeft=10\r\nTop=20\r\n"
              "AutoStart=0\r\n[Mail]\r\nReplyTo=office@example.org\r\n");
    Globals g;
    EXPECT_EQ(Start(g), SettingsOrigin::LocalFile);
    EXPECT_TRUE(reporter_.messages.empty());
    EXPECT_EQ(g.Settings.Status, 1);
    EXPECT_EQ(g.Settings.Height, 500);
    EXPECT_EQ(g.Settings.Width, 700);
    EXPECT_EQ(g.Settings.Left, 10);
    EXPECT_EQ(g.Settings.Top, 20);
    EXPECT_FALSE(g.Settings.AutoStart);
    EXPECT_EQ(g.Settings.ReplyTo, "office@example.org");
    EXPECT_EQ(g.Settings.TimeServerTO, 30);
    EXPECT_TRUE(g.Settings.dispevdesc);

    // Later starts read the store; the file is left as it was.
    const auto ini = ReadWholeFile(Path("etc2/ringmere.ini"));
    WriteFile("etc1/ringmere.ini", "[Main]\r\nWidth=123\r\n");
    Globals later;
    EXPECT_EQ(Start(later), SettingsOrigin::Store);
    EXPECT_EQ(later.Settings.Width, 700);
    EXPECT_FALSE(later.Settings.AutoStart);
    EXPECT_EQ(ReadWholeFile(Path("etc2/ringmere.ini")), ini);
}

TEST_F(StartUp, ADamagedStoreFileDoesNotStopTheProgram) {
    const struct {
        const char* name;
        std::string file;
        SettingsOrigin origin;
        bool autoStart;
        Integer timeout;
    } cases[] = {
        {"garbage",
         std::string("\x7f"
                     "ELF\x02\x01\x01\0\0\0\0\0\n\xff\xfe\xfd",
                     16),
         SettingsOrigin::Defaults, true, 30},
        {"torn line",
         "[SOFTWARE\\Ringmere]\r\n\"AutoStart\"=dword:00000000\r\n\"TimeServerTO\"=dwo",
         SettingsOrigin::Store, false, 30},
        {"bad value among good ones",
         "[SOFTWARE\\Ringmere]\n\"AutoStart\"=sz:\"0\n\"TimeServerTO\"=dword:0000000a\n",
         SettingsOrigin::Store, true, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Path("config"));
        WriteFile("config/ringmere/registry.ini", c.file);
        reporter_.messages.clear();
        Globals g;
        EXPECT_EQ(Start(g), c.origin);
        ASSERT_EQ(reporter_.messages.size(), 1u);
        EXPECT_NE(reporter_.messages[0].find("damaged"), std::string::npos);
        EXPECT_EQ(g.Settings.AutoStart, c.autoStart);
        EXPECT_EQ(g.Settings.TimeServerTO, c.timeout);
        EXPECT_EQ(ReadWholeFile(SettingsStorePath() + ".damaged"), c.file);

        // Once saved, the store reads cleanly again.
        EXPECT_TRUE(SaveRegistrySettings(g, *store_, reporter_));
        reporter_.messages.clear();
        Globals next;
        EXPECT_EQ(Start(next), SettingsOrigin::Store);
        EXPECT_TRUE(reporter_.messages.empty());
        EXPECT_EQ(next.Settings, g.Settings);
    }
}

TEST_F(StartUp, AnEntryWithoutStartupIsRewrittenEvenWithAutoStartOff) {
    WriteFile("config/autostart/ringmere.desktop",
              "[Desktop Entry]\nType=Application\nName=Ringmere\nExec=/opt/old/ringmere\n");
    Globals g;
    Start(g);
    g.Settings.AutoStart = false;
    DesktopAutoStartEntry entry(AutoStartFilePath());
    EXPECT_TRUE(RegisterAutoStart(g.Settings, entry, "/usr/local/bin/ringmere", reporter_));
    EXPECT_EQ(entry.Read(), "/usr/local/bin/ringmere startup");

    // An entry that already has it is left alone while AutoStart is off.
    const auto before = ReadWholeFile(AutoStartFilePath());
    EXPECT_TRUE(RegisterAutoStart(g.Settings, entry, "/elsewhere/ringmere", reporter_));
    EXPECT_EQ(ReadWholeFile(AutoStartFilePath()), before);
    EXPECT_TRUE(reporter_.messages.empty());
}

TEST_F(StartUp, AutotimeComesBackBitForBit) {
    Globals g;
    Start(g);
    const double odd = 0.1 + 0.2;  // not a short decimal
    g.Settings.autotime = odd;
    g.Settings.autosynch = true;
    g.Settings.autoserver = "time.example.org";
    ASSERT_TRUE(SaveRegistrySettings(g, *store_, reporter_));
    Globals next;
    EXPECT_EQ(Start(next), SettingsOrigin::Store);
    EXPECT_EQ(std::memcmp(&next.Settings.autotime, &odd, sizeof odd), 0);
    EXPECT_TRUE(next.Settings.autosynch);
    EXPECT_EQ(next.Settings.autoserver, "time.example.org");
}

}  // namespace
}  // namespace ringmere
