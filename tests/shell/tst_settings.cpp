#include "common/fileidentity.h"
#include "common/limitedrun.h"
#include "shell/diagnostics.h"
#include "shell/settings.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using Options = QList<int>;
using Values = QList<QPair<QByteArray, QByteArray>>;

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void load_data();
    void load();
    void savedBytes_data();
    void savedBytes();
    void setValue();
    void missingFileGivesDefaults();
    void failedSaveWarnsAndKeepsTheOldFile_data();
    void failedSaveWarnsAndKeepsTheOldFile();
    void aWriteThatFailsHalfwayLeavesThePreviousFile();
    void styleSheet_data();
    void styleSheet();
    void missingStyleSheetWarnsWithItsPath();

private:
    static void writeFile(const QString &name, const QByteArray &bytes);
    static QByteArray readFile(const QString &name);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
};

void TestSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_previousDir = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
    Settings::reset();
    Diagnostics::setRecording(true);
    Diagnostics::clearRecordedBoxes();
}

void TestSettings::cleanup()
{
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

void TestSettings::writeFile(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray TestSettings::readFile(const QString &name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

void TestSettings::load_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Options>("options");
    QTest::addColumn<Values>("values");
    QTest::addColumn<int>("fontSize");
    QTest::addColumn<int>("dialogFontSize");

    QTest::newRow("first options and a value")
        << QByteArray("Ov=1 2 3\nLang=ru\n") << Options{1, 2, 3, 0} << Values{{"Lang", "ru"}} << 16 << 0;
    QTest::newRow("font sizes with blanks around =") << QByteArray("hFont = 12\nhFdia=9\n") << Options{}
                                                     << Values{{"hFont", "12"}, {"hFdia", "9"}} << 12 << 9;
    QTest::newRow("low 8 bits") << QByteArray("Ov=300 -1 256 255\n") << Options{44, 255, 0, 255} << Values{}
                                << 16 << 0;
    QTest::newRow("not numbers read as 0")
        << QByteArray("Ov=x 7y 5\n") << Options{0, 7, 5} << Values{} << 16 << 0;
    QTest::newRow("extra numbers ignored") << QByteArray("Ov=" + QByteArray("9 ").repeated(10000) + "\n")
                                           << Options(20, 9) << Values{} << 16 << 0;
    QTest::newRow("Ov is exact") << QByteArray("ov=5\nOv =6\n") << Options{6} << Values{{"ov", "5"}} << 16
                                 << 0;
    QTest::newRow("lines without = and blank lines ignored")
        << QByteArray("nothing here\n   \n\nA=1\n") << Options{} << Values{{"A", "1"}} << 16 << 0;
    QTest::newRow("CR LF accepted") << QByteArray("Ov=4\r\nA=x\r\n") << Options{4} << Values{{"A", "x"}} << 16
                                    << 0;
    QTest::newRow("name keeps leading blanks")
        << QByteArray("  hFont  =  12 \n") << Options{} << Values{{"  hFont", "12"}} << 16 << 0;
    QTest::newRow("value after first =")
        << QByteArray("Path=a=b\n") << Options{} << Values{{"Path", "a=b"}} << 16 << 0;
    QTest::newRow("asterisk is no comment here")
        << QByteArray("*A=1\n") << Options{} << Values{{"*A", "1"}} << 16 << 0;
    QTest::newRow("later line replaces")
        << QByteArray("A=1\nB=2\nA=3\n") << Options{} << Values{{"A", "3"}, {"B", "2"}} << 16 << 0;
    QTest::newRow("font size not a number")
        << QByteArray("hFont=big\n") << Options{} << Values{{"hFont", "big"}} << 0 << 0;
    QTest::newRow("binary bytes") << QByteArray("K=\x01\xFF\x00z\n", 7) << Options{}
                                  << Values{{"K", QByteArray("\x01\xFF\x00z", 4)}} << 16 << 0;
}

void TestSettings::load()
{
    QFETCH(QByteArray, file);
    QFETCH(Options, options);
    QFETCH(Values, values);
    QFETCH(int, fontSize);
    QFETCH(int, dialogFontSize);

    writeFile(QStringLiteral("tavx.in"), file);
    Settings::load(QStringLiteral("tavx.in"));
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());
    for (int i = 0; i < Settings::optionCount; ++i)
        QCOMPARE(int(Settings::options()[size_t(i)]), i < options.size() ? options.at(i) : 0);
    for (const auto &[name, value] : values)
        QCOMPARE(Settings::value(name), std::optional<QByteArray>(value));
    QCOMPARE(Settings::fontSize(), fontSize);
    QCOMPARE(Settings::dialogFontSize(), dialogFontSize);
}

void TestSettings::savedBytes_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("saved");

    // A file that holds the bytes to be saved is not rewritten.
    const QByteArray canonical = "Ov=0 0 0 0 0 0 0 0 0 0   0 0 0 0 0 0 0 0 0 0 \nLang=ru\nNAst=1234\n";
    QTest::newRow("unchanged file left alone") << canonical << canonical;
    QTest::newRow("one byte more is rewritten") << canonical + "X=1" << canonical + "X=1\n";
    QTest::newRow("Ov line layout") << QByteArray("Ov=1 2 3\nLang=ru\n")
                                    << QByteArray("Ov=1 2 3 0 0 0 0 0 0 0   0 0 0 0 0 0 0 0 0 0 \nLang=ru\n");
    QTest::newRow("no file lines") << QByteArray()
                                   << QByteArray("Ov=0 0 0 0 0 0 0 0 0 0   0 0 0 0 0 0 0 0 0 0 \n");
    QTest::newRow("all twenty, wide numbers")
        << QByteArray("Ov=255 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 300\n")
        << QByteArray("Ov=255 1 2 3 4 5 6 7 8 9   10 11 12 13 14 15 16 17 18 44 \n");
    QTest::newRow("(null) and dot names never written") << QByteArray(
        "A=(null)\n.tmp=x\nB=b\n") << QByteArray("Ov=0 0 0 0 0 0 0 0 0 0   0 0 0 0 0 0 0 0 0 0 \nB=b\n");
    QTest::newRow("font sizes written back unchanged")
        << QByteArray("hFont = 12 \nhFdia=x\n")
        << QByteArray("Ov=0 0 0 0 0 0 0 0 0 0   0 0 0 0 0 0 0 0 0 0 \nhFont=12\nhFdia=x\n");
    QTest::newRow("empty value kept")
        << QByteArray("E=\n") << QByteArray("Ov=0 0 0 0 0 0 0 0 0 0   0 0 0 0 0 0 0 0 0 0 \nE=\n");
    QTest::newRow("CR LF becomes LF")
        << QByteArray("A=1\r\n") << QByteArray("Ov=0 0 0 0 0 0 0 0 0 0   0 0 0 0 0 0 0 0 0 0 \nA=1\n");
    QTest::newRow("long value") << "V=" + QByteArray(100000, 'v') + "\n"
                                << "Ov=0 0 0 0 0 0 0 0 0 0   0 0 0 0 0 0 0 0 0 0 \nV="
            + QByteArray(100000, 'v') + "\n";
}

