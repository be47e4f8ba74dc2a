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

HostPython::Run HostPython::runProgram(const QStringList &command, int msecs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.value(0), command.mid(1));
    process.closeWriteChannel();
    Run run;
    if (process.waitForFinished(msecs) && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.output = process.readAll() + process.errorString().toLocal8Bit();
    return run;
}
