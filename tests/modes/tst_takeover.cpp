// The take-over of another installation: which "kora.ini" lines and which files arrive, and that
// no failure costs the user a file.

#include "common/blockedfile.h"
#include "common/testlinks.h"
#include "modes/reconf/takeover.h"
#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "shell/settings.h"
#include "support/codepage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Every file the options know, one of each kind, plus two that no option takes.
const QList<std::pair<QString, QByteArray>> otherFiles{
    {u"a.bod"_s, "bod a"},
    {u"b.btr"_s, "btr b"},
    {u"c.btt"_s, "btt c"},
    {u"o.ao"_s, "orbs"},
    {u"zapros.ctl"_s, "q"},
    {u"s.sb"_s, "sb"},
    {u"events.ctl"_s, "events"},
    {u"e.ctl"_s, "e"},
    {u"fact.ctl"_s, "fact"},
    {u"uprt.ctl"_s, "uprt"},
    {u"n.txt"_s, "text"},
    {u"x.dat"_s, "nobody's"},
    {u"bodies.bod.bak"_s, "no"},
};

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList boxTexts()
{
    QStringList texts;
    for (const Diagnostics::RecordedBox &box : Diagnostics::recordedBoxes())
        texts << box.text;
    return texts;
}

QString openWarning(const QString &path)
{
    return u"Cannot Open File: "_s + path;
}

} // namespace

class TestTakeOver : public QObject
{
    Q_OBJECT

private:
    // '%1' in a row stands for the temporary root.
    QString rooted(QString text) const { return text.replace(u"%1"_s, m_root->path()); }
    QString otherPath(const QString &name) const { return m_root->filePath(u"other/"_s + name); }
    QString localPath(const QString &name) const { return m_root->filePath(u"cur/"_s + name); }
    void useOptions(const QList<int> &on)
    {
        Settings::options().fill(0);
        for (int option : on)
            Settings::options()[option] = 1;
    }
    // The other installation with every kind of file, and a current one with a file of its own
    // and an older copy of one that will be taken over.
    void makeInstallations(const QByteArray &otherIni, const QByteArray &localIni)
    {
        QVERIFY(QDir(m_root->path()).mkpath(u"other/dir.bod"_s));
        QVERIFY(QDir(m_root->path()).mkpath(u"cur"_s));
        for (const auto &[name, content] : otherFiles)
            QVERIFY(writeFile(otherPath(name), content));
        QVERIFY(writeFile(otherPath(u"kora.ini"_s), otherIni));
        QVERIFY(writeFile(localPath(u"kora.ini"_s), localIni));
        QVERIFY(writeFile(localPath(u"a.bod"_s), "older bod a"));
        QVERIFY(writeFile(localPath(u"mine.txt"_s), "mine"));
        QVERIFY(QDir::setCurrent(localPath(QString())));
        Settings::setValue("Dir1002", CodePage::fromUnicode(otherPath(QString()).chopped(1)));
    }

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_startDir;

private slots:
    void initTestCase()
    {
        Diagnostics::setRecording(true);
        m_startDir = QDir::currentPath();
    }
    void init()
    {
        QDir::setCurrent(m_startDir);
        m_root = std::make_unique<QTemporaryDir>();
        QVERIFY(m_root->isValid());
        Settings::reset();
        Diagnostics::clearRecordedBoxes();
    }
    void cleanup() { QDir::setCurrent(m_startDir); }

