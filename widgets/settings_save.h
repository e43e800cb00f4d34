// The one save of every settings dialog (additional options, e-mail
// settings, global exceptions, the set-up wizard).
#pragma once

#include <QPoint>
#include <optional>

#include "core/globals.h"

class QWidget;

namespace ringmere::widgets {

class DialogService;

// Saves this computer's settings into its own "alfile.ini", never into the
// shared file of a client: in client modes the file keeps its own alarms
// and rules and only its header changes (SaveSettingsFile). What went wrong
// goes to a warning box; false when the file did not take the settings.
bool SaveSettingsTelling(Globals& g, DialogService& dialogs, QWidget* owner,
                         std::optional<QPoint> topLeft);

}  // namespace ringmere::widgets
