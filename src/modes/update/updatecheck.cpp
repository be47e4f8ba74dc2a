#include "modes/update/updatecheck.h"

#include "support/codepage.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <type_traits>

namespace {

const QString updateDirectoryName = QStringLiteral("UP00");

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

bool fitsCodePage(const QString &name)
{
    return CodePage::toUnicode(CodePage::fromUnicode(name)) == name;
}

// A name for the log: what code page 1251 holds as it is, every other byte as \xNN.
QByteArray escapedBytes(const std::string &bytes)
{
    QByteArray shown;
    for (std::size_t at = 0; at < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        const std::size_t length = lead < 0x80 ? 1
            : lead >= 0xF0                     ? 4
            : lead >= 0xE0                     ? 3
            : lead >= 0xC0                     ? 2
                                               : 1;
        const QByteArrayView sequence = QByteArrayView(bytes).sliced(at, std::min(length, bytes.size() - at));
        const QString character = QString::fromUtf8(sequence);
        if (lead >= 0x20 && lead != 0x7F && sequence.isValidUtf8() && fitsCodePage(character)) {
            shown += CodePage::fromUnicode(character);
            at += std::size_t(sequence.size());
            continue;
        }
        shown += "\\x" + QByteArray::number(lead, 16).rightJustified(2, '0');
        ++at;
    }
    return shown;
}

// Names on disk are bytes (UTF-8 by convention) here, UTF-16 on Windows.
template <typename Native> QString nativeToUnicode(const Native &native)
{
    if constexpr (std::is_same_v<Native, std::string>)
        return QString::fromStdString(native);
    else
        return QString::fromStdWString(native);
}

// A name as the program can handle it: UTF-8 on disk (where names are bytes) and every character
// in code page 1251, the program's 8-bit text. Archives written elsewhere, or left by an archiver
// that kept their code page, bring other names; those give nothing.
template <typename Native> std::optional<QString> usableName(const Native &native)
{
    if constexpr (std::is_same_v<Native, std::string>) {
        if (!QByteArrayView(native).isValidUtf8())
            return std::nullopt;
    }
    QString name = nativeToUnicode(native);
    return fitsCodePage(name) ? std::optional(name) : std::nullopt;
}

template <typename Native> QByteArray escapedName(const Native &native)
{
    if constexpr (std::is_same_v<Native, std::string>)
        return escapedBytes(native);
    else
        return escapedBytes(nativeToUnicode(native).toStdString());
}

QString shownPath(const std::filesystem::path &path)
{
    return CodePage::toUnicode(escapedName(path.native()));
}

enum class Kind { Files, Directories };

// The names in a directory, in listing order, as a plain listing shows them: files (links to files
// too), or directories (links to them left out); hidden ones are not listed. Without the costs of
// QDir's entries, which would take longer than the rest of the check. A name the program cannot
// handle goes, escaped, into unusable.
QStringList listNames(const QString &directory, Kind kind, QList<QByteArray> &unusable)
{
    QStringList names;
    std::error_code error;
    auto it = std::filesystem::directory_iterator(fileSystemPath(directory), error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::filesystem::path fileName = it->path().filename();
        const auto &native = fileName.native();
        if (native.empty() || native.front() == '.')
            continue;
        std::error_code typeError;
        const bool wanted = kind == Kind::Files ? it->is_regular_file(typeError)
                                                : it->is_directory(typeError) && !it->is_symlink(typeError);
        if (!wanted || typeError)
            continue;
        if (std::optional<QString> name = usableName(native))
            names.append(*name);
        else
            unusable.append(escapedName(native) + (kind == Kind::Directories ? "/" : ""));
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

// Removes one name, by the bytes it has on disk: a name in another code page is removed too.
bool removeEntry(const std::filesystem::path &path, QString *reason)
{
    std::error_code error;
    std::filesystem::remove(path, error);
    if (!error)
        return true;
    if (reason && reason->isEmpty())
        *reason = shownPath(path) + QStringLiteral(": ") + QString::fromStdString(error.message());
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
    if (!QDir().mkpath(updateDirectoryName) || !QFileInfo(updateDirectoryName).isDir()) {
        if (reason)
            *reason = updateDirectoryName + QStringLiteral(": cannot make the directory");
        return false;
    }
    // Listed and removed by the names' bytes, not through QString: a name that is not UTF-8 would
    // not survive the way there and back, and would stop every update after the one that left it.
    namespace fs = std::filesystem;
    bool emptied = true;
    std::error_code error;
    auto it = fs::directory_iterator(fileSystemPath(updateDirectoryName), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code typeError;
        // A link is removed as a link: what it leads to may lie outside.
        if (!it->is_directory(typeError) || it->is_symlink(typeError)) {
            const std::optional<QString> name = usableName(it->path().filename().native());
            const bool kept = name && keep.contains(*name) && it->is_regular_file(typeError)
                && !it->is_symlink(typeError);
            if (!kept)
                emptied = removeEntry(it->path(), reason) && emptied;
            continue;
        }
        std::error_code innerError;
        auto inner = fs::directory_iterator(it->path(), innerError);
        for (; !innerError && inner != fs::directory_iterator(); inner.increment(innerError)) {
            std::error_code innerType;
            if (!inner->is_directory(innerType))
                emptied = removeEntry(inner->path(), reason) && emptied;
        }
        if (innerError) {
            emptied = false;
            if (reason && reason->isEmpty())
                *reason = shownPath(it->path()) + QStringLiteral(": ")
                    + QString::fromStdString(innerError.message());
        }
    }
    if (error) {
        if (reason && reason->isEmpty())
            *reason = updateDirectoryName + QStringLiteral(": ") + QString::fromStdString(error.message());
        return false;
    }
    return emptied;
}

QList<QByteArray> UpdateCheck::candidates(QByteArrayView archiveName, QList<QByteArray> *unusable)
{
    QList<QByteArray> skipped;
    QList<QByteArray> found;
    const QStringList files = listNames(updateDirectoryName, Kind::Files, skipped);
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
    for (const QString &sub : listNames(updateDirectoryName, Kind::Directories, skipped)) {
        const QByteArray prefix = toText(sub) + '/';
        QList<QByteArray> inner;
        for (const QString &name : listNames(updateDirectoryName + u'/' + sub, Kind::Files, inner))
            found.append(prefix + toText(name));
        for (const QByteArray &name : std::as_const(inner))
            skipped.append(prefix + name);
    }
    if (unusable)
        *unusable = std::move(skipped);
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
