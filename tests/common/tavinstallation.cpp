#include "common/tavinstallation.h"

#include "support/codepage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

const QByteArray TavInstallation::defaultSettings = "Ov=0 0 0 0 0 0 0 0 0 0   0 0 0 0 0 0 0 0 0 0 \n";

QByteArray TavRun::describe() const
{
    QByteArray text;
    if (!started)
        return "the executable did not start";
    if (!finished)
        text = "still running at the time-out";
    else if (crashed)
        text = "crashed";
    else
        text = "exit code " + QByteArray::number(exitCode);
    text += " after " + QByteArray::number(elapsedMs) + " ms";
    if (!standardError.isEmpty())
        text += "; stderr: " + standardError.left(2000);
    return text;
}

TavInstallation::TavInstallation()
    : m_environment(QProcessEnvironment::systemEnvironment())
{
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Matters only in the sanitizer build.
    const QString lsan = m_environment.value(QStringLiteral("LSAN_OPTIONS"));
    m_environment.insert(QStringLiteral("LSAN_OPTIONS"),
        (lsan.isEmpty() ? QString() : lsan + u':') + QStringLiteral("suppressions=")
            + QStringLiteral(TAV_TESTS_DIR) + QStringLiteral("/common/lsan-suppressions.txt"));
    if (m_dir.isValid())
        writeSettings(defaultSettings);
}

QString TavInstallation::binDir()
{
    return QStringLiteral(TAV_BIN_DIR);
}

QString TavInstallation::executable()
{
    return binDir() + QStringLiteral("/tav");
}

bool TavInstallation::writeFile(const QString &name, const QByteArray &bytes) const
{
    const QString fullPath = filePath(name);
    if (!QDir().mkpath(QFileInfo(fullPath).absolutePath()))
        return false;
    QFile file(fullPath);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool TavInstallation::writeCatalog(const QString &text) const
{
    const QByteArray bytes = CodePage::unicodeToCp866(text);
    // A character that code page 866 cannot hold would come back as '?'.
    if (CodePage::cp866ToUnicode(bytes) != text)
        return false;
    return writeFile(QStringLiteral("tav.t"), bytes);
}

bool TavInstallation::removeFile(const QString &name) const
{
    return QFile::remove(filePath(name));
}

bool TavInstallation::exists(const QString &name) const
{
    return QFileInfo::exists(filePath(name));
}

QByteArray TavInstallation::readFile(const QString &name) const
{
    QFile file(filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    // An empty file reads as empty, not as missing.
    if (bytes.isNull())
        bytes = QByteArray("");
    return bytes;
}

TavRun TavInstallation::run(
    const QStringList &arguments, int timeoutMs, const std::function<void()> &whileRunning) const
{
    TavRun result;
    QProcess process;
    process.setProgram(m_program);
    process.setArguments(arguments);
    process.setWorkingDirectory(path());
    process.setProcessEnvironment(m_environment);
    QElapsedTimer timer;
    timer.start();
    process.start();
    if (!process.waitForStarted(10000))
        return result;
    result.started = true;
    while (!process.waitForFinished(50)) {
        if (process.state() == QProcess::NotRunning)
            break;
        if (timer.elapsed() > timeoutMs) {
            process.kill();
            process.waitForFinished(5000);
            result.elapsedMs = timer.elapsed();
            result.standardOutput = process.readAllStandardOutput();
            result.standardError = process.readAllStandardError();
            return result;
        }
        if (whileRunning)
            whileRunning();
    }
    result.elapsedMs = timer.elapsed();
    result.finished = true;
    result.crashed = process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitCode();
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    return result;
}
