#include "platform/drives/removabledrives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

// SCSI optical drives; their media report themselves as removable, but they are not drives a
// portable installation can be written to.
constexpr int cdromMajor = 11;
// The SCSI peripheral type of a CD or DVD drive, in <device>/device/type.
constexpr int scsiTypeRom = 5;

QByteArray readSmallFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(256).trimmed();
}

bool isOctal(char c)
{
    return c >= '0' && c <= '7';
}

// "8:17" of each device below sysBlock, to find a mount's device by number: mount sources such
// as /dev/root or /dev/disk/by-label/... do not name the device.
QHash<QByteArray, QString> devicesByNumber(const QString &sysBlock)
{
    QHash<QByteArray, QString> devices;
    const QDir dir(sysBlock);
    const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString &name : names) {
        const QByteArray number = readSmallFile(dir.filePath(name) + u"/dev"_s);
        if (!number.isEmpty() && !devices.contains(number))
            devices.insert(number, name);
    }
    return devices;
}

bool isOptical(const QString &devicePath, const QByteArray &number)
{
    if (number.split(':').value(0).toInt() == cdromMajor)
        return true;
    const QByteArray type = readSmallFile(devicePath + u"/device/type"_s);
    return !type.isEmpty() && type.toInt() == scsiTypeRom;
}

// A partition has no "removable" of its own; its disk is the directory that holds it.
bool isRemovable(const QString &devicePath)
{
    QByteArray flag = readSmallFile(devicePath + u"/removable"_s);
    if (flag.isEmpty() && QFileInfo::exists(devicePath + u"/partition"_s)) {
        const QString real = QFileInfo(devicePath).canonicalFilePath();
        if (!real.isEmpty())
            flag = readSmallFile(QFileInfo(real).path() + u"/removable"_s);
    }
    return flag == "1";
}

} // namespace

QByteArray RemovableDrives::decodeMountField(QByteArrayView field)
{
    QByteArray decoded;
    decoded.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2])
            && isOctal(field[i + 3])) {
            const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value <= 0xFF) {
                decoded.append(char(value));
                i += 3;
                continue;
            }
        }
        decoded.append(field[i]);
    }
    return decoded;
}

QStringList RemovableDrives::mountedRemovable(const QString &mountInfo, const QString &sysBlock)
{
    QFile file(mountInfo);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = file.readAll().split('\n');

    const QHash<QByteArray, QString> devices = devicesByNumber(sysBlock);
    QStringList drives;
    QSet<QByteArray> seen;
    for (const QByteArray &line : lines) {
        // id parent major:minor root mount-point options [optional fields] - type source options
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype separator = fields.indexOf("-", 6);
        if (fields.size() < 6 || separator < 0 || separator + 2 >= fields.size())
            continue;
        const QByteArray &number = fields.at(2);
        // Bind mounts of a folder show only part of a medium; the medium itself is listed too.
        if (fields.at(3) != "/" || seen.contains(number))
            continue;

        QString device = devices.value(number);
        const QByteArray source = decodeMountField(fields.at(separator + 2));
        if (device.isEmpty() && source.startsWith("/dev/"))
            device = QFileInfo(QFile::decodeName(source)).fileName();
        if (device.isEmpty())
            continue;
        const QString devicePath = QDir(sysBlock).filePath(device);
        if (!isRemovable(devicePath) || isOptical(devicePath, number))
            continue;

        seen.insert(number);
        drives.append(QFile::decodeName(decodeMountField(fields.at(4))));
    }
    return drives;
}

RemovableDrives::Source RemovableDrives::mountedRemovableSource(
    const QString &mountInfo, const QString &sysBlock)
{
    return [mountInfo, sysBlock] { return mountedRemovable(mountInfo, sysBlock); };
}

QString RemovableDrives::pathInRoot(const QString &root, const QString &name)
{
    if (root.endsWith(u'/') || root.endsWith(u'\\'))
        return root + name;
    return root + u'/' + name;
}

RemovableDrives::Source RemovableDrives::systemSource()
{
    return [] { return systemDrives(); };
}

#ifndef Q_OS_WIN
QStringList RemovableDrives::systemDrives()
{
    return mountedRemovable(u"/proc/self/mountinfo"_s, u"/sys/class/block"_s);
}
#endif
