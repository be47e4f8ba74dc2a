#include "platform/ownfiles.h"

// The names come from the updater's table, never from the running binary's file name: a copy
// started under another name (a test, a renamed download) must still replace and park "tav".
QByteArray OwnFiles::executableName()
{
#ifdef Q_OS_WIN
    return QByteArrayLiteral("tav.exe");
#else
    return QByteArrayLiteral("tav");
#endif
}

QByteArray OwnFiles::parkedExecutableName()
{
#ifdef Q_OS_WIN
    return QByteArrayLiteral("tavold.exe");
#else
    return QByteArrayLiteral("tavold");
#endif
}

bool OwnFiles::isNeverBackedUp(QByteArrayView path)
{
    return path == executableName() || path == "tav.t" || path == "text.t";
}
