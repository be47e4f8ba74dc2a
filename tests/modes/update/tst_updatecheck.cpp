// The choice of what an update installs, on real files in a temporary installation: the archive
// name, the emptying of "UP00", the candidates, the one-hour rule and the groups.

#include "modes/update/updatecheck.h"
#include "support/codepage.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <set>

using namespace Qt::StringLiterals;

namespace {

const QDateTime base = QDateTime::fromSecsSinceEpoch(1'700'000'000);

// "path@seconds": a file whose modification time lies that many seconds after the base time.
bool writeFiles(const QString &root, const QStringList &files)
{
    for (const QString &item : files) {
        const qsizetype at = item.lastIndexOf(u'@');
        const QString path = root + u'/' + item.left(at);
        QDir().mkpath(path.section(u'/', 0, -2));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(path.toUtf8()) < 0)
            return false;
        // Written out first: the flush would set the time again.
        if (!file.flush()
            || !file.setFileTime(
                base.addSecs(item.mid(at + 1).toLongLong()), QFileDevice::FileModificationTime))
            return false;
    }
    return true;
}

QStringList filesBelow(const QString &root)
{
    QStringList found;
    const QDir dir(root);
    for (const QFileInfo &info :
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (info.isDir() && !info.isSymLink()) {
            found << info.fileName() + u'/';
            for (const QString &inner : filesBelow(info.filePath()))
                found << info.fileName() + u'/' + inner;
        } else {
            found << info.fileName();
        }
    }
    found.sort();
    return found;
}

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void archiveName_data();
    void archiveName();
    void check_data();
    void check();
    void emptyDirectory_data();
    void emptyDirectory();
    void emptyDirectoryIsMade();
    void eightBitNames();

private:
    std::unique_ptr<QTemporaryDir> m_installation;
    QString m_previousDirectory = QDir::currentPath();
};

void TestUpdateCheck::init()
{
    m_installation = std::make_unique<QTemporaryDir>();
    QVERIFY(m_installation->isValid());
    QVERIFY(QDir::setCurrent(m_installation->path()));
}

void TestUpdateCheck::cleanup()
{
    // Windows keeps the current folder from being removed.
    QDir::setCurrent(m_previousDirectory);
    m_installation.reset();
}

void TestUpdateCheck::archiveName_data()
{
    QTest::addColumn<QByteArray>("updateFile");
    QTest::addColumn<QByteArray>("name");

    QTest::newRow("number") << "10"_ba
                            << "ko10.rar"_ba;
    QTest::newRow("empty") << ""_ba
                           << "ko.rar"_ba;
    QTest::newRow("a name with rar") << "fix.rar"_ba
                                     << "fix.rar"_ba;
    QTest::newRow("rar anywhere") << "library"_ba
                                  << "library"_ba;
    QTest::newRow("RAR in capitals is no rar") << "X.RAR"_ba
                                               << "koX.RAR.rar"_ba;
    QTest::newRow("long with rar cut to 19") << "update-2024-rar-edition"_ba
                                             << "update-2024-rar-edi"_ba;
    QTest::newRow("long without rar cut to 19") << "12345678901234567"_ba
                                                << "ko12345678901234567"_ba;
}

void TestUpdateCheck::archiveName()
{
    QFETCH(QByteArray, updateFile);
    QFETCH(QByteArray, name);
    QCOMPARE(UpdateCheck::archiveName(updateFile), name);
}

