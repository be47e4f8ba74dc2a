#include "common/testlinks.h"

#include <QDir>
#include <QFileInfo>

#include <filesystem>

bool TestLinks::make(const QString &target, const QString &link)
{
    namespace fs = std::filesystem;
    const fs::path targetPath(target.toStdU16String());
    const fs::path linkPath(link.toStdU16String());
    std::error_code failed;
    // Windows makes a link to a folder in a call of its own.
    if (QFileInfo(QFileInfo(link).dir(), target).isDir())
        fs::create_directory_symlink(targetPath, linkPath, failed);
    else
        fs::create_symlink(targetPath, linkPath, failed);
    return !failed && QFileInfo(link).isSymbolicLink();
}
