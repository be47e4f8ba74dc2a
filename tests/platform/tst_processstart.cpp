#include "common/recordingprogram.h"
#include "platform/processstart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestProcessStart : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void resolve_data();
    void resolve();
    void startsTheProgramLineWithItsArguments();
    void cyrillicNameInCodePage1251();
    void nothingToStart();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_previousDir;
};

void TestProcessStart::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_previousDir = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
}

void TestProcessStart::cleanup()
{
    QDir::setCurrent(m_previousDir);
    // A program started here may still be ending, and Windows keeps a running program's file.
    const QDeadlineTimer deadline(5000);
    while (!QDir(m_dir->path()).removeRecursively() && !deadline.hasExpired())
        QThread::msleep(20);
    m_dir.reset();
}

void TestProcessStart::resolve_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<bool>("localProgram");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("bare name in the current directory first")
        << QStringLiteral("prog -x") << true << QStringLiteral("prog") << QStringList{QStringLiteral("-x")};
    QTest::newRow("bare name elsewhere left to the search path")
        << QStringLiteral("sh -c true") << false << QStringLiteral("sh")
        << QStringList{QStringLiteral("-c"), QStringLiteral("true")};
    QTest::newRow("name with a directory as it stands") << QStringLiteral(
        "./prog a") << false << QStringLiteral("./prog") << QStringList{QStringLiteral("a")};
    QTest::newRow("quoted argument") << QStringLiteral("prog \"a b\" c") << true << QStringLiteral("prog")
                                     << QStringList{QStringLiteral("a b"), QStringLiteral("c")};
    QTest::newRow("blank line") << QStringLiteral("   ") << false << QString() << QStringList{};
}

void TestProcessStart::resolve()
{
    QFETCH(QString, commandLine);
    QFETCH(bool, localProgram);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QVERIFY(RecordingProgram::write(QStringLiteral("prog")));
    const ProcessStart::Command command = ProcessStart::resolve(commandLine);
    QCOMPARE(command.program, localProgram ? QDir::current().absoluteFilePath(program) : program);
    QCOMPARE(command.arguments, arguments);
}

void TestProcessStart::startsTheProgramLineWithItsArguments()
{
    QVERIFY(RecordingProgram::write(QStringLiteral("kora10.exe")));
    QVERIFY(ProcessStart::startDetached(QByteArray("kora10.exe -x D:\\ \"C:\\Program Files\\a b\"")));
    QCOMPARE(RecordingProgram::arguments(QStringLiteral("kora10.exe")),
        (QStringList{
            QStringLiteral("-x"), QStringLiteral("D:\\"), QStringLiteral("C:\\Program Files\\a b")}));
}

void TestProcessStart::cyrillicNameInCodePage1251()
{
    // "Кора" in code page 1251; read as Latin-1 it would name another file.
    const QString name = QString::fromUtf8("Кора.exe");
    QVERIFY(RecordingProgram::write(name));
    QVERIFY(ProcessStart::startDetached(QByteArray("\xCA\xEE\xF0\xE0.exe 1")));
    QCOMPARE(RecordingProgram::arguments(name), QStringList{QStringLiteral("1")});
}

void TestProcessStart::nothingToStart()
{
    QVERIFY(!ProcessStart::startDetached(QByteArray("  ")));
    QVERIFY(!ProcessStart::startDetached(QByteArray("no-such-program-here")));
}

QTEST_GUILESS_MAIN(TestProcessStart)
#include "tst_processstart.moc"
