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

// Month background, text, title background and title text from the calendar
// colour settings. The days of the neighbouring months keep the toolkit's
// grey: it draws them so whatever format a date is given.
void ApplyCalendarColours(QCalendarWidget* calendar, const SettingsRec& settings);

}  // namespace ringmere::widgets
