#include "common/testarchives.h"

#include <QString>
#include <QtEndian>

#include <archive.h>
#include <archive_entry.h>
#include <memory>

namespace {

quint32 crc32(QByteArrayView bytes)
{
    quint32 crc = 0xFFFFFFFF;
    for (const char byte : bytes) {
        crc ^= static_cast<unsigned char>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

void append16(QByteArray &out, quint16 value)
{
    const quint16 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char *>(&le), 2);
}

void append32(QByteArray &out, quint32 value)
{
    const quint32 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char *>(&le), 4);
}

QByteArray octal(qint64 value, int width)
{
    return QByteArray::number(value, 8).rightJustified(width - 1, '0') + '\0';
}

} // namespace

QByteArray TestArchives::tar(const QList<File> &files)
{
    QByteArray out;
    for (const File &file : files) {
        QByteArray header(512, '\0');
        header.replace(0, file.name.size(), file.name);
        header.replace(100, 8, octal(0644, 8));
        header.replace(108, 8, octal(0, 8));
        header.replace(116, 8, octal(0, 8));
        header.replace(124, 12, octal(file.contents.size(), 12));
        header.replace(136, 12, octal(stamp, 12));
        header[156] = '0';
        header.replace(257, 8,
            QByteArray("ustar\0"
                       "00",
                8));
        header.replace(148, 8, QByteArray(8, ' '));
        int sum = 0;
        for (const char c : std::as_const(header))
            sum += static_cast<unsigned char>(c);
        header.replace(148, 8, octal(sum, 7) + ' ');
        out += header + file.contents;
        out += QByteArray((512 - file.contents.size() % 512) % 512, '\0');
    }
    return out + QByteArray(1024, '\0');
}

QByteArray TestArchives::zip(const QList<File> &files, bool utf8Names)
{
    const quint16 flags = utf8Names ? 0x0800 : 0;
    const quint16 dosTime = 12 << 11;
    const quint16 dosDate = ((2020 - 1980) << 9) | (9 << 5) | 13;
    QByteArray out;
    QByteArray directory;
    for (const File &file : files) {
        const quint32 offset = quint32(out.size());
        const quint32 crc = crc32(file.contents);
        const auto common = [&](QByteArray &to) {
            append16(to, 20); // version needed
            append16(to, flags);
            append16(to, 0); // stored
            append16(to, dosTime);
            append16(to, dosDate);
            append32(to, crc);
            append32(to, quint32(file.contents.size()));
            append32(to, quint32(file.contents.size()));
            append16(to, quint16(file.name.size()));
            append16(to, 0); // extra field
        };
        append32(out, 0x04034b50);
        common(out);
        out += file.name + file.contents;

        append32(directory, 0x02014b50);
        append16(directory, 20); // made by MS-DOS
        common(directory);
        append16(directory, 0); // comment
        append16(directory, 0); // disk
        append16(directory, 0); // internal attributes
        append32(directory, 0); // external attributes
        append32(directory, offset);
        directory += file.name;
    }
    const quint32 directoryOffset = quint32(out.size());
    out += directory;
    append32(out, 0x06054b50);
    append16(out, 0);
    append16(out, 0);
    append16(out, quint16(files.size()));
    append16(out, quint16(files.size()));
    append32(out, quint32(directory.size()));
    append32(out, directoryOffset);
    append16(out, 0);
    return out;
}

