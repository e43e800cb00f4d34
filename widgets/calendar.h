// Month calendars in the colours the user chose for them.
#pragma once

#include <QColor>
#include <QPalette>

#include "core/globals.h"

class QCalendarWidget;

namespace ringmere::widgets {

// A stored colour: 0x80000000 + n names system colour n, taken from the
// desktop's palette so that a dark theme stays readable; anything else is
// 0x00BBGGRR.
QColor SettingColour(Integer value, const QPalette& palette);

// Month background, text, title background, title text and the dates of the
// neighbouring months, from the calendar colour settings. Kept up as the
// calendar turns its pages.
void ApplyCalendarColours(QCalendarWidget* calendar, const SettingsRec& settings);

}  // namespace ringmere::widgets