void TestSettings::savedBytes()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, saved);
    writeFile(QStringLiteral("tavx.in"), file);
    Settings::load(QStringLiteral("tavx.in"));
    // A rewrite renames a new file into place, so the file's identity tells whether it happened.
    const quint64 before = FileIdentity::of(QStringLiteral("tavx.in"));
    QVERIFY(Settings::save(QStringLiteral("tavx.in")));
    QCOMPARE(readFile(QStringLiteral("tavx.in")), saved);
    QCOMPARE(FileIdentity::of(QStringLiteral("tavx.in")) == before, file == saved);
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());
}

void TestSettings::setValue()
{
    Settings::setValue("A", QByteArrayView("1"));
    Settings::setValue("B", QByteArrayView("2  "));
    Settings::setValue("C", QByteArrayView("3"));
    Settings::setValue("A", QByteArrayView("new")); // replaced in place
    Settings::setValue("C", std::nullopt); // made absent
    Settings::setValue("D", std::nullopt); // nothing for a new name
    Settings::setValue(".tmp", QByteArrayView("hidden"));
    Settings::setValue("N", QByteArrayView("(null)"));
    QCOMPARE(Settings::value("A"), std::optional<QByteArray>("new"));
    QCOMPARE(Settings::value("B"), std::optional<QByteArray>("2"));
    QCOMPARE(Settings::value("C"), std::nullopt);
    QCOMPARE(Settings::value("N"), std::nullopt);
    QCOMPARE(Settings::value(".tmp"), std::optional<QByteArray>("hidden"));
    QCOMPARE(Settings::value("a"), std::nullopt);

    // An absent value comes back in its old place.
    Settings::setValue("C", QByteArrayView("again"));
    Settings::options()[0] = 7;
    QVERIFY(Settings::save(QStringLiteral("tavx.in")));
    QCOMPARE(readFile(QStringLiteral("tavx.in")),
        QByteArray("Ov=7 0 0 0 0 0 0 0 0 0   0 0 0 0 0 0 0 0 0 0 \nA=new\nB=2\nC=again\n"));
}