void TestUpdateCheck::check_data()
{
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QStringList>("unpacked"); // below "UP00"
    QTest::addColumn<QStringList>("installed");
    // What is installed, in order: each part a set, since the directory lists in its own order.
    QTest::addColumn<QList<QStringList>>("parts");
    QTest::addColumn<QStringList>("notes");

    const QByteArray archive = "ko10.rar"_ba;
    QTest::newRow("an hour is not newer, a second more is")
        << archive << QStringList{u"a.dat@3600"_s, u"b.dat@3601"_s, u"c.dat@3600"_s}
        << QStringList{u"a.dat@0"_s, u"b.dat@0"_s, u"c.dat@-1"_s}
        << QList<QStringList>{{u"b.dat"_s, u"c.dat"_s}} << QStringList();
    QTest::newRow("an older or equal unpacked file stays out")
        << archive << QStringList{u"old.dat@0"_s, u"same.dat@50"_s}
        << QStringList{u"old.dat@100"_s, u"same.dat@50"_s} << QList<QStringList>() << QStringList();
    QTest::newRow("a file not installed yet is new")
        << archive << QStringList{u"fresh.dat@-99999"_s} << QStringList()
        << QList<QStringList>{{u"fresh.dat"_s}} << QStringList();
    QTest::newRow("control files and the archive are never installed")
        << archive
        << QStringList{u"readme@9000"_s, u"list.ctl@9000"_s, u"lk.ctl@9000"_s, u"ko10.rar@9000"_s,
               u"x.dat@9000"_s, u"sub/readme@9000"_s}
        << QStringList() << QList<QStringList>{{u"x.dat"_s, u"sub/readme"_s}} << QStringList();
    // A row of its own: where names differ in case only, "readme" and "README" are one file.
    QTest::newRow("control file names in capitals are installed")
        << archive << QStringList{u"README@9000"_s, u"LIST.CTL@9000"_s} << QStringList()
        << QList<QStringList>{{u"README"_s, u"LIST.CTL"_s}} << QStringList();
    QTest::newRow("an archive named in capitals stays a candidate")
        << "KO10.RAR"_ba << QStringList{u"KO10.RAR@0"_s} << QStringList()
        << QList<QStringList>{{u"KO10.RAR"_s}} << QStringList();
    QTest::newRow("one level of subdirectories")
        << archive << QStringList{u"sub/a.dat@5000"_s, u"sub/deeper/b.dat@5000"_s, u"sub/old.dat@0"_s}
        << QStringList{u"sub/old.dat@0"_s} << QList<QStringList>{{u"sub/a.dat"_s}} << QStringList();
    QTest::newRow("notes go to the log, not into the installation")
        << archive << QStringList{u"#Version 10 of 01.02.2024@0"_s, u"y.dat@5000"_s}
        << QStringList{u"y.dat@0"_s} << QList<QStringList>{{u"y.dat"_s}}
        << QStringList{u"#Version 10 of 01.02.2024"_s};
    QTest::newRow("a newer town brings the towns, not the stars")
        << archive << QStringList{u"towns.a@5000"_s, u"towns.b@0"_s, u"stars.a@0"_s, u"towns@0"_s}
        << QStringList{u"towns.a@0"_s, u"towns.b@0"_s, u"stars.a@0"_s, u"towns@0"_s}
        << QList<QStringList>{{u"towns.a"_s}, {u"towns.b"_s}} << QStringList();
    QTest::newRow("both groups: the towns complete before the stars")
        << archive
        << QStringList{u"stars.new@5000"_s, u"towns.new@5000"_s, u"towns.old@0"_s, u"stars.old@0"_s,
               u"stars.older@-50000"_s, u"Towns.x@0"_s, u"sub/towns.y@0"_s}
        << QStringList{u"stars.new@0"_s, u"towns.new@0"_s, u"towns.old@0"_s, u"stars.old@0"_s,
               u"stars.older@0"_s, u"Towns.x@0"_s, u"sub/towns.y@0"_s}
        << QList<QStringList>{{u"stars.new"_s, u"towns.new"_s}, {u"towns.old"_s},
               {u"stars.old"_s, u"stars.older"_s}}
        << QStringList();
}

void TestUpdateCheck::check()
{
    QFETCH(QByteArray, archive);
    QFETCH(QStringList, unpacked);
    QFETCH(QStringList, installed);
    QFETCH(QList<QStringList>, parts);
    QFETCH(QStringList, notes);

    QVERIFY(writeFiles(u"UP00"_s, unpacked));
    QVERIFY(writeFiles(u"."_s, installed));

    const QList<QByteArray> candidates = UpdateCheck::candidates(archive);
    UpdateCheck::Selection selection = UpdateCheck::select(candidates);
    UpdateCheck::completeGroups(selection, candidates);
    QCOMPARE(selection.groupFlags, quint8(0));

    QStringList gotNotes;
    for (const QByteArray &note : std::as_const(selection.notes))
        gotNotes << QString::fromUtf8(note);
    QCOMPARE(gotNotes, notes);

    qsizetype at = 0;
    for (const QStringList &part : std::as_const(parts)) {
        QVERIFY2(at + part.size() <= selection.selected.size(), "fewer files selected than expected");
        std::set<QString> got;
        for (qsizetype i = at; i < at + part.size(); ++i)
            got.insert(QString::fromUtf8(selection.selected.at(i)));
        QCOMPARE(got, std::set<QString>(part.cbegin(), part.cend()));
        at += part.size();
    }
    QCOMPARE(selection.selected.size(), at);
}

void TestUpdateCheck::emptyDirectory_data()
{
    QTest::addColumn<bool>("links");
    QTest::newRow("files and directories") << false;
    QTest::newRow("links are removed as links") << true;
}

