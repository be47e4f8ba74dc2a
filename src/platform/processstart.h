#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Starting the program line at the end of a run: the program and its arguments are split as a
// command line, and a bare program name means a program in the current directory first (as it
// does on Windows), then one found on the search path.
namespace ProcessStart {

struct Command
{
    QString program;
    QStringList arguments;
};

// The program to start and its arguments; an empty program when the line holds none.
[[nodiscard]] Command resolve(const QString &commandLine);
// Starts the command line detached from this process; false when it could not be started.
bool startDetached(const QString &commandLine);
// The same for a command line in code page 1251, so that a folder or program with a Cyrillic name
// is found under its own name.
bool startDetached(const QByteArray &commandLine);

} // namespace ProcessStart
