// check and rewrite: reading a file as the program does, and writing it anew.
#include <iostream>

#include "core/alarmfile.h"
#include "core/fileio.h"
#include "tools/cli.h"

namespace ringmere::cli {

namespace {

int RunCheck(const std::vector<std::string>& args) {
    if (args.size() != 1) return Fail("check takes one FILE (see ringmere-cli check --help)");
    Globals g;
    StderrReporter reporter;
    const LoadedFile loaded = LoadAsLocalFile(g, args[0], reporter);
    if (loaded.result != kFileDone) return ExplainSilentFailure(g, args[0], loaded);
    return loaded.messages == 0 ? kExitOk : kExitProblems;
}

int RunRewrite(const std::vector<std::string>& args) {
    if (args.size() != 2)
        return Fail("rewrite takes FILE and OUT (see ringmere-cli rewrite --help)");
    Globals g;
    StderrReporter reporter;
    const LoadedFile loaded = LoadAsLocalFile(g, args[0], reporter);
    if (loaded.result != kFileDone) {
        if (ExplainSilentFailure(g, args[0], loaded) == kExitError) return kExitError;
        std::cerr << "Nothing written: the file could not be read to its end.\n";
        return kExitProblems;
    }
    if (g.FileVersion < 1.4) g.Settings.allowWake = true;  // as start-up upgrades old files
    // Written here rather than through WriteAlarmFile, which keeps the
    // system's reason to itself. The copy holds the passwords as the
    // original does.
    std::string error;
    switch (WriteFileAtomically(args[1], FormatAlarmFile(g), error, kOwnerOnly)) {
        case kWriteDone:
            break;
        case kWriteCannotCreate:
            return Fail("cannot create " + error);
        case kWriteFailed:
            return Fail("cannot write " + error);
    }
    return loaded.messages == 0 ? kExitOk : kExitProblems;
}

const Register check{{
    "check",
    "FILE",
    "Read FILE as the alarm file and print every message the reader reports.",
    "FILE is read as the program reads its \"alfile.ini\"; its directory stands for the\n"
    "program directory. Messages go to stderr, one per line.\n"
    "Exit status: 0 no messages, 1 messages, 2 FILE cannot be read.\n",
    RunCheck,
}};

const Register rewrite{{
    "rewrite",
    "FILE OUT",
    "Read FILE as start-up does and write it to OUT in the current layout.",
    "Settings take their defaults, then FILE is read; a file older than version 1.4 gets\n"
    "wake from standby switched on, as the program does when it upgrades a file. OUT is\n"
    "written in the current layout (\"Version=2.10\"), atomically. OUT is not written when\n"
    "FILE could not be read to its end.\n"
    "Exit status: 0 no messages, 1 messages, 2 FILE cannot be read or OUT not written.\n",
    RunRewrite,
}};

}  // namespace

}  // namespace ringmere::cli
