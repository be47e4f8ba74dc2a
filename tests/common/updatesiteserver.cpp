#include "common/updatesiteserver.h"

#include <QDir>
#include <QFile>
#include <QProcess>

UpdateSiteServer::UpdateSiteServer(QString user, QString password, quint16 port)
    : m_user(std::move(user))
    , m_password(std::move(password))
{
    m_server.setPort(port);
}

bool UpdateSiteServer::start()
{
    if (!m_root.isValid() || !QDir(m_root.path()).mkpath(QStringLiteral("UPDATE/LOGS"))) {
        m_lastError = QStringLiteral("no directory for the site");
        return false;
    }
    m_server.addUser(m_user, m_password, m_root.path(), QStringLiteral("elradfmw"));
    if (!m_server.start()) {
        m_lastError = m_server.lastError();
        return false;
    }
    return true;
}

bool UpdateSiteServer::putArchive(const QString &name, const QList<UpdateFile> &files)
{
    return makeArchive(m_root.filePath(QStringLiteral("UPDATE/") + name), files, &m_lastError);
}

bool UpdateSiteServer::putFile(const QString &name, const QByteArray &bytes)
{
    QFile file(m_root.filePath(QStringLiteral("UPDATE/") + name));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray UpdateSiteServer::uploadedLog(const QString &name) const
{
    QFile file(m_root.filePath(QStringLiteral("UPDATE/LOGS/") + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool UpdateSiteServer::makeArchive(const QString &archivePath, const QList<UpdateFile> &files, QString *error)
{
    const auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    QTemporaryDir staging;
    if (!staging.isValid())
        return fail(QStringLiteral("no staging directory"));
    QStringList paths;
    for (const UpdateFile &entry : files) {
        const QString path = staging.filePath(entry.path);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        // Written out before the time is set, which the flush would change again.
        if (!file.open(QIODevice::WriteOnly) || file.write(entry.bytes) != entry.bytes.size() || !file.flush()
            || !file.setFileTime(entry.modified, QFileDevice::FileModificationTime))
            return fail(QStringLiteral("cannot write ") + path);
        paths << entry.path;
    }
    QProcess bsdtar;
    bsdtar.setProcessChannelMode(QProcess::MergedChannels);
    bsdtar.start(QStringLiteral("bsdtar"),
        QStringList{QStringLiteral("-cf"), archivePath, QStringLiteral("-C"), staging.path()} + paths);
    if (!bsdtar.waitForFinished(60000) || bsdtar.exitStatus() != QProcess::NormalExit
        || bsdtar.exitCode() != 0)
        return fail(QStringLiteral("bsdtar failed: ") + QString::fromLocal8Bit(bsdtar.readAll())
            + bsdtar.errorString());
    return true;
}
