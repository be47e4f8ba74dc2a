#pragma once

#include <QString>
#include <QStringList>

// Moves a file over another in one step, so that the destination holds the old file or the new
// one at every moment and never goes missing: rename() over it, MoveFileExW with
// MOVEFILE_REPLACE_EXISTING on Windows. Source and destination lie on the same volume; a move
// across volumes fails instead of copying.
namespace FileReplacement {

struct Result
{
    bool ok = false;
    QString errorText; // the system's reason when it failed
};

[[nodiscard]] Result replace(const QString &source, const QString &destination);

// Keeps file under a second name, parked, so that another file can then be moved over it:
// elsewhere than on Windows a hard link, so that file's name never goes missing, not even for a
// moment (a rename where the file system has no links); on Windows a rename, the only way to free
// the name of a running program.
[[nodiscard]] Result park(const QString &file, const QString &parked);

// Forces files to the disk together with the directories that hold them, so that a power cut
// afterwards loses neither their contents nor the names they were moved to: on Linux one syncfs()
// of each file system they lie on, elsewhere an fsync() of each file and each of their
// directories; on Windows each file is flushed (FlushFileBuffers; NTFS journals the names, and
// every move above writes through). errorText names the first path that failed.
[[nodiscard]] Result sync(const QStringList &paths);

} // namespace FileReplacement
