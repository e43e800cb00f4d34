#include "platform/file_settings_store.h"

#include <filesystem>

#include "core/fileio.h"
#include "tests/platform/temp_environment.h"

namespace ringmere {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

TEST(SettingsStoreFormat, EveryValueTypeRoundTrips) {
    const struct {
        const char* name;
        RegValue value;
        const char* line;  // how the file shows it
    } cases[] = {
        {"AutoStart", RegValue::Number(1), "\"AutoStart\"=dword:00000001"},
        {"Left", RegValue::Number(0xFFFFFFECu), "\"Left\"=dword:ffffffec"},
        {"autotime", RegValue::Bytes(std::string("\x00\xff\x10\x00\x00\x00\xe0\x3f", 8)),
         "\"autotime\"=hex:00,ff,10,00,00,00,e0,3f"},
        {"empty bytes", RegValue::Bytes(""), "\"empty bytes\"=hex:"},
        {"autoserver", RegValue::Text("time.example.org"),
         "\"autoserver\"=sz:\"time.example.org\""},
        {"tricky", RegValue::Text("a \"q\" \\ b\r\n\tz\x7f"),
         "\"tricky\"=sz:\"a \\\"q\\\" \\\\ b\\x0d\\x0a\\x09z\\x7f\""},
        {"bytes kept", RegValue::Text("Z\xc3\xbcrich \xe9"),
         "\"bytes kept\"=sz:\"Z\xc3\xbcrich \xe9\""},
        {"path", RegValue{RegType::ExpandString, "%HOME%/x", 0}, "\"path\"=expand_sz:\"%HOME%/x\""},
        {"we\"ird=name", RegValue::Text(""), "\"we\\\"ird=name\"=sz:\"\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemorySettingsStore store;
        std::string error;
        ASSERT_TRUE(store.WriteValue("SOFTWARE\\Ringmere", c.name, c.value, error));
        const std::string text = FormatSettingsStore(store);
        EXPECT_NE(text.find("\r\n[SOFTWARE\\Ringmere]\r\n" + std::string(c.line) + "\r\n"),
                  std::string::npos)
            << text;
        std::vector<std::string> problems;
        const MemorySettingsStore back = ParseSettingsStore(text, problems);
        EXPECT_TRUE(problems.empty()) << problems.front();
        EXPECT_EQ(back.ReadValue("SOFTWARE\\Ringmere", c.name), c.value);
    }
}

TEST(SettingsStoreFormat, KeysAndValuesKeepTheirOrderAndSpelling) {
    MemorySettingsStore store;
    std::string error;
    store.WriteValue("\\SOFTWARE\\Ringmere", "b", RegValue::Number(2), error);
    store.WriteValue("\\Software\\Ringmere\\Main", "Top", RegValue::Number(3), error);
    store.WriteValue("software\\ringmere", "A", RegValue::Number(1), error);
    std::vector<std::string> problems;
    const MemorySettingsStore back = ParseSettingsStore(FormatSettingsStore(store), problems);
    ASSERT_EQ(back.Keys().size(), 2u);
    EXPECT_EQ(back.Keys()[0].path, "SOFTWARE\\Ringmere");
    EXPECT_EQ(back.Keys()[1].path, "Software\\Ringmere\\Main");
    ASSERT_EQ(back.Keys()[0].values.size(), 2u);
    EXPECT_EQ(back.Keys()[0].values[0].name, "b");
    EXPECT_EQ(back.Keys()[0].values[1].name, "A");
}

TEST(SettingsStoreFormat, UnreadableLinesAreNamedAndTheRestKept) {
    const struct {
        const char* line;
        const char* why;  // part of the problem text
    } cases[] = {
        {"\"x\"=dword:123456789", "1 to 8"},
        {"\"x\"=dword:12g4", "1 to 8"},
        {"\"x\"=dword:", "1 to 8"},
        {"\"x\"=hex:0,1,zz", "two hexadecimal digits"},
        {"\"x\"=hex:00,", "ends with a comma"},
        {"\"x\"=hex:123", "two hexadecimal digits"},
        {"\"x\"=sz:\"open", "not closed"},
        {"\"x\"=sz:\"a\" b", "follows the closing quote"},
        {"\"x\"=sz:\"\\q\"", "unknown escape"},
        {"\"x\"=sz:unquoted", "quoted text"},
        {"\"x\"=float:1.5", "unknown value type"},
        {"\"x\"", "=type:data"},
        {"x=dword:1", "value name"},
        {"[unclosed", "must end with"},
        {"[\\\\]", "no usable key name"},
        {"\x01\x02\xff\xfe garbage", "value name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string text = std::string("[K]\r\n\"before\"=dword:00000001\r\n") + c.line +
                                 "\r\n[K]\r\n\"after\"=dword:00000002\r\n";
        std::vector<std::string> problems;
        const MemorySettingsStore store = ParseSettingsStore(text, problems);
        ASSERT_EQ(problems.size(), 1u);
        EXPECT_EQ(problems[0].rfind("line 3: ", 0), 0u) << problems[0];
        EXPECT_NE(problems[0].find(c.why), std::string::npos) << problems[0];
        EXPECT_EQ(store.ReadValue("K", "before"), RegValue::Number(1));
        EXPECT_EQ(store.ReadValue("K", "after"), RegValue::Number(2));
        EXPECT_FALSE(store.ReadValue("K", "x"));
    }
}

TEST(SettingsStoreFormat, ValuesUnderABrokenSectionAreLeftOut) {
    std::vector<std::string> problems;
    const MemorySettingsStore store = ParseSettingsStore(
        "\"orphan\"=dword:1\n[bad\n\"lost\"=dword:1\n[K]\n\"ok\"=dword:1\n", problems);
    EXPECT_EQ(problems.size(), 3u);
    EXPECT_EQ(store.Keys().size(), 1u);
    EXPECT_TRUE(store.ReadValue("K", "ok"));
}

class FileStore : public testing::TempEnvironment {};

TEST_F(FileStore, ChangesReachTheFileAtOnceAndSurviveAReload) {
    const std::string path = Path("config/ringmere/registry.ini");
    CollectingReporter reporter;
    {
        FileSettingsStore store(path, reporter);
        EXPECT_FALSE(fs::exists(path));  // opening alone writes nothing
        std::string error;
        ASSERT_TRUE(
            store.WriteValue("SOFTWARE\\Ringmere", "TimeServerTO", RegValue::Number(30), error))
            << error;
        ASSERT_TRUE(store.WriteValue("SOFTWARE\\Ringmere", "gone", RegValue::Number(1), error));
        ASSERT_TRUE(store.DeleteValue("SOFTWARE\\Ringmere", "gone", error));
        ASSERT_TRUE(store.CreateKey("Software\\Ringmere\\Main", error));
    }
    EXPECT_TRUE(reporter.messages.empty());
    FileSettingsStore again(path, reporter);
    EXPECT_EQ(again.ReadValue("software\\ringmere", "timeserverto"), RegValue::Number(30));
    EXPECT_FALSE(again.ReadValue("SOFTWARE\\Ringmere", "gone"));
    EXPECT_TRUE(again.KeyExists("Software\\Ringmere\\Main"));
    // Only the store itself is left in its folder: no temporary files.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(Path("config/ringmere")))
        ++entries;
    EXPECT_EQ(entries, 1);
    EXPECT_TRUE(reporter.messages.empty());
}

TEST_F(FileStore, AWriteThatFailsChangesNeitherTheFileNorTheStore) {
    WriteFile("config", "a file where the folder should be");
    CollectingReporter reporter;
    FileSettingsStore store(Path("config/ringmere/registry.ini"), reporter);
    std::string error;
    EXPECT_FALSE(store.WriteValue("K", "v", RegValue::Number(1), error));
    EXPECT_NE(error.find("config"), std::string::npos) << error;
    EXPECT_FALSE(store.ReadValue("K", "v"));
    EXPECT_FALSE(store.KeyExists("K"));
    EXPECT_FALSE(store.CreateKey("K2", error));
}

TEST_F(FileStore, ADamagedFileIsReportedKeptAndItsGoodLinesUsed) {
    const std::string original =
        "[SOFTWARE\\Ringmere]\r\n"
        "\"AutoStart\"=dword:00000000\r\n"
        "\"TimeServerTO\"=dword:zz\r\n"
        "\x00\x00\x00\x00 torn by a crash"
        "\r\n[Software\\Ringmere\\Main]\r\n\"Width\"=dword:00000258"s;
    WriteFile("config/ringmere/registry.ini", original);
    const std::string path = Path("config/ringmere/registry.ini");
    CollectingReporter reporter;
    FileSettingsStore store(path, reporter);
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_NE(reporter.messages[0].find("line 3"), std::string::npos) << reporter.messages[0];
    EXPECT_NE(reporter.messages[0].find("1 more"), std::string::npos) << reporter.messages[0];
    EXPECT_NE(reporter.messages[0].find(path + ".damaged"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(path + ".damaged"), original);
    EXPECT_EQ(store.ReadValue("SOFTWARE\\Ringmere", "AutoStart"), RegValue::Number(0));
    EXPECT_FALSE(store.ReadValue("SOFTWARE\\Ringmere", "TimeServerTO"));
    EXPECT_EQ(store.ReadValue("Software\\Ringmere\\Main", "Width"), RegValue::Number(600));

    // The next write leaves a clean file behind.
    std::string error;
    ASSERT_TRUE(
        store.WriteValue("SOFTWARE\\Ringmere", "TimeServerTO", RegValue::Number(30), error));
    CollectingReporter second;
    FileSettingsStore reloaded(path, second);
    EXPECT_TRUE(second.messages.empty());
    EXPECT_EQ(reloaded.ReadValue("Software\\Ringmere\\Main", "Width"), RegValue::Number(600));
}

TEST_F(FileStore, AFileThatCannotBeReadIsNeverOverwritten) {
    const std::string path = Path("config/ringmere/registry.ini");
    fs::create_directories(path);  // a folder in the file's place
    WriteFile("config/ringmere/registry.ini/inside", "precious");
    CollectingReporter reporter;
    FileSettingsStore store(path, reporter);
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_FALSE(store.KeyExists("SOFTWARE\\Ringmere"));
    std::string error;
    EXPECT_FALSE(store.WriteValue("SOFTWARE\\Ringmere", "AutoStart", RegValue::Number(1), error));
    EXPECT_NE(error.find(path), std::string::npos);
    EXPECT_EQ(ReadWholeFile(path + "/inside"), "precious");
}

TEST_F(FileStore, AFileBehindALinkLoopIsNeverReplaced) {
    const std::string path = Path("config/ringmere/registry.ini");
    fs::create_directories(Path("config/ringmere"));
    fs::create_symlink(Path("config/ringmere/other"), path);
    fs::create_symlink(path, Path("config/ringmere/other"));
    CollectingReporter reporter;
    FileSettingsStore store(path, reporter);
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_NE(reporter.messages[0].find("will not overwrite"), std::string::npos);
    std::string error;
    EXPECT_FALSE(store.CreateKey("SOFTWARE\\Ringmere", error));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(fs::read_symlink(path), Path("config/ringmere/other"));
}

TEST_F(FileStore, KeyNamesThatWouldBreakTheFileAreRefused) {
    CollectingReporter reporter;
    FileSettingsStore store(Path("config/ringmere/registry.ini"), reporter);
    std::string error;
    EXPECT_FALSE(store.WriteValue("K\nL", "v", RegValue::Number(1), error));
    EXPECT_FALSE(store.CreateKey("K\r", error));
    EXPECT_FALSE(fs::exists(Path("config/ringmere/registry.ini")));
}

}  // namespace
}  // namespace ringmere
