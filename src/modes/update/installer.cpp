#include "modes/update/installer.h"

#include "installation/hostinstallation.h"
#include "modes/update/updatecheck.h"
#include "modes/update/updatelog.h"
#include "modes/update/updateview.h"
#include "platform/archivecontents.h"
#include "platform/archiver.h"
#include "platform/filereplacement.h"
#include "platform/ownfiles.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "support/codepage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryFile>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

const QString backupArchive = u"predver.rar"_s;

QByteArray catalogText(QByteArrayView key)
{
    return Catalog::text(key).value_or(QByteArray());
}

// A dangling symbolic link is there too: a move replaces it like a file.
bool isThere(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// In a test build, TAV_TEST_MOVE_DELAY_MS stretches each move so that a test can kill an
// installation in the middle of its moves.
void testPause()
{
#ifdef TAV_TEST_HOOKS
    static const int delay = qEnvironmentVariableIntValue("TAV_TEST_MOVE_DELAY_MS");
    if (delay > 0)
        QThread::msleep(ulong(delay));
#endif
}

} // namespace

Installer::Installer(UpdateView &view, UpdateLog &log, QByteArray hostProgram)
    : m_view(view)
    , m_log(log)
    , m_hostProgram(std::move(hostProgram))
{ }

Installer::Result Installer::installFiles(const QList<QByteArray> &selected)
{
    const QString directory = UpdateCheck::directory() + QDir::separator();
    QStringList replaced;
    for (const QByteArray &entry : selected) {
        const QString to = CodePage::toUnicode(entry);
        if (needsBackup(directory + to, to, entry))
            replaced << to;
    }
    Result result;
    // Nothing is replaced before the backup of everything that will be is on the disk.
    const Archiver::Result backup = replaced.isEmpty() ? Archiver::Result() : backUp(replaced);
    if (replaced.isEmpty() || backup.succeeded()) {
        m_holdLog = true;
        for (const QByteArray &entry : selected) {
            const QString to = CodePage::toUnicode(entry);
            if (place(directory + to, to, entry))
                ++result.installed;
            else
                ++result.failed;
        }
        commitPlaced();
    } else {
        notInstalled("BakErr", backupArchive.toLatin1(), backup.errorText);
        result.failed = int(selected.size());
    }
    m_log.writeNumberLine(catalogText("Per%d"), result.installed);
    if (result.failed > 0)
        m_log.writeNumberLine(catalogText("NePer%d"), result.failed);
    if (result.failed > 0)
        Diagnostics::warning("NePer", m_firstFailure);
    else
        Diagnostics::warning("IsNew");
    m_log.writeDateLine("+", OwnFiles::executableName());
    m_log.writeDateLine("+", m_hostProgram);
    return result;
}

bool Installer::installFile(QByteArrayView source, QByteArrayView destination)
{
    const QString from = CodePage::toUnicode(source);
    const QString to = CodePage::toUnicode(destination);
    if (needsBackup(from, to, destination)) {
        const Archiver::Result backup = backUp({to});
        if (!backup.succeeded())
            return notInstalled("BakErr", destination, backup.errorText);
    }
    m_holdLog = true;
    const bool done = place(from, to, destination);
    commitPlaced();
    return done;
}

void Installer::commitPlaced()
{
    m_holdLog = false;
    // The parked executable's directory is among those of the files.
    const FileReplacement::Result synced = FileReplacement::sync(m_placed);
    if (!synced.ok) {
        const QByteArray line = "Error: " + CodePage::fromUnicode(synced.errorText);
        m_view.logLine(line, Qt::red);
        m_log.write("%s", line.constData());
    }
    const QByteArray pere = catalogText("Pere");
    for (const auto &[dateLine, text] : std::as_const(m_held)) {
        if (dateLine)
            m_log.writeDateLine(pere, text);
        else
            m_log.write("%s", text.constData());
    }
    m_held.clear();
    m_placed.clear();
}

bool Installer::needsBackup(const QString &source, const QString &destination, QByteArrayView name)
{
    const QFileInfo target(destination);
    return !OwnFiles::isNeverBackedUp(name) && isThere(source) && isThere(destination)
        && !(target.isDir() && !target.isSymLink());
}

Archiver::Result Installer::backUp(const QStringList &paths)
{
    // Outside the installation, so that a kill leaves nothing there; removed with the object.
    QTemporaryFile list(QDir::temp().filePath(u"tav-backup-XXXXXX.lst"_s));
    QStringList unlisted;
    const QByteArray text = Archiver::listFileText(paths, &unlisted);
    if (!list.open() || list.write(text) != text.size() || !list.flush()) {
        Archiver::Result failed;
        failed.errorText = list.fileName() + u": "_s + list.errorString();
        return failed;
    }
    list.close();
    const QString listArgument = u'@' + QDir::toNativeSeparators(list.fileName());
    return runArchiver(
        QStringList{u"a"_s, u"-r"_s, u"-idcpdq"_s, u"-y"_s, u"predver"_s, listArgument} + unlisted);
}

