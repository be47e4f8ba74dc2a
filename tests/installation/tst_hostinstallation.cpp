#include "installation/hostinstallation.h"
#include "shell/diagnostics.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

QList<QByteArray> toBytes(const QStringList &texts)
{
    QList<QByteArray> bytes;
    for (const QString &text : texts)
        bytes << text.toUtf8();
    return bytes;
}

StringList listOf(const QStringList &texts)
{
    StringList list;
    for (const QString &text : texts)
        list.append(text.toUtf8());
    return list;
}

} // namespace

class TestHostInstallation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void ephemerisDirectory_data();
    void ephemerisDirectory();
    void asteroidFilePath_data();
    void asteroidFilePath();
    void backupPresent_data();
    void backupPresent();
    void selectLines_data();
    void selectLines();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDirectory;
};

void TestHostInstallation::initTestCase()
{
    Diagnostics::setRecording(true);
    m_previousDirectory = QDir::currentPath();
}

void TestHostInstallation::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
    HostInstallation::resetEphemerisDirectory();
    Diagnostics::clearRecordedBoxes();
}

void TestHostInstallation::cleanup()
{
    QDir::setCurrent(m_previousDirectory);
}

void TestHostInstallation::ephemerisDirectory_data()
{
    QTest::addColumn<QStringList>("controlLines"); // empty: no DIRSWE.CTL
    QTest::addColumn<QStringList>("markers"); // where PLP018.E1 lies
    QTest::addColumn<QStringList>("drives"); // stand-in drive roots, in order
    QTest::addColumn<QString>("expected"); // empty: not found

    // The current folder is tried as ".", followed by the platform's own separator.
    const QString currentDirectory = QStringLiteral(".") + QDir::separator();
    QTest::newRow("listed folder wins over the current one")
        << QStringList{QStringLiteral("eph/")}
        << QStringList{QStringLiteral("eph/PLP018.E1"), QStringLiteral("PLP018.E1")} << QStringList{}
        << QStringLiteral("eph/");
    QTest::newRow("comments and blank lines are no candidates")
        << QStringList{QStringLiteral("* eph/"), QStringLiteral("   "), QStringLiteral("eph2/")}
        << QStringList{QStringLiteral("eph/PLP018.E1"), QStringLiteral("eph2/PLP018.E1")} << QStringList{}
        << QStringLiteral("eph2/");
    QTest::newRow("listed folders without the marker fall back to the current one")
        << QStringList{QStringLiteral("nowhere/"), QStringLiteral("empty/")}
        << QStringList{QStringLiteral("empty/other.se1"), QStringLiteral("PLP018.E1")} << QStringList{}
        << currentDirectory;
    QTest::newRow("a line without separator is used as it stands")
        << QStringList{QStringLiteral("ephX")} << QStringList{QStringLiteral("ephXPLP018.E1")}
        << QStringList{} << QStringLiteral("ephX");
    QTest::newRow("current directory before the drives")
        << QStringList{} << QStringList{QStringLiteral("PLP018.E1"), QStringLiteral("d1/PLP018.E1")}
        << QStringList{QStringLiteral("d1/")} << currentDirectory;
    QTest::newRow("drives in their order")
        << QStringList{} << QStringList{QStringLiteral("d2/PLP018.E1"), QStringLiteral("d3/PLP018.E1")}
        << QStringList{QStringLiteral("d1/"), QStringLiteral("d2/"), QStringLiteral("d3/")}
        << QStringLiteral("d2/");
    QTest::newRow("nowhere") << QStringList{QStringLiteral("eph/")} << QStringList{}
                             << QStringList{QStringLiteral("d1/")} << QString();
}

void TestHostInstallation::ephemerisDirectory()
{
    QFETCH(QStringList, controlLines);
    QFETCH(QStringList, markers);
    QFETCH(QStringList, drives);
    QFETCH(QString, expected);

    if (!controlLines.isEmpty()) {
        QFile control(QStringLiteral("DIRSWE.CTL"));
        QVERIFY(control.open(QIODevice::WriteOnly));
        control.write(controlLines.join(u'\n').toUtf8() + '\n');
    }
    for (const QString &marker : markers)
        QVERIFY(touch(marker));

    const bool found = HostInstallation::findEphemerisDirectory(toBytes(drives));
    QCOMPARE(found, !expected.isEmpty());
    QCOMPARE(HostInstallation::ephemerisDirectoryFound(), found);
    QCOMPARE(QString::fromUtf8(HostInstallation::ephemerisDirectory()), expected);
    const auto boxes = Diagnostics::recordedBoxes();
    if (found) {
        QVERIFY(boxes.isEmpty());
    } else {
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.at(0).title, QStringLiteral("*** Warring"));
    }
}

