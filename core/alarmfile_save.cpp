#include "core/alarmfile.h"
#include "core/alarmfile_saver.h"
#include "core/alarmtable.h"
#include "core/damaged_copy.h"
#include "core/fileio.h"
#include "core/globals.h"

namespace ringmere {

bool KeepDamagedOriginal(Globals& g, const std::string& path, Reporter& reporter) {
    if (g.AlarmFileDamaged && FileExists(path)) {
        std::string error;
        const auto copy = KeepDamagedCopy(path, error);
        if (!copy) {
            reporter.Report(
                "The alarm file could not be read cleanly, and a copy of it could not be kept, "
                "so the change was not saved: " +
                error);
            return false;
        }
        reporter.Report("The alarm file could not be read cleanly. The original was kept as " +
                        *copy + " before the change was saved.");
    }
    g.AlarmFileDamaged = false;
    return true;
}

int SaveAlarmFile(Globals& g, const std::string& path, Reporter& reporter) {
    WaitForBackgroundSaves();
    if (!KeepDamagedOriginal(g, path, reporter)) return kFileCannotOpen;
    return WriteAlarmFile(g, path, reporter);
}

int SaveOwnFile(Globals& g, bool keepFileAlarms, Reporter& reporter) {
    const std::string path = g.LocalAlarmFilePath();
    if (!keepFileAlarms) return SaveAlarmFile(g, path, reporter);
    Globals own;
    own.ProgramDir = g.ProgramDir;
    own.LocalFileName = g.LocalFileName;
    own.ResetAlarmTable(0);
    if (FileExists(path)) {
        // What is wrong with the file is told by the save (it keeps a copy).
        SilentReporter quiet;
        ReadOwnAlarmFile(own, quiet);
    }
    own.Settings = g.Settings;
    const int result = SaveAlarmFile(own, path, reporter);
    if (result == kFileDone) g.AlarmFileDamaged = false;
    return result;
}

int SaveSettingsFile(Globals& g, Reporter& reporter) {
    return SaveOwnFile(g, IsClientMode(g), reporter);
}

}  // namespace ringmere