    void keyMatches_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<bool>("matches");
        QTest::newRow("whole key") << "BASA"_ba
                                   << "BASA"_ba << true;
        QTest::newRow("longer key") << "BASA1"_ba
                                    << "BASA"_ba << false;
        QTest::newRow("shorter key") << "BAS"_ba
                                     << "BASA"_ba << false;
        QTest::newRow("prefix alone") << "Orb-"_ba
                                      << "Orb-*"_ba << true;
        QTest::newRow("prefix and more") << "Orb-Sun"_ba
                                         << "Orb-*"_ba << true;
        QTest::newRow("prefix in other case") << "orb-Sun"_ba
                                              << "Orb-*"_ba << false;
        QTest::newRow("prefix not at start") << "xOrb-"_ba
                                             << "Orb-*"_ba << false;
        QTest::newRow("empty key") << ""_ba
                                   << "BASA"_ba << false;
    }
    void keyMatches()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, pattern);
        QFETCH(bool, matches);
        QCOMPARE(TakeOver::keyMatches(key, pattern), matches);
    }

    void iniLines_data()
    {
        QTest::addColumn<QByteArray>("otherIni");
        QTest::addColumn<QByteArray>("localIni");
        QTest::addColumn<QList<int>>("options");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray other = "Lang=ru\nBASA=C:\\kora\\base\nOrb-Sun = 7\nDIRBASA=D:\\b\n"
                                 "BASA1=no\nDIRBASAX=no\nOrb-=5\norb-moon=no\nOrbit=no\n";
        QTest::newRow("databases and orbs, in option order")
            << other << "Lang=en\n"_ba << QList<int>{2, 3}
            << "Lang=en\nBASA=C:\\kora\\base\nDIRBASA=D:\\b\nOrb-Sun = 7\nOrb-=5\n"_ba;
        QTest::newRow("databases only")
            << other << "Lang=en"_ba << QList<int>{2} << "Lang=en\nBASA=C:\\kora\\base\nDIRBASA=D:\\b\n"_ba;
        QTest::newRow("orbs only, Orb- alone included")
            << other << "Lang=en"_ba << QList<int>{3} << "Lang=en\nOrb-Sun = 7\nOrb-=5\n"_ba;
        QTest::newRow("file options take no keys")
            << other << "Lang=en"_ba << QList<int>{8, 9, 10, 11} << "Lang=en\n"_ba;
        QTest::newRow("key in both inis: local first, copy after")
            << "Orb-Sun=7\n"_ba
            << "Orb-Sun=1\nX=2"_ba << QList<int>{3} << "Orb-Sun=1\nX=2\nOrb-Sun=7\n"_ba;
        QTest::newRow("key with blanks before the equals sign")
            << "BASA  = x\n"_ba
            << "A"_ba << QList<int>{2} << "A\nBASA  = x\n"_ba;
        QTest::newRow("line without a value") << "DIRBASA\n"_ba
                                              << "A"_ba << QList<int>{2} << "A\nDIRBASA\n"_ba;
        QTest::newRow("carriage returns dropped")
            << "BASA=x\r\n"_ba
            << "A=1\r\nB=2"_ba << QList<int>{2} << "A=1\nB=2\nBASA=x\n"_ba;
        QTest::newRow("8-bit text unchanged")
            << "BASA=\xc1\xe0\xe7\xe0\n"_ba
            << "\xc8\xec\xff=1"_ba << QList<int>{2} << "\xc8\xec\xff=1\nBASA=\xc1\xe0\xe7\xe0\n"_ba;
        QTest::newRow("empty local ini") << "BASA=x"_ba
                                         << ""_ba << QList<int>{2} << "BASA=x\n"_ba;
        QTest::newRow("empty local ini, nothing taken over") << "X=1\n"_ba
                                                             << ""_ba << QList<int>{2} << ""_ba;
        QTest::newRow("blank lines of the local ini stay")
            << "BASA=x\n"_ba
            << "\nA=1\n\n"_ba << QList<int>{2} << "\nA=1\n\nBASA=x\n"_ba;
    }
    void iniLines()
    {
        QFETCH(QByteArray, otherIni);
        QFETCH(QByteArray, localIni);
        QFETCH(QList<int>, options);
        QFETCH(QByteArray, expected);
        makeInstallations(otherIni, localIni);
        useOptions(options);

        QVERIFY(TakeOver::takeOverInstallation());
        QCOMPARE(readFile(localPath(u"kora.ini"_s)), expected);
        QCOMPARE(readFile(otherPath(u"kora.ini"_s)), otherIni);
        QCOMPARE(boxTexts(), QStringList{Catalog::displayText("is")});
    }

    void files_data()
    {
        QTest::addColumn<QList<int>>("options");
        QTest::addColumn<QStringList>("copied");
        QTest::newRow("none") << QList<int>{} << QStringList{};
        QTest::newRow("2 databases") << QList<int>{2} << QStringList{u"a.bod"_s, u"b.btr"_s, u"c.btt"_s};
        QTest::newRow("3 orbs") << QList<int>{3} << QStringList{u"o.ao"_s};
        QTest::newRow("8 queries") << QList<int>{8} << QStringList{u"zapros.ctl"_s};
        QTest::newRow("9 events") << QList<int>{9} << QStringList{u"s.sb"_s, u"events.ctl"_s, u"e.ctl"_s};
        QTest::newRow("10 facts") << QList<int>{10} << QStringList{u"fact.ctl"_s, u"uprt.ctl"_s};
        QTest::newRow("11 texts") << QList<int>{11} << QStringList{u"n.txt"_s};
        QTest::newRow("options outside the table take nothing")
            << QList<int>{0, 1, 4, 5, 6, 7, 12, 19} << QStringList{};
        QTest::newRow("all") << QList<int>{2, 3, 8, 9, 10, 11}
                             << QStringList{u"a.bod"_s, u"b.btr"_s, u"c.btt"_s, u"o.ao"_s, u"zapros.ctl"_s,
                                    u"s.sb"_s, u"events.ctl"_s, u"e.ctl"_s, u"fact.ctl"_s, u"uprt.ctl"_s,
                                    u"n.txt"_s};
    }
    void files()
    {
        QFETCH(QList<int>, options);
        QFETCH(QStringList, copied);
        makeInstallations("BASA=1\n", "A=1\n");
        useOptions(options);

        QVERIFY(TakeOver::takeOverInstallation());
        for (const auto &[name, content] : otherFiles) {
            if (copied.contains(name))
                QCOMPARE(readFile(localPath(name)), content);
            else if (name == u"a.bod"_s)
                QCOMPARE(readFile(localPath(name)), "older bod a"_ba);
            else
                QVERIFY2(!QFileInfo::exists(localPath(name)), qPrintable(name));
        }
        QVERIFY(!QFileInfo::exists(localPath(u"dir.bod"_s)));
        QCOMPARE(readFile(localPath(u"mine.txt"_s)), "mine"_ba);
    }

    // What stops the take-over before anything is copied.
    void failures_data()
    {
        QTest::addColumn<QByteArray>("directory"); // below the temporary root; null: no value
        QTest::addColumn<bool>("localIni");
        QTest::addColumn<QString>("warning"); // '%1' is the temporary root
        QTest::newRow("other ini missing") << "other/dir.bod"_ba << true << u"%1/other/dir.bod/kora.ini"_s;
        QTest::newRow("other directory missing") << "nowhere"_ba << true << u"%1/nowhere/kora.ini"_s;
        QTest::newRow("empty directory") << ""_ba << true << u"/kora.ini"_s;
        QTest::newRow("no directory value") << QByteArray() << true << u"/kora.ini"_s;
        QTest::newRow("local ini missing") << "other"_ba << false << u"kora.ini"_s;
    }
    void failures()
    {
        QFETCH(QByteArray, directory);
        QFETCH(bool, localIni);
        QFETCH(QString, warning);
        makeInstallations("BASA=1\n", "A=1\n");
        if (!localIni)
            QVERIFY(QFile::remove(localPath(u"kora.ini"_s)));
        if (directory.isNull())
            Settings::setValue("Dir1002", std::nullopt);
        else if (directory.isEmpty())
            Settings::setValue("Dir1002", ""_ba);
        else
            Settings::setValue("Dir1002", CodePage::fromUnicode(m_root->path()) + '/' + directory);
        useOptions({2, 3, 8, 9, 10, 11});

        QVERIFY(!TakeOver::takeOverInstallation());
        QCOMPARE(boxTexts(), QStringList{openWarning(rooted(warning))});
        QCOMPARE(readFile(localPath(u"a.bod"_s)), "older bod a"_ba);
        QVERIFY(!QFileInfo::exists(localPath(u"zapros.ctl"_s)));
        if (localIni)
            QCOMPARE(readFile(localPath(u"kora.ini"_s)), "A=1\n"_ba);
        else
            QVERIFY(!QFileInfo::exists(localPath(u"kora.ini"_s)));
    }

    // The local ini can be read but not written: the files stay copied, the lines are lost, no
    // "is".
    void unwritableLocalIni()
    {
        makeInstallations("BASA=1\n", "A=1\n");
        QVERIFY(QFile::remove(localPath(u"kora.ini"_s)));
        BlockedFile ini;
        if (!ini.make(localPath(u"kora.ini"_s), BlockedFile::Block::Writing))
            QSKIP(qPrintable(ini.reason()));
        useOptions({2, 8});

        QVERIFY(!TakeOver::takeOverInstallation());
        QCOMPARE(boxTexts(), QStringList{openWarning(u"kora.ini"_s)});
        QCOMPARE(readFile(localPath(u"a.bod"_s)), "bod a"_ba);
        QCOMPARE(readFile(localPath(u"zapros.ctl"_s)), "q"_ba);
        QVERIFY(ini.intact());
    }

    // The other directory is the current one, named in three ways: nothing may be lost.
    void otherIsCurrent_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::newRow("dot") << u"."_s;
        QTest::newRow("absolute") << u"%1/cur"_s;
        QTest::newRow("through a link") << u"%1/link"_s;
    }
    void otherIsCurrent()
    {
        QFETCH(QString, directory);
        makeInstallations("X=1\n", "BASA=1\nOrb-A=2\n");
        if (directory.contains(u"link"_s)
            && !TestLinks::make(localPath(QString()), m_root->filePath(u"link"_s)))
            QSKIP(TestLinks::noLinks);
        const QStringList names{u"a.bod"_s, u"o.ao"_s, u"zapros.ctl"_s, u"mine.txt"_s};
        for (const QString &name : names)
            QVERIFY(writeFile(localPath(name), name.toUtf8()));
        Settings::setValue("Dir1002", CodePage::fromUnicode(rooted(directory)));
        useOptions({2, 3, 8, 9, 10, 11});

        QVERIFY(TakeOver::takeOverInstallation());
        for (const QString &name : names)
            QCOMPARE(readFile(localPath(name)), name.toUtf8());
        // The ini is its own other ini, so its chosen lines are appended to it once more.
        QCOMPARE(readFile(localPath(u"kora.ini"_s)), "BASA=1\nOrb-A=2\nBASA=1\nOrb-A=2\n"_ba);
        QStringList left = QDir(localPath(QString())).entryList(QDir::Files);
        left.removeOne(u"taw.tax"_s); // the run's log
        QCOMPARE(left.size(), names.size() + 1);
    }

    // A chosen fixed name that the other installation does not have keeps the local file.
    void missingFixedNameKeepsLocalFile_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("name");
        QTest::newRow("zapros.ctl") << 8 << u"zapros.ctl"_s;
        QTest::newRow("events.ctl") << 9 << u"events.ctl"_s;
        QTest::newRow("e.ctl") << 9 << u"e.ctl"_s;
        QTest::newRow("fact.ctl") << 10 << u"fact.ctl"_s;
        QTest::newRow("uprt.ctl") << 10 << u"uprt.ctl"_s;
    }
    void missingFixedNameKeepsLocalFile()
    {
        QFETCH(int, option);
        QFETCH(QString, name);
        makeInstallations("X=1\n", "A=1\n");
        QVERIFY(QFile::remove(otherPath(name)));
        QVERIFY(writeFile(localPath(name), "local " + name.toUtf8()));
        useOptions({option});

        QVERIFY(TakeOver::takeOverInstallation());
        QCOMPARE(readFile(localPath(name)), "local " + name.toUtf8());
    }

    void copyInstallationFile_data()
    {
        QTest::addColumn<QString>("source"); // '%1' is the temporary root
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("copied");
        QTest::addColumn<QByteArray>("expected"); // the destination file afterwards
        QTest::newRow("new file") << u"%1/other"_s << u"%1/cur"_s << u"o.ao"_s << true << "orbs"_ba;
        QTest::newRow("replaces the local file")
            << u"%1/other"_s << u"%1/cur"_s << u"a.bod"_s << true << "bod a"_ba;
        QTest::newRow("missing source keeps the local file")
            << u"%1/other"_s << u"%1/cur"_s << u"mine.txt"_s << false << "mine"_ba;
        QTest::newRow("source is a directory")
            << u"%1/other"_s << u"%1/cur"_s << u"dir.bod"_s << false << "<missing>"_ba;
        QTest::newRow("same file") << u"%1/cur"_s << u"."_s << u"a.bod"_s << false << "older bod a"_ba;
        // Where names ignore case (Windows), the same file; elsewhere no file.
        QTest::newRow("same file named in capitals")
            << u"%1/CUR"_s << u"%1/cur"_s << u"a.bod"_s << false << "older bod a"_ba;
        QTest::newRow("same file through a link")
            << u"%1/link"_s << u"%1/cur"_s << u"a.bod"_s << false << "older bod a"_ba;
        // The source opens, but reading it fails from its start: the unfinished copy must not
        // replace the local file.
        QTest::newRow("unreadable source keeps the local file")
            << u"%1/other"_s << u"%1/cur"_s << u"mem"_s << false << "local mem"_ba;
        QTest::newRow("destination below a regular file")
            << u"%1/other"_s << u"%1/cur/mine.txt"_s << u"o.ao"_s << false << "<missing>"_ba;
    }
    void copyInstallationFile()
    {
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(QString, name);
        QFETCH(bool, copied);
        QFETCH(QByteArray, expected);
        makeInstallations("X=1\n", "A=1\n");
        if (source.contains(u"link"_s) && !TestLinks::make(localPath(QString()), m_root->filePath(u"link"_s)))
            QSKIP(TestLinks::noLinks);
        BlockedFile unreadable;
        if (name == u"mem"_s && !unreadable.make(rooted(source) + u"/mem"_s, BlockedFile::Block::Reading))
            QSKIP(qPrintable(unreadable.reason()));
        QVERIFY(writeFile(localPath(u"mem"_s), "local mem"));
        const QString destinationDir = rooted(destination);

        QCOMPARE(TakeOver::copyInstallationFile(rooted(source), destinationDir, name), copied);
        QCOMPARE(readFile(destinationDir + u'/' + name), expected);
        QCOMPARE(readFile(localPath(u"mine.txt"_s)), "mine"_ba);
        // No temporary file is left behind.
        const QStringList known{u"kora.ini"_s, u"a.bod"_s, u"mine.txt"_s, u"mem"_s, u"taw.tax"_s, name};
        for (const QString &entry : QDir(localPath(QString())).entryList(QDir::Files))
            QVERIFY2(known.contains(entry), qPrintable(entry));
    }
};

QTEST_GUILESS_MAIN(TestTakeOver)
#include "tst_takeover.moc"
