#include "platform/filereplacement.h"

#ifndef Q_OS_WIN

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

#ifndef Q_OS_LINUX
int syncPath(const QString &path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | flags);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}
#endif

} // namespace

FileReplacement::Result FileReplacement::replace(const QString &source, const QString &destination)
{
    if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(destination).constData()) == 0)
        return {true, {}};
    return {false, QString::fromLocal8Bit(std::strerror(errno))};
}

FileReplacement::Result FileReplacement::park(const QString &file, const QString &parked)
{
    if (::link(QFile::encodeName(file).constData(), QFile::encodeName(parked).constData()) == 0)
        return {true, {}};
    if (errno != EPERM && errno != EXDEV && errno != ENOTSUP && errno != EMLINK)
        return {false, QString::fromLocal8Bit(std::strerror(errno))};
    return replace(file, parked);
}

FileReplacement::Result FileReplacement::sync(const QStringList &paths)
{
    Result result{true, {}};
    const auto check = [&result](const QString &path, int error) {
        if (error == 0 || !result.ok)
            return;
        result = {false, path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error))};
    };
    std::set<QString> directories;
    for (const QString &path : paths)
        directories.insert(QFileInfo(path).absolutePath());
#ifdef Q_OS_LINUX
    // One syncfs() of each file system writes out every file and directory on it: an update of
    // thousands of files would wait for thousands of fsync() calls (each a flush of the disk's
    // cache) instead.
    std::set<dev_t> systems;
    for (const QString &directory : directories) {
        struct stat info
        {
        };
        if (::stat(QFile::encodeName(directory).constData(), &info) != 0) {
            check(directory, errno);
            continue;
        }
        if (!systems.insert(info.st_dev).second)
            continue;
        const int fd = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            check(directory, errno);
            continue;
        }
        check(directory, ::syncfs(fd) == 0 ? 0 : errno);
        ::close(fd);
    }
#else
    for (const QString &path : paths)
        check(path, syncPath(path, 0));
    for (const QString &directory : directories)
        check(directory, syncPath(directory, O_DIRECTORY));
#endif
    return result;
}

#endif
