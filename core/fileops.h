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
// names without any dot, so "*.*" matches every name. Case counts.
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

// Single-file operations; false when the operation did not happen.
// A copy overwrites the destination but never copies a file onto itself;
// a move never replaces an existing destination; a delete never removes a
// directory.
bool CopyOneFile(const std::string& from, const std::string& to);
bool MoveOneFile(const std::string& from, const std::string& to);
bool DeleteOneFile(const std::string& path);

using LineSink = std::function<void(const std::string& line)>;

// Runs the operation of `op` (fop 1 copy, 2 move, 3 delete; anything else
// does nothing) and hands every line it reports to `report`. Failures of
// single files are not reported.
void RunFileOperation(const FileOps& op, DateTime now, const LineSink& report);

}  // namespace ringmere
