#include "common/recordingprogram.h"

#include <QFile>
#include <QThread>

bool RecordingProgram::write(const QString &path)
{
    // One argument a line, renamed into place whole.
    QFile file(path);
    const QByteArray script = "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.ran.tmp\"\n"
                              "mv \"$0.ran.tmp\" \"$0.ran\"\n";
    if (!file.open(QIODevice::WriteOnly) || file.write(script) != script.size())
        return false;
    file.close();
    return file.setPermissions(file.permissions() | QFile::ExeOwner);
}

std::optional<QStringList> RecordingProgram::arguments(const QString &path)
{
    QFile file(path + QStringLiteral(".ran"));
    for (int i = 0; i < 100 && !file.exists(); ++i)
        QThread::msleep(50);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}
