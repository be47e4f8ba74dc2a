#pragma once

#include <unistd.h>
#include <utility>

// Owns one file descriptor and closes it once. Where a failed close matters (a file that was
// written), call close() and check its result instead of relying on the destructor.
class UniqueFd final
{
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd)
        : m_fd(fd)
    { }
    UniqueFd(UniqueFd &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    { }
    UniqueFd &operator=(UniqueFd &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;
    ~UniqueFd() { reset(); }

    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool isValid() const { return m_fd >= 0; }
    // Closes the descriptor and returns close()'s result (0, or -1 with errno set).
    [[nodiscard]] int close() { return m_fd < 0 ? 0 : ::close(std::exchange(m_fd, -1)); }
    [[nodiscard]] int release() { return std::exchange(m_fd, -1); }
    void reset()
    {
        if (m_fd >= 0)
            ::close(std::exchange(m_fd, -1));
    }

private:
    int m_fd = -1;
};
