#include "common/fakedrives.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace {

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

FakeDrives::FakeDrives(const QString &base)
    : m_base(base)
{
    QDir(m_base).mkpath(u"class/block"_s);
    QDir(m_base).mkpath(u"devices"_s);
    QDir(m_base).mkpath(u"mnt"_s);
}

bool FakeDrives::addDevice(const QString &description)
{
    const QStringList words = description.split(u' ', Qt::SkipEmptyParts);
    if (words.size() < 3)
        return false;
    const QString &name = words.at(0);
    const int in = words.indexOf(u"in"_s);
    const QString home = in > 0 ? u"devices/%1/%2"_s.arg(words.value(in + 1), name) : u"devices/"_s + name;
    const QDir base(m_base);
    if (!base.mkpath(home))
        return false;
    bool ok = writeFile(base.filePath(home + u"/dev"_s), words.at(1).toLatin1() + '\n');
    if (words.at(2) != u"none")
        ok = ok
            && writeFile(base.filePath(home + u"/removable"_s), words.at(2) == u"removable" ? "1\n" : "0\n");
    if (in > 0)
        ok = ok && writeFile(base.filePath(home + u"/partition"_s), "1\n");
    if (words.contains(u"rom"_s)) {
        ok = ok && base.mkpath(home + u"/device"_s);
        ok = ok && writeFile(base.filePath(home + u"/device/type"_s), "5\n");
    }
    return ok && addToClass(home, name);
}

bool FakeDrives::addMount(const QString &description)
{
    const QStringList words = description.split(u' ', Qt::SkipEmptyParts);
    if (words.size() < 3)
        return false;
    const QString escaped = words.at(2);
    if (!QDir().mkpath(mountPoint(escaped)))
        return false;
    QString point = m_base + u"/mnt/"_s + escaped;
    point.replace(u' ', u"\\040"_s);
    const QString root = words.value(3, u"/"_s);
    return addMountLine(u"%1 1 %2 %3 %4 rw,relatime shared:1 - vfat %5 rw"_s
                            .arg(QString::number(m_nextId++), words.at(0), root, point, words.at(1))
                            .toUtf8());
}

bool FakeDrives::addMountLine(const QByteArray &line)
{
    m_table += line + '\n';
    return true;
}

bool FakeDrives::write() const
{
    return writeFile(mountInfo(), m_table);
}

QString FakeDrives::mountPoint(const QString &name) const
{
    QString plain = name;
    plain.replace(u"\\040"_s, u" "_s);
    plain.replace(u"\\134"_s, u"\\"_s);
    return m_base + u"/mnt/"_s + plain;
}

QString FakeDrives::mountInfo() const
{
    return m_base + u"/mountinfo"_s;
}

QString FakeDrives::sysBlock() const
{
    return m_base + u"/class/block"_s;
}

RemovableDrives::Source FakeDrives::source() const
{
    return RemovableDrives::mountedRemovableSource(mountInfo(), sysBlock());
}
