#include "support/filelookup.h"

#include <QCoreApplication>

QStringList FileLookup::candidates(const QString &path)
{
    QStringList places{path};
    if (QCoreApplication::instance())
        places.append(QCoreApplication::applicationDirPath() + u'/' + path);
    return places;
}
