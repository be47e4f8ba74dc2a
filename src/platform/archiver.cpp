#include "platform/archiver.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace {

#ifdef Q_OS_WIN
const QString programName = u"rar.exe"_s;
#else
const QString programName = u"rar"_s;
#endif

// The archiver's own words are the most useful reason: with -idcpdq it prints only errors, one
// line per entry, so the last line names what went wrong last.
QString lastLine(const QByteArray &output)
{
    const QList<QByteArray> lines = output.trimmed().split('\n');
    return QString::fromLocal8Bit(lines.last().trimmed()).left(300);
}

} // namespace

QString Archiver::programPath()
{
    return QDir::current().absoluteFilePath(programName);
}

bool Archiver::isPresent()
{
    return QFileInfo(programPath()).isFile();
}

Archiver::Result Archiver::run(const QStringList &arguments)
{
    QProcess process;
    process.setProgram(programPath());
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());

    // The dialog keeps painting while the archiver works, but no click may start another step
    // of the update in the middle of this one.
    QEventLoop loop;
    bool ended = false;
    const auto end = [&] {
        ended = true;
        loop.quit();
    };
    QObject::connect(&process, &QProcess::finished, &loop, end);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            end();
    });
    process.start();
    if (!ended && process.state() != QProcess::NotRunning)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    // The loop also ends when the application is told to quit, and after that every new loop
    // returns at once. The archiver's work is not cut off for that, nor taken for done: the wait
    // goes on, without events, until it has really ended.
    if (process.state() != QProcess::NotRunning && !process.waitForFinished(-1)
        && process.state() != QProcess::NotRunning) {
        Result result;
        result.started = true;
        result.errorText = u"the wait for %1 ended while it was still running"_s.arg(programName);
        return result;
    }

    Result result;
    if (process.error() == QProcess::FailedToStart) {
        result.errorText = u"%1 could not be started: %2"_s.arg(programName, process.errorString());
        return result;
    }
    result.started = true;
    const QString said = lastLine(process.readAllStandardError());
    if (process.exitStatus() == QProcess::CrashExit) {
        result.crashed = true;
        result.errorText = u"%1 was killed or crashed"_s.arg(programName);
    } else {
        result.exitCode = process.exitCode();
        if (result.exitCode != 0)
            result.errorText = u"%1 ended with exit code %2"_s.arg(programName).arg(result.exitCode);
    }
    if (!result.succeeded() && !said.isEmpty())
        result.errorText += u": "_s + said;
    return result;
}

QByteArray Archiver::listFileText(const QStringList &paths, QStringList *unlisted)
{
    QByteArray text;
    for (const QString &path : paths) {
        const QByteArray name = QFile::encodeName(path);
        if (name.isEmpty() || name.contains('\n') || name.contains('\r') || QFile::decodeName(name) != path) {
            if (unlisted)
                unlisted->append(path);
            continue;
        }
        text += name + '\n';
    }
    return text;
}
