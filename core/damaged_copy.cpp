#include "core/damaged_copy.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "core/fileio.h"
#include "core/unique_fd.h"

namespace ringmere {

namespace {

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::optional<std::string> KeepDamagedCopy(const std::string& path, std::string& error) {
    std::string why;
    const auto original = ReadWholeFile(path, why);
    if (!original) {
        error = path + ": " + why;
        return std::nullopt;
    }
    // Far more copies than anyone keeps; the bound only ends the search.
    constexpr int kMaxCopies = 10000;
    for (int n = 1; n <= kMaxCopies; ++n) {
        const std::string copy = path + ".damaged" + (n == 1 ? "" : "." + std::to_string(n));
        // Made the owner's alone from the start (the file may hold passwords),
        // and never over a file or link that is there already.
        UniqueFd fd(::open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.get() < 0) {
            if (errno == EEXIST) continue;
            error = copy + ": " + std::strerror(errno);
            return std::nullopt;
        }
        if (!WriteAll(fd.get(), *original) || fsync(fd.get()) != 0 || ::close(fd.release()) != 0) {
            error = copy + ": " + std::strerror(errno);
            ::unlink(copy.c_str());
            return std::nullopt;
        }
        return copy;
    }
    error = path + ": too many damaged copies beside it";
    return std::nullopt;
}

}  // namespace ringmere
