// A simple alarm from a handful of named fields, for callers without the
// editor (scripts, the session bus): the editor's defaults and checks, the
// editor's messages on bad input.
#pragma once

#include <optional>
#include <string>

#include "core/globals.h"

namespace ringmere {

// Texts are the bytes of the alarm file. An absent field keeps the editor's
// default for a new alarm.
struct SimpleAlarmFields {
    std::string name;
    std::string at;                     // "yyyy-MM-dd HH:mm[:ss]"
    std::optional<std::string> every;   // "N minutes|hours|days|weeks|months|years"
    std::optional<std::string> weekdays;  // "mon,tue,...": weekly (every week unless `every`)
    std::optional<std::string> until;   // "yyyy-MM-dd": the last day it may occur
    std::optional<std::string> message;
    std::optional<std::string> sound;   // a ".wav" file plays as a wave file, anything else as MP3
    std::optional<std::string> run;     // the first program to launch
    bool disabled = false;
};

struct SimpleAlarmResult {
    std::optional<AlRec> alarm;
    std::string error;  // why there is no alarm
};

// The alarm the editor would store for these fields, as a new alarm beside
// those of `g` (its name must be free); `now` gives the defaults that depend
// on it. Nothing of `g` changes.
SimpleAlarmResult MakeSimpleAlarm(const SimpleAlarmFields& fields, const Globals& g, DateTime now);

}  // namespace ringmere
