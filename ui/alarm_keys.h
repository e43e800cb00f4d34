// The main window's keyboard: shortcuts of its commands, the side bar's
// arrow keys, and names and hints of its icon-only columns.
#pragma once

#include "core/globals.h"

namespace Ui {
class TfrmAlMain;
}

namespace ringmere::ui {

class TfrmAlMain;

// Called once from the window's constructor, after its commands are connected.
// Shift+F1 on the alarm list shows the hints of the selected alarm's actions,
// which the mouse finds over each icon.
void SetUpKeyboard(TfrmAlMain& window, const Ui::TfrmAlMain& ui, const Globals& g);

}  // namespace ringmere::ui
