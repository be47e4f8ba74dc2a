#include "common/testpaths.h"

#include <QCoreApplication>
#include <QDir>

QString TestPaths::binDir()
{
    return QCoreApplication::applicationDirPath();
}

QString TestPaths::built(const QString &name)
{
    return binDir() + u'/' + name;
}

QString TestPaths::sourceDir()
{
    return QDir(binDir()).absoluteFilePath(QStringLiteral(TAV_SOURCE_DIR));
}

QString TestPaths::sharedDir()
{
    return QDir(binDir()).absoluteFilePath(QStringLiteral(TAV_SHARED_DIR));
}
