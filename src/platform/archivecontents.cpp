#include "platform/archivecontents.h"

#include <QFile>
#include <QSet>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

QStringList ArchiveContents::filePaths(const QString &archive, QString *error)
{
    const std::unique_ptr<struct archive, decltype(&archive_read_free)> reader(
        archive_read_new(), &archive_read_free);
    archive_read_support_filter_all(reader.get());
    archive_read_support_format_all(reader.get());
    QStringList paths;
    QSet<QString> seen;
    int status = archive_read_open_filename(reader.get(), QFile::encodeName(archive).constData(), 64 * 1024);
    while (status == ARCHIVE_OK) {
        archive_entry *entry = nullptr;
        status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_WARN)
            status = ARCHIVE_OK;
        if (status != ARCHIVE_OK)
            break;
        if (archive_entry_filetype(entry) != AE_IFREG)
            continue;
        const char *utf8 = archive_entry_pathname_utf8(entry);
        const char *raw = archive_entry_pathname(entry);
        const QString path = utf8 ? QString::fromUtf8(utf8) : raw ? QFile::decodeName(raw) : QString();
        if (!path.isEmpty() && !seen.contains(path)) {
            seen.insert(path);
            paths << path;
        }
    }
    if (error)
        *error = status == ARCHIVE_EOF ? QString()
                                       : archive + QStringLiteral(": ")
                + QString::fromLocal8Bit(archive_error_string(reader.get())
                        ? archive_error_string(reader.get())
                        : "cannot be read");
    return paths;
}
