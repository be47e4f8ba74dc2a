#pragma once

#include <QByteArray>
#include <QString>

// The URL libcurl is handed for one FTP step.
namespace FtpUrl {

// "ftp://host:port/dir/file", each piece percent-encoded; a directory starting with '/' is absolute
// ("%2F" makes libcurl send its leading slash), any other is relative to the login directory; an
// empty directory is the login directory, an empty file names the directory itself.
[[nodiscard]] QByteArray forFile(
    const QString &host, quint16 port, const QString &directory, const QString &file);

} // namespace FtpUrl
