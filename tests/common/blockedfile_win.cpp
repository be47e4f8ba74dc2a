#include "common/blockedfile.h"

#include <QFile>
#include <QFileInfo>

#include <windows.h>

struct BlockedFile::Hold
{
    HANDLE handle = INVALID_HANDLE_VALUE;
    ~Hold()
    {
        if (handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle);
    }
};

BlockedFile::BlockedFile() = default;
BlockedFile::~BlockedFile() = default;

bool BlockedFile::makeHere()
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write("held by another handle\n") != 23) {
        m_reason = QStringLiteral("cannot write ") + m_path;
        return false;
    }
    file.close();
    m_hold = std::make_unique<Hold>();
    m_hold->handle = ::CreateFileW(reinterpret_cast<const wchar_t *>(m_path.utf16()), GENERIC_READ,
        m_block == Block::Writing ? FILE_SHARE_READ : 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
        nullptr);
    if (m_hold->handle == INVALID_HANDLE_VALUE) {
        m_reason = QStringLiteral("cannot hold %1 (Windows error %2)").arg(m_path).arg(::GetLastError());
        return false;
    }
    return true;
}

bool BlockedFile::isSameKind() const
{
    return QFileInfo(m_path).isFile() && !QFileInfo(m_path).isSymbolicLink();
}
