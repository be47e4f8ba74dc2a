#pragma once

#include "platform/drives/removabledrives.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// A made-up machine for the drive detection: a mount table in the format of
// /proc/self/mountinfo and a block-device tree laid out like /sys/class/block (devices are
// directories below "devices/", reached through links in "class/block", partitions inside their
// disk), with real mount-point directories, all below one base directory.
//
// Devices are described in one line each: "<name> <major:minor> <removable|fixed|none> [rom]
// [in <disk>]"; mounts as "<major:minor> <source> <mount point below mnt/> [<root>]", where the
// mount point may hold blanks written as "\040" exactly as the kernel writes them.
//
// Where the file system has no symbolic links (Windows), class/block/<name> is a copy of the
// device's directory instead, and a partition's copy carries its disk's "removable" flag: the
// drive detection reaches it there as it reaches the disk through the link elsewhere.
class FakeDrives final
{
public:
    explicit FakeDrives(const QString &base);

    bool addDevice(const QString &description);
    bool addMount(const QString &description);
    bool addMountLine(const QByteArray &line);
    bool write() const;

    // The directory a mount point name stands for ("my\\040stick" -> ".../mnt/my stick").
    [[nodiscard]] QString mountPoint(const QString &name) const;
    [[nodiscard]] QString mountInfo() const;
    [[nodiscard]] QString sysBlock() const;
    [[nodiscard]] RemovableDrives::Source source() const;

private:
    // Makes the device below devices/ (home) visible as class/block/<name>.
    bool addToClass(const QString &home, const QString &name) const;

    QString m_base;
    QByteArray m_table;
    int m_nextId = 20;
};
