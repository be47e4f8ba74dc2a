#include "shell/catalog.h"
#include "shell/diagnostics.h"
#include "support/codepage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using OptionalText = std::optional<QByteArray>;
Q_DECLARE_METATYPE(OptionalText)

class TestCatalog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void lookup_data();
    void lookup();
    void missingFileWarnsOnceAndKeysStandForThemselves();
    void fallsBackToExecutableDirectory();
    void secondLoadAppends();
    void everyKeyOfALargeCatalogIsFound();
    void displayText_data();
    void displayText();
    void list_data();
    void list();
    void expanded_data();
    void expanded();
    void badInputNeverBreaksTheLoad_data();
    void badInputNeverBreaksTheLoad();

private:
    void loadCatalog(const QByteArray &bytes);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
};

void TestCatalog::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_previousDir = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
    Catalog::clear();
    Diagnostics::setRecording(true);
    Diagnostics::clearRecordedBoxes();
}

void TestCatalog::cleanup()
{
    QDir::setCurrent(m_previousDir);
    Catalog::clear();
    m_dir.reset();
}

void TestCatalog::loadCatalog(const QByteArray &bytes)
{
    QFile file(QStringLiteral("tav.t"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    Catalog::load(QStringLiteral("tav.t"));
    QVERIFY(Catalog::isLoaded());
}

void TestCatalog::lookup_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<OptionalText>("expected");

    const OptionalText none;
    QTest::newRow("text kept exactly") << QByteArray("NeTak text with  two blanks \n") << QByteArray("NeTak")
                                       << OptionalText("text with  two blanks ");
    QTest::newRow("key alone has no text") << QByteArray("NeTak\n") << QByteArray("NeTak") << none;
    QTest::newRow("key and blank has empty text")
        << QByteArray("NeTak \n") << QByteArray("NeTak") << OptionalText("");
    QTest::newRow("argument with a blank is no key")
        << QByteArray("Ne Tak x\n") << QByteArray("Ne Tak") << OptionalText("Ne Tak");
    QTest::newRow("unknown key stands for itself")
        << QByteArray("A a\n") << QByteArray("B") << OptionalText("B");
    QTest::newRow("empty argument") << QByteArray(" x\n") << QByteArray("") << OptionalText("");
    QTest::newRow("whole key only") << QByteArray("Aster long\nAst short\n") << QByteArray("Ast")
                                    << OptionalText("short");
    QTest::newRow("key is case-sensitive")
        << QByteArray("ast lower\n") << QByteArray("Ast") << OptionalText("Ast");
    QTest::newRow("first occurrence wins")
        << QByteArray("K one\nK two\n") << QByteArray("K") << OptionalText("one");
    QTest::newRow("first occurrence without text wins")
        << QByteArray("K\nK two\n") << QByteArray("K") << none;
    QTest::newRow("continuation") << QByteArray("Key Hello @rest\nworld\n") << QByteArray("Key")
                                  << OptionalText("Hello world");
    QTest::newRow("comment inside continuation is dropped")
        << QByteArray("Key Hello @\n* note\nworld\n") << QByteArray("Key") << OptionalText("Hello world");
    QTest::newRow("continuation goes on")
        << QByteArray("Key a@\nb@x\nc\nNext n\n") << QByteArray("Key") << OptionalText("abc");
    QTest::newRow("line after continuation is an entry again")
        << QByteArray("Key a@\nb@x\nc\nNext n\n") << QByteArray("Next") << OptionalText("n");
    QTest::newRow("empty continuation line removes the @")
        << QByteArray("Key a@\n\nNext n\n") << QByteArray("Key") << OptionalText("a");
    QTest::newRow("blank-only continuation line is joined")
        << QByteArray("Key a@\n  \nNext n\n") << QByteArray("Key") << OptionalText("a  ");
    QTest::newRow("@ kept at end of file")
        << QByteArray("Key a@x") << QByteArray("Key") << OptionalText("a@x");
    QTest::newRow("final LF gives one more empty line")
        << QByteArray("Key a@x\n") << QByteArray("Key") << OptionalText("a");
    QTest::newRow("CR LF") << QByteArray("Key a\r\nK2 b\r\n") << QByteArray("K2") << OptionalText("b");
    QTest::newRow("CR anywhere dropped")
        << QByteArray("Key a\rb\n") << QByteArray("Key") << OptionalText("ab");
    QTest::newRow("comments and blank lines skipped")
        << QByteArray("* Key no\n   \n\nKey yes\n") << QByteArray("Key") << OptionalText("yes");
    QTest::newRow("code page 866 to 1251")
        << QByteArray("Key \x80\x8F\xA0\xAF\xB0\xE0\xEF\xF0\xF1\xF2\n") << QByteArray("Key")
        << OptionalText("\xC0\xCF\xE0\xEF\xB0\xF0\xFF\xA8\xB8\xF2");
    QTest::newRow("key converted too") << QByteArray("\x8F x\n") << QByteArray("\xCF") << OptionalText("x");
    QTest::newRow("tab is part of the key") << QByteArray("K\tx y\n") << QByteArray("K") << OptionalText("K");
}

void TestCatalog::lookup()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, key);
    QFETCH(OptionalText, expected);
    loadCatalog(file);
    QCOMPARE(Catalog::text(key), expected);
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());
}

