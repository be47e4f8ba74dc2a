#include "targetdirectory.h"

#include "wintext.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <io.h>
#include <windows.h>

using WinText::lastError;
using WinText::wide;

struct TargetDirectory::Root
{
    std::wstring path; // absolute, without a trailing separator
};

namespace {

bool isMissing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The directory at path beneath root, made where missing when create is set. Every component is
// looked at on the way: a junction or a link there could lead anywhere, so none is passed.
Result walk(const std::wstring &root, const EntryPath &path, bool create, std::wstring &directory)
{
    std::wstring current = root;
    for (const std::string &part : path.components()) {
        current += L'\\' + wide(part);
        DWORD attributes = ::GetFileAttributesW(current.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            if (!create || !isMissing(::GetLastError()))
                return lastError();
            if (!::CreateDirectoryW(current.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
                return lastError();
            attributes = ::GetFileAttributesW(current.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES)
                return lastError();
        }
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return Result::failure("path through a link or junction refused");
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return Result::fromErrno(ENOTDIR);
    }
    directory = std::move(current);
    return Result::success();
}

// Makes an object under a free temporary name in the directory of path (make receives the full
// temporary name) and renames it to path, replacing what was there.
Result place(
    const std::wstring &root, const EntryPath &path, const std::function<Result(const std::wstring &)> &make)
{
    if (path.isRoot())
        return Result::failure("the target directory itself cannot be replaced");
    std::wstring directory;
    if (Result opened = walk(root, path.parent(), true, directory); !opened.ok())
        return opened;
    static unsigned counter = 0;
    std::wstring temporary;
    do {
        temporary = directory + L"\\.rar-" + std::to_wstring(::GetCurrentProcessId()) + L'-'
            + std::to_wstring(++counter) + L".tmp";
    } while (::GetFileAttributesW(temporary.c_str()) != INVALID_FILE_ATTRIBUTES);
    if (Result made = make(temporary); !made.ok())
        return made;
    const std::wstring name = directory + L'\\' + wide(path.fileName());
    if (!::MoveFileExW(temporary.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Result failed = lastError();
        ::DeleteFileW(temporary.c_str());
        return failed;
    }
    return Result::success();
}

FILETIME toFileTime(const timespec &time)
{
    const std::uint64_t ticks = static_cast<std::uint64_t>(time.tv_sec) * 10000000
        + static_cast<std::uint64_t>(time.tv_nsec) / 100 + 116444736000000000ULL;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

Result setTime(HANDLE handle, const timespec &mtime)
{
    const FILETIME written = toFileTime(mtime);
    return ::SetFileTime(handle, nullptr, nullptr, &written) ? Result::success() : lastError();
}

} // namespace

TargetDirectory::TargetDirectory(std::unique_ptr<Root> root)
    : m_root(std::move(root))
{ }
TargetDirectory::TargetDirectory(TargetDirectory &&) noexcept = default;
TargetDirectory &TargetDirectory::operator=(TargetDirectory &&) noexcept = default;
TargetDirectory::~TargetDirectory() = default;

std::optional<TargetDirectory> TargetDirectory::open(const std::string &path, std::string &reason)
{
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(wide(path)), ignored);
    const std::wstring given = wide(path);
    std::wstring full(MAX_PATH, L'\0');
    DWORD length = ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = ::GetFullPathNameW(given.c_str(), length, full.data(), nullptr);
    }
    const DWORD attributes = length > 0 ? ::GetFileAttributesW(full.c_str()) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        reason = lastError().reason();
        return std::nullopt;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        reason = Result::fromErrno(ENOTDIR).reason();
        return std::nullopt;
    }
    full.resize(length);
    while (!full.empty() && (full.back() == L'\\' || full.back() == L'/'))
        full.pop_back();
    return TargetDirectory(std::make_unique<Root>(Root{full}));
}

Result TargetDirectory::writeFile(const EntryPath &path, mode_t, const std::optional<timespec> &mtime,
    const std::function<Result(int fd)> &writeData)
{
    return place(m_root->path, path, [&](const std::wstring &name) {
        // Made by CreateFileW, whose error still says what the disk refused (the C library's
        // open has no error number for a write-protected medium).
        const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
            nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return lastError();
        const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
        if (fd < 0) {
            ::CloseHandle(handle);
            ::DeleteFileW(name.c_str());
            return Result::fromErrno(errno);
        }
        Result written = writeData(fd);
        if (written.ok() && mtime)
            written = setTime(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)), *mtime);
        if (::_close(fd) != 0 && written.ok())
            written = Result::fromErrno(errno);
        if (!written.ok())
            ::DeleteFileW(name.c_str());
        return written;
    });
}

Result TargetDirectory::makeSymlink(const EntryPath &path, const std::string &target)
{
    if (Result allowed = path.checkLinkTarget(target); !allowed.ok())
        return allowed;
    // Making one needs a privilege most users lack, and the program never needs one.
    return Result::failure("symbolic link not made on Windows");
}

Result TargetDirectory::makeHardLink(const EntryPath &path, const EntryPath &existing)
{
    if (existing.isRoot())
        return Result::failure("hard link to the target directory refused");
    std::wstring existingDirectory;
    if (Result opened = walk(m_root->path, existing.parent(), false, existingDirectory); !opened.ok())
        return Result::failure("hard link target " + existing.toString() + ": " + opened.reason());
    const std::wstring existingName = existingDirectory + L'\\' + wide(existing.fileName());
    const DWORD attributes = ::GetFileAttributesW(existingName.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Result::failure("hard link target " + existing.toString() + ": " + lastError().reason());
    if (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
        return Result::failure("hard link to a directory, link or junction refused");
    return place(m_root->path, path, [&](const std::wstring &name) {
        return ::CreateHardLinkW(name.c_str(), existingName.c_str(), nullptr) ? Result::success()
                                                                              : lastError();
    });
}

Result TargetDirectory::makeDirectory(const EntryPath &path)
{
    std::wstring directory;
    return walk(m_root->path, path, true, directory);
}

Result TargetDirectory::setModificationTime(const EntryPath &path, const timespec &mtime)
{
    std::wstring directory;
    if (Result found = walk(m_root->path, path, false, directory); !found.ok())
        return found;
    const HANDLE handle = ::CreateFileW(directory.c_str(), FILE_WRITE_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return lastError();
    Result set = setTime(handle, mtime);
    ::CloseHandle(handle);
    return set;
}
