// Installing an update on Windows, under Wine: files with Cyrillic names and backslash paths
// replaced with MoveFileExW and backed up by the rar.exe of the installation, the running tav.exe
// parked as tavold.exe and replaced while it runs, and the host program started at the end of the
// run by its bare name or by a Windows path.
#include "common/recordingupdateview.h"
#include "common/testpaths.h"
#include "modes/update/installer.h"
#include "modes/update/updatelog.h"
#include "platform/archiver.h"
#include "platform/filereplacement.h"
#include "platform/processstart.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "support/codepage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Waits until the stand-in has written its command line, that is, until it runs.
bool waitForRun(const QString &log)
{
    return QTest::qWaitFor([&] { return QFileInfo::exists(log) && read(log).endsWith('\n'); }, 20000);
}

} // namespace

class TestInstallerWin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void replace_data();
    void replace();
    void installFile_data();
    void installFile();
    void runningExecutableReplaced();
    void hostProgramStarted_data();
    void hostProgramStarted();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
};

void TestInstallerWin::initTestCase()
{
    Diagnostics::setRecording(true);
    Catalog::load(TestPaths::built(u"tav.en.t"_s));
    QVERIFY(Catalog::isLoaded());
    QVERIFY(QFileInfo(TestPaths::built(u"rar.exe"_s)).isFile());
    QVERIFY(QFileInfo(TestPaths::built(u"standin.exe"_s)).isFile());
}

void TestInstallerWin::init()
{
    Diagnostics::clearRecordedBoxes();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestInstallerWin::cleanup()
{
    QDir::setCurrent(m_previousDir);
    // A started program that still has the installation as its current directory holds it a
    // little after its end.
    QVERIFY(QTest::qWaitFor([this] { return m_dir->remove(); }, 10000));
    m_dir.reset();
}

void TestInstallerWin::replace_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<bool>("destinationExists");

    QTest::newRow("over an existing file, Cyrillic names") << u"новый.dat"_s << u"старый.dat"_s << true;
    QTest::newRow("to a new name, backslashes") << u"sub\\a.dat"_s << u"sub\\б.dat"_s << false;
}

// MoveFileExW replaces in one step; a missing source fails with the system's reason and leaves the
// destination alone.
void TestInstallerWin::replace()
{
    QFETCH(QString, source);
    QFETCH(QString, destination);
    QFETCH(bool, destinationExists);
    QVERIFY(write(source, "new"));
    if (destinationExists)
        QVERIFY(write(destination, "old"));

    const FileReplacement::Result result = FileReplacement::replace(source, destination);
    QVERIFY2(result.ok, qPrintable(result.errorText));
    QCOMPARE(read(destination), "new"_ba);
    QVERIFY(!QFileInfo::exists(source));

    const FileReplacement::Result missing = FileReplacement::replace(source, destination);
    QVERIFY(!missing.ok);
    QVERIFY(!missing.errorText.isEmpty());
    QCOMPARE(read(destination), "new"_ba);
}

void TestInstallerWin::installFile_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("backedUp");

    QTest::newRow("an installed file with a Cyrillic name") << u"гороскоп.dat"_s << true << true;
    QTest::newRow("a new file in a subdirectory, backslashes") << u"данные\\новый.dat"_s << false << false;
    QTest::newRow("the catalog is never backed up") << u"tav.t"_s << true << false;
}

// The backup goes through the rar.exe of the installation; extracted again it gives back the
// file as it was before.
void TestInstallerWin::installFile()
{
    QFETCH(QString, entry);
    QFETCH(bool, installed);
    QFETCH(bool, backedUp);
    QVERIFY(QFile::copy(TestPaths::built(u"rar.exe"_s), u"rar.exe"_s));
    QVERIFY(QDir().mkpath(u"данные"_s));
    if (installed)
        QVERIFY(write(entry, "old"));
    QVERIFY(write(u"UP00\\"_s + entry, "new"));

    RecordingUpdateView view;
    UpdateLog log("00000.log");
    Installer installer(view, log, "kora10.exe");
    const QByteArray destination = CodePage::fromUnicode(entry);
    QVERIFY(installer.installFile("UP00\\" + destination, destination));
    QCOMPARE(view.lines, QList<QByteArray>{"black: " + Catalog::text("Pere").value() + ' ' + destination});
    QCOMPARE(read(entry), "new"_ba);
    QVERIFY(!QFileInfo::exists(u"UP00\\"_s + entry));

    QCOMPARE(QFileInfo::exists(u"predver.rar"_s), backedUp);
    if (backedUp) {
        QVERIFY(QDir().mkpath(u"restored"_s));
        const Archiver::Result extracted
            = Archiver::run({u"x"_s, u"-idcpdq"_s, u"-y"_s, u"predver.rar"_s, u"restored/"_s});
        QVERIFY2(extracted.errorText.isEmpty(), qPrintable(extracted.errorText));
        QCOMPARE(read(u"restored\\"_s + entry), "old"_ba);
    }
}

