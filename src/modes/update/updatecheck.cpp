#include "modes/update/updatecheck.h"

#include "support/codepage.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <optional>

namespace {

const QString updateDirectoryName = QStringLiteral("UP00");

QStringList entries(const QDir &dir, QDir::Filters filters)
{
    return dir.entryList(QStringList{QStringLiteral("*")}, filters | QDir::NoDotAndDotDot, QDir::Unsorted);
}

// Milliseconds since the epoch of the file's last modification; nothing when there is no file.
std::optional<qint64> modificationTime(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    return info.lastModified().toMSecsSinceEpoch();
}

bool removeFile(const QString &path, QString *reason)
{
    QFile file(path);
    if (file.remove())
        return true;
    if (reason && reason->isEmpty())
        *reason = path + QStringLiteral(": ") + file.errorString();
    return false;
}

} // namespace

QByteArray UpdateCheck::archiveName(QByteArrayView updateFile)
{
    if (updateFile.contains("rar"))
        return updateFile.first(qMin(updateFile.size(), nameCapacity)).toByteArray();
    return ("ko" + updateFile.toByteArray() + ".rar").left(nameCapacity);
}

QString UpdateCheck::directory()
{
    return updateDirectoryName;
}

QString UpdateCheck::pathInside(QByteArrayView name)
{
    return QDir::toNativeSeparators(updateDirectoryName + u'/' + CodePage::toUnicode(name));
}

bool UpdateCheck::emptyDirectory(QString *reason)
{
    if (reason)
        reason->clear();
    const QDir dir(updateDirectoryName);
    if (!QDir().mkpath(updateDirectoryName) || !QFileInfo(updateDirectoryName).isDir()) {
        if (reason)
            *reason = updateDirectoryName + QStringLiteral(": cannot make the directory");
        return false;
    }
    bool emptied = true;
    const QDir::Filters everything = QDir::AllEntries | QDir::Hidden | QDir::System;
    for (const QString &name : entries(dir, everything)) {
        const QString path = dir.filePath(name);
        const QFileInfo info(path);
        // A link is removed as a link: what it leads to may lie outside.
        if (info.isDir() && !info.isSymLink()) {
            const QDir subdirectory(path);
            for (const QString &inner : entries(subdirectory, QDir::Files | QDir::Hidden | QDir::System))
                emptied = removeFile(subdirectory.filePath(inner), reason) && emptied;
            continue;
        }
        emptied = removeFile(path, reason) && emptied;
    }
    return emptied;
}

QList<QByteArray> UpdateCheck::candidates(QByteArrayView archiveName)
{
    const QDir dir(updateDirectoryName);
    QList<QByteArray> found;
    const QStringList files = entries(dir, QDir::Files);
    found.reserve(files.size());
    for (const QString &name : files)
        found.append(CodePage::fromUnicode(name));

    // The archive is compared under its lower-case name, so one named in capitals stays.
    for (const QByteArray &control : {archiveName.toByteArray().toLower(), QByteArray("list.ctl"),
             QByteArray("lk.ctl"), QByteArray("readme")}) {
        const qsizetype at = found.indexOf(control);
        if (at >= 0)
            found.removeAt(at);
    }

    // Links to directories are not followed: their files would come from outside "UP00".
    for (const QString &sub : entries(dir, QDir::Dirs | QDir::NoSymLinks)) {
        const QByteArray prefix = CodePage::fromUnicode(sub) + '/';
        for (const QString &name : entries(QDir(dir.filePath(sub)), QDir::Files))
            found.append(prefix + CodePage::fromUnicode(name));
    }
    return found;
}

UpdateCheck::Selection UpdateCheck::select(const QList<QByteArray> &candidates)
{
    Selection selection;
    for (const QByteArray &candidate : candidates) {
        if (candidate.startsWith('#')) {
            selection.notes.append(candidate);
            continue;
        }
        const std::optional<qint64> unpacked = modificationTime(pathInside(candidate));
        if (!unpacked)
            continue;
        const std::optional<qint64> installed = modificationTime(CodePage::toUnicode(candidate));
        // Whole seconds, truncated like QDateTime::secsTo().
        if (installed && (*unpacked - *installed) / 1000 <= toleranceSeconds)
            continue;
        selection.selected.append(candidate);
        if (candidate.startsWith("towns."))
            selection.groupFlags |= Towns;
        else if (candidate.startsWith("stars."))
            selection.groupFlags |= Stars;
    }
    return selection;
}

void UpdateCheck::completeGroups(Selection &selection, const QList<QByteArray> &candidates)
{
    QSet<QByteArray> present(selection.selected.cbegin(), selection.selected.cend());
    for (const auto &[flag, prefix] : {std::pair{Towns, "towns."}, std::pair{Stars, "stars."}}) {
        if (!(selection.groupFlags & flag))
            continue;
        for (const QByteArray &candidate : candidates) {
            if (candidate.startsWith(prefix) && !present.contains(candidate)) {
                selection.selected.append(candidate);
                present.insert(candidate);
            }
        }
    }
    selection.groupFlags = 0;
}
