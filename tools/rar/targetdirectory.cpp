#include "targetdirectory.h"

#include "uniquefd.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

// Resolution beneath the root without openat2 (kernels before 5.6, or a sandbox that hides it):
// one component at a time, no symbolic link followed and no ".." taken at all.
int openNoLinks(int root, const std::string &name, int flags)
{
    std::vector<std::string> parts;
    for (std::size_t start = 0; start <= name.size();) {
        const std::size_t slash = std::min(name.find('/', start), name.size());
        if (slash > start)
            parts.push_back(name.substr(start, slash - start));
        start = slash + 1;
    }
    UniqueFd current(::openat(root, ".", (parts.empty() ? flags : O_RDONLY | O_DIRECTORY) | O_CLOEXEC));
    for (std::size_t i = 0; i < parts.size() && current.isValid(); ++i) {
        if (parts[i] == "..") {
            errno = EXDEV;
            return -1;
        }
        const int last = i + 1 == parts.size() ? flags : O_RDONLY | O_DIRECTORY;
        current = UniqueFd(::openat(current.get(), parts[i].c_str(), last | O_NOFOLLOW | O_CLOEXEC));
    }
    return current.release();
}

// Opens name (relative, "" for the root) as the kernel resolves it beneath root: EXDEV when it
// leads outside, through ".." or a symbolic link.
int openBeneath(int root, const std::string &name, int flags)
{
    static bool haveOpenat2 = true;
    if (haveOpenat2) {
        open_how how{};
        how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
        const char *path = name.empty() ? "." : name.c_str();
        const int fd = static_cast<int>(::syscall(SYS_openat2, root, path, &how, sizeof how));
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM))
            return fd;
        haveOpenat2 = false;
    }
    return openNoLinks(root, name, flags);
}

int openBeneath(int root, const EntryPath &path, int flags)
{
    return openBeneath(root, path.toString(), flags);
}

Result resolutionFailure(int error)
{
    if (error == EXDEV)
        return Result::failure("path through a link leading outside the target refused");
    if (error == ELOOP)
        return Result::failure("path through a symbolic link refused");
    return Result::fromErrno(error);
}

// Opens the directory at path beneath the root, making the missing components when create is set.
Result openDirectory(int root, const EntryPath &path, bool create, UniqueFd &directory)
{
    constexpr int flags = O_RDONLY | O_DIRECTORY;
    directory = UniqueFd(openBeneath(root, path, flags));
    if (directory.isValid())
        return Result::success();
    if (errno != ENOENT || !create)
        return resolutionFailure(errno);
    // Walk down from the root, making what is missing; every step is resolved beneath the root.
    UniqueFd current(openBeneath(root, EntryPath(), flags));
    EntryPath walked;
    for (const std::string &part : path.components()) {
        walked = walked.child(part);
        UniqueFd next(openBeneath(root, walked, flags));
        if (!next.isValid() && errno == ENOENT) {
            if (::mkdirat(current.get(), part.c_str(), 0777) != 0 && errno != EEXIST)
                return Result::fromErrno(errno);
            next = UniqueFd(openBeneath(root, walked, flags));
        }
        if (!next.isValid())
            return resolutionFailure(errno);
        current = std::move(next);
    }
    directory = std::move(current);
    return Result::success();
}

// Makes an object under a free temporary name in the directory of path (make receives the
// directory and the name) and renames it to path.
Result place(int root, const EntryPath &path, const std::function<Result(int dir, const char *name)> &make)
{
    if (path.isRoot())
        return Result::failure("the target directory itself cannot be replaced");
    UniqueFd directory;
    if (Result opened = openDirectory(root, path.parent(), true, directory); !opened.ok())
        return opened;
    // A name left by a killed run of the same process id is passed over; make() creates
    // exclusively, so a name taken in between fails the entry instead of replacing anything.
    static unsigned counter = 0;
    std::string temporary;
    do {
        temporary = ".rar-" + std::to_string(::getpid()) + '-' + std::to_string(++counter) + ".tmp";
    } while (::faccessat(directory.get(), temporary.c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0);
    if (Result made = make(directory.get(), temporary.c_str()); !made.ok())
        return made;
    const std::string name = path.fileName();
    if (::renameat(directory.get(), temporary.c_str(), directory.get(), name.c_str()) != 0) {
        const int error = errno;
        ::unlinkat(directory.get(), temporary.c_str(), 0);
        return Result::fromErrno(error);
    }
    return Result::success();
}

} // namespace

