// End-to-end tests of the stand-in archiver: build/bin/rar runs as a process in temporary
// directories, on the genuine RAR fixtures and on archives written here with libarchive (well
// formed, hostile, cut). Full disks are forced with a file-size limit ("ulimit -f"), which Windows
// lacks. Archives are read back with libarchive in this process, as other tools read them.

#include "common/testarchives.h"
#include "common/testlinks.h"
#include "platform/archiver.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QOperatingSystemVersion>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <archive.h>
#include <archive_entry.h>
#include <clocale>
#include <filesystem>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 stamp = 1300000000; // the time of every entry written here
const QString stampText = u"2011-03-13T07:06:40Z"_s;

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// The archiver on Windows makes no symbolic links (it reports each one instead), and Windows has no
// executable bit.
const bool onWindows = QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows;
const QString linkNotMade = u"symbolic link not made on Windows"_s;

// Runs program in dir with TZ=UTC; with a limit (KiB), under "ulimit -f limit".
Run run(const QString &dir, const QString &program, const QStringList &arguments, int limit = 0)
{
    QProcess process;
    process.setWorkingDirectory(dir);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"TZ"_s, u"UTC"_s);
    process.setProcessEnvironment(environment);
    if (limit > 0) {
        const QString script = u"ulimit -f %1 && exec \"$0\" \"$@\""_s.arg(limit);
        process.start(u"bash"_s, QStringList{u"-c"_s, script, program} + arguments);
    } else {
        process.start(program, arguments);
    }
    process.waitForFinished(120000);
    Run result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    // Lines end in CR LF on Windows.
    result.out = QString::fromUtf8(process.readAllStandardOutput()).replace(u"\r\n"_s, u"\n"_s);
    result.err = QString::fromUtf8(process.readAllStandardError()).replace(u"\r\n"_s, u"\n"_s);
    return result;
}

Run rar(const QString &dir, const QStringList &arguments, int limit = 0)
{
    return run(dir, QStringLiteral(TAV_BIN_DIR "/rar"), arguments, limit);
}

// One line per name below dir, sorted: "path/" for a directory, "path -> target" for a link,
// "path SIZE TIME" for a file (with " x" when executable). Hidden names are listed too, so a
// temporary file left behind shows.
QStringList listing(const QString &dir)
{
    QStringList lines;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString path = QDir(dir).relativeFilePath(info.filePath());
        if (info.isSymbolicLink()) {
            std::error_code failed;
            const auto target = std::filesystem::read_symlink(info.filesystemFilePath(), failed);
            lines << path + u" -> "_s + QString::fromStdU16String(target.generic_u16string());
        } else if (info.isDir()) {
            lines << path + u'/';
        } else {
            lines << u"%1 %2 %3%4"_s.arg(path)
                         .arg(info.size())
                         .arg(info.lastModified().toUTC().toString(Qt::ISODate),
                             info.permissions() & QFile::ExeOwner ? u" x"_s : QString());
        }
    }
    lines.sort();
    return lines;
}

// What an extraction expected to leave as `expected` (a listing) leaves on this system, and the
// links reported instead, sorted: "rar: NAME: reason".
struct Outcome
{
    QStringList listing;
    QStringList linkRefusals;
};

Outcome onThisSystem(const QStringList &expected)
{
    if (!onWindows)
        return {expected, {}};
    Outcome outcome;
    for (QString line : expected) {
        if (line.contains(u" -> "_s)) {
            outcome.linkRefusals << u"rar: %1: %2"_s.arg(line.section(u" -> "_s, 0, 0), linkNotMade);
            continue;
        }
        if (line.endsWith(u" x"_s))
            line.chop(2);
        outcome.listing << line;
    }
    return outcome;
}

