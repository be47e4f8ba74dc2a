#include "common/hostpython.h"

#include <QDir>

#include <windows.h>

// Wine's kernel32 translates between its drives and the host's file system; Windows has neither
// the functions nor a host with python3.
namespace {

using UnixFileName = char *(CDECL *)(const WCHAR *);
using DosFileName = WCHAR *(CDECL *)(const char *);

template <typename Function> Function wineFunction(const char *name)
{
    return reinterpret_cast<Function>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

} // namespace

QString HostPython::program(QString *whyNone)
{
    const auto dosFileName = wineFunction<DosFileName>("wine_get_dos_file_name");
    if (!dosFileName) {
        if (whyNone)
            *whyNone = QStringLiteral("the test servers run with the host's python3 under Wine; "
                                      "this Windows is not Wine");
        return {};
    }
    WCHAR *name = dosFileName("/usr/bin/python3");
    if (!name) {
        if (whyNone)
            *whyNone = QStringLiteral("Wine has no drive for the host's /usr/bin/python3");
        return {};
    }
    const QString program = QDir::fromNativeSeparators(QString::fromWCharArray(name));
    HeapFree(GetProcessHeap(), 0, name);
    return program;
}

QString HostPython::path(const QString &path)
{
    const auto unixFileName = wineFunction<UnixFileName>("wine_get_unix_file_name");
    if (!unixFileName)
        return path;
    const QString native = QDir::toNativeSeparators(QDir::cleanPath(QDir().absoluteFilePath(path)));
    char *name = unixFileName(reinterpret_cast<const WCHAR *>(native.utf16()));
    if (!name)
        return path;
    const QString unixPath = QString::fromUtf8(name);
    HeapFree(GetProcessHeap(), 0, name);
    return unixPath;
}