QByteArray TestArchives::sevenZip(const QList<File> &files)
{
    std::unique_ptr<archive, decltype(&archive_write_free)> writer(archive_write_new(), &archive_write_free);
    archive_write_set_format_7zip(writer.get());
    QByteArray buffer(1 << 20, '\0');
    std::size_t used = 0;
    if (archive_write_open_memory(writer.get(), buffer.data(), std::size_t(buffer.size()), &used)
        != ARCHIVE_OK)
        return {};
    for (const File &file : files) {
        std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(
            archive_entry_new(), &archive_entry_free);
        // As wide characters: Windows would otherwise derive the UTF-16 name through the C library's
        // code page, which lacks most names.
        archive_entry_copy_pathname_w(entry.get(), QString::fromUtf8(file.name).toStdWString().c_str());
        archive_entry_set_mtime(entry.get(), stamp, 0);
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_size(entry.get(), file.contents.size());
        if (archive_write_header(writer.get(), entry.get()) != ARCHIVE_OK
            || archive_write_data(writer.get(), file.contents.constData(), std::size_t(file.contents.size()))
                != file.contents.size())
            return {};
    }
    if (archive_write_close(writer.get()) != ARCHIVE_OK)
        return {};
    return buffer.left(qsizetype(used));
}

namespace {

// Where the file header of the RAR4 archive for that name begins, its size and the size of the
// data after it; at is -1 when there is none.
struct Rar4Entry
{
    qsizetype at = -1;
    quint16 flags = 0;
    quint16 size = 0;
    quint32 added = 0;
    quint16 nameSize = 0;
};

Rar4Entry findRar4Entry(const QByteArray &archive, QByteArrayView name)
{
    // Blocks: HEAD_CRC(2) HEAD_TYPE(1) HEAD_FLAGS(2) HEAD_SIZE(2), ADD_SIZE(4) with flag 0x8000.
    // A file header (type 0x74) holds NAME_SIZE at 26 and the name at 32 (no 64-bit sizes here).
    qsizetype at = 7; // after the marker block
    while (at + 7 <= archive.size()) {
        const auto *block = reinterpret_cast<const uchar *>(archive.constData() + at);
        const quint16 flags = qFromLittleEndian<quint16>(block + 3);
        const quint16 size = qFromLittleEndian<quint16>(block + 5);
        const quint32 added = (flags & 0x8000) ? qFromLittleEndian<quint32>(block + 7) : 0;
        const quint16 nameSize = block[2] == 0x74 ? qFromLittleEndian<quint16>(block + 26) : 0;
        if (block[2] == 0x74 && !(flags & 0x100) && archive.mid(at + 32, nameSize) == name)
            return {at, flags, size, added, nameSize};
        at += size + added;
    }
    return {};
}

} // namespace

QByteArray TestArchives::renamedRar4(
    const QByteArray &archive, QByteArrayView oldName, const QByteArray &newName, bool unicode)
{
    const Rar4Entry entry = findRar4Entry(archive, oldName);
    if (entry.at < 0)
        return {};
    QByteArray field = newName;
    if (unicode) {
        // An 8-bit name, a zero, the high byte, then flag bytes of four 2-bit codes, each
        // code 2 here: a whole UTF-16 unit follows, low byte first.
        const QString name = QString::fromUtf8(newName);
        field = QByteArray(oldName.data(), oldName.size()) + '\0' + '\0';
        for (qsizetype i = 0; i < name.size(); ++i) {
            if (i % 4 == 0)
                field += char(0xAA);
            append16(field, name.at(i).unicode());
        }
    }
    QByteArray header = archive.mid(entry.at, entry.size);
    header.replace(32, entry.nameSize, field);
    const quint16 newFlags = entry.flags | (unicode ? 0x200 : 0);
    qToLittleEndian<quint16>(newFlags, header.data() + 3);
    qToLittleEndian<quint16>(quint16(header.size()), header.data() + 5);
    qToLittleEndian<quint16>(quint16(field.size()), header.data() + 26);
    qToLittleEndian<quint16>(quint16(crc32(QByteArrayView(header).sliced(2))), header.data());
    return archive.left(entry.at) + header + archive.mid(entry.at + entry.size);
}

QByteArray TestArchives::withoutRar4Entry(const QByteArray &archive, QByteArrayView name)
{
    const Rar4Entry entry = findRar4Entry(archive, name);
    if (entry.at < 0)
        return {};
    return archive.left(entry.at) + archive.mid(entry.at + entry.size + entry.added);
}
