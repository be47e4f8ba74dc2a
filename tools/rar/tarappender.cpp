#include "tarappender.h"

#include "fileio.h"
#include "tarend.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <memory>
#include <unistd.h>

namespace {

constexpr std::uint64_t endBlocks = 1024; // two zero blocks end a tar archive
constexpr std::size_t bufferSize = 256 * 1024;

// The parent directory of a file named by path, for making its new name durable.
std::string parentOf(const std::string &path)
{
    const auto slash = path.find_last_of(Platform::separators());
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

} // namespace

TarAppender::~TarAppender()
{
    removeIfCreated();
}

void TarAppender::removeIfCreated()
{
    if (m_fd.isValid() && m_created && m_added == 0) {
        m_fd.reset();
        Platform::removeFile(m_path);
    }
}

Result TarAppender::open(const std::string &path)
{
    m_path = path;
    Platform::FileStatus status;
    for (int attempt = 0;; ++attempt) {
        m_fd = UniqueFd(Platform::openReadWrite(path, true));
        m_created = m_fd.isValid();
        if (!m_created && errno == EEXIST)
            m_fd = UniqueFd(Platform::openReadWrite(path, false));
        if (!m_fd.isValid())
            return Result::fromErrno(errno);
        // Two runs appending at once would write over each other's entries.
        if (Result locked = Platform::lockExclusive(m_fd.get()); !locked.ok())
            return locked;
        if (Result found = Platform::fileStatus(m_fd.get(), status); !found.ok())
            return found;
        // A run that held the lock may have removed the archive it had created; then the name
        // leads to another file, or to none, and this one must not be written.
        Platform::FileStatus named;
        if (Platform::linkStatus(path, named).ok() && named.device == status.device
            && named.inode == status.inode)
            break;
        if (attempt == 10)
            return Result::failure("the archive keeps being replaced");
    }
    if (status.type != Platform::FileType::Regular)
        return Result::failure("not a regular file");
    m_device = status.device;
    m_inode = status.inode;
    TarEnd end;
    if (Result found = TarEnd::find(m_fd.get(), status.size, end); !found.ok())
        return Result::failure(found.reason() + ", nothing added");
    // Whatever follows the whole entries (the end blocks, a cut tail) goes now: if this run is
    // killed, a half entry must reach past the end of the file, so the next run sees it is cut.
    if (Result cut = Platform::resize(m_fd.get(), end.offset); !cut.ok())
        return cut;
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
    Platform::FileStatus status;
    if (Result found = Platform::linkStatus(source, status); !found.ok()) {
        problems.push_back(source + ": " + found.reason());
        return;
    }
    if (status.device == m_device && status.inode == m_inode)
        return; // the archive itself
    if (!name.isRoot()) {
        if (Result added = appendEntry(source, name, status); !added.ok()) {
            problems.push_back(source + ": " + added.reason());
            return;
        }
    }
    if (status.type != Platform::FileType::Directory || !recursive)
        return;
    std::vector<std::string> children;
    const Result listed = Platform::directoryNames(source, children);
    for (const std::string &child : children)
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

Result TarAppender::appendEntry(
    const std::string &source, const EntryPath &name, const Platform::FileStatus &status)
{
    if (status.type == Platform::FileType::Other)
        return Result::failure("not a file, directory or symbolic link");
    if (Result sought = Platform::seek(m_fd.get(), m_end); !sought.ok())
        return sought;
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
        if (Result cut = Platform::resize(m_fd.get(), m_end); !cut.ok())
            return Result::failure(written.reason() + "; the archive could not be cut back: " + cut.reason());
        return written;
    }
    m_end = m_position;
    ++m_added;
    if (m_onEntry)
        m_onEntry(name.toString());
    return Result::success();
}

Result TarAppender::writeEntry(
    archive *writer, const std::string &source, const EntryPath &name, Platform::FileStatus status)
{
    using Platform::FileType;
    UniqueFd file;
    std::string linkTarget;
    if (status.type == FileType::Regular) {
        // The entry describes the file that is read, even when it changed since it was listed.
        file = UniqueFd(Platform::openForReading(source));
        if (!file.isValid())
            return Result::fromErrno(errno);
        if (Result found = Platform::fileStatus(file.get(), status); !found.ok())
            return found;
        if (status.type != FileType::Regular)
            return Result::failure("not a regular file");
    } else if (status.type == FileType::Link) {
        if (Result read = Platform::readLink(source, linkTarget); !read.ok())
            return read;
    }

    std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(
        archive_entry_new(), &archive_entry_free);
    const bool regular = status.type == FileType::Regular;
    Platform::setEntryPathname(entry.get(), name.toString());
    archive_entry_set_filetype(entry.get(),
        regular                                  ? AE_IFREG
            : status.type == FileType::Directory ? AE_IFDIR
                                                 : AE_IFLNK);
    archive_entry_set_perm(entry.get(), status.permissions);
    archive_entry_set_uid(entry.get(), status.uid);
    archive_entry_set_gid(entry.get(), status.gid);
    archive_entry_set_mtime(entry.get(), status.mtime.tv_sec, status.mtime.tv_nsec);
    archive_entry_set_size(entry.get(), regular ? static_cast<la_int64_t>(status.size) : 0);
    if (status.type == FileType::Link)
        Platform::setEntrySymlink(entry.get(), linkTarget);

    auto failed = [&] {
        const char *text = archive_error_string(writer);
        return m_writeResult.ok() ? Result::failure(text ? text : "cannot be written") : m_writeResult;
    };
    if (archive_write_header(writer, entry.get()) < ARCHIVE_WARN)
        return failed();
    for (std::uint64_t left = regular ? status.size : 0; left > 0;) {
        const auto got = ::read(file.get(), m_buffer.data(),
            static_cast<unsigned>(std::min<std::uint64_t>(m_buffer.size(), left)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return Result::fromErrno(errno);
        if (got == 0)
            return Result::failure("the file became shorter while it was read");
        if (archive_write_data(writer, m_buffer.data(), static_cast<std::size_t>(got)) != got)
            return failed();
        left -= static_cast<std::uint64_t>(got);
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
    if (!Platform::resize(m_fd.get(), m_end + endBlocks).ok())
        (void)Platform::resize(m_fd.get(), m_end);
    Result durable = Platform::sync(m_fd.get());
    if (!durable.ok()) {
        // What may not have reached the disk is not reported as added.
        (void)Platform::resize(m_fd.get(), m_runStart);
        m_added = 0;
    }
    if (durable.ok() && m_created)
        durable = Platform::syncDirectory(parentOf(m_path));
    if (!durable.ok()) {
        removeIfCreated();
        return durable;
    }
    if (m_fd.close() != 0)
        return Result::fromErrno(errno);
    return Result::success();
}
