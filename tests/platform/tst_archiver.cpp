// The archiver runner on the real archiver and on stand-ins that fail the ways an archiver can:
// missing, not a program, ending with an error, killed.

#include "common/standinprogram.h"
#include "common/testpaths.h"
#include "platform/archiver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestArchiver : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void run_data();
    void run();
    void eventsGoOnWhileItRuns();
    void quitDuringTheWait_data();
    void quitDuringTheWait();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
};

namespace {

// "real": the built archiver; a step list for StandInProgram; "not a program": a text file.
bool writeProgram(const QStringList &program)
{
    const QString path = Archiver::programPath();
    if (program == QStringList{u"real"_s})
        return QFile::copy(TestPaths::built(QFileInfo(path).fileName()), path);
    if (program == QStringList{u"not a program"_s}) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write("not a program\n") > 0;
    }
    return StandInProgram::write(path, program);
}

// The pattern with "%1" standing for the archiver's name ("rar", "rar.exe" on Windows).
QRegularExpression namedPattern(const QString &pattern)
{
    QString named = pattern;
    named.replace(u"%1"_s, QRegularExpression::escape(QFileInfo(Archiver::programPath()).fileName()));
    return QRegularExpression(named);
}

} // namespace

void TestArchiver::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_previousDir = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
}

void TestArchiver::cleanup()
{
    QDir::setCurrent(m_previousDir);
    // Under Wine an archiver that has ended holds its current directory a little longer.
    QVERIFY(QTest::qWaitFor([this] { return QDir(m_dir->path()).removeRecursively(); }, 10000));
    m_dir.reset();
}

void TestArchiver::run_data()
{
    QTest::addColumn<QStringList>("program"); // none when empty, else as writeProgram() takes it
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("crashed");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errorText"); // a regular expression, "%1" the archiver's name

    const QStringList backup{u"a"_s, u"-r"_s, u"-idcpdq"_s, u"-y"_s, u"predver"_s, u"my file.txt"_s};
    const QStringList real{u"real"_s};
    QTest::newRow("backup with the real archiver") << real << backup << true << false << 0 << u"^$"_s;
    QTest::newRow("real archiver refuses a command it does not know")
        << real << QStringList{u"q"_s} << true << false << 3 << u"^%1 ended with exit code 3: .+"_s;
    // The updater's unpack line, the target written with this system's separator.
    QTest::newRow("real archiver unpacks into a target with the native separator")
        << real
        << QStringList{u"x"_s, u"-idcpdq"_s, u"-y"_s, u"predver.rar"_s, QDir::toNativeSeparators(u"out/"_s)}
        << true << false << 0 << u"^$"_s;
    QTest::newRow("each argument arrives whole")
        << QStringList{u"args"_s, u"exit 5"_s} << backup << true << false << 5
        << u"^%1 ended with exit code 5: a\\|-r\\|-idcpdq\\|-y\\|predver\\|my file.txt\\|$"_s;
    QTest::newRow("the last line of its errors is the reason")
        << QStringList{u"say rar: a: first"_s, u"say rar: b: No space left on device"_s, u"exit 1"_s}
        << backup << true << false << 1 << u"^%1 ended with exit code 1: rar: b: No space left on device$"_s;
    QTest::newRow("killed") << QStringList{u"crash"_s} << backup << true << true << -1
                            << u"^%1 was killed or crashed$"_s;
    QTest::newRow("missing") << QStringList() << backup << false << false << -1
                             << u"^%1 could not be started: .+"_s;
    QTest::newRow("not a program") << QStringList{u"not a program"_s} << backup << false << false << -1
                                   << u"^%1 could not be started: .+"_s;
}

void TestArchiver::run()
{
    QFETCH(QStringList, program);
    QFETCH(QStringList, arguments);
    QFETCH(bool, started);
    QFETCH(bool, crashed);
    QFETCH(int, exitCode);
    QFETCH(QString, errorText);

    QFile data(u"my file.txt"_s);
    QVERIFY(data.open(QIODevice::WriteOnly) && data.write("contents") == 8);
    data.close();
    if (!program.isEmpty())
        QVERIFY(writeProgram(program));
    QCOMPARE(Archiver::isPresent(), !program.isEmpty());
    const bool unpacks = arguments.value(0) == u"x";
    if (unpacks) {
        QCOMPARE(Archiver::run({u"a"_s, u"-idcpdq"_s, u"predver"_s, u"my file.txt"_s}).exitCode, 0);
        QVERIFY(QFile::remove(u"my file.txt"_s));
    }

    const Archiver::Result result = Archiver::run(arguments);
    QCOMPARE(result.started, started);
    QCOMPARE(result.crashed, crashed);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(namedPattern(errorText).match(result.errorText).hasMatch(), qPrintable(result.errorText));
    QCOMPARE(result.succeeded(), started && !crashed && exitCode == 0);
    QCOMPARE(QFile::exists(u"predver.rar"_s), program == QStringList{u"real"_s} && exitCode == 0);
    if (unpacks) {
        QFile unpacked(u"out/my file.txt"_s);
        QVERIFY(unpacked.open(QIODevice::ReadOnly));
        QCOMPARE(unpacked.readAll(), "contents");
    }
}

// Timers, sockets and painting carry on while the archiver works: a 20 ms timer fires several
// times during an archiver that takes 300 ms.
void TestArchiver::eventsGoOnWhileItRuns()
{
    QVERIFY(writeProgram({u"sleep 300"_s}));
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
    timer.start(20);
    const Archiver::Result result = Archiver::run({u"x"_s});
    QVERIFY(result.succeeded());
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
}

void TestArchiver::quitDuringTheWait_data()
{
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("ends well") << u"exit 0"_s << 0;
    QTest::newRow("ends with an error") << u"exit 2"_s << 2;
    QTest::newRow("killed") << u"crash"_s << -1;
}

// An application told to quit while the archiver works (the last window closed) ends the wait's
// event loop, and every later one at once: the result is still the archiver's own, after it ended.
void TestArchiver::quitDuringTheWait()
{
    QFETCH(QString, ending);
    QFETCH(int, exitCode);

    QVERIFY(writeProgram({u"sleep 400"_s, ending}));
    for (int run = 0; run < 2; ++run) {
        // What quit() comes to in the application's loop when its last window closes.
        QTimer::singleShot(50, qApp, [] { QCoreApplication::exit(0); });
        QElapsedTimer clock;
        clock.start();
        const Archiver::Result result = Archiver::run({u"x"_s});
        QVERIFY2(clock.elapsed() >= 400, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.crashed, exitCode < 0);
        QCOMPARE(result.succeeded(), exitCode == 0);
    }
    // The application's loop starts afresh, so that the next test's loops run again.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

QTEST_MAIN(TestArchiver)
#include "tst_archiver.moc"
