// File operations on real temporary directories: the lines, the wildcard
// rules, "<DATETIME>", and the cases where nothing may be overwritten.
#include "core/fileops.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace ringmere {
namespace {

namespace fs = std::filesystem;

const DateTime kMarch1 = EncodeDate(2024, 3, 1) + EncodeTime(9, 5, 30);

class FileOpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/ringmere-fileops-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        root_ = name;
        oldCwd_ = fs::current_path();
    }
    void TearDown() override {
        fs::current_path(oldCwd_);
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    std::string P(const std::string& rel) const { return root_ + "/" + rel; }
    void Write(const std::string& rel, const std::string& content) {
        fs::create_directories(fs::path(P(rel)).parent_path());
        std::ofstream(P(rel), std::ios::binary) << content;
    }
    std::string Read(const std::string& rel) const {
        std::ifstream in(P(rel), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool Has(const std::string& rel) const {
        std::error_code ec;
        return fs::exists(fs::symlink_status(P(rel), ec));
    }
    std::vector<std::string> Run(const FileOps& op, DateTime now = kMarch1) {
        std::vector<std::string> lines;
        RunFileOperation(op, now, [&](const std::string& l) { lines.push_back(l); });
        return lines;
    }
    static FileOps Op(Byte fop, std::string from, std::string to, std::string del = {}) {
        FileOps op;
        op.fop = fop;
        op.ffrom = std::move(from);
        op.fto = std::move(to);
        op.fdel = std::move(del);
        return op;
    }

    std::string root_;
    fs::path oldCwd_;
};

TEST(SubstituteDateTimeTest, MarkerInAnyCaseFirstOnly) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"backup<datetime>.dat", "backup20240301090530.dat"},
        {"backup<DATETIME>.dat", "backup20240301090530.dat"},
        {"<DateTime>", "20240301090530"},
        {"a<DATETIME>b<DATETIME>c", "a20240301090530b<DATETIME>c"},
        {"no marker", "no marker"},
        {"<DATETIME", "<DATETIME"},
        {"", ""},
        {"ÄÖ<datetime>", "ÄÖ20240301090530"},
    };
    for (const auto& c : cases) EXPECT_EQ(SubstituteDateTime(c.in, kMarch1), c.out) << c.in;
}

TEST(SubstituteDateTimeTest, TwentyFourHourClockAndRounding) {
    EXPECT_EQ(SubstituteDateTime("<DATETIME>", EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 59)),
              "19991231235959");
    EXPECT_EQ(SubstituteDateTime("<DATETIME>", EncodeDate(2024, 1, 2) + EncodeTime(13, 0, 0)),
              "20240102130000");
    // 09:59:59.9995 is shown as 10:00:00, never as a second that went by.
    EXPECT_EQ(SubstituteDateTime("<DATETIME>", EncodeDate(2024, 1, 2) + EncodeTime(9, 59, 59, 999) +
                                                   0.0005 / kSecondsPerDay),
              "20240102100000");
}

TEST(WildcardTest, Table) {
    const struct {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"*.doc", "a.doc", true},
        {"*.doc", "a.docx", false},
        {"*.doc", "a.DOC", false},
        {"*.doc", ".doc", false},  // hidden files only when asked for
        {"*", ".profile", false},
        {"?profile", ".profile", false},
        {".*", ".profile", true},
        {".p*", ".profile", true},
        {"*.*", "README", true},
        {"*.*", "a.b.c", true},
        {"*.*", ".hidden", false},
        {"a*.*", "abc", true},
        {"a*.*", "bcd", false},
        {"*", "anything at all", true},
        {"?.txt", "a.txt", true},
        {"?.txt", "ab.txt", false},
        {"?.txt", "ä.txt", true},  // one character, two bytes
        {"a?c", "ac", false},
        {"*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
        {"report[1].txt", "report[1].txt", true},
        {"x", "x", true},
        {"", "", true},
        {"", "a", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesWildcard(c.pattern, c.name), c.match) << c.pattern << " / " << c.name;
}

TEST_F(FileOpsTest, WildcardCopyOfThreeDocumentsReportsThreeLinesWithFullTargets) {
    Write("src/one.doc", "1");
    Write("src/two.doc", "2");
    Write("src/three.doc", "3");
    Write("src/notes.txt", "t");
    fs::create_directories(P("src/sub.doc"));  // a directory never counts
    fs::create_directories(P("dst"));
    const auto lines = Run(Op(1, P("src/*.doc"), P("dst")));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Copying one.doc to " + P("dst/one.doc") + ".",
                         "Copying three.doc to " + P("dst/three.doc") + ".",
                         "Copying two.doc to " + P("dst/two.doc") + ".",
                     }));
    EXPECT_EQ(Read("dst/one.doc"), "1");
    EXPECT_EQ(Read("dst/two.doc"), "2");
    EXPECT_EQ(Read("dst/three.doc"), "3");
    EXPECT_FALSE(Has("dst/notes.txt"));
    EXPECT_TRUE(Has("src/one.doc"));
}

