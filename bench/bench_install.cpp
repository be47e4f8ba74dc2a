// Installing an update of many replaced files with their backup, against the same moves without
// a backup, in one run:
//  1. Installer::installFiles over N installed files of 10 KB (all added to "predver.rar" by one
//     archiver run, then each moved in);
//  2. the same N moves of fresh new files over the installed ones with nothing backed up.
// Both start from the same state and after sync(), so the ratio shows what the backup costs.
//
//   bench_install <rar> <scratch directory> [files]
//
// bench/run-install builds rar and this program and calls it with a fresh temporary directory.

#include "modes/update/installer.h"
#include "modes/update/updatelog.h"
#include "modes/update/updateview.h"
#include "platform/filereplacement.h"
#include "shell/diagnostics.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <unistd.h>

namespace {

// The log view of the dialog costs nothing here; only the installation is timed.
class QuietView final : public UpdateView
{
public:
    void logLine(QByteArrayView, std::optional<Qt::GlobalColor>) override { }
    void clearLog() override { }
    void setBusy(bool) override { }
    QWidget *window() override { return nullptr; }
};

// dir/NN/fileNNNN.dat, 100 files per folder, like an installation's data folders.
QList<QByteArray> makeFiles(const QString &dir, int count, char fill)
{
    QList<QByteArray> entries;
    const QByteArray contents(10 * 1024, fill);
    for (int i = 0; i < count; ++i) {
        const QByteArray entry = QByteArray::number(i / 100).rightJustified(2, '0') + "/file"
            + QByteArray::number(i).rightJustified(4, '0') + ".dat";
        const QString path = dir + u'/' + QString::fromLatin1(entry);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
            return {};
        entries << entry;
    }
    return entries;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_install <rar> <scratch directory> [files]\n");
        return 2;
    }
    const QString rar = QString::fromLocal8Bit(argv[1]);
    const QDir scratch(QString::fromLocal8Bit(argv[2]));
    const int count = argc > 3 ? std::atoi(argv[3]) : 2000;
    Diagnostics::setRecording(true);

    QDir::setCurrent(scratch.path());
    if (!QFile::copy(rar, QStringLiteral("rar"))) {
        std::fprintf(stderr, "cannot copy %s\n", argv[1]);
        return 1;
    }
    const QList<QByteArray> entries = makeFiles(scratch.path(), count, 'o');

    // The baseline first: moves over the installed files, nothing backed up.
    if (makeFiles(scratch.filePath(QStringLiteral("UP00")), count, 'm').size() != count)
        return 1;
    ::sync();
    QElapsedTimer timer;
    timer.start();
    for (const QByteArray &entry : entries) {
        const QString name = QString::fromLatin1(entry);
        if (!FileReplacement::replace(QStringLiteral("UP00/") + name, name).ok)
            return 1;
    }
    const double movesOnly = double(timer.nsecsElapsed()) / 1e9;

    if (makeFiles(scratch.filePath(QStringLiteral("UP00")), count, 'n').size() != count)
        return 1;
    QuietView view;
    UpdateLog log("00000.log");
    Installer installer(view, log, "kora10.exe");
    ::sync();
    timer.restart();
    const Installer::Result result = installer.installFiles(entries);
    const double withBackup = double(timer.nsecsElapsed()) / 1e9;
    if (result.installed != count) {
        std::fprintf(stderr, "%d files were not installed\n", result.failed);
        return 1;
    }

    std::printf("%d replaced files of 10 KB; backup %lld bytes\n\n", count,
        static_cast<long long>(QFileInfo(QStringLiteral("predver.rar")).size()));
    std::printf("                             total s   ms per file\n");
    std::printf("moves only (no backup)      %8.3f   %9.3f\n", movesOnly, movesOnly * 1000 / count);
    std::printf("installFiles with backup    %8.3f   %9.3f\n", withBackup, withBackup * 1000 / count);
    std::printf("ratio                       %8.1f\n", withBackup / movesOnly);
    return 0;
}
