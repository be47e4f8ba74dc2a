// Verification of a signed archive by the updater against the minisign command line on the same
// file, in alternating rounds: `minisign -Vm` (a process, timed from its start to its exit) and
// SignatureCheck (the check on its worker thread, timed from start() to the finished() the event
// loop delivers). Meanwhile a 5 ms timer runs on the GUI thread and its longest gap is reported:
// the window must not stall for a frame (16 ms). The same timer runs while minisign works in its
// own process: what the machine's load does to the GUI thread without any work on it.
//
//   bench_verify <file> <file.minisig> <public key file> [rounds]
//
// bench/run-verify makes the file, the key pair and the signature and calls this.

#include "platform/signature/signaturecheck.h"

#include "samples.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The longest gap between two ticks of a 5 ms timer on this thread while it runs.
class GapWatch final
{
public:
    GapWatch()
    {
        m_ticker.setTimerType(Qt::PreciseTimer);
        m_ticker.setInterval(5);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_lastTick >= 0)
                m_longest = std::max(m_longest, now - m_lastTick);
            m_lastTick = now;
        });
        m_clock.start();
        m_ticker.start();
    }
    [[nodiscard]] double longestMs() const { return double(m_longest) / 1e6; }

private:
    QTimer m_ticker;
    QElapsedTimer m_clock;
    qint64 m_lastTick = -1;
    qint64 m_longest = 0;
};

// The command runs as a process while this thread's event loop turns, so that the timer shows
// what the machine's load alone does to it.
double runMinisign(const QStringList &arguments, double &longestGapMs)
{
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    const GapWatch watch;
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral("minisign"), arguments);
    if (!process.waitForStarted())
        return -1;
    loop.exec();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    longestGapMs = std::max(longestGapMs, watch.longestMs());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 ? ms : -1;
}

double runCheck(const QString &file, const QByteArray &signature, const QByteArray &key, double &longestGapMs)
{
    SignatureCheck check;
    QEventLoop loop;
    bool verified = false;
    QObject::connect(&check, &SignatureCheck::finished, &loop, [&](const Minisign::Result &result) {
        verified = result.verified();
        loop.quit();
    });
    const GapWatch watch;
    QElapsedTimer clock;
    clock.start();
    check.start(file, signature, key);
    loop.exec();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    longestGapMs = std::max(longestGapMs, watch.longestMs());
    return verified ? ms : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 4) {
        std::fprintf(stderr, "usage: bench_verify <file> <file.minisig> <public key file> [rounds]\n");
        return 2;
    }
    const QString file = arguments.at(1);
    const QByteArray signature = readFile(arguments.at(2));
    const QByteArray key = readFile(arguments.at(3));
    const int rounds = arguments.size() > 4 ? std::max(1, arguments.at(4).toInt()) : 7;
    const QStringList tool{QStringLiteral("-V"), QStringLiteral("-q"), QStringLiteral("-m"), file,
        QStringLiteral("-x"), arguments.at(2), QStringLiteral("-p"), arguments.at(3)};

    std::vector<double> minisign;
    std::vector<double> updater;
    double longestGap = 0;
    double longestGapOfTool = 0;
    // A first round of each that is not counted brings the file into the page cache for both.
    for (int round = 0; round <= rounds; ++round) {
        const double toolMs = runMinisign(tool, longestGapOfTool);
        const double checkMs = runCheck(file, signature, key, longestGap);
        if (toolMs < 0 || checkMs < 0) {
            std::fprintf(stderr, "round %d: a verification failed\n", round);
            return 1;
        }
        if (round == 0)
            continue;
        minisign.push_back(toolMs);
        updater.push_back(checkMs);
        std::printf("round %d: minisign -Vm %.1f ms, SignatureCheck %.1f ms\n", round, toolMs, checkMs);
        std::fflush(stdout);
    }
    std::printf("file: %lld bytes, %d rounds\n", qlonglong(QFile(file).size()), rounds);
    std::printf("                      best ms   median ms\n");
    std::printf("minisign -Vm         %8.1f    %8.1f\n", Samples::best(minisign), Samples::median(minisign));
    std::printf("SignatureCheck       %8.1f    %8.1f\n", Samples::best(updater), Samples::median(updater));
    std::printf("ratio                %8.2f    %8.2f  (target <= 1.10)\n",
        Samples::best(updater) / Samples::best(minisign),
        Samples::median(updater) / Samples::median(minisign));
    std::printf("longest gap of the 5 ms timer: %.1f ms during the checks (target < 16 ms), %.1f ms while "
                "minisign ran as a process\n",
        longestGap, longestGapOfTool);
    return 0;
}