// The lines of text, sorted, one string (QCOMPARE shows it whole).
QString sortedLines(const QString &text)
{
    QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    lines.sort();
    return lines.join(u'\n');
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Writes an archive ("tar" is pax, "tar.gz", "zip", "7z") from entries "TYPE NAME [VALUE]":
// f file (VALUE: contents), x executable file, d directory, l symbolic link and h hard link
// (VALUE: target), c character device, p FIFO. Every entry has the time `stamp`.
void writeArchive(const QString &path, const QString &format, const QStringList &entries)
{
    std::unique_ptr<archive, decltype(&archive_write_free)> writer(archive_write_new(), &archive_write_free);
    if (format == u"zip"_s)
        archive_write_set_format_zip(writer.get());
    else if (format == u"7z"_s)
        archive_write_set_format_7zip(writer.get());
    else
        archive_write_set_format_pax_restricted(writer.get());
    if (format.endsWith(u".gz"_s))
        archive_write_add_filter_gzip(writer.get());
    QCOMPARE(archive_write_open_filename(writer.get(), QFile::encodeName(path).constData()), ARCHIVE_OK);
    for (const QString &line : entries) {
        const QStringList parts = line.split(u' ');
        const QChar type = parts.at(0).at(0);
        const QByteArray name = parts.at(1).toUtf8();
        const QByteArray value = parts.value(2).toUtf8();
        std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(
            archive_entry_new(), &archive_entry_free);
        archive_entry_set_pathname_utf8(entry.get(), name.constData());
        archive_entry_set_mtime(entry.get(), stamp, 0);
        archive_entry_set_perm(entry.get(), type == u'x' || type == u'd' ? 0755 : 0644);
        const bool isFile = type == u'f' || type == u'x';
        archive_entry_set_filetype(entry.get(),
            isFile             ? AE_IFREG
                : type == u'd' ? AE_IFDIR
                : type == u'l' ? AE_IFLNK
                : type == u'c' ? AE_IFCHR
                : type == u'p' ? AE_IFIFO
                               : AE_IFREG);
        if (type == u'l')
            archive_entry_update_symlink_utf8(entry.get(), value.constData());
        if (type == u'h')
            archive_entry_update_hardlink_utf8(entry.get(), value.constData());
        if (type == u'c') {
            archive_entry_set_rdevmajor(entry.get(), 1);
            archive_entry_set_rdevminor(entry.get(), 3);
        }
        archive_entry_set_size(entry.get(), isFile ? value.size() : 0);
        QVERIFY2(archive_write_header(writer.get(), entry.get()) == ARCHIVE_OK,
            archive_error_string(writer.get()));
        if (isFile)
            QCOMPARE(archive_write_data(writer.get(), value.constData(), value.size()), value.size());
    }
    QCOMPARE(archive_write_close(writer.get()), ARCHIVE_OK);
}

using Reader = std::unique_ptr<archive, decltype(&archive_read_free)>;

// Opens the archive at path with libarchive, the reader other tools (bsdtar) use.
Reader openArchive(const QString &path, QByteArray &bytes)
{
    bytes = contents(path);
    Reader reader(archive_read_new(), &archive_read_free);
    archive_read_support_filter_all(reader.get());
    archive_read_support_format_all(reader.get());
    if (archive_read_open_memory(reader.get(), bytes.constData(), bytes.size()) != ARCHIVE_OK)
        return Reader(nullptr, &archive_read_free);
    return reader;
}

// The names in the archive at path, in order; a last line "<damaged: ...>" when it does not
// read to its end.
QStringList entriesOf(const QString &path)
{
    QByteArray bytes;
    const Reader reader = openArchive(path, bytes);
    if (!reader)
        return {u"<unreadable>"_s};
    QStringList names;
    archive_entry *entry = nullptr;
    int status = ARCHIVE_OK;
    while ((status = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK)
        names << QString::fromUtf8(archive_entry_pathname_utf8(entry));
    if (status != ARCHIVE_EOF)
        names << u"<damaged: %1>"_s.arg(QString::fromUtf8(archive_error_string(reader.get())));
    return names;
}

// Extracts the archive at path into directory with libarchive's own writer; false on any error.
bool extractByLibarchive(const QString &path, const QString &directory)
{
    QByteArray bytes;
    const Reader reader = openArchive(path, bytes);
    if (!reader)
        return false;
    std::unique_ptr<archive, decltype(&archive_write_free)> writer(
        archive_write_disk_new(), &archive_write_free);
    archive_write_disk_set_options(writer.get(), ARCHIVE_EXTRACT_TIME);
    const auto within
        = [&](const char *name) { return (directory + u'/' + QString::fromUtf8(name)).toUtf8(); };
    archive_entry *entry = nullptr;
    int status = ARCHIVE_OK;
    while ((status = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK) {
        archive_entry_update_pathname_utf8(entry, within(archive_entry_pathname_utf8(entry)).constData());
        if (const char *target = archive_entry_hardlink_utf8(entry))
            archive_entry_update_hardlink_utf8(entry, within(target).constData());
        if (archive_read_extract2(reader.get(), entry, writer.get()) != ARCHIVE_OK)
            return false;
    }
    return status == ARCHIVE_EOF && archive_write_close(writer.get()) == ARCHIVE_OK;
}

QString fixture(const QString &name)
{
    return QStringLiteral(TAV_SHARED_DIR "/fixtures/rar/") + name;
}

} // namespace

class TestRar : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fixtures_data();
    void fixtures();
    void madeArchives_data();
    void madeArchives();
    void eightBitNames_data();
    void eightBitNames();
    void hostileArchives_data();
    void hostileArchives();
    void damagedArchives_data();
    void damagedArchives();
    void fullDiskDuringExtract();

    void updaterCommandLines();
    void addReplacesAndOtherReadersAgree();
    void addFromLists();
    void archiveName_data();
    void archiveName();
    void addFailures_data();
    void addFailures();
    void cutTailIsWrittenOver_data();
    void cutTailIsWrittenOver();
    void killDuringAdd();
    void concurrentAddsAllArrive();
    void fullDiskDuringAdd_data();
    void fullDiskDuringAdd();

    void usage_data();
    void usage();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;
};

void TestRar::initTestCase()
{
    // libarchive converts the names written here through the C library's code page, as the
    // archiver does; on Windows the program starts in the "C" locale, which has ASCII alone.
    std::setlocale(LC_CTYPE, "");
}

void TestRar::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_root = m_dir->path();
}

void TestRar::cleanup()
{
    // Under Wine a finished child lets go of its working directory a moment after it ends.
    const QDeadlineTimer deadline(5000);
    while (!QDir(m_root).removeRecursively() && !deadline.hasExpired())
        QThread::msleep(10);
}

void TestRar::fixtures_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("RAR4 with links and directories")
        << u"test_read_format_rar.rar"_s << 0
        << QStringList{u"test.txt 20 2011-06-26T14:53:46Z"_s, u"testdir/"_s,
               u"testdir/test.txt 20 2011-06-26T14:59:07Z"_s, u"testemptydir/"_s, u"testlink -> test.txt"_s};
    QTest::newRow("RAR5 compressed") << u"test_read_format_rar5_multiple_files.rar"_s << 0
                                     << QStringList{u"test1.bin 4096 2018-09-27T04:41:11Z"_s,
                                            u"test2.bin 4096 2018-09-27T04:41:30Z"_s,
                                            u"test3.bin 4096 2018-09-27T04:41:34Z"_s,
                                            u"test4.bin 4096 2018-09-27T04:41:37Z"_s};
    QTest::newRow("RAR5 executables") << u"test_read_format_rar5_extra_field_version.rar"_s << 0
                                      << QStringList{u"bin/"_s, u"bin/2to3 95 2019-01-10T23:51:51Z x"_s,
                                             u"bin/2to3;1 95 2019-01-10T23:51:51Z x"_s};
    QTest::newRow("RAR5 stored") << u"test_read_format_rar5_stored.rar"_s << 0
                                 << QStringList{u"helloworld.txt 29 2018-09-26T04:43:42Z"_s};
    QTest::newRow("RAR4 encrypted: nothing, not even half")
        << u"test_read_format_rar_encryption_data.rar"_s << 1 << QStringList{};
}

