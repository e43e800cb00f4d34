// `ringmere --help` and `ringmere --version`: answered before anything starts.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace ringmere::app {

// Prints the usage or the version when the arguments (the program path
// first) ask for either, and returns the exit status; nothing when the
// program should start.
std::optional<int> AnswerInfoOption(const std::vector<std::string>& args, std::ostream& out);

}  // namespace ringmere::app
