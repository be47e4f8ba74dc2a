#include "platform.h"

#include "wintext.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <array>
#include <cerrno>
#include <clocale>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

namespace WinText {

std::wstring wide(const std::string &text)
{
    if (text.empty())
        return {};
    const int size
        = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
    return result;
}

std::string utf8(const wchar_t *text)
{
    if (!text || !*text)
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.resize(static_cast<std::size_t>(std::max(size - 1, 0)));
    return result;
}

namespace {

// ERROR_DISK_QUOTA_EXCEEDED, which MinGW's headers lack.
constexpr DWORD diskQuotaExceeded = 1295;

int errnoOf(DWORD error)
{
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case diskQuotaExceeded:
        return ENOSPC;
    case ERROR_FILE_TOO_LARGE:
        return EFBIG;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_WRITE_FAULT:
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
        return EIO;
    default:
        return 0;
    }
}

} // namespace

Result lastError()
{
    const DWORD error = ::GetLastError();
    wchar_t *text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::string reason = length > 0 ? utf8(text) : "Windows error " + std::to_string(error);
    ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
        reason.pop_back();
    return Result::failure(reason, errnoOf(error));
}

} // namespace WinText

namespace Platform {

using WinText::lastError;
using WinText::utf8;
using WinText::wide;

namespace {

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

timespec fromFileTime(const FILETIME &time)
{
    // FILETIME counts 100 ns steps from 1601; the archive wants seconds from 1970.
    const std::uint64_t ticks = (std::uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    const std::uint64_t since1970 = ticks - 116444736000000000ULL;
    return timespec{static_cast<time_t>(since1970 / 10000000), static_cast<long>(since1970 % 10000000 * 100)};
}

Result fromHandle(HANDLE handle, FileStatus &status)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info))
        return lastError();
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        status.type = FileType::Link;
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        status.type = FileType::Directory;
    else
        status.type = FileType::Regular;
    status.size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    status.permissions = status.type == FileType::Directory ? 0755 : 0644;
    status.mtime = fromFileTime(info.ftLastWriteTime);
    status.device = info.dwVolumeSerialNumber;
    status.inode = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return Result::success();
}

bool isDeviceName(std::string_view base)
{
    static constexpr std::array names{"CON", "PRN", "AUX", "NUL", "COM1", "COM2", "COM3", "COM4", "COM5",
        "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8",
        "LPT9"};
    return std::any_of(names.begin(), names.end(), [&](std::string_view name) {
        return base.size() == name.size()
            && std::equal(base.begin(), base.end(), name.begin(),
                [](char a, char b) { return (a >= 'a' && a <= 'z' ? a - 32 : a) == b; });
    });
}

} // namespace

std::vector<std::string> startProcess(int, char **)
{
    // The narrow arguments are in the ANSI code page and lose every name outside it.
    int count = 0;
    wchar_t **given = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(utf8(given[i]));
    ::LocalFree(given);
    // libarchive checks every name written through the C library's code page: the system's
    // ANSI one ("C" would allow ASCII alone). Names it lacks cannot be added; each is reported.
    std::setlocale(LC_CTYPE, "");
    // Entries written to standard output are UTF-8 like everything else.
    ::SetConsoleOutputCP(CP_UTF8);
    return arguments;
}

std::string_view separators()
{
    return "/\\";
}

Result checkComponent(std::string_view component)
{
    // "C:" names a drive and "a:b" a stream of the file a.
    if (component.find(':') != std::string_view::npos)
        return Result::failure("name with \":\" refused");
    if (component.find_first_of("<>\"|?*") != std::string_view::npos
        || std::any_of(component.begin(), component.end(), [](char c) { return c > 0 && c < 32; }))
        return Result::failure("name with a character Windows does not allow refused");
    // Windows drops trailing dots and spaces: "..." and ". ." would be the directory above.
    if (component.back() == '.' || component.back() == ' ')
        return Result::failure("name ending in a dot or a space refused");
    if (isDeviceName(component.substr(0, component.find('.'))))
        return Result::failure("name of a device refused");
    return Result::success();
}

void prepareReader(archive *reader)
{
    // libarchive would read plain tar headers in the OEM code page (866), taking UTF-8 names and
    // those in code page 1251 apart. Latin-1 turns each byte into the character of its value, so
    // that entryName() gets the bytes back.
    archive_read_set_format_option(reader, "tar", "hdrcharset", "CP28591");
}

