#pragma once

#include "platform/signature/minisign.h"
#include "platform/signature/signaturecheck.h"

#include <QByteArray>
#include <QMetaObject>
#include <QObject>
#include <QString>

#include <memory>

class FtpClient;
class QBuffer;
class UpdateLog;
class UpdateView;

// The maker's signature of a downloaded update. When the program is built with the maker's
// public key (the deployment value TAV_UPDATE_PUBLIC_KEY), an archive is unpacked only after its
// signature "/UPDATE/<archive>.minisig", fetched from the same site, has been verified against
// that key; without a key nothing is fetched and updates install unsigned, as they always did.
//
// The check runs off the GUI thread; the view is busy meanwhile. Its outcome is one line in the
// log view (green with the maker's trusted comment, or red saying what was wrong) and one in the
// update log, then finished().
class UpdateSignature final : public QObject
{
    Q_OBJECT

public:
    UpdateSignature(FtpClient &ftp, UpdateView &view, UpdateLog &log, QObject *parent = nullptr);
    ~UpdateSignature() override;

    // The key built in; empty when updates are not signed.
    [[nodiscard]] static QByteArray publicKey();
    // Replaces the key built in (tests, and the test build of the program).
    static void setPublicKey(const QByteArray &key);
    [[nodiscard]] static bool isRequired() { return !publicKey().trimmed().isEmpty(); }

    // Queues on the FTP object the connection to the site, cd "/UPDATE", the get of
    // "<archiveName>.minisig" and close; then checks the archive at archivePath.
    void start(int siteNumber, const QByteArray &archiveName, const QString &archivePath);

signals:
    void finished(const Minisign::Result &result);

private:
    void downloaded(bool error);
    void checked(const Minisign::Result &result);
    void report(const Minisign::Result &result, bool showDetail);

    FtpClient &m_ftp;
    UpdateView &m_view;
    UpdateLog &m_log;
    SignatureCheck m_check;
    std::unique_ptr<QBuffer> m_signature;
    QString m_archivePath;
    QMetaObject::Connection m_done;
};
