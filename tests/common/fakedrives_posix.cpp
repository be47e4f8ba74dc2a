#include "common/fakedrives.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

bool FakeDrives::addToClass(const QString &home, const QString &name) const
{
    return QFile::link(u"../../"_s + home, QDir(m_base).filePath(u"class/block/"_s + name));
}
