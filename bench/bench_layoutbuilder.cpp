// Time of building a dialog from its catalog description: the parse alone, and the whole build
// of the widgets (layout installed, not shown), for the gallery of every item kind.
//     QT_QPA_PLATFORM=offscreen bench_layoutbuilder [catalog file] [dialog key] [repetitions]
#include "forms/layoutbuilder.h"
#include "forms/layoutdescription.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"

#include "samples.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    const QString catalog = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                     : QCoreApplication::applicationDirPath() + QStringLiteral("/tav.t");
    const QByteArray key = argc > 2 ? QByteArray(argv[2]) : QByteArray("Gallery");
    const int repetitions = argc > 3 ? std::max(1, QByteArray(argv[3]).toInt()) : 50;

    // The gallery reads a list file and a help text from the working directory; the run's log
    // goes there too.
    QTemporaryDir directory;
    const QString catalogPath = QFileInfo(catalog).absoluteFilePath();
    if (!directory.isValid() || !QDir::setCurrent(directory.path()))
        return 1;
    for (const auto &[name, text] : {std::pair{"gallery.lst", "first\nsecond\nthird\n"},
             std::pair{"gallery.hlp", "@@Intro\nHelp text.\n"}}) {
        QFile file(QString::fromLatin1(name));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write(text);
    }

    Diagnostics::setRecording(true);
    Catalog::load(catalogPath);
    if (!Catalog::isLoaded()) {
        std::fprintf(stderr, "cannot load %s\n", qPrintable(catalogPath));
        return 1;
    }
    const QByteArray description = Catalog::expanded(key);

    std::vector<double> parses;
    std::vector<double> builds;
    int widgets = 0;
    for (int i = 0; i < repetitions; ++i) {
        QElapsedTimer timer;
        timer.start();
        const LayoutDescription parsed = LayoutDescription::parse(description);
        parses.push_back(double(timer.nsecsElapsed()) / 1e3);
        if (parsed.groups().isEmpty())
            return 1;

        QDialog dialog;
        timer.restart();
        dialog.setLayout(LayoutBuilder::buildLayout(key, &dialog));
        builds.push_back(double(timer.nsecsElapsed()) / 1e6);
        widgets = int(dialog.findChildren<QWidget *>().size());
    }
    std::printf("%s: %lld characters, %d widgets, %d repetitions\n", key.constData(),
        static_cast<long long>(description.size()), widgets, repetitions);
    std::printf(
        "parse only       median %8.1f us   best %8.1f us\n", Samples::median(parses), Samples::best(parses));
    std::printf(
        "build (widgets)  median %8.2f ms   best %8.2f ms\n", Samples::median(builds), Samples::best(builds));
    return 0;
}