void TestCatalog::missingFileWarnsOnceAndKeysStandForThemselves()
{
    Diagnostics::warnIfFailed(Catalog::load(QStringLiteral("nothere.t")));
    QVERIFY(!Catalog::isLoaded());
    const auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, QStringLiteral("*** Warring"));
    QCOMPARE(boxes.first().text,
        QStringLiteral("Cannot Open File: ") + QCoreApplication::applicationDirPath()
            + QStringLiteral("/nothere.t"));
    QCOMPARE(Catalog::text("MEM"), OptionalText("MEM"));
    QCOMPARE(Catalog::displayText("Yes[2]"), QStringLiteral("Yes"));
    QCOMPARE(Catalog::list("a/b").items(), (QList<QByteArray>{"a", "b"}));
    QCOMPARE(Catalog::text(QByteArrayView()), OptionalText());
}

void TestCatalog::fallsBackToExecutableDirectory()
{
    const QString name = QStringLiteral("tst_catalog_fallback.t");
    const QString path = QCoreApplication::applicationDirPath() + u'/' + name;
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Where appdir\n");
    file.close();
    Catalog::load(name);
    QFile::remove(path);
    QCOMPARE(Catalog::text("Where"), OptionalText("appdir"));

    // The current directory comes first.
    Catalog::clear();
    QFile local(name);
    QVERIFY(local.open(QIODevice::WriteOnly));
    local.write("Where current\n");
    local.close();
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Where appdir\n");
    file.close();
    Catalog::load(name);
    QFile::remove(path);
    QCOMPARE(Catalog::text("Where"), OptionalText("current"));
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());
}

void TestCatalog::secondLoadAppends()
{
    loadCatalog("A first\n");
    loadCatalog("A second\nB b\n");
    QCOMPARE(Catalog::text("A"), OptionalText("first"));
    QCOMPARE(Catalog::text("B"), OptionalText("b"));
}

void TestCatalog::everyKeyOfALargeCatalogIsFound()
{
    // Enough keys to grow the index many times, each followed later by a second line that must
    // never be found, and keys in code page 866 that are asked for in 1251.
    const int count = 5000;
    QByteArray file;
    for (int i = 0; i < count; ++i)
        file += "K" + QByteArray::number(i) + " first " + QByteArray::number(i) + "\n\x8F"
            + QByteArray::number(i) + " cyr\n";
    for (int i = 0; i < count; ++i)
        file += "K" + QByteArray::number(i) + " second\n";
    loadCatalog(file);
    for (int i = 0; i < count; ++i) {
        QCOMPARE(Catalog::text("K" + QByteArray::number(i)), OptionalText("first " + QByteArray::number(i)));
        QCOMPARE(Catalog::text("\xCF" + QByteArray::number(i)), OptionalText("cyr"));
    }
    QCOMPARE(Catalog::text("K" + QByteArray::number(count)), OptionalText("K" + QByteArray::number(count)));
}

void TestCatalog::displayText_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("suffix hidden") << QByteArray("K Yes[2]\n") << QByteArray("K") << QStringLiteral("Yes");
    QTest::newRow("leading bracket kept")
        << QByteArray("K [1]Yes\n") << QByteArray("K") << QStringLiteral("[1]Yes");
    QTest::newRow("first bracket cuts") << QByteArray("K a[b[c]\n") << QByteArray("K") << QStringLiteral("a");
    QTest::newRow("literal text cut too")
        << QByteArray("K x\n") << QByteArray("No[.sub] x") << QStringLiteral("No");
    QTest::newRow("no text is empty") << QByteArray("K\n") << QByteArray("K") << QString();
    QTest::newRow("cyrillic") << QByteArray("K \x8F\xE0\xA8\xA2\xA5\xE2\n") << QByteArray("K")
                              << QString::fromUtf8("Привет");
}

void TestCatalog::displayText()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, key);
    QFETCH(QString, expected);
    loadCatalog(file);
    QCOMPARE(Catalog::displayText(key), expected);
}

