#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <QtGlobal>

#include <utility>

class FtpClient;
class QDateTime;
class UpdateView;

// The update log "%05d.log" in the current directory: one line per record, code page 1251, LF,
// only ever appended to. Every line opens and closes the file, so nothing is buffered between
// lines; a log that cannot be opened, or a line that does not fit, is lost and the update goes
// on; takeFailure() tells why. After a
// successful installation the whole log is sent to the update site's "/UPDATE/LOGS".
class UpdateLog final
{
public:
    explicit UpdateLog(QByteArray fileName);
    ~UpdateLog();

    // "%05d.log": five digits with leading zeros, more when the number is larger.
    [[nodiscard]] static QByteArray fileNameFor(int installationNumber);
    // The number that identifies the host installation in the current directory; 0 when there is
    // none. (Its source is documented in the README.)
    [[nodiscard]] static int installationNumber();
    // "dd.MM.yyyy hh:mm:ss", the time stamp of every line; currentTimeStamp() is local time now.
    [[nodiscard]] static QByteArray timeStamp(const QDateTime &time);
    [[nodiscard]] static QByteArray currentTimeStamp();

    [[nodiscard]] QByteArray fileName() const { return m_fileName; }

    // printf-style; the line feed is added.
    void write(const char *format, ...) Q_ATTRIBUTE_FORMAT_PRINTF(2, 3);
    // A catalog text used as the format of one number ("Per%d"): its first "%d" becomes the
    // number and "%%" a '%'; any other '%' stays as it is, so a translated text can never make
    // the line read arguments that are not there.
    void writeNumberLine(QByteArrayView format, int number);
    // "%s %s - %s": prefix, path, the file's modification time "dd.MM.yyyy hh:mm:ss" (local);
    // "%s %s - No" when there is no such file.
    void writeDateLine(QByteArrayView prefix, QByteArrayView path);

    // Why lines were lost since the last call (the file could not be opened, or a line did not
    // fit on a full disk), naming the file; empty when none were. The caller shows it.
    [[nodiscard]] QString takeFailure() { return std::exchange(m_failure, QString()); }

    // The "InfUp" button, after the dialog stored its state: clears the view, writes "InfUp" in
    // blue, then the log's lines in black: those beginning with '#', or every line when option
    // number 1 is not 0. CR is dropped.
    void showHistory(UpdateView &view) const;

    // Queues, on the FTP object: the connection and login to the site, cd "/UPDATE/LOGS", put of
    // the log under its own name (binary), close. The caller connects done(bool) first; the
    // result is not looked at. Without a readable log no put is queued; a site number outside
    // the table queues nothing.
    void upload(FtpClient &ftp, int siteNumber);

private:
    void writeLine(QByteArrayView line);
    void noteFailure(const QFile &file);

    QByteArray m_fileName;
    QString m_failure;
    // Read by the upload's put; lives as long as the log object, which outlives the FTP object.
    QFile m_uploadFile;
};
