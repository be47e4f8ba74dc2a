#include "platform/installationlock.h"

#ifndef Q_OS_WIN

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

InstallationLock::InstallationLock(QString path)
    : m_path(std::move(path))
{ }

InstallationLock::~InstallationLock()
{
    if (!isHeld())
        return;
    // Removed while still locked: a process that opened the file meanwhile finds, once it has the
    // lock, that the name no longer leads to it, and starts again.
    ::unlink(QFile::encodeName(m_path).constData());
    ::close(int(m_handle));
}

InstallationLock::State InstallationLock::tryLock()
{
    if (isHeld())
        return State::Held;
    const QByteArray name = QFile::encodeName(m_path);
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            m_errorText = m_path + QStringLiteral(": ") + qt_error_string(errno);
            return State::Failed;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK)
                return State::HeldElsewhere;
            m_errorText = m_path + QStringLiteral(": ") + qt_error_string(error);
            return State::Failed;
        }
        struct stat held
        {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::stat(name.constData(), &named) == 0 && held.st_dev == named.st_dev
            && held.st_ino == named.st_ino) {
            m_handle = fd;
            return State::Held;
        }
        ::close(fd);
    }
    m_errorText = m_path + QStringLiteral(": the lock file keeps being replaced");
    return State::Failed;
}

#endif
