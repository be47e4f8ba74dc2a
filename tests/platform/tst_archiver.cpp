// The archiver runner on the real archiver and on stand-ins that fail the ways an archiver can:
// missing, not executable, ending with an error, killed.

#include "platform/archiver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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

bool writeProgram(const QByteArray &script, bool executable = true)
{
    const QString path = Archiver::programPath();
    if (script == "real")
        return QFile::copy(QStringLiteral(TAV_BIN_DIR "/rar"), path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(script) != script.size())
        return false;
    file.close();
    return !executable || file.setPermissions(file.permissions() | QFile::ExeOwner);
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
    m_dir.reset();
}

void TestArchiver::run_data()
{
    QTest::addColumn<QByteArray>("program"); // "" none, "real" the built archiver, else a script
    QTest::addColumn<bool>("executable");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("crashed");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("errorText"); // a regular expression

    const QStringList backup{u"a"_s, u"-r"_s, u"-idcpdq"_s, u"-y"_s, u"predver"_s, u"my file.txt"_s};
    QTest::newRow("backup with the real archiver")
        << "real"_ba << true << backup << true << false << 0 << u"^$"_s;
    QTest::newRow("real archiver refuses a command it does not know")
        << "real"_ba << true << QStringList{u"q"_s} << true << false << 3
        << u"^rar ended with exit code 3: .+"_s;
    QTest::newRow("each argument arrives whole")
        << "#!/bin/sh\nprintf '%s|' \"$@\" >&2\nexit 5\n"_ba << true << backup << true << false << 5
        << u"^rar ended with exit code 5: a\\|-r\\|-idcpdq\\|-y\\|predver\\|my file.txt\\|$"_s;
    QTest::newRow("the last line of its errors is the reason")
        << "#!/bin/sh\necho 'rar: a: first' >&2\necho 'rar: b: No space left on device' >&2\nexit 1\n"_ba
        << true << backup << true << false << 1
        << u"^rar ended with exit code 1: rar: b: No space left on device$"_s;
    QTest::newRow("killed") << "#!/bin/sh\nkill -KILL $$\n"_ba << true << backup << true << true << -1
                            << u"^rar was killed or crashed$"_s;
    QTest::newRow("missing") << QByteArray() << true << backup << false << false << -1
                             << u"^rar could not be started: .+"_s;
    QTest::newRow("not executable") << "#!/bin/sh\nexit 0\n"_ba << false << backup << false << false << -1
                                    << u"^rar could not be started: .+"_s;
}

void TestArchiver::run()
{
    QFETCH(QByteArray, program);
    QFETCH(bool, executable);
    QFETCH(QStringList, arguments);
    QFETCH(bool, started);
    QFETCH(bool, crashed);
    QFETCH(int, exitCode);
    QFETCH(QString, errorText);

    QFile data(u"my file.txt"_s);
    QVERIFY(data.open(QIODevice::WriteOnly) && data.write("contents") == 8);
    data.close();
    if (!program.isEmpty())
        QVERIFY(writeProgram(program, executable));
    QCOMPARE(Archiver::isPresent(), !program.isEmpty());

    const Archiver::Result result = Archiver::run(arguments);
    QCOMPARE(result.started, started);
    QCOMPARE(result.crashed, crashed);
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(QRegularExpression(errorText).match(result.errorText).hasMatch(), qPrintable(result.errorText));
    QCOMPARE(result.succeeded(), started && !crashed && exitCode == 0);
    QCOMPARE(QFile::exists(u"predver.rar"_s), program == "real" && exitCode == 0);
}

// Timers, sockets and painting carry on while the archiver works: a 20 ms timer fires several
// times during an archiver that takes 300 ms.
void TestArchiver::eventsGoOnWhileItRuns()
{
    QVERIFY(writeProgram("#!/bin/sh\nsleep 0.3\n"_ba));
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
    QTest::addColumn<QByteArray>("ending");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("ends well") << "exit 0"_ba << 0;
    QTest::newRow("ends with an error") << "exit 2"_ba << 2;
    QTest::newRow("killed") << "kill -KILL $$"_ba << -1;
}

// An application told to quit while the archiver works (the last window closed) ends the wait's
// event loop, and every later one at once: the result is still the archiver's own, after it ended.
void TestArchiver::quitDuringTheWait()
{
    QFETCH(QByteArray, ending);
    QFETCH(int, exitCode);

    QVERIFY(writeProgram("#!/bin/sh\nsleep 0.4\n" + ending + '\n'));
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