TEST_F(FileOpsTest, WildcardCopyOverwritesAndKeepsATrailingSlash) {
    Write("src/a.log", "new");
    Write("dst/a.log", "old");
    const auto lines = Run(Op(1, P("src/*.*"), P("dst/")));
    EXPECT_EQ(lines, std::vector<std::string>{"Copying a.log to " + P("dst/a.log") + "."});
    EXPECT_EQ(Read("dst/a.log"), "new");
}

TEST_F(FileOpsTest, WildcardIntoMissingDirectoryIsReportedOnceAndNothingElse) {
    Write("src/a.doc", "a");
    Write("src/b.doc", "b");
    for (const Byte fop : {Byte{1}, Byte{2}}) {
        // No "Copying" line for a file that was not copied.
        EXPECT_EQ(Run(Op(fop, P("src/*.doc"), P("nowhere"))),
                  std::vector<std::string>{"Destination directory does not exist: " + P("nowhere")});
    }
    EXPECT_TRUE(Has("src/a.doc"));
    EXPECT_TRUE(Has("src/b.doc"));
    EXPECT_FALSE(Has("nowhere"));
}

TEST_F(FileOpsTest, WildcardIntoAnEmptyDestinationTouchesNothing) {
    Write("src/a.doc", "a");
    const auto lines = Run(Op(1, P("src/*.doc"), ""));
    EXPECT_EQ(lines, std::vector<std::string>{"Refused: a path is missing."});
}

TEST_F(FileOpsTest, PatternMatchingNothingWritesNoLine) {
    fs::create_directories(P("src"));
    fs::create_directories(P("dst"));
    EXPECT_TRUE(Run(Op(1, P("src/*.doc"), P("dst"))).empty());
    EXPECT_TRUE(Run(Op(3, "", "", P("src/*.doc"))).empty());
    EXPECT_TRUE(Run(Op(3, "", "", P("missing/*.doc"))).empty());
}

TEST_F(FileOpsTest, DateTimeInLowerCaseNamesTheCopy) {
    Write("data.dat", "payload");
    const auto lines = Run(Op(1, P("data.dat"), P("backup<datetime>.dat")));
    EXPECT_EQ(lines, std::vector<std::string>{"Copying " + P("data.dat") + " to " +
                                              P("backup20240301090530.dat") + "."});
    EXPECT_EQ(Read("backup20240301090530.dat"), "payload");
}

TEST_F(FileOpsTest, DateTimeInAWildcardDestinationDirectory) {
    Write("src/a.txt", "a");
    fs::create_directories(P("keep20240301090530"));
    const auto lines = Run(Op(1, P("src/*.txt"), P("keep<DATETIME>")));
    EXPECT_EQ(lines,
              std::vector<std::string>{"Copying a.txt to " + P("keep20240301090530/a.txt") + "."});
    EXPECT_EQ(Read("keep20240301090530/a.txt"), "a");
}

