#pragma once

#include "common/ftptestserver.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTemporaryDir>

// One file of a test update: its path inside the archive, its bytes and its modification time.
struct UpdateFile
{
    QString path;
    QByteArray bytes;
    QDateTime modified;
};

// An update site for tests: a server root holding "UPDATE" and "UPDATE/LOGS", served on 127.0.0.1
// by FtpTestServer to one user who may read and write, and the update archives put there (tar
// archives keeping the times the test chose; the updater's archiver reads any format).
//
//     UpdateSiteServer site(u"user"_s, u"secret"_s);
//     QVERIFY2(site.start(), qPrintable(site.lastError()));
//     QVERIFY(site.putArchive(u"ko10.rar"_s, {{u"data.dat"_s, "new", when}}));
//     ... site.server().commands(), site.uploadedLog(u"00000.log"_s) ...
class UpdateSiteServer final
{
public:
    UpdateSiteServer(QString user, QString password, quint16 port = 0);

    [[nodiscard]] bool start();
    void stop() { m_server.stop(); }
    [[nodiscard]] FtpTestServer &server() { return m_server; }
    [[nodiscard]] QString user() const { return m_user; }
    [[nodiscard]] QString password() const { return m_password; }
    [[nodiscard]] QString url() const { return m_server.url(); }
    [[nodiscard]] QString lastError() const { return m_lastError; }

    // Into "UPDATE".
    bool putArchive(const QString &name, const QList<UpdateFile> &files);
    bool putFile(const QString &name, const QByteArray &bytes);
    // Where a file of "UPDATE" lies on the disk (to sign or change it in place).
    [[nodiscard]] QString filePath(const QString &name) const
    {
        return m_root.filePath(QStringLiteral("UPDATE/") + name);
    }
    // A log the updater sent to "UPDATE/LOGS"; a null array when there is none.
    [[nodiscard]] QByteArray uploadedLog(const QString &name) const;

    // Packs the files into a tar archive at archivePath.
    static bool makeArchive(
        const QString &archivePath, const QList<UpdateFile> &files, QString *error = nullptr);

private:
    QTemporaryDir m_root;
    QString m_user;
    QString m_password;
    FtpTestServer m_server;
    QString m_lastError;
};
