// A file that was not read cleanly is kept as it was before anything writes
// over it, so a misread never costs the user the original.
#pragma once

#include <optional>
#include <string>

namespace ringmere {

// Copies `path` to "PATH.damaged", or "PATH.damaged.2", ".3", ... when that
// exists already: an earlier copy is never replaced. The copy is readable by
// the owner only, as the file may hold passwords. Returns the copy's path,
// or nothing with `error` saying why.
std::optional<std::string> KeepDamagedCopy(const std::string& path, std::string& error);

}  // namespace ringmere