void TestRar::fixtures()
{
    QFETCH(QString, archive);
    QFETCH(int, exitCode);
    QFETCH(QStringList, expected);

    const Run result = rar(m_root, {u"x"_s, u"-idcpdq"_s, u"-y"_s, fixture(archive), u"out/"_s});
    const Outcome outcome = onThisSystem(expected);
    QCOMPARE(result.exitCode, outcome.linkRefusals.isEmpty() ? exitCode : 1);
    QCOMPARE(listing(m_root + u"/out"_s), outcome.listing);
    QCOMPARE(result.out, QString());
    if (exitCode != 0) {
        QVERIFY2(result.err.contains(u"foo.txt: encrypted"_s) && result.err.contains(u"bar.txt: encrypted"_s),
            qPrintable(result.err));
    } else {
        QCOMPARE(sortedLines(result.err), outcome.linkRefusals.join(u'\n'));
    }
    if (archive == u"test_read_format_rar.rar"_s) {
        // Directory times are set after their contents are in place.
        QCOMPARE(QFileInfo(m_root + u"/out/testemptydir"_s).lastModified().toUTC().toString(Qt::ISODate),
            u"2011-06-21T21:28:59Z"_s);
        QCOMPARE(contents(m_root + u"/out/testdir/test.txt"_s), QByteArray("test text document\r\n"));
    }
}

void TestRar::madeArchives_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("targetGiven");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("expected");

    const QStringList common{u"d docs"_s, u"f docs/readme.txt hello"_s, u"x run.sh echo"_s, u"d empty"_s,
        u"f deep/a/b/c.txt deep"_s, u"l docs/link readme.txt"_s, u"f д/файл.txt кора"_s};
    const QStringList made{u"deep/"_s, u"deep/a/"_s, u"deep/a/b/"_s, u"deep/a/b/c.txt 4 "_s + stampText,
        u"docs/"_s, u"docs/link -> readme.txt"_s, u"docs/readme.txt 5 "_s + stampText, u"empty/"_s,
        u"run.sh 4 "_s + stampText + u" x"_s, u"д/"_s, u"д/файл.txt 8 "_s + stampText};
    QTest::newRow("zip, into the current directory") << u"zip"_s << false << common << made;
    QTest::newRow("7z, into a target") << u"7z"_s << true << common << made;
    QTest::newRow("tar.gz, into a target") << u"tar.gz"_s << true << common << made;
    // A hard link, a link that stays inside followed by a file, and a later entry of a path
    // replacing the earlier one, as in a backup.
    // Where links are not made, the file meant to pass through one lands in a directory of its name.
    const QStringList through = onWindows
        ? QStringList{u"back/up/"_s, u"back/up/through.txt 3 "_s + stampText}
        : QStringList{u"through.txt 3 "_s + stampText};
    QTest::newRow("tar with links and a replaced entry")
        << u"tar"_s << true
        << common
            + QStringList{u"h hard docs/readme.txt"_s, u"d back"_s, u"l back/up .."_s,
                u"f back/up/through.txt via"_s, u"f docs/readme.txt newest"_s}
        << made + QStringList{u"back/"_s, u"back/up -> .."_s, u"hard 5 "_s + stampText} + through;
}

void TestRar::madeArchives()
{
    QFETCH(QString, format);
    QFETCH(bool, targetGiven);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, expected);

    const QString archive = m_root + u"/archive."_s + format;
    writeArchive(archive, format, entries);
    // Existing files are overwritten.
    writeFile(m_root + u"/out/docs/readme.txt"_s, "old contents");
    writeFile(m_root + u"/out/run.sh"_s, "old");

    const Run result = targetGiven ? rar(m_root, {u"x"_s, u"-idcpdq"_s, u"-y"_s, archive, u"out/"_s})
                                   : rar(m_root + u"/out"_s, {u"x"_s, u"-idcpdq"_s, u"-y"_s, archive});
    const bool replaced = entries.contains(u"f docs/readme.txt newest"_s);
    if (replaced)
        expected.replaceInStrings(u"docs/readme.txt 5 "_s, u"docs/readme.txt 6 "_s);
    expected.sort();
    const Outcome outcome = onThisSystem(expected);
    QCOMPARE(sortedLines(result.err), outcome.linkRefusals.join(u'\n'));
    QCOMPARE(result.exitCode, outcome.linkRefusals.isEmpty() ? 0 : 1);
    QCOMPARE(listing(m_root + u"/out"_s), outcome.listing);
    QCOMPARE(
        contents(m_root + u"/out/docs/readme.txt"_s), replaced ? QByteArray("newest") : QByteArray("hello"));
    QCOMPARE(contents(m_root + u"/out/д/файл.txt"_s), u"кора"_s.toUtf8());
}

