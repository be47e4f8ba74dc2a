// Start-up of `tav` up to where a mode's window would be built (an unknown mode: application
// object, code pages, message handler, catalog, settings, style sheet, command line), against the
// floor program that only constructs its application object. The three programs are run in turn,
// round after round, so that all of them see the same machine load.
//
//     bench_startup [rounds]        (default 40; tav and bench_floor are looked for beside it)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextCodec>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QByteArray settings = "Ov=0 0 0 0 0 0 0 0 0 0   0 0 0 0 0 0 0 0 0 0 \nhFont=16\nLang=ru\n";

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A catalog of `lines` physical lines in code page 866, shaped like the real one: comments,
// dialog descriptions with continuation lines, Cyrillic captions with suffixes, lists.
QByteArray generatedCatalog(int lines)
{
    QTextCodec *codec = QTextCodec::codecForName("IBM866");
    QString text;
    int written = 0;
    for (int i = 0; written < lines; ++i) {
        if (i % 50 == 0) {
            text += QStringLiteral("* Раздел %1: описания диалогов и подписи\n").arg(i / 50);
            ++written;
        } else if (i % 10 == 0) {
            text += QStringLiteral("Dlg%1 {Gr1 Kn%1 Lb%1 @\n  Cb%1[3] Ed%1 @\n  Ok Can}\n").arg(i);
            written += 3;
        } else {
            text += QStringLiteral("Key%1 Подпись номер %1 для поля ввода[%2]/второй/третий\n")
                        .arg(i)
                        .arg(i % 20);
            ++written;
        }
    }
    return codec->fromUnicode(text);
}

qint64 timeRun(const QString &program, const QStringList &arguments, const QString &directory)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(directory);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    process.start();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        std::fprintf(stderr, "%s did not end normally: %s\n", qPrintable(program),
            process.readAllStandardError().constData());
        return -1;
    }
    return timer.nsecsElapsed();
}

struct Series
{
    const char *name;
    QString program;
    QString directory;
    std::vector<qint64> times;

    [[nodiscard]] double medianMs() const
    {
        std::vector<qint64> sorted = times;
        std::sort(sorted.begin(), sorted.end());
        const size_t n = sorted.size();
        const double middle
            = n % 2 ? double(sorted[n / 2]) : (double(sorted[n / 2 - 1]) + double(sorted[n / 2])) / 2;
        return middle / 1e6;
    }
    [[nodiscard]] double minMs() const { return double(*std::min_element(times.begin(), times.end())) / 1e6; }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 40;
    const QString binDir = QCoreApplication::applicationDirPath();
    const QString tav = binDir + QStringLiteral("/tav");
    const QString floor = binDir + QStringLiteral("/bench_floor");
    if (!QFile::exists(binDir + QStringLiteral("/tav.t"))
        || !QFile::exists(binDir + QStringLiteral("/tav.qss"))) {
        std::fprintf(stderr, "the shipped tav.t and tav.qss must be beside %s\n", qPrintable(tav));
        return 2;
    }

    QTemporaryDir shipped;
    QTemporaryDir large;
    const QByteArray catalog = generatedCatalog(20000);
    if (!shipped.isValid() || !large.isValid()
        || !writeFile(shipped.filePath(QStringLiteral("tavx.in")), settings)
        || !writeFile(large.filePath(QStringLiteral("tavx.in")), settings)
        || !writeFile(large.filePath(QStringLiteral("tav.t")), catalog)) {
        std::fprintf(stderr, "cannot prepare the installation directories\n");
        return 2;
    }

    std::vector<Series> series = {
        {"floor (QApplication only)", floor, shipped.path(), {}},
        {"tav, shipped catalog", tav, shipped.path(), {}},
        {"tav, 20,000-line catalog", tav, large.path(), {}},
    };
    const QStringList arguments{QStringLiteral("F=none")};
    // One warm-up round fills the caches.
    for (Series &s : series)
        timeRun(s.program, arguments, s.directory);
    for (int round = 0; round < rounds; ++round) {
        for (Series &s : series) {
            const qint64 time = timeRun(s.program, arguments, s.directory);
            if (time < 0)
                return 1;
            s.times.push_back(time);
        }
    }

    const double floorMs = series[0].medianMs();
    std::printf(
        "%d rounds, catalog of 20,000 lines = %lld bytes\n", rounds, static_cast<long long>(catalog.size()));
    std::printf("%-28s %10s %10s %8s\n", "program", "median ms", "min ms", "ratio");
    for (const Series &s : series)
        std::printf("%-28s %10.2f %10.2f %8.3f\n", s.name, s.medianMs(), s.minMs(), s.medianMs() / floorMs);
    return 0;
}
