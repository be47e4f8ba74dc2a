#pragma once

#include "platform/ftp/ftpclient.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <QStringList>

// The archive while it downloads: "UP00/.<archive>.part", and beside it "UP00/.<archive>.stamp"
// with the size and modification time the server gave for the file when the download began. A
// download that breaks off leaves both, so that the next attempt on the same archive (the next
// site of the run, or the next "New") continues where it stopped, as long as the server still
// reports the same size and time (FtpClient::getResuming).
class PartialDownload final
{
public:
    explicit PartialDownload(QByteArrayView archiveName);

    // The names inside "UP00" that emptying it keeps for this archive.
    [[nodiscard]] static QStringList keptNames(QByteArrayView archiveName);

    // Opens the part for reading and writing, keeping what it holds; false with the reason.
    bool open(QString *reason);
    [[nodiscard]] QFile *file() { return &m_part; }
    // The stamp recorded for the part's bytes; unknown when there is none.
    [[nodiscard]] FtpClient::RemoteStamp recorded() const;
    // Records the stamp of the download that starts now (replacing the old record).
    void record(const FtpClient::RemoteStamp &stamp);
    // After a failed transfer: the part and its record stay for the next attempt, unless nothing
    // arrived or the server did not say what the file was.
    void keep();
    // After a whole transfer: the part becomes target and the record goes. False with the reason.
    bool complete(const QString &target, QString *reason);
    // Nothing of it stays.
    void discard();

private:
    QFile m_part;
    QString m_stampPath;
};
