#include "tarappender.h"

#include "fileio.h"
#include "tarend.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr std::uint64_t endBlocks = 1024; // two zero blocks end a tar archive
constexpr std::size_t bufferSize = 256 * 1024;

std::vector<std::string> directoryNames(const std::string &path, Result &result)
{
    std::vector<std::string> names;
    struct Closer
    {
        void operator()(DIR *directory) const { ::closedir(directory); }
    };
    std::unique_ptr<DIR, Closer> directory(::opendir(path.c_str()));
    if (!directory) {
        result = Result::fromErrno(errno);
        return names;
    }
    while (const dirent *item = ::readdir(directory.get())) {
        const std::string_view name = item->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The parent directory of a file named by path, for making its new name durable.
std::string parentOf(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

TarAppender::~TarAppender()
{
    removeIfCreated();
}

void TarAppender::removeIfCreated()
{
    if (m_fd.isValid() && m_created && m_added == 0) {
        ::unlink(m_path.c_str());
        m_fd.reset();
    }
}

Result TarAppender::open(const std::string &path)
{
    m_path = path;
    struct stat status
    {
    };
    for (int attempt = 0;; ++attempt) {
        m_fd = UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        m_created = m_fd.isValid();
        if (!m_created && errno == EEXIST)
            m_fd = UniqueFd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
        if (!m_fd.isValid())
            return Result::fromErrno(errno);
        // Two runs appending at once would write over each other's entries.
        if (::flock(m_fd.get(), LOCK_EX) != 0 || ::fstat(m_fd.get(), &status) != 0)
            return Result::fromErrno(errno);
        // A run that held the lock may have removed the archive it had created; then the name
        // leads to another file, or to none, and this one must not be written.
        struct stat named
        {
        };
        if (::stat(path.c_str(), &named) == 0 && named.st_dev == status.st_dev
            && named.st_ino == status.st_ino)
            break;
        if (attempt == 10)
            return Result::failure("the archive keeps being replaced");
    }
    if (!S_ISREG(status.st_mode))
        return Result::failure("not a regular file");
    m_device = status.st_dev;
    m_inode = status.st_ino;
    TarEnd end;
    if (Result found = TarEnd::find(m_fd.get(), static_cast<std::uint64_t>(status.st_size), end); !found.ok())
        return Result::failure(found.reason() + ", nothing added");
    // Whatever follows the whole entries (the end blocks, a cut tail) goes now: if this run is
    // killed, a half entry must reach past the end of the file, so the next run sees it is cut.
    if (::ftruncate(m_fd.get(), static_cast<off_t>(end.offset)) != 0)
        return Result::fromErrno(errno);
    m_runStart = m_end = end.offset;
    m_buffer.resize(bufferSize);
    return Result::success();
}

std::vector<std::string> TarAppender::add(const std::string &path, bool recursive)
{
    std::vector<std::string> problems;
    std::string reason;
    const std::optional<EntryPath> name = EntryPath::parse(path, reason);
    if (!name) {
        problems.push_back(path + ": " + reason + " (only paths below the current directory are stored)");
        return problems;
    }
    addTree(path, *name, recursive, problems);
    return problems;
}

void TarAppender::addTree(
    const std::string &source, const EntryPath &name, bool recursive, std::vector<std::string> &problems)
{
    struct stat status
    {
    };
    if (::lstat(source.c_str(), &status) != 0) {
        problems.push_back(source + ": " + Result::fromErrno(errno).reason());
        return;
    }
    if (status.st_dev == m_device && status.st_ino == m_inode)
        return; // the archive itself
    if (!name.isRoot()) {
        if (Result added = appendEntry(source, name, status); !added.ok()) {
            problems.push_back(source + ": " + added.reason());
            return;
        }
    }
    if (!S_ISDIR(status.st_mode) || !recursive)
        return;
    Result listed = Result::success();
    for (const std::string &child : directoryNames(source, listed))
        addTree(source + '/' + child, name.child(child), recursive, problems);
    if (!listed.ok())
        problems.push_back(source + ": " + listed.reason());
}

ssize_t TarAppender::writeCallback(archive *, void *self, const void *buffer, std::size_t size)
{
    auto *appender = static_cast<TarAppender *>(self);
    if (appender->m_discard)
        return static_cast<ssize_t>(size);
    appender->m_writeResult = FileIo::writeAll(appender->m_fd.get(), buffer, size);
    if (!appender->m_writeResult.ok())
        return -1;
    appender->m_position += size;
    return static_cast<ssize_t>(size);
}

Result TarAppender::appendEntry(const std::string &source, const EntryPath &name, const struct stat &status)
{
    if (!S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode) && !S_ISLNK(status.st_mode))
        return Result::failure("not a file, directory or symbolic link");
    if (::lseek(m_fd.get(), static_cast<off_t>(m_end), SEEK_SET) < 0)
        return Result::fromErrno(errno);
    m_position = m_end;
    m_discard = false;
    m_writeResult = Result::success();
    std::unique_ptr<archive, decltype(&archive_write_free)> writer(archive_write_new(), &archive_write_free);
    archive_write_set_format_pax_restricted(writer.get());
    // Unblocked: every byte reaches the file when it is written, none is held back for padding.
    archive_write_set_bytes_per_block(writer.get(), 0);
    Result written
        = archive_write_open(writer.get(), this, nullptr, &TarAppender::writeCallback, nullptr) == ARCHIVE_OK
        ? writeEntry(writer.get(), source, name, status)
        : Result::failure("the archive writer cannot start");
    // The writer's end blocks are not wanted after every entry; finish() ends the archive once.
    m_discard = true;
    writer.reset();
    if (!written.ok()) {
        if (::ftruncate(m_fd.get(), static_cast<off_t>(m_end)) != 0)
            return Result::failure(written.reason()
                + "; the archive could not be cut back: " + Result::fromErrno(errno).reason());
        return written;
    }
    m_end = m_position;
    ++m_added;
    if (m_onEntry)
        m_onEntry(name.toString());
    return Result::success();
}

Result TarAppender::writeEntry(
    archive *writer, const std::string &source, const EntryPath &name, struct stat status)
{
    UniqueFd file;
    std::string linkTarget;
    if (S_ISREG(status.st_mode)) {
        // The entry describes the file that is read, even when it changed since it was listed.
        file = UniqueFd(::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (!file.isValid() || ::fstat(file.get(), &status) != 0)
            return Result::fromErrno(errno);
        if (!S_ISREG(status.st_mode))
            return Result::failure("not a regular file");
    } else if (S_ISLNK(status.st_mode)) {
        linkTarget.resize(static_cast<std::size_t>(std::max<off_t>(status.st_size, 255)) + 1);
        const ssize_t length = ::readlink(source.c_str(), linkTarget.data(), linkTarget.size());
        if (length < 0 || static_cast<std::size_t>(length) == linkTarget.size())
            return length < 0 ? Result::fromErrno(errno) : Result::failure("link target changed while read");
        linkTarget.resize(static_cast<std::size_t>(length));
    }

    std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(
        archive_entry_new(), &archive_entry_free);
    archive_entry_set_pathname(entry.get(), name.toString().c_str());
    archive_entry_set_filetype(entry.get(), status.st_mode & S_IFMT);
    archive_entry_set_perm(entry.get(), status.st_mode & 07777);
    archive_entry_set_uid(entry.get(), status.st_uid);
    archive_entry_set_gid(entry.get(), status.st_gid);
    archive_entry_set_mtime(entry.get(), status.st_mtim.tv_sec, status.st_mtim.tv_nsec);
    archive_entry_set_size(entry.get(), S_ISREG(status.st_mode) ? status.st_size : 0);
    if (S_ISLNK(status.st_mode))
        archive_entry_set_symlink(entry.get(), linkTarget.c_str());

    auto failed = [&] {
        const char *text = archive_error_string(writer);
        return m_writeResult.ok() ? Result::failure(text ? text : "cannot be written") : m_writeResult;
    };
    if (archive_write_header(writer, entry.get()) < ARCHIVE_WARN)
        return failed();
    for (off_t left = S_ISREG(status.st_mode) ? status.st_size : 0; left > 0;) {
        const ssize_t got = ::read(file.get(), m_buffer.data(), std::min<std::size_t>(m_buffer.size(), left));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return Result::fromErrno(errno);
        if (got == 0)
            return Result::failure("the file became shorter while it was read");
        if (archive_write_data(writer, m_buffer.data(), static_cast<std::size_t>(got)) != got)
            return failed();
        left -= got;
    }
    if (archive_write_finish_entry(writer) < ARCHIVE_WARN)
        return failed();
    return Result::success();
}

Result TarAppender::finish()
{
    if (!m_fd.isValid())
        return Result::failure("no archive open");
    if (m_created && m_added == 0) {
        removeIfCreated();
        return Result::success();
    }
    // The end blocks are zeros: extending the file makes them without writing (and a failure
    // leaves an archive that readers take as ended all the same).
    if (::ftruncate(m_fd.get(), static_cast<off_t>(m_end + endBlocks)) != 0)
        (void)::ftruncate(m_fd.get(), static_cast<off_t>(m_end));
    Result durable = Result::success();
    if (::fsync(m_fd.get()) != 0) {
        durable = Result::fromErrno(errno);
        // What may not have reached the disk is not reported as added.
        (void)::ftruncate(m_fd.get(), static_cast<off_t>(m_runStart));
        m_added = 0;
    }
    if (durable.ok() && m_created) {
        UniqueFd directory(::open(parentOf(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (directory.isValid() && ::fsync(directory.get()) != 0)
            durable = Result::fromErrno(errno);
    }
    if (!durable.ok()) {
        removeIfCreated();
        return durable;
    }
    if (m_fd.close() != 0)
        return Result::fromErrno(errno);
    return Result::success();
}