void TestCatalog::list_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QList<QByteArray>>("expected");

    QTest::newRow("split at slash") << QByteArray("Saits one/two/three\n") << QByteArray("Saits")
                                    << QList<QByteArray>{"one", "two", "three"};
    QTest::newRow("empty pieces dropped, last trimmed")
        << QByteArray("L a//b/ \n") << QByteArray("L") << QList<QByteArray>{"a", "b"};
    QTest::newRow("only the last piece trimmed")
        << QByteArray("L a /b \n") << QByteArray("L") << QList<QByteArray>{"a ", "b"};
    QTest::newRow("key without text") << QByteArray("L\n") << QByteArray("L") << QList<QByteArray>{};
    QTest::newRow("unknown key split itself")
        << QByteArray("L x\n") << QByteArray("p/q") << QList<QByteArray>{"p", "q"};
}

void TestCatalog::list()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, key);
    QFETCH(QList<QByteArray>, expected);
    loadCatalog(file);
    QCOMPARE(Catalog::list(key).items(), expected);
}

void TestCatalog::expanded_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<qsizetype>("maxLength");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("keys replaced") << QByteArray("Main") << qsizetype(1999) << QByteArray("<a> and <b>");
    QTest::newRow("one level only") << QByteArray("Outer") << qsizetype(1999) << QByteArray("[{A}]");
    QTest::newRow("unknown name without braces")
        << QByteArray("Unknown") << qsizetype(1999) << QByteArray("x Nope y");
    QTest::newRow("key without text inserts nothing")
        << QByteArray("Empty") << qsizetype(1999) << QByteArray("xy");
    QTest::newRow("unclosed brace kept literally")
        << QByteArray("Open") << qsizetype(1999) << QByteArray("<a> {A");
    QTest::newRow("empty braces insert nothing")
        << QByteArray("Braces") << qsizetype(1999) << QByteArray("ab");
    QTest::newRow("trailing blanks removed") << QByteArray("Trail") << qsizetype(1999) << QByteArray("t");
    QTest::newRow("inserted text keeps its blanks")
        << QByteArray("Blank") << qsizetype(1999) << QByteArray("1 sp  2");
    QTest::newRow("cut at the buffer") << QByteArray("Main") << qsizetype(6) << QByteArray("<a> an");
    QTest::newRow("cut inside an insertion") << QByteArray("Main") << qsizetype(2) << QByteArray("<a");
    QTest::newRow("literal text expanded too")
        << QByteArray("plain text {A}") << qsizetype(1999) << QByteArray("plain text <a>");
}

void TestCatalog::expanded()
{
    QFETCH(QByteArray, key);
    QFETCH(qsizetype, maxLength);
    QFETCH(QByteArray, expected);
    loadCatalog("A <a>\n"
                "B <b>\n"
                "NoText\n"
                "Sp sp  \n"
                "Main {A} and {B}\n"
                "Outer [{Inner}]\n"
                "Inner {A}\n"
                "Unknown x {Nope} y\n"
                "Empty x{NoText}y\n"
                "Open {A} {A\n"
                "Braces a{}b\n"
                "Trail t   \n"
                "Blank 1 {Sp}2\n");
    QCOMPARE(Catalog::expanded(key, maxLength), expected);
}

void TestCatalog::badInputNeverBreaksTheLoad_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<OptionalText>("expected");

    QTest::newRow("only @ lines") << QByteArray("@\n@\n@\n@\n") << QByteArray("@") << OptionalText("@");
    QTest::newRow("only @ lines, no final LF") << QByteArray("@\n@\n@") << QByteArray("@") << OptionalText();
    QTest::newRow("binary bytes") << QByteArray("Bin \x00\x01\xFF\x7F\n", 9) << QByteArray("Bin")
                                  << OptionalText(QByteArray("\x00\x01\xFF\x7F", 4));
    QTest::newRow("NUL in a key") << QByteArray("B\x00n x\n", 6) << QByteArray("B\x00n", 3)
                                  << OptionalText("x");
    QTest::newRow("megabyte line") << "Long " + QByteArray(1 << 20, 'x') + "\n"
                                   << QByteArray("Long") << OptionalText(QByteArray(1 << 20, 'x'));
    QTest::newRow("long continuation chain") << "Chain " + QByteArray("a@\n").repeated(50000)
            + "end\n" << QByteArray("Chain") << OptionalText(QByteArray(50000, 'a') + "end");
    QTest::newRow("only comments") << QByteArray("*\n* x\n") << QByteArray("x") << OptionalText("x");
    QTest::newRow("empty file") << QByteArray() << QByteArray("x") << OptionalText("x");
}

void TestCatalog::badInputNeverBreaksTheLoad()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, key);
    QFETCH(OptionalText, expected);
    loadCatalog(file);
    QCOMPARE(Catalog::text(key), expected);
}

QTEST_MAIN(TestCatalog)
#include "tst_catalog.moc"
