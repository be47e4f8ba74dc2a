#pragma once

#include "entrypath.h"
#include "result.h"
#include "uniquefd.h"

#include <functional>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <time.h>

// The directory an archive is extracted into. Every name is resolved beneath it by the kernel
// (openat2 with RESOLVE_BENEATH), so neither "..", an absolute path nor a symbolic link - found
// there or just extracted - can lead a write outside it. Files and links are made under a
// temporary name in their final directory and renamed into place: a name never shows half a file,
// and a failure leaves neither the half file nor its temporary name behind.
class TargetDirectory final
{
public:
    // Opens the directory at path, making it (and its missing parents) first when needed.
    [[nodiscard]] static std::optional<TargetDirectory> open(const std::string &path, std::string &reason);

    // Writes a regular file at path: writeData fills the open temporary file; mode is before the
    // umask; mtime, when given, becomes the file's modification time.
    [[nodiscard]] Result writeFile(const EntryPath &path, mode_t mode, const std::optional<timespec> &mtime,
        const std::function<Result(int fd)> &writeData);
    [[nodiscard]] Result makeSymlink(const EntryPath &path, const std::string &target);
    // A hard link at path to the file at existing, which must be inside as well.
    [[nodiscard]] Result makeHardLink(const EntryPath &path, const EntryPath &existing);
    // Makes the directory at path and its missing parents; an existing one is kept.
    [[nodiscard]] Result makeDirectory(const EntryPath &path);
    [[nodiscard]] Result setModificationTime(const EntryPath &path, const timespec &mtime);

private:
    explicit TargetDirectory(UniqueFd root)
        : m_root(std::move(root))
    { }

    // Opens the directory at path beneath the root, making the missing components when create is set.
    [[nodiscard]] Result openDirectory(const EntryPath &path, bool create, UniqueFd &directory) const;
    // Makes an object under a free temporary name in the directory of path (make receives the
    // directory and the name) and renames it to path.
    [[nodiscard]] Result place(
        const EntryPath &path, const std::function<Result(int dir, const char *name)> &make);

    UniqueFd m_root;
};
