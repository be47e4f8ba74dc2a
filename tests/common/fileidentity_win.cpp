#include "common/fileidentity.h"

#include <windows.h>

quint64 FileIdentity::of(const QString &path)
{
    const HANDLE handle = ::CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), 0,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(handle, &info);
    ::CloseHandle(handle);
    return known ? (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow : 0;
}
