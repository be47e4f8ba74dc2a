#pragma once

#include <QByteArrayView>
#include <QString>

// Taking over the data files and "kora.ini" keys of another installation of the host program
// into the current one (the process's current directory). The other installation's directory is
// the saved value "Dir1002"; the kinds of data are the option numbers 2, 3, 8, 9, 10 and 11.
namespace TakeOver {

// The work behind the reconfiguration dialog's "Ok". The chosen keys of the other "kora.ini"
// are appended after the local lines (lines with the same key stay; the copy comes after them),
// the chosen files are copied into ".", and the local "kora.ini" is rewritten whole. Returns true
// when the local "kora.ini" was written (and the "is" box was shown); a missing other or local
// ini stops before anything is copied, an unwritable local ini after the files were copied.
bool takeOverInstallation();

// Copies sourceDir/name onto destinationDir/name. A missing source, or a source that is the
// destination itself, leaves the destination as it is; the copy goes through a temporary file
// renamed into place, so a failed copy never costs the old file. False when nothing was copied.
bool copyInstallationFile(const QString &sourceDir, const QString &destinationDir, const QString &name);

// Whole-key comparison; a pattern ending in '*' matches every key that begins with the text
// before it.
[[nodiscard]] bool keyMatches(QByteArrayView key, QByteArrayView pattern);

} // namespace TakeOver
