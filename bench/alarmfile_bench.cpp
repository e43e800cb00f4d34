// Reading and writing an alarm file of 1000 alarms: half simple, half scripted
// with ten steps. The program reads it at start-up and writes it after every
// edit, so both must stay well under 50 ms. A file of 10,000 alarms (about
// 14 MB) must read in under 0.1 s, and a file of 60 MB of empty lines after
// its header as fast as its size allows (`/usr/bin/time -v ringmere-cli check`
// shows the memory: a few times the file's size at most).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "core/fileio.h"
#include "core/globals.h"

namespace {

using namespace ringmere;

void Fill(Globals& g, int count) {
    g.AlarmCount = count;
    g.ResetAlarmTable(count);
    for (int a = 1; a <= count; ++a) {
        AlRec& r = g.AlarmTable[a];
        r.AlName = "Alarm number " + std::to_string(a);
        r.AlMessage = "First line of the message\r\nSecond line\r\nThird line";
        r.enabled = true;
        r.AlSnooze = true;
        r.snoozeming = 5;
        r.Schedule.AlType = static_cast<Byte>(a % 8);
        r.Schedule.AlTime = EncodeTime(a % 24, a % 60, 0);
        r.Schedule.AlStartDate = EncodeDate(2026, 1 + a % 12, 1 + a % 28);
        r.Schedule.AlEndType = 1;
        r.Schedule.AlWeekdaynum = 3;
        r.Schedule.AlWeekdays = {2, 4, 6};
        r.Schedule.AlXDays = r.Schedule.AlXWeeks = r.Schedule.AlXMonths = 1;
        r.Schedule.AlDayCount = 2;
        r.Schedule.AlDays = {EncodeDate(2027, 1, 1), EncodeDate(2027, 6, 1)};
        r.Exceptions.Count = 1;
        ExRec window;
        window.ExTStart = EncodeTime(12, 0, 0);
        window.ExTEnd = EncodeTime(13, 0, 0);
        r.Exceptions.Items = {window};
        if (a % 2 == 0) {
            r.mtype = 1;
            r.Events.Count = 10;
            r.Events.Items.resize(10);
            for (int e = 0; e < 10; ++e) {
                AlEvent& s = r.Events.Items[e];
                s.evtype = static_cast<Byte>(e);
                s.evname = "Step " + std::to_string(e + 1);
                s.sseconds = 5;
                s.Repeat = {1, 0, 2};
                *s.FileOp = {1, "/home/user/a/*.txt", "/home/user/b", ""};
                s.Mail->msg = "Body\r\nof the mail";
            }
        } else {
            r.Launch->app1 = "/usr/bin/true";
            r.Mail->msg = "Body";
        }
    }
}

struct Dir {
    Dir() {
        char tmpl[] = "/tmp/ringmere-bench-XXXXXX";
        path = std::string(mkdtemp(tmpl)) + "/";
    }
    ~Dir() { std::system(("rm -rf " + path).c_str()); }
    std::string path;
};

void BM_WriteAlarmFile(benchmark::State& state) {
    Dir dir;
    Globals g;
    g.ProgramDir = dir.path;
    SetDefaultSettings(g);
    Fill(g, static_cast<int>(state.range(0)));
    SilentReporter quiet;
    for (auto _ : state) {
        if (WriteAlarmFile(g, g.LocalAlarmFilePath(), quiet) != kFileDone)
            state.SkipWithError("write failed");
    }
    state.counters["bytes"] = static_cast<double>(FormatAlarmFile(g).size());
}
BENCHMARK(BM_WriteAlarmFile)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_ReadAlarmFile(benchmark::State& state) {
    Dir dir;
    Globals source;
    source.ProgramDir = dir.path;
    SetDefaultSettings(source);
    Fill(source, static_cast<int>(state.range(0)));
    SilentReporter quiet;
    WriteAlarmFile(source, source.LocalAlarmFilePath(), quiet);
    for (auto _ : state) {
        Globals g;
        g.ProgramDir = dir.path;
        SetDefaultSettings(g);
        CollectingReporter messages;
        if (ReadAlarmFile(g, {.followClient = true}, messages) != kFileDone ||
            !messages.messages.empty() || g.AlarmCount != state.range(0))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(g.AlarmTable.data());
    }
}
BENCHMARK(BM_ReadAlarmFile)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// A damaged file: a valid header and no alarms, then megabytes of empty lines.
void BM_ReadEmptyLines(benchmark::State& state) {
    Dir dir;
    Globals source;
    source.ProgramDir = dir.path;
    SetDefaultSettings(source);
    std::string text = FormatAlarmFile(source);
    const auto lines = static_cast<std::size_t>(state.range(0)) * 1000 * 1000 / 2;
    text.reserve(text.size() + 2 * lines);
    for (std::size_t i = 0; i < lines; ++i) text += "\r\n";
    std::string error;
    if (WriteFileAtomically(source.LocalAlarmFilePath(), text, error) != kWriteDone)
        state.SkipWithError("cannot write the file");
    for (auto _ : state) {
        Globals g;
        g.ProgramDir = dir.path;
        SetDefaultSettings(g);
        SilentReporter quiet;
        if (ReadAlarmFile(g, {.followClient = true}, quiet) != kFileDone)
            state.SkipWithError("read failed");
    }
    state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_ReadEmptyLines)->Arg(60)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
