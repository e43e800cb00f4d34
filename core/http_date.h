// The dates of HTTP headers (Date, Last-Modified).
#pragma once

#include <optional>
#include <string_view>

#include "core/datetime.h"

namespace ringmere {

// The three forms servers send, all in GMT: "Sun, 06 Nov 1994 08:49:37 GMT",
// "Sunday, 06-Nov-94 08:49:37 GMT" and "Sun Nov  6 08:49:37 1994". The
// result is UTC, so two of them compare truly across a change of the local
// clock. Nothing else is accepted.
std::optional<DateTime> ParseHttpDate(std::string_view text);

}  // namespace ringmere
