#include "fileio.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace FileIo {

Result writeAll(int fd, const void *data, std::size_t size)
{
    const auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        const auto written = ::write(fd, bytes, static_cast<unsigned>(std::min<std::size_t>(size, 1 << 30)));
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

} // namespace FileIo
