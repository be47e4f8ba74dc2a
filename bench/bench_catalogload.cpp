// Time of loading a catalog file in-process (the catalog part of the start-up benchmark).
//     bench_catalogload <catalog file> [repetitions]
#include "shell/catalog.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_catalogload <catalog file> [repetitions]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int repetitions = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 20;
    qint64 best = -1;
    for (int i = 0; i < repetitions; ++i) {
        Catalog::clear();
        QElapsedTimer timer;
        timer.start();
        Catalog::load(path);
        const qint64 elapsed = timer.nsecsElapsed();
        if (best < 0 || elapsed < best)
            best = elapsed;
    }
    std::printf("best of %d loads: %.2f ms\n", repetitions, double(best) / 1e6);
    return Catalog::isLoaded() ? 0 : 1;
}
