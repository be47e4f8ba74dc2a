#include "support/codepage.h"
#include "toolkit/widgethelpers.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList sorted(const StringList &list)
{
    QStringList names;
    for (const QByteArray &item : list)
        names << CodePage::toUnicode(item);
    names.sort();
    return names;
}

} // namespace

class TestWidgetHelpers final : public QObject
{
    Q_OBJECT

private slots:
    void buttonIndex_data();
    void buttonIndex();
    void fontSize_data();
    void fontSize();
    void namedColour_data();
    void namedColour();
    void backgroundColour();
    void screenSize();
    void webSite();
    void textSection_data();
    void textSection();
    void textSectionConvertsCodePage866();
    void listDirectory_data();
    void listDirectory();
};

void TestWidgetHelpers::buttonIndex_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<int>("expected");

    QTest::newRow("second entry") << u"Ok"_s << 1;
    QTest::newRow("first entry") << u"Can"_s << 0;
    QTest::newRow("case counts") << u"ok"_s << -1;
    QTest::newRow("longer name") << u"Okay"_s << -1;
    QTest::newRow("prefix of an entry") << u"Ca"_s << -1;
    QTest::newRow("no name") << QString() << -1;
    QTest::newRow("only 19 characters compared") << u"ABCDEFGHIJKLMNOPQRSTUVWXYZ"_s << 2;
    QTest::newRow("after the end marker") << u"Hidden"_s << -1;
}

void TestWidgetHelpers::buttonIndex()
{
    QFETCH(QString, objectName);
    QFETCH(int, expected);

    QPushButton button;
    button.setObjectName(objectName);
    QCOMPARE(WidgetHelpers::buttonIndex(&button, {"Can", "Ok", "ABCDEFGHIJKLMNOPQRS", nullptr, "Hidden"}),
        expected);
}

void TestWidgetHelpers::fontSize_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<bool>("changes");

    QTest::newRow("zero leaves the font") << 0 << false;
    QTest::newRow("negative leaves the font") << -4 << false;
    QTest::newRow("one point") << 1 << true;
    QTest::newRow("fourteen points") << 14 << true;
}

void TestWidgetHelpers::fontSize()
{
    QFETCH(int, points);
    QFETCH(bool, changes);

    QLabel label;
    QFont start = label.font();
    start.setPointSize(9);
    start.setBold(true);
    label.setFont(start);
    WidgetHelpers::setFontSize(&label, points);
    QCOMPARE(label.font().pointSize(), changes ? points : 9);
    // A copy of the widget's own font: everything but the size stays.
    QCOMPARE(label.font().bold(), true);
    QCOMPARE(label.font().family(), start.family());
}

void TestWidgetHelpers::namedColour_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QColor>("colour");

    QTest::newRow("without #") << QByteArray("FF0000") << true << QColor(255, 0, 0);
    QTest::newRow("with #") << QByteArray("#FF0000") << true << QColor(255, 0, 0);
    QTest::newRow("lower case") << QByteArray("00ff00") << true << QColor(0, 255, 0);
    QTest::newRow("short form") << QByteArray("00F") << true << QColor(0, 0, 255);
    QTest::newRow("colour word") << QByteArray("red") << false << QColor();
    QTest::newRow("empty") << QByteArray() << false << QColor();
    QTest::newRow("not hexadecimal") << QByteArray("GG0000") << false << QColor();
}

void TestWidgetHelpers::namedColour()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QFETCH(QColor, colour);

    const QColor result = WidgetHelpers::namedColour(text);
    QCOMPARE(result.isValid(), valid);
    if (valid)
        QCOMPARE(result, colour);
}

void TestWidgetHelpers::backgroundColour()
{
    QLabel label;
    const QColor teal(0, 128, 128);
    WidgetHelpers::setBackgroundColour(&label, teal);
    QVERIFY(label.autoFillBackground());
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QBrush brush = label.palette().brush(group, label.backgroundRole());
        QCOMPARE(brush.color(), teal);
        QCOMPARE(brush.style(), Qt::SolidPattern);
    }
    // The text keeps its colour.
    QVERIFY(label.palette().color(label.foregroundRole()) != teal);
}

void TestWidgetHelpers::screenSize()
{
    const QRect size = WidgetHelpers::screenSize();
    QCOMPARE(size.topLeft(), QPoint(0, 0));
    QVERIFY(!size.isEmpty());
    QCOMPARE(size.size(), QGuiApplication::primaryScreen()->virtualSize());
}

void TestWidgetHelpers::webSite()
{
    QList<QUrl> opened;
    WidgetHelpers::setUrlOpener([&opened](const QUrl &url) {
        opened << url;
        return true;
    });
    WidgetHelpers::openWebSite("astro.invalid");
    WidgetHelpers::openWebSite("astro.invalid/help/index.html");
    WidgetHelpers::setUrlOpener({});

    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened.at(0).toString(), u"http://www.astro.invalid"_s);
    QCOMPARE(opened.at(0).host(), u"www.astro.invalid"_s);
    QCOMPARE(opened.at(1).path(), u"/help/index.html"_s);
}

