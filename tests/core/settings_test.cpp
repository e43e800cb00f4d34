#include "core/settings.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

namespace ringmere {
namespace {

namespace fs = std::filesystem;

// A store that refuses chosen writes, as a read-only registry would.
class RefusingStore final : public MemorySettingsStore {
public:
    bool CreateKey(std::string_view key, std::string& error) override {
        if (refuseKeys) {
            error = "Access is denied.";
            return false;
        }
        return MemorySettingsStore::CreateKey(key, error);
    }
    bool WriteValue(std::string_view key, std::string_view name, const RegValue& value,
                    std::string& error) override {
        attempts.insert(std::string(name));
        if (refused.count(std::string(name))) {
            error = "Access is denied.";
            return false;
        }
        return MemorySettingsStore::WriteValue(key, name, value, error);
    }
    bool refuseKeys = false;
    std::set<std::string> refused;
    std::set<std::string> attempts;
};

class FakeAutoStart final : public AutoStartEntry {
public:
    std::optional<std::string> Read() const override { return data; }
    bool Write(const std::string& program, const std::string& argument,
               std::string& error) override {
        ++writes;
        if (!writable) {
            error = "Access is denied.";
            return false;
        }
        data = program + " " + argument;
        return true;
    }
    bool Remove(std::string&) override {
        data.reset();
        return true;
    }
    std::optional<std::string> data;
    bool writable = true;
    int writes = 0;
};

class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "ringmere-settings-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string File(const std::string& name, const std::string& text) const {
        const std::string p = path_ + "/" + name;
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

Globals FreshGlobals() {
    Globals g;
    g.ProgramDir = "/opt/ringmere/";
    SetDefaultSettings(g);
    return g;
}

std::string Bytes(double d) {
    std::string b(sizeof d, '\0');
    std::memcpy(b.data(), &d, sizeof d);
    return b;
}

std::int32_t Number(const SettingsStore& store, const char* key, const char* name) {
    const auto v = store.ReadValue(key, name);
    EXPECT_TRUE(v) << name;
    EXPECT_EQ(v ? v->type : RegType::String, RegType::Number) << name;
    return v ? static_cast<std::int32_t>(v->number) : -1;
}

TEST(Settings, FirstStartOnACleanMachineStoresTheDefaults) {
    Globals g;
    g.ProgramDir = "/home/u/.local/share/ringmere/";
    g.Settings.Width = 999;  // whatever start-up finds is replaced by the defaults
    MemorySettingsStore store;
    CollectingReporter reporter;
    EXPECT_EQ(LoadStartupSettings(g, store, "/nonexistent/ringmere.ini", reporter),
              SettingsOrigin::Defaults);
    EXPECT_TRUE(reporter.messages.empty());

    SettingsRec expected;
    expected.AlarmFile = "/home/u/.local/share/ringmere/alfile.ini";
    EXPECT_EQ(g.Settings, expected);

    ASSERT_TRUE(store.KeyExists("SOFTWARE\\Ringmere"));
    ASSERT_TRUE(store.KeyExists("\\Software\\Ringmere\\Main"));
    EXPECT_EQ(Number(store, kSettingsKey, "AutoStart"), 1);
    EXPECT_EQ(Number(store, kSettingsKey, "TimeServerTO"), 30);
    EXPECT_EQ(Number(store, kSettingsKey, "autosynch"), 0);
    EXPECT_EQ(store.ReadValue(kSettingsKey, "autotime"), RegValue::Bytes(Bytes(0.0)));
    EXPECT_EQ(store.ReadValue(kSettingsKey, "autoserver"), RegValue::Text(""));
    EXPECT_EQ(Number(store, kSettingsMainKey, "Status"), 0);
    EXPECT_EQ(Number(store, kSettingsMainKey, "Height"), 400);
    EXPECT_EQ(Number(store, kSettingsMainKey, "Width"), 440);
    EXPECT_EQ(Number(store, kSettingsMainKey, "Left"), 50);
    EXPECT_EQ(Number(store, kSettingsMainKey, "Top"), 50);
    EXPECT_EQ(Number(store, kSettingsMainKey, "dispevdesc"), 1);

    // The next start finds the key and reads it back unchanged.
    Globals again;
    again.ProgramDir = g.ProgramDir;
    EXPECT_EQ(LoadStartupSettings(again, store, "", reporter), SettingsOrigin::Store);
    EXPECT_EQ(again.Settings, expected);
}

TEST(Settings, LocalFileIsCarriedIntoTheStoreOnce) {
    TempDir dir;
    const std::string ini = dir.File("ringmere.ini",
                                     "\xEF\xBB\xBF; written by an installer\r\n"
                                     "[Main]\r\n"
                                     "Status=1\r\n"
                                     "height = 480\r\n"
                                     "Width=620\r\n"
                                     "Left=-20\r\n"
                                     "Top=35\r\n"
                                     "AutoStart=0\r\n"
                                     "TimeServerTO=9\r\n"  // not a key this file carries
                                     "[Mail]\r\n"
                                     "ReplyTo=\"me@example.org\"\r\n"
                                     "[main]\r\n"
                                     "Width=1\r\n");  // the first entry counts
    Globals g;
    g.ProgramDir = dir.path() + "/";
    MemorySettingsStore store;
    CollectingReporter reporter;
    EXPECT_EQ(LoadStartupSettings(g, store, ini, reporter), SettingsOrigin::LocalFile);
    EXPECT_TRUE(reporter.messages.empty());

    SettingsRec expected;
    expected.AlarmFile = dir.path() + "/alfile.ini";
    expected.Status = 1;
    expected.Height = 480;
    expected.Width = 620;
    expected.Left = -20;
    expected.Top = 35;
    expected.AutoStart = false;
    expected.ReplyTo = "me@example.org";
    EXPECT_EQ(g.Settings, expected);
    EXPECT_EQ(Number(store, kSettingsMainKey, "Left"), -20);
    EXPECT_EQ(Number(store, kSettingsKey, "AutoStart"), 0);
    EXPECT_EQ(Number(store, kSettingsKey, "TimeServerTO"), 30);

    // From now on the store counts, whatever the file says.
    dir.File("ringmere.ini", "[Main]\r\nWidth=777\r\n");
    Globals later;
    later.ProgramDir = g.ProgramDir;
    EXPECT_EQ(LoadStartupSettings(later, store, ini, reporter), SettingsOrigin::Store);
    EXPECT_EQ(later.Settings.Width, 620);
    EXPECT_EQ(later.Settings.ReplyTo, "");  // kept by the alarm file, not the store
}

TEST(Settings, LocalFileValuesThatAreNotNumbersAreReportedAndSkipped) {
    TempDir dir;
    const std::string ini = dir.File("ringmere.ini",
                                     "[Main]\nWidth=wide\nHeight=0x1F4\nTop=$20\n"
                                     "AutoStart=maybe\nStatus\n[Mail]\nReplyTo=  \n");
    Globals g = FreshGlobals();
    g.Settings.ReplyTo = "kept@example.org";
    CollectingReporter reporter;
    EXPECT_TRUE(LoadLocalSettingsFile(g, ini, reporter));
    EXPECT_EQ(g.Settings.Width, 440);
    EXPECT_EQ(g.Settings.Height, 500);
    EXPECT_EQ(g.Settings.Top, 32);
    EXPECT_TRUE(g.Settings.AutoStart);
    EXPECT_EQ(g.Settings.ReplyTo, "");  // present though empty
    ASSERT_EQ(reporter.messages.size(), 2u);
    EXPECT_NE(reporter.messages[0].find("Width=wide"), std::string::npos);
    EXPECT_NE(reporter.messages[1].find("AutoStart=maybe"), std::string::npos);

    EXPECT_FALSE(LoadLocalSettingsFile(g, dir.path() + "/missing.ini", reporter));
    EXPECT_EQ(reporter.messages.size(), 3u);
}

TEST(Settings, LocalFileBooleans) {
    const struct {
        const char* text;
        bool expected;
    } cases[] = {{"1", true},   {"0", false},   {"2", true},  {"True", true},
                 {"no", false}, {"OFF", false}, {"yes", true}};
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string ini = dir.File("b.ini", std::string("[Main]\nAutoStart=") + c.text);
        Globals g = FreshGlobals();
        g.Settings.AutoStart = !c.expected;
        SilentReporter quiet;
        LoadLocalSettingsFile(g, ini, quiet);
        EXPECT_EQ(g.Settings.AutoStart, c.expected);
    }
}

TEST(Settings, AutotimeKeepsItsEightBytesExactly) {
    const double times[] = {
        0.0, -0.0, 0.5, 1.0 / 3.0, std::nextafter(0.75, 1.0), 0.999988425925926, 5e-324};
    for (double t : times) {
        SCOPED_TRACE(t);
        Globals g = FreshGlobals();
        g.Settings.autotime = t;
        MemorySettingsStore store;
        SilentReporter quiet;
        ASSERT_TRUE(SaveRegistrySettings(g, store, quiet));
        EXPECT_EQ(store.ReadValue(kSettingsKey, "autotime"), RegValue::Bytes(Bytes(t)));
        Globals back = FreshGlobals();
        back.Settings.autotime = 0.25;
        LoadRegistrySettings(back, store);
        EXPECT_EQ(Bytes(back.Settings.autotime), Bytes(t));
    }
}

TEST(Settings, StoreRoundTripsEveryMachineLocalField) {
    Globals g = FreshGlobals();
    SettingsRec& s = g.Settings;
    s.AutoStart = false;
    s.TimeServerTO = 12;
    s.autosynch = true;
    s.autotime = 0.625;
    s.autoserver = "time.example.org";
    s.Status = 1;
    s.Height = 516;
    s.Width = 725;
    s.Left = -4;
    s.Top = 2000;
    s.dispevdesc = false;
    s.shownotifications = true;
    // Header values are not the store's business.
    s.enablelogging = true;
    s.ReplyTo = "x@example.org";
    MemorySettingsStore store;
    SilentReporter quiet;
    ASSERT_TRUE(SaveRegistrySettings(g, store, quiet));

    Globals back = FreshGlobals();
    LoadRegistrySettings(back, store);
    SettingsRec expected = s;
    expected.enablelogging = false;
    expected.ReplyTo = "";
    EXPECT_EQ(back.Settings, expected);
}

TEST(Settings, MissingOrUnreadableValuesKeepTheirFields) {
    struct Case {
        const char* name;
        RegValue damaged;  // replaces the stored value; a Number with no key means removed
        bool remove;
        // The fields of the synchronisation group that still come from the store.
        bool timeout, synch, time, server;
    };
    const Case cases[] = {
        {"TimeServerTO", {}, true, false, false, false, false},
        {"TimeServerTO", RegValue::Text("12"), false, false, false, false, false},
        {"autosynch", {}, true, true, false, false, false},
        {"autotime", RegValue::Bytes("1234"), false, true, true, false, false},
        {"autotime", RegValue::Bytes(Bytes(std::nan(""))), false, true, true, false, false},
        {"autotime", RegValue::Number(0), false, true, true, false, false},
        {"autoserver", RegValue::Number(7), false, true, true, true, false},
        {"AutoStart", {}, true, true, true, true, true},
        {"Width", RegValue::Text("wide"), false, true, true, true, true},
        {"dispevdesc", {}, true, true, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Globals saved = FreshGlobals();
        saved.Settings.AutoStart = false;
        saved.Settings.TimeServerTO = 12;
        saved.Settings.autosynch = true;
        saved.Settings.autotime = 0.5;
        saved.Settings.autoserver = "srv";
        saved.Settings.Width = 600;
        saved.Settings.dispevdesc = false;
        MemorySettingsStore store;
        SilentReporter quiet;
        ASSERT_TRUE(SaveRegistrySettings(saved, store, quiet));
        const char* key =
            std::string_view(c.name) == "Width" || std::string_view(c.name) == "dispevdesc"
                ? kSettingsMainKey
                : kSettingsKey;
        std::string error;
        if (c.remove)
            ASSERT_TRUE(store.DeleteValue(key, c.name, error));
        else
            ASSERT_TRUE(store.WriteValue(key, c.name, c.damaged, error));

        Globals g = FreshGlobals();
        LoadRegistrySettings(g, store);
        const SettingsRec d;
        EXPECT_EQ(g.Settings.TimeServerTO, c.timeout ? 12 : d.TimeServerTO);
        EXPECT_EQ(g.Settings.autosynch, c.synch ? true : d.autosynch);
        EXPECT_EQ(g.Settings.autotime, c.time ? 0.5 : d.autotime);
        EXPECT_EQ(g.Settings.autoserver, c.server ? "srv" : d.autoserver);
        const std::string_view n = c.name;
        EXPECT_EQ(g.Settings.AutoStart, n == "AutoStart" ? d.AutoStart : false);
        EXPECT_EQ(g.Settings.Width, n == "Width" ? d.Width : 600);
        EXPECT_EQ(g.Settings.dispevdesc, n == "dispevdesc" ? d.dispevdesc : false);
    }
}

TEST(Settings, SaveStopsAtTheFirstRefusedValueButIgnoresDispevdesc) {
    Globals g = FreshGlobals();
    {
        RefusingStore store;
        store.refused = {"dispevdesc"};
        CollectingReporter reporter;
        EXPECT_TRUE(SaveRegistrySettings(g, store, reporter));
        EXPECT_TRUE(reporter.messages.empty());
        EXPECT_TRUE(store.ReadValue(kSettingsMainKey, "Top"));
    }
    {
        RefusingStore store;
        store.refused = {"autotime"};
        CollectingReporter reporter;
        EXPECT_FALSE(SaveRegistrySettings(g, store, reporter));
        ASSERT_EQ(reporter.messages.size(), 1u);
        EXPECT_NE(reporter.messages[0].find("autotime"), std::string::npos);
        EXPECT_NE(reporter.messages[0].find("Access is denied."), std::string::npos);
        EXPECT_TRUE(store.ReadValue(kSettingsKey, "autosynch"));
        EXPECT_FALSE(store.attempts.count("autoserver"));
    }
    {
        RefusingStore store;
        store.refuseKeys = true;
        CollectingReporter reporter;
        EXPECT_FALSE(SaveRegistrySettings(g, store, reporter));
        EXPECT_EQ(reporter.messages.size(), 1u);
        EXPECT_TRUE(store.attempts.empty());
    }
}

TEST(Settings, StartUpGoesOnWhenTheStoreCannotBeWritten) {
    RefusingStore store;
    store.refuseKeys = true;
    Globals g;
    g.ProgramDir = "/p/";
    CollectingReporter reporter;
    EXPECT_EQ(LoadStartupSettings(g, store, "", reporter), SettingsOrigin::Defaults);
    EXPECT_EQ(g.Settings.AlarmFile, "/p/alfile.ini");
    EXPECT_EQ(reporter.messages.size(), 1u);
}

TEST(Settings, AutoStartEntryIsKeptUpToDate) {
    const std::string program = "/usr/bin/ringmere";
    const struct {
        const char* name;
        std::optional<std::string> before;
        bool autoStart;
        std::optional<std::string> after;
    } cases[] = {
        {"no entry, off", std::nullopt, false, std::nullopt},
        {"no entry, on", std::nullopt, true, program + " startup"},
        {"installer entry, off", std::string("/opt/old/ringmere"), false, program + " startup"},
        {"installer entry, on", std::string("/opt/old/ringmere"), true, program + " startup"},
        {"good entry, off", std::string("/opt/old/ringmere startup"), false,
         std::string("/opt/old/ringmere startup")},
        {"good entry, on", std::string("/opt/old/ringmere startup"), true, program + " startup"},
        {"empty entry, off", std::string(), false, std::string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeAutoStart entry;
        entry.data = c.before;
        SettingsRec s;
        s.AutoStart = c.autoStart;
        CollectingReporter reporter;
        EXPECT_TRUE(RegisterAutoStart(s, entry, program, reporter));
        EXPECT_EQ(entry.data, c.after);
        EXPECT_LE(entry.writes, 1);
        EXPECT_TRUE(reporter.messages.empty());
    }
}

TEST(Settings, AutoStartFailuresAreReported) {
    SettingsRec s;
    FakeAutoStart entry;
    entry.writable = false;
    CollectingReporter reporter;
    EXPECT_FALSE(RegisterAutoStart(s, entry, "/usr/bin/ringmere", reporter));
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_NE(reporter.messages[0].find("Access is denied."), std::string::npos);

    // Without its own path the program must not write a broken entry.
    FakeAutoStart fine;
    EXPECT_FALSE(RegisterAutoStart(s, fine, "", reporter));
    EXPECT_EQ(fine.writes, 0);
    EXPECT_EQ(reporter.messages.size(), 2u);
}

TEST(Registry, ReadStringLeavesTheResultAloneWhenMissing) {
    MemorySettingsStore store;
    std::string error;
    ASSERT_TRUE(store.WriteValue("Software\\X", "name", RegValue::Text("value"), error));
    ASSERT_TRUE(store.WriteValue("Software\\X", "num", RegValue::Number(3), error));
    const struct {
        const char* key;
        const char* name;
        const char* expected;
    } cases[] = {
        {"Software\\X", "name", "value"},   {"\\SOFTWARE\\x\\", "NAME", "value"},
        {"Software\\X", "other", "before"}, {"Software\\Y", "name", "before"},
        {"Software\\X", "num", "before"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " " + c.name);
        std::string result = "before";
        ReadRegistryString(store, c.key, c.name, result);
        EXPECT_EQ(result, c.expected);
    }
    EXPECT_FALSE(store.KeyExists("Software\\Y"));  // reading never creates
}

TEST(Registry, WriteConvertsToTheTypeCode) {
    const struct {
        const char* name;
        RegValue value;
        int code;
        std::optional<RegValue> stored;  // nothing: the write fails
    } cases[] = {
        {"text as text", RegValue::Text("abc"), 1, RegValue::Text("abc")},
        {"text expandable", RegValue::Text("%HOME%"), 2,
         RegValue{RegType::ExpandString, "%HOME%", 0}},
        {"digits as number", RegValue::Text(" 42 "), 3, RegValue::Number(42)},
        {"negative as number", RegValue::Text("-20"), 3, RegValue::Number(0xFFFFFFECu)},
        {"letters as number", RegValue::Text("abc"), 3, std::nullopt},
        {"too big", RegValue::Text("4294967296"), 3, std::nullopt},
        {"number as text", RegValue::Number(0xFFFFFFECu), 1, RegValue::Text("-20")},
        {"number as bytes", RegValue::Number(0x01020304), 4, RegValue::Bytes("\x04\x03\x02\x01")},
        {"four bytes as number", RegValue::Bytes("\x04\x03\x02\x01"), 3,
         RegValue::Number(0x01020304)},
        {"three bytes as number", RegValue::Bytes("abc"), 3, std::nullopt},
        {"new value keeps its type", RegValue::Number(5), 0, RegValue::Number(5)},
        {"type 5", RegValue::Text("x"), 5, std::nullopt},
        {"type -1", RegValue::Text("x"), -1, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemorySettingsStore store;
        std::string error;
        const bool ok = WriteRegistryValue(store, "Software\\T", "v", c.value, c.code, error);
        EXPECT_EQ(ok, c.stored.has_value()) << error;
        EXPECT_EQ(store.ReadValue("Software\\T", "v"), c.stored);
        if (!ok) {
            EXPECT_FALSE(error.empty());
        }
    }
    MemorySettingsStore store;
    std::string error;
    WriteRegistryValue(store, "K", "v", RegValue::Text("x"), 5, error);
    EXPECT_EQ(error, "The configuration registry key could not be written.");
}

TEST(Registry, TypeCodeZeroKeepsTheStoredType) {
    MemorySettingsStore store;
    std::string error;
    ASSERT_TRUE(store.WriteValue("K", "n", RegValue::Number(1), error));
    ASSERT_TRUE(WriteRegistryValue(store, "K", "n", RegValue::Text("30"), 0, error));
    EXPECT_EQ(store.ReadValue("K", "n"), RegValue::Number(30));
    EXPECT_FALSE(WriteRegistryValue(store, "K", "n", RegValue::Text("thirty"), 0, error));
    EXPECT_EQ(store.ReadValue("K", "n"), RegValue::Number(30));  // a failed write changes nothing
}

TEST(Registry, WriteAndDeleteCreateTheKeyAndReportAFailure) {
    MemorySettingsStore store;
    std::string error;
    EXPECT_TRUE(DeleteRegistryValue(store, "Software\\New", "absent", error));
    EXPECT_TRUE(store.KeyExists("software\\new"));
    EXPECT_TRUE(WriteRegistryValue(store, "Software\\New", "v", RegValue::Text("1"), 1, error));
    EXPECT_TRUE(DeleteRegistryValue(store, "SOFTWARE\\NEW", "V", error));
    EXPECT_FALSE(store.ReadValue("Software\\New", "v"));

    RefusingStore locked;
    locked.refuseKeys = true;
    EXPECT_FALSE(WriteRegistryValue(locked, "K", "v", RegValue::Text("x"), 1, error));
    EXPECT_EQ(error, "Access is denied.");
    error.clear();
    EXPECT_FALSE(DeleteRegistryValue(locked, "K", "v", error));
    EXPECT_EQ(error, "Access is denied.");
}

TEST(Registry, KeysIgnoreCaseAndStraySeparators) {
    MemorySettingsStore store;
    std::string error;
    ASSERT_TRUE(store.CreateKey("\\Software\\Ringmere\\Main", error));
    EXPECT_TRUE(store.KeyExists("SOFTWARE\\Ringmere"));  // a parent of an existing key
    EXPECT_TRUE(store.KeyExists("software\\\\ringmere\\main\\"));
    EXPECT_FALSE(store.KeyExists("SOFTWARE\\Ring"));
    EXPECT_FALSE(store.KeyExists("SOFTWARE\\Ringmere\\Main\\Sub"));
    EXPECT_FALSE(store.KeyExists(""));
    EXPECT_FALSE(store.CreateKey("\\\\", error));
    EXPECT_EQ(store.Keys().size(), 1u);
    EXPECT_EQ(store.Keys()[0].path, "Software\\Ringmere\\Main");
}

}  // namespace
}  // namespace ringmere
