#include "common/ftptestserver.h"

#include <QDeadlineTimer>
#include <QFile>

FtpTestServer::FtpTestServer() = default;

FtpTestServer::~FtpTestServer()
{
    stop();
}

QString FtpTestServer::scriptPath()
{
    return QStringLiteral(TAV_TESTS_DIR "/common/ftpserver.py");
}

void FtpTestServer::addUser(
    const QString &name, const QString &password, const QString &home, const QString &perm)
{
    m_arguments << QStringLiteral("--user") << name + u':' + password + u':' + home + u':' + perm;
}

void FtpTestServer::allowAnonymous(const QString &home, const QString &perm)
{
    m_arguments << QStringLiteral("--anonymous") << home + u':' + perm;
}

bool FtpTestServer::start()
{
    if (!m_workDir.isValid()) {
        m_lastError = QStringLiteral("no temporary directory for the server's log");
        return false;
    }
    QStringList arguments{
        scriptPath(), QStringLiteral("--log"), m_workDir.filePath(QStringLiteral("commands.log"))};
    arguments << m_arguments;
    if (m_fixedPort != 0)
        arguments << QStringLiteral("--port") << QString::number(m_fixedPort);
    if (m_dropAfter >= 0)
        arguments << QStringLiteral("--drop-after") << QString::number(m_dropAfter);
    if (m_stallAfter >= 0)
        arguments << QStringLiteral("--stall-after") << QString::number(m_stallAfter);
    if (m_stallAfterLogin)
        arguments << QStringLiteral("--stall-after-login");
    if (m_rateLimit > 0)
        arguments << QStringLiteral("--rate") << QString::number(m_rateLimit);
    if (m_refuseRest)
        arguments << QStringLiteral("--refuse-rest");
    if (m_uploadRateLimit > 0)
        arguments << QStringLiteral("--upload-rate") << QString::number(m_uploadRateLimit);

    // The server resolves paths against its working directory, which a test may have removed.
    m_process.setWorkingDirectory(m_workDir.path());
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("/usr/bin/python3"), arguments);
    if (!m_process.waitForStarted(10000)) {
        m_lastError = QStringLiteral("cannot start /usr/bin/python3: ") + m_process.errorString();
        return false;
    }
    QDeadlineTimer deadline(15000);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || !m_process.waitForReadyRead(int(deadline.remainingTime()))) {
            m_lastError = QStringLiteral("the FTP server did not report its port");
            stop();
            return false;
        }
    }
    const QByteArray line = m_process.readLine().trimmed();
    bool ok = false;
    const uint port = line.startsWith("PORT ") ? line.mid(5).toUInt(&ok) : 0;
    if (!ok || port == 0 || port > 65535) {
        m_lastError
            = QStringLiteral("unexpected first line from the FTP server: ") + QString::fromLatin1(line);
        stop();
        return false;
    }
    m_port = quint16(port);
    return true;
}

void FtpTestServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool FtpTestServer::isRunning() const
{
    return m_process.state() == QProcess::Running;
}

QString FtpTestServer::url() const
{
    return QStringLiteral("ftp://127.0.0.1:%1").arg(m_port);
}

QStringList FtpTestServer::commands() const
{
    QFile log(m_workDir.filePath(QStringLiteral("commands.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    while (!log.atEnd()) {
        QByteArray line = log.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        lines << QString::fromUtf8(line);
    }
    return lines;
}
