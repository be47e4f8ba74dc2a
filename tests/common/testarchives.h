#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Archives whose entry names are given byte for byte, as archivers on Windows write them: tar and
// zip made here field by field (zip with or without the flag that marks UTF-8 names), 7z through
// libarchive (names UTF-8, stored as UTF-16), and RAR4 derived from a genuine archive by renaming
// one entry in its header (with the header CRC recomputed), since nothing here writes RAR.
namespace TestArchives {

struct File
{
    QByteArray name; // as stored
    QByteArray contents;
};

inline constexpr qint64 stamp = 1'600'000'000; // the time of every entry made here

[[nodiscard]] QByteArray tar(const QList<File> &files);
[[nodiscard]] QByteArray zip(const QList<File> &files, bool utf8Names);
[[nodiscard]] QByteArray sevenZip(const QList<File> &files);
// The RAR4 archive with the entry oldName named newName instead: bytes in the archive's 8-bit code
// page, or with unicode UTF-8 stored as the header's Unicode name. Empty when oldName is not there.
[[nodiscard]] QByteArray renamedRar4(
    const QByteArray &archive, QByteArrayView oldName, const QByteArray &newName, bool unicode);
// The RAR4 archive without the entry of that name (its header and its data); empty when it is not
// there.
[[nodiscard]] QByteArray withoutRar4Entry(const QByteArray &archive, QByteArrayView name);

} // namespace TestArchives
