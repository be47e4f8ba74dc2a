#include "common/blockedfile.h"

#include "common/testlinks.h"

#include <QFileInfo>

struct BlockedFile::Hold
{
};

BlockedFile::BlockedFile() = default;
BlockedFile::~BlockedFile() = default;

bool BlockedFile::makeHere()
{
    const QString target
        = m_block == Block::Writing ? QStringLiteral("/proc/version") : QStringLiteral("/proc/self/mem");
    if (!QFileInfo::exists(target) || !TestLinks::make(target, m_path)) {
        m_reason = QStringLiteral("no link to %1 can be made here").arg(target);
        return false;
    }
    return true;
}

bool BlockedFile::isSameKind() const
{
    return QFileInfo(m_path).isSymbolicLink();
}
