#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The Python that runs the tests' servers (ftpserver.py) is the host's own /usr/bin/python3, also
// for the Windows build, whose tests run under Wine on that host: there the program and every path
// handed to it are named as the host names them.
namespace HostPython {

// The program to start, or an empty string with the reason why this system has none (Windows
// without Wine).
[[nodiscard]] QString program(QString *whyNone);
// A path of this program's own as the host's Python sees it.
[[nodiscard]] QString path(const QString &path);
// Starts the program with those arguments in that directory and lets it go: nothing waits for it
// or ends it. False, with the reason, when it cannot be started.
[[nodiscard]] bool startDetached(
    const QStringList &arguments, const QString &workingDirectory, QString *error);

// What a run of a host program (minisign) gave: its exit code (-1 when it could not be run or did
// not end in time) and its standard output and error together.
struct Run
{
    int exitCode = -1;
    QByteArray output;
};
// Runs the host's program (command's first word, looked for in the host's PATH, the paths among
// its arguments named as path() names them) and waits for it. Under Wine, which gives a Windows
// program no hold on a Linux process, the host's python3 runs it and leaves the outcome in a file.
[[nodiscard]] Run runProgram(const QStringList &command, int msecs);

} // namespace HostPython
