// The alarm file's texts as the user sees them, for windows and workers alike.
#pragma once

#include <QString>
#include <string>

namespace ringmere::widgets {

// UTF-8 when the text is valid UTF-8, otherwise Windows-1252 from an older
// installation.
QString FromFileText(const std::string& text);
// What the user types is stored as UTF-8.
std::string ToFileText(const QString& text);

}  // namespace ringmere::widgets
