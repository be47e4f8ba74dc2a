// Download throughput of FtpClient against the curl command line, both fetching the same file
// from the same local server in one run, and the responsiveness of the GUI thread meanwhile:
// a 5 ms repeating timer runs during each FtpClient download and the longest gap between two
// of its ticks is reported.
//
//   bench_ftp <ftp://127.0.0.1:port/dir/file> <scratch directory> [rounds]
//
// bench/run-ftp makes the file, starts the server and calls this.

#include "platform/ftp/ftpclient.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstdio>

namespace {

struct Result
{
    double seconds = 0;
    qint64 bytes = 0;
    double longestGapMs = 0;
    bool ok = false;
    QString error;
};

Result fetchWithCurlTool(const QString &url, const QString &target)
{
    Result result;
    QFile::remove(target);
    QElapsedTimer clock;
    clock.start();
    // Passive mode without EPSV, as FtpClient does.
    const int exitCode = QProcess::execute(QStringLiteral("curl"),
        {QStringLiteral("--disable-epsv"), QStringLiteral("-s"), QStringLiteral("-S"), QStringLiteral("-o"),
            target, url});
    result.seconds = double(clock.nsecsElapsed()) / 1e9;
    result.bytes = QFileInfo(target).size();
    result.ok = exitCode == 0;
    if (!result.ok)
        result.error = QStringLiteral("curl exit code %1").arg(exitCode);
    return result;
}

Result fetchWithFtpClient(const QUrl &url, const QString &target)
{
    Result result;
    QFile::remove(target);
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = file.errorString();
        return result;
    }

    FtpClient ftp;
    QEventLoop loop;
    bool failed = true;
    QObject::connect(&ftp, &FtpClient::done, &loop, [&](bool error) {
        failed = error;
        loop.quit();
    });

    QElapsedTimer tickClock;
    qint64 lastTick = -1;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = tickClock.nsecsElapsed();
        if (lastTick >= 0)
            longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });

    const QString path = url.path();
    const QString directory = path.section(u'/', 0, -2);
    const QString name = path.section(u'/', -1);

    QElapsedTimer clock;
    clock.start();
    tickClock.start();
    ticker.start();
    ftp.connectToHost(url.host(), quint16(url.port(21)));
    ftp.login(url.userName(), url.password());
    if (!directory.isEmpty())
        ftp.cd(directory);
    ftp.get(name, &file);
    ftp.close();
    loop.exec();
    file.close();
    result.seconds = double(clock.nsecsElapsed()) / 1e9;
    ticker.stop();

    result.bytes = QFileInfo(target).size();
    result.longestGapMs = double(longestGap) / 1e6;
    result.ok = !failed;
    if (failed)
        result.error = ftp.errorString();
    return result;
}

double megabytesPerSecond(const Result &result)
{
    return result.seconds > 0 ? double(result.bytes) / (1024.0 * 1024.0) / result.seconds : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 3) {
        std::fprintf(stderr, "usage: bench_ftp <ftp-url-of-file> <scratch-dir> [rounds]\n");
        return 2;
    }
    const QUrl url(arguments.at(1));
    const QDir scratch(arguments.at(2));
    const int rounds = arguments.size() > 3 ? std::max(1, arguments.at(3).toInt()) : 3;

    QList<Result> tool;
    QList<Result> client;
    // Alternating rounds, so that a busy moment of the machine hits both sides alike.
    for (int round = 0; round < rounds; ++round) {
        tool << fetchWithCurlTool(url.toString(), scratch.filePath(QStringLiteral("curl.bin")));
        client << fetchWithFtpClient(url, scratch.filePath(QStringLiteral("client.bin")));
        for (const Result *r : {&tool.last(), &client.last()}) {
            if (!r->ok) {
                std::fprintf(stderr, "round %d failed: %s\n", round + 1, qPrintable(r->error));
                return 1;
            }
        }
        std::printf("round %d: curl %.1f MB/s, FtpClient %.1f MB/s, longest timer gap %.1f ms\n", round + 1,
            megabytesPerSecond(tool.last()), megabytesPerSecond(client.last()), client.last().longestGapMs);
        std::fflush(stdout);
    }

    auto best = [](const QList<Result> &results) {
        return *std::max_element(results.begin(), results.end(),
            [](const Result &a, const Result &b) { return megabytesPerSecond(a) < megabytesPerSecond(b); });
    };
    const Result bestTool = best(tool);
    const Result bestClient = best(client);
    double longestGap = 0;
    for (const Result &r : client)
        longestGap = std::max(longestGap, r.longestGapMs);
    const double ratio = megabytesPerSecond(bestClient) / megabytesPerSecond(bestTool);

    std::printf("file: %lld bytes, %d rounds, best of each\n", qlonglong(bestClient.bytes), rounds);
    std::printf("curl command line   %8.1f MB/s  %6.2f s\n", megabytesPerSecond(bestTool), bestTool.seconds);
    std::printf(
        "FtpClient           %8.1f MB/s  %6.2f s\n", megabytesPerSecond(bestClient), bestClient.seconds);
    std::printf("throughput ratio    %8.2f  (target >= 0.90)\n", ratio);
    std::printf("longest gap of the 5 ms timer during the downloads: %.1f ms (target < 25 ms)\n", longestGap);
    return 0;
}
