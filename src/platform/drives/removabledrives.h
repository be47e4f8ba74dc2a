#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Where a portable installation can go: the roots of the removable drives, in the order in which
// the platform lists them. On Windows a root is a drive letter such as "E:/"; elsewhere it is the
// mount point of a removable medium, kept whole.
namespace RemovableDrives {

// What the portable-copy window asks when it scans; tests hand in their own.
using Source = std::function<QStringList()>;

// The removable drives of this machine.
[[nodiscard]] QStringList systemDrives();
[[nodiscard]] Source systemSource();

// The mounted file systems listed in mountInfo (the format of /proc/self/mountinfo) whose block
// device, or the disk that holds it as a partition, is removable according to sysBlock (the
// layout of /sys/class/block). Optical drives do not count, and a device mounted more than once
// counts once, under its first mount point.
[[nodiscard]] QStringList mountedRemovable(const QString &mountInfo, const QString &sysBlock);
[[nodiscard]] Source mountedRemovableSource(const QString &mountInfo, const QString &sysBlock);

// Undoes the octal escapes (\040 for a blank, \011, \012, \134) that the kernel writes into
// mount points.
[[nodiscard]] QByteArray decodeMountField(QByteArrayView field);

// name inside root: a drive letter root already ends with a separator, a mount point does not.
[[nodiscard]] QString pathInRoot(const QString &root, const QString &name);

} // namespace RemovableDrives
