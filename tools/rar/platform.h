#pragma once

#include "result.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <time.h>
#include <vector>

struct archive;
struct archive_entry;

// What differs between POSIX systems and Windows for the archiver, behind one set of calls:
// platform_posix.cpp and platform_win.cpp. Every path and name is UTF-8; Windows converts it for
// its wide-character calls, so Cyrillic names survive there too.
namespace Platform {

// The program's arguments after its name, in UTF-8, once the process is set up for the archiver.
[[nodiscard]] std::vector<std::string> startProcess(int argc, char **argv);

// The characters that separate the components of a path ("/" here, "/" and "\\" on Windows).
[[nodiscard]] std::string_view separators();
// Whether one component of an entry's name can be made as it is; on Windows, for instance, a
// drive ("C:"), a device ("NUL") or a trailing dot would lead elsewhere than the name says.
[[nodiscard]] Result checkComponent(std::string_view component);

// Makes the reader keep the bytes of names whose format does not say their encoding (plain tar
// headers), so that EntryName reads them the same way everywhere.
void prepareReader(archive *reader);
// The entry's names (of the entry just read by reader) as stored: converted to UTF-8 where the
// format says how, the bytes as they stand where it does not; empty when it has none.
[[nodiscard]] std::string entryPathname(archive *reader, archive_entry *entry);
[[nodiscard]] std::string entryHardlink(archive *reader, archive_entry *entry);
[[nodiscard]] std::string entrySymlink(archive *reader, archive_entry *entry);
// Stores the names of an entry to be written.
void setEntryPathname(archive_entry *entry, const std::string &name);
void setEntrySymlink(archive_entry *entry, const std::string &target);
[[nodiscard]] int openArchiveFile(archive *reader, const std::string &path, std::size_t blockSize);

enum class FileType { Regular, Directory, Link, Other };

struct FileStatus
{
    FileType type = FileType::Other;
    std::uint64_t size = 0;
    unsigned permissions = 0644;
    std::int64_t uid = 0;
    std::int64_t gid = 0;
    timespec mtime{};
    // Together they name the file: two paths with equal ones lead to the same file.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// The status of the object at path itself (a link is not followed).
[[nodiscard]] Result linkStatus(const std::string &path, FileStatus &status);
[[nodiscard]] Result fileStatus(int fd, FileStatus &status);
[[nodiscard]] Result readLink(const std::string &path, std::string &target);
// The names in the directory at path, sorted, without "." and "..".
[[nodiscard]] Result directoryNames(const std::string &path, std::vector<std::string> &names);

// Opens path for reading and writing; with exclusive, only when it does not exist yet (EEXIST).
[[nodiscard]] int openReadWrite(const std::string &path, bool exclusive);
// Opens the regular file at path for reading; a symbolic link is refused.
[[nodiscard]] int openForReading(const std::string &path);
// Locks the open file for this process alone, waiting for another holder to let go.
[[nodiscard]] Result lockExclusive(int fd);
[[nodiscard]] Result seek(int fd, std::uint64_t offset);
[[nodiscard]] Result resize(int fd, std::uint64_t size);
// Reads exactly size bytes at offset; the end of the file before that is a failure.
[[nodiscard]] Result readAt(int fd, void *buffer, std::size_t size, std::uint64_t offset);
// Makes the file's data durable, and with it the name of a file just created in directory.
[[nodiscard]] Result sync(int fd);
[[nodiscard]] Result syncDirectory(const std::string &directory);
void removeFile(const std::string &path);

// The text of a list file ("@LIST") in UTF-8, from its bytes as the archiver reads them: here the
// bytes as they stand (file names are bytes); on Windows, a list without a UTF-8 byte order mark is
// in the ANSI code page, as the Windows archiver reads it. A UTF-8 byte order mark is dropped.
[[nodiscard]] std::string listText(std::string bytes);
// A line the archiver prints (an entry's name, a problem), from UTF-8 to what its reader expects:
// here the bytes as they stand; on Windows the ANSI code page, in which the updater reads the
// archiver's output as it reads the Windows archiver's.
[[nodiscard]] std::string outputText(const std::string &text);

} // namespace Platform
