// The update check against the file system's floor, in one run: 10,000 unpacked files in "UP00",
// 5,000 of them two hours newer than their installed copies, the other 5,000 as old; the check
// (listing, the one-hour rule, the groups) against a loop of stat() over the same 20,000 paths,
// in alternating rounds. Everything is in the page cache after the first round.
//
//   bench_updatecheck [rounds]    (runs in a temporary directory that it removes)

#include "modes/update/updatecheck.h"

#include "samples.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int fileCount = 10000;

bool makeFile(const QString &path, const QDateTime &modified)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1 && file.flush()
        && file.setFileTime(modified, QFileDevice::FileModificationTime);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir::setCurrent(dir.path()) || !QDir().mkdir(QStringLiteral("UP00")))
        return 1;

    const QDateTime installed = QDateTime::currentDateTime().addDays(-10);
    std::vector<QByteArray> paths;
    for (int i = 0; i < fileCount; ++i) {
        const QString name = QStringLiteral("file%1.dat").arg(i, 5, 10, QLatin1Char('0'));
        const bool newer = i % 2 == 0;
        if (!makeFile(QStringLiteral("UP00/") + name, newer ? installed.addSecs(7200) : installed)
            || !makeFile(name, installed))
            return 1;
        paths.push_back(QFile::encodeName(QStringLiteral("UP00/") + name));
        paths.push_back(QFile::encodeName(name));
    }

    std::vector<double> check;
    std::vector<double> floor;
    qsizetype selected = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        const QList<QByteArray> candidates = UpdateCheck::candidates("ko10.rar");
        UpdateCheck::Selection selection = UpdateCheck::select(candidates);
        UpdateCheck::completeGroups(selection, candidates);
        check.push_back(timer.nsecsElapsed() / 1e6);
        selected = selection.selected.size();

        timer.restart();
        int found = 0;
        struct stat status;
        for (const QByteArray &path : paths)
            found += ::stat(path.constData(), &status) == 0 ? 1 : 0;
        floor.push_back(timer.nsecsElapsed() / 1e6);
        if (found != 2 * fileCount)
            return 1;
    }
    if (selected != fileCount / 2) {
        std::fprintf(stderr, "the check selected %lld files instead of %d\n",
            static_cast<long long>(selected), fileCount / 2);
        return 1;
    }

    std::printf(
        "%d unpacked files, %lld newer, %d rounds\n", fileCount, static_cast<long long>(selected), rounds);
    std::printf("%-34s %9s %9s\n", "", "best ms", "median ms");
    std::printf(
        "%-34s %9.2f %9.2f\n", "stat() of the 20,000 paths", Samples::best(floor), Samples::median(floor));
    std::printf("%-34s %9.2f %9.2f\n", "update check", Samples::best(check), Samples::median(check));
    std::printf("%-34s %9.2f %9.2f   (target <= 2)\n", "ratio check / stat()",
        Samples::best(check) / Samples::best(floor), Samples::median(check) / Samples::median(floor));
    return 0;
}