void TestRar::eightBitNames_data()
{
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QStringList>("expected"); // "name contents" of every file

    // "Тест" in the code pages of Windows: 866 (OEM, what archivers store) and 1251 (ANSI).
    const QByteArray cp866 = "\x92\xa5\xe1\xe2";
    const QByteArray cp1251 = "\xd2\xe5\xf1\xf2";
    const QByteArray utf8 = u"Тест"_s.toUtf8();
    const QString test = u"Тест"_s;
    using TestArchives::File;

    QTest::newRow("tar, a name not UTF-8 is code page 1251") << TestArchives::tar(
        {{cp1251 + ".dat", "a"}, {"plain.dat", "b"}}) << QStringList{u"plain.dat b"_s, test + u".dat a"_s};
    // A pax header names the entry in UTF-8, whatever its letters.
    QByteArray pax = TestArchives::tar({{"PaxHeader", "18 path=caf\xc3\xa9.dat\n"}, {"cafe.dat", "a"}});
    pax[156] = 'x';
    pax.replace(148, 8, QByteArray(8, ' '));
    int sum = 0;
    for (int i = 0; i < 512; ++i)
        sum += static_cast<unsigned char>(pax.at(i));
    pax.replace(148, 8, QByteArray::number(sum, 8).rightJustified(6, '0') + QByteArray("\0 ", 2));
    QTest::newRow("pax, Latin letters") << pax << QStringList{u"caf\u00e9.dat a"_s};
    QTest::newRow("tar, UTF-8 stays")
        << TestArchives::tar({{"d/" + utf8 + ".dat", "a"}}) << QStringList{u"d/"_s + test + u".dat a"_s};
    // 0x92 0xa5 is no UTF-8; 0xd0 0x92 is, and must not be taken for two letters of code page 866.
    QTest::newRow("zip without the Unicode flag is code page 866")
        << TestArchives::zip({{cp866 + ".dat", "a"}, {"\xd0\x92.dat", "b"}}, false)
        << QStringList{test + u".dat a"_s, u"\u2568\u0422.dat b"_s};
    QTest::newRow("zip with the Unicode flag")
        << TestArchives::zip({{utf8 + ".dat", "a"}}, true) << QStringList{test + u".dat a"_s};
    const QByteArray rar4 = contents(fixture(u"test_read_format_rar.rar"_s));
    const QString rest = u"testdir/test.txt test text document\r\n"_s;
    QTest::newRow("RAR4 without the Unicode name is code page 866") << TestArchives::renamedRar4(rar4,
        "test.txt", cp866 + ".txt", false) << QStringList{test + u".txt test text document\r\n"_s, rest};
    QTest::newRow("RAR4 with the Unicode name") << TestArchives::renamedRar4(rar4, "test.txt",
        u"日本.txt"_s.toUtf8(), true) << QStringList{rest, u"日本.txt test text document\r\n"_s};
    QTest::newRow("7z, Unicode") << TestArchives::sevenZip(
        {{utf8 + ".dat", "a"}, {u"日本.dat"_s.toUtf8(), "b"}})
                                 << QStringList{test + u".dat a"_s, u"日本.dat b"_s};
}

void TestRar::eightBitNames()
{
    QFETCH(QByteArray, archive);
    QFETCH(QStringList, expected);

    QVERIFY(!archive.isEmpty());
    writeFile(m_root + u"/update.rar"_s, archive);
    const Run result = rar(m_root, {u"x"_s, u"-idcpdq"_s, u"-y"_s, u"update.rar"_s, u"out/"_s});
    // The RAR4 archives hold a link besides.
    const QStringList links = onThisSystem({u"testlink -> test.txt"_s}).linkRefusals;
    const bool rar4 = archive.startsWith("Rar!\x1a\x07\x00");
    QCOMPARE(sortedLines(result.err), rar4 ? links.join(u'\n') : QString());
    QCOMPARE(result.exitCode, rar4 && !links.isEmpty() ? 1 : 0);
    // A name that is not UTF-8 on disk would be read back with U+FFFD in it.
    QStringList files;
    QDirIterator it(m_root + u"/out"_s, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files << QDir(m_root + u"/out"_s).relativeFilePath(path) + u' ' + QString::fromUtf8(contents(path));
    }
    files.sort();
    expected.sort();
    QCOMPARE(files, expected);
}

void TestRar::hostileArchives_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("existingLink"); // a link in the target before extracting: "name target"
    QTest::addColumn<QStringList>("refused");
    QTest::addColumn<QStringList>("expected");

    const QString ok = u"ok.txt 4 "_s + stampText;
    QTest::newRow("..") << QStringList{u"f ../x evil"_s, u"f a/../../y evil"_s, u"f ok.txt fine"_s}
                        << QString() << QStringList{u"../x"_s, u"a/../../y"_s} << QStringList{ok};
    QTest::newRow("absolute path") << QStringList{u"f /tmp/tav-rar-test-absolute evil"_s, u"f ok.txt fine"_s}
                                   << QString() << QStringList{u"/tmp/tav-rar-test-absolute"_s}
                                   << QStringList{ok};
    QTest::newRow("link to outside, then a file through it")
        << QStringList{u"l esc ../outside"_s, u"f esc/x evil"_s, u"f ok.txt fine"_s} << QString()
        << QStringList{u"esc"_s} << QStringList{u"esc/"_s, u"esc/x 4 "_s + stampText, ok};
    QTest::newRow("absolute link, then a file through it")
        << QStringList{u"l esc /tmp"_s, u"f esc/tav-rar-test-link evil"_s, u"f ok.txt fine"_s} << QString()
        << QStringList{u"esc"_s} << QStringList{u"esc/"_s, u"esc/tav-rar-test-link 4 "_s + stampText, ok};
    QTest::newRow("a link already in the target leading outside")
        << QStringList{u"f esc/x evil"_s, u"d esc/sub"_s, u"f ok.txt fine"_s} << u"esc ../outside"_s
        << QStringList{u"esc/x"_s, u"esc/sub"_s} << QStringList{u"esc -> ../outside"_s, ok};
    QTest::newRow("a link leading outside through a link inside")
        << QStringList{u"d d"_s, u"l d/up .."_s, u"l d/up/esc ../outside"_s, u"l esc2 d/up/.."_s,
               u"f ok.txt fine"_s}
        << QString() << QStringList{u"d/up/esc"_s, u"esc2"_s} << QStringList{u"d/"_s, u"d/up -> .."_s, ok};
    QTest::newRow("device, FIFO") << QStringList{u"c null"_s, u"p fifo"_s, u"f ok.txt fine"_s} << QString()
                                  << QStringList{u"null: device"_s, u"fifo: FIFO"_s} << QStringList{ok};
    QTest::newRow("hard link to outside")
        << QStringList{u"h hard ../outside/secret"_s, u"h hard2 esc/secret"_s, u"f ok.txt fine"_s}
        << u"esc ../outside"_s << QStringList{u"hard"_s, u"hard2"_s}
        << QStringList{u"esc -> ../outside"_s, ok};
}

