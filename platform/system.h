// The system queries core leaves to the platform.
#pragma once

#include <string>

namespace ringmere {

// Empty: this is no Windows release.
std::string WindowsVersionName();
// True: Linux takes the same paths as the NT family (the hidden-start fix and
// giving memory back when every window is hidden).
bool IsNTPlatform();
// Gives freed heap memory back to the system.
void TrimWorkingSet();

}  // namespace ringmere
