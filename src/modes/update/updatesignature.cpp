#include "modes/update/updatesignature.h"

#include "modes/update/updatelog.h"
#include "modes/update/updateview.h"
#include "platform/ftp/ftpclient.h"
#include "platform/ftp/updatesites.h"
#include "shell/catalog.h"
#include "support/codepage.h"

#include <QBuffer>
#include <QFile>

#include <deployment.h>

#include <optional>

namespace {

std::optional<QByteArray> &keyOverride()
{
    static std::optional<QByteArray> key;
    return key;
}

QByteArray catalogText(QByteArrayView key)
{
    return Catalog::text(key).value_or(QByteArray());
}

// The catalog text that names what was wrong.
QByteArray statusText(Minisign::Status status)
{
    switch (status) {
    case Minisign::Status::Verified:
        return catalogText("SigOk");
    case Minisign::Status::KeyMalformed:
        return catalogText("SigPub");
    case Minisign::Status::SignatureMissing:
        return catalogText("SigNo");
    case Minisign::Status::SignatureMalformed:
        return catalogText("SigForm");
    case Minisign::Status::WrongKey:
        return catalogText("SigKey");
    case Minisign::Status::BadSignature:
        return catalogText("SigBad");
    case Minisign::Status::BadGlobalSignature:
        return catalogText("SigCom");
    case Minisign::Status::FileUnreadable:
    case Minisign::Status::Cancelled:
        break;
    }
    return catalogText("SigRead");
}

// A signature file is a few hundred bytes; a site that sends more is not sending one, and the
// download stops there instead of filling the memory.
class BoundedBuffer final : public QBuffer
{
public:
    [[nodiscard]] bool overflowed() const { return m_overflowed; }

protected:
    qint64 writeData(const char *data, qint64 length) override
    {
        if (size() + length > Minisign::signatureFileCapacity) {
            m_overflowed = true;
            setErrorString(QStringLiteral("larger than a signature file can be"));
            return -1;
        }
        return QBuffer::writeData(data, length);
    }

private:
    bool m_overflowed = false;
};

} // namespace

UpdateSignature::UpdateSignature(FtpClient &ftp, UpdateView &view, UpdateLog &log, QObject *parent)
    : QObject(parent)
    , m_ftp(ftp)
    , m_view(view)
    , m_log(log)
{
    connect(&m_check, &SignatureCheck::finished, this, &UpdateSignature::checked);
}

UpdateSignature::~UpdateSignature()
{
    disconnect(m_done);
}

QByteArray UpdateSignature::publicKey()
{
    return keyOverride().value_or(QByteArray(Deployment::updatePublicKey));
}

void UpdateSignature::setPublicKey(const QByteArray &key)
{
    keyOverride() = key;
}

void UpdateSignature::start(int siteNumber, const QByteArray &archiveName, const QString &archivePath)
{
    m_archivePath = archivePath;
    m_signature = std::make_unique<BoundedBuffer>();
    m_signature->open(QIODevice::WriteOnly);
    disconnect(m_done);
    m_done = connect(&m_ftp, &FtpClient::done, this, &UpdateSignature::downloaded);
    UpdateSites::connectSite(m_ftp, siteNumber);
    m_ftp.cd(QStringLiteral("/UPDATE"));
    m_ftp.get(CodePage::toUnicode(archiveName + ".minisig"), m_signature.get(), FtpClient::Binary);
    m_ftp.close();
}

void UpdateSignature::downloaded(bool error)
{
    disconnect(m_done);
    const auto *buffer = static_cast<const BoundedBuffer *>(m_signature.get());
    if (error) {
        Minisign::Result result;
        result.status = buffer->overflowed() ? Minisign::Status::SignatureMalformed
                                             : Minisign::Status::SignatureMissing;
        result.detail = m_ftp.errorString();
        // The site's or the network's reason tells the user what to do about it; the buffer's
        // own words on an oversized file do not.
        report(result, !buffer->overflowed());
        return;
    }
    const QByteArray signature = m_signature->data();
    m_signature.reset();
    m_view.setBusy(true);
    m_check.start(m_archivePath, signature, publicKey());
}

void UpdateSignature::checked(const Minisign::Result &result)
{
    m_view.setBusy(false);
    // Only an unreadable archive has a reason from the system worth showing; the verifier's own
    // explanations repeat the catalog's text in English.
    report(result, result.status == Minisign::Status::FileUnreadable);
}

void UpdateSignature::report(const Minisign::Result &result, bool showDetail)
{
    m_signature.reset();
    const QByteArray timeStamp = UpdateLog::currentTimeStamp();
    if (result.verified()) {
        // The comment is the maker's, in UTF-8; a line of its own in the view and the log.
        const QByteArray comment
            = CodePage::fromUnicode(QString::fromUtf8(result.trustedComment).simplified());
        m_view.logLine(statusText(result.status) + ' ' + comment, Qt::green);
        m_log.write(
            "#%s %s %s", timeStamp.constData(), statusText(result.status).constData(), comment.constData());
    } else {
        const QByteArray status = statusText(result.status);
        const QByteArray line = status + ": " + CodePage::fromUnicode(result.detail.simplified());
        // The update log keeps every detail for whoever looks into a refused update.
        m_view.logLine(showDetail && !result.detail.isEmpty() ? line : status, Qt::red);
        m_log.write("#%s %s", timeStamp.constData(), line.constData());
    }
    emit finished(result);
}
