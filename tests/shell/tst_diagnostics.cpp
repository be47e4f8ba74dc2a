#include "shell/catalog.h"
#include "shell/diagnostics.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <QOperatingSystemVersion>
#include <QProcess>

#include <cstdlib>
#include <new>

namespace {

struct ErrorExit
{
};

QByteArray readLog()
{
    QFile file(QStringLiteral("taw.tax"));
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

// The cases that end the process run in a child: this program started again with the variable
// naming the case, in the current directory.
const char childCase[] = "TAV_DIAGNOSTICS_CHILD";

struct Ended
{
    bool crashed = false;
    int exitCode = -1;
};

Ended inChild(const QString &name)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(childCase), name);
    child.setProcessEnvironment(environment);
    child.setWorkingDirectory(QDir::currentPath());
    // The test framework's crash handler would report the expected abort as a crash.
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("-nocrashhandler")});
    if (!child.waitForFinished(60000))
        return {};
    return {child.exitStatus() == QProcess::CrashExit, child.exitCode()};
}

// The child's side.
void runChildCase(const QByteArray &name)
{
    Diagnostics::setRecording(true);
    if (name == "fatal") {
        qInstallMessageHandler(Diagnostics::messageHandler);
        qFatal("broken %d", 7);
    } else if (name == "error") {
        Diagnostics::setErrorExitHandler({});
        Diagnostics::error("NeTak");
    }
    std::exit(99);
}

} // namespace

class TestDiagnostics : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void logKeepsOnlyTheCurrentRun();
    void unwritableLogCostsOnlyTheMessage();
    void warningBox_data();
    void warningBox();
    void formattedWarningIsCutAt400();
    void fileOpenWarningWritesCodePage1251();
    void messageHandler_data();
    void messageHandler();
    void fatalMessageAborts();
    void errorBoxEndsWithExitCode1();
    void outOfMemoryShowsMem();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
};

void TestDiagnostics::initTestCase()
{
    if (const QByteArray name = qgetenv(childCase); !name.isEmpty())
        runChildCase(name);
}

void TestDiagnostics::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_previousDir = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
    Diagnostics::resetLog();
    Diagnostics::setRecording(true);
    Diagnostics::clearRecordedBoxes();
    Diagnostics::setErrorExitHandler([] { throw ErrorExit(); });

    QFile catalog(QStringLiteral("tav.t"));
    QVERIFY(catalog.open(QIODevice::WriteOnly));
    // "Нет каталога эфемерид" in code page 866; MEM carries a hidden suffix.
    catalog.write("NoDirEph \x8D\xA5\xE2 \xAA\xA0\xE2\xA0\xAB\xAE\xA3\xA0\n"
                  "MEM Out of memory[x]\n"
                  "Empty\n");
    catalog.close();
    Catalog::clear();
    Catalog::load(QStringLiteral("tav.t"));
}

void TestDiagnostics::cleanup()
{
    Catalog::clear();
    Diagnostics::setErrorExitHandler({});
    QDir::setCurrent(m_previousDir);
    m_dir.reset();
}

void TestDiagnostics::logKeepsOnlyTheCurrentRun()
{
    Diagnostics::log("first run %d", 1);
    Diagnostics::logLine("more");
    QCOMPARE(readLog(), QByteArray("** **\nfirst run 1\nmore\n"));

    Diagnostics::resetLog();
    Diagnostics::log("second %s", "run");
    QCOMPARE(readLog(), QByteArray("** **\nsecond run\n"));

    // Each line reaches the file at once, so nothing is lost if the process dies.
    QFile::remove(QStringLiteral("taw.tax"));
    Diagnostics::log("after removal");
    QCOMPARE(readLog(), QByteArray("after removal\n"));

    const QByteArray longLine(100000, 'L');
    Diagnostics::log("%s", longLine.constData());
    QCOMPARE(readLog(), "after removal\n" + longLine + "\n");
}

void TestDiagnostics::unwritableLogCostsOnlyTheMessage()
{
    QVERIFY(QDir().mkdir(QStringLiteral("taw.tax")));
    Diagnostics::log("lost");
    QVERIFY(QFileInfo(QStringLiteral("taw.tax")).isDir());
    QVERIFY(QDir().rmdir(QStringLiteral("taw.tax")));
    // The header still comes with the first line that could be written.
    Diagnostics::log("kept");
    QCOMPARE(readLog(), QByteArray("** **\nkept\n"));
}

void TestDiagnostics::warningBox_data()
{
    QTest::addColumn<QByteArray>("argument");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("logged");

    QTest::newRow("catalog key") << QByteArray("NoDirEph") << QString::fromUtf8("Нет каталога")
                                 << QByteArray("\xCD\xE5\xF2 \xEA\xE0\xF2\xE0\xEB\xEE\xE3\xE0");
    QTest::newRow("text with blanks is never looked up")
        << QByteArray("Cannot Open File: x.t") << QStringLiteral("Cannot Open File: x.t")
        << QByteArray("Cannot Open File: x.t");
    QTest::newRow("suffix hidden in the box, logged whole")
        << QByteArray("MEM") << QStringLiteral("Out of memory") << QByteArray("Out of memory[x]");
    QTest::newRow("key without text") << QByteArray("Empty") << QString() << QByteArray();
}

