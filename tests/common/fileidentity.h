#pragma once

#include <QString>
#include <QtGlobal>

// Which file a path names: the same value after the file was rewritten in place, another once a
// new file was renamed over it (the inode here, the file index on Windows); 0 when there is none.
namespace FileIdentity {

[[nodiscard]] quint64 of(const QString &path);

} // namespace FileIdentity
