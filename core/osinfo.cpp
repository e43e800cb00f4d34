#include "core/osinfo.h"

namespace ringmere {

std::string WindowsVersionName(const OsVersionInfo& info) {
    switch (info.family) {
        case OsFamily::WindowsNT:
            return info.buildNumber < 0x5000000u ? "Windows NT" : "Windows 2000";
        case OsFamily::Windows9x: {
            // The 9x systems keep their minor version in bits 16 to 23.
            const unsigned minor = (info.buildNumber >> 16) & 0xFF;
            if (minor < 10) return "Windows 95";
            if (minor < 90) return "Windows 98";
            return "Windows Millennium";
        }
        case OsFamily::Other:
            break;
    }
    return {};
}

}  // namespace ringmere
