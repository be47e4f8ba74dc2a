#include "platform.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

Result fromStat(const struct stat &from, FileStatus &status)
{
    if (S_ISREG(from.st_mode))
        status.type = FileType::Regular;
    else if (S_ISDIR(from.st_mode))
        status.type = FileType::Directory;
    else if (S_ISLNK(from.st_mode))
        status.type = FileType::Link;
    else
        status.type = FileType::Other;
    status.size = static_cast<std::uint64_t>(from.st_size);
    status.permissions = from.st_mode & 07777;
    status.uid = from.st_uid;
    status.gid = from.st_gid;
    status.mtime = from.st_mtim;
    status.device = from.st_dev;
    status.inode = from.st_ino;
    return Result::success();
}

std::string orEmpty(const char *text)
{
    return text ? text : std::string();
}

} // namespace

std::vector<std::string> startProcess(int argc, char **argv)
{
    // A file-size limit must fail the write (EFBIG), so the half file is removed, instead of
    // ending the process with it on disk.
    std::signal(SIGXFSZ, SIG_IGN);
    // Names are UTF-8 on disk; without a UTF-8 locale libarchive could not convert them.
    std::setlocale(LC_CTYPE, "");
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::string_view separators()
{
    return "/";
}

Result checkComponent(std::string_view)
{
    return Result::success();
}

void prepareReader(archive *)
{
    // Without a conversion asked for, libarchive hands the bytes over as they stand here.
}

std::string entryPathname(archive *, archive_entry *entry)
{
    return orEmpty(archive_entry_pathname(entry));
}

std::string entryHardlink(archive *, archive_entry *entry)
{
    return orEmpty(archive_entry_hardlink(entry));
}

std::string entrySymlink(archive *, archive_entry *entry)
{
    return orEmpty(archive_entry_symlink(entry));
}

void setEntryPathname(archive_entry *entry, const std::string &name)
{
    archive_entry_set_pathname(entry, name.c_str());
}

void setEntrySymlink(archive_entry *entry, const std::string &target)
{
    archive_entry_set_symlink(entry, target.c_str());
}

int openArchiveFile(archive *reader, const std::string &path, std::size_t blockSize)
{
    return archive_read_open_filename(reader, path.c_str(), blockSize);
}

Result linkStatus(const std::string &path, FileStatus &status)
{
    struct stat from
    {
    };
    return ::lstat(path.c_str(), &from) == 0 ? fromStat(from, status) : Result::fromErrno(errno);
}

Result fileStatus(int fd, FileStatus &status)
{
    struct stat from
    {
    };
    return ::fstat(fd, &from) == 0 ? fromStat(from, status) : Result::fromErrno(errno);
}

Result readLink(const std::string &path, std::string &target)
{
    FileStatus status;
    if (Result found = linkStatus(path, status); !found.ok())
        return found;
    target.resize(static_cast<std::size_t>(std::max<std::uint64_t>(status.size, 255)) + 1);
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0)
        return Result::fromErrno(errno);
    if (static_cast<std::size_t>(length) == target.size())
        return Result::failure("link target changed while read");
    target.resize(static_cast<std::size_t>(length));
    return Result::success();
}

Result directoryNames(const std::string &path, std::vector<std::string> &names)
{
    struct Closer
    {
        void operator()(DIR *directory) const { ::closedir(directory); }
    };
    std::unique_ptr<DIR, Closer> directory(::opendir(path.c_str()));
    if (!directory)
        return Result::fromErrno(errno);
    while (const dirent *item = ::readdir(directory.get())) {
        const std::string_view name = item->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    std::sort(names.begin(), names.end());
    return Result::success();
}

int openReadWrite(const std::string &path, bool exclusive)
{
    return ::open(path.c_str(), O_RDWR | O_CLOEXEC | (exclusive ? O_CREAT | O_EXCL : 0), 0666);
}

int openForReading(const std::string &path)
{
    return ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
}

Result lockExclusive(int fd)
{
    return ::flock(fd, LOCK_EX) == 0 ? Result::success() : Result::fromErrno(errno);
}

Result seek(int fd, std::uint64_t offset)
{
    return ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) >= 0 ? Result::success()
                                                                  : Result::fromErrno(errno);
}

Result resize(int fd, std::uint64_t size)
{
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0 ? Result::success() : Result::fromErrno(errno);
}

Result readAt(int fd, void *buffer, std::size_t size, std::uint64_t offset)
{
    auto *bytes = static_cast<char *>(buffer);
    while (size > 0) {
        const ssize_t got = ::pread(fd, bytes, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return Result::fromErrno(errno);
        if (got == 0)
            return Result::fromErrno(EIO);
        bytes += got;
        size -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return Result::success();
}

Result sync(int fd)
{
    return ::fsync(fd) == 0 ? Result::success() : Result::fromErrno(errno);
}

Result syncDirectory(const std::string &directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return Result::success(); // nothing to make durable that could be reached
    const int synced = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    return synced == 0 ? Result::success() : Result::fromErrno(error);
}

void removeFile(const std::string &path)
{
    ::unlink(path.c_str());
}

std::string outputText(const std::string &text)
{
    return text;
}

std::string listText(std::string bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.erase(0, 3);
    return bytes;
}

} // namespace Platform
