#pragma once

#include "modes/update/updatelog.h"
#include "modes/update/updatesignature.h"
#include "modes/update/updateview.h"
#include "platform/ftp/ftpclient.h"
#include "platform/ftp/updatesites.h"
#include "platform/installationlock.h"

#include <QByteArray>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QTextCursor>

#include <memory>
#include <optional>

class PartialDownload;
class QProgressBar;
class QTextEdit;

// The updater's window (run mode "Up"), built from the catalog description "Tav": the buttons
// "New" (download, unpack, check and install an update), "ReBak" (restore the previous version),
// "InfUp" (the update history), "ReMain" (close), "Nel" and "Lumida" (the web sites), the combo box
// "Vib" (automatic choice of the update site, or one site of "Saits"), and below them the log view
// of what happened and a progress bar while the archive downloads.
//
// One update runs at a time, from "New" until the log has been uploaded; meanwhile a second "New",
// "ReBak" and "InfUp" are refused with a box, and closing the window is refused with a line in the
// log view. One window per installation: the entry point holds a lock for the window's life. In
// automatic mode a download that fails is tried once more on the second site of the list; a site
// the user chose is tried once. In a build with the maker's public key, an archive whose signature
// does not hold counts as a failed download.
class TUp final : public QDialog, public UpdateView
{
    Q_OBJECT

public:
    // updateFile is the "UF" value, hostProgram the program line as the entry point starts it.
    TUp(QByteArrayView updateFile, QByteArrayView hostProgram);
    ~TUp() override;

    // The installation's lock, kept until the window goes.
    void holdLock(std::unique_ptr<InstallationLock> lock) { m_lock = std::move(lock); }

    [[nodiscard]] QByteArray archiveName() const { return m_archiveName; }
    [[nodiscard]] QByteArray logName() const { return m_log.fileName(); }
    [[nodiscard]] int attemptIndex() const { return m_attemptIndex; }
    [[nodiscard]] int siteChoice() const { return m_siteChoice; }
    // From "New" until the run has ended, its upload included.
    [[nodiscard]] bool isRunning() const { return m_running || m_ftp.isBusy(); }
    [[nodiscard]] QTextEdit *logView() const { return m_logView; }
    [[nodiscard]] QProgressBar *progressBar() const { return m_progress; }
    // The connection every transfer of the window goes through (tests shorten its time-out).
    [[nodiscard]] FtpClient &ftp() { return m_ftp; }

    // UpdateView
    void logLine(QByteArrayView text, std::optional<Qt::GlobalColor> colour) override;
    void clearLog() override;
    void setBusy(bool busy) override;
    [[nodiscard]] QWidget *window() override { return this; }

    // Closes the window, except while a run goes on: then the log view says it closes afterwards.
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

public slots:
    void Knop();
    void upDoneFile(bool error);
    void upDoneLog(bool error);
    // The FTP object's state into "taw.tax" and the log view; reachable by name only.
    void Status();

private:
    // "UpBusy" while a run goes on: true when the button's action must not happen.
    bool refusedWhileRunning();
    void startUpdate();
    void startAttempt();
    void attemptFailed();
    // The archive cannot be created, written or take its name: a fault of this side (a full disk)
    // that another site would meet too, so the run ends with the red line and the box "ErrCreat"
    // followed by the line, without "NoInf".
    void localFault(const QString &line);
    void unpack();
    void checkUpdate();
    void endRun();
    // A red line and the box "LogErr" when lines of the update log were lost (a full disk).
    void reportLogFailure();
    void showTransferProgress(qint64 done, qint64 total);
    void endLogBatch();
    [[nodiscard]] int siteNumberOf(int attempt) const;

    std::unique_ptr<InstallationLock> m_lock;
    QByteArray m_archiveName;
    UpdateLog m_log;
    QByteArray m_hostProgram;
    QTextEdit *m_logView = nullptr;
    std::optional<QTextCursor> m_logBatch;
    QProgressBar *m_progress = nullptr;
    QList<UpdateSites::SiteListEntry> m_siteList;
    int m_attemptIndex = 0;
    int m_siteChoice = 0;
    bool m_running = false;
    int m_busyDepth = 0;
    QElapsedTimer m_progressClock;
    // The archive while it downloads, under a hidden name in "UP00" until the whole file has
    // arrived.
    std::unique_ptr<PartialDownload> m_download;
    std::unique_ptr<UpdateSignature> m_signature;
    // Declared last: a transfer still running when the dialog goes ends before the file it
    // writes into and the log it reads.
    FtpClient m_ftp;
};
