// A temporary home for one platform test: every folder the program looks at
// points into a fresh directory, and the environment is put back afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace ringmere::testing {

class TempEnvironment : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "ringmere-platform-XXXXXX").string();
        root_ = mkdtemp(tmpl.data());
        SetEnv("RINGMERE_DIR", root_ + "/program");
        SetEnv("XDG_CONFIG_HOME", root_ + "/config");
        SetEnv("XDG_CONFIG_DIRS", root_ + "/etc1:" + root_ + "/etc2");
        SetEnv("XDG_DATA_HOME", root_ + "/data");
        SetEnv("HOME", root_ + "/home");
    }

    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        std::filesystem::remove_all(root_);
    }

    void SetEnv(const std::string& name, const std::optional<std::string>& value) {
        if (!saved_.count(name)) {
            const char* old = std::getenv(name.c_str());
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }

    std::string Path(const std::string& relative) const { return root_ + "/" + relative; }

    void WriteFile(const std::string& relative, const std::string& text) const {
        const std::filesystem::path p = Path(relative);
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
    }

    std::string root_;

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace ringmere::testing