void TestRar::hostileArchives()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, existingLink);
    QFETCH(QStringList, refused);
    QFETCH(QStringList, expected);

    writeArchive(m_root + u"/hostile.tar"_s, u"tar"_s, entries);
    writeFile(m_root + u"/outside/secret"_s, "secret");
    QVERIFY(QDir(m_root).mkdir(u"target"_s));
    if (!existingLink.isEmpty()) {
        const QStringList link = existingLink.split(u' ');
        if (!TestLinks::make(link.at(1), m_root + u"/target/"_s + link.at(0)))
            QSKIP(TestLinks::noLinks);
    }
    const QStringList outsideBefore = listing(m_root + u"/outside"_s);

    const Run result = rar(m_root, {u"x"_s, u"-idcpdq"_s, u"-y"_s, u"hostile.tar"_s, u"target/"_s});
    QCOMPARE(result.exitCode, 1);
    for (const QString &name : refused)
        QVERIFY2(result.err.contains(u"rar: "_s + name), qPrintable(result.err));
    QCOMPARE(listing(m_root + u"/target"_s), onThisSystem(expected).listing);
    // Nothing was written beside the target, into the directory a link leads to, or at an
    // absolute path.
    QCOMPARE(QDir(m_root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        (QStringList{u"hostile.tar"_s, u"outside"_s, u"target"_s}));
    QCOMPARE(listing(m_root + u"/outside"_s), outsideBefore);
    QVERIFY(!QFileInfo::exists(u"/tmp/tav-rar-test-absolute"_s));
    QVERIFY(!QFileInfo::exists(u"/tmp/tav-rar-test-link"_s));
}

void TestRar::damagedArchives_data()
{
    QTest::addColumn<QString>("source"); // a fixture, or "tar"/"zip" for one written here
    QTest::addColumn<int>("keepBytes"); // -1: whole
    QTest::addColumn<QByteArray>("replacement"); // bytes of the whole archive instead, when not empty
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("named");
    QTest::addColumn<QStringList>("expected");

    const QString first = u"first.txt 5 "_s + stampText;
    QTest::newRow("tar cut in the second file")
        << u"tar"_s << 1800 << QByteArray() << 1 << u"second.bin"_s << QStringList{first};
    QTest::newRow("tar cut in a header")
        << u"tar"_s << 1200 << QByteArray() << 1 << u"first.txt"_s << QStringList{first};
    QTest::newRow("zip cut in the second file")
        << u"zip"_s << 1000 << QByteArray() << 1 << u"second.bin"_s << QStringList{first};
    // The reader ends the cut entry as if it were whole; its size says it is not.
    QTest::newRow("RAR5 cut in the second file")
        << u"test_read_format_rar5_multiple_files.rar"_s << 600 << QByteArray() << 1 << u"test2.bin"_s
        << QStringList{u"test1.bin 4096 2018-09-27T04:41:11Z"_s};
    QTest::newRow("garbage") << QString() << -1 << QByteArray(3000, 'g') << 2 << u"archive"_s
                             << QStringList{};
    QTest::newRow("RAR5 signature, then garbage")
        << QString() << -1 << QByteArray("Rar!\x1a\x07\x01\x00garbage", 15) << 2 << u"archive: no entries"_s
        << QStringList{};
    QTest::newRow("empty file") << QString() << -1 << QByteArray("") << 2 << u"archive: empty file"_s
                                << QStringList{};
    QTest::newRow("missing archive") << u"missing"_s << -1 << QByteArray() << 2 << u"archive"_s
                                     << QStringList{};
}

void TestRar::damagedArchives()
{
    QFETCH(QString, source);
    QFETCH(int, keepBytes);
    QFETCH(QByteArray, replacement);
    QFETCH(int, exitCode);
    QFETCH(QString, named);
    QFETCH(QStringList, expected);

    const QString archive = m_root + u"/archive"_s;
    if (source == u"tar"_s || source == u"zip"_s) {
        // Letters in no order: compressed, the second file still reaches past the cut.
        QString second;
        QRandomGenerator letters(11);
        for (int i = 0; i < 3000; ++i)
            second += QChar(u'a' + letters.bounded(26));
        writeArchive(archive, source, {u"f first.txt first"_s, u"f second.bin "_s + second});
    } else if (source.endsWith(u".rar"_s)) {
        QVERIFY(QFile::copy(fixture(source), archive));
    } else if (source != u"missing"_s) {
        writeFile(archive, replacement);
    }
    if (keepBytes >= 0)
        QVERIFY(QFile::resize(archive, keepBytes));

    const Run result = rar(m_root, {u"x"_s, u"-idcpdq"_s, u"-y"_s, u"archive"_s, u"out/"_s});
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.err.startsWith(u"rar: "_s) && result.err.contains(named), qPrintable(result.err));
    QCOMPARE(listing(m_root + u"/out"_s), expected);
}

void TestRar::fullDiskDuringExtract()
{
    if (onWindows)
        QSKIP("Windows has no limit of a process's file size (ulimit -f) to make a write fail");
    // Only 64 KiB fit into one file: the large file fails; the others are extracted, and the large
    // file's earlier version stays whole under its name.
    writeArchive(m_root + u"/a.tar"_s, u"tar"_s,
        {u"f small.txt small"_s, u"f large.bin "_s + QString(200 * 1024, u'L'), u"f after.txt after"_s});
    writeFile(m_root + u"/out/large.bin"_s, "the earlier version");

    const Run result = rar(m_root, {u"x"_s, u"-idcpdq"_s, u"-y"_s, u"a.tar"_s, u"out/"_s}, 64);
    // The disk's fault, not the archive's: the exit code of a write error.
    QCOMPARE(result.exitCode, 5);
    QVERIFY2(result.err.contains(u"rar: large.bin: File too large"_s), qPrintable(result.err));
    QCOMPARE(contents(m_root + u"/out/large.bin"_s), QByteArray("the earlier version"));
    const QStringList names = listing(m_root + u"/out"_s);
    QCOMPARE(names.size(), 3); // no temporary file is left
    QVERIFY(names.contains(u"small.txt 5 "_s + stampText));
    QVERIFY(names.contains(u"after.txt 5 "_s + stampText));
}

