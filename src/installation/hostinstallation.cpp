#include "installation/hostinstallation.h"

#include "shell/diagnostics.h"
#include "support/codepage.h"
#include "support/strings.h"
#include "support/textfile.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace {

QByteArray g_ephemerisDirectory;
bool g_found = false;

const char separator = QDir::separator().toLatin1();

bool exists(const QByteArray &path)
{
    return QFileInfo::exists(CodePage::toUnicode(path));
}

} // namespace

QList<QByteArray> HostInstallation::driveRoots()
{
    QList<QByteArray> roots;
#ifdef Q_OS_WIN
    // A: and B: are floppy drives, never searched.
    for (char drive = 'C'; drive <= 'Z'; ++drive)
        roots << QByteArray(1, drive) + ":\\";
#endif
    return roots;
}

bool HostInstallation::findEphemerisDirectory()
{
    return findEphemerisDirectory(driveRoots());
}

bool HostInstallation::findEphemerisDirectory(const QList<QByteArray> &roots)
{
    QList<QByteArray> candidates;
    // A missing list is no fault: the other places are searched all the same.
    const FileResult<StringList> listed = TextFile::readLines(
        QStringLiteral("DIRSWE.CTL"), TextFile::SkipBlankLines | TextFile::SkipComments);
    if (listed)
        candidates << listed->items();
    candidates << QByteArray(".") + separator;
    candidates << roots;

    for (const QByteArray &candidate : std::as_const(candidates)) {
        if (exists(candidate + "PLP018.E1")) {
            g_ephemerisDirectory = candidate;
            g_found = true;
            return true;
        }
    }
    Diagnostics::warning("NoDirEph");
    return false;
}

QByteArray HostInstallation::ephemerisDirectory()
{
    return g_ephemerisDirectory;
}

bool HostInstallation::ephemerisDirectoryFound()
{
    return g_found;
}

void HostInstallation::resetEphemerisDirectory()
{
    g_ephemerisDirectory.clear();
    g_found = false;
}

QByteArray HostInstallation::asteroidFilePath(int number)
{
    return asteroidFilePath(g_ephemerisDirectory, number);
}

QByteArray HostInstallation::asteroidFilePath(QByteArrayView directory, int number)
{
    char name[40];
    std::snprintf(name, sizeof name, "%04d%cSE%05dS.SE1", (number / 500) * 5, separator, number);
    return directory.toByteArray() + separator + name;
}

bool HostInstallation::backupPresent()
{
    return QFileInfo::exists(QStringLiteral("predver.rar")) || QFileInfo::exists(QStringLiteral("BK00"));
}

StringList HostInstallation::selectLines(QByteArrayView patterns, const StringList &lines)
{
    const StringList patternList = StringList::split(patterns, ',');
    StringList selected;
    for (const QByteArray &line : lines) {
        // The name is taken from a copy without trailing blanks; leading blanks stay part of it,
        // so "  Orb-1=5" is no "Orb-*" line.
        QByteArray name = Strings::trimmedRight(line);
        Strings::splitNameValue(name);
        for (const QByteArray &pattern : patternList) {
            const QByteArray counted = pattern.left(19);
            const qsizetype star = counted.indexOf('*');
            if (name == pattern || (star >= 0 && name.startsWith(counted.left(star)))) {
                selected.append(line);
                break;
            }
        }
    }
    return selected;
}
