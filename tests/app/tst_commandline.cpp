#include "app/commandline.h"

#include <QtTest>

using Arguments = QList<QByteArray>;

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void wordFile_data();
    void wordFile();
    void modeTable_data();
    void modeTable();
};

void TestCommandLine::parse_data()
{
    QTest::addColumn<Arguments>("arguments");
    QTest::addColumn<QByteArray>("modeName");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("programLine");
    QTest::addColumn<QByteArray>("updateFile");
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<bool>("startsProgram");

    QTest::newRow("no arguments") << Arguments{} << QByteArray("Up") << 3 << QByteArray("kora10.exe")
                                  << QByteArray() << QByteArray() << true;
    QTest::newRow("directory dropped, bare argument appended")
        << Arguments{"F=Conf", "P=C:\\Prog\\kora10.exe", "-x"} << QByteArray("Conf") << 2
        << QByteArray("kora10.exe -x") << QByteArray() << QByteArray() << true;
    QTest::newRow("key switches appending off") << Arguments{"P=abc", "F=Up", "def"} << QByteArray("Up") << 3
                                                << QByteArray("abc") << QByteArray() << QByteArray() << true;
    QTest::newRow("unknown key switches appending off too")
        << Arguments{"P=abc", "X=1", "def"} << QByteArray("Up") << 3 << QByteArray("abc") << QByteArray()
        << QByteArray() << true;
    QTest::newRow("all bare arguments after P, in order")
        << Arguments{"P=prog", "a", "b  ", "c"} << QByteArray("Up") << 3 << QByteArray("prog a b c")
        << QByteArray() << QByteArray() << true;
    QTest::newRow("blank program line starts nothing")
        << Arguments{"P= "} << QByteArray("Up") << 3 << QByteArray() << QByteArray() << QByteArray() << false;
    QTest::newRow("last backslash in an appended argument")
        << Arguments{"F=Up", "P=kora10.exe", "D:\\Data"} << QByteArray("Up") << 3 << QByteArray("Data")
        << QByteArray() << QByteArray() << true;
    QTest::newRow("forward slashes are no separators")
        << Arguments{"F=Flash", "P=/opt/kora/kora10"} << QByteArray("Flash") << 4
        << QByteArray("/opt/kora/kora10") << QByteArray() << QByteArray() << true;
    QTest::newRow("-a wins over F") << Arguments{"-a", "F=Up"} << QByteArray("Ast") << 0
                                    << QByteArray("kora10.exe") << QByteArray() << QByteArray() << false;
    QTest::newRow("-a is never appended") << Arguments{"-a", "P=prog", "x"} << QByteArray("Ast") << 0
                                          << QByteArray("prog x") << QByteArray() << QByteArray() << false;
    QTest::newRow("-a only as first argument")
        << Arguments{"F=Conf", "-a"} << QByteArray("Conf") << 2 << QByteArray("kora10.exe") << QByteArray()
        << QByteArray() << true;
    QTest::newRow("Ast keeps its directory and never starts")
        << Arguments{"F=Ast", "P=C:\\K\\kora10.exe"} << QByteArray("Ast") << 0
        << QByteArray("C:\\K\\kora10.exe") << QByteArray() << QByteArray() << false;
    QTest::newRow("key is case-sensitive")
        << Arguments{"f=Conf"} << QByteArray("Up") << 3 << QByteArray("kora10.exe") << QByteArray()
        << QByteArray() << true;
    QTest::newRow("mode name is case-sensitive")
        << Arguments{"F=up"} << QByteArray("up") << -1 << QByteArray("kora10.exe") << QByteArray()
        << QByteArray() << false;
    QTest::newRow("empty mode name") << Arguments{"F="} << QByteArray() << -1 << QByteArray("kora10.exe")
                                     << QByteArray() << QByteArray() << false;
    QTest::newRow("blanks around =") << Arguments{"F  =  Conf", "UF = ko1 "} << QByteArray("Conf") << 2
                                     << QByteArray("kora10.exe") << QByteArray("ko1 ") << QByteArray()
                                     << true;
    QTest::newRow("later keys overwrite")
        << Arguments{"F=Conf", "F=Flash", "VER=1", "VER=2"} << QByteArray("Flash") << 4
        << QByteArray("kora10.exe") << QByteArray() << QByteArray("2") << true;
    QTest::newRow("value after the first =") << Arguments{"P=a=b"} << QByteArray("Up") << 3
                                             << QByteArray("a=b") << QByteArray() << QByteArray() << true;
    QTest::newRow("update file cut at 19, version at 9")
        << Arguments{"UF=" + QByteArray(25, 'u'), "VER=123456789012"} << QByteArray("Up") << 3
        << QByteArray("kora10.exe") << QByteArray(19, 'u') << QByteArray("123456789") << true;
    QTest::newRow("argument cut at 299 before the split")
        << Arguments{"P=" + QByteArray(500, 'p')} << QByteArray("Up") << 3 << QByteArray(297, 'p')
        << QByteArray() << QByteArray() << true;
    QTest::newRow("mode name cut with the argument")
        << Arguments{"F=" + QByteArray(400, 'm')} << QByteArray(297, 'm') << -1 << QByteArray("kora10.exe")
        << QByteArray() << QByteArray() << false;
    QTest::newRow("appending never passes 399")
        << Arguments{"P=" + QByteArray(290, 'p'), QByteArray(299, 'a'), "b"} << QByteArray("Up") << 3
        << QByteArray(290, 'p') + ' ' + QByteArray(108, 'a') << QByteArray() << QByteArray() << true;
    QTest::newRow("bare argument cut at 299 before appending")
        << Arguments{"P=x", QByteArray(350, 'a')} << QByteArray("Up") << 3 << "x " + QByteArray(299, 'a')
        << QByteArray() << QByteArray() << true;
    QTest::newRow("binary bytes") << Arguments{QByteArray("P=\x01\xFF", 4), QByteArray("\x00z", 2)}
                                  << QByteArray("Up") << 3 << QByteArray("\x01\xFF \x00z", 5) << QByteArray()
                                  << QByteArray() << true;
}

