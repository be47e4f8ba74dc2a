// Start-up to the first painted window. The floor is a bare Qt Widgets program that shows a small
// dialog and ends after its first paint (bench_floor); against it runs tav's own start sequence in
// mode "Ast" (bench_tavwindow: application object, code pages, message handler, catalog, settings,
// style sheet, command line, the asteroid dialog built and shown) up to the first paint of its
// dialog, once with the shipped catalog and once with a catalog of 20,000 lines. Each sample is a
// fresh process, timed from its start to its exit; the programs take turns round after round, so
// that all of them see the same machine load.
//
//     bench_startup [rounds]        (default 40; the programs are looked for beside it)
//
// The offscreen platform is always measured. When DISPLAY names an X server (bench/run-startup
// starts Xvfb with a window manager), the same programs are also measured on xcb, where the
// window is mapped by the window manager and painted on its first expose.
#include "support/codepage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int largeCatalogLines = 20000;

const QByteArray settings = "Ov=0 0 0 0 0 0 0 0 0 0   0 0 0 0 0 0 0 0 0 0 \nhFont=16\nLang=ru\n";

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// `lines` physical lines in code page 866, shaped like a real catalog: comments, dialog
// descriptions with continuation lines, Cyrillic captions with suffixes, lists. None of its keys
// is one that tav uses.
QByteArray fillerCatalog(int lines)
{
    QString text;
    int written = 0;
    for (int i = 0; written < lines; ++i) {
        if (i % 50 == 0) {
            text += QStringLiteral("* Раздел %1: описания диалогов и подписи\n").arg(i / 50);
            ++written;
        } else if (i % 10 == 0 && lines - written >= 3) {
            text += QStringLiteral("Dlg%1 {Gr1 Kn%1 Lb%1 @\n  Cb%1[3] Ed%1 @\n  Ok Can}\n").arg(i);
            written += 3;
        } else {
            text += QStringLiteral("Key%1 Подпись номер %1 для поля ввода[%2]/второй/третий\n")
                        .arg(i)
                        .arg(i % 20);
            ++written;
        }
    }
    return CodePage::unicodeToCp866(text);
}

struct Sample
{
    qint64 nanoseconds = -1;
    QByteArray firstWindow;
};

Sample timeRun(const QString &program, const QString &platform, const QString &directory)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments({QStringLiteral("F=Ast")});
    process.setWorkingDirectory(directory);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    process.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    process.start();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        std::fprintf(stderr, "%s on %s did not end normally: %s\n", qPrintable(program), qPrintable(platform),
            process.readAllStandardError().constData());
        return {};
    }
    const qint64 elapsed = timer.nsecsElapsed();
    return {elapsed, process.readAllStandardOutput().trimmed()};
}

struct Series
{
    QString platform;
    const char *name;
    QString program;
    QString directory;
    QByteArray expectedWindow;
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
    const QString tav = binDir + QStringLiteral("/bench_tavwindow");
    const QString floor = binDir + QStringLiteral("/bench_floor");
    QFile shippedCatalog(binDir + QStringLiteral("/tav.t"));
    if (!shippedCatalog.open(QIODevice::ReadOnly) || !QFile::exists(binDir + QStringLiteral("/tav.qss"))) {
        std::fprintf(stderr, "the shipped tav.t and tav.qss must be beside %s\n", qPrintable(tav));
        return 2;
    }
    const QByteArray shipped = shippedCatalog.readAll();

    // Two installations: each has the settings, the marker file that makes it its own ephemeris
    // directory (so no box comes before the dialog) and a catalog. The large catalog holds the
    // shipped one after 20,000 lines of others, so that each key tav looks up lies past them.
    QTemporaryDir shippedDir;
    QTemporaryDir largeDir;
    const QByteArray large = fillerCatalog(largeCatalogLines - int(shipped.count('\n'))) + shipped;
    bool prepared = shippedDir.isValid() && largeDir.isValid();
    for (const auto &[dir, catalog] : {std::pair{&shippedDir, &shipped}, std::pair{&largeDir, &large}}) {
        prepared = prepared && writeFile(dir->filePath(QStringLiteral("tavx.in")), settings)
            && writeFile(dir->filePath(QStringLiteral("PLP018.E1")), {})
            && writeFile(dir->filePath(QStringLiteral("tav.t")), *catalog);
    }
    if (!prepared) {
        std::fprintf(stderr, "cannot prepare the installation directories\n");
        return 2;
    }

    QStringList platforms{QStringLiteral("offscreen")};
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        platforms << QStringLiteral("xcb");
    std::vector<Series> series;
    for (const QString &platform : std::as_const(platforms)) {
        series.push_back({platform, "floor (dialog, first paint)", floor, shippedDir.path(), "QDialog", {}});
        series.push_back({platform, "tav F=Ast, shipped catalog", tav, shippedDir.path(), "TAster", {}});
        series.push_back({platform, "tav F=Ast, 20,000-line catalog", tav, largeDir.path(), "TAster", {}});
    }

    // One warm-up round fills the caches and checks that each program painted the window it
    // should have (a box shown on the way would have been painted first).
    for (const Series &s : series) {
        const Sample sample = timeRun(s.program, s.platform, s.directory);
        if (sample.nanoseconds < 0)
            return 1;
        if (sample.firstWindow != s.expectedWindow) {
            std::fprintf(stderr, "%s on %s painted %s first, not %s\n", s.name, qPrintable(s.platform),
                sample.firstWindow.constData(), s.expectedWindow.constData());
            return 1;
        }
    }
    for (int round = 0; round < rounds; ++round) {
        for (Series &s : series) {
            const Sample sample = timeRun(s.program, s.platform, s.directory);
            if (sample.nanoseconds < 0)
                return 1;
            s.times.push_back(sample.nanoseconds);
        }
    }

    std::printf(
        "%d rounds, catalog of 20,000 lines = %lld bytes\n", rounds, static_cast<long long>(large.size()));
    std::printf("%-10s %-32s %10s %10s %8s\n", "platform", "program", "median ms", "min ms", "ratio");
    for (size_t i = 0; i < series.size(); ++i) {
        const Series &s = series[i];
        const double floorMs = series[i - i % 3].medianMs();
        std::printf("%-10s %-32s %10.2f %10.2f %8.3f\n", qPrintable(s.platform), s.name, s.medianMs(),
            s.minMs(), s.medianMs() / floorMs);
    }
    return 0;
}
