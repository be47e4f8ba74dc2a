#include "fileio.h"

#include "wintext.h"

#include <algorithm>
#include <cerrno>
#include <io.h>
#include <windows.h>

namespace FileIo {

// Through WriteFile rather than the C library's write, which turns a disk that fills up during a
// write into a short count and then into an error number that names no full disk.
Result writeAll(int fd, const void *data, std::size_t size)
{
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    const auto *bytes = static_cast<const char *>(data);
    while (size > 0) {
        DWORD written = 0;
        if (!::WriteFile(
                handle, bytes, static_cast<DWORD>(std::min<std::size_t>(size, 1 << 30)), &written, nullptr))
            return WinText::lastError();
        // A disk file takes something or fails; nothing taken without a failure is a full disk.
        if (written == 0)
            return Result::fromErrno(ENOSPC);
        bytes += written;
        size -= written;
    }
    return Result::success();
}

} // namespace FileIo
