#include "common/minisigntool.h"

#include "common/hostpython.h"
#include "common/testpaths.h"

#include <QFile>
#include <QFileInfo>

MinisignTool::MinisignTool()
{
    // The host's minisign, also for the Windows build under Wine.
    if (HostPython::runProgram({QStringLiteral("minisign"), QStringLiteral("-v")}, 60000).exitCode == 0)
        m_program = QStringLiteral("minisign");
}

QString MinisignTool::testKeyDirectory()
{
    return TestPaths::sourceDir() + QStringLiteral("/tests/data/updatekey");
}

QString MinisignTool::keyPath(const QString &name, bool secret) const
{
    // The committed test key is found by its name, "test".
    const QString directory = name == u"test" ? testKeyDirectory() : m_keys.path();
    return directory + u'/' + name + (secret ? QStringLiteral(".key") : QStringLiteral(".pub"));
}

bool MinisignTool::run(const QStringList &arguments)
{
    // Every argument that names a file is one the host's program must find.
    QStringList command{m_program};
    for (const QString &argument : arguments)
        command << (QFileInfo(argument).isAbsolute() ? HostPython::path(argument) : argument);
    const HostPython::Run done = HostPython::runProgram(command, 60000);
    if (done.exitCode != 0) {
        m_lastError = QStringLiteral("minisign %1: %2")
                          .arg(arguments.join(u' '), QString::fromLocal8Bit(done.output));
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
