// The alarm editor holds two sets of pages, one per kind of alarm. Most
// controls of the scripted set carry the simple set's name with a "2".
#pragma once

namespace ringmere::ui {

enum class FormSet { Simple, Scripted };

}  // namespace ringmere::ui
