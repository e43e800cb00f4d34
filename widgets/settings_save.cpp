#include "widgets/settings_save.h"

#include "core/alarmfile.h"
#include "core/alarmtable.h"
#include "core/fileio.h"
#include "widgets/dialogs.h"

namespace ringmere::widgets {

namespace {

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& m : lines) text += (text.empty() ? "" : "\n") + m;
    return text;
}

// The local file with g's header and the file's own rules and alarms.
bool SaveLocalHeader(const Globals& g, CollectingReporter& said) {
    const std::string path = g.LocalAlarmFilePath();
    Globals local;
    local.ProgramDir = g.ProgramDir;
    local.LocalFileName = g.LocalFileName;
    SetDefaultSettings(local);
    local.ResetAlarmTable(0);
    if (FileExists(path)) {
        // Not following the shared file: a "Client" read then takes the
        // local alarms. A web client's read always goes to the download, so
        // its local alarms cannot be had this way.
        CollectingReporter reading;
        const int read = ReadAlarmFile(local, false, false, reading, nullptr);
        if (local.Settings.UserMode == "WClient") {
            said.Report("The settings were not saved: in web client mode the own alarms of " +
                        path + " cannot be kept yet. They apply until Ringmere ends.");
            return false;
        }
        if (read != kFileDone) {
            said.Report("The settings were not saved: the own alarms of " + path +
                        " could not be read, and writing the file would lose them." +
                        (reading.messages.empty() ? "" : "\n" + Joined(reading.messages)));
            return false;
        }
    }
    local.Settings = g.Settings;
    return SaveAlarmFile(local, path, said) == kFileDone;
}

}  // namespace

bool SaveSettingsFile(Globals& g, DialogService& dialogs, QWidget* owner,
                      std::optional<QPoint> topLeft) {
    if (!IsClientMode(g)) return SaveAlarmFileTelling(g, dialogs, owner, topLeft);
    CollectingReporter said;
    const bool saved = SaveLocalHeader(g, said);
    std::string text = Joined(said.messages);
    if (!saved && text.empty())
        text = "The settings were not saved: " + g.LocalAlarmFilePath() + " could not be written.";
    if (!text.empty()) dialogs.Message(owner, BoxKind::Warning, FromFileText(text), topLeft);
    return saved;
}

}  // namespace ringmere::widgets
