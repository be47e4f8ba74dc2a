#include "platform/filereplacement.h"

#include <QDir>

#include <windows.h>

namespace {

QString systemMessage(DWORD code)
{
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    const QString text = QString::fromWCharArray(buffer, int(length)).trimmed();
    LocalFree(buffer);
    return text;
}

} // namespace

FileReplacement::Result FileReplacement::replace(const QString &source, const QString &destination)
{
    const std::wstring from = QDir::toNativeSeparators(source).toStdWString();
    const std::wstring to = QDir::toNativeSeparators(destination).toStdWString();
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return {true, {}};
    return {false, systemMessage(GetLastError())};
}

FileReplacement::Result FileReplacement::park(const QString &file, const QString &parked)
{
    return replace(file, parked);
}

FileReplacement::Result FileReplacement::sync(const QStringList &paths)
{
    Result result{true, {}};
    for (const QString &path : paths) {
        const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
        // Flushing needs write access; others may go on using the file meanwhile.
        HANDLE file
            = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        const bool flushed = file != INVALID_HANDLE_VALUE && FlushFileBuffers(file);
        const DWORD error = flushed ? 0 : GetLastError();
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        if (!flushed && result.ok)
            result = {false, path + QStringLiteral(": ") + systemMessage(error)};
    }
    return result;
}
