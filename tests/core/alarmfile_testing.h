// Helpers shared by the alarm file tests: scratch directories, file text,
// and the small records most tests start from.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/globals.h"

namespace ringmere::testing {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the test ends.
class ScratchDir {
public:
    ScratchDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "ringmere-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) ADD_FAILURE() << "mkdtemp failed";
        path_ = tmpl;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // ProgramDir form: ends with "/".
    std::string dir() const { return path_ + "/"; }
    std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

private:
    std::string path_;
};

inline void WriteText(const std::string& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buf;
    buf << in.rdbuf();
    return buf.str();
}

inline std::string DataFile(std::string_view relative) {
    return std::string(RINGMERE_TEST_DATA) + "/" + std::string(relative);
}

inline std::string ReadDataFile(std::string_view relative) {
    const std::string path = DataFile(relative);
    EXPECT_TRUE(std::filesystem::exists(path)) << path;
    return ReadText(path);
}

// Joins lines, each ended by CR LF, as the writer ends them.
inline std::string Crlf(std::initializer_list<std::string_view> lines) {
    std::string out;
    for (std::string_view l : lines) {
        out.append(l);
        out.append("\r\n");
    }
    return out;
}

inline std::string ToLfOnly(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out.push_back(text[i]);
    return out;
}

// The lines of a file written with CR LF; a line end of any other kind
// fails the test.
inline std::vector<std::string> CrlfLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string_view::npos) {
            ADD_FAILURE() << "text does not end with CR LF";
            lines.emplace_back(text.substr(start));
            break;
        }
        std::string line(text.substr(start, end - start));
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray line break: " << line;
        lines.push_back(std::move(line));
        start = end + 2;
    }
    return lines;
}

// Replaces the one line that equals `from`.
inline std::string ReplaceLine(const std::string& text, std::string_view from,
                               std::string_view to) {
    const std::string needle = "\n" + std::string(from) + "\r\n";
    const std::size_t at = text.find(needle);
    EXPECT_NE(at, std::string::npos) << "no line " << from;
    if (at == std::string::npos) return text;
    EXPECT_EQ(text.find(needle, at + 1), std::string::npos) << "line not unique: " << from;
    return text.substr(0, at + 1) + std::string(to) + "\r\n" + text.substr(at + needle.size());
}

inline std::string RemoveLine(const std::string& text, std::string_view line) {
    const std::string needle = "\n" + std::string(line) + "\r\n";
    const std::size_t at = text.find(needle);
    EXPECT_NE(at, std::string::npos) << "no line " << line;
    if (at == std::string::npos) return text;
    return text.substr(0, at + 1) + text.substr(at + needle.size());
}

// A Globals whose program directory is `dir`, with the default settings.
inline void Prepare(Globals& g, const ScratchDir& dir) {
    g.ProgramDir = dir.dir();
    SetDefaultSettings(g);
}

// Writes `text` as the local alarm file of `dir` and reads it as start-up does.
inline int ReadLocalText(Globals& g, const ScratchDir& dir, std::string_view text,
                         CollectingReporter& reporter, bool followClient = true) {
    WriteText(dir.file("alfile.ini"), text);
    return ReadAlarmFile(g, {.followClient = followClient}, reporter);
}

inline DateTime Date(int y, int m, int d) {
    return EncodeDate(y, m, d);
}
inline DateTime Time(int h, int m, int s = 0) {
    return EncodeTime(h, m, s);
}

}  // namespace ringmere::testing
