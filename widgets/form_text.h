// Texts of the alarm file in the editors' fields.
#pragma once

#include <QString>
#include <string>

namespace ringmere::widgets {

// As a field shows a text: decoded (see FromFileText), CR LF as one break.
QString ShownText(const std::string& fileText);

// What a field stores: the loaded bytes while the field still shows them, so
// that opening and saving a record changes nothing (an older file's
// Windows-1252 text, a bare LF); otherwise the typed text in UTF-8 with
// CR LF breaks.
std::string StoredText(const QString& shown, const std::string& loaded);

}  // namespace ringmere::widgets
