#include "common/fakedrives.h"
#include "platform/drives/removabledrives.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestRemovableDrives : public QObject
{
    Q_OBJECT

private slots:
    void mounted_data();
    void mounted();
    void missingMountTable();
    void unreadableLines();
    void decodeMountField_data();
    void decodeMountField();
    void pathInRoot_data();
    void pathInRoot();
};

void TestRemovableDrives::mounted_data()
{
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QStringList>("mounts");
    QTest::addColumn<QStringList>("expected");

    const QStringList fixedRoot{u"sda 8:0 fixed"_s, u"sda1 8:1 none in sda"_s};
    const QString rootMount = u"8:1 /dev/sda1 root"_s;

    QTest::newRow("nothing but the fixed disk") << fixedRoot << QStringList{rootMount} << QStringList{};
    QTest::newRow("a stick without partitions")
        << fixedRoot + QStringList{u"sdb 8:16 removable"_s}
        << QStringList{rootMount, u"8:16 /dev/sdb stick"_s} << QStringList{u"stick"_s};
    QTest::newRow("a partition whose disk is removable")
        << fixedRoot + QStringList{u"sdb 8:16 removable"_s, u"sdb1 8:17 none in sdb"_s}
        << QStringList{rootMount, u"8:17 /dev/sdb1 stick"_s} << QStringList{u"stick"_s};
    QTest::newRow("a partition of a fixed disk")
        << fixedRoot + QStringList{u"sda2 8:2 none in sda"_s}
        << QStringList{rootMount, u"8:2 /dev/sda2 data"_s} << QStringList{};
    QTest::newRow("a CD drive by its major number")
        << fixedRoot + QStringList{u"sr0 11:0 removable"_s}
        << QStringList{rootMount, u"11:0 /dev/sr0 cdrom"_s} << QStringList{};
    QTest::newRow("an optical drive by its SCSI type")
        << fixedRoot + QStringList{u"sdc 8:32 removable rom"_s}
        << QStringList{rootMount, u"8:32 /dev/sdc dvd"_s} << QStringList{};
    QTest::newRow("fixed disk, CD and two sticks in mount order")
        << fixedRoot
            + QStringList{u"sr0 11:0 removable"_s, u"sdc 8:32 removable"_s, u"sdc1 8:33 none in sdc"_s,
                u"sdb 8:16 removable"_s, u"sdb1 8:17 none in sdb"_s}
        << QStringList{rootMount, u"11:0 /dev/sr0 cdrom"_s, u"8:33 /dev/sdc1 second"_s,
               u"8:17 /dev/sdb1 first"_s}
        << QStringList{u"second"_s, u"first"_s};
    QTest::newRow("a device is found by number when the source does not name it")
        << fixedRoot + QStringList{u"sdb 8:16 removable"_s, u"sdb1 8:17 none in sdb"_s}
        << QStringList{rootMount, u"8:17 /dev/disk/by-label/STICK stick"_s} << QStringList{u"stick"_s};
    QTest::newRow("an unknown number falls back to the source's name")
        << fixedRoot + QStringList{u"sdb 8:16 removable"_s}
        << QStringList{rootMount, u"8:99 /dev/sdb stick"_s} << QStringList{u"stick"_s};
    QTest::newRow("escaped blanks and backslashes in the mount point")
        << fixedRoot + QStringList{u"sdb 8:16 removable"_s, u"sdb1 8:17 none in sdb"_s}
        << QStringList{rootMount, u"8:17 /dev/sdb1 my\\040stick\\134x"_s} << QStringList{u"my stick\\x"_s};
    QTest::newRow("a stick mounted twice counts once")
        << fixedRoot + QStringList{u"sdb 8:16 removable"_s, u"sdb1 8:17 none in sdb"_s}
        << QStringList{rootMount, u"8:17 /dev/sdb1 one"_s, u"8:17 /dev/sdb1 two"_s} << QStringList{u"one"_s};
    QTest::newRow("a folder of a stick bound elsewhere is no drive")
        << fixedRoot + QStringList{u"sdb 8:16 removable"_s, u"sdb1 8:17 none in sdb"_s}
        << QStringList{rootMount, u"8:17 /dev/sdb1 bound /photos"_s, u"8:17 /dev/sdb1 stick"_s}
        << QStringList{u"stick"_s};
    QTest::newRow("a device missing from the tree")
        << fixedRoot << QStringList{rootMount, u"8:48 /dev/sdd1 ghost"_s} << QStringList{};
}

