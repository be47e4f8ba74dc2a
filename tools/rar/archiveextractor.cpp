#include "archiveextractor.h"

#include "entryname.h"
#include "fileio.h"
#include "platform.h"

#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <memory>

namespace {

using Reader = std::unique_ptr<archive, decltype(&archive_read_free)>;

Reader newReader()
{
    Reader reader(archive_read_new(), &archive_read_free);
    archive_read_support_filter_all(reader.get());
    archive_read_support_format_all(reader.get());
    EntryName::prepareReader(reader.get());
    return reader;
}

std::string errorText(archive *reader, const char *fallback)
{
    const char *text = archive_error_string(reader);
    return text && *text ? text : fallback;
}

} // namespace

ExtractReport ArchiveExtractor::extractFile(const std::string &archivePath)
{
    Reader reader = newReader();
    // Large reads: a tar entry's data comes straight out of this buffer.
    const int opened = Platform::openArchiveFile(reader.get(), archivePath, 1 << 20);
    return extract(reader.get(), opened, archivePath);
}

ExtractReport ArchiveExtractor::extractMemory(const void *data, std::size_t size)
{
    Reader reader = newReader();
    const int opened = archive_read_open_memory(reader.get(), data, size);
    return extract(reader.get(), opened, "(memory)");
}

ExtractReport ArchiveExtractor::extract(archive *reader, int opened, const std::string &archiveName)
{
    ExtractReport report;
    if (opened != ARCHIVE_OK) {
        report.readable = false;
        report.problems.push_back(archiveName + ": " + errorText(reader, "cannot be opened"));
        return report;
    }
    m_directoryTimes.clear();
    std::string previous;
    for (;;) {
        archive_entry *entry = nullptr;
        const int status = archive_read_next_header(reader, &entry);
        if (status == ARCHIVE_EOF) {
            if (archive_format(reader) == ARCHIVE_FORMAT_EMPTY) {
                report.readable = false;
                report.problems.push_back(archiveName + ": empty file, not an archive");
            } else if (previous.empty()) {
                // A signature followed by nothing readable ends like an archive without entries;
                // neither an update nor a backup is ever empty, so extracting nothing is no success.
                report.readable = false;
                report.problems.push_back(archiveName + ": no entries, damaged or not an archive");
            }
            break;
        }
        if (status == ARCHIVE_FATAL || entry == nullptr) {
            // Nothing after this point can be read: a cut or damaged archive, or no archive at all.
            const std::string reason = errorText(reader, "damaged archive");
            if (previous.empty() && report.extracted == 0 && report.problems.empty()) {
                report.readable = false;
                report.problems.push_back(archiveName + ": " + reason);
            } else {
                const std::string where = previous.empty() ? std::string() : " after the entry " + previous;
                report.problems.push_back(archiveName + ": " + reason + where);
            }
            break;
        }
        std::string name = EntryName::toUtf8(Platform::entryPathname(reader, entry));
        if (name.empty())
            name = "(entry with an unreadable name)";
        previous = name;
        if (status < ARCHIVE_WARN) {
            report.problems.push_back(name + ": " + errorText(reader, "damaged entry"));
            continue;
        }
        std::string reason;
        const std::optional<EntryPath> path = EntryPath::parse(name, reason);
        Result result = path ? extractEntry(reader, entry, *path) : Result::failure(reason);
        if (!result.ok()) {
            report.problems.push_back(name + ": " + result.reason());
            report.writeFault = report.writeFault || result.isWriteFault();
            continue;
        }
        ++report.extracted;
        if (m_onEntry)
            m_onEntry(name);
    }
    for (const auto &[path, mtime] : m_directoryTimes) {
        if (Result set = m_target.setModificationTime(path, mtime); !set.ok())
            report.problems.push_back(path.toString() + ": " + set.reason());
    }
    return report;
}

Result ArchiveExtractor::extractEntry(archive *reader, archive_entry *entry, const EntryPath &path)
{
    std::optional<timespec> mtime;
    if (archive_entry_mtime_is_set(entry))
        mtime = timespec{archive_entry_mtime(entry), archive_entry_mtime_nsec(entry)};
    // Named like the entry it links to.
    if (const std::string existing = EntryName::toUtf8(Platform::entryHardlink(reader, entry));
        !existing.empty()) {
        std::string reason;
        const std::optional<EntryPath> target = EntryPath::parse(existing, reason);
        if (!target)
            return Result::failure("hard link to " + existing + ": " + reason);
        return m_target.makeHardLink(path, *target);
    }
    switch (archive_entry_filetype(entry)) {
    case AE_IFREG: {
        if (archive_entry_is_encrypted(entry))
            return Result::failure("encrypted, cannot be extracted without the password");
        // The executable bit is kept; everything else follows the umask.
        const mode_t mode = (archive_entry_perm(entry) & 0111) ? 0777 : 0666;
        return m_target.writeFile(path, mode, mtime, [&](int fd) { return copyData(reader, entry, fd); });
    }
    case AE_IFDIR: {
        Result made = m_target.makeDirectory(path);
        if (made.ok() && mtime && !path.isRoot())
            m_directoryTimes.emplace_back(path, *mtime);
        return made;
    }
    case AE_IFLNK: {
        return m_target.makeSymlink(path, EntryName::toUtf8(Platform::entrySymlink(reader, entry)));
    }
    case AE_IFCHR:
    case AE_IFBLK:
        return Result::failure("device file refused");
    case AE_IFIFO:
        return Result::failure("FIFO refused");
    case AE_IFSOCK:
        return Result::failure("socket refused");
    default:
        return Result::failure("unknown entry type refused");
    }
}

Result ArchiveExtractor::copyData(archive *reader, archive_entry *entry, int fd)
{
    la_int64_t end = 0;
    for (;;) {
        const void *block = nullptr;
        std::size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(reader, &block, &size, &offset);
        if (status == ARCHIVE_EOF)
            break;
        if (status < ARCHIVE_WARN)
            return Result::failure(errorText(reader, "damaged data"));
        if (offset < end)
            return Result::failure("damaged data (blocks out of order)");
        // A gap is a hole of a sparse file.
        if (offset > end) {
            if (Result sought = Platform::seek(fd, static_cast<std::uint64_t>(offset)); !sought.ok())
                return sought;
        }
        if (Result written = FileIo::writeAll(fd, block, size); !written.ok())
            return written;
        end = offset + static_cast<la_int64_t>(size);
    }
    // Some readers end a cut entry as if it were whole; the size in its header tells.
    if (archive_entry_size_is_set(entry) && end != archive_entry_size(entry)) {
        const la_int64_t size = archive_entry_size(entry);
        if (end > size || archive_entry_sparse_count(entry) == 0) {
            return Result::failure("data cut short (" + std::to_string(end) + " of " + std::to_string(size)
                + " bytes), archive damaged");
        }
        if (Result cut = Platform::resize(fd, static_cast<std::uint64_t>(size)); !cut.ok())
            return cut;
    }
    return Result::success();
}
