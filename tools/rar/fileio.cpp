#include "fileio.h"

#include <cerrno>
#include <unistd.h>

namespace FileIo {

Result writeAll(int fd, const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return Result::fromErrno(errno);
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return Result::success();
}

Result readAt(int fd, void *buffer, std::size_t size, std::uint64_t offset)
{
    auto *bytes = static_cast<char *>(buffer);
    while (size > 0) {
        const ssize_t got = ::pread(fd, bytes, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return Result::fromErrno(errno);
        if (got == 0)
            return Result::fromErrno(EIO);
        bytes += got;
        size -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return Result::success();
}

} // namespace FileIo
