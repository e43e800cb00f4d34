// What the program asks of the system beyond its services.
#pragma once

namespace ringmere {

// Gives freed heap memory back to the system.
void TrimWorkingSet();

}  // namespace ringmere