bool Installer::place(const QString &from, const QString &to, QByteArrayView destination)
{
    testPause();
    // Checked before anything is parked: it would fail the move afterwards.
    if (!isThere(from))
        return notInstalled("MovErr", destination, u"the new file is missing"_s);
    const QFileInfo target(to);
    if (target.isDir() && !target.isSymLink())
        return notInstalled("MovErr", destination, u"a directory of that name is in the way"_s);
    if (isThere(to)
        && destination.toByteArray().compare(OwnFiles::executableName(), Qt::CaseInsensitive) == 0)
        return replaceExecutable(from, to, destination);
    const FileReplacement::Result moved = FileReplacement::replace(from, to);
    if (!moved.ok)
        return notInstalled("MovErr", destination, moved.errorText);
    return installed(destination);
}

bool Installer::replaceExecutable(const QString &source, const QString &destination, QByteArrayView name)
{
    const QString parked = CodePage::toUnicode(OwnFiles::parkedExecutableName());
    QFile previous(parked);
    if (isThere(parked) && !previous.remove())
        return notInstalled("OldErr", name, parked + u": "_s + previous.errorString());
    // Parked as a second name where the system allows it: the program's name never goes missing.
    const FileReplacement::Result parking = FileReplacement::park(destination, parked);
    if (!parking.ok)
        return notInstalled("OldErr", name, parking.errorText);
    const FileReplacement::Result moved = FileReplacement::replace(source, destination);
    if (moved.ok)
        return installed(name);
    // Parked as a link, the program never left its name: the second name goes again.
    FileReplacement::Result back{true, {}};
    if (isThere(destination))
        previous.remove();
    else
        back = FileReplacement::replace(parked, destination);
    QString reason = moved.errorText;
    if (!back.ok)
        reason += u"; the running program stays parked as %1: %2"_s.arg(parked, back.errorText);
    return notInstalled("MovErr", name, reason);
}

Archiver::Result Installer::runArchiver(const QStringList &arguments)
{
    m_view.setBusy(true);
    Archiver::Result result = Archiver::run(arguments);
    m_view.setBusy(false);
    return result;
}

bool Installer::installed(QByteArrayView destination)
{
    const QByteArray pere = catalogText("Pere");
    m_view.logLine(pere + ' ' + destination.toByteArray(), Qt::black);
    m_placed << CodePage::toUnicode(destination);
    if (m_holdLog)
        m_held.append({true, destination.toByteArray()});
    else
        m_log.writeDateLine(pere, destination);
    return true;
}

bool Installer::notInstalled(QByteArrayView key, QByteArrayView destination, const QString &reason)
{
    const QByteArray line
        = catalogText(key) + ' ' + destination.toByteArray() + " - " + CodePage::fromUnicode(reason);
    m_view.logLine(line, Qt::red);
    if (m_firstFailure.isEmpty())
        m_firstFailure = line;
    if (m_holdLog)
        m_held.append({false, line});
    else
        m_log.write("%s", line.constData());
    return false;
}

void Installer::restoreBackup()
{
    if (!HostInstallation::backupPresent()) {
        Diagnostics::warning("NoBak");
        m_log.write("#%s", catalogText("NoBak").constData());
        return;
    }
    Archiver::Result restore;
    if (QFileInfo(backupArchive).isFile())
        restore = runArchiver({u"x"_s, u"-idcpdq"_s, u"-y"_s, backupArchive});
    else
        restore.errorText = backupArchive + u" is missing"_s;
    bool restored = restore.succeeded();
    QString failure = restore.errorText;
    // What was restored reaches the disk before the backup that holds it goes.
    if (restored) {
        const FileReplacement::Result synced
            = FileReplacement::sync(ArchiveContents::filePaths(backupArchive, &failure));
        if (!synced.ok)
            failure = synced.errorText;
        restored = failure.isEmpty();
    }

    const QByteArray stamp = UpdateLog::currentTimeStamp();
    if (restored) {
        QFile archive(backupArchive);
        if (!archive.remove())
            Diagnostics::log("Cannot delete %s: %s", "predver.rar",
                CodePage::fromUnicode(archive.errorString()).constData());
        refreshBackupButton(m_view.window());
        Diagnostics::warning("ReBakIs");
        if (QWidget *window = m_view.window()) {
            if (auto *newButton = window->findChild<QPushButton *>(u"New"_s))
                newButton->setVisible(true);
        }
        m_log.write("#%s %s", stamp.constData(), catalogText("ReBakIs").constData());
    } else {
        // Some entries may have been restored: the archive stays for another try.
        const QByteArray line = catalogText("ReBakErr") + " - " + CodePage::fromUnicode(failure);
        m_view.logLine(line, Qt::red);
        Diagnostics::warning("ReBakErr", CodePage::fromUnicode(failure));
        m_log.write("#%s %s", stamp.constData(), line.constData());
    }
    m_log.writeDateLine("<-", OwnFiles::executableName());
    m_log.writeDateLine("<-", m_hostProgram);
}

void refreshBackupButton(QWidget *dialog)
{
    if (!dialog)
        return;
    auto *button = dialog->findChild<QPushButton *>(u"ReBak"_s);
    if (!button)
        return;
    const bool present = HostInstallation::backupPresent();
    button->setEnabled(present);
    button->setToolTip(Catalog::displayText(present ? "BakT" : "NoBak"));
}
