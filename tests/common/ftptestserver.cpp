#include "common/ftptestserver.h"

#include "common/hostpython.h"
#include "common/testpaths.h"

#include <QFile>

namespace {

QString scriptPath()
{
    return TestPaths::sourceDir() + QStringLiteral("/tests/common/ftpserver.py");
}

} // namespace

FtpTestServer::FtpTestServer() = default;

FtpTestServer::~FtpTestServer()
{
    stop();
}

void FtpTestServer::addUser(
    const QString &name, const QString &password, const QString &home, const QString &perm)
{
    m_arguments << QStringLiteral("--user")
                << name + u':' + password + u':' + HostPython::path(home) + u':' + perm;
}

void FtpTestServer::allowAnonymous(const QString &home, const QString &perm)
{
    m_arguments << QStringLiteral("--anonymous") << HostPython::path(home) + u':' + perm;
}

QString FtpTestServer::unavailableReason()
{
    QString whyNone;
    return HostPython::program(&whyNone).isEmpty() ? whyNone : QString();
}

bool FtpTestServer::start()
{
    stop();
    QString whyNone;
    const QString python = HostPython::program(&whyNone);
    if (python.isEmpty()) {
        m_lastError = whyNone;
        return false;
    }
    if (!m_workDir.isValid()) {
        m_lastError = QStringLiteral("no temporary directory for the server's log");
        return false;
    }
    m_lifeline = std::make_unique<Lifeline>();
    if (!m_lifeline->listen()) {
        m_lastError = QStringLiteral("no lifeline for the FTP server: ") + m_lifeline->errorString();
        return false;
    }
    QStringList arguments{HostPython::path(scriptPath()), QStringLiteral("--log"),
        HostPython::path(m_workDir.filePath(QStringLiteral("commands.log"))), QStringLiteral("--lifeline"),
        QString::number(m_lifeline->port())};
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

    // Held by the lifeline alone: under Wine a Windows program gets no handle on a Linux process.
    // The server resolves paths against its working directory, which a test may have removed.
    QString error;
    if (!HostPython::startDetached(arguments, m_workDir.path(), &error)) {
        m_lastError = QStringLiteral("cannot start ") + python + QStringLiteral(": ") + error;
        m_lifeline.reset();
        return false;
    }
    const QByteArray line = m_lifeline->acceptLine(15000);
    if (line.isEmpty()) {
        m_lastError = QStringLiteral("the FTP server did not report its port: ") + m_lifeline->errorString();
        stop();
        return false;
    }
    if (line.startsWith("ERROR ")) {
        m_lastError = QStringLiteral("the FTP server cannot serve: ") + QString::fromUtf8(line.mid(6));
        stop();
        return false;
    }
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
    if (!m_lifeline)
        return;
    if (!m_lifeline->cut(10000))
        qWarning("FtpTestServer: %s", qPrintable(m_lifeline->errorString()));
    m_lifeline.reset();
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
