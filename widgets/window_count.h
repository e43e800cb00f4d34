// Shown windows among the main window and the run windows. The run windows
// count themselves; when the count falls to 0 the program hands freed memory
// back to the system.
#pragma once

namespace ringmere::widgets {

int VisibleWindowCount();
void ChangeVisibleWindowCount(int delta);
void SetVisibleWindowCount(int count);

}  // namespace ringmere::widgets
