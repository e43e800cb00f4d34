#include "platform/paths.h"

#include <filesystem>

#include <unistd.h>

#include "tests/platform/temp_environment.h"

namespace ringmere {
namespace {

namespace fs = std::filesystem;

class Paths : public testing::TempEnvironment {};

TEST_F(Paths, ProgramDirComesFromTheEnvironmentAndIsCreated) {
    const struct {
        const char* name;
        std::optional<std::string> ringmereDir;
        std::optional<std::string> dataHome;
        std::string expected;  // relative to the test root
    } cases[] = {
        {"RINGMERE_DIR", std::string("/program"), std::nullopt, "program/"},
        {"RINGMERE_DIR with slashes", std::string("/deep/er//"), std::nullopt, "deep/er/"},
        {"empty RINGMERE_DIR", std::string(""), std::string("/data"), "data/ringmere/"},
        {"XDG_DATA_HOME", std::nullopt, std::string("/data"), "data/ringmere/"},
        {"relative XDG_DATA_HOME", std::nullopt, std::string("relative"),
         "home/.local/share/ringmere/"},
        {"no XDG_DATA_HOME", std::nullopt, std::nullopt, "home/.local/share/ringmere/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto underRoot = [&](const std::optional<std::string>& v) -> std::optional<std::string> {
            if (!v || v->empty() || v->front() != '/') return v;
            return root_ + *v;
        };
        SetEnv("RINGMERE_DIR", underRoot(c.ringmereDir));
        SetEnv("XDG_DATA_HOME", underRoot(c.dataHome));
        CollectingReporter reporter;
        const std::string dir = ResolveProgramDir(reporter);
        EXPECT_EQ(dir, Path(c.expected));
        EXPECT_TRUE(fs::is_directory(dir));
        EXPECT_TRUE(reporter.messages.empty());
    }
}

TEST_F(Paths, RelativeRingmereDirIsTakenFromTheCurrentFolder) {
    const fs::path before = fs::current_path();
    fs::create_directories(Path("cwd"));
    fs::current_path(Path("cwd"));
    SetEnv("RINGMERE_DIR", "here");
    SilentReporter quiet;
    const std::string dir = ResolveProgramDir(quiet);
    fs::current_path(before);
    EXPECT_EQ(dir, fs::canonical(Path("cwd")).string() + "/here/");
    EXPECT_TRUE(fs::is_directory(dir));
}

TEST_F(Paths, AProgramDirThatCannotBeCreatedIsReported) {
    WriteFile("blocker", "a file where a folder should be");
    SetEnv("RINGMERE_DIR", Path("blocker/program"));
    CollectingReporter reporter;
    EXPECT_EQ(ResolveProgramDir(reporter), Path("blocker/program/"));
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_NE(reporter.messages[0].find("blocker"), std::string::npos);
}

TEST_F(Paths, SystemConfigDirsFollowTheXdgRules) {
    const struct {
        std::optional<std::string> value;
        std::vector<std::string> expected;
    } cases[] = {
        {std::nullopt, {"/etc/xdg"}},
        {std::string(""), {"/etc/xdg"}},
        {std::string("/a:/b/"), {"/a", "/b"}},
        {std::string("relative::/c"), {"/c"}},
        {std::string("relative"), {"/etc/xdg"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.value_or("<unset>"));
        SetEnv("XDG_CONFIG_DIRS", c.value);
        EXPECT_EQ(SystemConfigDirs(), c.expected);
    }
}

TEST_F(Paths, LocalSettingsFileIsLookedForInEverySystemFolder) {
    EXPECT_EQ(LocalSettingsFilePath(), Path("etc1/ringmere.ini"));
    WriteFile("etc2/ringmere.ini", "[Main]\n");
    EXPECT_EQ(LocalSettingsFilePath(), Path("etc2/ringmere.ini"));
    WriteFile("etc1/ringmere.ini", "[Main]\n");
    EXPECT_EQ(LocalSettingsFilePath(), Path("etc1/ringmere.ini"));
}

TEST_F(Paths, UserFilesLiveUnderTheConfigHome) {
    EXPECT_EQ(SettingsStorePath(), Path("config/ringmere/registry.ini"));
    EXPECT_EQ(AutoStartFilePath(), Path("config/autostart/ringmere.desktop"));
    SetEnv("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(SettingsStorePath(), Path("home/.config/ringmere/registry.ini"));
}

TEST_F(Paths, ProgramFilePathNamesThisProgram) {
    const std::string path = ProgramFilePath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.front(), '/');
    EXPECT_TRUE(fs::equivalent(path, "/proc/self/exe"));
}

}  // namespace
}  // namespace ringmere
