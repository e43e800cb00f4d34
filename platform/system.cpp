#include "platform/system.h"

#include <malloc.h>

namespace ringmere {

void TrimWorkingSet() {
    malloc_trim(0);
}

}  // namespace ringmere
