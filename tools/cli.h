// ringmere-cli: commands for people who script, check or repair alarm files.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "core/globals.h"

namespace ringmere::cli {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitProblems = 1;  // the file was read, with messages
inline constexpr int kExitError = 2;     // bad arguments, unreadable file

struct Command {
    const char* name;
    const char* usage;    // the arguments, for the usage line
    const char* summary;  // one line for the tool's help
    const char* help;     // the rest of `COMMAND --help`
    int (*run)(const std::vector<std::string>& args);
};

// Adds a command to the tool; call from a static initialiser.
struct Register {
    explicit Register(const Command& command);
};
const std::vector<Command>& Commands();

// Prints each message on stderr, one per line.
class StderrReporter final : public Reporter {
public:
    void Report(const std::string& message) override;
    int count = 0;
};

struct LoadedFile {
    int result = 0;    // of ReadAlarmFile
    int messages = 0;  // reported while reading
};

// Reads `path` as start-up reads the local "alfile.ini": defaults first, its
// directory as ProgramDir. Client files follow their shared file; web client
// files use a "webtmp.ini" beside them, as ringmere-cli downloads nothing.
LoadedFile LoadAsLocalFile(Globals& g, const std::string& path, StderrReporter& reporter);

// Says what the reader does not say itself after a read that did not end
// well: it reports nothing for a file it cannot open, nor for a failed
// download. Returns kExitError when FILE itself cannot be read, else
// kExitProblems.
int ExplainSilentFailure(const Globals& g, const std::string& path, const LoadedFile& loaded);

// "M/d/yyyy hh:mm:ssAM", or the date alone for its midnight: the moment of
// --now.
std::optional<DateTime> ParseMoment(const std::string& text);

// Reads FILE's own alarms to change them, under its lock, and writes them back
// when `change` returns kExitOk: nothing is written after any error, nor when
// the file was read with messages or is a client's (whose alarms are the
// server's). Returns the exit status.
int EditAlarmFile(const std::string& path, const std::function<int(Globals&)>& change);

// A one-line error on stderr; returns kExitError.
int Fail(const std::string& message);

}  // namespace ringmere::cli