void TestRar::updaterCommandLines()
{
    // The updater's three command lines, in an installation directory: unpack, back up before a
    // file is replaced, restore. With -idcpdq, success prints nothing.
    QVERIFY(QDir(m_root).mkdir(u"UP00"_s));
    QVERIFY(QFile::copy(fixture(u"test_read_format_rar5_stored.rar"_s), m_root + u"/UP00/ko10.rar"_s));
    writeFile(m_root + u"/some/dir/file.dat"_s, "installed version");
    const QList<QStringList> lines{{u"x"_s, u"-idcpdq"_s, u"-y"_s, u"UP00/ko10.rar"_s, u"UP00/"_s},
        {u"a"_s, u"-r"_s, u"-idcpdq"_s, u"-y"_s, u"predver"_s, u"some/dir/file.dat"_s}};
    for (const QStringList &line : lines) {
        const Run result = rar(m_root, line);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out + result.err, QString());
    }
    QCOMPARE(contents(m_root + u"/UP00/helloworld.txt"_s), QByteArray("hello libarchive test suite!\n"));
    writeFile(m_root + u"/some/dir/file.dat"_s, "new version");

    const Run restored = rar(m_root, {u"x"_s, u"-idcpdq"_s, u"-y"_s, u"predver.rar"_s});
    QCOMPARE(restored.exitCode, 0);
    QCOMPARE(restored.out + restored.err, QString());
    QCOMPARE(contents(m_root + u"/some/dir/file.dat"_s), QByteArray("installed version"));
}

void TestRar::addReplacesAndOtherReadersAgree()
{
    // Two updates in a row: the backup holds, for each file, the copy taken before its latest
    // replacement; a directory tree is taken along with -r (an empty directory and a link too).
    writeFile(m_root + u"/tree/a.txt"_s, "a1");
    writeFile(m_root + u"/tree/sub/b.txt"_s, "b1");
    QVERIFY(QDir(m_root).mkpath(u"tree/empty"_s));
    // Where links cannot be made here (Windows), the archiver does not store them either.
    const bool link = TestLinks::make(u"a.txt"_s, m_root + u"/tree/link"_s);
    writeFile(m_root + u"/c.txt"_s, "c1");
    QCOMPARE(rar(m_root, {u"a"_s, u"-r"_s, u"-idcpdq"_s, u"bk"_s, u"tree"_s, u"c.txt"_s}).exitCode, 0);
    writeFile(m_root + u"/tree/a.txt"_s, "a2");
    const Run verbose = rar(m_root, {u"a"_s, u"-r"_s, u"-y"_s, u"bk"_s, u"tree/a.txt"_s});
    QCOMPARE(verbose.exitCode, 0);
    QCOMPARE(verbose.out, u"tree/a.txt\n"_s);

    QStringList entries{u"tree/"_s, u"tree/a.txt"_s, u"tree/empty/"_s, u"tree/link"_s, u"tree/sub/"_s,
        u"tree/sub/b.txt"_s, u"c.txt"_s, u"tree/a.txt"_s};
    QStringList expected{u"c.txt"_s, u"tree/"_s, u"tree/a.txt"_s, u"tree/empty/"_s, u"tree/link -> a.txt"_s,
        u"tree/sub/"_s, u"tree/sub/b.txt"_s};
    if (!link) {
        entries.removeOne(u"tree/link"_s);
        expected.removeOne(u"tree/link -> a.txt"_s);
    }
    QCOMPARE(entriesOf(m_root + u"/bk.rar"_s), entries);
    for (const QString &reader : {u"rar"_s, u"libarchive"_s}) {
        const QString out = m_root + u"/by-"_s + reader;
        QVERIFY(QDir().mkpath(out));
        if (reader == u"rar"_s)
            QCOMPARE(rar(out, {u"x"_s, u"-idcpdq"_s, u"../bk.rar"_s}).exitCode, 0);
        else
            QVERIFY(extractByLibarchive(m_root + u"/bk.rar"_s, out));
        QStringList names = listing(out);
        for (QString &name : names)
            name = name.section(u' ', 0, name.contains(u" -> "_s) ? 2 : 0);
        QCOMPARE(names, expected);
        QCOMPARE(contents(out + u"/tree/a.txt"_s), QByteArray("a2"));
        // Times are kept to the second.
        QCOMPARE(QFileInfo(out + u"/tree/a.txt"_s).lastModified().toSecsSinceEpoch(),
            QFileInfo(m_root + u"/tree/a.txt"_s).lastModified().toSecsSinceEpoch());
    }
}

void TestRar::addFromLists()
{
    // The updater's backup names its paths in a list file: one a line, LF or CRLF, empty lines
    // skipped, blanks kept, names in the system's 8-bit encoding as the updater writes them (UTF-8
    // here, the ANSI code page on Windows) or in UTF-8 after a byte order mark; lists and paths
    // mix in order.
    const QString cyrillic = u"\u041f\u0440\u0438\u043c\u0435\u0440.dat"_s;
    const QString another = u"\u0414\u0440\u0443\u0433\u043e\u0439.dat"_s;
    for (const QString &name : {u"a.dat"_s, u"sub/b c.dat"_s, cyrillic, u"d.dat"_s, u"@e.dat"_s, another})
        writeFile(m_root + u'/' + name, name.toUtf8());
    writeFile(
        m_root + u"/first.lst"_s, "a.dat\r\n\nsub/b c.dat\r\n" + Archiver::listFileText({cyrillic}, nullptr));
    writeFile(m_root + u"/second.lst"_s, "\xEF\xBB\xBF@e.dat\n" + another.toUtf8());
    const Run result = rar(m_root,
        {u"a"_s, u"-r"_s, u"-idcpdq"_s, u"-y"_s, u"predver"_s, u"@first.lst"_s, u"d.dat"_s,
            u"@second.lst"_s});
    QCOMPARE(result.err, QString());
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(entriesOf(m_root + u"/predver.rar"_s),
        (QStringList{u"a.dat"_s, u"sub/b c.dat"_s, cyrillic, u"d.dat"_s, u"@e.dat"_s, another}));
}

void TestRar::archiveName_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("made");

    QTest::newRow("no extension") << u"predver"_s << u"predver.rar"_s;
    QTest::newRow("extension kept") << u"backup.tar"_s << u"backup.tar"_s;
    QTest::newRow("dot in a directory only") << u"dir.d/predver"_s << u"dir.d/predver.rar"_s;
    QTest::newRow("leading dot") << u".predver"_s << u".predver.rar"_s;
}

