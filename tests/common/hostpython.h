#pragma once

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

} // namespace HostPython