// A folder named for the moment cannot be there beforehand: it is made, in a
// folder that is there, and every line names it.
TEST_F(FileOpsTest, AWildcardCopyMakesTheFolderNamedForTheMoment) {
    const std::string made = P("dst/backup-20240301090530");
    const struct {
        Byte fop;
        std::string to;
        bool parent;  // "dst" is there
        std::vector<std::string> lines;
        bool done;
    } cases[] = {
        {1, P("dst/backup-<DATETIME>"), true,
         {"Created the destination directory " + made + ".",
          "Copying a.txt to " + made + "/a.txt."},
         true},
        {2, P("dst/backup-<datetime>/"), true,
         {"Created the destination directory " + made + ".", "Moving a.txt to " + made + "/a.txt."},
         true},
        {1, P("dst/backup-<DATETIME>"), false,
         {"Could not create the destination directory " + made + ": No such file or directory."},
         false},
        {1, P("dst/backup"), true, {"Destination directory does not exist: " + P("dst/backup")},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.to);
        fs::remove_all(P("dst"));
        Write("src/a.txt", "a");
        if (c.parent) fs::create_directories(P("dst"));
        std::vector<std::string> lines;
        const bool done = RunFileOperation(Op(c.fop, P("src/*.txt"), c.to), kMarch1,
                                           [&](const std::string& l) { lines.push_back(l); });
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(done, c.done);
        EXPECT_EQ(Has("dst/backup-20240301090530/a.txt"), c.done);
        EXPECT_EQ(Has("src/a.txt"), !(c.done && c.fop == 2));
    }
}

TEST_F(FileOpsTest, SingleMoveOntoAnExistingFileFailsAndKeepsBoth) {
    Write("a.txt", "source");
    Write("b.txt", "destination");
    const auto lines = Run(Op(2, P("a.txt"), P("b.txt")));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Moving " + P("a.txt") + " to " + P("b.txt") + ".",
                         "Could not move " + P("a.txt") + ": " + P("b.txt") + " exists already.",
                     }));
    EXPECT_EQ(Read("a.txt"), "source");
    EXPECT_EQ(Read("b.txt"), "destination");
}

TEST_F(FileOpsTest, SingleMoveAndCopySucceed) {
    Write("a.txt", "A");
    Run(Op(2, P("a.txt"), P("moved.txt")));
    EXPECT_FALSE(Has("a.txt"));
    EXPECT_EQ(Read("moved.txt"), "A");
    Write("c.txt", "C");
    Write("d.txt", "old");
    Run(Op(1, P("c.txt"), P("d.txt")));
    EXPECT_EQ(Read("c.txt"), "C");
    EXPECT_EQ(Read("d.txt"), "C");
}

TEST_F(FileOpsTest, MoveOfADirectoryRenamesItButNeverOntoAnother) {
    Write("dir/inner.txt", "x");
    fs::create_directories(P("taken"));
    EXPECT_FALSE(MoveOneFile(P("dir"), P("taken")));
    EXPECT_TRUE(Has("dir/inner.txt"));
    EXPECT_TRUE(MoveOneFile(P("dir"), P("renamed")));
    EXPECT_EQ(Read("renamed/inner.txt"), "x");
}

TEST_F(FileOpsTest, CopyOntoItselfKeepsTheContent) {
    Write("same.txt", "keep me");
    EXPECT_FALSE(CopyOneFile(P("same.txt"), P("same.txt")));
    EXPECT_FALSE(CopyOneFile(P("same.txt"), P("./same.txt")));
    EXPECT_EQ(Read("same.txt"), "keep me");
    // A wildcard copy into its own directory copies each file onto itself.
    const auto lines = Run(Op(1, P("*.txt"), root_));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Copying same.txt to " + P("same.txt") + ".",
                         "Could not copy same.txt: it is the same file as " + P("same.txt") + ".",
                     }));
    EXPECT_EQ(Read("same.txt"), "keep me");
}

