#include "platform/ownfiles.h"

#include "support/codepage.h"

#include <QCoreApplication>
#include <QFileInfo>

QByteArray OwnFiles::executableName()
{
#ifdef Q_OS_WIN
    return QByteArrayLiteral("tav.exe");
#else
    if (!QCoreApplication::instance())
        return QByteArrayLiteral("tav");
    return CodePage::fromUnicode(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
#endif
}

QByteArray OwnFiles::parkedExecutableName()
{
#ifdef Q_OS_WIN
    return QByteArrayLiteral("tavold.exe");
#else
    return executableName() + "old";
#endif
}

bool OwnFiles::isNeverBackedUp(QByteArrayView path)
{
    return path == executableName() || path == "tav.t" || path == "text.t";
}
