#pragma once

#include "platform/ftp/ftpclient.h"

#include <QByteArray>
#include <QDialog>
#include <memory>

class QSaveFile;

// The asteroid dialog: the user types an asteroid number ("NAst") and "FtpA" fetches that
// asteroid's ephemeris file from the FTP server into the host's ephemeris directory, unless it is
// there already. One download at a time; the dialog stays open for more.
class TAster final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int largestAsteroid = 422627;

    explicit TAster(QWidget *parent = nullptr);
    ~TAster() override;

    // "ftp://host/pub/swisseph/ephe/" from the deployment value; tests point it elsewhere.
    [[nodiscard]] static QByteArray sourceUrl();
    static void setSourceUrl(const QByteArray &url);

    [[nodiscard]] int asteroidNumber() const { return m_asteroidNumber; }
    [[nodiscard]] bool isDownloading() const { return m_target != nullptr || m_ftp.isBusy(); }

public slots:
    void Knop();
    void astDone(bool error);

private:
    void fetchAsteroid();
    bool downloadFile(const QByteArray &url, const QByteArray &remoteName, const QByteArray &localPath);

    int m_asteroidNumber = 0;
    // Written beside the asteroid file and renamed to it only when the whole file has arrived.
    std::unique_ptr<QSaveFile> m_target;
    // Declared after the target file, so that a transfer still running when the dialog goes
    // ends before the file it writes into.
    FtpClient m_ftp;
};