void TestCommandLine::parse()
{
    QFETCH(Arguments, arguments);
    QFETCH(QByteArray, modeName);
    QFETCH(int, mode);
    QFETCH(QByteArray, programLine);
    QFETCH(QByteArray, updateFile);
    QFETCH(QByteArray, version);
    QFETCH(bool, startsProgram);

    const CommandLine commandLine(arguments);
    QCOMPARE(commandLine.modeName(), modeName);
    QCOMPARE(int(commandLine.mode()), mode);
    QCOMPARE(commandLine.programLine(), programLine);
    QCOMPARE(commandLine.updateFile(), updateFile);
    QCOMPARE(commandLine.version(), version);
    QCOMPARE(commandLine.startsProgram(), startsProgram);
    QCOMPARE(commandLine.runsEventLoop(), mode == 0 || mode >= 2);
}

void TestCommandLine::wordFile_data()
{
    QTest::addColumn<Arguments>("arguments");
    QTest::addColumn<bool>("hasWordFile");
    QTest::addColumn<QByteArray>("wordFile");

    QTest::newRow("second argument, raw")
        << Arguments{"F=Word", "C:\\out\\a=b.txt"} << true << QByteArray("C:\\out\\a=b.txt");
    QTest::newRow("not cut") << Arguments{"F=Word", QByteArray(1000, 'w')} << true << QByteArray(1000, 'w');
    QTest::newRow("too few arguments") << Arguments{"F=Word"} << false << QByteArray();
}

void TestCommandLine::wordFile()
{
    QFETCH(Arguments, arguments);
    QFETCH(bool, hasWordFile);
    QFETCH(QByteArray, wordFile);
    const CommandLine commandLine(arguments);
    QCOMPARE(int(commandLine.mode()), int(CommandLine::Word));
    QCOMPARE(commandLine.hasWordFile(), hasWordFile);
    QCOMPARE(commandLine.wordFile(), wordFile);
    QVERIFY(!commandLine.runsEventLoop());
    QVERIFY(!commandLine.startsProgram());
}

void TestCommandLine::modeTable_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("mode");
    QTest::newRow("Ast") << QByteArray("Ast") << 0;
    QTest::newRow("Word") << QByteArray("Word") << 1;
    QTest::newRow("Conf") << QByteArray("Conf") << 2;
    QTest::newRow("Up") << QByteArray("Up") << 3;
    QTest::newRow("Flash") << QByteArray("Flash") << 4;
    QTest::newRow("prefix") << QByteArray("Fla") << -1;
    QTest::newRow("longer") << QByteArray("Upp") << -1;
    QTest::newRow("trailing blank") << QByteArray("Up ") << -1;
}

void TestCommandLine::modeTable()
{
    QFETCH(QByteArray, name);
    QFETCH(int, mode);
    QCOMPARE(int(CommandLine::modeNumber(name)), mode);
}

QTEST_APPLESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
