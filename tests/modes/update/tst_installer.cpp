// Installing with backup and restoring, in a temporary installation with the built archiver:
// the files that land, what "predver.rar" holds (extracted and compared), the log view and the
// update log; failures forced for real (failing, killed or missing archiver, a directory in the
// way, immutable files, a move across file systems).

#include "common/recordingupdateview.h"
#include "modes/update/installer.h"
#include "modes/update/updatelog.h"
#include "platform/ownfiles.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "support/codepage.h"

#include <QDirIterator>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using Files = QMap<QString, QByteArray>;

class TestInstaller : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void installOne_data();
    void installOne();
    void twoUpdatesThenRestore();
    void countsWithFailuresAndNoCatalog();
    void oneBackupRunBeforeAnyReplacement_data();
    void oneBackupRunBeforeAnyReplacement();
    void restoreFailures_data();
    void restoreFailures();

private:
    void setArchiver(const QString &kind);
    void setImmutable(const QString &path);
    void putUpdateOnOtherVolume();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QTemporaryDir> m_otherVolume;
    QStringList m_immutable;
    QString m_previousDir;
};

namespace {

const QDateTime unpacked(QDate(2024, 2, 1), QTime(9, 30, 0));
const QDateTime installedBefore(QDate(2023, 1, 1), QTime(8, 0, 0));

bool write(const QString &name, const QByteArray &bytes, const QDateTime &time = unpacked)
{
    QDir().mkpath(QFileInfo(name).path());
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush()
        && file.setFileTime(time, QFileDevice::FileModificationTime);
}

QByteArray read(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Every file below dir with its bytes.
Files filesIn(const QString &dir)
{
    Files files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(dir).relativeFilePath(path), read(path));
    }
    return files;
}

// What "predver.rar" would restore, extracted by the archiver into an empty directory.
Files backupContents()
{
    if (!QFile::exists(u"predver.rar"_s))
        return {};
    QTemporaryDir out;
    const int code = QProcess::execute(QStringLiteral(TAV_BIN_DIR "/rar"),
        {u"x"_s, u"-idcpdq"_s, u"-y"_s, QFileInfo(u"predver.rar"_s).absoluteFilePath(), out.path() + u'/'});
    return code == 0 ? filesIn(out.path()) : Files{{u"(extraction failed)"_s, {}}};
}

QByteArray text(const char *key)
{
    return Catalog::text(key).value_or(QByteArray());
}

QString boxText()
{
    const auto boxes = Diagnostics::recordedBoxes();
    return boxes.size() == 1 ? boxes.first().text : u"%1 boxes"_s.arg(boxes.size());
}

QByteArray stamp(const QDateTime &time)
{
    return UpdateLog::timeStamp(time);
}

} // namespace

void TestInstaller::init()
{
    Diagnostics::setRecording(true);
    Diagnostics::clearRecordedBoxes();
    Catalog::clear();
    Catalog::load(QStringLiteral(TAV_BIN_DIR "/tav.en.t"));
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_previousDir = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
    setArchiver(u"real"_s);
}

void TestInstaller::cleanup()
{
    for (const QString &path : std::as_const(m_immutable)) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
        int flags = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        if (fd >= 0)
            ::close(fd);
    }
    m_immutable.clear();
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
    m_otherVolume.reset();
}

