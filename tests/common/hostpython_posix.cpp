#include "common/hostpython.h"

QString HostPython::program(QString *)
{
    return QStringLiteral("/usr/bin/python3");
}

QString HostPython::path(const QString &path)
{
    return path;
}
