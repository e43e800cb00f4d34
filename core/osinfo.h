// Which system the program runs on. Only the power-event handler cares which
// Windows release it is; everything else asks whether the system trims working
// sets and needs the hidden-start fix, as the NT family does.
#pragma once

#include <cstdint>
#include <string>

namespace ringmere {

enum class OsFamily { Windows9x, WindowsNT, Other };

struct OsVersionInfo {
    OsFamily family = OsFamily::Other;
    std::uint32_t buildNumber = 0;  // the version information's build number field
};

// "Windows NT", "Windows 2000", "Windows 95", "Windows 98", "Windows Millennium",
// or empty for any other system.
std::string WindowsVersionName(const OsVersionInfo& info);

}  // namespace ringmere
