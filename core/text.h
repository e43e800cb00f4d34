// Texts are kept as the bytes the file holds. For showing them, a text that
// is valid UTF-8 is taken as it is; anything else comes from an older
// installation and is read as Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace ringmere {

// Without the blanks (spaces, tabs, carriage returns) at either end.
std::string_view TrimBlanks(std::string_view text);

bool IsValidUtf8(std::string_view text);
std::string Windows1252ToUtf8(std::string_view text);
std::string ToDisplayUtf8(std::string_view text);

}  // namespace ringmere
