#include "core/damaged_copy.h"

#include <filesystem>
#include <system_error>

namespace ringmere {

namespace fs = std::filesystem;

std::optional<std::string> KeepDamagedCopy(const std::string& path, std::string& error) {
    // Far more copies than anyone keeps; the bound only ends the search.
    constexpr int kMaxCopies = 10000;
    for (int n = 1; n <= kMaxCopies; ++n) {
        const std::string copy = path + ".damaged" + (n == 1 ? "" : "." + std::to_string(n));
        std::error_code ec;
        if (fs::exists(fs::symlink_status(copy, ec))) continue;
        // Refuses to replace a file that appeared since the look.
        if (!fs::copy_file(path, copy, fs::copy_options::none, ec)) {
            if (ec == std::errc::file_exists) continue;
            error = path + ": " + ec.message();
            return std::nullopt;
        }
        fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write,
                        fs::perm_options::replace, ec);
        return copy;
    }
    error = path + ": too many damaged copies beside it";
    return std::nullopt;
}

}  // namespace ringmere
