// Start-up in its fixed order, and the end of the program.
#pragma once

#include <QStringList>

namespace ringmere::app {

// True when any argument, the program path included, is "startup" in any
// letter case: the program then starts hidden in the tray.
bool StartsHidden(const QStringList& arguments);

// Everything from the single-instance check to the end of the event loop.
// Returns the process's exit status.
int RunProgram(int argc, char** argv);

}  // namespace ringmere::app
