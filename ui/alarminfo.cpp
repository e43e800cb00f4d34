// Placeholder until the page lands: it links, and nothing opens it yet.
#include "ui/alarminfo.h"

namespace Ui {
class AlarmInfoPage {};
}  // namespace Ui

namespace ringmere::ui {
AlarmInfoPage::~AlarmInfoPage() = default;
}  // namespace ringmere::ui
