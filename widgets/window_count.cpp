#include "widgets/window_count.h"

#include "platform/system.h"

namespace ringmere::widgets {

namespace {
int g_visibleWindows = 0;
}

int VisibleWindowCount() {
    return g_visibleWindows;
}

void ChangeVisibleWindowCount(int delta) {
    g_visibleWindows += delta;
    if (g_visibleWindows < 0) g_visibleWindows = 0;
    if (delta < 0 && g_visibleWindows == 0) TrimWorkingSet();
}

void SetVisibleWindowCount(int count) {
    g_visibleWindows = count;
}

}  // namespace ringmere::widgets
