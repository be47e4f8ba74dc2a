#include "common/hostpython.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <windows.h>

// Wine's kernel32 translates between its drives and the host's file system; Windows has neither
// the functions nor a host with python3.
namespace {

using UnixFileName = char *(CDECL *)(const WCHAR *);
using DosFileName = WCHAR *(CDECL *)(const char *);

template <typename Function> Function wineFunction(const char *name)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

// One argument as the C runtime splits a command line again: quoted when it has a blank or a
// quote, a quote and the backslashes before one (or before the closing quote) escaped.
QString quoted(const QString &argument)
{
    if (!argument.isEmpty() && !argument.contains(QRegularExpression(QStringLiteral("[\\s\"]"))))
        return argument;
    QString out = QStringLiteral("\"");
    qsizetype backslashes = 0;
    for (const QChar c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        out += QString(c == u'"' ? 2 * backslashes + 1 : backslashes, u'\\') + c;
        backslashes = 0;
    }
    return out + QString(2 * backslashes, u'\\') + u'"';
}

} // namespace

QString HostPython::program(QString *whyNone)
{
    const auto dosFileName = wineFunction<DosFileName>("wine_get_dos_file_name");
    if (!dosFileName) {
        if (whyNone)
            *whyNone = QStringLiteral("the test servers run with the host's python3 under Wine; "
                                      "this Windows is not Wine");
        return {};
    }
    WCHAR *name = dosFileName("/usr/bin/python3");
    if (!name) {
        if (whyNone)
            *whyNone = QStringLiteral("Wine has no drive for the host's /usr/bin/python3");
        return {};
    }
    const QString program = QDir::fromNativeSeparators(QString::fromWCharArray(name));
    HeapFree(GetProcessHeap(), 0, name);
    return program;
}

QString HostPython::path(const QString &path)
{
    const auto unixFileName = wineFunction<UnixFileName>("wine_get_unix_file_name");
    if (!unixFileName)
        return path;
    const QString native = QDir::toNativeSeparators(QDir::cleanPath(QDir().absoluteFilePath(path)));
    char *name = unixFileName(reinterpret_cast<const WCHAR *>(native.utf16()));
    if (!name)
        return path;
    const QString unixPath = QString::fromUtf8(name);
    HeapFree(GetProcessHeap(), 0, name);
    return unixPath;
}

// Not QProcess: for a Linux program Wine hands back no process information, and Qt closes the
// handles its uninitialised PROCESS_INFORMATION happens to hold (a socket of the test, say).
bool HostPython::startDetached(const QStringList &arguments, const QString &workingDirectory, QString *error)
{
    const QString python = program(error);
    if (python.isEmpty())
        return false;
    // The Linux program's own name comes first: Python finds itself by it.
    QString commandLine = QStringLiteral("/usr/bin/python3");
    for (const QString &argument : arguments)
        commandLine += u' ' + quoted(argument);
    const QString application = QDir::toNativeSeparators(python);
    const QString directory = QDir::toNativeSeparators(workingDirectory);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(reinterpret_cast<const wchar_t *>(application.utf16()),
            const_cast<wchar_t *>(reinterpret_cast<const wchar_t *>(commandLine.utf16())), nullptr, nullptr,
            FALSE, 0, nullptr, reinterpret_cast<const wchar_t *>(directory.utf16()), &startup, &process)) {
        *error = qt_error_string(int(GetLastError()));
        return false;
    }
    if (process.hThread)
        CloseHandle(process.hThread);
    if (process.hProcess)
        CloseHandle(process.hProcess);
    return true;
}

HostPython::Run HostPython::runProgram(const QStringList &command, int msecs)
{
    // The outcome arrives whole: written under another name, then renamed.
    static const QString runner = QStringLiteral(
        "import os, subprocess, sys\n"
        "try:\n"
        "    done = subprocess.run(sys.argv[2:], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,\n"
        "                          stderr=subprocess.STDOUT, timeout=%1)\n"
        "    code, output = done.returncode, done.stdout\n"
        "except (OSError, subprocess.SubprocessError) as error:\n"
        "    code, output = -1, str(error).encode()\n"
        "with open(sys.argv[1] + '.part', 'wb') as out:\n"
        "    out.write(b'%d\\n' % code + output)\n"
        "os.replace(sys.argv[1] + '.part', sys.argv[1])\n");
    Run run;
    QTemporaryDir directory;
    const QString outcome = directory.filePath(QStringLiteral("outcome"));
    QString error;
    if (!directory.isValid()
        || !startDetached(
            QStringList{QStringLiteral("-c"), runner.arg(qMax(1, msecs / 1000)), path(outcome)} + command,
            directory.path(), &error)) {
        run.output = error.toLocal8Bit();
        return run;
    }
    const QDeadlineTimer deadline(msecs + 5000);
    while (!QFileInfo::exists(outcome)) {
        if (deadline.hasExpired()) {
            run.output = "no outcome from the host's python3";
            return run;
        }
        QThread::msleep(20);
    }
    QFile file(outcome);
    if (!file.open(QIODevice::ReadOnly))
        return run;
    const QByteArray bytes = file.readAll();
    const qsizetype end = bytes.indexOf('\n');
    run.exitCode = bytes.left(end).toInt();
    run.output = bytes.mid(end + 1);
    return run;
}
