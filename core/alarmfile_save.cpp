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

int SaveAlarmChange(Globals& g, const TableChange& change, Reporter& reporter, bool& reread) {
    reread = false;
    const std::string path = g.Settings.AlarmFile;
    if (IsClientMode(g) || g.AlarmFileDamaged) return SaveAlarmFile(g, path, reporter);
    WaitForBackgroundSaves();
    std::string error;
    const auto lock = TakeFileLock(path, error);
    if (!lock) {
        reporter.Report("The alarm file was not saved: " + error + ".");
        return kFileWriteFailed;
    }
    const auto text = ReadWholeFile(path);
    const std::uint64_t known = g.OwnFile->hash.load();
    if (!text || known == 0 || StampOf(*text) == known) return WriteAlarmFile(g, path, reporter);

    // Another program wrote the file since: its alarms are the truth now,
    // and only this change is made to them.
    Globals disk;
    disk.ProgramDir = g.ProgramDir;
    disk.LocalFileName = g.LocalFileName;
    SetDefaultSettings(disk);
    CollectingReporter said;
    if (ReadOwnAlarmFile(disk, said) != kFileDone || disk.AlarmFileDamaged) {
        reporter.Report(
            "The alarm file was changed by another program and cannot be read cleanly now, so "
            "the change was not saved.");
        return kFileInvalid;
    }
    g.AlarmTable = std::move(disk.AlarmTable);
    g.AlarmCount = disk.AlarmCount;
    g.GlobalExceptions = std::move(disk.GlobalExceptions);
    g.FirstDamagedAlarm = 0;
    g.OwnFile->hash = StampOf(*text);  // nobody writes while we hold the lock
    reread = true;
    if (!change(g)) {
        reporter.Report("The alarm was deleted by another program meanwhile.");
        return kFileInvalid;
    }
    return WriteAlarmFile(g, path, reporter);
}

int SaveOwnFile(Globals& g, bool keepFileAlarms, Reporter& reporter) {
    const std::string path = g.LocalAlarmFilePath();
    if (!keepFileAlarms) return SaveAlarmFile(g, path, reporter);
    // The file's alarms are read and written back: no other program may
    // write in between. A background save waiting for the lock would wait
    // on us, so it ends first.
    WaitForBackgroundSaves();
    std::string error;
    const auto lock = TakeFileLock(path, error);
    if (!lock) {
        reporter.Report("The settings were not saved: " + error + ".");
        return kFileWriteFailed;
    }
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
