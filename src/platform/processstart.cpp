#include "platform/processstart.h"

#include "support/codepage.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

ProcessStart::Command ProcessStart::resolve(const QString &commandLine)
{
    QStringList parts = QProcess::splitCommand(commandLine);
    if (parts.isEmpty())
        return {};
    Command command{parts.takeFirst(), parts};
    const bool bare = !command.program.contains(u'/') && !command.program.contains(u'\\');
    if (bare) {
        const QFileInfo local(QDir::current(), command.program);
        if (local.isFile())
            command.program = local.absoluteFilePath();
    }
    return command;
}

bool ProcessStart::startDetached(const QString &commandLine)
{
    const Command command = resolve(commandLine);
    if (command.program.isEmpty())
        return false;
    return QProcess::startDetached(command.program, command.arguments, QDir::currentPath());
}

bool ProcessStart::startDetached(const QByteArray &commandLine)
{
    return startDetached(CodePage::toUnicode(commandLine));
}
