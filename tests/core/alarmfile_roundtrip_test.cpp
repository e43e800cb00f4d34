// Random records written and read back. The layout cannot hold a few texts
// exactly; the writer changes them as little as it can, and each change is
// applied to the expected record here, next to the text that needs it:
// - a line break in a single-line text becomes one space;
// - a multi-line text whose first line is empty starts with one space;
// - a further line of a multi-line text that reads "eom1" gets a space after it;
// - a multi-line text keeps at most 1000 lines: the ones after the thousandth
//   join it, each after a space;
// - a port or download interval out of its range reads as the default.
// The generator fills only what the layout carries for a record's kind (a
// step's own block, a rule's fields of its type, a simple alarm's actions or
// a scripted alarm's steps), as the editors do.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "core/alarmfile.h"
#include "core/globals.h"
#include "tests/core/alarmfile_testing.h"
#include "tests/core/record_generator.h"

namespace ringmere {
namespace {

using testing::Generator;
using testing::Pair;
using testing::ScratchDir;
using Messages = std::vector<std::string>;

void ExpectReadsBack(const Pair& p, const ScratchDir& dir) {
    // The text WriteAlarmFile writes, without its flush to disk, which only
    // slows a few hundred rounds down.
    testing::WriteText(dir.file("alfile.ini"), FormatAlarmFile(p.written));
    CollectingReporter reporter;
    Globals g;
    testing::Prepare(g, dir);
    ASSERT_EQ(ReadAlarmFile(g, {.followClient = false}, reporter), kFileDone);
    // Values out of their range are reported and still read back.
    bool replaced = false;
    for (const std::string& m : reporter.messages) {
        EXPECT_EQ(m.rfind("Damaged value in the alarm file: ", 0), 0u) << m;
        replaced = replaced || m.find("(read as ") != std::string::npos;
    }
    EXPECT_DOUBLE_EQ(g.FileVersion, 2.1);
    EXPECT_EQ(g.Settings, p.expected.Settings);
    EXPECT_EQ(g.GlobalExceptions, p.expected.GlobalExceptions);
    ASSERT_EQ(g.AlarmCount, p.expected.AlarmCount);
    ASSERT_EQ(g.AlarmTable.size(), p.expected.AlarmTable.size());
    for (std::size_t a = 0; a < g.AlarmTable.size(); ++a) {
        const AlRec& got = g.AlarmTable[a];
        const AlRec& want = p.expected.AlarmTable[a];
        if (got == want) continue;
        // Narrow the report down to the part that differs.
        EXPECT_EQ(got.AlName, want.AlName) << "alarm " << a;
        EXPECT_EQ(got.AlMessage, want.AlMessage) << "alarm " << a;
        EXPECT_EQ(got.Schedule, want.Schedule) << "alarm " << a;
        EXPECT_EQ(got.Exceptions, want.Exceptions) << "alarm " << a;
        for (std::size_t k = 0; k < got.Events.Items.size() && k < want.Events.Items.size(); ++k)
            EXPECT_EQ(got.Events.Items[k], want.Events.Items[k]) << "alarm " << a << " step " << k;
        EXPECT_EQ(got, want) << "alarm " << a;
    }
    // A client's file keeps its AlarmFile line, so the whole file comes out
    // as it went in.
    if (g.Settings.UserMode == "Client" && !replaced) {
        EXPECT_EQ(FormatAlarmFile(g), testing::ReadText(dir.file("alfile.ini")));
    }
}

TEST(AlarmFileRoundTrip, RandomRecords) {
    Generator gen(20240607);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ScratchDir dir;
        Pair p;
        Generate(gen, dir, p);
        ExpectReadsBack(p, dir);
        if (HasFailure()) break;
    }
}

// The texts the format cannot hold exactly, one by one.
TEST(AlarmFileRoundTrip, SmallestVisibleChanges) {
    struct Case {
        const char* name;
        std::string written;
        std::string expected;
        bool multiLine;
    } cases[] = {
        {"bracket in a name", "Backup [daily]", "Backup [daily]", false},
        {"marker as a name", "[sw140-3]", "[sw140-3]", false},
        {"key and value", "AlName=x", "AlName=x", false},
        {"CR LF", "a\r\nb", "a b", false},
        {"LF", "a\nb", "a b", false},
        {"CR", "a\rb", "a b", false},
        {"two breaks", "a\r\n\r\nb", "a  b", false},
        {"break at the end", "a\r\n", "a ", false},
        {"empty first line", "\r\nb", " \r\nb", true},
        {"only line breaks", "\r\n\r\n", " \r\n\r\n", true},
        {"eom1 line", "a\r\neom1\r\nb", "a\r\neom1 \r\nb", true},
        {"eom1 last", "a\r\neom1", "a\r\neom1 ", true},
        {"eom1 with a space already", "a\r\neom1 ", "a\r\neom1 ", true},
        {"eom1 first", "eom1\r\nb", "eom1\r\nb", true},
        {"LF alone", "a\nb", "a\r\nb", true},
        {"CR alone", "a\rb", "a\r\nb", true},
        {"tags as lines", "[Alarm 2]\r\n[sw129]\r\n[Event Info]",
         "[Alarm 2]\r\n[sw129]\r\n[Event Info]", true},
        {"8-bit bytes", "\x80\r\n\xE9t\xE9", "\x80\r\n\xE9t\xE9", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        Pair p;
        for (Globals* g : {&p.written, &p.expected}) {
            testing::Prepare(*g, dir);
            g->AlarmCount = 2;
            g->ResetAlarmTable(2);
            g->AlarmTable[2].AlName = "after";
            g->AlarmTable[2].enabled = true;
        }
        AlRec& w = p.written.AlarmTable[1];
        AlRec& e = p.expected.AlarmTable[1];
        if (c.multiLine) {
            w.AlMessage = w.Mail->msg = c.written;
            e.AlMessage = e.Mail->msg = c.expected;
        } else {
            w.AlName = w.Launch->app1 = w.Mail->subject = c.written;
            e.AlName = e.Launch->app1 = e.Mail->subject = c.expected;
        }
        w.AlHideWindow = e.AlHideWindow = true;
        w.Mail->nAttach = e.Mail->nAttach = 1;
        w.Mail->Attachment = e.Mail->Attachment = {"after"};
        ExpectReadsBack(p, dir);
    }
}

std::string Lines(int from, int to) {
    std::string out;
    for (int i = from; i <= to; ++i) out += (i > from ? "\r\n" : "") + std::to_string(i);
    return out;
}

TEST(AlarmFileRoundTrip, LongMessages) {
    struct Case {
        int lines;
        std::string expected;
    } cases[] = {
        {999, Lines(1, 999)},
        {1000, Lines(1, 1000)},
        // The lines after the thousandth join it.
        {1001, Lines(1, 999) + "\r\n1000 1001"},
        {1500,
         [] {
             std::string s = Lines(1, 999) + "\r\n1000";
             for (int i = 1001; i <= 1500; ++i) s += " " + std::to_string(i);
             return s;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        ScratchDir dir;
        Pair p;
        for (Globals* g : {&p.written, &p.expected}) {
            testing::Prepare(*g, dir);
            g->AlarmCount = 1;
            g->ResetAlarmTable(1);
            g->AlarmTable[1].AlHideWindow = true;
            g->AlarmTable[1].Mail->subject = "after";
        }
        p.written.AlarmTable[1].AlMessage = p.written.AlarmTable[1].Mail->msg = Lines(1, c.lines);
        p.expected.AlarmTable[1].AlMessage = p.expected.AlarmTable[1].Mail->msg = c.expected;
        ExpectReadsBack(p, dir);
    }
}

}  // namespace
}  // namespace ringmere
