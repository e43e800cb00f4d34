#include "core/alarmtable.h"

#include <algorithm>

namespace ringmere {

bool DeleteAlarm(Globals& g, Integer position) {
    if (position < 1 || position > g.AlarmCount) return false;
    g.AlarmTable.erase(g.AlarmTable.begin() + position);
    --g.AlarmCount;
    g.AlarmTable.resize(static_cast<std::size_t>(g.AlarmCount) + 2);
    // The damaged records stay the same records, one place up.
    if (g.FirstDamagedAlarm > 0) {
        if (position < g.FirstDamagedAlarm) --g.FirstDamagedAlarm;
        if (g.FirstDamagedAlarm > g.AlarmCount) g.FirstDamagedAlarm = 0;
    }
    return true;
}

std::vector<int> DueScheduleSlots(const Globals& g, Instant now) {
    std::vector<int> due;
    const int n = std::min<int>(g.ScheduleCount, kMaxStartsPerCheck);
    for (int i = 1; i <= n && g.ScheduleTable[i].Utc * 1000 <= now.utcMs; ++i) due.push_back(i);
    return due;
}

bool IsClientMode(const Globals& g) {
    return g.Settings.UserMode == "Client" || g.Settings.UserMode == "WClient";
}

}  // namespace ringmere
