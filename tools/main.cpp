#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "core/alarmtable.h"
#include "core/fileio.h"
#include "core/version.h"
#include "tools/cli.h"

namespace ringmere::cli {

namespace {

std::vector<Command>& Registry() {
    static std::vector<Command> commands;
    return commands;
}

void PrintToolHelp() {
    std::cout << "Usage: ringmere-cli COMMAND [ARGS]\n\n"
                 "Checks, repairs, shows and edits Ringmere alarm files.\n\nCommands:\n";
    for (const Command& c : Commands()) std::printf("  %-10s %s\n", c.name, c.summary);
    std::cout << "\nRun 'ringmere-cli COMMAND --help' for the arguments of a command,\n"
                 "'ringmere-cli --version' for the version.\n"
                 "Exit status: 0 read without messages, 1 read with messages, 2 error.\n";
}

}  // namespace

Register::Register(const Command& command) {
    Registry().push_back(command);
}

const std::vector<Command>& Commands() {
    return Registry();
}

void StderrReporter::Report(const std::string& message) {
    ++count;
    std::cerr << message << '\n';
}

std::optional<DateTime> ParseMoment(const std::string& text) {
    const auto space = text.find(' ');
    const auto date = ParseShortDate(text.substr(0, space));
    if (!date) return std::nullopt;
    if (space == std::string::npos) return *date;
    const auto time = ParseLongTime(text.substr(space + 1));
    if (!time) return std::nullopt;
    return *date + *time;
}

int EditAlarmFile(const std::string& path, const std::function<int(Globals&)>& change) {
    std::string error;
    const auto lock = TakeFileLock(path, error);
    if (!lock) return Fail("nothing changed: " + error);
    Globals g;
    const auto slash = path.rfind('/');
    g.ProgramDir = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    g.LocalFileName = slash == std::string::npos ? path : path.substr(slash + 1);
    SetDefaultSettings(g);
    if (!ReadWholeFile(g.LocalAlarmFilePath(), error))
        return Fail("cannot read " + path + ": " + error);
    StderrReporter reporter;
    const int read = ReadOwnAlarmFile(g, reporter);
    // Writing back a misread would make it permanent.
    if (read != kFileDone || reporter.count > 0 || g.AlarmFileDamaged)
        return Fail("nothing changed: " + path +
                    " could not be read cleanly ('ringmere-cli check' lists why)");
    if (IsClientMode(g))
        return Fail("nothing changed: " + path + " is a client's file, whose alarms are the " +
                    "server's; change the shared file " + g.Settings.AlarmFile + " instead");
    if (const int status = change(g); status != kExitOk) return status;
    if (g.FileVersion < 1.4) g.Settings.allowWake = true;  // as start-up upgrades old files
    if (WriteAlarmFile(g, g.LocalAlarmFilePath(), reporter) != kFileDone)
        return Fail("cannot write " + path);
    return kExitOk;
}

int Fail(const std::string& message) {
    std::cerr << "ringmere-cli: " << message << '\n';
    return kExitError;
}

LoadedFile LoadAsLocalFile(Globals& g, const std::string& path, StderrReporter& reporter) {
    const auto slash = path.rfind('/');
    g.ProgramDir = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    g.LocalFileName = slash == std::string::npos ? path : path.substr(slash + 1);
    SetDefaultSettings(g);
    const int before = reporter.count;
    LoadedFile loaded;
    loaded.result =
        ReadAlarmFile(g, {.followClient = true, .reuseDownload = true}, reporter, nullptr);
    loaded.messages = reporter.count - before;
    return loaded;
}

int ExplainSilentFailure(const Globals& g, const std::string& path, const LoadedFile& loaded) {
    if (loaded.result == kFileCannotOpen) {
        std::string why;
        if (!ReadWholeFile(g.LocalAlarmFilePath(), why))
            return Fail("cannot read " + path + ": " + why);
        std::cerr << "Error: cannot open the shared alarm file " << g.Settings.AlarmFile;
        if (!ReadWholeFile(g.Settings.AlarmFile, why)) std::cerr << ": " << why;
        std::cerr << '\n';
        return kExitProblems;
    }
    if (loaded.result == kFileInvalid && loaded.messages == 0) {
        std::cerr << "Error: no downloaded copy (webtmp.ini) of " << g.Settings.AlarmFile
                  << " beside the file\n";
    }
    return kExitProblems;
}

}  // namespace ringmere::cli

int main(int argc, char** argv) {
    using namespace ringmere::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintToolHelp();
        return kExitError;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintToolHelp();
        return kExitOk;
    }
    if (args[0] == "--version") {
        std::cout << "ringmere-cli " RINGMERE_VERSION "\n";
        return kExitOk;
    }
    for (const Command& c : Commands()) {
        if (args[0] != c.name) continue;
        args.erase(args.begin());
        for (const std::string& a : args) {
            if (a == "--help" || a == "-h") {
                std::cout << "Usage: ringmere-cli " << c.name << ' ' << c.usage << "\n\n"
                          << c.summary << "\n\n"
                          << c.help;
                return kExitOk;
            }
        }
        return c.run(args);
    }
    return Fail("unknown command '" + args[0] + "' (see ringmere-cli --help)");
}
