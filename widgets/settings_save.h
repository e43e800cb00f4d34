// Saving the settings that travel in the alarm file's header (mail, mode,
// wake, logging, calendar colours) after a dialog changed them.
#pragma once

#include <QPoint>
#include <optional>

#include "core/globals.h"

class QWidget;

namespace ringmere::widgets {

class DialogService;

// Outside client modes: the alarm file, as after any change. In client modes
// g.Settings.AlarmFile names the server's file or a web address, which this
// machine must never write: the header goes into the local "alfile.ini"
// around that file's own rules and alarms (this machine's again when it
// leaves client mode). A failure, and what the writer said, go to a warning
// box; false when nothing was saved.
bool SaveSettingsFile(Globals& g, DialogService& dialogs, QWidget* owner,
                      std::optional<QPoint> topLeft);

}  // namespace ringmere::widgets
