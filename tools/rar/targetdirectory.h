#pragma once

#include "entrypath.h"
#include "result.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <time.h>

// The directory an archive is extracted into. Every name is resolved beneath it by the kernel
// (openat2 with RESOLVE_BENEATH), so neither "..", an absolute path nor a symbolic link - found
// there or just extracted - can lead a write outside it. Files and links are made under a
// temporary name in their final directory and renamed into place: a name never shows half a file,
// and a failure leaves neither the half file nor its temporary name behind.
// Windows (targetdirectory_win.cpp) walks the names one at a time instead and refuses to pass
// junctions and links; it makes no symbolic links.
class TargetDirectory final
{
public:
    TargetDirectory(TargetDirectory &&) noexcept;
    TargetDirectory &operator=(TargetDirectory &&) noexcept;
    ~TargetDirectory();

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
    // The open root directory; its parts differ between the systems.
    struct Root;

    explicit TargetDirectory(std::unique_ptr<Root> root);

    std::unique_ptr<Root> m_root;
};
