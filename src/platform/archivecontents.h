#pragma once

#include <QString>
#include <QStringList>

// What an archive holds, read with libarchive without extracting anything: any format the
// updater's archiver writes or reads (the backup "predver.rar", an update).
namespace ArchiveContents {

// The relative paths of the regular files stored, in archive order; a path stored twice is listed
// once. A damaged archive gives the paths read up to the damage; error (when given) then says why.
[[nodiscard]] QStringList filePaths(const QString &archive, QString *error = nullptr);

} // namespace ArchiveContents
