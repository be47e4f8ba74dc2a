#include "common/sizedfilesystem.h"

// Windows has no file system of a given size that a test could mount: the tests skip.
SizedFileSystem::~SizedFileSystem() = default;

bool SizedFileSystem::mount(const QString &, qint64)
{
    m_reason = QStringLiteral("Windows has no size-limited file system (tmpfs) to mount");
    return false;
}

void SizedFileSystem::unmount()
{ }

qint64 SizedFileSystem::bytesUsed() const
{
    return -1;
}
