#include "common/sizedfilesystem.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <sys/mount.h>
#include <sys/statvfs.h>

SizedFileSystem::~SizedFileSystem()
{
    unmount();
}

bool SizedFileSystem::mount(const QString &directory, qint64 bytes)
{
    if (!QDir().mkpath(directory)) {
        m_reason = QStringLiteral("cannot create ") + directory;
        return false;
    }
    const QByteArray target = QFile::encodeName(directory);
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
    if (::mount("tmpfs", target.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) != 0) {
        m_reason
            = QStringLiteral("mount -t tmpfs -o %1 tmpfs %2: %3")
                  .arg(QString::fromLatin1(options), directory, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_directory = directory;
    return true;
}

void SizedFileSystem::unmount()
{
    if (m_directory.isEmpty())
        return;
    ::umount2(QFile::encodeName(m_directory).constData(), MNT_DETACH);
    m_directory.clear();
}

QString SizedFileSystem::fullText()
{
    return QString::fromLocal8Bit(std::strerror(ENOSPC));
}

bool SizedFileSystem::mentionsFull(const QString &text)
{
    return text.contains(fullText());
}

qint64 SizedFileSystem::bytesUsed() const
{
    struct statvfs info
    {
    };
    if (m_directory.isEmpty() || ::statvfs(QFile::encodeName(m_directory).constData(), &info) != 0)
        return -1;
    return qint64(info.f_blocks - info.f_bfree) * qint64(info.f_frsize);
}
