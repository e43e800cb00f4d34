// Icons that take their colour from the palette, so that they read on light
// and dark themes alike.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QString>

namespace ringmere::widgets {

// An SVG icon whose `currentColor` parts take the application palette's `role`
// colour at the time they are drawn; its other colours carry meaning and stay.
// Selected, it is drawn all in HighlightedText; disabled, faded. An unreadable
// file gives a null icon.
QIcon ThemedIcon(const QString& path, QPalette::ColorRole role = QPalette::WindowText);

// As above in one colour, for icons over a background of their own.
QIcon ThemedIcon(const QString& path, const QColor& colour);

// The SVG text with `currentColor` replaced by `colour`.
QByteArray Recoloured(const QByteArray& svg, const QColor& colour);

}  // namespace ringmere::widgets
