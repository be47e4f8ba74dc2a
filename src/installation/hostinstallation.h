#pragma once

#include "support/stringlist.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The host application's installation is the current directory. These helpers find the folder of
// its ephemeris files, name asteroid files in it, tell whether a previous version was backed up,
// and pick 'name=value' lines by name.
namespace HostInstallation {

// The folder that holds "PLP018.E1": the significant lines of "DIRSWE.CTL" as they stand, then the
// current directory, then the drive roots (C: to Z: where the platform has drive letters). The
// first hit is kept process-wide, ending with a separator; none shows the "NoDirEph" warning and
// leaves the directory empty.
bool findEphemerisDirectory();
bool findEphemerisDirectory(const QList<QByteArray> &driveRoots);
[[nodiscard]] QByteArray ephemerisDirectory();
[[nodiscard]] bool ephemerisDirectoryFound();
// Forgets the directory (tests).
void resetEphemerisDirectory();
// "C:\" to "Z:\" on Windows; nothing elsewhere.
[[nodiscard]] QList<QByteArray> driveRoots();

// "<directory>\NNNN\SE%05dS.SE1" with the folder number (n / 500) * 5 and the platform's
// separator; the directory already ends with one, so two stand together.
[[nodiscard]] QByteArray asteroidFilePath(int number);
[[nodiscard]] QByteArray asteroidFilePath(QByteArrayView directory, int number);

// A file or directory "predver.rar" or "BK00" in the current directory.
[[nodiscard]] bool backupPresent();

// The lines whose name (before '=') matches one of the ','-separated patterns: "Orb-*" every name
// beginning with "Orb-" (the first 19 characters of a pattern count), any pattern a name equal to
// it. Lines stay whole and in order.
[[nodiscard]] StringList selectLines(QByteArrayView patterns, const StringList &lines);

} // namespace HostInstallation