void TestRar::archiveName()
{
    QFETCH(QString, given);
    QFETCH(QString, made);

    QVERIFY(QDir(m_root).mkdir(u"dir.d"_s));
    writeFile(m_root + u"/file.dat"_s, "data");
    QCOMPARE(rar(m_root, {u"a"_s, u"-r"_s, u"-idcpdq"_s, u"-y"_s, given, u"file.dat"_s}).exitCode, 0);
    QVERIFY(QFileInfo::exists(m_root + u'/' + made));
}

void TestRar::addFailures_data()
{
    QTest::addColumn<QByteArray>("archiveBefore"); // "<none>": no archive yet
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("named");
    QTest::addColumn<QStringList>("added"); // entries in the archive afterwards

    QTest::newRow("missing path, no archive made") << QByteArray("<none>") << QStringList{u"missing.dat"_s}
                                                   << 1 << QStringList{u"missing.dat: "_s} << QStringList{};
    QTest::newRow("missing path beside one that is added")
        << QByteArray("<none>") << QStringList{u"missing.dat"_s, u"file.dat"_s} << 1
        << QStringList{u"missing.dat"_s} << QStringList{u"file.dat"_s};
    QTest::newRow("absolute path and .. refused")
        << QByteArray("<none>") << QStringList{u"/etc/hostname"_s, u"../file.dat"_s, u"file.dat"_s} << 1
        << QStringList{u"/etc/hostname: absolute path refused"_s, u"../file.dat: path with \"..\" refused"_s}
        << QStringList{u"file.dat"_s};
    QTest::newRow("a list that cannot be read adds nothing")
        << QByteArray("<none>") << QStringList{u"file.dat"_s, u"@missing.lst"_s} << 2
        << QStringList{u"missing.lst: No such file or directory"_s} << QStringList{};
    QTest::newRow("an archive that is no tar is left alone")
        << QByteArray(2048, 'r') << QStringList{u"file.dat"_s} << 2
        << QStringList{u"predver.rar: not a tar archive"_s} << QStringList{};
    QTest::newRow("a damaged tar is left alone")
        << QByteArray("ustar-like") + QByteArray(1014, 'r') << QStringList{u"file.dat"_s} << 2
        << QStringList{u"predver.rar"_s} << QStringList{};
}

void TestRar::addFailures()
{
    QFETCH(QByteArray, archiveBefore);
    QFETCH(QStringList, paths);
    QFETCH(int, exitCode);
    QFETCH(QStringList, named);
    QFETCH(QStringList, added);

    writeFile(m_root + u"/file.dat"_s, "data");
    const QString archive = m_root + u"/predver.rar"_s;
    if (archiveBefore != "<none>")
        writeFile(archive, archiveBefore);

    const Run result = rar(m_root, QStringList{u"a"_s, u"-r"_s, u"-idcpdq"_s, u"-y"_s, u"predver"_s} + paths);
    QCOMPARE(result.exitCode, exitCode);
    for (const QString &name : named)
        QVERIFY2(result.err.contains(u"rar: "_s + name), qPrintable(result.err));
    if (archiveBefore != "<none>") {
        QCOMPARE(contents(archive), archiveBefore);
    } else if (added.isEmpty()) {
        QVERIFY(!QFileInfo::exists(archive));
    } else {
        QCOMPARE(entriesOf(archive), added);
    }
}

void TestRar::cutTailIsWrittenOver_data()
{
    // The archive made below: a.txt (header and one data block, 0-1024), then b's extended header
    // (1024-2048), b's header (2048-2560) and data (1000 bytes, padded to 3584), then the end
    // blocks (3584-4608). A kill leaves any prefix of it.
    QTest::addColumn<int>("cut");
    QTest::addColumn<bool>("keepsB");

    QTest::newRow("in b's extended header") << 1300 << false;
    QTest::newRow("after b's extended header") << 2048 << false;
    QTest::newRow("in b's header") << 2300 << false;
    QTest::newRow("in b's data") << 3000 << false;
    QTest::newRow("in b's padding") << 3570 << false;
    QTest::newRow("after b") << 3584 << true;
    QTest::newRow("in the end blocks") << 4000 << true;
    QTest::newRow("whole") << 4608 << true;
}

void TestRar::cutTailIsWrittenOver()
{
    QFETCH(int, cut);
    QFETCH(bool, keepsB);

    const QString b = QString(150, u'b'); // a name this long needs an extended header
    writeFile(m_root + u"/a.txt"_s, "a");
    writeFile(m_root + u'/' + b, QByteArray(1000, 'B'));
    writeFile(m_root + u"/c.txt"_s, "c");
    QCOMPARE(rar(m_root, {u"a"_s, u"-idcpdq"_s, u"bk"_s, u"a.txt"_s, b}).exitCode, 0);
    QCOMPARE(QFileInfo(m_root + u"/bk.rar"_s).size(), 4608);
    QVERIFY(QFile::resize(m_root + u"/bk.rar"_s, cut));

    QCOMPARE(rar(m_root, {u"a"_s, u"-idcpdq"_s, u"bk"_s, u"c.txt"_s}).exitCode, 0);
    QCOMPARE(entriesOf(m_root + u"/bk.rar"_s),
        keepsB ? QStringList({u"a.txt"_s, b, u"c.txt"_s}) : QStringList({u"a.txt"_s, u"c.txt"_s}));
    QCOMPARE(rar(m_root, {u"x"_s, u"-idcpdq"_s, u"bk.rar"_s, u"out/"_s}).exitCode, 0);
}

