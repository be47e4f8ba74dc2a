#include "common/standinprogram.h"

#include "common/testpaths.h"

#include <QFile>

using namespace Qt::StringLiterals;

bool StandInProgram::write(const QString &path, const QStringList &steps)
{
    QFile::remove(path);
    if (!QFile::copy(TestPaths::built(u"standin.exe"_s), path))
        return false;
    // The stand-in reads its steps from "<its own path>.do".
    QFile file(path + u".do"_s);
    const QByteArray bytes = (steps.join(u'\n') + u'\n').toUtf8();
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