void TestDiagnostics::warningBox()
{
    QFETCH(QByteArray, argument);
    QFETCH(QString, shown);
    QFETCH(QByteArray, logged);
    Diagnostics::warning(argument);
    const auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, QStringLiteral("*** Warring"));
    QCOMPARE(boxes.first().text, shown);
    QCOMPARE(readLog(), "** **\n" + logged + "\n");
}

void TestDiagnostics::formattedWarningIsCutAt400()
{
    const QByteArray path(1000, 'p');
    Diagnostics::fileOpenWarning(path);
    const QByteArray expected = QByteArray("Cannot Open File: " + path).left(400);
    QCOMPARE(Diagnostics::recordedBoxes().first().text, QString::fromLatin1(expected));
    QCOMPARE(readLog(), "** **\n" + expected + "\n");

    // A formatted result without blanks that equals a key shows the key's text.
    Diagnostics::clearRecordedBoxes();
    Diagnostics::warningf("%s%s", "NoDir", "Eph");
    QCOMPARE(Diagnostics::recordedBoxes().first().text, QString::fromUtf8("Нет каталога"));
}

void TestDiagnostics::fileOpenWarningWritesCodePage1251()
{
    Diagnostics::fileOpenWarning(QString::fromUtf8("Данные/tavx.in"));
    QCOMPARE(
        Diagnostics::recordedBoxes().first().text, QString::fromUtf8("Cannot Open File: Данные/tavx.in"));
    QCOMPARE(readLog(), QByteArray("** **\nCannot Open File: \xC4\xE0\xED\xED\xFB\xE5/tavx.in\n"));
}

void TestDiagnostics::messageHandler_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("logged");

    QTest::newRow("debug") << int(QtDebugMsg) << QByteArray("D:QFtp: bad state");
    QTest::newRow("info") << int(QtInfoMsg) << QByteArray("D:QFtp: bad state");
    QTest::newRow("warning") << int(QtWarningMsg) << QByteArray("W:QFtp: bad state");
    QTest::newRow("critical") << int(QtCriticalMsg) << QByteArray("Err:QFtp: bad state");
}

void TestDiagnostics::messageHandler()
{
    QFETCH(int, type);
    QFETCH(QByteArray, logged);
    const QtMessageHandler previous = qInstallMessageHandler(Diagnostics::messageHandler);
    const char *text = "QFtp: bad state";
    switch (QtMsgType(type)) {
    case QtDebugMsg:
        qDebug("%s", text);
        break;
    case QtInfoMsg:
        qInfo("%s", text);
        break;
    case QtWarningMsg:
        qWarning("%s", text);
        break;
    default:
        qCritical("%s", text);
        break;
    }
    qInstallMessageHandler(previous);
    QCOMPARE(readLog(), "** **\n" + logged + "\n");
}

void TestDiagnostics::fatalMessageAborts()
{
    const Ended ended = inChild(QStringLiteral("fatal"));
    // abort() ends a Windows program with exit code 3, elsewhere with the signal SIGABRT.
    if (QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows)
        QCOMPARE(ended.exitCode, 3);
    else
        QVERIFY(ended.crashed);
    QCOMPARE(readLog(), QByteArray("** **\nFatal: broken 7\n"));
}

void TestDiagnostics::errorBoxEndsWithExitCode1()
{
    try {
        Diagnostics::error("MEM");
        QFAIL("error() returned");
    } catch (const ErrorExit &) { }
    const auto boxes = Diagnostics::recordedBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().title, QStringLiteral("*** Error"));
    QCOMPARE(boxes.first().text, QStringLiteral("Out of memory"));
    // The error box logs nothing.
    QCOMPARE(readLog(), QByteArray("<missing>"));

    // Without an exit handler the process really ends, with code 1.
    const Ended ended = inChild(QStringLiteral("error"));
    QVERIFY(!ended.crashed);
    QCOMPARE(ended.exitCode, 1);
}

void TestDiagnostics::outOfMemoryShowsMem()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("the address sanitizer reports impossible allocations itself");
#else
    const std::new_handler previous = std::get_new_handler();
    Diagnostics::installOutOfMemoryHandler();
    bool ended = false;
    try {
        // More than any machine can give, but a valid request size. A direct call, since a
        // new-expression whose result is unused may be left out by the compiler.
        volatile size_t size = size_t(1) << 62;
        void *block = ::operator new(size);
        ::operator delete(block);
    } catch (const ErrorExit &) {
        ended = true;
    }
    std::set_new_handler(previous);
    QVERIFY(ended);
    QCOMPARE(Diagnostics::recordedBoxes().size(), 1);
    QCOMPARE(Diagnostics::recordedBoxes().first().text, QStringLiteral("Out of memory"));
#endif
}

QTEST_MAIN(TestDiagnostics)
#include "tst_diagnostics.moc"