namespace {

// The name as the archive holds it: for a tar entry without a pax header (whose names are
// UTF-8), the bytes that Latin-1 made characters of; else the name in UTF-8.
std::string entryName(archive *reader, const wchar_t *name)
{
    const int format = archive_format(reader);
    const bool bytes = (format & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_TAR
        && format != ARCHIVE_FORMAT_TAR_PAX_INTERCHANGE && format != ARCHIVE_FORMAT_TAR_PAX_RESTRICTED;
    if (!bytes || !name)
        return utf8(name);
    std::string result;
    for (const wchar_t *c = name; *c; ++c) {
        if (*c > 0xFF)
            return utf8(name); // not from Latin-1 after all
        result += static_cast<char>(*c);
    }
    return result;
}

} // namespace

std::string entryPathname(archive *reader, archive_entry *entry)
{
    return entryName(reader, archive_entry_pathname_w(entry));
}

std::string entryHardlink(archive *reader, archive_entry *entry)
{
    return entryName(reader, archive_entry_hardlink_w(entry));
}

std::string entrySymlink(archive *reader, archive_entry *entry)
{
    return entryName(reader, archive_entry_symlink_w(entry));
}

// The narrow names would go through the ANSI code page, which lacks most of them.
void setEntryPathname(archive_entry *entry, const std::string &name)
{
    archive_entry_copy_pathname_w(entry, wide(name).c_str());
}

void setEntrySymlink(archive_entry *entry, const std::string &target)
{
    archive_entry_copy_symlink_w(entry, wide(target).c_str());
}

int openArchiveFile(archive *reader, const std::string &path, std::size_t blockSize)
{
    return archive_read_open_filename_w(reader, wide(path).c_str(), blockSize);
}

Result linkStatus(const std::string &path, FileStatus &status)
{
    const HANDLE handle = ::CreateFileW(wide(path).c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastError();
    Result found = fromHandle(handle, status);
    ::CloseHandle(handle);
    return found;
}

Result fileStatus(int fd, FileStatus &status)
{
    return fromHandle(handleOf(fd), status);
}

Result readLink(const std::string &, std::string &)
{
    return Result::failure("links and junctions are not stored");
}

Result directoryNames(const std::string &path, std::vector<std::string> &names)
{
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(wide(path + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return lastError();
    do {
        const std::string name = utf8(found.cFileName);
        if (name != "." && name != "..")
            names.push_back(name);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    std::sort(names.begin(), names.end());
    return Result::success();
}

int openReadWrite(const std::string &path, bool exclusive)
{
    int fd = -1;
    const int flags = _O_RDWR | _O_BINARY | _O_NOINHERIT | (exclusive ? _O_CREAT | _O_EXCL : 0);
    errno = ::_wsopen_s(&fd, wide(path).c_str(), flags, _SH_DENYNO, _S_IREAD | _S_IWRITE);
    return fd;
}

int openForReading(const std::string &path)
{
    int fd = -1;
    errno = ::_wsopen_s(&fd, wide(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT, _SH_DENYNO, 0);
    return fd;
}

Result lockExclusive(int fd)
{
    OVERLAPPED from{};
    return ::LockFileEx(handleOf(fd), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &from)
        ? Result::success()
        : lastError();
}

Result seek(int fd, std::uint64_t offset)
{
    return ::_lseeki64(fd, static_cast<__int64>(offset), SEEK_SET) >= 0 ? Result::success()
                                                                        : Result::fromErrno(errno);
}

Result resize(int fd, std::uint64_t size)
{
    const errno_t error = ::_chsize_s(fd, static_cast<__int64>(size));
    return error == 0 ? Result::success() : Result::fromErrno(error);
}

Result readAt(int fd, void *buffer, std::size_t size, std::uint64_t offset)
{
    if (Result sought = seek(fd, offset); !sought.ok())
        return sought;
    auto *bytes = static_cast<char *>(buffer);
    while (size > 0) {
        const int got = ::_read(fd, bytes, static_cast<unsigned>(std::min<std::size_t>(size, 1 << 30)));
        if (got < 0)
            return Result::fromErrno(errno);
        if (got == 0)
            return Result::fromErrno(EIO);
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return Result::success();
}

Result sync(int fd)
{
    return ::FlushFileBuffers(handleOf(fd)) ? Result::success() : lastError();
}

Result syncDirectory(const std::string &)
{
    // NTFS makes a new name durable with its own log; a directory cannot be flushed.
    return Result::success();
}

void removeFile(const std::string &path)
{
    ::DeleteFileW(wide(path).c_str());
}

std::string outputText(const std::string &text)
{
    const std::wstring wideText = wide(text);
    const int size = ::WideCharToMultiByte(
        CP_ACP, 0, wideText.data(), static_cast<int>(wideText.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(
        CP_ACP, 0, wideText.data(), static_cast<int>(wideText.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::string listText(std::string bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return bytes.substr(3);
    const int size
        = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return utf8(text.c_str());
}

} // namespace Platform
