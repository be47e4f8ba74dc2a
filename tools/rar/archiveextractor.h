#pragma once

#include "entrypath.h"
#include "result.h"
#include "targetdirectory.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

struct archive;
struct archive_entry;

// What one extraction did. An entry that could not be extracted is one problem, named by the entry;
// the others were extracted all the same.
struct ExtractReport
{
    bool readable = true; // false: the archive could not be opened, or is not an archive
    int extracted = 0;
    std::vector<std::string> problems; // "name: reason"
    bool writeFault = false; // some entry failed because the disk refused it (Result::isWriteFault)

    [[nodiscard]] bool ok() const { return readable && problems.empty(); }
};

// Extracts every archive libarchive reads (RAR4, RAR5, zip, 7z, tar, ...) into a target
// directory, in archive order: a later entry of a path replaces an earlier one. Entries that would
// leave the target (absolute paths, "..", links pointing or leading outside) and device files,
// FIFOs and sockets are refused; encrypted, cut or damaged entries fail without leaving half a file.
class ArchiveExtractor final
{
public:
    explicit ArchiveExtractor(TargetDirectory &target)
        : m_target(target)
    { }

    // Called with the name of every entry once it is in place.
    void setEntryCallback(std::function<void(const std::string &name)> callback)
    {
        m_onEntry = std::move(callback);
    }

    [[nodiscard]] ExtractReport extractFile(const std::string &archivePath);
    [[nodiscard]] ExtractReport extractMemory(const void *data, std::size_t size);

private:
    ExtractReport extract(archive *reader, int opened, const std::string &archiveName);
    Result extractEntry(archive *reader, archive_entry *entry, const EntryPath &path);
    Result copyData(archive *reader, archive_entry *entry, int fd);

    TargetDirectory &m_target;
    std::function<void(const std::string &)> m_onEntry;
    // Directory times are set last: extracting into a directory changes its time.
    std::vector<std::pair<EntryPath, timespec>> m_directoryTimes;
};
