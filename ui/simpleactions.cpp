// Placeholder until the page lands: it links, and nothing opens it yet.
#include "ui/simpleactions.h"

namespace Ui {
class SimpleActionTabs {};
}  // namespace Ui

namespace ringmere::ui {
SimpleActionTabs::~SimpleActionTabs() = default;
}  // namespace ringmere::ui
