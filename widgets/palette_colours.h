// Colours that follow the desktop's palette, so that a dark theme stays readable.
#pragma once

#include <QColor>
#include <QPalette>

namespace ringmere::widgets {

// Green that reads on the palette's window colour: dark green on a light
// window, light green on a dark one.
QColor ReadableGreen(const QPalette& palette);

// The contrast ratio of two colours, 1 (none) to 21 (black on white), as the
// accessibility guidelines measure it.
double ContrastRatio(const QColor& a, const QColor& b);

}  // namespace ringmere::widgets
