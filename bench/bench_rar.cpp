// The stand-in archiver against bsdtar, in one run:
//  1. `rar x` of a backup of 1,000 files of 200 KiB (incompressible) against `bsdtar -xf` of the
//     same archive, in alternating rounds into an empty directory;
//  2. `rar a` of one 10 KB file to that 200 MB backup against adding it to a new (empty) one.
// Every timed run starts after sync(), so write-back of an earlier round does not fall into it.
//
//   bench_rar <rar> <scratch directory> [extract rounds] [add rounds]
//
// bench/run-rar builds rar and this program and calls it with a fresh temporary directory.

#include "samples.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace fs = std::filesystem;

namespace {

constexpr int fileCount = 1000;
constexpr std::size_t fileSize = 200 * 1024;

// Runs the command in dir and returns its wall time in seconds, or a negative value on failure.
double timed(const fs::path &dir, std::vector<std::string> command)
{
    std::vector<char *> argv;
    for (std::string &word : command)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    ::sync();
    const auto start = std::chrono::steady_clock::now();
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    fs::current_path(previous);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

struct Times
{
    std::vector<double> seconds;

    double best() const { return Samples::best(seconds); }
    double median() const { return Samples::median(seconds); }
};

void writeData(const fs::path &dir)
{
    std::mt19937_64 random(42);
    std::vector<std::uint64_t> words(fileSize / sizeof(std::uint64_t));
    fs::create_directories(dir / "src");
    for (int i = 0; i < fileCount; ++i) {
        const fs::path sub = dir / "src" / ("dir" + std::to_string(i / 100));
        fs::create_directories(sub);
        for (auto &word : words)
            word = random();
        std::ofstream(sub / ("file" + std::to_string(i) + ".dat"), std::ios::binary)
            .write(reinterpret_cast<const char *>(words.data()), static_cast<std::streamsize>(fileSize));
    }
    std::ofstream(dir / "small.dat", std::ios::binary) << std::string(10 * 1000, 's');
}

bool failed(const Times &times)
{
    return std::any_of(times.seconds.begin(), times.seconds.end(), [](double s) { return s < 0; });
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_rar <rar> <scratch directory> [extract rounds] [add rounds]\n");
        return 2;
    }
    const std::string rar = fs::absolute(argv[1]).string();
    const fs::path dir = argv[2];
    const int extractRounds = argc > 3 ? std::atoi(argv[3]) : 5;
    const int addRounds = argc > 4 ? std::atoi(argv[4]) : 21;

    writeData(dir);
    if (timed(dir, {rar, "a", "-r", "-idcpdq", "-y", "backup", "src"}) < 0) {
        std::fprintf(stderr, "making the backup failed\n");
        return 1;
    }
    fs::remove_all(dir / "src");
    const std::string backup = (dir / "backup.rar").string();
    std::printf("backup: %ju bytes, %d files of %zu bytes\n\n",
        static_cast<std::uintmax_t>(fs::file_size(backup)), fileCount, fileSize);

    // 1. Extraction; the order alternates so neither tool always runs on a warmer cache.
    Times rarX;
    Times bsdtarX;
    const fs::path out = dir / "out";
    for (int round = -1; round < extractRounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool rarTurn = (turn + round) % 2 == 0;
            fs::remove_all(out);
            fs::create_directories(out);
            const double seconds = rarTurn ? timed(out, {rar, "x", "-idcpdq", "-y", backup})
                                           : timed(out, {"bsdtar", "-xf", backup});
            if (round >= 0) // the first round warms the cache
                (rarTurn ? rarX : bsdtarX).seconds.push_back(seconds);
        }
    }
    fs::remove_all(out);
    if (failed(rarX) || failed(bsdtarX)) {
        std::fprintf(stderr, "an extraction failed\n");
        return 1;
    }
    std::printf("extracting the backup, %d rounds    best s  median s\n", extractRounds);
    std::printf("bsdtar -xf                          %6.3f    %6.3f\n", bsdtarX.best(), bsdtarX.median());
    std::printf("rar x                               %6.3f    %6.3f\n", rarX.best(), rarX.median());
    std::printf("ratio rar / bsdtar                  %6.2f    %6.2f   (target <= 1.10)\n\n",
        rarX.best() / bsdtarX.best(), rarX.median() / bsdtarX.median());

    // 2. Adding one file: to the 200 MB backup, and to a new archive.
    Times toLarge;
    Times toEmpty;
    for (int round = -1; round < addRounds; ++round) {
        fs::remove(dir / "empty.rar");
        const double empty = timed(dir, {rar, "a", "-r", "-idcpdq", "-y", "empty", "small.dat"});
        const double large = timed(dir, {rar, "a", "-r", "-idcpdq", "-y", "backup", "small.dat"});
        if (round >= 0) {
            toEmpty.seconds.push_back(empty);
            toLarge.seconds.push_back(large);
        }
    }
    if (failed(toLarge) || failed(toEmpty)) {
        std::fprintf(stderr, "an addition failed\n");
        return 1;
    }
    std::printf("adding a 10 KB file, %d rounds     best ms  median ms\n", addRounds);
    std::printf(
        "to a new archive                    %6.2f    %6.2f\n", toEmpty.best() * 1e3, toEmpty.median() * 1e3);
    std::printf(
        "to the 200 MB backup                %6.2f    %6.2f\n", toLarge.best() * 1e3, toLarge.median() * 1e3);
    std::printf("ratio                               %6.2f    %6.2f   (target <= 1.50)\n",
        toLarge.best() / toEmpty.best(), toLarge.median() / toEmpty.median());
    return 0;
}