void TestWidgetHelpers::textSection_data()
{
    QTest::addColumn<QByteArray>("argument");
    QTest::addColumn<QString>("expected");

    const QString whole = u"@@Intro\na\n@@Help\nb\n@@End\n"_s;
    QTest::newRow("section") << QByteArray("notes.txt(Help)") << u"b\n"_s;
    QTest::newRow("whole file without comments") << QByteArray("notes.txt") << whole;
    QTest::newRow("first section") << QByteArray("notes.txt(Intro)") << u"a\n"_s;
    QTest::newRow("longer name matches") << QByteArray("notes.txt(He)") << u"b\n"_s;
    QTest::newRow("empty section name takes the first") << QByteArray("notes.txt()") << u"a\n"_s;
    QTest::newRow("last section is empty") << QByteArray("notes.txt(End)") << QString();
    QTest::newRow("missing section") << QByteArray("notes.txt(Nope)") << QString();
    QTest::newRow("name longer than the header") << QByteArray("notes.txt(Helper)") << QString();
    QTest::newRow("no closing parenthesis") << QByteArray("notes.txt(Help") << u"b\n"_s;
    QTest::newRow("missing file") << QByteArray("absent.txt") << QString();
    QTest::newRow("missing file with section") << QByteArray("absent.txt(Help)") << QString();
    QTest::newRow("empty argument") << QByteArray() << QString();
    QTest::newRow("CR LF and no final LF") << QByteArray("dos.txt(One)") << u"x\ny\n"_s;
    QTest::newRow("argument cut at 99") << QByteArray(99, 'n') + "(Help)" << u"whole\n"_s;
    QTest::newRow("lines cut at 999") << QByteArray("long.txt") << QString(999, u'L') + u"\nend\n"_s;
}

void TestWidgetHelpers::textSection()
{
    QFETCH(QByteArray, argument);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath(u"notes.txt"_s), "@@Intro\na\n@@Help\n* note\nb\n@@End\n"));
    QVERIFY(writeFile(dir.filePath(u"dos.txt"_s), "@@One\r\nx\r\ny\r\n@@Two\r\nz"));
    QVERIFY(writeFile(dir.filePath(QString(99, u'n')), "whole\n"));
    QVERIFY(writeFile(dir.filePath(u"long.txt"_s), QByteArray(1500, 'L') + "\nend"));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const QString result = WidgetHelpers::readTextSection(argument);
    QDir::setCurrent(previous);
    QCOMPARE(result, expected);
}

void TestWidgetHelpers::textSectionConvertsCodePage866()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // "@@Тема", "Привет, мир", "Ёё" in code page 866.
    const QByteArray bytes = "@@\x92\xa5\xac\xa0\n\x8f\xe0\xa8\xa2\xa5\xe2, \xac\xa8\xe0\n\xf0\xf1\n";
    const QString path = dir.filePath(u"ru.txt"_s);
    QVERIFY(writeFile(path, bytes));
    const QByteArray file = QFile::encodeName(path);
    QCOMPARE(WidgetHelpers::readTextSection(file), u"@@Тема\nПривет, мир\nЁё\n"_s);
    // The section name comes from the catalog in code page 1251.
    QCOMPARE(WidgetHelpers::readTextSection(file + "(\xd2\xe5\xec\xe0)"), u"Привет, мир\nЁё\n"_s);
}

void TestWidgetHelpers::listDirectory_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("files only") << u"*.txt"_s << 0 << QStringList{u"A.TXT"_s, u"b.txt"_s};
    QTest::newRow("with directories") << u"*.txt"_s << 1 << QStringList{u"A.TXT"_s, u"Dir.txt"_s, u"b.txt"_s};
    QTest::newRow("lower case") << u"*.txt"_s << 2 << QStringList{u"a.txt"_s, u"b.txt"_s};
    QTest::newRow("both flags") << u"*.txt"_s << 3 << QStringList{u"a.txt"_s, u"b.txt"_s, u"dir.txt"_s};
    QTest::newRow("everything, no dot entries")
        << u"*"_s << 1 << QStringList{u"A.TXT"_s, u"Dir.txt"_s, u"b.txt"_s, u"c.dat"_s, u"sub"_s};
    QTest::newRow("single name") << u"c.dat"_s << 0 << QStringList{u"c.dat"_s};
    QTest::newRow("nothing matches") << u"*.zip"_s << 1 << QStringList();
}

void TestWidgetHelpers::listDirectory()
{
    QFETCH(QString, pattern);
    QFETCH(int, flags);
    QFETCH(QStringList, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char *name : {"A.TXT", "b.txt", "c.dat"})
        QVERIFY(writeFile(dir.filePath(QString::fromLatin1(name)), "x"));
    QVERIFY(QDir(dir.path()).mkdir(u"Dir.txt"_s));
    QVERIFY(QDir(dir.path()).mkdir(u"sub"_s));

    QCOMPARE(
        sorted(WidgetHelpers::listDirectory(dir.path(), pattern, WidgetHelpers::ListFlags::fromInt(flags))),
        expected);
    QVERIFY(WidgetHelpers::listDirectory(
        dir.filePath(u"absent"_s), pattern, WidgetHelpers::ListFlags::fromInt(flags))
                .isEmpty());
}

QTEST_MAIN(TestWidgetHelpers)
#include "tst_widgethelpers.moc"