void TestInstaller::setArchiver(const QString &kind)
{
    QFile::remove(u"rar"_s);
    QByteArray script;
    if (kind == u"real")
        QVERIFY(QFile::copy(QStringLiteral(TAV_BIN_DIR "/rar"), u"rar"_s));
    else if (kind == u"failing")
        script = "#!/bin/sh\necho 'rar: predver.rar: No space left on device' >&2\nexit 2\n";
    else if (kind == u"killed")
        script = "#!/bin/sh\nkill -KILL $$\n";
    if (!script.isEmpty()) {
        QVERIFY(write(u"rar"_s, script));
        QVERIFY(QFile::setPermissions(u"rar"_s, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
}

// The immutable flag stops root too: such a file can be neither replaced nor removed.
void TestInstaller::setImmutable(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const int fd = ::open(QFile::encodeName(absolute).constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    int flags = 0;
    const bool set = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0
        && (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    ::close(fd);
    if (!set)
        QSKIP("this file system or user cannot make files immutable");
    m_immutable << absolute;
}

// "UP00" becomes a link to a directory on another file system, so that moving out of it fails.
void TestInstaller::putUpdateOnOtherVolume()
{
    m_otherVolume = std::make_unique<QTemporaryDir>(u"/dev/shm/tst_installer-XXXXXX"_s);
    struct stat here
    {
    }, there{};
    if (!m_otherVolume->isValid() || ::stat(".", &here) != 0
        || ::stat(QFile::encodeName(m_otherVolume->path()).constData(), &there) != 0
        || here.st_dev == there.st_dev)
        QSKIP("no second file system at /dev/shm");
    for (const QString &name : QDir(u"UP00"_s).entryList(QDir::Files))
        QVERIFY(QFile::rename(u"UP00/"_s + name, m_otherVolume->filePath(name)));
    QVERIFY(QDir(u"UP00"_s).removeRecursively());
    QVERIFY(QFile::link(m_otherVolume->path(), u"UP00"_s));
}

void TestInstaller::installOne_data()
{
    QTest::addColumn<Files>("before");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("archiver");
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QByteArray>("key"); // of the log view's line
    QTest::addColumn<bool>("backedUp");

    // The updater's own name from its table, whatever this test program is called.
    const QString exe = u"tav"_s;
    const QString capitals = exe.toUpper();
    const Files a{{u"a.dat"_s, "old a"}};
    // The executable is a real program, running while it is replaced.
    const Files program{{exe, read(u"/bin/sleep"_s)}};
    QTest::newRow("new file moved in")
        << Files{} << u"new.dat"_s << u"real"_s << QString() << "Pere"_ba << false;
    QTest::newRow("replaced file backed up first")
        << a << u"a.dat"_s << u"real"_s << QString() << "Pere"_ba << true;
    QTest::newRow("file in a subdirectory")
        << Files{{u"sub/b.dat"_s, "old b"}} << u"sub/b.dat"_s << u"real"_s << QString() << "Pere"_ba << true;
    QTest::newRow("tav.t never backed up")
        << Files{{u"tav.t"_s, "old catalog"}} << u"tav.t"_s << u"real"_s << QString() << "Pere"_ba << false;
    QTest::newRow("text.t never backed up")
        << Files{{u"text.t"_s, "old texts"}} << u"text.t"_s << u"real"_s << QString() << "Pere"_ba << false;
    QTest::newRow("running executable parked")
        << program << exe << u"real"_s << QString() << "Pere"_ba << false;
    QTest::newRow("earlier parked copy replaced")
        << program << exe << u"real"_s << u"parked file"_s << "Pere"_ba << false;
    QTest::newRow("executable in capitals backed up and parked")
        << Files{{capitals, "old program"}} << capitals << u"real"_s << QString() << "Pere"_ba << true;
    QTest::newRow("archiver missing") << a << u"a.dat"_s << u"missing"_s << QString() << "BakErr"_ba << false;
    QTest::newRow("archiver failing") << a << u"a.dat"_s << u"failing"_s << QString() << "BakErr"_ba << false;
    QTest::newRow("archiver killed") << a << u"a.dat"_s << u"killed"_s << QString() << "BakErr"_ba << false;
    QTest::newRow("directory in the way")
        << Files{{u"a.dat/inside"_s, "kept"}} << u"a.dat"_s << u"real"_s << QString() << "MovErr"_ba << false;
    QTest::newRow("installation lacks the subdirectory")
        << Files{} << u"nosuch/c.dat"_s << u"real"_s << QString() << "MovErr"_ba << false;
    QTest::newRow("read-only destination")
        << a << u"a.dat"_s << u"real"_s << u"immutable"_s << "MovErr"_ba << true;
    QTest::newRow("move across file systems")
        << a << u"a.dat"_s << u"real"_s << u"other volume"_s << "MovErr"_ba << true;
    QTest::newRow("parked copy cannot be removed")
        << program << exe << u"real"_s << u"parked immutable"_s << "OldErr"_ba << false;
    QTest::newRow("non-empty directory under the parked name")
        << program << exe << u"real"_s << u"parked directory"_s << "OldErr"_ba << false;
    QTest::newRow("executable cannot move in: the old one put back")
        << program << exe << u"real"_s << u"other volume"_s << "MovErr"_ba << false;
}

void TestInstaller::installOne()
{
    QFETCH(Files, before);
    QFETCH(QString, entry);
    QFETCH(QString, archiver);
    QFETCH(QString, obstacle);
    QFETCH(QByteArray, key);
    QFETCH(bool, backedUp);

    const QString parked = u"tavold"_s;
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QVERIFY(write(it.key(), it.value(), installedBefore));
    QVERIFY(write(u"UP00/"_s + entry, "new"));
    setArchiver(archiver);
    if (obstacle.startsWith(u"parked"))
        QVERIFY(write(obstacle.endsWith(u"directory") ? parked + u"/inside"_s : parked, "older program"));
    if (obstacle.endsWith(u"immutable"))
        setImmutable(obstacle.startsWith(u"parked") ? parked : entry);
    else if (obstacle == u"other volume")
        putUpdateOnOtherVolume();
    const Files installation = filesIn(u"."_s);
    QProcess running;
    if (entry == u"tav") {
        QVERIFY(QFile::setPermissions(entry, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        running.start(u"./"_s + entry, {u"60"_s});
        QVERIFY(running.waitForStarted());
    }

    RecordingUpdateView view;
    UpdateLog log("00000.log");
    Installer installer(view, log, "kora10.exe");
    const bool ok = key == "Pere";
    QCOMPARE(installer.installFile(QByteArray("UP00/" + entry.toUtf8()), entry.toUtf8()), ok);
    if (running.state() != QProcess::NotRunning) {
        QCOMPARE(running.state(), QProcess::Running);
        running.kill();
        running.waitForFinished();
    }

    QCOMPARE(view.lines.size(), 1);
    const QByteArray line = view.lines.first();
    if (ok) {
        QCOMPARE(line, "black: " + text("Pere") + ' ' + entry.toUtf8());
        QCOMPARE(read(u"00000.log"_s), text("Pere") + ' ' + entry.toUtf8() + " - " + stamp(unpacked) + '\n');
        QCOMPARE(read(entry), "new"_ba);
        QVERIFY(!QFileInfo::exists(u"UP00/"_s + entry));
        if (entry.compare(u"tav", Qt::CaseInsensitive) == 0)
            QCOMPARE(read(parked), before.value(entry));
    } else {
        QVERIFY2(line.startsWith("red: " + text(key) + ' ' + entry.toUtf8() + " - "), line.constData());
        QCOMPARE(read(u"00000.log"_s), line.mid(5) + '\n');
        // Nothing in the installation changed (a parked executable is back), the new file waits in UP00.
        Files now = filesIn(u"."_s);
        now.remove(u"00000.log"_s);
        now.remove(u"predver.rar"_s);
        QCOMPARE(now, installation);
    }
    const Files backup = backedUp ? Files{{entry, before.value(entry)}} : Files{};
    QCOMPARE(backupContents(), backup);
    const bool archiverRan = archiver != u"real" || backedUp;
    QCOMPARE(view.busyChanges, archiverRan ? (QList<bool>{true, false}) : QList<bool>{});
}

// "predver.rar" keeps, for each replaced file, the copy taken just before its latest
// replacement; the restore brings exactly those back and removes the archive.
void TestInstaller::twoUpdatesThenRestore()
{
    const Files v0{{u"a.dat"_s, "a0"}, {u"b.dat"_s, "b0"}, {u"sub/c.dat"_s, "c0"}, {u"tav.t"_s, "t0"}};
    for (auto it = v0.cbegin(); it != v0.cend(); ++it)
        QVERIFY(write(it.key(), it.value(), installedBefore));
    QVERIFY(write(u"kora10.exe"_s, "host", installedBefore));

    RecordingUpdateView view;
    auto *newButton = new QPushButton(view.window());
    newButton->setObjectName(u"New"_s);
    newButton->hide();
    auto *rebak = new QPushButton(view.window());
    rebak->setObjectName(u"ReBak"_s);
    UpdateLog log("00000.log");
    Installer installer(view, log, "kora10.exe");

    const QList<QList<QByteArray>> updates{
        {"a.dat", "b.dat", "d.dat", "tav.t"}, {"b.dat", "sub/c.dat", "d.dat"}};
    for (int round = 1; round <= 2; ++round) {
        for (const QByteArray &entry : updates[round - 1])
            QVERIFY(
                write(u"UP00/"_s + QString::fromLatin1(entry), entry.left(1) + QByteArray::number(round)));
        Diagnostics::clearRecordedBoxes();
        const Installer::Result result = installer.installFiles(updates[round - 1]);
        QCOMPARE(result.installed, updates[round - 1].size());
        QCOMPARE(result.failed, 0);
        QCOMPARE(boxText(), Catalog::displayText("IsNew"));
    }
    const QByteArray pere = text("Pere") + ' ';
    const QByteArray closing
        = "+ " + OwnFiles::executableName() + " - No\n+ kora10.exe - " + stamp(installedBefore) + '\n';
    const QByteArray firstRun = pere + "a.dat - " + stamp(unpacked) + '\n' + pere + "b.dat - "
        + stamp(unpacked) + '\n' + pere + "d.dat - " + stamp(unpacked) + '\n' + pere + "tav.t - "
        + stamp(unpacked) + "\nFiles installed: 4\n" + closing;
    QVERIFY2(read(u"00000.log"_s).startsWith(firstRun), read(u"00000.log"_s).constData());
    QCOMPARE(backupContents(),
        (Files{{u"a.dat"_s, "a0"}, {u"b.dat"_s, "b1"}, {u"sub/c.dat"_s, "c0"}, {u"d.dat"_s, "d1"}}));

    refreshBackupButton(view.window());
    QVERIFY(rebak->isEnabled());
    QCOMPARE(rebak->toolTip(), Catalog::displayText("BakT"));

    Diagnostics::clearRecordedBoxes();
    const qsizetype logSize = read(u"00000.log"_s).size();
    installer.restoreBackup();
    QCOMPARE(boxText(), Catalog::displayText("ReBakIs"));
    Files now = filesIn(u"."_s);
    for (const QString &other : {u"00000.log"_s, u"kora10.exe"_s, u"rar"_s, u"taw.tax"_s})
        now.remove(other);
    QCOMPARE(now,
        (Files{{u"a.dat"_s, "a0"}, {u"b.dat"_s, "b1"}, {u"sub/c.dat"_s, "c0"}, {u"d.dat"_s, "d1"},
            {u"tav.t"_s, "t1"}}));
    QVERIFY(!newButton->isHidden());
    QVERIFY(!rebak->isEnabled());
    QCOMPARE(rebak->toolTip(), Catalog::displayText("NoBak"));
    const QByteArray restoreLines = read(u"00000.log"_s).mid(logSize);
    const QRegularExpression expected(
        u"^#\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d %1\n<- %2 - No\n<- kora10.exe - %3\n$"_s.arg(
            QString::fromLatin1(text("ReBakIs")), QString::fromLatin1(OwnFiles::executableName()),
            QString::fromLatin1(stamp(installedBefore))));
    QVERIFY2(expected.match(QString::fromLatin1(restoreLines)).hasMatch(), restoreLines.constData());
}

// Without a catalog the keys stand for themselves: the count line reads "Per" and the number of
// files really installed, the failures get their own count and the closing box says so.
void TestInstaller::countsWithFailuresAndNoCatalog()
{
    Catalog::clear();
    QVERIFY(write(u"UP00/a.dat"_s, "new"));
    QVERIFY(write(u"UP00/nosuch/b.dat"_s, "new"));
    RecordingUpdateView view;
    UpdateLog log("00000.log");
    const Installer::Result result
        = Installer(view, log, "kora10.exe -x").installFiles({"a.dat", "nosuch/b.dat"});
    QCOMPARE(result.installed, 1);
    QCOMPARE(result.failed, 1);
    // The box names the first file that was not installed, and why.
    QVERIFY2(boxText().startsWith(u"NePer\nMovErr nosuch/b.dat - "_s), qPrintable(boxText()));
    const QList<QByteArray> lines = read(u"00000.log"_s).split('\n');
    QCOMPARE(lines.size(), 7);
    QCOMPARE(lines[0], "Pere a.dat - " + stamp(unpacked));
    QVERIFY(lines[1].startsWith("MovErr nosuch/b.dat - "));
    QCOMPARE(lines.mid(2),
        (QList<QByteArray>{
            "Per1", "NePer1", "+ " + OwnFiles::executableName() + " - No", "+ kora10.exe -x - No", ""}));
}

void TestInstaller::oneBackupRunBeforeAnyReplacement_data()
{
    QTest::addColumn<QString>("archiver");
    QTest::addColumn<QList<QByteArray>>("selected"); // code page 1251
    QTest::addColumn<int>("runs");

    const QList<QByteArray> mixed{"a.dat", "sub/b.dat", "new.dat", "tav.t", "\xcf\xf0\xe8.dat"};
    QTest::newRow("every replaced file in one run") << u"real"_s << mixed << 1;
    QTest::newRow("failing archiver: nothing installed") << u"failing"_s << mixed << 1;
    QTest::newRow("killed archiver: nothing installed") << u"killed"_s << mixed << 1;
    QTest::newRow("nothing to back up: no run") << u"real"_s << QList<QByteArray>{"new.dat", "tav.t"} << 0;
}

// An update backs up everything it replaces in one archiver run, made before the first file is
// replaced; when that run fails nothing is installed, new files included, and the run's list of
// paths is left nowhere.
void TestInstaller::oneBackupRunBeforeAnyReplacement()
{
    QFETCH(QString, archiver);
    QFETCH(QList<QByteArray>, selected);
    QFETCH(int, runs);

    const QString cyrillic = u"\u041f\u0440\u0438.dat"_s;
    const Files before{{u"a.dat"_s, "old a"}, {u"sub/b.dat"_s, "old b"}, {u"tav.t"_s, "old catalog"},
        {cyrillic, "old cyrillic"}};
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QVERIFY(write(it.key(), it.value(), installedBefore));
    for (const QByteArray &entry : selected)
        QVERIFY(write(u"UP00/"_s + CodePage::toUnicode(entry), "new"));
    setArchiver(archiver);
    // Each run of the archiver notes its arguments, its list and what a.dat held at that moment.
    QTemporaryDir record;
    QVERIFY(QFile::rename(u"rar"_s, u".rar-wrapped"_s));
    const QString runsFile = record.filePath(u"runs"_s);
    QVERIFY(write(u"rar"_s,
        "#!/bin/sh\n{ echo \"run $*\"; for a; do case $a in @*) cat \"${a#@}\";; esac; done;"
        " echo \"a.dat: $(cat a.dat)\"; } >> '"
            + runsFile.toUtf8() + "'\nexec ./.rar-wrapped \"$@\"\n"));
    QVERIFY(QFile::setPermissions(u"rar"_s, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    // The list file goes to the temporary folder; a private one keeps other tests' lists out of the count.
    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const std::optional<QByteArray> savedTmpDir
        = qEnvironmentVariableIsSet("TMPDIR") ? std::optional(qgetenv("TMPDIR")) : std::nullopt;
    qputenv("TMPDIR", QFile::encodeName(temporary.path()));
    const auto restoreTmpDir = qScopeGuard([&] {
        if (savedTmpDir)
            qputenv("TMPDIR", *savedTmpDir);
        else
            qunsetenv("TMPDIR");
    });
    const QStringList temporaryBefore = QDir::temp().entryList({u"tav-backup-*"_s});
    const Files installation = filesIn(u"."_s);

    RecordingUpdateView view;
    UpdateLog log("00000.log");
    const Installer::Result result = Installer(view, log, "kora10.exe").installFiles(selected);

    const QList<QByteArray> runLines = read(runsFile).split('\n');
    QCOMPARE(read(runsFile).count("run a -r -idcpdq -y predver @"), runs);
    if (runs > 0) {
        QCOMPARE(
            runLines.mid(1, 4), (QList<QByteArray>{"a.dat", "sub/b.dat", cyrillic.toUtf8(), "a.dat: old a"}));
    }
    QCOMPARE(QDir::temp().entryList({u"tav-backup-*"_s}), temporaryBefore);
    const bool ok = archiver == u"real";
    QCOMPARE(result.installed, ok ? selected.size() : 0);
    QCOMPARE(result.failed, ok ? 0 : selected.size());
    if (ok)
        QCOMPARE(boxText(), Catalog::displayText("IsNew"));
    else
        QVERIFY2(boxText().startsWith(Catalog::displayText("NePer") + u'\n' + Catalog::displayText("BakErr")),
            qPrintable(boxText()));
    if (ok) {
        for (const QByteArray &entry : selected)
            QCOMPARE(read(CodePage::toUnicode(entry)), "new"_ba);
        QCOMPARE(backupContents().keys(),
            runs ? (QStringList{u"a.dat"_s, u"sub/b.dat"_s, cyrillic}) : QStringList{});
        return;
    }
    Files now = filesIn(u"."_s);
    now.remove(u"00000.log"_s);
    now.remove(u"taw.tax"_s);
    QCOMPARE(now, installation);
    QCOMPARE(view.lines.size(), 1);
    QVERIFY2(view.lines.first().startsWith("red: " + text("BakErr") + " predver.rar - "),
        view.lines.first().constData());
    QCOMPARE(read(u"00000.log"_s).split('\n').mid(0, 3),
        (QList<QByteArray>{view.lines.first().mid(5), text("Per%d").replace("%d", "0"),
            text("NePer%d").replace("%d", QByteArray::number(selected.size()))}));
}

void TestInstaller::restoreFailures_data()
{
    QTest::addColumn<QString>("backup");
    QTest::addColumn<QString>("archiver");
    QTest::addColumn<QByteArray>("key"); // of the box
    QTest::addColumn<QString>("reason"); // a regular expression; empty: no reason, no view line

    QTest::newRow("no backup") << QString() << u"real"_s << "NoBak"_ba << QString();
    QTest::newRow("only BK00") << u"BK00"_s << u"real"_s << "ReBakErr"_ba << u"predver.rar is missing"_s;
    QTest::newRow("damaged archive") << u"damaged"_s << u"real"_s << "ReBakErr"_ba << u"exit code 2: .+"_s;
    QTest::newRow("archiver killed") << u"archive"_s << u"killed"_s << "ReBakErr"_ba << u"killed"_s;
    QTest::newRow("archiver missing")
        << u"archive"_s << u"missing"_s << "ReBakErr"_ba << u"could not be started"_s;
}

// A restore that did not happen keeps "predver.rar" and says so in the view, a box and the log.
void TestInstaller::restoreFailures()
{
    QFETCH(QString, backup);
    QFETCH(QString, archiver);
    QFETCH(QByteArray, key);
    QFETCH(QString, reason);

    QVERIFY(write(u"a.dat"_s, "current"));
    if (backup == u"BK00")
        QVERIFY(QDir().mkdir(u"BK00"_s));
    else if (backup == u"damaged")
        QVERIFY(write(u"predver.rar"_s, "not an archive at all"));
    else if (backup == u"archive")
        QCOMPARE(QProcess::execute(u"./rar"_s, {u"a"_s, u"-idcpdq"_s, u"predver"_s, u"a.dat"_s}), 0);
    const QByteArray archive = read(u"predver.rar"_s);
    QVERIFY(write(u"a.dat"_s, "current, changed"));
    setArchiver(archiver);

    RecordingUpdateView view;
    auto *rebak = new QPushButton(view.window());
    rebak->setObjectName(u"ReBak"_s);
    UpdateLog log("00000.log");
    Installer(view, log, "kora10.exe").restoreBackup();
    // The backup button follows what is there, BK00 alone included.
    refreshBackupButton(view.window());
    QCOMPARE(rebak->isEnabled(), !backup.isEmpty());

    if (reason.isEmpty())
        QCOMPARE(boxText(), Catalog::displayText(key));
    else
        QVERIFY2(boxText().startsWith(Catalog::displayText(key) + u'\n')
                && boxText().contains(QRegularExpression(reason)),
            qPrintable(boxText()));
    QCOMPARE(read(u"predver.rar"_s), archive);
    QCOMPARE(read(u"a.dat"_s), "current, changed"_ba);
    const QByteArray logged = read(u"00000.log"_s);
    if (reason.isEmpty()) {
        QCOMPARE(logged, '#' + text("NoBak") + '\n');
        QVERIFY(view.lines.isEmpty());
        return;
    }
    QCOMPARE(view.lines.size(), 1);
    const QRegularExpression line(u"^red: %1 - .*%2"_s.arg(QString::fromLatin1(text(key)), reason));
    QVERIFY2(line.match(QString::fromLatin1(view.lines.first())).hasMatch(), view.lines.first().constData());
    QVERIFY2(
        logged.startsWith('#') && logged.contains(view.lines.first().mid(5) + "\n<- "), logged.constData());
}

QTEST_MAIN(TestInstaller)
#include "tst_installer.moc"
