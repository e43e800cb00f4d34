// Whether two names lead to one file.
#pragma once

#include <string>

namespace ringmere::net {

// By identity when both exist (links followed, so another spelling, a link
// or a hard link is the same file); otherwise by their absolute forms with
// "." and ".." resolved. An empty name is no file.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace ringmere::net
