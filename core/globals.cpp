#include "core/globals.h"

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

void SetDefaultSettings(Globals& g) {
    g.Settings = SettingsRec{};
    g.Settings.AlarmFile = g.ProgramDir + "alfile.ini";
}

}  // namespace ringmere
