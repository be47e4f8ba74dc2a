// Fuzz entry: any bytes as an archive for the archiver's extraction, into a fresh directory each
// run. Nothing may appear beside it (or beside its parents), and no link in it may lead out.

#include "archiveextractor.h"
#include "targetdirectory.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Outlives every static object: it is removed at exit.
char baseName[] = "/tmp/tav-fuzz-rar-XXXXXX";

// base/1/2/target: an entry that climbs one, two or three levels out lands in a listed directory.
const fs::path &base()
{
    static const fs::path path = [] {
        // A few bytes may unpack to gigabytes: files are cut at 4 MiB (the write fails, as on a
        // full disk).
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4 << 20, 4 << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        if (!mkdtemp(baseName))
            std::abort();
        std::atexit([] {
            std::error_code error;
            fs::remove_all(baseName, error);
        });
        return fs::path(baseName);
    }();
    return path;
}

bool holdsOnly(const fs::path &directory, const fs::path &name)
{
    std::error_code error;
    for (const fs::directory_entry &entry : fs::directory_iterator(directory, error)) {
        if (entry.path().filename() != name)
            return false;
    }
    return !error;
}

// True when the link at path, followed one step (its target resolved from the link's directory,
// through the links that exist, lexically beyond), stays inside root. Every link is checked, so
// chains of links are covered.
bool leadsInside(const fs::path &link, const fs::path &root)
{
    std::error_code error;
    const fs::path target = fs::read_symlink(link, error);
    if (error)
        return false;
    const fs::path resolved = fs::weakly_canonical(link.parent_path() / target, error);
    if (error)
        return true; // a loop of links leads nowhere
    const auto [rootEnd, unused] = std::mismatch(root.begin(), root.end(), resolved.begin(), resolved.end());
    (void)unused;
    return rootEnd == root.end();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const fs::path levels = base() / "1" / "2";
    const fs::path target = levels / "target";
    std::error_code error;
    fs::remove_all(base() / "1", error);
    fs::create_directories(target, error);
    {
        std::string reason;
        std::optional<TargetDirectory> directory = TargetDirectory::open(target.string(), reason);
        if (!directory)
            std::abort();
        ArchiveExtractor extractor(*directory);
        (void)extractor.extractMemory(data, size);
    }
    if (!holdsOnly(base(), "1") || !holdsOnly(base() / "1", "2") || !holdsOnly(levels, "target"))
        std::abort();
    const fs::path root = fs::canonical(target);
    for (auto it = fs::recursive_directory_iterator(target, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_symlink() && !leadsInside(it->path(), root))
            std::abort();
    }
    fs::remove_all(base() / "1", error);
    return 0;
}
