#include "common/blockedfile.h"

#include <QFile>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Whether a byte can be appended (and is: a file that takes it is not blocked anyway). Root opens
// even /proc/version for writing; the write is what fails.
bool writable(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)
        && file.write("\n", 1) == 1;
}

bool readable(const QString &path)
{
    QFile file(path);
    char byte = 0;
    return file.open(QIODevice::ReadOnly) && file.read(&byte, 1) == 1;
}

} // namespace

bool BlockedFile::make(const QString &path, Block block)
{
    m_path = path;
    m_block = block;
    if (!makeHere())
        return false;
    if (block == Block::Writing)
        m_contents = readAll(path);
    if (!intact()) {
        m_reason = QStringLiteral("%1 was made, but it is not blocked as asked").arg(path);
        return false;
    }
    return true;
}

bool BlockedFile::intact() const
{
    if (!isSameKind())
        return false;
    if (m_block == Block::Reading)
        return !readable(m_path);
    return !m_contents.isEmpty() && readAll(m_path) == m_contents && !writable(m_path);
}
