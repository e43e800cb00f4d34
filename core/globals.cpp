#include "core/globals.h"

#include "core/alarmfile_layout.h"
#include "core/version.h"

namespace ringmere {

Globals::Globals() {
    ResetAlarmTable(0);
}

void Globals::ResetAlarmTable(Integer count) {
    AlarmTable.assign(static_cast<std::size_t>(count < 0 ? 0 : count) + 2, AlRec{});
}

Globals& G() {
    static Globals instance;
    return instance;
}

std::string ProgramVersionText() {
    return std::string("Version ") + kProgramVersion + " (alarm file " + layout::kCurrentVersion +
           ")";
}

void SetDefaultSettings(Globals& g) {
    g.Settings = SettingsRec{};
    g.Settings.AlarmFile = g.ProgramDir + "alfile.ini";
}

}  // namespace ringmere
