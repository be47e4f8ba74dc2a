#include "modes/update/updatecheck.h"

#include "support/codepage.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <chrono>
#include <filesystem>
#include <optional>

namespace {

const QString updateDirectoryName = QStringLiteral("UP00");

QStringList entries(const QDir &dir, QDir::Filters filters)
{
    return dir.entryList(QStringList{QStringLiteral("*")}, filters | QDir::NoDotAndDotDot, QDir::Unsorted);
}

// Names are almost always ASCII, which needs no code page.
QString fromText(QByteArrayView text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return CodePage::toUnicode(text);
    }
    return QString::fromLatin1(text);
}

QByteArray toText(const QString &name)
{
    for (const QChar c : name) {
        if (c.unicode() >= 0x80)
            return CodePage::fromUnicode(name);
    }
    return name.toLatin1();
}

std::filesystem::path fileSystemPath(const QString &path)
{
    return std::filesystem::path(path.toStdU16String());
}

enum class Kind { Files, Directories };

// The names in a directory, in listing order, as a plain listing shows them: files (links to files
// too), or directories (links to them left out); hidden ones are not listed. Without the costs of
// QDir's entries, which would take longer than the rest of the check.
QStringList listNames(const QString &directory, Kind kind)
{
    QStringList names;
    std::error_code error;
    auto it = std::filesystem::directory_iterator(fileSystemPath(directory), error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::u16string name = it->path().filename().u16string();
        if (name.empty() || name.front() == u'.')
            continue;
        std::error_code typeError;
        const bool wanted = kind == Kind::Files ? it->is_regular_file(typeError)
                                                : it->is_directory(typeError) && !it->is_symlink(typeError);
        if (wanted && !typeError)
            names.append(QString::fromStdU16String(name));
    }
    return names;
}

// The file's last modification; nothing when there is no file. One stat, and no conversion to
// local time, which costs more than the stat itself.
std::optional<std::filesystem::file_time_type> modificationTime(const QString &path)
{
    std::error_code error;
    const auto time = std::filesystem::last_write_time(fileSystemPath(path), error);
    if (error)
        return std::nullopt;
    return time;
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

bool UpdateCheck::isPlainFileName(QByteArrayView name)
{
    return !name.contains('/') && !name.contains('\\') && !name.contains(':') && !name.contains("..");
}

QString UpdateCheck::directory()
{
    return updateDirectoryName;
}

QString UpdateCheck::pathInside(QByteArrayView name)
{
    return QDir::toNativeSeparators(updateDirectoryName + u'/' + fromText(name));
}

bool UpdateCheck::emptyDirectory(QString *reason, const QStringList &keep)
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
        if (!keep.contains(name) || !info.isFile())
            emptied = removeFile(path, reason) && emptied;
    }
    return emptied;
}

QList<QByteArray> UpdateCheck::candidates(QByteArrayView archiveName)
{
    QList<QByteArray> found;
    const QStringList files = listNames(updateDirectoryName, Kind::Files);
    found.reserve(files.size());
    for (const QString &name : files)
        found.append(toText(name));

    // The archive is compared under its lower-case name, so one named in capitals stays.
    for (const QByteArray &control : {archiveName.toByteArray().toLower(), QByteArray("list.ctl"),
             QByteArray("lk.ctl"), QByteArray("readme")}) {
        const qsizetype at = found.indexOf(control);
        if (at >= 0)
            found.removeAt(at);
    }

    // Links to directories are not followed: their files would come from outside "UP00".
    for (const QString &sub : listNames(updateDirectoryName, Kind::Directories)) {
        const QByteArray prefix = toText(sub) + '/';
        for (const QString &name : listNames(updateDirectoryName + u'/' + sub, Kind::Files))
            found.append(prefix + toText(name));
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
        const auto unpacked = modificationTime(pathInside(candidate));
        if (!unpacked)
            continue;
        // Whole seconds, truncated like QDateTime::secsTo().
        const auto installed = modificationTime(fromText(candidate));
        if (installed
            && std::chrono::duration_cast<std::chrono::seconds>(*unpacked - *installed).count()
                <= toleranceSeconds)
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
