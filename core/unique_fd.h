// A file descriptor closed when it goes out of scope. For core's own file
// code only (fileio, fileops, damaged_copy).
#pragma once

#include <unistd.h>

namespace ringmere {

class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }
    // Hands the descriptor over; the caller closes it.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

}  // namespace ringmere
