#pragma once

#include <QString>

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

} // namespace FileReplacement
