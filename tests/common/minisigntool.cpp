#include "common/minisigntool.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

MinisignTool::MinisignTool()
    : m_program(QStandardPaths::findExecutable(QStringLiteral("minisign")))
{ }

QString MinisignTool::testKeyDirectory()
{
    return QStringLiteral(TAV_TESTS_DIR "/data/updatekey");
}

QString MinisignTool::keyPath(const QString &name, bool secret) const
{
    // The committed test key is found by its name, "test".
    const QString directory = name == u"test" ? testKeyDirectory() : m_keys.path();
    return directory + u'/' + name + (secret ? QStringLiteral(".key") : QStringLiteral(".pub"));
}

bool MinisignTool::run(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(m_program, arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        m_lastError = QStringLiteral("minisign %1: %2")
                          .arg(arguments.join(u' '), QString::fromLocal8Bit(process.readAll()));
        return false;
    }
    return true;
}

bool MinisignTool::makeKey(const QString &name)
{
    return run({QStringLiteral("-G"), QStringLiteral("-W"), QStringLiteral("-p"), keyPath(name, false),
        QStringLiteral("-s"), keyPath(name, true)});
}

QByteArray MinisignTool::publicKey(const QString &name) const
{
    QFile file(keyPath(name, false));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().split('\n').value(1).trimmed();
}

bool MinisignTool::sign(const QString &name, const QString &file, const QString &trustedComment, bool legacy,
    const QString &signaturePath)
{
    QStringList arguments{QStringLiteral("-S"), QStringLiteral("-s"), keyPath(name, true),
        QStringLiteral("-x"), signaturePath.isEmpty() ? file + QStringLiteral(".minisig") : signaturePath};
    if (legacy)
        arguments << QStringLiteral("-l");
    if (!trustedComment.isEmpty())
        arguments << QStringLiteral("-t") << trustedComment;
    return run(arguments << QStringLiteral("-m") << file);
}

bool MinisignTool::verify(const QString &name, const QString &file, const QString &signaturePath)
{
    return run({QStringLiteral("-V"), QStringLiteral("-q"), QStringLiteral("-p"), keyPath(name, false),
        QStringLiteral("-x"), signaturePath, QStringLiteral("-m"), file});
}
