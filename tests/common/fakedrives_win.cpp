#include "common/fakedrives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

// QFile::link makes a shortcut here, which no path goes through.
bool FakeDrives::addToClass(const QString &home, const QString &name) const
{
    const QDir base(m_base);
    const QString copy = u"class/block/"_s + name;
    if (!base.mkpath(copy + u"/device"_s))
        return false;
    for (const QString &file : {u"dev"_s, u"removable"_s, u"partition"_s, u"device/type"_s}) {
        const QString from = base.filePath(home + u'/' + file);
        if (QFileInfo::exists(from) && !QFile::copy(from, base.filePath(copy + u'/' + file)))
            return false;
    }
    const QString diskFlag = QFileInfo(base.filePath(home)).path() + u"/removable"_s;
    const QString flag = base.filePath(copy + u"/removable"_s);
    if (QFileInfo::exists(base.filePath(home + u"/partition"_s)) && QFileInfo::exists(diskFlag)
        && !QFileInfo::exists(flag))
        return QFile::copy(diskFlag, flag);
    return true;
}
