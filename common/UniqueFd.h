#pragma once
// Owner of one file descriptor: closes it when reset, replaced or destroyed. Move-only.
#include <unistd.h>
#include <utility>

namespace tarvo {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    // Gives up ownership without closing; the owner is left empty.
    int Release() { return std::exchange(fd_, -1); }
    // Closes the descriptor held, if any, and takes fd. False when that close failed (a delayed
    // write error shows up there); errno then says why.
    bool Reset(int fd = -1)
    {
        const int old = std::exchange(fd_, fd);
        return old < 0 || ::close(old) == 0;
    }

private:
    int fd_ = -1;
};

} // namespace tarvo
