#include "platform/drives/removabledrives.h"

#include "support/codepage.h"

#include <QDir>
#include <QFileInfo>
#include <string>

#include <windows.h>

// A drive letter root ("E:/") is short; the program has always kept at most nine characters of it.
QStringList RemovableDrives::systemDrives()
{
    QStringList drives;
    const QFileInfoList roots = QDir::drives();
    for (const QFileInfo &root : roots) {
        const QByteArray kept = CodePage::fromUnicode(root.filePath()).left(9);
        const QString path = CodePage::toUnicode(kept);
        // The list keeps "E:/"; GetDriveTypeW wants the root with a trailing backslash.
        const std::wstring wide = QDir::toNativeSeparators(path).toStdWString();
        if (GetDriveTypeW(wide.c_str()) == DRIVE_REMOVABLE)
            drives.append(path);
    }
    return drives;
}
