// Feeds arbitrary bytes to the alarm file reader, as the local file or as a
// client's shared file, then checks that what the writer makes of the result
// reads back to the same text. Nothing may crash, hang or leak.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/fileio.h"
#include "core/globals.h"

namespace {

std::string WorkDir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/ringmere-fuzz-XXXXXX";
        const char* made = mkdtemp(tmpl);
        if (!made) std::abort();
        return std::string(made) + "/";
    }();
    return dir;
}

void Put(const std::string& path, std::string_view data) {
    std::string error;
    if (ringmere::WriteFileAtomically(path, data, error) != ringmere::kWriteDone) std::abort();
}

// The writer's own output must read back without a message, but for values
// out of their range, which are kept as they were read, and write out the
// same again; a message longer than the reader's line cap is the one thing
// the layout cannot carry.
void CheckRewriteIsStable(const ringmere::Globals& read) {
    for (ringmere::Integer a = 1; a <= read.AlarmCount; ++a) {
        const auto& alarm = read.AlarmTable[a];
        std::size_t lines = 0;
        for (char c : alarm.AlMessage) lines += c == '\n';
        for (const auto& e : alarm.Events.Items)
            for (char c : e.Mail->msg) lines += c == '\n';
        for (char c : alarm.Mail->msg) lines += c == '\n';
        if (lines >= 999) return;
    }
    const std::string first = ringmere::FormatAlarmFile(read);
    ringmere::Globals again;
    again.ProgramDir = WorkDir() + "again/";
    ringmere::SetDefaultSettings(again);
    Put(again.LocalAlarmFilePath(), first);
    ringmere::CollectingReporter messages;
    const int result = ringmere::ReadAlarmFile(again, {.followClient = false}, messages);
    if (result != ringmere::kFileDone) std::abort();
    for (const std::string& m : messages.messages)
        if (!m.starts_with("Damaged value in the alarm file: ")) std::abort();
    again.Settings.AlarmFile = read.Settings.AlarmFile;  // dropped outside client modes
    if (ringmere::FormatAlarmFile(again) != first) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool made = [] {
        return mkdir((WorkDir() + "again").c_str(), 0700) == 0 || errno == EEXIST;
    }();
    (void)made;
    const bool asShared = size & 1;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    ringmere::Globals g;
    g.ProgramDir = WorkDir();
    ringmere::SetDefaultSettings(g);
    if (asShared) {
        Put(g.ProgramDir + "shared.ini", text);
        Put(g.LocalAlarmFilePath(),
            "[Alarm Info]\r\nVersion=2.10\r\nUseSMTP=0\r\nSMTP Server=\r\n[sw201-2]\r\n"
            "SMTP User=\r\nSMTP Pass=\r\nReplyTo=\r\nUserMode=Client\r\nAlarmFile=" +
                g.ProgramDir + "shared.ini\r\n");
    } else {
        Put(g.LocalAlarmFilePath(), text);
    }
    ringmere::CollectingReporter messages;
    const int result =
        ringmere::ReadAlarmFile(g, {.followClient = true, .reuseDownload = true}, messages);
    if (result == ringmere::kFileDone) CheckRewriteIsStable(g);
    return 0;
}
