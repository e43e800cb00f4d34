#include "platform/system.h"

#include <malloc.h>

#include "core/osinfo.h"

namespace ringmere {

std::string WindowsVersionName() {
    return WindowsVersionName(OsVersionInfo{OsFamily::Other, 0});
}

bool IsNTPlatform() {
    return true;
}

void TrimWorkingSet() {
    malloc_trim(0);
}

}  // namespace ringmere
