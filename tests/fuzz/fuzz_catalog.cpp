// Fuzz entry: any bytes as the catalog file "tav.t", then lookups of the keys it holds. The
// loader must take every file, and the accessors must keep to their limits.

#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "support/stringlist.h"

#include <QByteArrayList>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdlib>

namespace {

QString catalogPath()
{
    return QDir::tempPath()
        + QStringLiteral("/tav-fuzz-catalog-%1.t").arg(QCoreApplication::applicationPid());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const bool ready = [] {
        Diagnostics::setRecording(true);
        return true;
    }();
    (void)ready;

    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString path = catalogPath();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(bytes);
    }
    Catalog::clear();
    Catalog::load(path);
    if (!Catalog::isLoaded())
        std::abort();

    // The first word of each line is a key candidate; so are the names between braces.
    QByteArrayList keys;
    for (const QByteArray &line : bytes.split('\n')) {
        keys.append(line.left(line.indexOf(' ')));
        const qsizetype open = line.indexOf('{');
        if (open >= 0)
            keys.append(line.mid(open + 1, line.indexOf('}', open) - open - 1));
        if (keys.size() > 64)
            break;
    }
    for (const QByteArray &key : keys) {
        (void)Catalog::text(key);
        (void)Catalog::displayText(key);
        const StringList pieces = Catalog::list(key);
        for (const QByteArray &piece : pieces) {
            if (piece.isEmpty())
                std::abort();
        }
        if (Catalog::expanded(key).size() > 1999 || Catalog::expanded(key, 40).size() > 40)
            std::abort();
    }
    Catalog::clear();
    Diagnostics::clearRecordedBoxes();
    QFile::remove(path);
    return 0;
}