void TestUpdateCheck::emptyDirectory()
{
    QFETCH(bool, links);

    QTemporaryDir outside;
    QVERIFY(writeFiles(outside.path(), {u"keep.dat@0"_s, u"dir/keep.dat@0"_s}));
    QVERIFY(writeFiles(u"UP00"_s,
        {u"ko10.rar@0"_s, u".hidden@0"_s, u"sub/a.dat@0"_s, u"sub/.b@0"_s, u"sub/deeper/c.dat@0"_s}));
    QVERIFY(writeFiles(u"."_s, {u"installed.dat@0"_s}));
    QStringList left{u"sub/"_s, u"sub/deeper/"_s, u"sub/deeper/c.dat"_s};
    if (links) {
        // Made by the system's own call: Qt makes shortcut files on Windows, and Wine makes nothing.
        namespace fs = std::filesystem;
        const auto made = [](const fs::path &link) {
            std::error_code error;
            return fs::is_symlink(link, error);
        };
        std::error_code error;
        fs::create_directory_symlink(
            fs::path(outside.filePath(u"dir"_s).toStdU16String()), "UP00/linkdir", error);
        if (error || !made("UP00/linkdir"))
            QSKIP("no symbolic link can be made here");
        fs::create_symlink(
            fs::path(outside.filePath(u"keep.dat"_s).toStdU16String()), "UP00/linkfile", error);
        QVERIFY(!error && made("UP00/linkfile"));
        fs::create_directory_symlink(
            fs::path(outside.filePath(u"dir"_s).toStdU16String()), "UP00/sub/innerlink", error);
        QVERIFY(!error && made("UP00/sub/innerlink"));
        // Inside a subdirectory only files go, and a link to a directory counts as a directory.
        left << u"sub/innerlink"_s;
    }

    QString reason;
    QVERIFY2(UpdateCheck::emptyDirectory(&reason), qPrintable(reason));
    // Directories stay, emptied of their files; deeper levels are left alone.
    QCOMPARE(filesBelow(u"UP00"_s), left);
    QCOMPARE(filesBelow(outside.path()), (QStringList{u"dir/"_s, u"dir/keep.dat"_s, u"keep.dat"_s}));
    QVERIFY(QFile::exists(u"installed.dat"_s));
}

void TestUpdateCheck::emptyDirectoryIsMade()
{
    QVERIFY(UpdateCheck::emptyDirectory());
    QVERIFY(QFileInfo(u"UP00"_s).isDir());
    // A file in the way of the directory is reported, not removed.
    QVERIFY(QDir(u"UP00"_s).removeRecursively());
    QVERIFY(writeFiles(u"."_s, {u"UP00@0"_s}));
    QString reason;
    QVERIFY(!UpdateCheck::emptyDirectory(&reason));
    QVERIFY2(reason.contains(u"UP00"_s), qPrintable(reason));
    QVERIFY(QFileInfo(u"UP00"_s).isFile());
}

void TestUpdateCheck::eightBitNames()
{
    namespace fs = std::filesystem;
    if (!std::is_same_v<fs::path::value_type, char>)
        QSKIP("file names are UTF-16 here; no name can fail to be Unicode");
    // "Пр" in code page 1251, not UTF-8, as an archiver that keeps the bytes leaves it; a name
    // 1251 has no letters for; names the program handles.
    const std::string cp1251 = "\xcf\xf0";
    const std::string utf8 = u"Тест"_s.toStdString();
    for (const std::string &path :
        {"UP00/" + cp1251 + ".dat", "UP00/sub/" + cp1251 + ".dat", "UP00/" + cp1251 + "/x.dat",
            "UP00/" + u"日本.dat"_s.toStdString(), "UP00/" + utf8 + ".dat", "UP00/sub/" + utf8 + ".dat"}) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(fs::path(path)) << "new";
        QVERIFY(fs::exists(fs::path(path)));
    }

    QList<QByteArray> unusable;
    const QList<QByteArray> candidates = UpdateCheck::candidates("ko10.rar", &unusable);
    const QByteArray test = CodePage::fromUnicode(u"Тест"_s);
    QCOMPARE(
        std::set(candidates.cbegin(), candidates.cend()), (std::set{test + ".dat", "sub/" + test + ".dat"}));
    QCOMPARE(std::set(unusable.cbegin(), unusable.cend()),
        (std::set<QByteArray>{
            "\\xcf\\xf0.dat", "\\xcf\\xf0/", "\\xe6\\x97\\xa5\\xe6\\x9c\\xac.dat", "sub/\\xcf\\xf0.dat"}));
    QCOMPARE(UpdateCheck::select(candidates).selected.size(), 2);

    // Emptied by the names' bytes: every file goes, the directories stay.
    QString reason;
    QVERIFY2(UpdateCheck::emptyDirectory(&reason), qPrintable(reason));
    QStringList left;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(fs::path("UP00")))
        left << (entry.is_directory() ? u"dir"_s : u"file"_s);
    QCOMPARE(left, (QStringList{u"dir"_s, u"dir"_s}));
    // QTemporaryDir could not remove the folder whose name is not UTF-8.
    fs::remove_all("UP00");
}

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
