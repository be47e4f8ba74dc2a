#include "platform/ftp/ftpurl.h"

#include <QStringList>
#include <QUrl>

namespace {

QByteArray encodePath(const QString &path)
{
    QByteArray out;
    const QStringList pieces = path.split(u'/');
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            out += '/';
        out += QUrl::toPercentEncoding(pieces.at(i));
    }
    return out;
}

} // namespace

QByteArray FtpUrl::forFile(const QString &host, quint16 port, const QString &directory, const QString &file)
{
    QByteArray url = "ftp://";
    if (host.contains(u':'))
        url += '[' + host.toUtf8() + ']';
    else
        url += host.toUtf8();
    url += ':' + QByteArray::number(port) + '/';
    if (!directory.isEmpty()) {
        // "%2F" makes libcurl send the leading slash of an absolute directory.
        if (directory.startsWith(u'/'))
            url += "%2F" + encodePath(directory.mid(1));
        else
            url += encodePath(directory);
        if (!url.endsWith('/'))
            url += '/';
    }
    url += QUrl::toPercentEncoding(file);
    return url;
}
