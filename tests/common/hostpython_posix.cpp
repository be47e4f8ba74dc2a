#include "common/hostpython.h"

#include <QProcess>

QString HostPython::program(QString *)
{
    return QStringLiteral("/usr/bin/python3");
}

QString HostPython::path(const QString &path)
{
    return path;
}

bool HostPython::startDetached(const QStringList &arguments, const QString &workingDirectory, QString *error)
{
    QProcess process;
    process.setProgram(program(nullptr));
    process.setArguments(arguments);
    process.setWorkingDirectory(workingDirectory);
    if (process.startDetached())
        return true;
    *error = process.errorString();
    return false;
}