TEST_F(FileOpsTest, CopyOfAPipeIsRefusedInsteadOfBlocking) {
    ASSERT_EQ(mkfifo(P("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(CopyOneFile(P("pipe"), P("out")));
    EXPECT_FALSE(Has("out"));
    EXPECT_TRUE(MatchingFiles(root_ + "/", "*").empty());
}

TEST_F(FileOpsTest, SingleDeleteReportsAndNeverRemovesADirectory) {
    Write("old.tmp", "x");
    fs::create_directories(P("folder"));
    EXPECT_EQ(Run(Op(3, "", "", P("old.tmp"))),
              std::vector<std::string>{"Deleting " + P("old.tmp") + "."});
    EXPECT_FALSE(Has("old.tmp"));
    EXPECT_EQ(
        Run(Op(3, "", "", P("folder"))),
        (std::vector<std::string>{"Deleting " + P("folder") + ".",
                                  "Could not delete " + P("folder") + ": it is a directory."}));
    EXPECT_TRUE(Has("folder"));
}

TEST_F(FileOpsTest, WildcardDeleteNamesEachFile) {
    Write("a.tmp", "a");
    Write("b.tmp", "b");
    Write("keep.txt", "k");
    EXPECT_EQ(Run(Op(3, "", "", P("*.tmp"))),
              (std::vector<std::string>{"Deleting a.tmp.", "Deleting b.tmp."}));
    EXPECT_FALSE(Has("a.tmp"));
    EXPECT_FALSE(Has("b.tmp"));
    EXPECT_TRUE(Has("keep.txt"));
}

TEST_F(FileOpsTest, DeleteLeavesTheDateTimeMarkerAsItIs) {
    Write("log20240301090530.txt", "dated");
    Write("log<DATETIME>.txt", "literal");
    EXPECT_EQ(Run(Op(3, "", "", P("log<DATETIME>.txt"))),
              std::vector<std::string>{"Deleting " + P("log<DATETIME>.txt") + "."});
    EXPECT_FALSE(Has("log<DATETIME>.txt"));
    EXPECT_TRUE(Has("log20240301090530.txt"));
}

TEST_F(FileOpsTest, RelativePathsAndPatternsWithoutAFolderAreRefused) {
    Write("here/x.cfg", "x");
    Write("here/.hidden", "h");
    Write("here/sub/y.cfg", "y");
    fs::create_directories(P("here/out"));
    fs::current_path(P("here"));
    const std::string full = " is not a full path; file operations need one starting with \"/\".";
    const std::string noFolder =
        " names no folder; file operations need a full path starting with \"/\".";
    const struct {
        FileOps op;
        std::string line;
    } cases[] = {
        {Op(3, "", "", "*"), "Refused: the pattern *" + noFolder},
        {Op(3, "", "", "x.*"), "Refused: the pattern x.*" + noFolder},
        {Op(3, "", "", "x.cfg"), "Refused: x.cfg" + full},
        {Op(3, "", "", "sub/*.cfg"), "Refused: sub/*.cfg" + full},
        {Op(1, "*.cfg", P("here/out")), "Refused: the pattern *.cfg" + noFolder},
        {Op(1, P("here/*.cfg"), "out"), "Refused: out" + full},
        {Op(2, "x.cfg", P("here/out/x.cfg")), "Refused: x.cfg" + full},
        {Op(1, P("here/x.cfg"), "out/x.cfg"), "Refused: out/x.cfg" + full},
        {Op(1, P("here/x.cfg"), ""), "Refused: a path is missing."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Run(c.op), std::vector<std::string>{c.line});
    }
    EXPECT_TRUE(Has("here/x.cfg"));
    EXPECT_TRUE(Has("here/sub/y.cfg"));
    EXPECT_TRUE(fs::is_empty(P("here/out")));

    // "*" leaves hidden files alone.
    EXPECT_EQ(Run(Op(3, "", "", P("here/*"))), std::vector<std::string>{"Deleting x.cfg."});
    EXPECT_TRUE(Has("here/.hidden"));
}

TEST_F(FileOpsTest, CopyNeverWritesThroughALinkInTheDestination) {
    Write("victim.txt", "precious");
    Write("src/report.txt", "report");
    Write("src/other.txt", "other");
    fs::create_directories(P("dst"));
    fs::create_symlink(P("victim.txt"), P("dst/report.txt"));
    fs::create_symlink(P("created.txt"), P("dst/other.txt"));  // dangling
    const std::string never = " is a symbolic link, and a copy never writes through one.";
    EXPECT_EQ(Run(Op(1, P("src/*.txt"), P("dst"))),
              (std::vector<std::string>{
                  "Copying other.txt to " + P("dst/other.txt") + ".",
                  "Could not copy other.txt: " + P("dst/other.txt") + never,
                  "Copying report.txt to " + P("dst/report.txt") + ".",
                  "Could not copy report.txt: " + P("dst/report.txt") + never,
              }));
    EXPECT_EQ(Run(Op(1, P("src/report.txt"), P("dst/report.txt"))),
              (std::vector<std::string>{
                  "Copying " + P("src/report.txt") + " to " + P("dst/report.txt") + ".",
                  "Could not copy " + P("src/report.txt") + ": " + P("dst/report.txt") + never,
              }));
    EXPECT_EQ(Read("victim.txt"), "precious");
    EXPECT_FALSE(Has("created.txt"));
    EXPECT_TRUE(fs::is_symlink(P("dst/report.txt")));
    EXPECT_TRUE(fs::is_symlink(P("dst/other.txt")));
}

TEST_F(FileOpsTest, WildcardCopySkipsLinksInTheSourceFolder) {
    Write("outside/secret.txt", "secret");
    Write("src/a.txt", "a");
    fs::create_symlink(P("outside/secret.txt"), P("src/secret.txt"));
    fs::create_symlink("a.txt", P("src/again.txt"));
    fs::create_directories(P("dst"));
    EXPECT_EQ(Run(Op(1, P("src/*.txt"), P("dst"))),
              (std::vector<std::string>{
                  "Copying a.txt to " + P("dst/a.txt") + ".",
                  "Not copying again.txt: it is a symbolic link.",
                  "Not copying secret.txt: it is a symbolic link.",
              }));
    EXPECT_EQ(Read("dst/a.txt"), "a");
    EXPECT_FALSE(Has("dst/secret.txt"));
    EXPECT_FALSE(Has("dst/again.txt"));
    // A single file named by the alarm may be a link: the user chose it.
    Run(Op(1, P("src/secret.txt"), P("dst/chosen.txt")));
    EXPECT_EQ(Read("dst/chosen.txt"), "secret");
}

// Root may remove anything, so the move runs in a child process that has
// given up root.
TEST_F(FileOpsTest, MoveThatCannotRemoveItsSourceTakesTheNewNameAwayAndSaysSo) {
    Write("src/a.txt", "a");
    fs::create_directories(P("dst"));
    fs::permissions(root_, fs::perms(0755));
    fs::permissions(P("src/a.txt"), fs::perms(0666));
    fs::permissions(P("src"), fs::perms(0555));
    fs::permissions(P("dst"), fs::perms(0777));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && setuid(65534) != 0) _exit(100);
        const std::vector<std::string> lines = Run(Op(2, P("src/a.txt"), P("dst/a.txt")));
        const std::vector<std::string> expected = {
            "Moving " + P("src/a.txt") + " to " + P("dst/a.txt") + ".",
            "Could not move " + P("src/a.txt") + ": cannot remove " + P("src/a.txt") +
                ": Permission denied.",
        };
        _exit(lines == expected ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    fs::permissions(P("src"), fs::perms(0755));
    EXPECT_EQ(Read("src/a.txt"), "a");
    EXPECT_FALSE(Has("dst/a.txt"));
}

TEST_F(FileOpsTest, NamesWithSpacesQuotesAndSemicolonsAreJustNames) {
    const std::string odd = "a b; 'c' \"d\" $(rm -rf x).doc";
    Write("src/" + odd, "odd");
    fs::create_directories(P("dst"));
    const auto lines = Run(Op(1, P("src/*.doc"), P("dst")));
    EXPECT_EQ(lines, std::vector<std::string>{"Copying " + odd + " to " + P("dst/" + odd) + "."});
    EXPECT_EQ(Read("dst/" + odd), "odd");
}

TEST_F(FileOpsTest, NoOperationAndUnknownKindsDoNothing) {
    Write("a.txt", "a");
    for (Byte fop : {Byte{0}, Byte{4}, Byte{255}})
        EXPECT_TRUE(Run(Op(fop, P("a.txt"), P("b.txt"), P("a.txt"))).empty());
    EXPECT_TRUE(Has("a.txt"));
    EXPECT_FALSE(Has("b.txt"));
}

TEST_F(FileOpsTest, MissingSourceSaysSo) {
    EXPECT_EQ(Run(Op(1, P("none.txt"), P("b.txt"))),
              (std::vector<std::string>{
                  "Copying " + P("none.txt") + " to " + P("b.txt") + ".",
                  "Could not copy " + P("none.txt") + ": No such file or directory.",
              }));
    EXPECT_FALSE(Has("b.txt"));
}

}  // namespace
}  // namespace ringmere
