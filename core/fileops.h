// Copying, moving and deleting files for an alarm or a step: one file, or
// every file whose name matches a pattern with "*" and "?". Paths are the
// bytes the alarm file holds, with "/" as the separator.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/datetime.h"
#include "core/records.h"

namespace ringmere {

// Replaces the first "<DATETIME>", in any letter case, by `now` written
// "yyyymmddhhmmss"; a text without the marker comes back unchanged.
std::string SubstituteDateTime(std::string_view text, DateTime now);

bool HasWildcards(std::string_view path);

// "*" stands for any run of characters, "?" for one character. As on the
// system the alarm files come from, a pattern ending in ".*" also matches
// names without any dot, so "*.*" matches every name. Case counts. A name
// starting with "." (a hidden file) only matches a pattern starting with ".".
bool MatchesWildcard(std::string_view pattern, std::string_view name);

// The directory part of a path up to and including its last "/", and the
// name part after it. Without any "/" the directory part is empty, which
// stands for the current directory.
struct SplitPath {
    std::string directory;
    std::string name;
};
SplitPath SplitDirectory(std::string_view path);

// Names of the files in `directory` (empty: the current one) that match
// `pattern`, in byte order. Only regular files count (symbolic links to
// them too): never a directory, a device or a pipe.
std::vector<std::string> MatchingFiles(const std::string& directory, std::string_view pattern);

// Single-file operations; false when the operation did not happen, and then
// `why` says why. A copy overwrites the destination but never copies a file
// onto itself, nor writes through a symbolic link at the destination (it is
// refused: replacing it would undo what someone set up there without a word);
// a move never replaces an existing destination, and when it cannot remove
// the source it takes the new name away again; a delete never removes a
// directory.
bool CopyOneFile(const std::string& from, const std::string& to);
bool CopyOneFile(const std::string& from, const std::string& to, std::string& why);
bool MoveOneFile(const std::string& from, const std::string& to);
bool MoveOneFile(const std::string& from, const std::string& to, std::string& why);
bool DeleteOneFile(const std::string& path);
bool DeleteOneFile(const std::string& path, std::string& why);

using LineSink = std::function<void(const std::string& line)>;

// Runs the operation of `op` (fop 1 copy, 2 move, 3 delete; anything else
// does nothing) and hands every line it reports to `report`: the file it
// works on, and a line saying why when that failed. Paths must be full ones
// (starting with "/"); anything else is refused with a line. A wildcard copy
// or move into a missing folder stops at saying so, naming it, unless the
// folder's name holds "<DATETIME>": that folder is made (not its parents).
// A wildcard copy skips symbolic links in the source folder, with a line:
// they may lead out of it. False when something asked for was refused or
// failed.
bool RunFileOperation(const FileOps& op, DateTime now, const LineSink& report);

}  // namespace ringmere
