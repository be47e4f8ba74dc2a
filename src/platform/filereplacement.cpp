#include "platform/filereplacement.h"

#ifndef Q_OS_WIN

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

FileReplacement::Result FileReplacement::replace(const QString &source, const QString &destination)
{
    if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(destination).constData()) == 0)
        return {true, {}};
    return {false, QString::fromLocal8Bit(std::strerror(errno))};
}

#endif
