// Start-up in its fixed order, and the end of the program.
#pragma once

#include <QStringList>
#include <functional>
#include <memory>

#include "run/daytime.h"
#include "run/waiting.h"

namespace ringmere::app {

// True when any argument, the program path included, is "startup" in any
// letter case: the program then starts hidden in the tray.
bool StartsHidden(const QStringList& arguments);

// Makes the program's clock setter over its waiting service.
using ClockSetterMaker = std::function<std::unique_ptr<run::ClockSetter>(run::Waiting&)>;

// Everything from the single-instance check to the end of the event loop.
// Returns the process's exit status. Without `makeClockSetter` the clock
// cannot be set, and the actions that would set it say so.
int RunProgram(int argc, char** argv, const ClockSetterMaker& makeClockSetter = {});

}  // namespace ringmere::app