void TestSettings::missingFileGivesDefaults()
{
    Diagnostics::warnIfFailed(Settings::load(QStringLiteral("tavx.in")));
    const auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, QStringLiteral("*** Warring"));
    QCOMPARE(boxes.first().text, QStringLiteral("Cannot Open File: tavx.in"));
    QCOMPARE(Settings::fontSize(), 16);
    QCOMPARE(Settings::dialogFontSize(), 0);
    QCOMPARE(int(Settings::options()[19]), 0);
    // The end of the first run creates the file.
    QVERIFY(Settings::save(QStringLiteral("tavx.in")));
    QCOMPARE(
        readFile(QStringLiteral("tavx.in")), QByteArray("Ov=0 0 0 0 0 0 0 0 0 0   0 0 0 0 0 0 0 0 0 0 \n"));
}

void TestSettings::failedSaveWarnsAndKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("blocker");

    // Root ignores permissions, so the failures come from the file system's shape.
    QTest::newRow("parent is a regular file") << QStringLiteral("plain/tavx.in") << QStringLiteral("plain");
    QTest::newRow("a directory in place of the file") << QStringLiteral("tavx.in") << QString();
}

void TestSettings::failedSaveWarnsAndKeepsTheOldFile()
{
    QFETCH(QString, fileName);
    QFETCH(QString, blocker);
    if (blocker.isEmpty())
        QVERIFY(QDir().mkdir(fileName));
    else
        writeFile(blocker, "keep me");
    Settings::setValue("A", QByteArrayView("1"));
    QVERIFY(!Settings::save(fileName));
    const auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().text, QStringLiteral("Cannot Open File: ") + fileName);
    if (!blocker.isEmpty())
        QCOMPARE(readFile(blocker), QByteArray("keep me"));
    else
        QVERIFY(QFileInfo(fileName).isDir());
}

void TestSettings::aWriteThatFailsHalfwayLeavesThePreviousFile()
{
    const QByteArray previous = "Ov=5 0 0 0 0 0 0 0 0 0   0 0 0 0 0 0 0 0 0 0 \nOld=keep\n";
    writeFile(QStringLiteral("tavx.in"), previous);
    Settings::setValue("Big", QByteArrayView(QByteArray(5000, 'b')));

    // The child may write only 1000 bytes per file, as on a disk that fills up during the save.
    const std::optional<bool> failedAndWarned = LimitedRun::run(
        [] {
            const bool saved = Settings::save(QStringLiteral("tavx.in"));
            const auto boxes = Diagnostics::recordedBoxes();
            return !saved && boxes.size() == 1
                && boxes.first().text == QStringLiteral("Cannot Open File: tavx.in");
        },
        {.sizeLimit = 1000});
    if (!failedAndWarned)
        QSKIP(LimitedRun::unsupported);
    QVERIFY(*failedAndWarned);
    QCOMPARE(readFile(QStringLiteral("tavx.in")), previous);
    // Nothing half-written is left beside it (the log holds the warning).
    QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden),
        (QStringList{QStringLiteral("tavx.in"), QStringLiteral("taw.tax")}));
}

void TestSettings::styleSheet_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("expected");

    QTest::newRow("cut at //") << QByteArray("QPushButton { color: red; } // buttons\n")
                               << QStringLiteral("QPushButton { color: red; } ");
    QTest::newRow("lines joined, comments and blanks skipped")
        << QByteArray("* style\nQLabel { }\n   \n// only a comment\nQDialog { }\n")
        << QStringLiteral("QLabel { }QDialog { }");
    QTest::newRow("first // cuts") << QByteArray("a//b//c\n") << QStringLiteral("a");
    QTest::newRow("code page 1251") << QByteArray("QLabel { font-family: \"\xCA\xEE\xF0\xE0\"; }\n")
                                    << QString::fromUtf8("QLabel { font-family: \"Кора\"; }");
}

void TestSettings::styleSheet()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, expected);
    const QString name = QStringLiteral("tst_settings_style.qss");
    const QString path = QCoreApplication::applicationDirPath() + u'/' + name;
    writeFile(path, file);
    Settings::loadStyleSheet(name);
    QFile::remove(path);
    QCOMPARE(qApp->styleSheet(), expected);
    QVERIFY(Diagnostics::recordedBoxes().isEmpty());
    qApp->setStyleSheet(QString());
}

void TestSettings::missingStyleSheetWarnsWithItsPath()
{
    qApp->setStyleSheet(QStringLiteral("QLabel { }"));
    Diagnostics::warnIfFailed(Settings::loadStyleSheet(QStringLiteral("nothere.qss")));
    const auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().text,
        QStringLiteral("Cannot Open File: ") + QCoreApplication::applicationDirPath()
            + QStringLiteral("/nothere.qss"));
    QCOMPARE(qApp->styleSheet(), QStringLiteral("QLabel { }"));
    qApp->setStyleSheet(QString());
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