void TestRar::killDuringAdd()
{
    writeFile(m_root + u"/a.txt"_s, "a");
    writeFile(m_root + u"/c.txt"_s, "c");
    QCOMPARE(rar(m_root, {u"a"_s, u"-idcpdq"_s, u"bk"_s, u"a.txt"_s}).exitCode, 0);
    const qint64 before = QFileInfo(m_root + u"/bk.rar"_s).size();
    // A file far too large to be added before the kill comes (sparse: it takes no disk).
    QFile large(m_root + u"/large.bin"_s);
    QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(8LL << 30));
    large.close();

    QProcess adding;
    adding.setWorkingDirectory(m_root);
    adding.start(QStringLiteral(TAV_BIN_DIR "/rar"), {u"a"_s, u"-idcpdq"_s, u"bk"_s, u"large.bin"_s});
    QVERIFY(adding.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    while (QFileInfo(m_root + u"/bk.rar"_s).size() < before + (1 << 20) && waited.elapsed() < 60000)
        QThread::msleep(1);
    adding.kill();
    QVERIFY(adding.waitForFinished());
    QCOMPARE(adding.exitStatus(), QProcess::CrashExit);
    QVERIFY(QFile::remove(m_root + u"/large.bin"_s));

    // The entries before the kill extract (the cut one is reported), and the next run writes over
    // the cut tail.
    const Run cut = rar(m_root, {u"x"_s, u"-idcpdq"_s, u"bk.rar"_s, u"cut/"_s});
    QCOMPARE(cut.exitCode, 1);
    QVERIFY2(cut.err.contains(u"large.bin"_s), qPrintable(cut.err));
    QCOMPARE(listing(m_root + u"/cut"_s).size(), 1);
    QCOMPARE(contents(m_root + u"/cut/a.txt"_s), QByteArray("a"));

    QCOMPARE(rar(m_root, {u"a"_s, u"-idcpdq"_s, u"bk"_s, u"c.txt"_s}).exitCode, 0);
    QVERIFY(QFileInfo(m_root + u"/bk.rar"_s).size() < (1 << 20));
    QCOMPARE(rar(m_root, {u"x"_s, u"-idcpdq"_s, u"bk.rar"_s, u"out/"_s}).exitCode, 0);
    QCOMPARE(contents(m_root + u"/out/a.txt"_s) + contents(m_root + u"/out/c.txt"_s), QByteArray("ac"));
}

void TestRar::concurrentAddsAllArrive()
{
    // Runs that append at once take turns; none writes over another's entry.
    QStringList expected;
    std::vector<std::unique_ptr<QProcess>> runs;
    for (int i = 0; i < 6; ++i) {
        const QString name = u"file%1.dat"_s.arg(i);
        writeFile(m_root + u'/' + name, QByteArray(300 * 1024, char('a' + i)));
        expected << name;
        runs.push_back(std::make_unique<QProcess>());
        runs.back()->setWorkingDirectory(m_root);
        runs.back()->start(QStringLiteral(TAV_BIN_DIR "/rar"), {u"a"_s, u"-idcpdq"_s, u"bk"_s, name});
    }
    for (const auto &process : runs) {
        QVERIFY(process->waitForFinished());
        QCOMPARE(process->exitCode(), 0);
    }
    QStringList names = entriesOf(m_root + u"/bk.rar"_s);
    names.sort();
    QCOMPARE(names, expected);
    QCOMPARE(rar(m_root, {u"x"_s, u"-idcpdq"_s, u"bk.rar"_s, u"out/"_s}).exitCode, 0);
    QCOMPARE(contents(m_root + u"/out/file5.dat"_s), QByteArray(300 * 1024, 'f'));
}

void TestRar::fullDiskDuringAdd_data()
{
    QTest::addColumn<bool>("archiveExists");

    QTest::newRow("to an existing archive") << true;
    QTest::newRow("to a new archive") << false;
}

void TestRar::fullDiskDuringAdd()
{
    QFETCH(bool, archiveExists);
    if (onWindows)
        QSKIP("Windows has no limit of a process's file size (ulimit -f) to make a write fail");

    writeFile(m_root + u"/a.txt"_s, "a");
    writeFile(m_root + u"/large.bin"_s, QByteArray(200 * 1024, 'L'));
    if (archiveExists)
        QCOMPARE(rar(m_root, {u"a"_s, u"-idcpdq"_s, u"bk"_s, u"a.txt"_s}).exitCode, 0);
    const QByteArray before = contents(m_root + u"/bk.rar"_s);

    // 64 KiB per file: the large file does not fit into the archive.
    const Run result = rar(m_root, {u"a"_s, u"-r"_s, u"-idcpdq"_s, u"-y"_s, u"bk"_s, u"large.bin"_s}, 64);
    QVERIFY(result.exitCode != 0);
    QVERIFY2(result.err.contains(u"rar: large.bin: File too large"_s), qPrintable(result.err));
    QCOMPARE(contents(m_root + u"/bk.rar"_s), before);
    if (archiveExists) {
        QCOMPARE(rar(m_root, {u"a"_s, u"-idcpdq"_s, u"bk"_s, u"a.txt"_s}).exitCode, 0);
        QCOMPARE(entriesOf(m_root + u"/bk.rar"_s), (QStringList{u"a.txt"_s, u"a.txt"_s}));
    }
}

void TestRar::usage_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("unknown command") << QStringList{u"t"_s, u"a.rar"_s};
    QTest::newRow("x without archive") << QStringList{u"x"_s, u"-y"_s};
    QTest::newRow("a without path") << QStringList{u"a"_s, u"-r"_s, u"predver"_s};
    QTest::newRow("unknown switch") << QStringList{u"x"_s, u"-o+"_s, u"a.rar"_s};
    QTest::newRow("-r with x") << QStringList{u"x"_s, u"-r"_s, u"a.rar"_s};
    QTest::newRow("target without /") << QStringList{u"x"_s, u"a.rar"_s, u"dir"_s};
    QTest::newRow("two targets") << QStringList{u"x"_s, u"a.rar"_s, u"one/"_s, u"two/"_s};
}

void TestRar::usage()
{
    QFETCH(QStringList, arguments);

    const Run result = rar(m_root, arguments);
    QCOMPARE(result.exitCode, 3);
    QVERIFY2(result.err.contains(u"usage: rar x"_s), qPrintable(result.err));
    QCOMPARE(result.out, QString());
    QCOMPARE(QDir(m_root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_GUILESS_MAIN(TestRar)
#include "tst_rar.moc"
