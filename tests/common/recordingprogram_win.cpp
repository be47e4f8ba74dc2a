#include "common/recordingprogram.h"

#include "common/testpaths.h"

#include <QFile>
#include <QThread>

#include <windows.h>

bool RecordingProgram::write(const QString &path)
{
    QFile::remove(path);
    return QFile::copy(TestPaths::built(QStringLiteral("standin.exe")), path);
}

std::optional<QStringList> RecordingProgram::arguments(const QString &path)
{
    // The stand-in appends its command line and a line feed at once.
    QFile file(path + QStringLiteral(".ran"));
    QByteArray line;
    for (int i = 0; i < 100 && !line.endsWith('\n'); ++i) {
        QThread::msleep(50);
        if (file.open(QIODevice::ReadOnly)) {
            line = file.readLine();
            file.close();
        }
    }
    if (!line.endsWith('\n'))
        return std::nullopt;
    const QString commandLine = QString::fromUtf8(line.trimmed());
    int count = 0;
    wchar_t **parts = ::CommandLineToArgvW(reinterpret_cast<const wchar_t *>(commandLine.utf16()), &count);
    if (!parts)
        return std::nullopt;
    QStringList arguments;
    for (int i = 1; i < count; ++i)
        arguments << QString::fromWCharArray(parts[i]);
    ::LocalFree(parts);
    return arguments;
}
