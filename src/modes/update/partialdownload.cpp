#include "modes/update/partialdownload.h"

#include "modes/update/updatecheck.h"
#include "platform/filereplacement.h"
#include "support/codepage.h"

#include <QSaveFile>

namespace {

QByteArray partName(QByteArrayView archiveName)
{
    return '.' + archiveName.toByteArray() + ".part";
}

QByteArray stampName(QByteArrayView archiveName)
{
    return '.' + archiveName.toByteArray() + ".stamp";
}

} // namespace

PartialDownload::PartialDownload(QByteArrayView archiveName)
    : m_part(UpdateCheck::pathInside(partName(archiveName)))
    , m_stampPath(UpdateCheck::pathInside(stampName(archiveName)))
{ }

QStringList PartialDownload::keptNames(QByteArrayView archiveName)
{
    return {CodePage::toUnicode(partName(archiveName)), CodePage::toUnicode(stampName(archiveName))};
}

bool PartialDownload::open(QString *reason)
{
    // Unbuffered, so that a full disk fails the transfer itself.
    if (m_part.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return true;
    *reason = m_part.errorString();
    return false;
}

FtpClient::RemoteStamp PartialDownload::recorded() const
{
    QFile file(m_stampPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // "<size> <modified>" on one line.
    const QList<QByteArray> fields = file.read(100).trimmed().split(' ');
    bool sizeOk = false;
    bool modifiedOk = false;
    const FtpClient::RemoteStamp stamp{
        fields.value(0).toLongLong(&sizeOk), fields.value(1).toLongLong(&modifiedOk)};
    return fields.size() == 2 && sizeOk && modifiedOk ? stamp : FtpClient::RemoteStamp{};
}

void PartialDownload::record(const FtpClient::RemoteStamp &stamp)
{
    if (!stamp.isKnown()) {
        QFile::remove(m_stampPath);
        return;
    }
    // Whole or not at all: a record cut short must not make a changed file look the same.
    QSaveFile file(m_stampPath);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(QByteArray::number(stamp.size) + ' ' + QByteArray::number(stamp.modified) + '\n') < 0
        || !file.commit())
        QFile::remove(m_stampPath);
}

void PartialDownload::keep()
{
    m_part.close();
    if (m_part.size() == 0 || !recorded().isKnown())
        discard();
}

bool PartialDownload::complete(const QString &target, QString *reason)
{
    // The archive is read at once and never kept, so it is not forced to the disk first.
    m_part.close();
    const FileReplacement::Result moved = m_part.error() == QFileDevice::NoError
        ? FileReplacement::replace(m_part.fileName(), target)
        : FileReplacement::Result{false, m_part.errorString()};
    if (!moved.ok) {
        *reason = moved.errorText;
        discard();
        return false;
    }
    QFile::remove(m_stampPath);
    return true;
}

void PartialDownload::discard()
{
    m_part.close();
    m_part.remove();
    QFile::remove(m_stampPath);
}
