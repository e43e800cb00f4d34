#include "net/same_file.h"

#include <filesystem>
#include <system_error>

namespace ringmere::net {

bool SameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    if (a.empty() || b.empty()) return false;
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) {
        const bool same = fs::equivalent(a, b, ec);
        return !ec && same;
    }
    const fs::path x = fs::weakly_canonical(fs::absolute(a, ec), ec);
    if (ec) return false;
    const fs::path y = fs::weakly_canonical(fs::absolute(b, ec), ec);
    return !ec && x == y;
}

}  // namespace ringmere::net