// The running executable cannot be overwritten, but it can be renamed: it goes on running as
// tavold.exe while the new tav.exe takes its name; an earlier tavold.exe makes room first.
void TestInstallerWin::runningExecutableReplaced()
{
    QVERIFY(QFile::copy(TestPaths::built(u"standin.exe"_s), u"tav.exe"_s));
    QVERIFY(write(u"tavold.exe"_s, "an earlier parked copy"));
    const QByteArray program = read(u"tav.exe"_s);
    QVERIFY(write(u"UP00\\tav.exe"_s, "new program"));
    QProcess running;
    running.start(m_dir->filePath(u"tav.exe"_s), {u"wait=60"_s});
    QVERIFY(running.waitForStarted());
    QVERIFY(waitForRun(m_dir->filePath(u"tav.exe.ran"_s)));
    // Windows refuses to overwrite or delete it while it runs.
    QVERIFY(!QFile::remove(u"tav.exe"_s));

    RecordingUpdateView view;
    UpdateLog log("00000.log");
    Installer installer(view, log, "kora10.exe");
    QVERIFY(installer.installFile("UP00\\tav.exe", "tav.exe"));
    QCOMPARE(running.state(), QProcess::Running);
    QCOMPARE(read(u"tav.exe"_s), "new program"_ba);
    QCOMPARE(read(u"tavold.exe"_s), program);
    QVERIFY(!QFileInfo::exists(u"predver.rar"_s));
    running.kill();
    QVERIFY(running.waitForFinished());
    // Once it has ended, the next update can delete the parked copy.
    QVERIFY(QTest::qWaitFor([] { return QFile::remove(u"tavold.exe"_s); }, 10000));
}

void TestInstallerWin::hostProgramStarted_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("commandLine");

    QTest::newRow("bare name, from the installation") << QString() << u"kora10.exe"_s;
    QTest::newRow("bare name with an argument") << QString() << u"kora10.exe -a"_s;
    QTest::newRow("a Windows path with Cyrillic folders")
        << u"Программы\\Кора"_s << u"\"%1\\Программы\\Кора\\kora10.exe\" -a"_s;
}

// The program line of the end of a run starts the host program detached, in the installation.
void TestInstallerWin::hostProgramStarted()
{
    QFETCH(QString, folder);
    QFETCH(QString, commandLine);
    const QString program = folder.isEmpty() ? u"kora10.exe"_s : folder + u"\\kora10.exe"_s;
    QVERIFY(QDir().mkpath(folder.isEmpty() ? u"."_s : folder));
    QVERIFY(QFile::copy(TestPaths::built(u"standin.exe"_s), program));
    const QString line = commandLine.contains(u"%1")
        ? commandLine.arg(QDir::toNativeSeparators(m_dir->path()))
        : commandLine;

    QVERIFY(ProcessStart::startDetached(CodePage::fromUnicode(line)));
    QVERIFY(waitForRun(program + u".ran"_s));
    // The command line it got: the program's path, in quotes when it holds a blank, then the rest.
    const QString ran = QString::fromUtf8(read(program + u".ran"_s)).trimmed();
    const bool quoted = ran.startsWith(u'"');
    const qsizetype end = quoted ? ran.indexOf(u'"', 1) : ran.indexOf(u' ');
    const QString started = ran.mid(quoted ? 1 : 0, end < 0 ? -1 : end - (quoted ? 1 : 0));
    QCOMPARE(started.toLower(), QDir::toNativeSeparators(QFileInfo(program).absoluteFilePath()).toLower());
    QCOMPARE(ran.endsWith(u" -a"_s), commandLine.endsWith(u" -a"_s));
    // The stand-in ends by itself; then its file can go with the temporary installation.
    QVERIFY(QTest::qWaitFor([&] { return QFile::remove(program); }, 10000));
}

QTEST_MAIN(TestInstallerWin)
#include "tst_installer_win.moc"
