// Placeholder until the page lands: it links, and nothing opens it yet.
#include "ui/alarmtime.h"

namespace Ui {
class AlarmTimePage {};
}  // namespace Ui

namespace ringmere::ui {
AlarmTimePage::~AlarmTimePage() = default;
}  // namespace ringmere::ui
