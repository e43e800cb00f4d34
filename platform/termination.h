// SIGTERM and SIGINT end the program as its exit command does, so a desktop
// that ends the session with a signal still gets the placement saved.
#pragma once

#include <functional>

namespace ringmere {

// Calls `onSignal` on the Qt event loop's thread when SIGTERM or SIGINT
// arrives. Call once, after the application object exists.
bool HandleTerminationSignals(std::function<void()> onSignal);

}  // namespace ringmere
