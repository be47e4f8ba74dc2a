#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

class QWidget;
class UpdateLog;
class UpdateView;

namespace Archiver {
struct Result;
}

// Moves the files an update selected from "UP00" into the installation (the current directory),
// the files they replace first added to the backup archive "predver.rar", the running executable
// parked under its "old" name; and brings the previous version back from that backup.
//
// An update backs up every file it will replace in one archiver run, before the first file is
// replaced: when that run fails, nothing is installed. A file whose move fails is not installed:
// the installed file stays as it was, the new one stays in "UP00", and the log view and the
// update log say so. Each archiver run marks the view busy while it lasts.
//
// A power cut may come at any moment: the files moved in, and the directories they were moved
// in, are forced to the disk before the update log says they were installed, and the restored
// files before the backup is deleted.
class Installer final
{
public:
    Installer(UpdateView &view, UpdateLog &log, QByteArray hostProgram);

    struct Result
    {
        int installed = 0;
        int failed = 0;
    };

    // Backs up what the entries (paths relative to "UP00" and to the installation) will replace,
    // then installs every entry in order; then the count line, the closing box ("IsNew", or
    // "NePer" when some files were not installed) and the "+" date lines. The caller then uploads
    // the log and refreshes the backup button.
    Result installFiles(const QList<QByteArray> &selected);
    // One file, with its own backup run: source "UP00/<entry>" (platform separator), destination
    // the entry. True when the destination now holds the new file.
    bool installFile(QByteArrayView source, QByteArrayView destination);
    // The "ReBak" button: restores "predver.rar" into the installation. The archive is deleted
    // only when the archiver restored all of it; otherwise it is kept and the failure is shown.
    void restoreBackup();

private:
    // Whether the destination is a file that the move of source will replace and that the backup
    // must hold first.
    [[nodiscard]] static bool needsBackup(
        const QString &source, const QString &destination, QByteArrayView name);
    // One archiver run that adds the paths to "predver.rar", named in a list file.
    Archiver::Result backUp(const QStringList &paths);
    // Moves source in (parking the running executable); no backup.
    bool place(const QString &source, const QString &destination, QByteArrayView name);
    // Parks the running executable, moves the new one in, and puts the old one back when that fails.
    bool replaceExecutable(const QString &source, const QString &destination, QByteArrayView name);
    Archiver::Result runArchiver(const QStringList &arguments);
    bool installed(QByteArrayView destination);
    bool notInstalled(QByteArrayView key, QByteArrayView destination, const QString &reason);
    // Forces what was moved in to the disk, then writes the update-log lines held back meanwhile.
    void commitPlaced();

    UpdateView &m_view;
    UpdateLog &m_log;
    QByteArray m_hostProgram;
    // While files are moved in, their update-log lines wait here, in order, for commitPlaced():
    // a date line of an installed path (true), or a finished line.
    bool m_holdLog = false;
    QList<std::pair<bool, QByteArray>> m_held;
    QStringList m_placed;
    QByteArray m_firstFailure; // the first red line, for the closing box
};

// Enables the dialog's push button "ReBak" with the tool tip "BakT" when a backup is present,
// else disables it with "NoBak"; a dialog without that button is left alone.
void refreshBackupButton(QWidget *dialog);
