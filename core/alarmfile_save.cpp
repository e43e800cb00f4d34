#include "core/alarmfile.h"
#include "core/damaged_copy.h"
#include "core/fileio.h"
#include "core/globals.h"

namespace ringmere {

int SaveAlarmFile(Globals& g, const std::string& path, Reporter& reporter) {
    if (g.AlarmFileDamaged && FileExists(path)) {
        std::string error;
        const auto copy = KeepDamagedCopy(path, error);
        if (!copy) {
            reporter.Report(
                "The alarm file could not be read cleanly, and a copy of it could not be kept, "
                "so the change was not saved: " +
                error);
            return kFileCannotOpen;
        }
        reporter.Report("The alarm file could not be read cleanly. The original was kept as " +
                        *copy + " before the change was saved.");
    }
    g.AlarmFileDamaged = false;
    return WriteAlarmFile(g, path, reporter);
}

}  // namespace ringmere