void TestHostInstallation::asteroidFilePath_data()
{
    QTest::addColumn<QByteArray>("directory");
    QTest::addColumn<int>("number");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("0") << QByteArray("eph/") << 0 << QByteArray("eph//0000/SE00000S.SE1");
    QTest::newRow("499 still in 0000") << QByteArray("eph/") << 499 << QByteArray("eph//0000/SE00499S.SE1");
    QTest::newRow("500 opens 0005") << QByteArray("eph/") << 500 << QByteArray("eph//0005/SE00500S.SE1");
    QTest::newRow("999") << QByteArray("eph/") << 999 << QByteArray("eph//0005/SE00999S.SE1");
    QTest::newRow("1000") << QByteArray("eph/") << 1000 << QByteArray("eph//0010/SE01000S.SE1");
    QTest::newRow("1234") << QByteArray("./") << 1234 << QByteArray(".//0010/SE01234S.SE1");
    QTest::newRow("largest") << QByteArray("eph/") << 422627 << QByteArray("eph//4225/SE422627S.SE1");
    QTest::newRow("no directory") << QByteArray() << 433 << QByteArray("/0000/SE00433S.SE1");
}

void TestHostInstallation::asteroidFilePath()
{
    QFETCH(QByteArray, directory);
    QFETCH(int, number);
    QFETCH(QByteArray, expected);
    // The directory is used as given; only the separators added after it are native.
    QByteArray native = expected.mid(directory.size());
    native.replace('/', QDir::separator().toLatin1());
    native.prepend(directory);
    QCOMPARE(HostInstallation::asteroidFilePath(directory, number), native);
}

void TestHostInstallation::backupPresent_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<bool>("expected");

    QTest::newRow("nothing") << QString() << QString() << false;
    QTest::newRow("backup archive") << QStringLiteral("predver.rar") << QString() << true;
    QTest::newRow("only the directory BK00") << QString() << QStringLiteral("BK00") << true;
    QTest::newRow("other names") << QStringLiteral("predver.zip") << QStringLiteral("BK01") << false;
}

void TestHostInstallation::backupPresent()
{
    QFETCH(QString, file);
    QFETCH(QString, directory);
    QFETCH(bool, expected);
    if (!file.isEmpty())
        QVERIFY(touch(file));
    if (!directory.isEmpty())
        QVERIFY(QDir().mkdir(directory));
    QCOMPARE(HostInstallation::backupPresent(), expected);
}

void TestHostInstallation::selectLines_data()
{
    QTest::addColumn<QString>("patterns");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("expected");

    const QStringList lines{QStringLiteral("Orb-1=5"), QStringLiteral("Lang=ru"), QStringLiteral("Orbit=3"),
        QStringLiteral("Orb=2")};
    QTest::newRow("prefix and exact name") << QStringLiteral(
        "Orb-*,Lang") << lines << QStringList{QStringLiteral("Orb-1=5"), QStringLiteral("Lang=ru")};
    QTest::newRow("no star: whole name only")
        << QStringLiteral("Orb") << lines << QStringList{QStringLiteral("Orb=2")};
    QTest::newRow("order of the lines, each once")
        << QStringLiteral("Orb*,Orb-*") << lines
        << QStringList{QStringLiteral("Orb-1=5"), QStringLiteral("Orbit=3"), QStringLiteral("Orb=2")};
    // The name comes from a copy without trailing blanks; blanks before it are part of it.
    QTest::newRow("blanks after the name are not part of it, blanks before it are")
        << QStringLiteral("Lang,Orb-*")
        << QStringList{QStringLiteral("Lang = en"), QStringLiteral("  Lang = fr"), QStringLiteral("Lang  "),
               QStringLiteral("  Orb-1=5"), QStringLiteral("Language=de")}
        << QStringList{QStringLiteral("Lang = en"), QStringLiteral("Lang  ")};
    QTest::newRow("patterns are not trimmed")
        << QStringLiteral("Orb-*, Lang") << lines << QStringList{QStringLiteral("Orb-1=5")};
    QTest::newRow("a star matches everything") << QStringLiteral("*") << lines << lines;
    QTest::newRow("only 19 characters of a pattern count")
        << QStringLiteral("ABCDEFGHIJKLMNOPQRSTUV*")
        << QStringList{QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVW=1"),
               QStringLiteral("ABCDEFGHIJKLMNOPQRSTUV*=2")}
        << QStringList{QStringLiteral("ABCDEFGHIJKLMNOPQRSTUV*=2")};
    QTest::newRow("line without value")
        << QStringLiteral("Flag") << QStringList{QStringLiteral("Flag"), QStringLiteral("Flags")}
        << QStringList{QStringLiteral("Flag")};
}

void TestHostInstallation::selectLines()
{
    QFETCH(QString, patterns);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, expected);
    const StringList selected = HostInstallation::selectLines(patterns.toUtf8(), listOf(lines));
    QCOMPARE(selected.items(), toBytes(expected));
}

QTEST_MAIN(TestHostInstallation)
#include "tst_hostinstallation.moc"