struct TargetDirectory::Root
{
    UniqueFd fd;
};

TargetDirectory::TargetDirectory(std::unique_ptr<Root> root)
    : m_root(std::move(root))
{ }
TargetDirectory::TargetDirectory(TargetDirectory &&) noexcept = default;
TargetDirectory &TargetDirectory::operator=(TargetDirectory &&) noexcept = default;
TargetDirectory::~TargetDirectory() = default;

std::optional<TargetDirectory> TargetDirectory::open(const std::string &path, std::string &reason)
{
    std::error_code error;
    std::filesystem::create_directories(path, error);
    UniqueFd root(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.isValid()) {
        reason = Result::fromErrno(errno).reason();
        return std::nullopt;
    }
    return TargetDirectory(std::make_unique<Root>(Root{std::move(root)}));
}

Result TargetDirectory::writeFile(const EntryPath &path, mode_t mode, const std::optional<timespec> &mtime,
    const std::function<Result(int fd)> &writeData)
{
    return place(m_root->fd.get(), path, [&](int directory, const char *name) {
        UniqueFd file(::openat(directory, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (!file.isValid())
            return Result::fromErrno(errno);
        Result written = writeData(file.get());
        if (written.ok() && mtime) {
            const timespec times[2] = {{0, UTIME_OMIT}, *mtime};
            if (::futimens(file.get(), times) != 0)
                written = Result::fromErrno(errno);
        }
        // close() reports what the file system could not store after all (quota, network disks).
        if (file.close() != 0 && written.ok())
            written = Result::fromErrno(errno);
        if (!written.ok())
            ::unlinkat(directory, name, 0);
        return written;
    });
}

Result TargetDirectory::makeSymlink(const EntryPath &path, const std::string &target)
{
    if (Result allowed = path.checkLinkTarget(target); !allowed.ok())
        return allowed;
    // Where the link leads today, as the kernel resolves it: the names it passes may be links
    // themselves (what they are later is checked when they are made).
    const std::string parent = path.parent().toString();
    UniqueFd probe(openBeneath(m_root->fd.get(), parent.empty() ? target : parent + '/' + target, O_PATH));
    if (!probe.isValid() && (errno == EXDEV || errno == ELOOP))
        return Result::failure("link leading outside the target refused");
    return place(m_root->fd.get(), path, [&](int directory, const char *name) {
        return ::symlinkat(target.c_str(), directory, name) == 0 ? Result::success()
                                                                 : Result::fromErrno(errno);
    });
}

Result TargetDirectory::makeHardLink(const EntryPath &path, const EntryPath &existing)
{
    if (existing.isRoot())
        return Result::failure("hard link to the target directory refused");
    UniqueFd existingDirectory;
    if (Result opened = openDirectory(m_root->fd.get(), existing.parent(), false, existingDirectory);
        !opened.ok())
        return Result::failure("hard link target " + existing.toString() + ": " + opened.reason());
    const std::string existingName = existing.fileName();
    // Renaming a link over another name of the same file does nothing and would leave the
    // temporary name behind; the link is there already.
    struct stat from
    {
    };
    struct stat to
    {
    };
    UniqueFd directory;
    if (::fstatat(existingDirectory.get(), existingName.c_str(), &from, AT_SYMLINK_NOFOLLOW) == 0
        && openDirectory(m_root->fd.get(), path.parent(), false, directory).ok()
        && ::fstatat(directory.get(), path.fileName().c_str(), &to, AT_SYMLINK_NOFOLLOW) == 0
        && from.st_dev == to.st_dev && from.st_ino == to.st_ino) {
        return Result::success();
    }
    return place(m_root->fd.get(), path, [&](int directory, const char *name) {
        if (::linkat(existingDirectory.get(), existingName.c_str(), directory, name, 0) == 0)
            return Result::success();
        return Result::fromErrno(errno);
    });
}

Result TargetDirectory::makeDirectory(const EntryPath &path)
{
    UniqueFd directory;
    return openDirectory(m_root->fd.get(), path, true, directory);
}

Result TargetDirectory::setModificationTime(const EntryPath &path, const timespec &mtime)
{
    UniqueFd directory(openBeneath(m_root->fd.get(), path, O_RDONLY));
    if (!directory.isValid())
        return resolutionFailure(errno);
    const timespec times[2] = {{0, UTIME_OMIT}, mtime};
    return ::futimens(directory.get(), times) == 0 ? Result::success() : Result::fromErrno(errno);
}