void TestRemovableDrives::mounted()
{
    QFETCH(QStringList, devices);
    QFETCH(QStringList, mounts);
    QFETCH(QStringList, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    FakeDrives machine(dir.path());
    for (const QString &device : devices)
        QVERIFY2(machine.addDevice(device), qPrintable(device));
    // Pseudo file systems have no block device at all.
    QVERIFY(machine.addMountLine("22 1 0:21 / /proc rw,nosuid - proc proc rw"));
    QVERIFY(machine.addMountLine("23 1 0:5 / /dev rw - devtmpfs udev rw,size=100k"));
    for (const QString &mount : mounts)
        QVERIFY2(machine.addMount(mount), qPrintable(mount));
    QVERIFY(machine.write());

    QStringList wanted;
    for (const QString &name : expected)
        wanted.append(machine.mountPoint(name));
    QCOMPARE(RemovableDrives::mountedRemovable(machine.mountInfo(), machine.sysBlock()), wanted);
    QCOMPARE(machine.source()(), wanted);
}

void TestRemovableDrives::missingMountTable()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(RemovableDrives::mountedRemovable(dir.filePath(u"none"_s), dir.path()), QStringList{});
}

// Truncated or garbled lines must neither crash nor invent drives.
void TestRemovableDrives::unreadableLines()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    FakeDrives machine(dir.path());
    QVERIFY(machine.addDevice(u"sdb 8:16 removable"_s));
    QVERIFY(machine.addMountLine(""));
    QVERIFY(machine.addMountLine("36 25 8:16 / "));
    QVERIFY(machine.addMountLine("36 25 8:16 / /x rw -"));
    QVERIFY(machine.addMountLine("36 25 8:16 / /y rw - vfat"));
    QVERIFY(machine.addMountLine("- - - - - - - -"));
    QVERIFY(machine.write());
    QCOMPARE(RemovableDrives::mountedRemovable(machine.mountInfo(), machine.sysBlock()), QStringList{});
}

void TestRemovableDrives::decodeMountField_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QByteArray>("decoded");

    QTest::newRow("plain") << QByteArray("/media/stick") << QByteArray("/media/stick");
    QTest::newRow("blank") << QByteArray("/media/my\\040stick") << QByteArray("/media/my stick");
    QTest::newRow("tab, newline, backslash") << QByteArray("a\\011b\\012c\\134d") << QByteArray("a\tb\nc\\d");
    QTest::newRow("eight-bit byte") << QByteArray("\\320\\237") << QByteArray("\xD0\x9F");
    QTest::newRow("too short at the end") << QByteArray("ab\\04") << QByteArray("ab\\04");
    QTest::newRow("not octal") << QByteArray("\\089") << QByteArray("\\089");
    QTest::newRow("beyond a byte") << QByteArray("\\777") << QByteArray("\\777");
    QTest::newRow("lone backslash") << QByteArray("x\\") << QByteArray("x\\");
}

void TestRemovableDrives::decodeMountField()
{
    QFETCH(QByteArray, field);
    QFETCH(QByteArray, decoded);
    QCOMPARE(RemovableDrives::decodeMountField(field), decoded);
}

void TestRemovableDrives::pathInRoot_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("path");

    QTest::newRow("drive letter") << u"E:/"_s << u"E:/K10DBCNF"_s;
    QTest::newRow("drive letter, backslash") << u"E:\\"_s << u"E:\\K10DBCNF"_s;
    QTest::newRow("mount point") << u"/media/u/STICK"_s << u"/media/u/STICK/K10DBCNF"_s;
    QTest::newRow("file system root") << u"/"_s << u"/K10DBCNF"_s;
}

void TestRemovableDrives::pathInRoot()
{
    QFETCH(QString, root);
    QFETCH(QString, path);
    QCOMPARE(RemovableDrives::pathInRoot(root, u"K10DBCNF"_s), path);
}

QTEST_GUILESS_MAIN(TestRemovableDrives)
#include "tst_removabledrives.moc"
