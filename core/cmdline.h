// The parameters of a program launch, split into arguments the way a POSIX
// shell splits words, but with nothing expanded and nothing run: blanks
// separate words, '...' keeps everything literally, "..." keeps everything
// but a backslash before $ ` " \ or a line break, and a backslash outside
// quotes keeps the character after it. ";", "|", "&", "$" and "*" are plain
// characters. A quote left open runs to the end of the text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ringmere {

std::vector<std::string> SplitArguments(std::string_view text);

}  // namespace ringmere
